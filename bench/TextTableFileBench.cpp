// ReadAll throughput on a generated million-line coordinate file (B, L in degrees, CR LF).
#include "tables/TextTableFile.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

std::string MakeFile(int lines)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(18.0, 53.0), lon(73.0, 135.0);
    std::string text = "点号,纬度B,经度L\r\n";
    char buffer[96];
    for (int i = 0; i < lines; ++i) {
        int n = std::snprintf(buffer, sizeof buffer, "P%d,%.8f,%.8f\r\n", i + 1, lat(random),
                              lon(random));
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

void BM_ReadAll(benchmark::State& state)
{
    static const std::string bytes = MakeFile(1000000);
    for (auto _ : state) {
        carvento::tables::TextTableFile file;
        file.OpenForReadFromBytes(bytes);
        file.SetTitleLine(false);
        file.AddDelimiter(',');
        std::vector<std::string> cells;
        int rows = 0, columns = 0;
        benchmark::DoNotOptimize(file.ReadAll(cells, rows, columns));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bytes.size()));
    state.counters["lines"] = 1000001;
}
BENCHMARK(BM_ReadAll)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
