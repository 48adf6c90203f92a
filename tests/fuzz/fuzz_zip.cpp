// Feeds arbitrary bytes to the ZIP reader: loading and unpacking every entry must end in data or an
// EZipFileError, never in a crash, a read outside the buffer or an allocation the input cannot justify.
#include "ZipFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TZipFile zip;
    zip.LoadFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (int i = -1; i <= zip.EntryCount(); ++i) {
        try {
            (void)zip.EntryFileName(i);
            (void)IsSafeRelativePath(zip.EntryFileName(i));
            (void)zip.EntryData(i);
        } catch (const EZipFileError&) {
        }
    }
    return 0;
}
