#include "KeyboardLayout.h"

#include <QGuiApplication>
#include <algorithm>

#if defined(TESSARA_HAVE_XKB)
#include <QtGui/qguiapplication_platform.h>
#include <X11/XKBlib.h>
#endif

namespace {

// Layouts beyond the eighth are not looked at.
constexpr int LayoutsLooked = 8;

bool IsRussian(const QString& name) {
    const QString n = name.trimmed();
    return n.startsWith(QLatin1String("Russian"), Qt::CaseInsensitive) ||
           n.compare(QLatin1String("ru"), Qt::CaseInsensitive) == 0;
}

#if defined(TESSARA_HAVE_XKB)

// Qt's own connection when it has one; otherwise one of our own for this request only.
struct XDisplay {
    Display* dpy = nullptr;
    bool own = false;
    XDisplay() {
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) dpy = x11->display();
        if (!dpy) {
            dpy = XOpenDisplay(nullptr);
            own = dpy != nullptr;
        }
    }
    ~XDisplay() {
        if (own) XCloseDisplay(dpy);
    }
};

bool LockRussianGroup(Display* dpy) {
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(dpy, &opcode, &event, &error, &major, &minor)) return false;
    XkbDescPtr xkb = XkbAllocKeyboard();
    if (!xkb) return false;
    QStringList names;
    if (XkbGetControls(dpy, XkbGroupsWrapMask, xkb) == Success && XkbGetNames(dpy, XkbGroupNamesMask, xkb) == Success &&
        xkb->ctrls && xkb->names) {
        const int groups = std::min<int>(xkb->ctrls->num_groups, XkbNumKbdGroups);
        for (int g = 0; g < groups; ++g) {
            char* name = xkb->names->groups[g] != None ? XGetAtomName(dpy, xkb->names->groups[g]) : nullptr;
            names << (name ? QString::fromUtf8(name) : QString());
            if (name) XFree(name);
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    const int group = RussianLayoutGroup(names);
    XkbStateRec state{};
    if (group < 0 || XkbGetState(dpy, XkbUseCoreKbd, &state) != Success || state.group == group) return false;
    if (!XkbLockGroup(dpy, XkbUseCoreKbd, unsigned(group))) return false;
    XSync(dpy, False);
    return true;
}

#endif

} // namespace

int RussianLayoutGroup(const QStringList& layoutNames) {
    const int n = std::min<int>(int(layoutNames.size()), LayoutsLooked);
    for (int i = 0; i < n; ++i)
        if (IsRussian(layoutNames[i])) return i;
    return -1;
}

bool ActivateRussianLayout() {
#if defined(TESSARA_HAVE_XKB)
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    XDisplay x;
    return x.dpy && LockRussianGroup(x.dpy);
#else
    return false;
#endif
}
