// The emulated registry on wide and deep trees: 10,000 and 100,000 keys
// created, and enumerated and removed one at a time, and values written and read
// 100 levels down. The time per key should not grow with the tree.
#include "Control.h"
#include "Platform.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

HKEY Create(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    platform::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr);
    return key;
}

void PerKey(benchmark::State& state) {
    state.counters["ns_per_key"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Each key made through its full path, as the module opens every key.
void BM_CreateWideTree(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        emulated::ResetPlatform();
        emulated::UseRegistryFile("");
        state.ResumeTiming();
        for (long i = 0; i < state.range(0); ++i) {
            platform::RegCloseKey(Create(HKEY_CURRENT_USER, "Wide\\Key" + std::to_string(i)));
        }
    }
    PerKey(state);
}
BENCHMARK(BM_CreateWideTree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Removing every sub-key the way a tree removal does: always the one at
// index 0, the only index the emulated registry answers.
void BM_EnumerateAndRemoveWideTree(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        emulated::ResetPlatform();
        emulated::UseRegistryFile("");
        for (long i = 0; i < state.range(0); ++i) {
            emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Wide\\Key" + std::to_string(i));
        }
        HKEY wide = Create(HKEY_CURRENT_USER, "Wide");
        state.ResumeTiming();
        char name[64];
        for (;;) {
            DWORD size = sizeof name;
            if (platform::RegEnumKeyExA(wide, 0, name, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            platform::RegDeleteKeyA(wide, name);
        }
        platform::RegCloseKey(wide);
    }
    PerKey(state);
}
BENCHMARK(BM_EnumerateAndRemoveWideTree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A value written and read back through a 100-level path, beside 10,000 or
// 100,000 keys at every level's root.
void BM_DeepPathValues(benchmark::State& state) {
    emulated::ResetPlatform();
    emulated::UseRegistryFile("");
    for (long i = 0; i < state.range(0); ++i) {
        emulated::SeedRegistryKey(HKEY_LOCAL_MACHINE, "Key" + std::to_string(i));
    }
    std::string deep = "Key5";
    for (int level = 0; level < 100; ++level) {
        deep += "\\Level" + std::to_string(level);
    }
    DWORD value = 42;
    for (auto _ : state) {
        HKEY key = Create(HKEY_LOCAL_MACHINE, deep);
        platform::RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        DWORD size = 4;
        platform::RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                                   &size);
        platform::RegCloseKey(key);
    }
}
BENCHMARK(BM_DeepPathValues)->Arg(10000)->Arg(100000);

} // namespace

BENCHMARK_MAIN();
