// A reference model of the text operations on std::string, sharing nothing
// with TextString but the lead-byte table: the fuzz targets compare the
// module's results with it.
#pragma once

#include "LeadBytes.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace model {

inline bool Lead(unsigned char byte) {
    return IsLeadByte(byte);
}

// Character starts of s; a lead byte in the last place is a character alone.
inline std::vector<int32_t> Starts(const std::string& s, std::size_t from = 0) {
    std::vector<int32_t> starts;
    std::size_t i = from;
    while (i < s.size()) {
        starts.push_back(static_cast<int32_t>(i));
        i += Lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
    }
    return starts;
}

inline bool IsDouble(const std::string& s, std::size_t i) {
    return Lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
}
inline bool IsIncomplete(const std::string& s, std::size_t i) {
    return Lead(static_cast<unsigned char>(s[i])) && i + 1 == s.size();
}

inline int32_t FindByte(const std::string& s, char c) {
    for (int32_t i : Starts(s)) {
        if (IsIncomplete(s, static_cast<std::size_t>(i))) {
            return -1;
        }
        if (!IsDouble(s, static_cast<std::size_t>(i)) && s[static_cast<std::size_t>(i)] == c) {
            return i;
        }
    }
    return -1;
}

inline int32_t FindText(const std::string& s, const std::string& t, std::size_t from = 0) {
    if (t.empty() || s.empty()) {
        return -1;
    }
    for (int32_t i : Starts(s, from)) {
        if (s.size() - static_cast<std::size_t>(i) >= t.size() &&
            s.compare(static_cast<std::size_t>(i), t.size(), t) == 0) {
            return i;
        }
    }
    return -1;
}

inline int32_t ReverseFind(const std::string& s, char c) {
    int32_t last = -1;
    for (int32_t i : Starts(s)) {
        if (IsIncomplete(s, static_cast<std::size_t>(i))) {
            return last == -1 ? static_cast<int32_t>(s.size()) : last;
        }
        if (!IsDouble(s, static_cast<std::size_t>(i)) && s[static_cast<std::size_t>(i)] == c) {
            last = i;
        }
    }
    return last;
}

inline int32_t Replace(std::string& s, const std::string& old, const std::string& with) {
    if (old.empty()) {
        return 0;
    }
    std::string out;
    std::size_t from = 0;
    int32_t count = 0;
    for (;;) {
        int32_t at = FindText(s, old, from);
        if (at < 0) {
            break;
        }
        out += s.substr(from, static_cast<std::size_t>(at) - from) + with;
        from = static_cast<std::size_t>(at) + old.size();
        ++count;
    }
    out += s.substr(from);
    s = out;
    return count;
}

inline std::vector<unsigned> Units(const std::string& s) {
    std::vector<unsigned> units;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char byte = static_cast<unsigned char>(s[i]);
        if (Lead(byte)) {
            if (i + 1 == s.size()) {
                break; // an incomplete character ends the text
            }
            units.push_back(byte * 256u + static_cast<unsigned char>(s[i + 1]));
            i += 2;
        } else {
            units.push_back(byte);
            ++i;
        }
    }
    units.push_back(0);
    return units;
}

inline int Compare(const std::string& a, const std::string& b) {
    std::vector<unsigned> ua = Units(a);
    std::vector<unsigned> ub = Units(b);
    for (std::size_t i = 0;; ++i) {
        if (ua[i] != ub[i]) {
            return ua[i] > ub[i] ? 1 : -1;
        }
        if (ua[i] == 0) {
            return 0;
        }
    }
}

// Left and Right with their counts clamped.
inline std::string Left(const std::string& s, int32_t n) {
    return s.substr(0, n < 0 ? 0 : std::min(s.size(), static_cast<std::size_t>(n)));
}
inline std::string Right(const std::string& s, int32_t n) {
    std::size_t take = n < 0 ? 0 : std::min(s.size(), static_cast<std::size_t>(n));
    return s.substr(s.size() - take);
}

} // namespace model
