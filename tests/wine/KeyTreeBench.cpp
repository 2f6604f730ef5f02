// Times the module's key tree removal against the platform's own: the same
// tree of keys is built twice as the application key under HKEY_CURRENT_USER,
// removed once by UninstUnInitialize of Gantrel.dll (beside this program) and
// once by advapi32's RegDeleteTreeA, and the times are compared. Wide trees
// have every key one level down; deep ones branches of four levels.
//   KeyTreeBench.exe [KEYS [ROUNDS]]     10,000 keys and 5 rounds by default
// Prints one line per shape with the median times and their ratio; exit
// status 1 when a tree is not removed or a function cannot be found.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

typedef LONG(WINAPI* HookEntry)(HWND, LONG, LPSTR);
typedef LONG(WINAPI* DeleteTree)(HKEY, LPCSTR);

const char applicationKey[] = "Software\\Corvanet\\Lumeno";

HKEY Create(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "KeyTreeBench: cannot create %s\n", name.c_str());
        std::exit(1);
    }
    return key;
}

void CreateLeaf(HKEY parent, const std::string& name) {
    RegCloseKey(Create(parent, name));
}

// Every key one level below the application key.
void BuildWideTree(HKEY top, long keys) {
    for (long i = 0; i < keys; ++i) {
        CreateLeaf(top, "Key" + std::to_string(i));
    }
}

// keys / 1000 branches of 1 + 9 + 90 + 900 keys.
void BuildDeepTree(HKEY top, long keys) {
    for (long branch = 0; branch < keys / 1000; ++branch) {
        HKEY branchKey = Create(top, "Branch" + std::to_string(branch));
        for (int second = 0; second < 9; ++second) {
            HKEY part = Create(branchKey, "Part" + std::to_string(second));
            for (int third = 0; third < 10; ++third) {
                HKEY group = Create(part, "Group" + std::to_string(third));
                for (int fourth = 0; fourth < 10; ++fourth) {
                    CreateLeaf(group, "Leaf" + std::to_string(fourth));
                }
                RegCloseKey(group);
            }
            RegCloseKey(part);
        }
        RegCloseKey(branchKey);
    }
}

void BuildTree(bool deep, long keys) {
    HKEY top = Create(HKEY_CURRENT_USER, applicationKey);
    DWORD value = 1;
    RegSetValueExA(top, "Port", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (deep) {
        BuildDeepTree(top, keys);
    } else {
        BuildWideTree(top, keys);
    }
    RegCloseKey(top);
}

bool TreeExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, applicationKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

double Seconds() {
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Milliseconds one removal took; exits when it left the tree behind.
template <typename Remove> double TimeRemoval(const char* who, Remove remove) {
    double start = Seconds();
    remove();
    double elapsed = (Seconds() - start) * 1000.0;
    if (TreeExists()) {
        std::fprintf(stderr, "KeyTreeBench: %s left the application key behind\n", who);
        std::exit(1);
    }
    return elapsed;
}

} // namespace

int main(int argc, char** argv) {
    long keys = argc > 1 ? std::atol(argv[1]) : 10000;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (keys < 1000 || rounds < 1) {
        std::fprintf(stderr, "usage: KeyTreeBench.exe [KEYS (1000 or more) [ROUNDS]]\n");
        return 2;
    }
    HMODULE module = LoadLibraryA("Gantrel.dll");
    HookEntry uninit = module != nullptr ? reinterpret_cast<HookEntry>(reinterpret_cast<void*>(
                                               GetProcAddress(module, "UninstUnInitialize")))
                                         : nullptr;
    DeleteTree deleteTree = reinterpret_cast<DeleteTree>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteTreeA")));
    if (uninit == nullptr || deleteTree == nullptr) {
        std::fprintf(stderr, "KeyTreeBench: UninstUnInitialize or RegDeleteTreeA not found\n");
        return 1;
    }

    // What the call costs besides the application key under HKCU: the
    // other five rows, on keys that are not there.
    std::vector<double> idle;
    for (int round = 0; round < rounds; ++round) {
        idle.push_back(TimeRemoval("UninstUnInitialize", [&] { uninit(nullptr, 0, nullptr); }));
    }
    std::printf("UninstUnInitialize without the tree: %.2f ms\n", Median(idle));

    for (bool deep : {false, true}) {
        std::vector<double> moduleTimes;
        std::vector<double> platformTimes;
        for (int round = 0; round < rounds; ++round) {
            BuildTree(deep, keys);
            moduleTimes.push_back(
                TimeRemoval("UninstUnInitialize", [&] { uninit(nullptr, 0, nullptr); }));
            BuildTree(deep, keys);
            platformTimes.push_back(TimeRemoval(
                "RegDeleteTreeA", [&] { deleteTree(HKEY_CURRENT_USER, applicationKey); }));
        }
        double moduleTime = Median(moduleTimes);
        double platformTime = Median(platformTimes);
        std::printf("%s tree of %ld keys: UninstUnInitialize %.1f ms, RegDeleteTreeA %.1f ms, "
                    "ratio %.2f\n",
                    deep ? "deep" : "wide", keys, moduleTime, platformTime,
                    moduleTime / platformTime);
    }
    FreeLibrary(module);
    return 0;
}
