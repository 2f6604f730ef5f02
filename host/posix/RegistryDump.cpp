// gantrel-host dump on Linux. Not built yet.
#include "HostPlatform.h"

#include <cstdio>

int DumpRegistry(const HostOptions&, const std::string&) {
    std::fprintf(stderr, "gantrel-host: dump is not built yet\n");
    return 1;
}
