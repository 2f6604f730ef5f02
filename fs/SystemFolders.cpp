// The system's own folders, learnt from every source that names them, and
// the identity of each and of every folder above it.
//
// The sources differ in whom they belong to. The system's answers (the
// Windows and system folders) and the machine's registry (HKLM) are the
// administrator's; the environment is the user's, and any program of the
// user may change what a later, elevated run inherits. So the environment
// may only add folders: a folder is refused when any source names it, and
// the registry's values are expanded with the Windows folder's own drive and
// path before the environment is asked to expand them too.
#include "SystemFolders.h"

#include "Platform.h"
#include "WideText.h"

#include <string>

namespace {

WideText Wide(const char* ascii) {
    WideText text;
    while (*ascii != 0) {
        text += static_cast<WCHAR>(*ascii++);
    }
    return text;
}

// What one of the path calls answers, asked again with the room it says it
// needs; the empty text when it answers nothing.
template <typename Ask> WideText AskPath(Ask ask) {
    DWORD size = MAX_PATH;
    for (int attempt = 0; attempt < 4; ++attempt) {
        WideText buffer(size, 0);
        DWORD answer = ask(&buffer[0], size);
        if (answer == 0) {
            return WideText();
        }
        if (answer <= size) {
            buffer.resize(buffer.find(static_cast<WCHAR>(0)));
            return buffer;
        }
        size = answer;
    }
    return WideText();
}

WideText Environment(const char* name) {
    WideText wideName = Wide(name);
    return AskPath([&wideName](LPWSTR buffer, DWORD size) {
        return platform::GetEnvironmentVariableW(wideName.c_str(), buffer, size);
    });
}

bool EqualsIgnoringAsciiCase(const WideText& text, std::size_t at, const char* ascii) {
    for (std::size_t i = 0; ascii[i] != 0; ++i) {
        WCHAR unit = at + i < text.size() ? text[at + i] : 0;
        if (unit >= 'A' && unit <= 'Z') {
            unit = static_cast<WCHAR>(unit | 0x20);
        }
        if (unit != static_cast<WCHAR>(ascii[i] | 0x20)) {
            return false;
        }
    }
    return true;
}

// %SystemRoot%, %windir% and %SystemDrive%, from the Windows folder the
// system answers; every other part stays as it is.
WideText ExpandFromWindowsFolder(const WideText& text, const WideText& windows) {
    WideText expanded;
    for (std::size_t at = 0; at < text.size();) {
        struct Name {
            const char* text;
            bool driveOnly;
        };
        const Name names[] = {
            {"%systemroot%", false}, {"%windir%", false}, {"%systemdrive%", true}};
        bool replaced = false;
        for (const Name& name : names) {
            if (windows.size() >= 2 && EqualsIgnoringAsciiCase(text, at, name.text)) {
                expanded += name.driveOnly ? windows.substr(0, 2) : windows;
                at += std::char_traits<char>::length(name.text);
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            expanded += text[at++];
        }
    }
    return expanded;
}

WideText ExpandFromEnvironment(const WideText& text) {
    return AskPath([&text](LPWSTR buffer, DWORD size) {
        return platform::ExpandEnvironmentStringsW(text.c_str(), buffer, size);
    });
}

// A text value of a key under HKLM, in the given view of the registry; the
// empty text when there is none.
WideText MachineValue(const char* keyPath, const char* name, REGSAM view, bool& expandable) {
    HKEY key = nullptr;
    if (platform::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(keyPath).c_str(), 0,
                                KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
        return WideText();
    }
    char value[2 * MAX_PATH] = {};
    DWORD type = 0;
    DWORD size = sizeof value - 1;
    LONG status = platform::RegQueryValueExA(key, name, nullptr, &type,
                                             reinterpret_cast<LPBYTE>(value), &size);
    platform::RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return WideText();
    }
    expandable = type == REG_EXPAND_SZ;
    int length = static_cast<int>(std::char_traits<char>::length(value));
    WideText wide(static_cast<std::size_t>(length), 0);
    int units =
        length == 0 ? 0 : platform::MultiByteToWideChar(CP_ACP, 0, value, length, &wide[0], length);
    wide.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
    return wide;
}

bool IsSeparator(WCHAR unit) {
    return unit == '\\' || unit == '/';
}

bool IsDrivePath(const WideText& path) {
    return path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
           path[1] == ':' && IsSeparator(path[2]);
}

// The identity of the folder `path` leads to (a link is followed: what
// matters is the folder the system uses).
bool IdentityOf(const WideText& path, FolderIdentity& identity) {
    HANDLE handle = platform::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information;
    bool known = platform::GetFileInformationByHandle(handle, &information) &&
                 (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    platform::CloseHandle(handle);
    if (known) {
        identity = IdentityFrom(information);
    }
    return known;
}

// Adds the folder at `path` (a full path on a drive) and each folder above
// it, up to the drive's root.
void AddChain(WideText path, std::vector<FolderIdentity>& chains) {
    if (!IsDrivePath(path)) {
        return;
    }
    for (;;) {
        while (path.size() > 3 && IsSeparator(path.back())) {
            path.pop_back();
        }
        FolderIdentity identity;
        if (IdentityOf(path, identity) && !IsAmong(identity, chains)) {
            chains.push_back(identity);
        }
        if (path.size() <= 3) {
            return;
        }
        while (path.size() > 3 && !IsSeparator(path.back())) {
            path.pop_back();
        }
    }
}

// A registry value naming a folder, as each expansion reads it.
void AddMachineValue(const char* keyPath, const char* name, const WideText& windows,
                     const WideText& relativeTo, std::vector<FolderIdentity>& chains) {
    const REGSAM views[] = {KEY_WOW64_64KEY, 0};
    for (REGSAM view : views) {
        bool expandable = false;
        WideText value = MachineValue(keyPath, name, view, expandable);
        if (value.empty()) {
            continue;
        }
        WideText readings[] = {ExpandFromWindowsFolder(value, windows),
                               expandable ? ExpandFromEnvironment(value) : WideText()};
        for (WideText& reading : readings) {
            // "All Users" alone, as Windows XP keeps it: a folder of the
            // profiles folder.
            if (!reading.empty() && !IsDrivePath(reading) && !relativeTo.empty()) {
                reading = relativeTo + static_cast<WCHAR>('\\') + reading;
            }
            AddChain(reading, chains);
        }
    }
}

const char* const currentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const profileListKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

} // namespace

std::vector<FolderIdentity> SystemFolderChains() {
    std::vector<FolderIdentity> chains;
    WideText windows = AskPath(platform::GetWindowsDirectoryW);
    WideText systemWindows = AskPath(platform::GetSystemWindowsDirectoryW);
    AddChain(windows, chains);
    AddChain(systemWindows, chains);
    AddChain(AskPath(platform::GetSystemDirectoryW), chains);
    // The system folder's other views, where the platform has them: the
    // 32-bit one of a 64-bit system, and the native one as a 32-bit program
    // reaches it.
    for (const WideText& folder : {windows, systemWindows}) {
        if (!folder.empty()) {
            AddChain(folder + Wide("\\SysWOW64"), chains);
            AddChain(folder + Wide("\\Sysnative"), chains);
        }
    }
    const WideText& trusted = systemWindows.empty() ? windows : systemWindows;
    for (const char* name : {"ProgramFilesDir", "ProgramFilesDir (x86)", "ProgramW6432Dir"}) {
        AddMachineValue(currentVersionKey, name, trusted, WideText(), chains);
    }
    bool expandable = false;
    WideText profiles = ExpandFromWindowsFolder(
        MachineValue(profileListKey, "ProfilesDirectory", 0, expandable), trusted);
    AddChain(profiles, chains);
    for (const char* name : {"ProgramData", "AllUsersProfile"}) {
        AddMachineValue(profileListKey, name, trusted, profiles, chains);
    }
    for (const char* name : {"SystemRoot", "windir", "ProgramFiles", "ProgramFiles(x86)",
                             "ProgramW6432", "ALLUSERSPROFILE", "ProgramData", "USERPROFILE"}) {
        AddChain(Environment(name), chains);
    }
    return chains;
}
