// Shared by the folder-removal suites: a scratch folder that holds the
// emulated drives (so that no path can reach the machine's own files), trees
// made on it with plain Linux calls, and a recorder of the platform trace.
#pragma once

#include "Control.h"
#include "TestSupport.h"
#include "TextMemory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

class ScratchDrive : public ::testing::Test {
  protected:
    void SetUp() override {
        emulated::ResetPlatform();
        scratch = MakeScratchFolder();
        drives = scratch + "/drives";
        RunCommand("mkdir -p " + ShellQuoted(drives + "/c") + " " + ShellQuoted(drives + "/d"));
        emulated::SetDriveFolder(drives);
    }
    void TearDown() override {
        FailTextAllocation(0);
        emulated::ResetPlatform();
        RemoveScratchFolder(scratch);
    }

    // The Linux path of a path relative to drive D:.
    std::string Disk(const std::string& relative) const { return drives + "/d/" + relative; }
    bool Exists(const std::string& relative) const { return PathExists(Disk(relative)); }

    void MakeFolder(const std::string& relative) {
        RunCommand("mkdir -p " + ShellQuoted(Disk(relative)));
    }
    void MakeFile(const std::string& relative, const std::string& bytes) {
        MakeParent(relative);
        WriteFileBytes(Disk(relative), bytes);
    }
    // Takes every write permission away: read-only, as Windows sees it.
    void MakeReadOnly(const std::string& relative) {
        struct stat entry;
        ASSERT_EQ(::stat(Disk(relative).c_str(), &entry), 0) << relative;
        ASSERT_EQ(::chmod(Disk(relative).c_str(), entry.st_mode & ~0222u), 0) << relative;
    }
    bool IsReadOnly(const std::string& relative) const {
        struct stat entry;
        return ::stat(Disk(relative).c_str(), &entry) == 0 && (entry.st_mode & 0200) == 0;
    }
    void MakeLink(const std::string& target, const std::string& relative) {
        MakeParent(relative);
        ASSERT_EQ(::symlink(target.c_str(), Disk(relative).c_str()), 0) << relative;
    }

    std::string scratch;
    std::string drives;

  private:
    void MakeParent(const std::string& relative) {
        std::size_t slash = relative.rfind('/');
        if (slash != std::string::npos) {
            MakeFolder(relative.substr(0, slash));
        }
    }
};

// Records the platform trace while it lives, and can act when a line with a
// chosen text appears (the line is written once the operation is done).
class TraceRecorder {
  public:
    TraceRecorder() {
        cookie_io_functions_t functions{};
        functions.write = &TraceRecorder::Write;
        stream_ = ::fopencookie(this, "w", functions);
        std::setvbuf(stream_, nullptr, _IONBF, 0);
        emulated::SetTrace(stream_);
    }
    ~TraceRecorder() {
        emulated::SetTrace(nullptr);
        std::fclose(stream_);
    }
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    void When(const std::string& text, std::function<void()> action) {
        triggers_.emplace_back(text, std::move(action));
    }
    const std::string& Text() const { return text_; }
    int Count(const std::string& text) const {
        int count = 0;
        for (std::size_t at = text_.find(text); at != std::string::npos;
             at = text_.find(text, at + 1)) {
            ++count;
        }
        return count;
    }

  private:
    static ssize_t Write(void* cookie, const char* bytes, size_t size) {
        auto* self = static_cast<TraceRecorder*>(cookie);
        self->text_.append(bytes, size);
        for (std::size_t end = self->text_.find('\n', self->lineStart_); end != std::string::npos;
             end = self->text_.find('\n', self->lineStart_)) {
            std::string line = self->text_.substr(self->lineStart_, end - self->lineStart_);
            self->lineStart_ = end + 1;
            for (auto& trigger : self->triggers_) {
                if (trigger.second && line.find(trigger.first) != std::string::npos) {
                    auto action = std::move(trigger.second);
                    trigger.second = nullptr;
                    action();
                }
            }
        }
        return static_cast<ssize_t>(size);
    }

    std::FILE* stream_ = nullptr;
    std::string text_;
    std::size_t lineStart_ = 0;
    std::vector<std::pair<std::string, std::function<void()>>> triggers_;
};
