// Feedback messages the program sends ("soft.php"): kept with their time and the client's address.
#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>

// The largest message the service takes (bytes of its UTF-8 text); a longer one is refused with 413.
inline constexpr int MaxFeedbackBytes = 8192;
// Messages kept at most; past that the service refuses new ones (507) instead of filling the disk.
inline constexpr int MaxFeedbackRows = 100000;

struct FeedbackMessage {
    QString time; // ISO 8601, UTC
    QString client;
    QString recipient, subject, message;
};

enum class StoreResult { Stored, Full, Failed };
StoreResult AddFeedback(QSqlDatabase& db, const FeedbackMessage& m);
// Oldest first.
QList<FeedbackMessage> ListFeedback(QSqlDatabase& db);
