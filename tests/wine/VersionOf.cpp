// Prints the file and product versions of a module's version record, as
// the platform's own GetFileVersionInfoA reads them:
//   VersionOf.exe PATH  ->  "file 1.0.0.1 product 1.0.0.1"
#include <windows.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: VersionOf PATH\n");
        return 2;
    }
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(argv[1], &ignored);
    if (size == 0) {
        std::printf("no version record (error %lu)\n", ::GetLastError());
        return 1;
    }
    std::vector<char> record(size);
    if (!::GetFileVersionInfoA(argv[1], 0, size, record.data())) {
        std::printf("unreadable version record (error %lu)\n", ::GetLastError());
        return 1;
    }
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&info), &length) ||
        info == nullptr || info->dwSignature != 0xFEEF04BD) {
        std::printf("no fixed file information\n");
        return 1;
    }
    auto high = [](DWORD word) { return static_cast<unsigned>(HIWORD(word)); };
    auto low = [](DWORD word) { return static_cast<unsigned>(LOWORD(word)); };
    std::printf("file %u.%u.%u.%u product %u.%u.%u.%u\n", high(info->dwFileVersionMS),
                low(info->dwFileVersionMS), high(info->dwFileVersionLS), low(info->dwFileVersionLS),
                high(info->dwProductVersionMS), low(info->dwProductVersionMS),
                high(info->dwProductVersionLS), low(info->dwProductVersionLS));
    return 0;
}
