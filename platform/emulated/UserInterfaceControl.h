// Control of the emulated message boxes and windows, for tests and the host
// stand-in only. Included by EmulatedControl.h.
//
// Who answers a message box: the scripted answers while any are left (from
// this header, or GANTREL_ANSWERS: "yes,no,..."), one per box in the order
// the boxes appear; once a script was given and is used up, or when none was
// given and standard input is no terminal, every box is answered No (IDNO,
// or IDOK for a box with only an OK button). Only a module loaded by a host
// with no script and a terminal on standard input asks on that terminal.
// After ResetPlatform no box ever asks on the terminal: tests never wait for
// a person.
#pragma once

#include "PlatformTypes.h"

#include <string>
#include <vector>

namespace emulated {

// One message box as the module showed it, and the button that answered it.
struct ShownMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
    int answer;
};

// Appends an answer to the script: true for Yes (or OK), false for No.
void ScriptAnswer(bool yes);
// Every box shown since the last reset, oldest first.
const std::vector<ShownMessageBox>& ShownMessageBoxes();

// A top-level window of this class is open from now until the next reset
// (GANTREL_WINDOWS: "Class,Class,..."). Class names compare without regard to
// ASCII case, as window classes do.
void OpenWindow(const char* className);

} // namespace emulated
