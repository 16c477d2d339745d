// GaussForward and GaussInverse per point beside PROJ's transverse Mercator on the same
// ellipsoid and the same million points, with both per-point times and the ratio ours / PROJ
// printed side by side at the end (CPU time; with --benchmark_repetitions=N the medians).
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCARVENTO_BENCH=ON
//   cmake --build build-bench --target gauss_bench
//   build-bench/bench/gauss_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include "geodesy/GaussProjector.hpp"

#include "platform/NumberText.hpp"

#include <benchmark/benchmark.h>
#include <proj.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using carvento::geodesy::GaussProjector;

constexpr int kPoints = 1000000;
constexpr double kL0 = 105.0;
constexpr double kYAdd = 500000.0;

struct Points {
    std::vector<double> B, L; // degrees: 0°..60°, within 3° of the central meridian
    std::vector<double> x, y; // metres: their forward projection
};

const GaussProjector& Projector()
{
    static const GaussProjector projector; // Krasovsky
    return projector;
}

const Points& Data()
{
    static const Points points = [] {
        Points p;
        std::mt19937_64 random(20261208);
        std::uniform_real_distribution<double> latitude(0.0, 60.0);
        std::uniform_real_distribution<double> offset(-3.0, 3.0);
        for (int i = 0; i < kPoints; ++i) {
            double x = 0.0, y = 0.0;
            p.B.push_back(latitude(random));
            p.L.push_back(kL0 + offset(random));
            Projector().GaussForward(p.B.back(), p.L.back(), kL0, kYAdd, x, y);
            p.x.push_back(x);
            p.y.push_back(y);
        }
        return p;
    }();
    return points;
}

// +proj=tmerc +k=1 +lon_0=105 +x_0=500000 +a=<a> +b=<b>, radians in, metres out.
PJ* ProjTmerc(PJ_CONTEXT* context)
{
    using carvento::platform::FormatFixed;
    const auto& el = Projector().GetEllipsoid();
    std::string definition = "+proj=tmerc +k=1 +lon_0=" + FormatFixed(kL0, 0) +
                             " +x_0=" + FormatFixed(kYAdd, 0) +
                             " +y_0=0 +a=" + FormatFixed(el.a, 9) + " +b=" + FormatFixed(el.b, 9);
    return proj_create(context, definition.c_str());
}

// One iteration runs all million points, so milliseconds per iteration are nanoseconds per point.
void PerPoint(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void OursForward(benchmark::State& state)
{
    const Points& p = Data();
    for (auto _ : state) {
        for (int i = 0; i < kPoints; ++i) {
            double x = 0.0, y = 0.0;
            Projector().GaussForward(p.B[i], p.L[i], kL0, kYAdd, x, y);
            benchmark::DoNotOptimize(x);
            benchmark::DoNotOptimize(y);
        }
    }
    PerPoint(state);
}

void ProjForward(benchmark::State& state)
{
    const Points& p = Data();
    PJ_CONTEXT* context = proj_context_create();
    PJ* tmerc = ProjTmerc(context);
    for (auto _ : state) {
        for (int i = 0; i < kPoints; ++i) {
            PJ_COORD out = proj_trans(tmerc, PJ_FWD,
                                      proj_coord(proj_torad(p.L[i]), proj_torad(p.B[i]), 0, 0));
            benchmark::DoNotOptimize(out);
        }
    }
    proj_destroy(tmerc);
    proj_context_destroy(context);
    PerPoint(state);
}

void OursInverse(benchmark::State& state)
{
    const Points& p = Data();
    for (auto _ : state) {
        for (int i = 0; i < kPoints; ++i) {
            double B = 0.0, L = 0.0;
            Projector().GaussInverse(p.x[i], p.y[i], kL0, kYAdd, B, L);
            benchmark::DoNotOptimize(B);
            benchmark::DoNotOptimize(L);
        }
    }
    PerPoint(state);
}

void ProjInverse(benchmark::State& state)
{
    const Points& p = Data();
    PJ_CONTEXT* context = proj_context_create();
    PJ* tmerc = ProjTmerc(context);
    for (auto _ : state) {
        for (int i = 0; i < kPoints; ++i) {
            PJ_COORD out = proj_trans(tmerc, PJ_INV, proj_coord(p.y[i], p.x[i], 0, 0));
            benchmark::DoNotOptimize(out);
        }
    }
    proj_destroy(tmerc);
    proj_context_destroy(context);
    PerPoint(state);
}

// Selecting an ellipsoid recomputes the constants and fits the footpoint's starting series.
void SetEllipsoid(benchmark::State& state)
{
    GaussProjector projector;
    int kind = 0;
    for (auto _ : state) {
        projector.SetEllipsoid(kind);
        kind = (kind + 1) % 4;
        benchmark::DoNotOptimize(projector.Constants());
    }
}

BENCHMARK(SetEllipsoid)->Unit(benchmark::kMicrosecond);
BENCHMARK(OursForward)->Unit(benchmark::kMillisecond);
BENCHMARK(ProjForward)->Unit(benchmark::kMillisecond);
BENCHMARK(OursInverse)->Unit(benchmark::kMillisecond);
BENCHMARK(ProjInverse)->Unit(benchmark::kMillisecond);

// Console output as usual, plus the CPU time of each benchmark (ms per iteration = ns per point)
// kept for the summary: the median of the repetitions when there are several, else the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Iteration)
                single[name] = run.GetAdjustedCPUTime();
            else if (run.aggregate_name == "median")
                median[name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // ns per point of `name`, or a negative number when it did not run.
    double CpuTime(const std::string& name) const
    {
        if (auto m = median.find(name); m != median.end())
            return m->second;
        if (auto s = single.find(name); s != single.end())
            return s->second;
        return -1.0;
    }

private:
    std::map<std::string, double> single;
    std::map<std::string, double> median;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Data();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* ours, const char* proj) {
        double o = reporter.CpuTime(ours);
        double p = reporter.CpuTime(proj);
        if (o < 0 || p <= 0)
            return;
        using carvento::platform::FormatFixed;
        std::printf("%-12s %7s ns/point   %-12s %7s ns/point   ratio %s\n", ours,
                    FormatFixed(o, 1).c_str(), proj, FormatFixed(p, 1).c_str(),
                    FormatFixed(o / p, 2).c_str());
    };
    ratio("OursForward", "ProjForward");
    ratio("OursInverse", "ProjInverse");
    benchmark::Shutdown();
    return 0;
}
