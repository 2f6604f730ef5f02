// The system's own folders, which no removal of the module may take or
// empty, however a path names them.
#pragma once

#include "FolderIdentity.h"

#include <vector>

// The identities of the system's own folders and of every folder above each
// of them, up to its drive's root: the Windows folder, the system folder
// in each view the platform offers, the Program Files folders (both views),
// the folder of all users' data, the profiles folder and the current user's
// profile. A folder whose identity is among them is, or holds, one of the
// system's folders. Each folder is learnt from every source that names it:
// the system's answers, the machine's registry and the environment. The
// environment belongs to the user, so it only ever adds folders. A folder
// that cannot be opened is left out.
std::vector<FolderIdentity> SystemFolderChains();
