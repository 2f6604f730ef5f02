// Emulated message boxes and window lookup, as Control.h describes them:
// nothing that a Yes would allow happens without a Yes. The module shows
// Yes/No and OK boxes only.
#include "Operations.h"
#include "Platform.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <strings.h>
#include <unistd.h>

namespace emulated {
namespace {

bool settingsRead = false;
bool askOnTerminal = false;
std::deque<bool> answers;
std::vector<ShownMessageBox> shownBoxes;
std::vector<std::string> openWindows;

// "a, b,c" as its items, blanks dropped.
std::vector<std::string> SplitList(const char* list) {
    std::vector<std::string> items(1);
    for (const char* p = list; *p != 0; ++p) {
        if (*p == ',' && !items.back().empty()) {
            items.emplace_back();
        } else if (*p != ',' && *p != ' ') {
            items.back() += *p;
        }
    }
    if (items.back().empty()) {
        items.pop_back();
    }
    return items;
}

// The settings of a module loaded by a host come from its environment, read
// at the first box or lookup.
void ReadSettings() {
    if (settingsRead) {
        return;
    }
    settingsRead = true;
    const char* script = Setting("GANTREL_ANSWERS");
    // Anything but a yes (or an OK) is a No.
    for (const std::string& answer : SplitList(script != nullptr ? script : "")) {
        answers.push_back(strcasecmp(answer.c_str(), "yes") == 0 ||
                          strcasecmp(answer.c_str(), "ok") == 0);
    }
    askOnTerminal = script == nullptr && ::isatty(STDIN_FILENO) != 0;
    const char* windows = Setting("GANTREL_WINDOWS");
    openWindows = SplitList(windows != nullptr ? windows : "");
}

// The button a Yes or a No presses in a box of this style.
int ButtonFor(UINT style, bool yes) {
    return (style & 0xF) != MB_YESNO ? IDOK : yes ? IDYES : IDNO;
}

bool AskTerminal(LPCSTR text, LPCSTR caption, UINT style) {
    bool question = (style & 0xF) == MB_YESNO;
    std::fprintf(stderr, "\n[%s]\n%s\n%s", caption != nullptr ? caption : "Error",
                 text != nullptr ? text : "", question ? "(yes/no) " : "(press Enter) ");
    std::fflush(stderr);
    char line[64];
    if (std::fgets(line, sizeof line, stdin) == nullptr) {
        return false;
    }
    return line[0] == 'y' || line[0] == 'Y' || (!question && line[0] == '\n');
}

} // namespace

void ResetUserInterface() {
    settingsRead = true; // in-process control: the environment is not read
    askOnTerminal = false;
    answers.clear();
    shownBoxes.clear();
    openWindows.clear();
}

void ScriptAnswer(bool yes) {
    ReadSettings();
    askOnTerminal = false;
    answers.push_back(yes);
}

const std::vector<ShownMessageBox>& ShownMessageBoxes() {
    return shownBoxes;
}

void OpenWindow(const char* className) {
    ReadSettings();
    openWindows.push_back(className != nullptr ? className : "");
}

} // namespace emulated

namespace platform {

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    using namespace emulated;
    Operation operation("MessageBoxA");
    ReadSettings();
    if (operation.Faulted()) {
        // The box could not be made: no button was pressed, and nobody saw it.
        operation.Trace(Quoted(caption), "0 (failed)");
        return 0;
    }
    bool yes = false;
    if (!answers.empty()) {
        yes = answers.front();
        answers.pop_front();
    } else if (askOnTerminal) {
        yes = AskTerminal(text, caption, type);
    }
    int answer = ButtonFor(type, yes);
    shownBoxes.push_back(ShownMessageBox{owner, text != nullptr ? text : "",
                                         caption != nullptr ? caption : "", type, answer});
    if (operation.Tracing()) {
        operation.Trace(Hex(reinterpret_cast<uintptr_t>(owner)) + ", " + Quoted(text) + ", " +
                            Quoted(caption) + ", " + Hex(type),
                        std::to_string(answer));
    }
    return answer;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    using namespace emulated;
    Operation operation("FindWindowA");
    ReadSettings();
    HWND found = nullptr;
    // The emulated windows have no titles: only a lookup without one, or
    // with the empty one, can find them. A lookup that fails finds nothing.
    bool anyTitle = !operation.Faulted() && (windowName == nullptr || windowName[0] == 0);
    for (std::size_t i = 0; anyTitle && className != nullptr && i < openWindows.size(); ++i) {
        if (strcasecmp(openWindows[i].c_str(), className) == 0) {
            found = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010 + 4 * i));
            break;
        }
    }
    if (operation.Tracing()) {
        operation.Trace(Quoted(className) + ", " + Quoted(windowName),
                        Hex(reinterpret_cast<uintptr_t>(found)));
    }
    return found;
}

} // namespace platform
