#include "ShellOpen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {
ShellOpenHook& Hook() {
    static ShellOpenHook hook;
    return hook;
}

// The part after a plain link's scheme: a mail address or a Skype name. Parameters ("?attach=",
// "?call"), fragments, percent escapes (a client may decode them into parameters), blanks, quotes and
// path separators have no place in it.
bool IsPlainLinkBody(QStringView body) {
    if (body.isEmpty()) return false;
    for (const QChar c : body) {
        if (c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return false;
        if (QStringView(u"?#%&<>\"\\/`").contains(c)) return false;
    }
    return true;
}

QUrl SafeOutsideUrl(const QString& address) {
    for (const QChar c : address)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return {};
    const qsizetype colon = address.indexOf(u':');
    if (colon <= 0) return {};
    const QString scheme = address.left(colon).toLower();
    const QStringView body = QStringView(address).mid(colon + 1);
    if (scheme == u"mailto") {
        if (!IsPlainLinkBody(body) || !body.contains(u'@')) return {};
    } else if (scheme == u"skype") {
        if (!IsPlainLinkBody(body)) return {};
    } else if (scheme == u"http" || scheme == u"https") {
        const QUrl url(address, QUrl::TolerantMode);
        if (!url.isValid() || url.host().isEmpty() || url.scheme().toLower() != scheme) return {};
        return url;
    } else {
        return {};
    }
    QUrl url(address, QUrl::TolerantMode);
    return url.isValid() && url.scheme().toLower() == scheme ? url : QUrl();
}
} // namespace

void SetShellOpenHook(ShellOpenHook hook) {
    Hook() = std::move(hook);
}

bool ShellOpen(const QString& target) {
    if (Hook()) return Hook()(target);
    const QUrl url = QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl(target);
    return QDesktopServices::openUrl(url);
}

bool IsSafeOutsideLink(const QString& address) {
    return SafeOutsideUrl(address).isValid();
}

bool OpenOutsideLink(const QString& address) {
    const QUrl url = SafeOutsideUrl(address);
    if (!url.isValid()) return false;
    if (Hook()) return Hook()(address);
    return QDesktopServices::openUrl(url);
}
