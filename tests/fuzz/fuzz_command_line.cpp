// Feeds an arbitrary byte stream to the command server's line protocol as a connection delivers it: cut
// into lines at LF, each at most the server's line limit, each split into command and argument, and a
// "ShowAdr" argument split into street and number as the window does. No input may crash it, and a line
// may only ever give what it holds.
#include "CommandServer.h"
#include "PendingAddress.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "command line invariant broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView stream(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype at = 0;
    while (at < stream.size()) {
        const qsizetype end = stream.indexOf('\n', at);
        if (end < 0) break; // text after the last LF is not a line
        const QByteArrayView line = stream.sliced(at, end - at);
        at = end + 1;
        if (line.size() > CommandServer::MaxLine) break; // the server closes such a connection
        const CommandLine c = ParseCommandLine(line);
        if (c.command.contains(';')) Broken("a command holds the separator");
        if (c.argument.contains(u'\n')) Broken("an argument holds a line end");
        if (!line.startsWith("ShowAdr;") && !c.argument.isEmpty() && c.command == "ShowAdr")
            Broken("a command that the line does not start with");
        const QString address = ShowAdrArgument(line);
        if (!address.isEmpty() && !line.startsWith("ShowAdr;")) Broken("an address from another command");
        if (address.size() > line.size()) Broken("an address longer than its line");
        PendingAddress pending;
        pending.Set(address);
        const AddressRequest request = SplitAddress(pending.Take());
        if (request.street.size() + request.number.size() > PendingAddress::MaxLength)
            Broken("a request longer than the pending bound");
    }
    return 0;
}
