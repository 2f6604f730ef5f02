// The guard in front of the one removal that destroys a user's data: the
// folder named by a registry value, which anything may have written.
#include "DatabasePath.h"

#include "LeadBytes.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The components between separators, from `start` on, with double-byte
// characters kept whole so that a trail byte is never taken for a separator.
std::vector<std::string> SplitComponents(const char* text, std::size_t start) {
    std::vector<std::string> components;
    std::string component;
    for (const char* p = text + start;;) {
        if (*p == 0 || IsSeparator(*p)) {
            components.push_back(component);
            component.clear();
            if (*p == 0) {
                return components;
            }
            ++p;
        } else if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != 0) {
            component.append(p, 2);
            p += 2;
        } else {
            component += *p++;
        }
    }
}

bool IsSoundComponent(const std::string& component) {
    if (component.find_first_not_of(". ") == std::string::npos) {
        return false;
    }
    for (std::size_t i = 0; i < component.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(component[i]);
        if (IsLeadByte(c) && i + 1 < component.size()) {
            ++i; // a double-byte character is never one of the bytes below
        } else if (c < 0x20 || std::strchr("<>:\"|?*", c) != nullptr) {
            return false;
        }
    }
    return true;
}

} // namespace

TextString ResolveRemovableFolder(const TextString& path) {
    const char* text = path.Text();
    TextString plain;
    std::size_t folders = 0; // components that must follow the root
    std::size_t start = 0;
    if (path.Length() >= 3 && ((text[0] | 0x20) >= 'a' && (text[0] | 0x20) <= 'z') &&
        text[1] == ':' && IsSeparator(text[2])) {
        plain += text[0];
        plain += ':';
        start = 3; // "X:\" and at least one folder
        folders = 1;
    } else if (path.Length() >= 3 && IsSeparator(text[0]) && IsSeparator(text[1]) &&
               !IsSeparator(text[2])) {
        plain += "\\\\";
        start = 2; // "\\server\share" and at least one folder
        folders = 3;
    } else {
        return TextString();
    }
    // Empty components are what doubled separators and a trailing one leave.
    std::vector<std::string> components;
    for (std::string& component : SplitComponents(text, start)) {
        if (component.empty()) {
            continue;
        }
        if (!IsSoundComponent(component)) {
            return TextString();
        }
        components.push_back(std::move(component));
    }
    if (components.size() < folders) {
        return TextString();
    }
    // Windows reads the trailing dots and spaces of a folder inside the path
    // away ("D:\Lumeno.\db" is "D:\Lumeno\db" to it), while the walk's
    // verbatim path keeps them and names another folder, which only
    // verbatim paths can make: neither is what the value asks for. The last
    // component's are read away as Windows reads them (RemoveDirectoryTree).
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        char last = components[i].back();
        if (last == '.' || last == ' ') {
            return TextString();
        }
    }
    // "X:" takes a separator before its first folder; a share's "\\" ends in
    // one already.
    bool separate = folders == 1;
    for (const std::string& component : components) {
        if (separate) {
            plain += '\\';
        }
        plain += component.c_str();
        separate = true;
    }
    return plain;
}
