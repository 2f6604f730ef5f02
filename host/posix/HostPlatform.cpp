// The host stand-in on Linux: the module is a shared library loaded with
// dlopen, and the emulated platform inside it takes its settings from the
// environment, which is set here before the module loads.
#include "EntryNames.h"
#include "HostPlatform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Join(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        joined += (joined.empty() ? "" : ",") + item;
    }
    return joined;
}

bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    }
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// $XDG_DATA_HOME/gantrel, or ~/.local/share/gantrel.
std::string DataFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return std::string(data) + "/gantrel";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "/tmp") + "/.local/share/gantrel";
}

void SetIfGiven(const char* name, const std::string& value) {
    if (!value.empty()) {
        ::setenv(name, value.c_str(), 1);
    }
}

} // namespace

std::string DefaultModulePath() {
    char self[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return "./Gantrel.so";
    }
    std::string path(self, static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + "Gantrel.so";
}

bool ApplyPlatformSettings(const HostOptions& options, std::string& error) {
    std::string registry = options.registryFile;
    if (registry.empty() && std::getenv("GANTREL_REGISTRY") == nullptr) {
        registry = DataFolder() + "/registry.reg";
    }
    std::string drives = options.driveRoot;
    if (drives.empty() && std::getenv("GANTREL_DRIVES") == nullptr) {
        drives = DataFolder() + "/drives";
    }
    std::size_t slash = registry.rfind('/');
    std::string registryFolder =
        slash != std::string::npos && slash > 0 ? registry.substr(0, slash) : "";
    for (const std::string& folder : {registryFolder, drives}) {
        if (!folder.empty() && !MakeFolders(folder)) {
            error = "cannot make the folder " + folder + ": " + std::strerror(errno);
            return false;
        }
    }
    SetIfGiven("GANTREL_REGISTRY", registry);
    SetIfGiven("GANTREL_DRIVES", drives);
    SetIfGiven("GANTREL_ANSWERS", Join(options.answers));
    SetIfGiven("GANTREL_WINDOWS", Join(options.windows));
    SetIfGiven("GANTREL_CODEPAGE", options.codePage);
    if (options.trace) {
        ::setenv("GANTREL_TRACE", "1", 1);
    }
    return true;
}

void* LoadHookModule(const std::string& path, std::string& error) {
    // A bare name would send dlopen searching the library path; the host
    // means a file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = ::dlerror();
        error = reason != nullptr ? reason : "unknown error";
    }
    return module;
}

void UnloadHookModule(void* module) {
    ::dlclose(module);
}

EntryPoint FindEntryPoint(void* module, const char* name, int ordinal) {
    // A shared library has no ordinals: ordinal N is the Nth name of the
    // export table, as the Windows module numbers them.
    if (name == nullptr) {
        if (ordinal < 1 || ordinal > hookEntryCount) {
            return nullptr;
        }
        name = hookEntryNames[ordinal - 1];
    }
    void* symbol = ::dlsym(module, name);
    return reinterpret_cast<EntryPoint>(symbol);
}

EntryCall CallEntryPoint(EntryPoint entry, HWND window, LONG value, LPSTR text) {
    EntryCall call;
    call.result = entry(window, value, text);
    return call;
}

long RegistryChangesRefused(void* module) {
    typedef long (*Counter)();
    Counter counter = reinterpret_cast<Counter>(::dlsym(module, "GantrelRegistryChangesRefused"));
    return counter != nullptr ? counter() : 0;
}
