// libFuzzer target: the profile-string reader and writer on arbitrary shortcut-file bytes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "support/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString problem = testsupport::checkProfileStringInput(input);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "profile string check failed: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
