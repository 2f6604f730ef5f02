// Shared helpers of the emulated-platform test suites.
#pragma once

#include <cstdint>
#include <string>

// The output and exit status of a command run through the shell.
struct CommandResult {
    int status = -1;
    std::string output; // standard output and standard error, interleaved
};
CommandResult RunCommand(const std::string& command);

// A fresh, empty scratch folder under the build tree's tests folder, named
// after the running test; removed first if a previous run left it behind.
std::string MakeScratchFolder();
void RemoveScratchFolder(const std::string& folder);

// Writes bytes to a file, replacing it.
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);

// The file's bytes.
std::string ReadFileBytes(const std::string& path);

// Quotes a word for the shell.
std::string ShellQuoted(const std::string& word);

// The four bytes a REG_DWORD value holds: least significant first.
std::string Dword(uint32_t value);
