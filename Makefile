# Set-up and everyday commands. `make run` and `make test` work on a fresh Debian 12 machine.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
DEMO := $(BUILD)/demo/Demograd.gis

.PHONY: all deps configure build run test bench sanitize fuzz fuzz-net package install clean

all: build

deps:
	./scripts/deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The build generates the demo city (it is installed for all users too).
$(DEMO): build

# The program finds the demo city in its own folder; the user's data folder is left alone.
PROGRAM_DEMO := $(BUILD)/src/app/Demograd.gis

$(PROGRAM_DEMO): $(DEMO)
	cp $(DEMO) $(PROGRAM_DEMO)
	cp $(BUILD)/demo/Demograd.img $(BUILD)/src/app/Demograd.img

# The browser engine of the web tabs refuses to start as root inside its sandbox.
ROOT_ENV := $(if $(filter 0,$(shell id -u)),QTWEBENGINE_DISABLE_SANDBOX=1 )

run: build $(PROGRAM_DEMO)
	$(ROOT_ENV)$(BUILD)/src/app/tessara

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The Debian package $(BUILD)/tessara_<version>_amd64.deb; install it with `apt install ./$(BUILD)/tessara_*.deb`.
package: build
	cd $(BUILD) && cpack -G DEB

# Installs under PREFIX (default /usr/local); the cities for all users go to PREFIX/share/tessara/cities.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

METROPOLIS := $(BUILD)/bench/bench-data/Metropolis.gis

$(METROPOLIS): build
	mkdir -p $(dir $(METROPOLIS))
	$(BUILD)/tools/gis-gen --preset metropolis $(METROPOLIS)

bench: build $(DEMO) $(METROPOLIS)
	$(BUILD)/bench/bench_command
	$(BUILD)/bench/bench_descramble
	$(BUILD)/bench/bench_install
	TESSARA_BENCH_CITY=$(METROPOLIS) $(BUILD)/bench/bench_load
	$(BUILD)/bench/bench_render $(DEMO) $(METROPOLIS)
	$(BUILD)/bench/bench_search $(METROPOLIS)
	$(BUILD)/bench/bench_pickers $(METROPOLIS)
	cd $(BUILD)/bench && ./bench_osm
	$(ROOT_ENV)xvfb-run -a -s '-screen 0 1600x1000x24' $(BUILD)/bench/bench_ads
	$(ROOT_ENV)xvfb-run -a -s '-screen 0 1600x1000x24' $(BUILD)/bench/bench_idle $(DEMO)
	$(BUILD)/bench/bench_download
	$(BUILD)/bench/bench_vendor
	$(BUILD)/bench/bench_vendor_store
	$(BUILD)/bench/bench_estate $(DEMO) $(METROPOLIS)
	$(BUILD)/bench/bench_transport $(DEMO) $(METROPOLIS)
	$(BUILD)/bench/bench_overlay $(DEMO) $(METROPOLIS)
	$(BUILD)/bench/bench_print $(DEMO) $(METROPOLIS)
	xvfb-run -a -s '-screen 0 1920x1200x24' $(BUILD)/bench/bench_render_gl $(DEMO) $(METROPOLIS)

# Loader tests under address and undefined-behaviour sanitizers.
# intercept_tls_get_addr=0: the runtimes of GCC 12 and clang 14 take a dynamic TLS block that starts
# 16 bytes into a page for a pre-2.25 glibc block, read a bogus range before it, and the leak check
# crashes at exit ("Tracer caught signal 11"). libjpeg-turbo's thread-locals, loaded with Qt's JPEG
# plugin, are such a block whenever the heap puts them there. On glibc 2.25 and later these runtimes
# record every dynamic TLS block with size 0 anyway, so the leak check loses nothing without them.
SANITIZE_ENV := ASAN_OPTIONS=intercept_tls_get_addr=0 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp
sanitize: deps
	cmake -S . -B build-asan -G Ninja -DTESSARA_SANITIZE=ON -DTESSARA_BENCH=OFF
	# The build lists each test program's tests by running it; a leak the display libraries leave at
	# such a listing is not a test's, so the leak check waits for ctest.
	ASAN_OPTIONS=intercept_tls_get_addr=0:detect_leaks=0 cmake --build build-asan -j$(JOBS)
	cd build-asan && $(SANITIZE_ENV) ctest --output-on-failure -j$(JOBS) -LE 'xvfb|gl'
	# Tests on a display run the X, D-Bus, Mesa and browser-engine stacks: their leaks (in libraries
	# unloaded by the exit, so no suppression can name them) and the browser engine's own sized deletes
	# are not ours; memory errors in our code still stop these tests.
	cd build-asan && ASAN_OPTIONS=intercept_tls_get_addr=0:detect_leaks=0:new_delete_type_mismatch=0 \
		ctest --output-on-failure -j$(JOBS) -L 'xvfb|gl'

# Runs the city file fuzzer, the record decoders' fuzzer, the archive install fuzzer and the fuzzers of
# the update lists, the command lines and the offer replies for FUZZ_SECONDS each (default 60); the
# records start from the sections of a tiny generated city, the archives from the archive fixtures, the
# others from tests/fuzz/seeds. `make fuzz-net` runs only the last four.
FUZZ_SECONDS ?= 60
FUZZ_SEED := build-fuzz/seed/Tiny.gis
FUZZ_NET := component-list photo-list command-line estate-reply
fuzz: fuzz-net
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTESSARA_FUZZ=ON -DTESSARA_BENCH=OFF -DTESSARA_TESTS=ON
	cmake --build build-fuzz -j$(JOBS) --target fuzz_city_file fuzz_records fuzz_zip
	mkdir -p build-fuzz/corpus build-fuzz/corpus-records build-fuzz/corpus-zip build-fuzz/seed
	build-fuzz/tests/fuzz/fuzz_city_file -max_total_time=$(FUZZ_SECONDS) build-fuzz/corpus
	$(BUILD)/tools/gis-gen --buildings 20 --streets 3 --orgs 10 $(FUZZ_SEED)
	TESSARA_SEED_CITY=$(FUZZ_SEED) TESSARA_SEED_DIR=build-fuzz/corpus-records \
		build-fuzz/tests/fuzz/fuzz_records -max_total_time=$(FUZZ_SECONDS) build-fuzz/corpus-records
	cp tests/fixtures/zip/*.zip build-fuzz/corpus-zip/
	build-fuzz/tests/fuzz/fuzz_zip -max_total_time=$(FUZZ_SECONDS) build-fuzz/corpus-zip

fuzz-net: build
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTESSARA_FUZZ=ON -DTESSARA_BENCH=OFF -DTESSARA_TESTS=ON
	cmake --build build-fuzz -j$(JOBS) --target $(foreach f,$(FUZZ_NET),fuzz_$(subst -,_,$(f)))
	for f in $(FUZZ_NET); do \
		mkdir -p build-fuzz/corpus-$$f && cp tests/fuzz/seeds/$$f/* build-fuzz/corpus-$$f/ && \
		build-fuzz/tests/fuzz/fuzz_$$(echo $$f | tr - _) -max_total_time=$(FUZZ_SECONDS) build-fuzz/corpus-$$f \
			|| exit 1; \
	done

clean:
	rm -rf $(BUILD) build-asan build-fuzz
