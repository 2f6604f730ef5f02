// The host stand-in on Windows: LoadLibraryA, GetProcAddress by name or by
// ordinal, and a call that measures whether the entry point removed its own
// three arguments from the stack.
#include "HostPlatform.h"

#include <cstdint>
#include <string>

std::string DefaultModulePath() {
    char self[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self) {
        return "Gantrel.dll";
    }
    std::string path(self, length);
    return path.substr(0, path.find_last_of("\\/") + 1) + "Gantrel.dll";
}

bool ApplyPlatformSettings(const HostOptions& options, std::string& error) {
    if (!options.registryFile.empty() || !options.answers.empty() || !options.windows.empty() ||
        !options.codePage.empty() || !options.driveRoot.empty() || options.trace) {
        error = "--registry, --answer, --window, --code-page, --drives and --trace belong to the "
                "emulated platform; on Windows the real registry, files and windows are used";
        return false;
    }
    return true;
}

void* LoadHookModule(const std::string& path, std::string& error) {
    HMODULE module = ::LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = "LoadLibraryA failed with error " + std::to_string(::GetLastError());
    }
    return reinterpret_cast<void*>(module);
}

void UnloadHookModule(void* module) {
    ::FreeLibrary(reinterpret_cast<HMODULE>(module));
}

EntryPoint FindEntryPoint(void* module, const char* name, int ordinal) {
    LPCSTR procedure = name != nullptr ? name : MAKEINTRESOURCEA(ordinal);
    FARPROC address = ::GetProcAddress(reinterpret_cast<HMODULE>(module), procedure);
    return reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(address));
}

EntryCall CallEntryPoint(EntryPoint entry, HWND window, LONG value, LPSTR text) {
    // The call is made by hand so that nothing the compiler does around it
    // can hide what the callee did to the stack: push the three arguments,
    // call, and measure how far the stack pointer is from where it started.
    // The saved pointer lives in esi, which the callee must preserve.
    uint32_t ecx = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
    uint32_t edx = static_cast<uint32_t>(value);
    uint32_t edi = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text));
    uint32_t eax = 0;
    __asm__ volatile("movl %%esp, %%esi\n\t"
                     "pushl %%edi\n\t"
                     "pushl %%edx\n\t"
                     "pushl %%ecx\n\t"
                     "call *%%ebx\n\t"
                     "movl %%esi, %%ecx\n\t"
                     "subl %%esp, %%ecx\n\t"
                     "movl %%esi, %%esp\n\t"
                     : "=a"(eax), "+c"(ecx), "+d"(edx), "+D"(edi)
                     : "b"(entry)
                     : "esi", "memory", "cc");
    EntryCall call;
    call.result = static_cast<LONG>(eax);
    call.stackLeft = static_cast<long>(ecx);
    return call;
}

long RegistryChangesRefused(void*) {
    return 0; // the real registry answers for itself
}
