#include "ServiceTexts.h"

#include "TextTable.h"

namespace {

const TextRow Rows[] = {
    {"ListsKept", u"Ничего не изменено: установленные города остались как были.",
     u"Nothing was changed: the installed cities stay as they were."},
    {"ComponentKept", u"Прежние файлы этого компонента остались как были.",
     u"The files installed before stay as they were."},
    {"UpdateInstalled", u"Установлено: %1.", u"Installed: %1."},
    {"NothingNew", u"Новых версий нет: всё установленное актуально.",
     u"Nothing new: everything installed is up to date."},
    {"Checking", u"Проверка обновлений...", u"Checking for updates..."},
    {"SearchCancelled", u"Поиск отменён; прежний список сохранён.",
     u"The search was cancelled; the previous list is kept."},
    {"ListKept", u"Прежний список сохранён.", u"The previous list is kept."},
    {"OffersFound", u"Найдено предложений: %1", u"Offers found: %1"},
    {"OtherCityOffer", u"Это предложение из города %1: показать его на карте можно, загрузив этот город.",
     u"This offer is in %1: load that city to show it on the map."},
    {"SavedTo", u"Сохранено в %1", u"Saved to %1"},
    {"Sending", u"Отправка сообщения...", u"Sending the message..."},
    {"NotSent", u"Сообщение не отправлено: %1\nТекст сохранён в окне, можно попробовать ещё раз.",
     u"The message was not sent: %1\nYour text is kept in the window; you can try again."},
    {"SendCancelled", u"Отправка отменена; сообщение не отправлено.",
     u"Sending was cancelled; the message was not sent."},
    {"Sent", u"Сообщение отправлено.", u"The message has been sent."},
};

} // namespace

QString ServiceText(QStringView key, int shellLang) {
    for (const TextRow& row : Rows)
        if (key == QLatin1String(row.key)) return QString::fromUtf16(shellLang == LangEnglish ? row.en : row.ru);
    return {};
}

QString ServiceText(QStringView key) {
    return ServiceText(key, CurrentShellLang());
}
