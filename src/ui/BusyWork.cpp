#include "BusyWork.h"

#include "TextTable.h"

#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <exception>
#include <thread>

void RunBusy(QWidget* parent, const std::function<void()>& work) {
    QEventLoop loop;
    std::exception_ptr failure;
    QProgressDialog wait(LangText(u"Wait"), QString(), 0, 0, parent);
    wait.setWindowModality(Qt::ApplicationModal);
    wait.setCancelButton(nullptr);
    wait.setMinimumDuration(400);
    wait.setAutoClose(false);
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Clicks and keys wait in the queue: they belong to a window that is about to change.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    wait.hide();
    if (failure) std::rethrow_exception(failure);
}
