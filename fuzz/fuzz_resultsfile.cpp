// libFuzzer target: the results-file reader on arbitrary file contents.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "support/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString problem = testsupport::checkResultsInput(input);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "results file check failed: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
