// Removal of a folder with everything in it.
//
// Both functions work silently: an entry that cannot be deleted (a file in
// use, access denied) stays where it is, with every folder above it, and the
// walk goes on with the next entry. Read-only marks are cleared first.
// Links (any entry the platform marks as a reparse point: a junction, a
// symbolic link) are never walked into: one is removed as a link where the
// platform allows it and is otherwise left in place, so nothing outside the
// given folder is ever touched.
#pragma once

#include "FolderIdentity.h"
#include "TextString.h"

#include <cstdint>
#include <vector>

// Removes the folder `path` (no trailing separator), emptying it first when
// it cannot be removed at once. 0 in the ordinary course, whether or not the
// folder is gone; 1 when emptying it was cut short by an error (memory for a
// path ran out), in which case no second removal is attempted. A path naming
// a file, a link or nothing removes nothing and answers 0.
// A folder that is itself read-only loses the mark once it is empty, so that
// it goes too. A tree of any depth the platform's paths allow takes no more
// of the caller's stack than a single folder.
int16_t RemoveDirectoryTree(const TextString& path);
// The same, except that a folder among `refused`, or a link leading to one,
// is left whole however `path` spells it (the identity of the folder reached
// counts): nothing is removed and the answer is 0.
int16_t RemoveDirectoryTree(const TextString& path, const std::vector<FolderIdentity>& refused);

// Deletes everything inside the folder `path`, depth first, in the order the
// platform lists the entries. 0, or 1 when this level's walk was cut short by
// an error; a sub-folder's walk cut short does not stop this one.
int16_t EmptyDirectory(const TextString& path);
