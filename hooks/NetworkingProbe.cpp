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

} // namespace

LONG WINAPI IsWs2(HWND, LONG, LPSTR) {
    HMODULE library = platform::LoadLibraryA("ws2_32.dll");
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
