// What the file rows ask of a listing: the entries it shows, and what it
// shows of one entry.
#pragma once

#include "AnswerTable.h"

#include <utility>
#include <vector>

namespace answers {

typedef std::vector<std::pair<Wide, DWORD>> Entries;

// Every entry a listing shows, in its order; empty when it cannot start.
// `ended` tells whether FindNextFileW ended it with FALSE.
Entries List(const Wide& pattern, bool* ended = nullptr);
// What the listing shows of the entry at `path` itself: "name 0xATTR".
std::string Entry(const Wide& path);
std::string Listed(const Wide& path);
// "name=0xATTR ..." sorted by name.
std::string ByName(Entries entries);

} // namespace answers
