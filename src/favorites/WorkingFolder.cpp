#include "favorites/WorkingFolder.h"

#include <QFile>
#include <QFileInfo>

#include "favorites/FileOps.h"
#include "platform/Paths.h"
#include "platform/SaveFile.h"

namespace favorites
{

using platform::fail;
using platform::Failure;
using platform::FileFailure;

namespace
{

const QString kMarkerName = QStringLiteral(".tessaly-working-folder");
const QByteArray kSignature = "Tessaly working folder: the program removes it when its work is done.\r\nphase=";
constexpr qint64 kMarkerMaxSize = 4096;

} // namespace

WorkingFolder::WorkingFolder(const QString& path) : m_path(path) {}

QString WorkingFolder::markerPath() const
{
    return platform::joinPath(m_path, kMarkerName);
}

bool WorkingFolder::isPresent() const
{
    return platform::entryType(nativePath()) != platform::EntryType::Missing;
}

bool WorkingFolder::isOurs() const
{
    return !phase().isEmpty();
}

bool WorkingFolder::isOursOrEmpty() const
{
    if (isOurs())
        return true;
    std::vector<platform::NativePath> names;
    return platform::entryType(nativePath()) == platform::EntryType::Folder &&
           platform::listFolder(nativePath(), &names) && names.empty();
}

QString WorkingFolder::phase() const
{
    if (platform::entryType(nativePath()) != platform::EntryType::Folder)
        return QString();
    const QString marker = markerPath();
    if (platform::entryType(platform::toNativePath(marker)) != platform::EntryType::File)
        return QString();
    QFile file(marker);
    if (file.size() > kMarkerMaxSize || !file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith(kSignature))
        return QString();
    return QString::fromLatin1(bytes.mid(kSignature.size())).trimmed();
}

bool WorkingFolder::create(const QString& phase, Failure* failure)
{
    platform::SystemError why;
    if (!platform::createFolder(nativePath(), &why))
        return fail(failure, FileFailure::FolderNotCreated, m_path, QString(), why);
    platform::setHidden(nativePath());
    if (setPhase(phase, failure))
        return true;
    removeTree(nativePath());
    return false;
}

bool WorkingFolder::setPhase(const QString& phase, Failure* failure)
{
    return platform::saveFileContents(markerPath(), kSignature + phase.toLatin1() + "\r\n", failure);
}

void WorkingFolder::unmark()
{
    // The marker, and a copy of it that was being written when the program was stopped.
    std::vector<platform::NativePath> names;
    platform::listFolder(nativePath(), &names);
    for (const platform::NativePath& name : names) {
        if (isMarkerName(name))
            platform::removeEntry(nativePath() / name);
    }
}

bool WorkingFolder::remove(Failure* failure)
{
    if (!isOursOrEmpty())
        return true;
    const platform::NativePath folder = nativePath();
    platform::openUp(folder);
    std::vector<platform::NativePath> names;
    platform::SystemError why;
    if (!platform::listFolder(folder, &names, &why))
        return fail(failure, FileFailure::FolderUnreadable, m_path, QString(), why);
    for (const platform::NativePath& name : names) {
        if (!isMarkerName(name) && !removeTree(folder / name, failure))
            return false;
    }
    return removeTree(folder, failure);
}

bool WorkingFolder::isMarkerName(const platform::NativePath& name)
{
    return platform::fromNativePath(name).startsWith(kMarkerName);
}

} // namespace favorites
