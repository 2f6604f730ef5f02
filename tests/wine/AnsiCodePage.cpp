// Tells which ANSI code page a Wine process runs with, as the module sees it
// when it loads: the number GetACP gives, and whether the byte 0x95 begins a
// double-byte character in it.
//   AnsiCodePage.exe   prints for instance "932 lead 0x95: yes"
#include <windows.h>

#include <cstdio>

int main() {
    std::printf("%u lead 0x95: %s\n", GetACP(), IsDBCSLeadByte(0x95) ? "yes" : "no");
    return 0;
}
