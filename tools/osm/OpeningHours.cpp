#include "OpeningHours.h"

#include "DirectoryRecords.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int DayMinutes = 24 * 60;

struct Span {
    int begin = 0, end = 0; // minutes; end may pass midnight (up to 48:00)
};
using Week = std::array<std::vector<Span>, 7>;

class Parser {
public:
    // Dashes typed as en or em dashes are the range's hyphen.
    explicit Parser(const QString& text)
        : s_(QString(text).replace(QChar(0x2013), u'-').replace(QChar(0x2014), u'-').trimmed()) {}

    std::optional<TSchedule> run(QString* why) {
        Week week;
        if (s_.isEmpty()) return fail(why, QStringLiteral("empty"));
        bool first = true;
        while (true) {
            skipBlanks();
            if (atEnd()) break;
            bool additional = false;
            if (!first) {
                if (peek() == u';') {
                    ++i_;
                } else if (peek() == u',') {
                    ++i_;
                    additional = true;
                } else {
                    return fail(why, QStringLiteral("unexpected text at \"%1\"").arg(s_.mid(i_)));
                }
                skipBlanks();
                if (atEnd()) break; // a trailing separator
            }
            first = false;
            if (!rule(week, additional)) return fail(why, error_);
        }
        if (!weekRule_) return fail(why, QStringLiteral("rules for holidays only"));
        TSchedule schedule;
        for (int d = 0; d < 7; ++d) {
            std::vector<Span>& spans = week[d];
            std::sort(spans.begin(), spans.end(),
                      [](const Span& a, const Span& b) { return a.begin < b.begin; });
            spans.erase(std::unique(spans.begin(), spans.end(),
                                    [](const Span& a, const Span& b) {
                                        return a.begin == b.begin && a.end == b.end;
                                    }),
                        spans.end());
            if (spans.size() > 2) return fail(why, QStringLiteral("more than two time ranges in a day"));
            if (spans.size() == 2 && spans[0].end > spans[1].begin)
                return fail(why, QStringLiteral("overlapping time ranges"));
            // A break after midnight stays within the day's record: 22:00-06:00 with a break from
            // 02:00 to 03:00 reads back as open 22:00-02:00 and 03:00-06:00.
            if (!spans.empty() && spans.back().end - spans.front().begin > DayMinutes)
                return fail(why, QStringLiteral("a day longer than 24 hours"));
            if (spans.empty()) continue;
            // A day that opens and closes at the same hour reads as never open, so a whole day from
            // 10:00 to 10:00 the next morning cannot be stored.
            if (spans.size() == 1 && spans[0].end - spans[0].begin >= DayMinutes && spans[0].begin != 0)
                return fail(why, QStringLiteral("a range of 24 hours that does not start at midnight"));
            TDaySchedule& day = schedule[d];
            day.BeginWork = Time(spans.front().begin);
            const bool wholeDay = spans.size() == 1 && spans[0].begin == 0 && spans[0].end >= DayMinutes;
            day.EndWork = wholeDay ? Time(DayMinutes - 1) : Time(spans.back().end);
            if (spans.size() == 2) {
                day.BeginDiner = Time(spans[0].end);
                day.EndDiner = Time(spans[1].begin);
            }
        }
        return schedule;
    }

private:
    // The store holds times of day only: 24:00 is midnight, 26:00 is 02:00 of the next morning.
    static double Time(int minutes) {
        const int m = minutes % DayMinutes;
        return ScheduleTime(m / 60, m % 60);
    }

    std::optional<TSchedule> fail(QString* why, const QString& reason) {
        if (why) *why = reason;
        return std::nullopt;
    }

    bool atEnd() const { return i_ >= s_.size(); }
    QChar peek(int ahead = 0) const { return i_ + ahead < s_.size() ? s_[i_ + ahead] : QChar(); }
    void skipBlanks() {
        while (!atEnd() && peek().isSpace())
            ++i_;
    }
    bool error(const QString& e) {
        error_ = e;
        return false;
    }
    QString word() const {
        int j = i_;
        while (j < s_.size() && (s_[j].isLetter() || s_[j] == u'_'))
            ++j;
        return s_.mid(i_, j - i_);
    }
    static int DayIndex(const QString& w) {
        static const char* const names[] = {"mo", "tu", "we", "th", "fr", "sa", "su"};
        const QString l = w.toLower();
        for (int d = 0; d < 7; ++d)
            if (l == QLatin1String(names[d])) return d;
        return -1;
    }
    bool atDay() const {
        return DayIndex(word()) >= 0 || word().toUpper() == QLatin1String("PH") ||
               word().toUpper() == QLatin1String("SH");
    }

    // One rule: "24/7", or an optional day selector followed by optional time ranges and an optional
    // "off"/"closed"/"open".
    bool rule(Week& week, bool additional) {
        if (s_.mid(i_, 4) == QLatin1String("24/7")) {
            i_ += 4;
            weekRule_ = true;
            for (auto& d : week)
                d = {Span{0, DayMinutes}};
            return true;
        }
        std::array<bool, 7> days{};
        bool anyDay = false, holiday = false;
        if (atDay()) {
            if (!daySelector(days, holiday)) return false;
            for (bool d : days)
                anyDay = anyDay || d;
        } else if (!word().isEmpty() && !isState(word())) {
            return error(unsupported(word()));
        } else if (peek() == u'"') {
            return error(QStringLiteral("a comment"));
        } else if (!atEnd() && !peek().isDigit() && !isState(word())) {
            return error(QStringLiteral("unexpected text at \"%1\"").arg(s_.mid(i_)));
        }
        skipBlanks();
        std::vector<Span> spans;
        bool timesGiven = false;
        if (!atEnd() && peek().isDigit()) {
            timesGiven = true;
            if (!timeSelector(spans)) return false;
        }
        skipBlanks();
        bool closed = false;
        const QString state = word().toLower();
        if (isState(state)) {
            i_ += state.size();
            closed = state != QLatin1String("open");
            skipBlanks();
        }
        if (!atEnd() && peek() != u';' && peek() != u',') {
            if (peek() == u'"') return error(QStringLiteral("a comment"));
            if (peek() == u'+') return error(QStringLiteral("an open end"));
            return error(unsupported(word().isEmpty() ? s_.mid(i_, 1) : word()));
        }
        // A rule for holidays alone cannot be kept; the week rules around it still hold.
        if (holiday && !anyDay) return true;
        weekRule_ = true;
        if (!anyDay) days.fill(true);
        if (!timesGiven) spans = {Span{0, DayMinutes}};
        for (int d = 0; d < 7; ++d) {
            if (!days[d]) continue;
            if (closed && timesGiven) {
                // "12:00-14:00 off" closes those hours only: a break in the day, not the whole day.
                for (const Span& cut : spans)
                    week[d] = Without(week[d], cut);
            } else if (closed) {
                week[d].clear();
            } else if (additional) {
                week[d].insert(week[d].end(), spans.begin(), spans.end());
            } else {
                week[d] = spans;
            }
        }
        return true;
    }

    // Hours before the day's opening may fall into its night ("22:00-06:00; 02:00-03:00 off"), so
    // the cut is also made a day later.
    static std::vector<Span> Without(const std::vector<Span>& spans, const Span& cut) {
        return WithoutOnce(WithoutOnce(spans, cut), {cut.begin + DayMinutes, cut.end + DayMinutes});
    }

    static std::vector<Span> WithoutOnce(const std::vector<Span>& spans, const Span& cut) {
        std::vector<Span> out;
        for (const Span& s : spans) {
            if (cut.end <= s.begin || cut.begin >= s.end) {
                out.push_back(s);
                continue;
            }
            if (s.begin < cut.begin) out.push_back({s.begin, cut.begin});
            if (cut.end < s.end) out.push_back({cut.end, s.end});
        }
        return out;
    }

    static bool isState(const QString& w) {
        const QString l = w.toLower();
        return l == QLatin1String("off") || l == QLatin1String("closed") || l == QLatin1String("open");
    }

    static QString unsupported(const QString& w) {
        const QString l = w.toLower();
        static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                             "jul", "aug", "sep", "oct", "nov", "dec"};
        for (const char* m : months)
            if (l == QLatin1String(m)) return QStringLiteral("a month selector");
        if (l == QLatin1String("week")) return QStringLiteral("a week selector");
        if (l == QLatin1String("sunrise") || l == QLatin1String("sunset") || l == QLatin1String("dawn") ||
            l == QLatin1String("dusk"))
            return QStringLiteral("times by the sun");
        if (l == QLatin1String("easter")) return QStringLiteral("a date selector");
        if (l == QLatin1String("unknown")) return QStringLiteral("unknown hours");
        return QStringLiteral("\"%1\"").arg(w);
    }

    bool daySelector(std::array<bool, 7>& days, bool& holiday) {
        while (true) {
            skipBlanks();
            const QString w = word();
            const int from = DayIndex(w);
            if (from < 0) {
                if (w.toUpper() == QLatin1String("PH") || w.toUpper() == QLatin1String("SH")) {
                    i_ += w.size();
                    holiday = true;
                } else {
                    return error(QStringLiteral("a day was expected at \"%1\"").arg(s_.mid(i_)));
                }
            } else {
                i_ += w.size();
                if (peek() == u'[') return error(QStringLiteral("a week-of-month selector"));
                int to = from;
                skipBlanks();
                if (peek() == u'-') {
                    ++i_;
                    skipBlanks();
                    const QString w2 = word();
                    to = DayIndex(w2);
                    if (to < 0) return error(QStringLiteral("a day was expected at \"%1\"").arg(s_.mid(i_)));
                    i_ += w2.size();
                }
                // Ranges wrap around the week: "Fr-Mo" is Friday to Monday.
                for (int d = from;; d = (d + 1) % 7) {
                    days[d] = true;
                    if (d == to) break;
                }
            }
            skipBlanks();
            if (peek() == u',' && !peek(1).isDigit()) {
                const int save = i_;
                ++i_;
                skipBlanks();
                if (atDay()) continue;
                i_ = save;
            }
            return true;
        }
    }

    bool time(int& minutes) {
        int h = 0, digits = 0;
        while (!atEnd() && peek().isDigit() && digits < 2) {
            h = h * 10 + peek().digitValue();
            ++i_;
            ++digits;
        }
        if (digits == 0 || peek() != u':')
            return error(QStringLiteral("a time was expected at \"%1\"").arg(s_.mid(i_)));
        ++i_;
        if (!peek().isDigit() || !peek(1).isDigit())
            return error(QStringLiteral("a time was expected at \"%1\"").arg(s_.mid(i_)));
        const int m = peek().digitValue() * 10 + peek(1).digitValue();
        i_ += 2;
        if (m > 59 || h > 48 || h * 60 + m > 48 * 60) return error(QStringLiteral("a time out of range"));
        minutes = h * 60 + m;
        return true;
    }

    bool timeSelector(std::vector<Span>& spans) {
        while (true) {
            skipBlanks();
            Span span;
            if (!time(span.begin)) return false;
            if (span.begin >= DayMinutes) return error(QStringLiteral("a time out of range"));
            skipBlanks();
            if (peek() == u'+') return error(QStringLiteral("an open end"));
            if (peek() != u'-') return error(QStringLiteral("a time range was expected"));
            ++i_;
            skipBlanks();
            if (!time(span.end)) return false;
            if (peek() == u'+') return error(QStringLiteral("an open end"));
            // An end before the begin runs past midnight; an end equal to it is a whole day later.
            if (span.end <= span.begin) span.end += DayMinutes;
            if (span.end - span.begin > DayMinutes)
                return error(QStringLiteral("a time range longer than a day"));
            spans.push_back(span);
            skipBlanks();
            if (peek() == u',' && peek(1).isDigit()) {
                ++i_;
                continue;
            }
            if (peek() == u',') {
                const int save = i_;
                ++i_;
                skipBlanks();
                const bool more = !atEnd() && peek().isDigit();
                i_ = save;
                if (more) {
                    ++i_;
                    continue;
                }
            }
            return true;
        }
    }

    QString s_;
    int i_ = 0;
    QString error_;
    bool weekRule_ = false;
};

} // namespace

std::optional<TSchedule> ParseOpeningHours(const QString& text, QString* why) {
    return Parser(text).run(why);
}
