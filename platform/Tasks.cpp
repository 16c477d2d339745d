// Task flags, the worker runner and the dispatching prompter.
#include "platform/Tasks.hpp"

namespace carvento::platform {

void TaskControl::RequestStop()
{
    m_stop.store(true, std::memory_order_release);
    // Wake a paused worker so that it sees the stop.
    m_paused.store(false, std::memory_order_release);
    m_paused.notify_all();
}

void TaskControl::Pause()
{
    m_paused.store(true, std::memory_order_release);
}

void TaskControl::Resume()
{
    m_paused.store(false, std::memory_order_release);
    m_paused.notify_all();
}

bool TaskControl::Proceed() const
{
    while (m_paused.load(std::memory_order_acquire) && !StopRequested())
        m_paused.wait(true, std::memory_order_acquire);
    return !StopRequested();
}

void TaskControl::Reset()
{
    m_stop.store(false, std::memory_order_release);
    m_paused.store(false, std::memory_order_release);
}

bool TaskRunner::Start(std::function<void(const TaskControl&)> work, std::function<void()> finished)
{
    if (Running())
        return false;
    if (m_worker.joinable())
        m_worker.join();
    m_control.Reset();
    m_running.store(true, std::memory_order_release);
    m_worker = std::jthread([this, work = std::move(work), finished = std::move(finished)] {
        work(m_control);
        if (finished)
            finished();
        m_running.store(false, std::memory_order_release);
    });
    return true;
}

MessageAnswer DispatchingPrompter::ShowMessage(const Message& message)
{
    MessageAnswer answer = MessageAnswer::Cancel;
    m_dispatcher->RunAndWait([&] { answer = m_prompter.ShowMessage(message); });
    return answer;
}

std::vector<std::string> DispatchingPrompter::ChooseOpenFiles(const FileDialog& dialog)
{
    std::vector<std::string> paths;
    m_dispatcher->RunAndWait([&] { paths = m_prompter.ChooseOpenFiles(dialog); });
    return paths;
}

std::optional<std::string> DispatchingPrompter::ChooseSaveFile(const FileDialog& dialog)
{
    std::optional<std::string> path;
    m_dispatcher->RunAndWait([&] { path = m_prompter.ChooseSaveFile(dialog); });
    return path;
}

bool DispatchingPrompter::ChooseImportColumns(ColumnMapping& mapping)
{
    bool chosen = false;
    m_dispatcher->RunAndWait([&] { chosen = m_prompter.ChooseImportColumns(mapping); });
    return chosen;
}

void DispatchingPrompter::ShowNotice(const std::string& text)
{
    m_dispatcher->RunAndWait([&] { m_prompter.ShowNotice(text); });
}

void TaskRunner::Stop()
{
    m_control.RequestStop();
    if (m_worker.joinable())
        m_worker.join();
    m_running.store(false, std::memory_order_release);
}

} // namespace carvento::platform
