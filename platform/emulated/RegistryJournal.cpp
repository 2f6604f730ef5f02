// The registry file shared between processes: locking, reading what others
// appended, appending, and compacting into a fresh snapshot.
#include "Registry.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace emulated {
namespace {

// The journal is compacted once it is as large as the snapshot it follows,
// and never while the whole file is smaller than this.
const off_t smallestCompaction = 64 * 1024;
const char temporarySuffix[] = ".tmp-";

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
        char target[PATH_MAX];
        ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target)) {
            break;
        }
        std::string next(target, static_cast<std::size_t>(length));
        path = next[0] == '/' ? next : FolderOf(path) + "/" + next;
    }
    return path;
}

// Root may write anything: a file or folder that nobody may write stays
// unwritten as it would for any other user.
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

// `length` bytes by as many calls as it takes; one that moves none: `stalled`.
template <typename Call> bool Transfer(std::size_t length, int stalled, const Call& call) {
    for (std::size_t done = 0; done < length;) {
        ssize_t count = call(done);
        if (count <= 0 && !(count < 0 && errno == EINTR)) {
            errno = count == 0 ? stalled : errno;
            return false;
        }
        done += count > 0 ? static_cast<std::size_t>(count) : 0;
    }
    return true;
}

bool ReadRange(int fd, off_t from, off_t to, std::string& text) {
    text.resize(static_cast<std::size_t>(to - from));
    return Transfer(text.size(), EIO, [&](std::size_t done) {
        return ::pread(fd, &text[done], text.size() - done, from + static_cast<off_t>(done));
    });
}

bool WriteAt(int fd, const std::string& text, off_t at) {
    return Transfer(text.size(), ENOSPC, [&](std::size_t done) {
        return ::pwrite(fd, text.data() + done, text.size() - done, at + static_cast<off_t>(done));
    });
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
    seen_ = {};
    committed_ = base_ = 0;
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
        return errorBadRegistryFile;
    }
    if (!exists && errno != ENOENT) {
        error = SystemError("the registry file cannot be read:", path_);
        return errorBadRegistryFile;
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
        return errno == ENOSPC || errno == EIO ? errorRegistryIoFailed : errorBadRegistryFile;
    }
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = NotRegular(path_, info);
        Close();
        return errorBadRegistryFile;
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
                news = !known_ || seen_.st_ino != 0 ? JournalNews::Whole : JournalNews::None;
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
    bool whole =
        !known_ || info.st_ino != seen_.st_ino || info.st_dev != seen_.st_dev ||
        info.st_size < seen_.st_size ||
        (info.st_size == seen_.st_size && ModificationTime(info) != ModificationTime(seen_));
    if (whole || info.st_size > seen_.st_size) {
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
    known_ = true;
    seen_ = info;
    return ERROR_SUCCESS;
}

void RegistryJournal::Unlock() {
    if (fd_ >= 0 && locked_ != 0) {
        ::flock(fd_, LOCK_UN);
    }
    locked_ = 0;
}

std::string RegistryJournal::Framed(const std::string& record) const {
    return committed_ == 0 ? "REGEDIT4\n\n" + record : record;
}

LONG RegistryJournal::Append(const std::string& text, LONG fault, std::string& error) {
    struct stat info;
    bool written = false;
    if (fault != ERROR_SUCCESS) {
        errno = fault == ERROR_ACCESS_DENIED ? EACCES : EIO;
    } else if (fd_ < 0 || !writable_ || locked_ != LOCK_EX || ::fstat(fd_, &info) != 0 ||
               ModeForbidsWriting(info)) {
        errno = EACCES;
    } else {
        // A torn tail left by a process that died is cut off first.
        written = (seen_.st_size == committed_ || ::ftruncate(fd_, committed_) == 0) &&
                  WriteAt(fd_, text, committed_);
        int reason = errno;
        if (written) {
            committed_ += static_cast<off_t>(text.size());
        } else {
            ::ftruncate(fd_, committed_); // leave no part of the change behind
        }
        if (::fstat(fd_, &info) == 0) {
            seen_ = info;
        }
        errno = reason;
    }
    if (written) {
        return ERROR_SUCCESS;
    }
    int reason = errno;
    error = "cannot write the registry file " + path_ + ": " + std::strerror(reason);
    return IsDeniedErrno(reason) ? ERROR_ACCESS_DENIED : errorRegistryIoFailed;
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
    std::string temporary = path_ + temporarySuffix + "XXXXXX";
    int fd = ::mkstemp(&temporary[0]);
    if (fd < 0) {
        return false;
    }
    // Same mode and owner as the file it replaces; locked before anyone can
    // open it, so that the change after the snapshot is made under the lock.
    bool written = ::flock(fd, LOCK_EX) == 0 && ::fchmod(fd, info.st_mode & 07777) == 0 &&
                   WriteAt(fd, snapshot, 0);
    if (written && (info.st_uid != ::geteuid() || info.st_gid != ::getegid())) {
        written = ::fchown(fd, info.st_uid, info.st_gid) == 0;
    }
    // No fsync: the rename alone keeps readers from ever seeing half a file.
    if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    }
    // The old file's lock goes with it; the new one is held already.
    Close();
    fd_ = fd;
    locked_ = LOCK_EX;
    writable_ = true;
    if (::fstat(fd_, &seen_) == 0) {
        committed_ = base_ = seen_.st_size;
    }
    return true;
}

void RegistryJournal::RemoveLeftoverTemporaries() {
    // Under the exclusive lock every temporary is one a dead process left.
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

bool LoadRegistryFile(const std::string& path, UINT codePage, RegistryRoots& roots,
                      std::string& error) {
    RegistryJournal journal;
    journal.Choose(path);
    JournalNews news = JournalNews::None;
    std::string text;
    LONG status = journal.Lock(false, news, text, error);
    journal.Choose("");
    std::string why;
    if (status == ERROR_SUCCESS && !ReadRegistryText(text, roots, why, codePage)) {
        error = "the registry file " + path + " is malformed, " + why;
        return false;
    }
    return status == ERROR_SUCCESS;
}

} // namespace emulated
