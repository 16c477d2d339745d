// The DEM sampling page object on grids of 8, 4, 2 and 1 ‰ steps (15 876 to 1 002 001 samples)
// against a globe in the process that answers at once, so what is measured is the page's own
// work per sample: the table, its notices and the progress. Run on the calling thread as the
// command line runs it, and on a worker whose notices another thread runs while the worker
// waits, as the desktop program's window does. Samples per second that stay level from the
// smallest grid to the largest mean work linear in the samples; the counters give the table's
// notices and its moves to a larger buffer per run.
#include "earth/EarthConnection.hpp"
#include "pages/globe/EarthPages.hpp"
#include "platform/Profile.hpp"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/resource.h>
#include <thread>

namespace {

using namespace carvento;

class DefaultPrompter final : public platform::Prompter {
public:
    platform::MessageAnswer ShowMessage(const platform::Message&) override
    {
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> ChooseOpenFiles(const platform::FileDialog&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const platform::FileDialog&) override { return {}; }
    bool ChooseImportColumns(platform::ColumnMapping&) override { return true; }
};

class NoClipboard final : public platform::Clipboard {
public:
    bool PutText(const std::string&) override { return false; }
    std::optional<std::string> GetText() override { return {}; }
};

// Ground under every screen position, a plane tilted across the view.
class InstantGlobe final : public earth::EarthClient {
public:
    bool Running() override { return true; }
    int IsInitialized() override { return 1; }
    int IsOnline() override { return 1; }
    std::optional<earth::EarthCamera> Camera() override { return earth::EarthCamera{}; }
    bool SetCamera(const earth::EarthCameraMove&) override { return true; }
    bool LoadKml(const std::string&) override { return true; }
    std::optional<double> AutoPilotSpeed() override { return 1.0; }
    std::optional<earth::TerrainPoint> PointOnTerrain(double x, double y) override
    {
        return earth::TerrainPoint{30 + 0.01 * y, 104 + 0.01 * x, 500 + 20 * x - 10 * y, true};
    }
    std::optional<earth::EarthWindow> MainWindow() override
    {
        return earth::EarthWindow{0, 0, 800, 600};
    }
    std::optional<earth::EarthWindow> RenderWindow() override
    {
        return earth::EarthWindow{0, 0, 800, 578};
    }
    bool MoveMainWindow(const earth::EarthWindow&) override { return true; }
    bool MoveRenderWindow(int, int) override { return true; }
};

// A user-interface thread: runs each notice on its own thread while the worker waits.
class HandOffDispatcher final : public platform::UiDispatcher {
public:
    HandOffDispatcher()
        : m_thread([this] {
              std::unique_lock lock(m_mutex);
              while (true) {
                  m_changed.wait(lock, [this] { return m_quit || m_notice; });
                  if (m_quit)
                      return;
                  (*m_notice)();
                  m_notice = nullptr;
                  m_changed.notify_all();
              }
          })
    {
    }
    ~HandOffDispatcher() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void RunAndWait(const std::function<void()>& function) override
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_notice; });
        m_notice = &function;
        m_changed.notify_all();
        m_changed.wait(lock, [this, &function] { return m_notice != &function; });
    }
    // Waits until `done` holds, looked at on the dispatcher's thread after each notice.
    void WaitFor(const std::function<bool()>& done)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_notice && done(); });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<void()>* m_notice = nullptr;
    bool m_quit = false;
    std::thread m_thread;
};

double PeakResidentMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct Counts {
    long long notices = 0;
    int buffers = 0;
};

void Watch(pages::DemSamplingPage& page, Counts& counts)
{
    tables::CoordinateTable& table = page.Table();
    table.AddObserver([&table, &counts,
                       buffer = table.DataCells().data()](const tables::TableChange&) mutable {
        ++counts.notices;
        if (table.DataCells().data() != buffer) {
            buffer = table.DataCells().data();
            ++counts.buffers;
        }
    });
}

void Report(benchmark::State& state, const Counts& counts, long long samples)
{
    state.SetItemsProcessed(samples);
    state.counters["samples"] = static_cast<double>(samples / state.iterations());
    state.counters["notices"] = static_cast<double>(counts.notices / state.iterations());
    state.counters["buffers"] = static_cast<double>(counts.buffers / state.iterations());
    state.counters["peak_MB"] = PeakResidentMegabytes();
}

void BM_DemSamplingHere(benchmark::State& state)
{
    DefaultPrompter prompter;
    NoClipboard clipboard;
    platform::MemoryProfile profile;
    earth::EarthConnection globe([] { return std::make_unique<InstantGlobe>(); });
    earth::ConnectEarth(globe, prompter);
    Counts counts;
    long long samples = 0;
    for (auto _ : state) {
        pages::DemSamplingPage page({prompter, clipboard, profile, &globe});
        page.SetCacheFolder("");
        page.Choose("x", static_cast<int>(state.range(0)));
        page.Choose("y", static_cast<int>(state.range(0)));
        Watch(page, counts);
        page.RunHere();
        samples += page.Table().DataRowCount();
    }
    Report(state, counts, samples);
}
BENCHMARK(BM_DemSamplingHere)
    ->Arg(8)
    ->Arg(4)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_DemSamplingOnAWorker(benchmark::State& state)
{
    DefaultPrompter prompter;
    NoClipboard clipboard;
    platform::MemoryProfile profile;
    earth::EarthConnection globe([] { return std::make_unique<InstantGlobe>(); });
    earth::ConnectEarth(globe, prompter);
    Counts counts;
    long long samples = 0;
    for (auto _ : state) {
        HandOffDispatcher ui;
        pages::DemSamplingPage page({prompter, clipboard, profile, &globe});
        page.SetDispatcher(ui);
        page.SetCacheFolder("");
        page.Choose("x", static_cast<int>(state.range(0)));
        page.Choose("y", static_cast<int>(state.range(0)));
        Watch(page, counts);
        page.Start();
        ui.WaitFor([&] { return page.TaskState() == pages::TaskPage::State::Idle; });
        page.Close();
        samples += page.Table().DataRowCount();
    }
    Report(state, counts, samples);
}
BENCHMARK(BM_DemSamplingOnAWorker)
    ->Arg(8)
    ->Arg(4)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
