// Reading a settings file as a text stream, over the platform's raw file
// operations, so that it reads the same on every platform.
#include "SettingsFile.h"

#include "Platform.h"

#include <string>

namespace {

// The stream hands a line over in chunks of at most this many bytes, each
// ending after an LF; a full chunk without one is followed by the next.
const int chunkSize = 128;
const int endOfFile = 0x1A;

} // namespace

SettingsFile::SettingsFile(const char* path)
    : file_(platform::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (file_ == INVALID_HANDLE_VALUE) {
        throw FileError("open");
    }
}

SettingsFile::~SettingsFile() {
    if (file_ != INVALID_HANDLE_VALUE) {
        platform::CloseHandle(file_);
    }
}

void SettingsFile::Rewind() {
    if (platform::SetFilePointer(file_, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        throw FileError("seek");
    }
    position_ = 0;
    filled_ = 0;
    ended_ = false;
    pending_ = -1;
}

void SettingsFile::Close() {
    HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    if (!platform::CloseHandle(file)) {
        throw FileError("close");
    }
}

int SettingsFile::RawByte() {
    if (ended_) {
        return -1;
    }
    if (position_ == filled_) {
        DWORD read = 0;
        if (!platform::ReadFile(file_, buffer_, sizeof buffer_, &read, nullptr)) {
            throw FileError("read");
        }
        position_ = 0;
        filled_ = read;
        if (read == 0) {
            ended_ = true;
            return -1;
        }
    }
    int byte = buffer_[position_++];
    if (byte == endOfFile) {
        // Nothing from here on is read, however much follows.
        ended_ = true;
        return -1;
    }
    return byte;
}

int SettingsFile::NextByte() {
    int byte = pending_ >= 0 ? pending_ : RawByte();
    pending_ = -1;
    if (byte != '\r') {
        return byte;
    }
    int next = RawByte();
    if (next == '\n') {
        return '\n';
    }
    pending_ = next; // a lone CR is data; what follows it comes next
    return '\r';
}

int SettingsFile::ReadChunk(char* chunk, int limit) {
    int count = 0;
    while (count < limit) {
        int byte = NextByte();
        if (byte < 0) {
            break;
        }
        chunk[count++] = static_cast<char>(byte);
        if (byte == '\n') {
            break;
        }
    }
    return count;
}

bool SettingsFile::ReadLine(TextString& line) {
    line.Empty();
    std::string bytes;
    char chunk[chunkSize];
    bool read = false;
    for (;;) {
        int count = ReadChunk(chunk, chunkSize);
        if (count == 0) {
            break;
        }
        read = true;
        bytes.append(chunk, static_cast<std::size_t>(count));
        if (count < chunkSize || chunk[count - 1] == '\n') {
            break;
        }
    }
    // A last line that fills its final chunk exactly still counts as read.
    if (!read) {
        return false;
    }
    if (bytes.back() == '\n') {
        bytes.pop_back();
    }
    line = bytes.c_str(); // a zero byte ends the line's text
    return true;
}
