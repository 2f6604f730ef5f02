// The platform's answers to the calls the module makes, as one table: each
// row is a question (a platform call, or a short sequence of them, on the
// fixture the suites make before the run), the answer Windows gives, and,
// where a platform answers otherwise, that platform's answer. The same rows
// are compiled for the emulated platform and for Win32, and run there and
// under each Wine.
#pragma once

#include "Platform.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace answers {

typedef std::basic_string<WCHAR> Wide;

enum class Platform { windows, wine8, wine10, emulated };

// What Windows answers, and where another platform answers otherwise, what
// it does (null: as Windows).
struct Expected {
    const char* windows;
    const char* wine8 = nullptr;
    const char* wine10 = nullptr;
    const char* emulated = nullptr;
};

struct Row {
    std::string question;
    Expected expected;
    // Asks, and tells what the platform answered in the words of the
    // expected answers.
    std::function<std::string()> ask;
};

// What the rows reach: the tree make-fixtures.sh made, as the Windows path
// D:\platform (`folder` in its verbatim form, as the folder walk hands
// paths to the wide calls), and the registry sandbox.
struct Fixture {
    std::string ansiFolder;
    Wide folder;
};

extern const char sandboxPath[];

void AddFileRows(std::vector<Row>& rows, const Fixture& fixture);
void AddPathRows(std::vector<Row>& rows, const Fixture& fixture);
void AddRegistryRows(std::vector<Row>& rows);
void AddSystemRows(std::vector<Row>& rows);

// Text for the wide calls: UTF-16 units as they are, whatever WCHAR is.
Wide W(const char16_t* text);
// Bytes for the wide calls, each as the unit of the same number: ASCII text
// as it is.
Wide Widened(const std::string& bytes);
Wide Below(const Fixture& fixture, const char16_t* relative);
// Wide text shown in ASCII: other units as \uXXXX.
std::string Shown(const Wide& text);
// Bytes shown in ASCII: other bytes as \xHH.
std::string Shown(const std::string& bytes);
std::string Hex(unsigned long value);
std::string Number(long value);
std::string Truth(BOOL value);
// The parts in the order given: the calls that make them run in that order,
// as they do in a braced list and not around a +.
std::string Join(std::initializer_list<std::string> parts, const char* separator);
// The code page the rows about ANSI text need; "" when GetACP answers it,
// else a note that fails the row.
std::string NeedsCodePage1252();

} // namespace answers
