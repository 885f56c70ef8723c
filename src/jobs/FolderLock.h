#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "platform/ProcessLock.h"

class QLocalServer;

namespace jobs
{

/// Keeps a second copy of the program off a folder for as long as it lives, and lets a second start on it bring this
/// copy's window up. The program holds two:
/// - on its data folder (the results file "data.txt" and the backup folder "data"): two copies that save in turn
///   overwrite each other's histories, and a backup made beside a restore destroys both;
/// - on the Favorites folder, whatever each copy's data folder: two copies that restore it at once (an unzipped copy
///   beside an installed one read the same registry value) mix it into something that is neither the old folder nor
///   either backup, and one copy's start-up would take the other's restore for one that was stopped.
///
/// Both are platform::ProcessLock: the system lets go of them when the program ends, however it ends, so a copy that
/// crashed leaves nothing that keeps the next one out; and every copy finds them, whatever its session and environment.
class FolderLock : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderLock)

public:
    /// The file name of the lock in a data folder.
    static const QString kDataFolderFileName;

    /// The lock on a data folder: on the file kDataFolderFileName in the folder itself.
    static std::unique_ptr<FolderLock> onDataFolder(const QString& dataFolder);
    /// The lock on a Favorites folder: on the folder itself, which gets nothing added (see platform::ProcessLock).
    static std::unique_ptr<FolderLock> onFavorites(const QString& favPath);

    ~FolderLock() override;

    /// Takes the lock. False only when another running copy of the program holds it; when no lock can be made there
    /// at all (a folder that cannot be opened or written), true: the lock cannot protect anything there, and what the
    /// program then cannot write it reports when it tries.
    bool tryLock();
    /// True while this object holds the lock.
    bool isLocked() const;

    /// Asks the copy that holds this lock to show its window; false when none answers in time.
    bool askHolderToShow() const;

signals:
    /// A second start on the same folder asks this copy to show its window.
    void showRequested();

private:
    FolderLock(const QString& path, bool onFile, const QString& serverName);

    QString m_path; // the lock file, or the folder locked itself
    bool m_onFile;  // the lock is on the file m_path, not on the folder m_path
    QString m_serverName;
    platform::ProcessLock m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace jobs
