// Interface texts in Russian and English, looked up by short key, with the language and month names
// and the hooks that relabel open windows when the interface or data language changes.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <span>
#include <vector>

// Interface languages: 0 Russian, 1 English; -1 while none has been chosen yet.
constexpr int LangRussian = 0;
constexpr int LangEnglish = 1;

struct TextRow {
    const char* key;
    const char16_t* ru;
    const char16_t* en;
};

// All rows, in table order.
std::span<const TextRow> TextTable();

// The text of `key` (exact, case-sensitive) in `shellLang`; empty for an unknown key.
// Any language other than English gives the Russian text, as do the designed captions.
QString LangText(QStringView key, int shellLang);

// The text of `key` in the interface language in force (see BindShellLang).
QString LangText(QStringView key);

// A text with its "\r" breaks turned into the line breaks Qt widgets show.
QString WithLineBreaks(QString text);

// Points LangText(key) at the program's interface-language setting, usually Settings::ShellLang.
// The variable must outlive the binding; nullptr unbinds (then Russian is used).
void BindShellLang(const int* shellLang);
int CurrentShellLang();

// "Русский", "English", in language index order.
QStringList LangNames();

// Month 1..12 in `shellLang`; empty outside 1..12.
QString MonthName(int month, int shellLang);

// Main window caption: AppName, city, two blanks, "(", month and year of the release, ")".
// `releaseDate` is "dd.MM.yyyy"; an unreadable date leaves the parenthesis empty.
QString MainWindowCaption(const QString& cityName, const QString& releaseDate, int shellLang);

// Windows that show language-dependent texts register here; the main window does so when it exists.
// ChangeDataLang runs before ChangeShellLang after the options window is confirmed.
class LanguageHooks {
public:
    using Hook = std::function<void()>;
    // Both return an id for Remove.
    int OnShellLang(Hook relabel);
    int OnDataLang(Hook refresh);
    void Remove(int id);

    void ChangeShellLang() const;
    void ChangeDataLang() const;

private:
    struct Entry {
        int id;
        bool data;
        Hook hook;
    };
    std::vector<Entry> entries_;
    int nextId_ = 1;
};
