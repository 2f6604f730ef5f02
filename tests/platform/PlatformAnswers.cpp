// Runs the platform's answer table and prints one line a row:
//   PlatformAnswers --on windows|wine8|wine10|emulated FOLDER
// FOLDER is the Windows path of the fixture tree (D:\platform), made by
// make-fixtures.sh, and HKCU\Software\Gantrel conformance holds the one key
// the suite seeded (a name outside the code page); the variable
// GANTREL_CONFORMANCE is "conformance". Exit status 0 only when every row
// answers as the named platform should.
#include "AnswerTable.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

bool ParsePlatform(const char* name, answers::Platform& platform) {
    const struct {
        const char* name;
        answers::Platform platform;
    } names[] = {{"windows", answers::Platform::windows},
                 {"wine8", answers::Platform::wine8},
                 {"wine10", answers::Platform::wine10},
                 {"emulated", answers::Platform::emulated}};
    for (const auto& known : names) {
        if (std::strcmp(name, known.name) == 0) {
            platform = known.platform;
            return true;
        }
    }
    return false;
}

const char* ExpectedOn(const answers::Expected& expected, answers::Platform platform) {
    const char* answer = nullptr;
    switch (platform) {
    case answers::Platform::wine8:
        answer = expected.wine8;
        break;
    case answers::Platform::wine10:
        answer = expected.wine10;
        break;
    case answers::Platform::emulated:
        answer = expected.emulated;
        break;
    case answers::Platform::windows:
        break;
    }
    return answer != nullptr ? answer : expected.windows;
}

} // namespace

int main(int argc, char** argv) {
    answers::Platform platform = answers::Platform::windows;
    if (argc != 4 || std::strcmp(argv[1], "--on") != 0 || !ParsePlatform(argv[2], platform)) {
        std::fprintf(stderr, "usage: PlatformAnswers --on windows|wine8|wine10|emulated FOLDER\n");
        return 2;
    }
    answers::Fixture fixture;
    fixture.ansiFolder = argv[3];
    fixture.folder = answers::W(u"\\\\?\\") + answers::Widened(argv[3]);

    std::vector<answers::Row> rows;
    answers::AddFileRows(rows, fixture);
    answers::AddPathRows(rows, fixture);
    answers::AddRegistryRows(rows);
    answers::AddSystemRows(rows);

    int failed = 0;
    int otherwise = 0;
    for (const answers::Row& row : rows) {
        std::string actual;
        try {
            actual = row.ask();
        } catch (const std::exception& error) {
            actual = std::string("exception: ") + error.what();
        }
        std::string expected = ExpectedOn(row.expected, platform);
        bool ok = actual == expected;
        failed += ok ? 0 : 1;
        std::string windows;
        if (expected != row.expected.windows) {
            ++otherwise;
            windows = std::string(" (Windows: \"") + row.expected.windows + "\")";
        }
        std::printf("%s %s: expected \"%s\", actual \"%s\"%s\n", ok ? "ok  " : "FAIL",
                    row.question.c_str(), expected.c_str(), actual.c_str(), windows.c_str());
    }
    std::printf("%d rows, %d failed, %d answered otherwise than on Windows\n",
                static_cast<int>(rows.size()), failed, otherwise);
    return failed == 0 ? 0 : 1;
}
