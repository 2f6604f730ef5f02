// DeleteRegKeyTree on the emulated registry (in memory, deletes refused for
// keys with sub-keys, as on Windows NT): trees of 10,000 and 100,000 keys,
// wide (every key one level below the one removed) and deep (branches of
// four levels). Removing ten times the keys should cost about ten times as
// much; the growth is printed after the table, in CPU time, which other
// work on the machine disturbs less, and in real time.
#include "Control.h"
#include "RegistryKeyTree.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

const char treePath[] = "Software\\Corvanet\\Lumeno";

void FreshRegistry() {
    emulated::ResetPlatform();
    emulated::UseRegistryFile("");
}

// `keys` sub-keys directly below the tree's key.
void SeedWideTree(long keys) {
    for (long i = 0; i < keys; ++i) {
        emulated::SeedRegistryKey(HKEY_CURRENT_USER,
                                  std::string(treePath) + "\\Key" + std::to_string(i));
    }
}

// keys / 1000 branches, each of 1 + 9 + 90 + 900 keys on four levels.
void SeedDeepTree(long keys) {
    for (long branch = 0; branch < keys / 1000; ++branch) {
        std::string top = std::string(treePath) + "\\Branch" + std::to_string(branch);
        for (int second = 0; second < 9; ++second) {
            std::string middle = top + "\\Part" + std::to_string(second);
            for (int third = 0; third < 10; ++third) {
                std::string lower = middle + "\\Group" + std::to_string(third);
                for (int fourth = 0; fourth < 10; ++fourth) {
                    emulated::SeedRegistryKey(HKEY_CURRENT_USER,
                                              lower + "\\Leaf" + std::to_string(fourth));
                }
            }
        }
    }
}

void RemoveTree(benchmark::State& state, void (*seed)(long)) {
    long keys = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        FreshRegistry();
        seed(keys);
        state.ResumeTiming();
        LONG result = DeleteRegKeyTree(treePath, HKEY_CURRENT_USER);
        state.PauseTiming();
        if (result != 0 || emulated::RegistryKeyExists(HKEY_CURRENT_USER, treePath)) {
            state.SkipWithError("the tree was not removed");
        }
        state.ResumeTiming();
    }
    state.counters["ns_per_key"] =
        benchmark::Counter(static_cast<double>(state.iterations() * keys),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    FreshRegistry();
}

void BM_DeleteWideTree(benchmark::State& state) {
    RemoveTree(state, SeedWideTree);
}
BENCHMARK(BM_DeleteWideTree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DeleteDeepTree(benchmark::State& state) {
    RemoveTree(state, SeedDeepTree);
}
BENCHMARK(BM_DeleteDeepTree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The console table, and each run's times per removal kept for the growth.
class GrowthReporter : public benchmark::ConsoleReporter {
  public:
    GrowthReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                times_[run.run_name.function_name][run.run_name.args] = {run.GetAdjustedCPUTime(),
                                                                         run.GetAdjustedRealTime()};
            }
        }
    }

    void PrintGrowth() const {
        for (const auto& shape : times_) {
            auto small = shape.second.find("10000");
            auto large = shape.second.find("100000");
            if (small == shape.second.end() || large == shape.second.end() ||
                small->second.cpu <= 0 || small->second.real <= 0) {
                continue;
            }
            std::printf("%s: 10 times the keys cost %.2f times the CPU time (%.2f times the "
                        "real time)\n",
                        shape.first.c_str(), large->second.cpu / small->second.cpu,
                        large->second.real / small->second.real);
        }
    }

  private:
    struct Times {
        double cpu;
        double real;
    };
    std::map<std::string, std::map<std::string, Times>> times_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    GrowthReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintGrowth();
    benchmark::Shutdown();
    return 0;
}
