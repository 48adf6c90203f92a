// Text from outside (a city file, an update list, a service reply) in widgets that guess rich text:
// message boxes and tooltips take a text with something like a tag on its first line for rich text,
// lay the tags out and read an <img>'s file from disk. Labels that show such text are set to
// Qt::PlainText where they are made; what cannot be set so goes through LiteralText.
#pragma once

#include <QString>

// The text as a message box or tooltip shows it literally: unchanged when Qt takes it for plain text
// (so plain texts look exactly as before), otherwise escaped into rich text that reads the same.
QString LiteralText(const QString& text);
