// The user-interface dispatcher on Qt: a worker's call is queued to the event loop and the
// worker waits for it; on the user-interface thread itself the call runs at once.
#pragma once

#include "platform/Tasks.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace carvento::ui {

class QtDispatcher final : public platform::UiDispatcher {
public:
    QtDispatcher();
    // Closes the dispatcher (see Close).
    ~QtDispatcher() override;
    QtDispatcher(const QtDispatcher&) = delete;
    QtDispatcher& operator=(const QtDispatcher&) = delete;

    // Runs `function` on the user-interface thread and returns when it has run. After Close,
    // returns at once without running it.
    void RunAndWait(const std::function<void()>& function) override;
    // Releases a worker waiting for a call that has not started (the call is dropped) and
    // drops every later one. A window closes its dispatcher before it joins its worker: the
    // worker could be waiting for this very thread.
    void Close();

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        bool closed = false;
    };
    std::shared_ptr<Shared> m_shared;
};

} // namespace carvento::ui
