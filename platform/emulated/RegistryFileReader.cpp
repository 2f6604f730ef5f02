// Reading REGEDIT4 text into the registry.
#include "Registry.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace emulated {
namespace {

// The text's physical lines, each without its CR LF or LF.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == '\r')));
        start = end + 1;
    }
    return lines;
}

std::string TrimRight(const std::string& text) {
    return text.substr(0, text.find_last_not_of(" \t") + 1);
}

std::string Trimmed(const std::string& text) {
    std::string right = TrimRight(text);
    return right.substr(std::min(right.find_first_not_of(" \t"), right.size()));
}

// A number of 1 to 8 hexadecimal digits, as dword: and hex(N): write them.
bool ParseHex(const std::string& digits, unsigned long& number) {
    bool valid = !digits.empty() && digits.size() <= 8 &&
                 digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    number = valid ? std::strtoul(digits.c_str(), nullptr, 16) : 0;
    return valid;
}

class TextReader {
  public:
    TextReader(const std::string& text, RegistryRoots& roots, UINT codePage)
        : lines_(SplitLines(text)), roots_(roots), codePage_(codePage) {}

    bool Read(std::string& error, bool header = false) {
        for (index_ = 0; index_ < lines_.size(); ++index_) {
            lineNumber_ = index_ + 1;
            std::string line = TrimRight(lines_[index_]);
            if (index_ == 0 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
                // A file that holds names in UTF-8 says so.
                line.erase(0, 3);
                codePage_ = utf8CodePage;
            }
            std::size_t at = std::min(line.find_first_not_of(" \t"), line.size());
            bool done = true;
            if (at == line.size() || line[at] == ';') {
                continue; // blank lines and comments
            } else if (!header) {
                header = line == "REGEDIT4";
                done = header || Fail("the file does not begin with REGEDIT4");
            } else if (line[at] == '[') {
                done = ReadKeyLine(line, at);
            } else if (line[at] == '"' || line[at] == '@') {
                done = ReadValueLine(line, at);
            } else {
                done = Fail("neither a [key] nor a \"value\"=data line");
            }
            if (!done) {
                error = "line " + std::to_string(lineNumber_) + ": " + error_;
                return false;
            }
        }
        return true;
    }

  private:
    bool Fail(const std::string& reason) {
        error_ = reason;
        return false;
    }

    bool ReadKeyLine(const std::string& line, std::size_t at) {
        std::size_t close = line.rfind(']');
        if (close == std::string::npos || close != line.size() - 1) {
            return Fail("a key line must end with ]");
        }
        std::string path = line.substr(at + 1, close - at - 1);
        bool remove = !path.empty() && path[0] == '-';
        if (remove) {
            path.erase(0, 1);
        }
        std::size_t slash = path.find('\\');
        std::shared_ptr<RegistryKey> root = RootNamed(roots_, path.substr(0, slash));
        if (root == nullptr) {
            return Fail("unknown root key in [" + path + "]");
        }
        std::vector<std::string> components;
        if (slash != std::string::npos &&
            !SplitRegistryPath(path.substr(slash + 1), codePage_, components)) {
            return Fail("a key path may not begin with a backslash: [" + path + "]");
        }
        if (components.size() > maxRegistryKeyDepth) {
            return Fail("the key is more than " + std::to_string(maxRegistryKeyDepth) +
                        " levels deep");
        }
        // A root is never removed, and no value follows a removed key.
        std::shared_ptr<RegistryKey> doomed = remove ? FindRegistryKey(root, components) : nullptr;
        if (doomed != nullptr) {
            RemoveRegistryKey(*doomed);
        }
        key_ = remove ? nullptr : MakeRegistryKey(root, components);
        return true;
    }

    // From `at` on the opening quote to just after the closing one.
    bool ReadQuoted(const std::string& line, std::size_t& at, std::string& text) {
        text.clear();
        for (++at; at < line.size(); ++at) {
            char c = line[at];
            if (c == '"') {
                ++at;
                return true;
            }
            if (c != '\\') {
                text += c;
                continue;
            }
            if (++at == line.size()) {
                break;
            }
            // \\ and \" as the registry editor writes them; \r and \n too.
            static const char escapes[] = "\\\"rn";
            const char* escape = std::strchr(escapes, line[at]);
            if (line[at] == 0 || escape == nullptr) {
                return Fail(std::string("unknown escape \\") + line[at]);
            }
            text += "\\\"\r\n"[escape - escapes];
        }
        return Fail("a quoted text without its closing quote");
    }

    bool ReadValueLine(const std::string& line, std::size_t at) {
        if (key_ == nullptr) {
            return Fail("a value before any [key] line");
        }
        RegistryValue value;
        if (line[at] == '@') {
            ++at;
        } else if (!ReadQuoted(line, at, value.name)) {
            return false;
        }
        if (at >= line.size() || line[at] != '=') {
            return Fail("expected = after the value's name");
        }
        ++at;
        if (line.compare(at, std::string::npos, "-") == 0) {
            key_->values.erase(NameFromAnsi(value.name, codePage_));
            return true;
        }
        if (at < line.size() && line[at] == '"') {
            std::string text;
            if (!ReadQuoted(line, at, text)) {
                return false;
            }
            if (at != line.size()) {
                return Fail("text after the closing quote");
            }
            value.type = REG_SZ;
            value.bytes = text + '\0';
        } else if (SameRegistryName(line.substr(at, 6), "dword:")) {
            if (!ReadDword(line.substr(at + 6), value)) {
                return false;
            }
        } else if (SameRegistryName(line.substr(at, 3), "hex")) {
            if (!ReadHex(line, at + 3, value)) {
                return false;
            }
        } else {
            return Fail("unknown data; expected \"text\", dword:, hex: or hex(N):");
        }
        value.name = NameFromAnsi(value.name, codePage_);
        PutRegistryValue(*key_, std::move(value));
        return true;
    }

    bool ReadDword(const std::string& digits, RegistryValue& value) {
        unsigned long number = 0;
        if (!ParseHex(digits, number)) {
            return Fail("dword: needs 1 to 8 hexadecimal digits");
        }
        value.type = REG_DWORD;
        value.bytes = {static_cast<char>(number), static_cast<char>(number >> 8),
                       static_cast<char>(number >> 16), static_cast<char>(number >> 24)};
        return true;
    }

    // From just after "hex"; a line ending in a backslash goes on.
    bool ReadHex(const std::string& line, std::size_t at, RegistryValue& value) {
        value.type = REG_BINARY;
        if (at < line.size() && line[at] == '(') {
            std::size_t close = line.find(')', at);
            unsigned long type = 0;
            if (close == std::string::npos ||
                !ParseHex(line.substr(at + 1, close - at - 1), type)) {
                return Fail("hex(N): needs a type of 1 to 8 hexadecimal digits");
            }
            value.type = static_cast<DWORD>(type);
            at = close + 1;
        }
        if (at >= line.size() || line[at] != ':') {
            return Fail("expected : after hex");
        }
        std::string data = line.substr(at + 1);
        while (!data.empty() && data.back() == '\\') {
            data.pop_back();
            if (index_ + 1 >= lines_.size()) {
                return Fail("the hex data goes on past the end of the file");
            }
            data += Trimmed(lines_[++index_]);
        }
        value.bytes.clear();
        for (std::size_t start = 0; start < data.size();) {
            std::size_t comma = std::min(data.find(',', start), data.size());
            std::string piece = Trimmed(data.substr(start, comma - start));
            unsigned long byte = 0;
            if (piece.empty() && comma == data.size()) {
                break; // a comma, or blanks, at the end
            }
            if (piece.size() > 2 || !ParseHex(piece, byte)) {
                return Fail("hex bytes are one or two hexadecimal digits, separated by commas");
            }
            value.bytes += static_cast<char>(byte);
            start = comma + 1;
        }
        return true;
    }

    std::vector<std::string> lines_;
    RegistryRoots& roots_;
    UINT codePage_;
    std::shared_ptr<RegistryKey> key_;
    std::size_t index_ = 0;
    std::size_t lineNumber_ = 0;
    std::string error_;
};

} // namespace

bool ReadRegistryText(const std::string& text, RegistryRoots& roots, std::string& error,
                      UINT codePage, bool records) {
    return TextReader(text, roots, codePage).Read(error, records);
}

} // namespace emulated
