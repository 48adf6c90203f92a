#include "ShellOpen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {
ShellOpenHook& Hook() {
    static ShellOpenHook hook;
    return hook;
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
