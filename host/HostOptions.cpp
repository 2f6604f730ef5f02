#include "HostOptions.h"

#include <cstring>

namespace {

bool TakeValue(int argc, char** argv, int& i, std::string& value, std::string& error) {
    if (i + 1 >= argc) {
        error = std::string("option ") + argv[i] + " needs a value";
        return false;
    }
    value = argv[++i];
    return true;
}

} // namespace

bool ParseHostOptions(int argc, char** argv, HostOptions& options, std::string& error) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        std::string value;
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            return true;
        } else if (argument == "--module") {
            if (!TakeValue(argc, argv, i, options.modulePath, error)) {
                return false;
            }
        } else if (argument == "--registry") {
            if (!TakeValue(argc, argv, i, options.registryFile, error)) {
                return false;
            }
        } else if (argument == "--answer") {
            if (!TakeValue(argc, argv, i, value, error)) {
                return false;
            }
            if (value != "yes" && value != "no") {
                error = "--answer takes yes or no, not '" + value + "'";
                return false;
            }
            options.answers.push_back(value);
        } else if (argument == "--window") {
            if (!TakeValue(argc, argv, i, value, error)) {
                return false;
            }
            options.windows.push_back(value);
        } else if (argument == "--code-page") {
            if (!TakeValue(argc, argv, i, options.codePage, error)) {
                return false;
            }
        } else if (argument == "--drives") {
            if (!TakeValue(argc, argv, i, options.driveRoot, error)) {
                return false;
            }
        } else if (argument == "--trace") {
            options.trace = true;
        } else if (argument == "--null-text") {
            options.nullText = true;
        } else if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            error = "unknown option " + argument;
            return false;
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.empty()) {
        error = "no entry point named (try --help)";
        return false;
    }
    if (positional[0] == "dump") {
        options.dump = true;
        options.dumpKeys.assign(positional.begin() + 1, positional.end());
        return true;
    }
    if (positional.size() > 4) {
        error = "too many arguments: ENTRY [WINDOW VALUE TEXT]";
        return false;
    }
    options.entry = positional[0];
    if (positional.size() > 1) {
        options.window = positional[1];
    }
    if (positional.size() > 2) {
        options.value = positional[2];
    }
    if (positional.size() > 3) {
        options.textGiven = true;
        options.text = positional[3];
    }
    return true;
}

const char* HostUsage() {
    return "usage: gantrel-host [OPTIONS] ENTRY [WINDOW VALUE TEXT]\n"
           "       gantrel-host [OPTIONS] dump [KEY...]\n"
           "\n"
           "Plays the host installer: loads the hook module, calls one entry point\n"
           "with three arguments and prints its result.\n"
           "\n"
           "  ENTRY     IsWs2, UninstInitialize, UninstUnInitialize, SetUninstallInfo,\n"
           "            GetVKTFolder, CleanupDatabase, SetupServer, or #1 to #7 for\n"
           "            an ordinal\n"
           "  WINDOW    the owner window handle (a number, 0 by default)\n"
           "  VALUE     the 32-bit second argument (a number, 0 by default)\n"
           "  TEXT      the third argument: a path for SetupServer; absent = null.\n"
           "            GetVKTFolder always gets a buffer of 1000 bytes, and the host\n"
           "            prints what it received\n"
           "  dump KEY  prints the registry tree under KEY (for instance\n"
           "            HKEY_CURRENT_USER\\Software\\Corvanet\\Lumeno) in a canonical\n"
           "            form: keys sorted, each value's name, type and bytes; each\n"
           "            KEY named in turn. With no KEY, or for an empty one: the\n"
           "            keys the module touches\n"
           "\n"
           "Options:\n"
           "  --module PATH     the module to load (default: beside this program)\n"
           "  --null-text       pass a null third argument, also to GetVKTFolder\n"
           "  --help            this text\n"
           "On the emulated platform (Linux) only:\n"
           "  --registry FILE   the registry file (REGEDIT4 text) the module loads and\n"
           "                    saves (default: $XDG_DATA_HOME/gantrel/registry.reg)\n"
           "  --answer yes|no   answers the next message box (repeatable)\n"
           "  --window CLASS    a top-level window of this class is open (repeatable)\n"
           "  --code-page N     the ANSI code page (default 1252)\n"
           "  --drives FOLDER   the folder holding drive folders c, d, ... (default:\n"
           "                    $XDG_DATA_HOME/gantrel/drives)\n"
           "  --trace           print every platform operation a call makes\n"
           "\n"
           "Exit status: 0 when the call was made, 2 for a bad command line, 3 when\n"
           "the module cannot be loaded, 4 when the entry point is not found.\n";
}
