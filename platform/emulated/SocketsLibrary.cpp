// Run-time library loading, with one library to load: the sockets library.
//
// The system folder is C:\WINDOWS\system32 (a test may choose another), and
// the sockets library is there: "ws2_32.dll" loads by that full path only
// (unless a test says it is missing), never by its bare name, and exports
// WSAStartup and WSACleanup. Its start-up succeeds exactly when this machine
// can make a socket, and a test can make it answer any other way.
#include "Operations.h"
#include "Platform.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace emulated {
namespace {

const int WSASYSNOTREADY = 10091;
const int WSAVERNOTSUPPORTED = 10092;
const int WSAENOBUFS = 10055;

bool behaviourChosen = false;
SocketsBehaviour behaviour = SocketsBehaviour::Real;
WORD answeredVersion = 0x0101;
int loadedLibraries = 0;
std::string systemFolder = "C:\\WINDOWS\\system32";
int startups = 0;

// The one loaded library's handle: any address no one else hands out.
char socketsLibrary;

void ChooseBehaviourFromEnvironment() {
    if (behaviourChosen) {
        return;
    }
    behaviourChosen = true;
    const char* setting = Setting("GANTREL_SOCKETS");
    std::string chosen = setting != nullptr ? setting : "real";
    behaviour = chosen == "no-library"                  ? SocketsBehaviour::NoLibrary
                : chosen == "no-export"                 ? SocketsBehaviour::NoExport
                : chosen == "startup-fails"             ? SocketsBehaviour::StartupFails
                : chosen.compare(0, 8, "version:") == 0 ? SocketsBehaviour::OtherVersion
                                                        : SocketsBehaviour::Real;
    if (behaviour == SocketsBehaviour::OtherVersion) {
        answeredVersion = static_cast<WORD>(std::strtoul(setting + 8, nullptr, 0));
    }
}

bool CanMakeSocket() {
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    probe = probe >= 0 ? probe : ::socket(AF_INET6, SOCK_STREAM, 0);
    return probe >= 0 && ::close(probe) == 0;
}

int WSAAPI EmulatedWsaStartup(WORD requested, LPWSADATA data) {
    Operation operation("WSAStartup");
    int status = 0;
    if (operation.Fault() == FaultKind::OutOfMemory) {
        status = WSAENOBUFS;
    } else if (operation.Faulted() || behaviour == SocketsBehaviour::StartupFails ||
               !CanMakeSocket()) {
        status = WSASYSNOTREADY;
    } else if (LOBYTE(requested) < 1) {
        status = WSAVERNOTSUPPORTED;
    } else {
        std::memset(data, 0, sizeof *data);
        data->wVersion = behaviour == SocketsBehaviour::OtherVersion ? answeredVersion : requested;
        data->wHighVersion = MAKEWORD(2, 2);
        std::strcpy(data->szDescription, "Emulated Windows Sockets");
        std::strcpy(data->szSystemStatus, "Running");
        ++startups;
    }
    operation.Trace(Hex(requested), std::to_string(status));
    return status;
}

int WSAAPI EmulatedWsaCleanup() {
    Operation operation("WSACleanup");
    int status = startups > 0 ? 0 : -1;
    startups -= startups > 0 ? 1 : 0;
    operation.Trace("", std::to_string(status));
    return status;
}

template <typename Function> FARPROC AsProcedure(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

} // namespace

void SetSocketsBehaviour(SocketsBehaviour chosen, WORD version) {
    behaviourChosen = true;
    behaviour = chosen;
    answeredVersion = version;
}

void SetSystemFolder(const std::string& folder) {
    systemFolder = folder;
}

int LoadedLibraryCount() {
    return loadedLibraries;
}

int SocketsStartupCount() {
    return startups;
}

void ResetSockets() {
    behaviourChosen = false;
    behaviour = SocketsBehaviour::Real;
    answeredVersion = 0x0101;
    loadedLibraries = startups = 0;
    systemFolder = "C:\\WINDOWS\\system32";
}

} // namespace emulated

namespace platform {

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    using namespace emulated;
    Operation operation("GetSystemDirectoryA");
    UINT answer = 0;
    if (!operation.Faulted()) {
        // As Windows answers: the length without the zero when it fits, the
        // size it needs, zero included, when it does not.
        answer = static_cast<UINT>(systemFolder.size());
        if (buffer != nullptr && answer < size) {
            std::memcpy(buffer, systemFolder.c_str(), answer + 1);
        } else {
            ++answer;
        }
    }
    operation.Trace(std::to_string(size), std::to_string(answer));
    return answer;
}

HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE, DWORD flags) {
    using namespace emulated;
    ChooseBehaviourFromEnvironment();
    HMODULE module = nullptr;
    Operation operation("LoadLibraryExA");
    std::string systemCopy = systemFolder + "\\ws2_32.dll";
    if (!operation.Faulted() && fileName != nullptr &&
        ::strcasecmp(fileName, systemCopy.c_str()) == 0 &&
        behaviour != SocketsBehaviour::NoLibrary) {
        module = reinterpret_cast<HMODULE>(&socketsLibrary);
        ++loadedLibraries;
    }
    operation.Trace(Quoted(fileName) + ", " + Hex(flags), module != nullptr ? "module" : "NULL");
    return module;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    using namespace emulated;
    FARPROC procedure = nullptr;
    Operation operation("GetProcAddress");
    if (!operation.Faulted() && module == reinterpret_cast<HMODULE>(&socketsLibrary) &&
        procName != nullptr && behaviour != SocketsBehaviour::NoExport) {
        if (std::strcmp(procName, "WSAStartup") == 0) {
            procedure = AsProcedure(&EmulatedWsaStartup);
        } else if (std::strcmp(procName, "WSACleanup") == 0) {
            procedure = AsProcedure(&EmulatedWsaCleanup);
        }
    }
    operation.Trace(Quoted(procName), procedure != nullptr ? "address" : "NULL");
    return procedure;
}

BOOL FreeLibrary(HMODULE module) {
    using namespace emulated;
    Operation operation("FreeLibrary");
    BOOL freed = FALSE;
    if (module == reinterpret_cast<HMODULE>(&socketsLibrary) && loadedLibraries > 0) {
        --loadedLibraries;
        freed = TRUE;
    }
    operation.Trace("module", freed ? "TRUE" : "FALSE");
    return freed;
}

} // namespace platform
