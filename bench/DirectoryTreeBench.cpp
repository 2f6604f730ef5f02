// RemoveDirectoryTree on the emulated platform beside `rm -rf`, each on an
// identical tree of 100,000 files in 1,000 folders (ten groups of 100
// folders of 100 files) made afresh before every run and not timed. Prints
// the ratio of the two; the aim is no more than 1.25.
//
// The trees live in a scratch folder beside the executable, in the build
// tree, and once more in memory (/dev/shm), where the disk's delays, which
// vary from one run to the next on a virtual disk, do not drown the rest.
// The scratch folder is the only drive folder the emulated platform sees.
#include "DirectoryTree.h"
#include "Control.h"

#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <string>
#include <vector>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int groups = 10;
const int foldersPerGroup = 100;
const int filesPerFolder = 100;

bool MakeTree(const std::string& root) {
    char contents[] = "database page\n";
    if (::mkdir(root.c_str(), 0755) != 0) {
        return false;
    }
    for (int group = 0; group < groups; ++group) {
        std::string groupPath = root + "/group" + std::to_string(group);
        ::mkdir(groupPath.c_str(), 0755);
        for (int folder = 0; folder < foldersPerGroup; ++folder) {
            std::string folderPath = groupPath + "/folder" + std::to_string(folder);
            ::mkdir(folderPath.c_str(), 0755);
            for (int file = 0; file < filesPerFolder; ++file) {
                std::string filePath = folderPath + "/page" + std::to_string(file) + ".db";
                int fd = ::open(filePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0 || ::write(fd, contents, sizeof contents - 1) < 0) {
                    return false;
                }
                ::close(fd);
            }
        }
    }
    // Written out before the clock runs, so that neither removal competes
    // with the write-back of the tree it removes.
    ::sync();
    return true;
}

bool Exists(const std::string& path) {
    struct stat entry;
    return ::lstat(path.c_str(), &entry) == 0;
}

double Seconds(const timespec& from, const timespec& to) {
    return static_cast<double>(to.tv_sec - from.tv_sec) +
           static_cast<double>(to.tv_nsec - from.tv_nsec) * 1e-9;
}

// Each run removes two identical trees, one with RemoveDirectoryTree (the
// time reported) and one with rm -rf, in turns so that neither always goes
// first; the counters hold both times and their ratio.
void CompareWithRmRf(benchmark::State& state, const std::string& drives) {
    emulated::ResetPlatform();
    emulated::SetDriveFolder(drives);
    std::string walkRoot = drives + "/d/tree";
    std::string rmRoot = drives + "/rm-tree";
    std::string command = "rm -rf '" + rmRoot + "'";
    double walkSeconds = 0;
    double rmSeconds = 0;
    bool walkFirst = true;
    for (auto _ : state) {
        if (!MakeTree(walkRoot) || !MakeTree(rmRoot)) {
            state.SkipWithError("cannot make the trees");
            break;
        }
        timespec start, middle, end;
        double walk = 0;
        double rm = 0;
        int status = 0;
        ::clock_gettime(CLOCK_MONOTONIC, &start);
        if (walkFirst) {
            RemoveDirectoryTree("D:\\tree");
            ::clock_gettime(CLOCK_MONOTONIC, &middle);
            status = std::system(command.c_str());
            ::clock_gettime(CLOCK_MONOTONIC, &end);
            walk = Seconds(start, middle);
            rm = Seconds(middle, end);
        } else {
            status = std::system(command.c_str());
            ::clock_gettime(CLOCK_MONOTONIC, &middle);
            RemoveDirectoryTree("D:\\tree");
            ::clock_gettime(CLOCK_MONOTONIC, &end);
            rm = Seconds(start, middle);
            walk = Seconds(middle, end);
        }
        walkFirst = !walkFirst;
        if (status != 0 || Exists(walkRoot) || Exists(rmRoot)) {
            state.SkipWithError("a tree is still there");
            break;
        }
        state.SetIterationTime(walk);
        walkSeconds += walk;
        rmSeconds += rm;
    }
    if (state.iterations() > 0 && rmSeconds > 0) {
        double runs = static_cast<double>(state.iterations());
        state.counters["walk_ms"] = walkSeconds / runs * 1e3;
        state.counters["rm_rf_ms"] = rmSeconds / runs * 1e3;
        state.counters["ratio"] = walkSeconds / rmSeconds;
    }
}

std::string buildTreeFolder;
std::string memoryFolder;

// On the disk of the build tree.
void BM_RemoveDirectoryTreeBesideRmRf_Disk(benchmark::State& state) {
    CompareWithRmRf(state, buildTreeFolder);
}
BENCHMARK(BM_RemoveDirectoryTreeBesideRmRf_Disk)
    ->Iterations(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// In memory (tmpfs), where the disk's own delays do not hide the cost of the
// walk and the emulation.
void BM_RemoveDirectoryTreeBesideRmRf_Memory(benchmark::State& state) {
    if (memoryFolder.empty()) {
        state.SkipWithError("no /dev/shm");
        return;
    }
    CompareWithRmRf(state, memoryFolder);
}
BENCHMARK(BM_RemoveDirectoryTreeBesideRmRf_Memory)
    ->Iterations(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Keeps each benchmark's ratio, to print them at the end.
class Ratios : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            auto ratio = run.counters.find("ratio");
            if (!run.error_occurred && ratio != run.counters.end()) {
                lines.push_back(run.benchmark_name() + ": RemoveDirectoryTree " +
                                Format(run.counters.at("walk_ms")) + " ms, rm -rf " +
                                Format(run.counters.at("rm_rf_ms")) + " ms, ratio " +
                                Format(ratio->second.value, "%.2f"));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    static std::string Format(double value, const char* format = "%.0f") {
        char text[32];
        std::snprintf(text, sizeof text, format, value);
        return text;
    }
    std::vector<std::string> lines;
};

std::string ExecutableFolder() {
    char self[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : "./x";
    return path.substr(0, path.rfind('/'));
}

} // namespace

int main(int argc, char** argv) {
    buildTreeFolder = ExecutableFolder() + "/removal-scratch";
    std::system(
        ("rm -rf '" + buildTreeFolder + "' && mkdir -p '" + buildTreeFolder + "/d'").c_str());
    char memory[] = "/dev/shm/gantrel-removal-bench-XXXXXX";
    if (::mkdtemp(memory) != nullptr) {
        memoryFolder = memory;
        std::system(("mkdir -p '" + memoryFolder + "/d'").c_str());
    }

    benchmark::Initialize(&argc, argv);
    Ratios reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("100,000 files in 1,000 folders (aim: ratio at most 1.25):\n");
    for (const std::string& line : reporter.lines) {
        std::printf("  %s\n", line.c_str());
    }
    std::system(("rm -rf '" + buildTreeFolder + "'").c_str());
    if (!memoryFolder.empty()) {
        std::system(("rm -rf '" + memoryFolder + "'").c_str());
    }
    return 0;
}
