// An entry of a listing as the find data show it. Internal to the backend.
#pragma once

#include "PlatformTypes.h"

#include <sys/stat.h>

namespace emulated {

// Fills the find data for `name` (UTF-8, as on disk) inside the open folder,
// with its lstat record in `entry`; false when the entry went away since
// readdir saw it, or its name does not fit the find data and so is not
// listed, as Windows lists no name it cannot hand out. Links are described
// as links, never followed.
bool Describe(int folderFd, const char* name, WIN32_FIND_DATAA* data, struct stat& entry);
bool Describe(int folderFd, const char* name, WIN32_FIND_DATAW* data, struct stat& entry);

} // namespace emulated
