// Resets of each part of the emulated platform. Internal to the backend.
#pragma once

namespace emulated {

void ResetCodePage();
void ResetSockets();
void ResetRegistry();
void ResetFiles();
void ResetUserInterface();

} // namespace emulated
