#include "support/FailingRenames.h"

#include <mutex>
#include <utility>

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#endif

namespace testsupport
{

namespace
{

struct Renames
{
    std::mutex mutex;
    FailingRenames::Decide decide;
};

Renames& renames()
{
    static Renames state;
    return state;
}

#ifdef Q_OS_LINUX
using RenameAt2 = int (*)(int, const char*, int, const char*, unsigned int);
using Rename = int (*)(const char*, const char*);

RenameAt2 libraryRenameAt2()
{
    static const auto real = reinterpret_cast<RenameAt2>(::dlsym(RTLD_NEXT, "renameat2"));
    return real;
}

Rename libraryRename()
{
    static const auto real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
    return real;
}

// The error number the rename is to fail with, 0 when it is to be made.
int refusal(const char* from, const char* to)
{
    FailingRenames::Decide decide;
    {
        const std::lock_guard<std::mutex> lock(renames().mutex);
        decide = renames().decide;
    }
    return decide ? decide(QByteArray(from), QByteArray(to)) : 0;
}
#endif

} // namespace

FailingRenames::FailingRenames(Decide decide)
{
    const std::lock_guard<std::mutex> lock(renames().mutex);
    renames().decide = std::move(decide);
}

FailingRenames::~FailingRenames()
{
    const std::lock_guard<std::mutex> lock(renames().mutex);
    renames().decide = nullptr;
}

bool FailingRenames::isAvailable()
{
#ifdef Q_OS_LINUX
    return libraryRenameAt2() && libraryRename();
#else
    return false;
#endif
}

bool renameForReal(const QByteArray& from, const QByteArray& to)
{
#ifdef Q_OS_LINUX
    return libraryRenameAt2()(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), 0) == 0;
#else
    Q_UNUSED(from);
    Q_UNUSED(to);
    return false;
#endif
}

} // namespace testsupport

#ifdef Q_OS_LINUX
// These stand in front of the C library's renames for the whole test binary: the program's own (renameat2) and Qt's,
// which replaces a file saved whole with rename.
extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags) noexcept
{
    if (const int error = testsupport::refusal(from, to)) {
        errno = error;
        return -1;
    }
    return testsupport::libraryRenameAt2()(fromFolder, from, toFolder, to, flags);
}

extern "C" int rename(const char* from, const char* to) noexcept
{
    if (const int error = testsupport::refusal(from, to)) {
        errno = error;
        return -1;
    }
    return testsupport::libraryRename()(from, to);
}
#endif
