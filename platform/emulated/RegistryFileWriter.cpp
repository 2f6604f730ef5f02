// Writing the registry as REGEDIT4 text, and saving it atomically.
#include "RegistryFile.h"

#include "CodePageTables.h"
#include "NameEncoding.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace emulated {
namespace {

// The registry editor wraps hex data near this column, continuing each line
// with a backslash.
const std::size_t hexWrapColumn = 76;

// A name or a text between double quotes. The registry editor knows only the
// escapes \\ and \" (and reads \r and \n too); every other byte stays as it is.
void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    out += '"';
}

// Printable ASCII ending in exactly one zero: the only bytes the quoted form
// carries back unchanged.
bool IsPlainText(const RegistryValue& value) {
    const std::string& bytes = value.bytes;
    if (value.type != REG_SZ || bytes.empty() || bytes.back() != 0) {
        return false;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

// Names are written in the ANSI code page, as the registry editor reads
// them; a registry that holds a name the code page cannot carry is written
// in UTF-8 instead, marked as such by a byte order mark, so that no name is
// lost to a '?'.
UINT FileCodePage(const RegistryKey& key, UINT codePage) {
    if (!CodePageCarries(key.name, codePage)) {
        return utf8CodePage;
    }
    for (const auto& value : key.values) {
        if (!CodePageCarries(value.second.name, codePage)) {
            return utf8CodePage;
        }
    }
    for (const auto& child : key.keys) {
        if (FileCodePage(*child.second, codePage) == utf8CodePage) {
            return utf8CodePage;
        }
    }
    return codePage;
}

void AppendValue(std::string& out, const RegistryValue& value, UINT codePage) {
    std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, NameToAnsi(value.name, codePage));
    }
    out += '=';
    char piece[32];
    if (IsPlainText(value)) {
        AppendQuoted(out, value.bytes.substr(0, value.bytes.size() - 1));
    } else if (value.type == REG_DWORD && value.bytes.size() == 4) {
        unsigned long number = 0;
        for (int i = 3; i >= 0; --i) {
            number = number << 8 | static_cast<unsigned char>(value.bytes[i]);
        }
        std::snprintf(piece, sizeof piece, "dword:%08lx", number);
        out += piece;
    } else {
        if (value.type == REG_BINARY) {
            out += "hex:";
        } else {
            std::snprintf(piece, sizeof piece, "hex(%lx):", static_cast<unsigned long>(value.type));
            out += piece;
        }
        static const char digits[] = "0123456789abcdef";
        for (std::size_t i = 0; i < value.bytes.size(); ++i) {
            unsigned char byte = static_cast<unsigned char>(value.bytes[i]);
            out += digits[byte >> 4];
            out += digits[byte & 15];
            if (i + 1 < value.bytes.size()) {
                out += ',';
                if (out.size() - lineStart >= hexWrapColumn) {
                    out += "\\\n  ";
                    lineStart = out.size() - 2;
                }
            }
        }
    }
    out += '\n';
}

void AppendKey(std::string& out, const RegistryKey& key, const std::string& path, UINT codePage) {
    // A root holds no values of its own here, so only its sub-keys are
    // written; every other key is, even when empty, so that it comes back.
    if (key.parent != nullptr || !key.values.empty()) {
        out += '\n';
        out += '[';
        out += path;
        out += "]\n";
        for (const auto& value : key.values) {
            AppendValue(out, value.second, codePage);
        }
    }
    for (const auto& child : key.keys) {
        AppendKey(out, *child.second, path + "\\" + NameToAnsi(child.second->name, codePage),
                  codePage);
    }
}

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

} // namespace

std::string WriteRegistryText(const RegistryRoots& roots) {
    UINT codePage = AnsiCodePage();
    for (const auto& root : AllRoots(roots)) {
        codePage = FileCodePage(*root, codePage);
    }
    std::string out = codePage == utf8CodePage ? "\xEF\xBB\xBFREGEDIT4\n" : "REGEDIT4\n";
    for (const auto& root : AllRoots(roots)) {
        AppendKey(out, *root, root->name, codePage);
    }
    return out;
}

bool SaveRegistryFile(const std::string& path, const RegistryRoots& roots, std::string& error) {
    std::string text = WriteRegistryText(roots);
    std::vector<char> temporary(path.begin(), path.end());
    const char suffix[] = ".tmp-XXXXXX";
    temporary.insert(temporary.end(), suffix, suffix + sizeof suffix);
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = SystemError("cannot make a temporary file beside", path);
        return false;
    }
    // mkstemp makes the file private; a registry file is as readable as any
    // other file the user makes.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    // No fsync: the rename alone keeps readers from ever seeing half a file,
    // and a sync after every change would cost more than the change.
    bool written = WriteAll(fd, text);
    if (!written) {
        error = SystemError("cannot write", temporary.data());
    }
    if (::close(fd) != 0 && written) {
        written = false;
        error = SystemError("cannot write", temporary.data());
    }
    if (written && ::rename(temporary.data(), path.c_str()) != 0) {
        written = false;
        error = SystemError("cannot replace", path);
    }
    if (!written) {
        ::unlink(temporary.data());
    }
    return written;
}

} // namespace emulated
