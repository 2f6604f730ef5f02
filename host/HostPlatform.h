// What the host stand-in needs of the platform it runs on: loading the module,
// finding an entry point, calling it, and the settings only the emulated
// platform has. host/posix and host/win32 each provide these.
#pragma once

#include "HostOptions.h"
#include "PlatformTypes.h"

#include <string>

typedef LONG(WINAPI* EntryPoint)(HWND window, LONG value, LPSTR text);

struct EntryCall {
    LONG result = 0;
    // Bytes the entry point left on the stack (0 when it removed its own
    // arguments); always 0 where the platform has no such convention.
    long stackLeft = 0;
};

// The module beside the host executable.
std::string DefaultModulePath();

// Hands the emulated platform the settings chosen on the command line, before
// the module loads. False, with a message, when the platform has none.
bool ApplyPlatformSettings(const HostOptions& options, std::string& error);

// Null with a message when the module cannot be loaded.
void* LoadHookModule(const std::string& path, std::string& error);
void UnloadHookModule(void* module);

// An entry point by name, or by ordinal (1 to 7); null when there is none.
EntryPoint FindEntryPoint(void* module, const char* name, int ordinal);

// Changes to the emulated registry the module could not save; 0 where the
// registry is the platform's own.
long RegistryChangesRefused(void* module);

EntryCall CallEntryPoint(EntryPoint entry, HWND window, LONG value, LPSTR text);

// Prints the registry key tree under `key` (a root name and a path) in the
// canonical form. Returns the exit status.
int DumpRegistry(const HostOptions& options, const std::string& key);
