// Long work that must finish before the window goes on (rebuilding the search indexes after a change of
// the data language) runs on a thread of its own while the window keeps painting; a "Please, wait..."
// window shows when it takes longer than a moment, and input waits until the work has ended.
#pragma once

#include <functional>

class QWidget;

// `work` must only read what the window's timers may read at the same time. An exception it throws is
// thrown again here.
void RunBusy(QWidget* parent, const std::function<void()>& work);
