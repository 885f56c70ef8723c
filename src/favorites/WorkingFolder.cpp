#include "favorites/WorkingFolder.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include <QFile>
#include <QFileInfo>

#include "favorites/FileOps.h"
#include "platform/Paths.h"
#include "platform/ProcessLock.h"
#include "platform/SaveFile.h"

namespace favorites
{

using platform::fail;
using platform::Failure;
using platform::FileFailure;

namespace
{

const QString kMarkerName = QStringLiteral(".tessaly-working-folder");
const QString kLockName = kMarkerName + QStringLiteral(".lock");
const QByteArray kSignature = "Tessaly working folder: the program removes it when its work is done.\r\nphase=";
const QByteArray kNameKey = "name=";
constexpr qint64 kMarkerMaxSize = 4096;
const QString kRestoreNewName = QStringLiteral(".tessaly-restore-new");
const QString kRestoreOldName = QStringLiteral(".tessaly-restore-old");

// The phases as the marker spells them. These texts stay as they are: a program of another version may have to finish
// or undo the work it finds.
const std::pair<Phase, const char*> kPhaseTexts[] = {
    {Phase::Copying, "copying"},
    {Phase::Complete, "complete"},
    {Phase::SetAside, "set aside"},
    {Phase::Aside, "aside"},
    {Phase::In, "in"},
    {Phase::Back, "back"},
    {Phase::Done, "done"},
    {Phase::Delete, "delete"},
};

QByteArray textOf(Phase phase)
{
    for (const auto& [known, text] : kPhaseTexts) {
        if (known == phase)
            return QByteArray(text);
    }
    return QByteArray();
}

Phase phaseOf(const QByteArray& text)
{
    for (const auto& [known, spelled] : kPhaseTexts) {
        if (text == spelled)
            return known;
    }
    return Phase::Unknown;
}

// The working folders this process holds, by path, with their locks: the work that made one may end in another
// call (a restore that waits for the user's answer).
struct HeldFolders
{
    std::mutex mutex;
    std::map<QString, std::unique_ptr<platform::ProcessLock>> locks;
};

HeldFolders& heldFolders()
{
    static HeldFolders held;
    return held;
}

QString heldKey(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

// The first line of bytes from `from` on, without its end.
QByteArray lineAt(const QByteArray& bytes, qsizetype from)
{
    qsizetype end = from;
    while (end < bytes.size() && bytes.at(end) != '\r' && bytes.at(end) != '\n')
        ++end;
    return bytes.mid(from, end - from);
}

} // namespace

WorkingFolder::WorkingFolder(const QString& path) : m_path(path) {}

WorkingFolder WorkingFolder::freshBackup(const QString& backupFolder)
{
    return WorkingFolder(backupFolder + QStringLiteral(".new"));
}

WorkingFolder WorkingFolder::oldBackup(const QString& backupFolder)
{
    return WorkingFolder(backupFolder + QStringLiteral(".old"));
}

WorkingFolder WorkingFolder::restoreNew(const QString& favPath)
{
    return WorkingFolder(platform::joinPath(favPath, kRestoreNewName));
}

WorkingFolder WorkingFolder::restoreOld(const QString& favPath)
{
    return WorkingFolder(platform::joinPath(favPath, kRestoreOldName));
}

bool WorkingFolder::isRestoreName(const QString& name)
{
    return name == kRestoreNewName || name == kRestoreOldName;
}

QString WorkingFolder::markerPath() const
{
    return platform::joinPath(m_path, kMarkerName);
}

QString WorkingFolder::lockPath() const
{
    return platform::joinPath(m_path, kLockName);
}

bool WorkingFolder::isPresent() const
{
    return platform::entryType(nativePath()) != platform::EntryType::Missing;
}

bool WorkingFolder::isOurs() const
{
    return phase() != Phase::None;
}

bool WorkingFolder::isOursOrEmpty() const
{
    if (isOurs())
        return true;
    std::vector<platform::FolderEntry> entries;
    if (platform::entryType(nativePath()) != platform::EntryType::Folder ||
        !platform::listFolder(nativePath(), &entries))
        return false;
    for (const platform::FolderEntry& entry : entries) {
        if (!isMarkerName(entry.name))
            return false;
    }
    return true;
}

bool WorkingFolder::readMarker(Phase* phase, QString* name) const
{
    if (platform::entryType(nativePath()) != platform::EntryType::Folder)
        return false;
    const QString marker = markerPath();
    if (platform::entryType(platform::toNativePath(marker)) != platform::EntryType::File)
        return false;
    QFile file(marker);
    if (file.size() > kMarkerMaxSize || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith(kSignature))
        return false;
    const QByteArray text = lineAt(bytes, kSignature.size()).trimmed();
    if (text.isEmpty())
        return false;
    *phase = phaseOf(text);
    const qsizetype key = bytes.indexOf("\n" + kNameKey, kSignature.size());
    *name = key < 0 ? QString() : QString::fromUtf8(lineAt(bytes, key + 1 + kNameKey.size()));
    return true;
}

Phase WorkingFolder::phase() const
{
    Phase phase = Phase::None;
    QString name;
    return readMarker(&phase, &name) ? phase : Phase::None;
}

QString WorkingFolder::recordedName() const
{
    Phase phase = Phase::None;
    QString name;
    return readMarker(&phase, &name) ? name : QString();
}

bool WorkingFolder::isInUse() const
{
    {
        HeldFolders& held = heldFolders();
        const std::lock_guard<std::mutex> guard(held.mutex);
        if (held.locks.count(heldKey(m_path)) != 0)
            return true;
    }
    // The lock of a process that is gone went with it; a lock file without a lock is left by such a process.
    platform::ProcessLock probe;
    return probe.lockFile(lockPath(), false) == platform::LockState::Held;
}

bool WorkingFolder::create(Phase phase, Failure* failure, const QString& name)
{
    platform::SystemError why;
    if (!platform::createFolder(nativePath(), &why))
        return fail(failure, FileFailure::FolderNotCreated, m_path, QString(), why);
    platform::setHidden(nativePath());
    // Held before it is marked: a folder that is marked is never without its owner's lock while the owner lives.
    hold();
    if (mark(phase, name, failure))
        return true;
    release();
    removeTree(nativePath());
    return false;
}

bool WorkingFolder::setPhase(Phase phase, Failure* failure)
{
    return mark(phase, recordedName(), failure);
}

bool WorkingFolder::mark(Phase phase, const QString& name, Failure* failure)
{
    Q_ASSERT(!textOf(phase).isEmpty());
    QByteArray bytes = kSignature + textOf(phase) + "\r\n";
    if (!name.isEmpty())
        bytes += kNameKey + name.toUtf8() + "\r\n";
    return platform::saveFileContents(markerPath(), bytes, failure);
}

void WorkingFolder::unmark()
{
    // The marker, and a copy of it that was being written when the program was stopped; the lock is let go of.
    release();
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(nativePath(), &entries);
    for (const platform::FolderEntry& entry : entries) {
        if (isMarkerName(entry.name))
            platform::removeEntry(nativePath() / entry.name);
    }
}

void WorkingFolder::hold()
{
    auto lock = std::make_unique<platform::ProcessLock>();
    if (lock->lockFile(lockPath()) != platform::LockState::Taken)
        return;
    HeldFolders& held = heldFolders();
    const std::lock_guard<std::mutex> guard(held.mutex);
    held.locks[heldKey(m_path)] = std::move(lock);
}

void WorkingFolder::release()
{
    std::unique_ptr<platform::ProcessLock> lock;
    {
        HeldFolders& held = heldFolders();
        const std::lock_guard<std::mutex> guard(held.mutex);
        const auto found = held.locks.find(heldKey(m_path));
        if (found == held.locks.end())
            return;
        lock = std::move(found->second);
        held.locks.erase(found);
    }
    // Its file goes with it: a folder let go of holds nothing of the lock's.
    lock->unlock();
    platform::removeEntry(platform::toNativePath(lockPath()));
}

bool WorkingFolder::remove(Failure* failure)
{
    if (!isOursOrEmpty())
        return true;
    release();
    const platform::NativePath folder = nativePath();
    platform::openUp(folder);
    std::vector<platform::FolderEntry> entries;
    platform::SystemError why;
    if (!platform::listFolder(folder, &entries, &why))
        return fail(failure, FileFailure::FolderUnreadable, m_path, QString(), why);
    for (const platform::FolderEntry& entry : entries) {
        if (!isMarkerName(entry.name) && !removeTree(folder / entry.name, failure))
            return false;
    }
    return removeTree(folder, failure);
}

bool WorkingFolder::isMarkerName(const platform::NativePath& name)
{
    return platform::fromNativePath(name).startsWith(kMarkerName);
}

bool isRestoreWorkingFolder(const QString& path)
{
    return WorkingFolder::isRestoreName(QFileInfo(path).fileName()) && WorkingFolder(path).isOursOrEmpty();
}

} // namespace favorites
