// Registry links under HKEY_CURRENT_USER, for the registration suite:
//   RegistryLink.exe make PATH TARGET   makes PATH a link to TARGET, a full
//                                       registry path (\Registry\Machine\...)
//   RegistryLink.exe look PATH          prints what PATH is, the link itself
//                                       rather than what it leads to:
//                                       "link to TARGET", "key" or "absent"
// Exit status 0 when the call could be made.
#include "WideArgument.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Make(const std::wstring& path, const std::wstring& target) {
    HKEY link = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                  REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr, &link, nullptr);
    if (status != ERROR_SUCCESS) {
        std::printf("create: %ld\n", status);
        return 1;
    }
    // The target's characters without their terminating zero.
    status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(target.c_str()),
                            static_cast<DWORD>(target.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    if (status != ERROR_SUCCESS) {
        std::printf("set: %ld\n", status);
        return 1;
    }
    return 0;
}

int Look(const std::wstring& path) {
    HKEY key = nullptr;
    LONG status =
        RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key);
    if (status == ERROR_FILE_NOT_FOUND) {
        std::printf("absent\n");
        return 0;
    }
    if (status != ERROR_SUCCESS) {
        std::printf("open: %ld\n", status);
        return 1;
    }
    wchar_t target[512] = {0};
    DWORD type = REG_NONE;
    DWORD size = sizeof target - sizeof(wchar_t);
    status = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type,
                              reinterpret_cast<BYTE*>(target), &size);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && type == REG_LINK) {
        std::printf("link to %ls\n", target);
    } else {
        std::printf("key\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "make") == 0) {
        return Make(Wide(argv[2]), Wide(argv[3]));
    }
    if (argc == 3 && std::strcmp(argv[1], "look") == 0) {
        return Look(Wide(argv[2]));
    }
    std::fprintf(stderr, "usage: RegistryLink.exe make PATH TARGET | look PATH\n");
    return 2;
}
