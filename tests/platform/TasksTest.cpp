// The task layer: a worker pauses, resumes and stops between steps, and no worker outlives
// its runner. Also where cache files go.
#include "platform/ProgramFolder.hpp"
#include "platform/Tasks.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <unistd.h>

using namespace carvento::platform;

namespace {

// A fake sampling task: counts steps and pauses its own runner once at `pauseAt`.
struct CountingTask {
    std::atomic<int> steps{0};
    std::atomic<bool> reachedPause{false};
    std::atomic<bool> finished{false};
    int pauseAt = -1;
    int last = 1 << 30;

    void Run(TaskRunner& runner)
    {
        ASSERT_TRUE(runner.Start(
            [this, &runner](const TaskControl& control) {
                while (control.Proceed() && steps < last) {
                    if (++steps == pauseAt) {
                        runner.Pause();
                        reachedPause = true;
                        reachedPause.notify_all();
                    }
                }
            },
            [this] { finished = true; }));
    }
    void WaitForPause() { reachedPause.wait(false); }
};

} // namespace

TEST(TaskRunner, PausesResumesAndStopsBetweenSteps)
{
    TaskRunner runner;
    CountingTask task;
    task.pauseAt = 10;
    task.last = 20;
    task.Run(runner);
    task.WaitForPause();
    EXPECT_TRUE(runner.Paused());
    EXPECT_FALSE(runner.Start([](const TaskControl&) {})) << "one task at a time";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(10, task.steps.load()) << "a paused worker takes no further step";
    runner.Resume();
    runner.Stop(); // joins; the task may or may not have finished its steps by now
    EXPECT_FALSE(runner.Running());
    EXPECT_TRUE(task.finished.load());
    EXPECT_GE(task.steps.load(), 10);

    // A stop reaches a paused worker too, which then takes no further step.
    CountingTask paused;
    paused.pauseAt = 3;
    paused.Run(runner);
    paused.WaitForPause();
    runner.Stop();
    EXPECT_EQ(3, paused.steps.load());
    EXPECT_TRUE(paused.finished.load());

    // The runner starts again with fresh flags.
    CountingTask again;
    again.last = 5;
    again.Run(runner);
    runner.Stop();
    EXPECT_FALSE(runner.Paused());
}

TEST(TaskRunner, ClosingAPageMidTaskJoinsItsWorker)
{
    CountingTask endless;
    {
        TaskRunner runner;
        endless.pauseAt = 1000;
        endless.Run(runner);
        endless.WaitForPause();
        // The page (and its runner) goes away while the worker is paused mid-task.
    }
    EXPECT_TRUE(endless.finished.load());
    EXPECT_EQ(1000, endless.steps.load());
}

TEST(TaskRunner, RequestStopLetsTheWorkerEndWithoutWaitingForIt)
{
    TaskRunner runner;
    std::atomic<bool> release{false};
    std::atomic<bool> sawStop{false};
    ASSERT_TRUE(runner.Start([&](const TaskControl& control) {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawStop = !control.Proceed();
    }));
    // Returns while the worker is still busy (a blocking stop would never return here).
    runner.RequestStop();
    EXPECT_TRUE(runner.Running());
    release = true;
    runner.Stop();
    EXPECT_TRUE(sawStop);
    EXPECT_FALSE(runner.Running());
}

namespace {

class ScriptedPrompter final : public Prompter {
public:
    std::vector<std::string> notices;
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    MessageAnswer ShowMessage(const Message&) override { return MessageAnswer::Yes; }
    std::vector<std::string> ChooseOpenFiles(const FileDialog&) override { return {"in.txt"}; }
    std::optional<std::string> ChooseSaveFile(const FileDialog&) override { return "out.txt"; }
    bool ChooseImportColumns(ColumnMapping& mapping) override
    {
        mapping.columnMap = {2, 1};
        return true;
    }
};

// Runs calls inline, or drops them like a dispatcher whose window is closing.
class SwitchDispatcher final : public UiDispatcher {
public:
    bool drop = false;
    int calls = 0;
    void RunAndWait(const std::function<void()>& function) override
    {
        ++calls;
        if (!drop)
            function();
    }
};

} // namespace

TEST(DispatchingPrompter, AsksThroughTheDispatcherAndRefusesWhenTheCallIsDropped)
{
    ScriptedPrompter inner;
    SwitchDispatcher dispatcher;
    DispatchingPrompter prompter(inner, dispatcher);
    ColumnMapping mapping;
    EXPECT_EQ(MessageAnswer::Yes, prompter.ShowMessage({}));
    EXPECT_EQ(std::vector<std::string>{"in.txt"}, prompter.ChooseOpenFiles({}));
    EXPECT_EQ("out.txt", prompter.ChooseSaveFile({}));
    EXPECT_TRUE(prompter.ChooseImportColumns(mapping));
    EXPECT_EQ((std::vector<int>{2, 1}), mapping.columnMap);
    prompter.ShowNotice("saved");
    EXPECT_EQ(std::vector<std::string>{"saved"}, inner.notices);
    EXPECT_EQ(5, dispatcher.calls);

    // Nothing answered: every question gets the answer that does nothing.
    dispatcher.drop = true;
    mapping.columnMap = {0, 1};
    EXPECT_EQ(MessageAnswer::Cancel, prompter.ShowMessage({}));
    EXPECT_TRUE(prompter.ChooseOpenFiles({}).empty());
    EXPECT_FALSE(prompter.ChooseSaveFile({}));
    EXPECT_FALSE(prompter.ChooseImportColumns(mapping));
    EXPECT_EQ((std::vector<int>{0, 1}), mapping.columnMap);
    prompter.ShowNotice("dropped");
    EXPECT_EQ(1u, inner.notices.size());
}

TEST(CacheFolder, BesideTheProgramOnlyWhenThatIsWritable)
{
    auto scratch = std::filesystem::temp_directory_path() /
                   ("carvento-cache-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    EXPECT_EQ(scratch.string(), CacheFolderFor(scratch.string(), nullptr, "/nonexistent"));
    EXPECT_EQ((scratch / "data" / "carvento").string(),
              CacheFolderFor("/nonexistent/bin", (scratch / "data").c_str(), "/nonexistent"));
    EXPECT_EQ((scratch / ".local" / "share" / "carvento").string(),
              CacheFolderFor("", "relative/ignored", scratch.c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(scratch / ".local" / "share" / "carvento"));
    EXPECT_EQ("", CacheFolderFor("", nullptr, nullptr));
    // Installed: the user's folder, even where the program folder is writable (root).
    EXPECT_EQ((scratch / "data" / "carvento").string(),
              CacheFolderFor("/usr/bin", (scratch / "data").c_str(), "/nonexistent"));
    EXPECT_FALSE(ProgramFolder().empty());
    std::filesystem::remove_all(scratch);
}
