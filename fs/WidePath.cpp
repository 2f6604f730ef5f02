// The paths the folder walk hands the wide calls.
#include "WidePath.h"

#include "Platform.h"

void AppendAscii(WideText& text, const char* ascii) {
    while (*ascii != 0) {
        text += static_cast<WCHAR>(*ascii++);
    }
}

namespace {

bool StartsWithAscii(const WideText& text, const char* ascii) {
    for (std::size_t i = 0; ascii[i] != 0; ++i) {
        if (i >= text.size() || text[i] != static_cast<WCHAR>(ascii[i])) {
            return false;
        }
    }
    return true;
}

bool IsSeparator(WCHAR unit) {
    return unit == '\\' || unit == '/';
}

} // namespace

WideText WideFromAnsi(const TextString& path) {
    WideText wide;
    if (path.Length() == 0) {
        return wide;
    }
    int units = platform::MultiByteToWideChar(CP_ACP, 0, path.Text(), path.Length(), nullptr, 0);
    if (units <= 0) {
        return wide;
    }
    wide.resize(static_cast<std::size_t>(units));
    units = platform::MultiByteToWideChar(CP_ACP, 0, path.Text(), path.Length(), &wide[0], units);
    wide.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
    return wide;
}

WideText VerbatimPath(const WideText& path) {
    if (StartsWithAscii(path, "\\\\?\\")) {
        return path;
    }
    WideText verbatim;
    std::size_t rest = 0;
    bool drive = path.size() >= 3 && path[0] < 0x80 &&
                 ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                 IsSeparator(path[2]);
    if (drive) {
        AppendAscii(verbatim, "\\\\?\\");
    } else if (path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        AppendAscii(verbatim, "\\\\?\\UNC\\");
        rest = 2;
    } else {
        return path;
    }
    for (std::size_t i = rest; i < path.size(); ++i) {
        verbatim += IsSeparator(path[i]) ? static_cast<WCHAR>('\\') : path[i];
    }
    std::size_t last = verbatim.size();
    while (last > 0 && (verbatim[last - 1] == '.' || verbatim[last - 1] == ' ')) {
        --last;
    }
    if (last > 0 && verbatim[last - 1] != '\\') {
        verbatim.resize(last);
    }
    return verbatim;
}
