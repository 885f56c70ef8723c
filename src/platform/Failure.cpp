#include "platform/Failure.h"

#include <QDir>

namespace platform
{

bool fail(Failure* failure, FailureKind kind, const QString& path, const QString& otherPath, const SystemError& system)
{
    if (failure) {
        failure->kind = kind;
        failure->path = QDir::toNativeSeparators(path);
        failure->otherPath = QDir::toNativeSeparators(otherPath);
        failure->system = system;
    }
    return false;
}

bool fail(Failure* failure, const Failure& problem)
{
    if (failure)
        *failure = problem;
    return false;
}

} // namespace platform
