// The registry file shared between processes: locking, reading what others
// appended, appending, and compacting into a fresh snapshot.
#include "RegistryJournal.h"

#include "Operations.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace emulated {
namespace {

// The journal is compacted once it is as large as the snapshot it follows,
// and never while the whole file is smaller than this.
const off_t smallestCompaction = 64 * 1024;
const char temporarySuffix[] = ".tmp-";
// A write refused for the user's want of rights, or failing for any other
// reason (a full disk, an I/O error).
const FaultStatuses journalFaultStatuses = {ERROR_ACCESS_DENIED, errorRegistryIoFailed,
                                            errorRegistryIoFailed, errorRegistryIoFailed};

long long ModificationTime(const struct stat& info) {
    return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The path a chain of symbolic links leads to, as far as it goes; a link to
// nowhere leads to the file a change will make.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            break;
        }
        std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) +
                                 1);
        ssize_t length = ::readlink(path.c_str(), target.data(), target.size() - 1);
        if (length <= 0) {
            break;
        }
        std::string next(target.data(), static_cast<std::size_t>(length));
        path = next[0] == '/' ? next : FolderOf(path) + "/" + next;
    }
    return path;
}

// Root may write anything, so the mode bits alone say what the user means:
// a file or folder that nobody may write stays unwritten here as it would
// for any other user.
bool ModeForbidsWriting(const struct stat& info) {
    return ::geteuid() == 0 && (info.st_mode & 0222) == 0;
}

bool IsDeniedErrno(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

std::string NotRegular(const std::string& path, const struct stat& info) {
    return "the registry file " + path + " cannot be read: " +
           (S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file");
}

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool ReadRange(int fd, off_t from, off_t to, std::string& text) {
    text.resize(static_cast<std::size_t>(to - from));
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t count =
            ::pread(fd, &text[done], text.size() - done, from + static_cast<off_t>(done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

bool WriteAt(int fd, const std::string& text, off_t at) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t count =
            ::pwrite(fd, text.data() + done, text.size() - done, at + static_cast<off_t>(done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            if (count == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

} // namespace

void RegistryJournal::Choose(const std::string& path) {
    Close();
    path_ = path.empty() ? path : FollowLinks(path);
    cleaned_ = false;
    Forget();
}

void RegistryJournal::Forget() {
    known_ = false;
    device_ = 0;
    inode_ = 0;
    size_ = committed_ = base_ = 0;
    mtime_ = 0;
}

void RegistryJournal::Remember(const struct stat& info) {
    known_ = true;
    device_ = info.st_dev;
    inode_ = info.st_ino;
    size_ = info.st_size;
    mtime_ = ModificationTime(info);
}

void RegistryJournal::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    locked_ = 0;
}

bool RegistryJournal::SameFileAtPath() const {
    struct stat atPath;
    struct stat open;
    return ::stat(path_.c_str(), &atPath) == 0 && ::fstat(fd_, &open) == 0 &&
           atPath.st_ino == open.st_ino && atPath.st_dev == open.st_dev;
}

LONG RegistryJournal::Open(bool change, std::string& error) {
    struct stat info;
    // A FIFO or a device is never opened: opening one may block or act.
    bool exists = ::stat(path_.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        error = NotRegular(path_, info);
        return errorRefused;
    }
    if (!exists && errno != ENOENT) {
        error = SystemError("the registry file cannot be read:", path_);
        return errorRefused;
    }
    if (!exists && !change) {
        return ERROR_SUCCESS; // no file yet: an empty registry
    }
    // A file that cannot be made is an empty registry that refuses changes.
    struct stat folder;
    writable_ = false;
    if (!exists && ::stat(FolderOf(path_).c_str(), &folder) == 0 && ModeForbidsWriting(folder)) {
        return ERROR_SUCCESS;
    }
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    writable_ = !(exists && ModeForbidsWriting(info));
    fd_ = ::open(path_.c_str(), flags | (writable_ ? O_RDWR | O_CREAT : O_RDONLY), 0666);
    if (fd_ < 0 && writable_ && exists && IsDeniedErrno(errno)) {
        writable_ = false;
        fd_ = ::open(path_.c_str(), flags | O_RDONLY);
    }
    if (fd_ < 0) {
        if (IsDeniedErrno(errno) && !exists) {
            writable_ = false;
            return ERROR_SUCCESS;
        }
        error = SystemError("the registry file cannot be opened:", path_);
        return errno == ENOSPC || errno == EIO ? errorRegistryIoFailed : errorRefused;
    }
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = NotRegular(path_, info);
        Close();
        return errorRefused;
    }
    return ERROR_SUCCESS;
}

LONG RegistryJournal::Lock(bool change, JournalNews& news, std::string& text, std::string& error) {
    news = JournalNews::None;
    text.clear();
    struct stat info;
    for (;;) {
        if (fd_ >= 0 && !SameFileAtPath()) {
            Close(); // replaced by another process's compaction, or removed
        }
        if (fd_ < 0) {
            LONG status = Open(change, error);
            if (status != ERROR_SUCCESS) {
                return status;
            }
            if (fd_ < 0) {
                // No file: an empty registry, news only if there was one.
                news = !known_ || inode_ != 0 ? JournalNews::Whole : JournalNews::None;
                Forget();
                known_ = true;
                return ERROR_SUCCESS;
            }
        }
        if (::flock(fd_, change ? LOCK_EX : LOCK_SH) != 0) {
            if (errno == EINTR) {
                continue;
            }
            error = SystemError("the registry file cannot be locked:", path_);
            return errorRegistryIoFailed;
        }
        locked_ = change ? LOCK_EX : LOCK_SH;
        if (SameFileAtPath() && ::fstat(fd_, &info) == 0) {
            break;
        }
        Close(); // replaced while this process waited for the lock
    }
    if (change && !cleaned_) {
        RemoveLeftoverTemporaries();
    }
    // Shorter, or as long but written since: another process rewrote it.
    bool whole = !known_ || info.st_ino != inode_ || info.st_dev != device_ ||
                 info.st_size < size_ ||
                 (info.st_size == size_ && ModificationTime(info) != mtime_);
    if (whole || info.st_size > size_) {
        if (!ReadRange(fd_, whole ? 0 : committed_, info.st_size, text)) {
            error = SystemError("the registry file cannot be read:", path_);
            Unlock();
            return errorRegistryIoFailed;
        }
        news = whole ? JournalNews::Whole : JournalNews::Appended;
        // Only whole lines: what follows the last line break is unfinished.
        std::size_t end = text.rfind('\n');
        text.resize(end == std::string::npos ? 0 : end + 1);
        committed_ = (whole ? 0 : committed_) + static_cast<off_t>(text.size());
        base_ = whole ? committed_ : base_;
    }
    Remember(info);
    return ERROR_SUCCESS;
}

void RegistryJournal::Unlock() {
    if (fd_ >= 0 && locked_ != 0) {
        ::flock(fd_, LOCK_UN);
    }
    locked_ = 0;
}

LONG RegistryJournal::Append(const std::string& record, std::string& error) {
    // An empty file is a new one: it begins as every registry file begins.
    std::string text = committed_ == 0 ? "REGEDIT4\n\n" + record : record;
    struct stat info;
    Operation operation("WriteRegistryFile");
    bool written = false;
    LONG status = static_cast<LONG>(operation.FaultStatus(journalFaultStatuses));
    if (status != ERROR_SUCCESS) {
        errno = status == ERROR_ACCESS_DENIED ? EACCES : EIO;
    } else if (fd_ < 0 || !writable_ || locked_ != LOCK_EX || ::fstat(fd_, &info) != 0 ||
               ModeForbidsWriting(info)) {
        errno = EACCES;
    } else {
        // A torn tail left by a process that died is cut off first.
        written = (size_ == committed_ || ::ftruncate(fd_, committed_) == 0) &&
                  WriteAt(fd_, text, committed_);
        int reason = errno;
        if (written) {
            committed_ += static_cast<off_t>(text.size());
        } else {
            ::ftruncate(fd_, committed_); // leave no part of the change behind
        }
        if (::fstat(fd_, &info) == 0) {
            size_ = info.st_size;
            mtime_ = ModificationTime(info);
        }
        errno = reason;
    }
    if (!written) {
        int reason = errno;
        error = "cannot write the registry file " + path_ + ": " + std::strerror(reason);
        status = IsDeniedErrno(reason) ? ERROR_ACCESS_DENIED : errorRegistryIoFailed;
    }
    operation.Trace(Quoted(path_.c_str()) + ", " + std::to_string(text.size()) + " bytes",
                    std::to_string(status));
    return status;
}

bool RegistryJournal::WantsCompaction() const {
    return fd_ >= 0 && locked_ == LOCK_EX && committed_ >= smallestCompaction &&
           committed_ - base_ > base_;
}

bool RegistryJournal::Compact(const std::string& snapshot) {
    struct stat info;
    struct stat folder;
    if (::fstat(fd_, &info) != 0 ||
        (::stat(FolderOf(path_).c_str(), &folder) == 0 && ModeForbidsWriting(folder))) {
        return false;
    }
    std::vector<char> temporary(path_.begin(), path_.end());
    const std::string suffix = std::string(temporarySuffix) + "XXXXXX";
    temporary.insert(temporary.end(), suffix.begin(), suffix.end());
    temporary.push_back(0);
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    // The snapshot takes the place of the file as it was: same mode, same
    // owner where this process may give it.
    // Locked before anyone can open it, so that the change that may follow
    // the snapshot is made under the lock as every other.
    bool written = ::flock(fd, LOCK_EX) == 0 && ::fchmod(fd, info.st_mode & 07777) == 0 &&
                   WriteAt(fd, snapshot, 0);
    if (written && (info.st_uid != ::geteuid() || info.st_gid != ::getegid())) {
        written = ::fchown(fd, info.st_uid, info.st_gid) == 0;
    }
    // No fsync: the rename alone keeps readers from ever seeing half a file.
    if (!written || ::rename(temporary.data(), path_.c_str()) != 0) {
        ::close(fd);
        ::unlink(temporary.data());
        return false;
    }
    // The old file's lock goes with it; the new one is held already.
    Close();
    fd_ = fd;
    locked_ = LOCK_EX;
    writable_ = true;
    struct stat fresh;
    if (::fstat(fd_, &fresh) == 0) {
        Remember(fresh);
        committed_ = base_ = fresh.st_size;
    }
    return true;
}

void RegistryJournal::RemoveLeftoverTemporaries() {
    // Under the exclusive lock no other process is compacting, so every
    // temporary beside the file is one a process left when it died.
    cleaned_ = true;
    std::string folder = FolderOf(path_);
    std::string prefix = path_.substr(path_.rfind('/') + 1) + temporarySuffix;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
        }
    }
    ::closedir(dir);
}

} // namespace emulated
