#include "Backend.h"
#include "EmulatedControl.h"

namespace emulated {

void ResetPlatform() {
    ResetCodePage();
    ResetSockets();
    ResetRegistry();
    ResetFiles();
    ResetUserInterface();
    SetDriveFolder("");
    ClearFaults();
}

} // namespace emulated
