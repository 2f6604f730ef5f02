// SetupServer on the emulated platform: settings files of 10,000 and 100,000
// lines into the registry in memory and into a registry file, and one line
// of 10 MB. Prints the time per line of each file and the ratio between the
// two sizes, which stays near 1 while the cost grows linearly with the file.
#include "Control.h"
#include "Hooks.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace {

std::string benchFolder;

// C:\NAME, made once: numbers and texts alternate, every name distinct, so
// that the application key ends up holding one value per line.
std::string SettingsFile(long lines) {
    std::string name = "lines" + std::to_string(lines) + ".ini";
    std::string path = benchFolder + "/c/" + name;
    std::ifstream existing(path);
    if (!existing) {
        std::ofstream out(path, std::ios::binary);
        for (long i = 0; i < lines; ++i) {
            if (i % 2 == 0) {
                out << "Number" << i << '=' << i * 7919 << "\r\n";
            } else {
                out << "Text" << i << "=\"value " << i << "\"\r\n";
            }
        }
    }
    return "C:\\" + name;
}

std::string LongLineFile() {
    std::string path = benchFolder + "/c/long.ini";
    std::ifstream existing(path);
    if (!existing) {
        std::ofstream out(path, std::ios::binary);
        out << "Big=\"" << std::string(10 * 1024 * 1024, 'x') << "\"\r\n";
    }
    return "C:\\long.ini";
}

// Into `registryFile`, made afresh each time, or into memory with "".
void Import(benchmark::State& state, const std::string& windowsPath, long lines,
            const std::string& registryFile = "") {
    std::string path = windowsPath;
    for (auto _ : state) {
        state.PauseTiming();
        emulated::ResetPlatform();
        std::remove(registryFile.c_str());
        emulated::UseRegistryFile(registryFile);
        emulated::SetDriveFolder(benchFolder);
        state.ResumeTiming();
        SetupServer(nullptr, 0, &path[0]);
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["ns_per_line"] =
        benchmark::Counter(static_cast<double>(state.iterations() * lines),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SetupServerLines(benchmark::State& state) {
    Import(state, SettingsFile(state.range(0)), state.range(0));
}
BENCHMARK(BM_SetupServerLines)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SetupServerLinesIntoFile(benchmark::State& state) {
    Import(state, SettingsFile(state.range(0)), state.range(0), benchFolder + "/registry.reg");
}
BENCHMARK(BM_SetupServerLinesIntoFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SetupServerTenMegabyteLine(benchmark::State& state) {
    Import(state, LongLineFile(), 1);
    state.SetBytesProcessed(state.iterations() * 10 * 1024 * 1024);
}
BENCHMARK(BM_SetupServerTenMegabyteLine)->Unit(benchmark::kMillisecond);

// Keeps each run's time per line, to print the ratio at the end.
class LineTimes : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            auto counter = run.counters.find("ns_per_line");
            if (counter != run.counters.end()) {
                perLine[run.benchmark_name()] = counter->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> perLine;
};

} // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/gantrel-settings-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    benchFolder = folder;
    std::system(("mkdir -p '" + benchFolder + "/c'").c_str());

    benchmark::Initialize(&argc, argv);
    LineTimes reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (const char* name : {"BM_SetupServerLines", "BM_SetupServerLinesIntoFile"}) {
        auto small = reporter.perLine.find(std::string(name) + "/10000");
        auto large = reporter.perLine.find(std::string(name) + "/100000");
        if (small != reporter.perLine.end() && large != reporter.perLine.end()) {
            std::printf("%s, time per line: %.0f ns at 10,000 lines, %.0f ns at 100,000 lines; "
                        "ratio %.2f (1.00 is linear)\n",
                        name, small->second * 1e9, large->second * 1e9,
                        large->second / small->second);
        }
    }
    std::system(("rm -rf '" + benchFolder + "'").c_str());
    return 0;
}
