#include "CommandServer.h"

#include "Cp1251.h"

CommandLine ParseCommandLine(QByteArrayView line) {
    if (line.endsWith('\r')) line.chop(1);
    const qsizetype semicolon = line.indexOf(';');
    if (semicolon < 0) return {line.toByteArray(), QString()};
    const QByteArrayView argument = line.sliced(semicolon + 1);
    return {line.first(semicolon).toByteArray(),
            argument.isValidUtf8() ? QString::fromUtf8(argument) : FromCp1251(argument)};
}

QString ShowAdrArgument(QByteArrayView line) {
    CommandLine c = ParseCommandLine(line);
    return c.command == "ShowAdr" ? c.argument : QString();
}
