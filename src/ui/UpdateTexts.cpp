#include "UpdateTexts.h"

#include <QHash>

namespace {

int& Language() {
    static int lang = 0;
    return lang;
}

struct Pair {
    const char* ru;
    const char* en;
};

const QHash<QString, Pair>& Table() {
    static const QHash<QString, Pair> table{
        {"Update", {"Обновление справочника", "Update the directory"}},
        {"Wait", {"Пожалуйста, подождите...", "Please, wait..."}},
        {"Downloading", {"Идет скачивание обновления.", "Downloading."}},
        {"ErrDownload",
         {"Не удалось скачать обновление. Попробуйте скачать вручную c сайта www.tessara.example.",
          "Update failed. Please, try update from web-site www.tessara.example."}},
        {"Element", {"Элемент", "Component"}},
        {"Befor", {"Установлено", "Installed"}},
        {"After", {"Доступно", "Accessible"}},
        {"NeedUpdate", {"Обновить", "Update"}},
        {"Cancel", {"Отмена", "Cancel"}},
        {"Tessara", {"Тессара", "Tessara"}},
    };
    return table;
}

} // namespace

void SetUpdateTextLanguage(int shellLang) { Language() = shellLang == 1 ? 1 : 0; }

QString UpdateText(const QString& key) {
    const auto it = Table().constFind(key);
    if (it == Table().constEnd()) return QString();
    return QString::fromUtf8(Language() == 1 ? it->en : it->ru);
}
