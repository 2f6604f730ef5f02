// The command line of gantrel-host.
#pragma once

#include <string>
#include <vector>

struct HostOptions {
    std::string modulePath;           // --module
    std::string registryFile;         // --registry (emulated platform)
    std::vector<std::string> answers; // --answer yes|no, in order (emulated platform)
    std::vector<std::string> windows; // --window CLASS (emulated platform)
    std::string codePage;             // --code-page N (emulated platform)
    std::string driveRoot;            // --drives FOLDER (emulated platform)
    bool trace = false;               // --trace (emulated platform)
    bool nullText = false;            // --null-text: pass a null third argument

    bool help = false;
    bool dump = false;                 // dump [KEY...]
    std::vector<std::string> dumpKeys; // none: the keys the module touches

    std::string entry; // a name, or #N
    std::string window = "0";
    std::string value = "0";
    bool textGiven = false;
    std::string text;
};

// False with a message for a command line that cannot be run.
bool ParseHostOptions(int argc, char** argv, HostOptions& options, std::string& error);

const char* HostUsage();
