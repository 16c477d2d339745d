// Worker calls queued to the user-interface thread.
#include "ui/QtDispatcher.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace carvento::ui {
namespace {

// One queued call. The worker's function lives on the worker's stack: the queued side runs it
// only while the worker still waits, which `started` and `closed` decide under the mutex.
struct Call {
    const std::function<void()>* function = nullptr;
    bool started = false;
    bool done = false;
};

} // namespace

QtDispatcher::QtDispatcher() : m_shared(std::make_shared<Shared>()) {}

QtDispatcher::~QtDispatcher()
{
    Close();
}

void QtDispatcher::Close()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->closed = true;
    m_shared->changed.notify_all();
}

void QtDispatcher::RunAndWait(const std::function<void()>& function)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread()) {
        function();
        return;
    }
    // A queued call and a wait of our own rather than a blocking queued connection: Close
    // can release the worker, which a blocked connection could not.
    auto call = std::make_shared<Call>();
    call->function = &function;
    std::shared_ptr<Shared> shared = m_shared;
    {
        std::lock_guard lock(shared->mutex);
        if (shared->closed)
            return;
    }
    QMetaObject::invokeMethod(
        application,
        [shared, call] {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->closed)
                    return;
                call->started = true;
            }
            (*call->function)();
            std::lock_guard lock(shared->mutex);
            call->done = true;
            shared->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(shared->mutex);
    shared->changed.wait(lock, [&] { return call->done || (shared->closed && !call->started); });
}

} // namespace carvento::ui
