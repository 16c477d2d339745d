// The forward projection page object on a million rows, as the desktop program drives it:
// 导入 a file (with the column-mapping question answered as the dialog would), 转换, 导出.
// Reports the wall time of the three steps and the process's peak resident memory.
#include "pages/coordinates/GaussPages.hpp"
#include "platform/Profile.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace carvento;

// Answers every question as the dialog's defaults would.
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

std::string WriteInput(int lines)
{
    std::string path = (std::filesystem::temp_directory_path() /
                        ("carvento-page-bench-" + std::to_string(::getpid()) + ".csv"))
                           .string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(18.0, 53.0), lon(102.0, 108.0);
    for (int i = 0; i < lines; ++i)
        std::fprintf(out, "P%d,%.8f,%.8f\r\n", i + 1, lat(random), lon(random));
    std::fclose(out);
    return path;
}

double PeakResidentMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ImportConvertExport(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    static const std::string input = WriteInput(lines);
    const std::string output = input + ".out";
    DefaultPrompter prompter;
    NoClipboard clipboard;
    platform::MemoryProfile profile;
    for (auto _ : state) {
        pages::CGSZSDlg page({prompter, clipboard, profile});
        page.Field("unit").pendingIndex = pages::kUnitDegrees;
        page.ImportFile(input);
        page.Convert();
        benchmark::DoNotOptimize(page.ExportToFile(output));
    }
    state.counters["rows"] = lines;
    state.counters["peak_MB"] = PeakResidentMegabytes();
    std::filesystem::remove(output);
}
BENCHMARK(BM_ImportConvertExport)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
