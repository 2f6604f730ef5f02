// IsWs2: can version 2.0 of Windows Sockets be started here?
#include "Hooks.h"
#include "Platform.h"

namespace {

template <typename Function> Function ProcedureAs(FARPROC procedure) {
    // Through void(*)(): the one function type every other converts to
    // without a warning about incompatible signatures.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(procedure));
}

// Undoes a start-up the probe will not report as usable, and releases the
// library: only a 1 leaves the sockets interface started for the host.
void ReleaseSockets(HMODULE library, bool started) {
    if (started) {
        auto cleanup = ProcedureAs<platform::WsaCleanupFunction>(
            platform::GetProcAddress(library, "WSACleanup"));
        if (cleanup != nullptr) {
            cleanup();
        }
    }
    platform::FreeLibrary(library);
}

// The system's own sockets library, loaded by its full path: by its bare
// name the installer's own folder comes first wherever the host has not
// narrowed its search, and a ws2_32.dll planted beside a downloaded
// installer would run inside it, elevated. Its own dependencies come from
// the system folder too. Under WOW64 the system folder the call answers is
// redirected to the 32-bit one, as it should be. Null when the system
// folder is not known or its path does not fit: never a path cut short.
HMODULE LoadSystemSocketsLibrary() {
    static const char fileName[] = "\\ws2_32.dll";
    char path[MAX_PATH];
    UINT folderLength = platform::GetSystemDirectoryA(path, MAX_PATH);
    if (folderLength == 0 || folderLength + sizeof fileName > MAX_PATH) {
        return nullptr;
    }
    for (UINT i = 0; i < sizeof fileName; ++i) {
        path[folderLength + i] = fileName[i];
    }
    return platform::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

LONG WINAPI IsWs2(HWND, LONG, LPSTR) {
    HMODULE library = LoadSystemSocketsLibrary();
    if (library == nullptr) {
        return 0;
    }
    auto startup =
        ProcedureAs<platform::WsaStartupFunction>(platform::GetProcAddress(library, "WSAStartup"));
    if (startup == nullptr) {
        ReleaseSockets(library, false);
        return 0;
    }
    WSADATA data{};
    if (startup(MAKEWORD(2, 0), &data) != 0) {
        ReleaseSockets(library, false);
        return 0;
    }
    if (LOBYTE(data.wVersion) == 2 && HIBYTE(data.wVersion) == 0) {
        return 1;
    }
    ReleaseSockets(library, true);
    return 0;
}
