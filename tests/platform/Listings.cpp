#include "Listings.h"

#include <algorithm>
#include <cstring>

namespace answers {

Entries List(const Wide& pattern, bool* ended) {
    Entries entries;
    WIN32_FIND_DATAW found;
    std::memset(&found, 0xBD, sizeof found);
    HANDLE search = platform::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return entries;
    }
    BOOL more = TRUE;
    while (more && entries.size() < 100) {
        entries.emplace_back(Wide(found.cFileName), found.dwFileAttributes);
        std::memset(&found, 0xBD, sizeof found);
        more = platform::FindNextFileW(search, &found);
    }
    if (ended != nullptr) {
        *ended = !more;
    }
    platform::FindClose(search);
    return entries;
}

std::string Entry(const Wide& path) {
    Entries entries = List(path);
    if (entries.empty()) {
        return "not listed";
    }
    return Shown(entries[0].first) + " " + Hex(entries[0].second);
}

std::string ByName(Entries entries) {
    std::sort(entries.begin(), entries.end());
    std::string text;
    for (const auto& entry : entries) {
        text += (text.empty() ? "" : " ") + Shown(entry.first) + "=" + Hex(entry.second);
    }
    return text;
}

std::string Listed(const Wide& path) {
    return List(path).empty() ? "not listed" : "listed";
}

} // namespace answers
