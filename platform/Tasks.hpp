// Work that runs beside the user-interface thread: stop and pause flags a worker polls between
// steps, a runner that owns the worker thread and always joins it, and the seam through which a
// worker has the user-interface thread run something for it.
#pragma once

#include "platform/Prompter.hpp"

#include <atomic>
#include <functional>
#include <thread>

namespace carvento::platform {

// Stop and pause flags of one task. The worker polls them between steps without a lock.
class TaskControl {
public:
    void RequestStop();
    void Pause();
    void Resume();
    bool StopRequested() const { return m_stop.load(std::memory_order_acquire); }
    bool Paused() const { return m_paused.load(std::memory_order_acquire); }
    // Called by the worker between steps: waits while the task is paused and returns false
    // once a stop was requested (also from within a pause).
    bool Proceed() const;
    // Clears both flags before a new run.
    void Reset();

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_paused{false};
};

// Runs a function on the user-interface thread and waits for it. The desktop program queues it
// to the event loop; tests and the command line run it at once on the calling thread.
class UiDispatcher {
public:
    virtual ~UiDispatcher() = default;
    virtual void RunAndWait(const std::function<void()>& function) = 0;
};

class InlineDispatcher final : public UiDispatcher {
public:
    void RunAndWait(const std::function<void()>& function) override { function(); }
};

// The dialogs of another prompter, shown through a dispatcher: a command running on a worker
// asks on the user-interface thread. When the dispatcher drops a call (its window is closing),
// the answer is the refusing one: Cancel, no file, no mapping.
class DispatchingPrompter final : public Prompter {
public:
    DispatchingPrompter(Prompter& prompter, UiDispatcher& dispatcher)
        : m_prompter(prompter), m_dispatcher(&dispatcher)
    {
    }
    // `dispatcher` must outlive its use here.
    void SetDispatcher(UiDispatcher& dispatcher) { m_dispatcher = &dispatcher; }
    UiDispatcher& Dispatcher() const { return *m_dispatcher; }

    MessageAnswer ShowMessage(const Message& message) override;
    std::vector<std::string> ChooseOpenFiles(const FileDialog& dialog) override;
    std::optional<std::string> ChooseSaveFile(const FileDialog& dialog) override;
    bool ChooseImportColumns(ColumnMapping& mapping) override;
    void ShowNotice(const std::string& text) override;

private:
    Prompter& m_prompter;
    UiDispatcher* m_dispatcher;
};

// Owns one worker thread at a time. Stop() (and the destructor, so closing a page or leaving
// the program) requests a stop and joins the worker; no worker outlives its runner.
class TaskRunner {
public:
    TaskRunner() = default;
    ~TaskRunner() { Stop(); }
    TaskRunner(const TaskRunner&) = delete;
    TaskRunner& operator=(const TaskRunner&) = delete;

    // Starts `work` on a new thread with fresh flags; false while a task is still running.
    // `finished` runs on the worker thread after `work` returns, whether stopped or not.
    bool Start(std::function<void(const TaskControl&)> work, std::function<void()> finished = {});
    void Pause() { m_control.Pause(); }
    void Resume() { m_control.Resume(); }
    // Requests a stop and waits for the worker to end.
    void Stop();
    // Requests a stop without waiting: the worker ends at its next look at the flags.
    void RequestStop() { m_control.RequestStop(); }
    bool Running() const { return m_running.load(std::memory_order_acquire); }
    bool Paused() const { return m_control.Paused(); }

private:
    TaskControl m_control;
    std::atomic<bool> m_running{false};
    std::jthread m_worker;
};

} // namespace carvento::platform
