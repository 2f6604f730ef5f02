// A settings file read as a text stream, one line at a time.
#pragma once

#include "PlatformTypes.h"
#include "TextString.h"

#include <exception>

// A failure of the file layer: the open, the seek, a read or the close.
class FileError : public std::exception {
  public:
    explicit FileError(const char* operation) : operation_(operation) {}
    const char* what() const noexcept override { return operation_; }

  private:
    const char* operation_;
};

// An existing file opened for reading, shared with other readers and
// writers, and read as text: CR LF reads as LF, any other CR is data, and a
// byte 0x1A ends the file. Every failure throws FileError; the destructor
// closes a file that is still open without throwing.
class SettingsFile {
  public:
    // Opens the file at path (never creating it).
    explicit SettingsFile(const char* path);
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Moves back to the first byte.
    void Rewind();

    // The next line, without its LF, into `line`: false at the end of the
    // file (with `line` empty). A line is read whole whatever its length,
    // the last one with or without an LF after it; a line holding a zero
    // byte ends there, and the rest of it is passed over.
    bool ReadLine(TextString& line);

    void Close();

  private:
    // The next byte after the CR LF translation, or -1 at the end of the file.
    int NextByte();
    // The next raw byte, or -1 at the end of the file or at a 0x1A.
    int RawByte();
    // Up to `limit` bytes of the current line, ending after an LF; how many.
    int ReadChunk(char* chunk, int limit);

    HANDLE file_;
    BYTE buffer_[4096];
    DWORD position_ = 0;
    DWORD filled_ = 0;
    bool ended_ = false;
    int pending_ = -1; // a byte read ahead after a CR
};
