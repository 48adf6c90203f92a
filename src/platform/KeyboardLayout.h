// The keyboard layout at the main window's start: a Russian layout becomes the active one when the
// user has one installed, so that street and organisation names can be typed at once.
#pragma once

#include <QStringList>

// The position of the first Russian layout among the first eight, -1 when there is none. Names are
// the system's layout names ("Russian", "Russian (phonetic)") or layout codes ("ru").
int RussianLayoutGroup(const QStringList& layoutNames);

// Locks the keyboard to the first Russian layout group when another group is active. X11 only: other
// platforms (Wayland, offscreen) have no such request and are left alone. Nothing is restored later:
// the user switches back as usual. True when the active group was changed.
bool ActivateRussianLayout();
