#include "platform/Paths.h"

#include <QDir>
#include <QStandardPaths>

namespace platform
{

namespace
{

// By name, ignoring case, as Windows file systems list their entries: the order of a directory here depends on
// its history, and a listing that changes from run to run would move the rows about.
constexpr QDir::SortFlags kListingOrder = QDir::Name | QDir::IgnoreCase;

} // namespace

bool isHiddenOrSystem(const QFileInfo& info)
{
    return info.fileName().startsWith(QLatin1Char('.'));
}

bool isHiddenOrSystem(const NativePath& path)
{
    const std::string name = path.filename().native();
    return !name.empty() && name.front() == '.';
}

QStringList plainFileNames(const QString& folder)
{
    // Without QDir::System, named pipes, sockets, devices and dangling links are not listed; without QDir::Hidden,
    // names that begin with "." are not either.
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, kListingOrder);
}

QStringList subfolderNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                                  kListingOrder);
}

QString userLockFolder()
{
    // Made by Qt, the user's own, when the session has none.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace platform
