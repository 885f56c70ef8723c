#include "platform/Paths.h"

#include <QDir>
#include <QStandardPaths>

#include <windows.h>

namespace platform
{

namespace
{

// The search pattern for every entry of folder; a path as long as MAX_PATH or longer in its extended-length form.
QString findPattern(const QString& folder)
{
    QString pattern = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    pattern += pattern.endsWith(u'\\') ? QStringLiteral("*") : QStringLiteral("\\*");
    if (pattern.size() >= MAX_PATH && !pattern.startsWith(QLatin1String("\\\\?\\"))) {
        pattern = pattern.startsWith(QLatin1String("\\\\")) ? QStringLiteral("\\\\?\\UNC\\") + pattern.mid(2)
                                                            : QStringLiteral("\\\\?\\") + pattern;
    }
    return pattern;
}

// The entries of folder that keep(), in the order the file system lists them. Qt's listing cannot serve: it sorts
// nothing but takes a shortcut file (.lnk) for a link to its target, leaving out those whose target is missing
// or a folder unless system files are listed too, whose attributes it does not look at.
template <typename Keep> QStringList listNames(const QString& folder, Keep keep)
{
    QStringList names;
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW(reinterpret_cast<LPCWSTR>(findPattern(folder).utf16()), FindExInfoBasic,
                                         &entry, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const QString name = QString::fromWCharArray(entry.cFileName);
        if (name != QLatin1String(".") && name != QLatin1String("..") && keep(entry))
            names.append(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

} // namespace

bool isHiddenOrSystem(const QFileInfo& info)
{
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(info.absoluteFilePath().utf16()));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool isHiddenOrSystem(const NativePath& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

QStringList plainFileNames(const QString& folder)
{
    return listNames(folder, [](const WIN32_FIND_DATAW& entry) {
        return (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) ==
               0;
    });
}

QStringList subfolderNames(const QString& folder)
{
    return listNames(folder, [](const WIN32_FIND_DATAW& entry) {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return false;
        // A symbolic link or a junction names another folder (a name surrogate); other reparse points, such as a
        // folder of cloud files, are folders of their own. The tag of a reparse point is in dwReserved0.
        const bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                            IsReparseTagNameSurrogate(entry.dwReserved0);
        return !isLink;
    });
}

QString userLockFolder()
{
    // %TEMP%: under the user's own profile (Qt's runtime location on Windows is the profile itself).
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}

} // namespace platform
