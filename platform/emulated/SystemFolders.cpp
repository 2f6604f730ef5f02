// Where the emulated system keeps its own folders: the Windows folder and
// the system folder where a default Wine prefix has them, on drive C:, and
// the environment of the Linux process as the Windows environment, as Wine
// hands it to the programs it runs.
#include "CodePages.h"
#include "Files.h"
#include "Operations.h"
#include "Platform.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char16_t windowsFolder[] = u"C:\\windows";
const char16_t systemFolder[] = u"C:\\windows\\system32";

// Copies `text` with its terminator when `size` units hold it: its length;
// else the units it needs, terminator included.
DWORD Answer(const std::u16string& text, LPWSTR buffer, DWORD size) {
    DWORD length = static_cast<DWORD>(text.size());
    if (buffer == nullptr || size < length + 1) {
        return length + 1;
    }
    std::memcpy(buffer, text.c_str(), (length + 1) * sizeof(WCHAR));
    return length;
}

std::u16string Traced(const char* name, const std::u16string& answer) {
    emulated::Operation(name).Trace("", emulated::Quoted(answer.c_str()));
    return answer;
}

std::string Utf8(LPCWSTR text) {
    return emulated::Utf8FromUtf16(text, std::char_traits<WCHAR>::length(text),
                                   emulated::Unconvertible::replaced);
}

} // namespace

namespace platform {

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
    return Answer(Traced("GetWindowsDirectoryW", windowsFolder), buffer, size);
}

UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size) {
    return Answer(Traced("GetSystemWindowsDirectoryW", windowsFolder), buffer, size);
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    return Answer(Traced("GetSystemDirectoryW", systemFolder), buffer, size);
}

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
    emulated::Operation operation("GetEnvironmentVariableW");
    const char* value = name != nullptr ? std::getenv(Utf8(name).c_str()) : nullptr;
    if (operation.Tracing()) {
        operation.Trace(emulated::Quoted(name), emulated::Quoted(value));
    }
    if (value == nullptr) {
        return 0; // ERROR_ENVVAR_NOT_FOUND
    }
    return Answer(emulated::Utf16FromUtf8(value, emulated::Unconvertible::replaced), buffer, size);
}

// "%NAME%" becomes the variable's value; a name that is not set, and a lone
// '%', stay as they are, as on Windows.
DWORD ExpandEnvironmentStringsW(LPCWSTR text, LPWSTR buffer, DWORD size) {
    emulated::Operation operation("ExpandEnvironmentStringsW");
    std::string given = Utf8(text);
    std::string expanded;
    for (std::size_t at = 0; at < given.size();) {
        std::size_t end = given[at] == '%' ? given.find('%', at + 1) : std::string::npos;
        const char* value = end != std::string::npos
                                ? std::getenv(given.substr(at + 1, end - at - 1).c_str())
                                : nullptr;
        if (value != nullptr) {
            expanded += value;
            at = end + 1;
        } else {
            expanded += given[at++];
        }
    }
    if (operation.Tracing()) {
        operation.Trace(emulated::Quoted(given.c_str()), emulated::Quoted(expanded.c_str()));
    }
    std::u16string wide = emulated::Utf16FromUtf8(expanded, emulated::Unconvertible::replaced);
    DWORD needed = static_cast<DWORD>(wide.size()) + 1;
    if (buffer != nullptr && size >= needed) {
        std::memcpy(buffer, wide.c_str(), needed * sizeof(WCHAR));
    }
    return needed;
}

} // namespace platform
