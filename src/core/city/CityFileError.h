// The one error a damaged or unreadable city file raises: it names the file, the section and the offset.
#pragma once

#include <QString>
#include <stdexcept>

class CityFileError : public std::runtime_error {
public:
    explicit CityFileError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};
