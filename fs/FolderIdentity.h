// Which folder a handle holds, whatever path reached it: the serial number
// of its volume and its index there. Two spellings of one folder (another
// case, a short name, a path through a link) give the same identity.
#pragma once

#include "PlatformTypes.h"

#include <algorithm>
#include <vector>

struct FolderIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;

    bool operator==(const FolderIdentity& other) const {
        return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    }
};

inline FolderIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& information) {
    return FolderIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                          information.nFileIndexLow};
}

inline bool IsAmong(const FolderIdentity& identity, const std::vector<FolderIdentity>& folders) {
    return std::find(folders.begin(), folders.end(), identity) != folders.end();
}
