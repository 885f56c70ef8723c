#pragma once

#include <memory>

#include <QLockFile>
#include <QObject>
#include <QString>

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
/// The lock is a lock file, held for as long as the program runs; one left by a copy that crashed is taken over.
class FolderLock : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderLock)

public:
    /// The file name of the lock in a data folder.
    static const QString kDataFolderFileName;

    /// The lock on a data folder: a lock file in the folder itself.
    static std::unique_ptr<FolderLock> onDataFolder(const QString& dataFolder);
    /// The lock on a Favorites folder: a lock file named after the folder's identity (platform::folderIdentity: the
    /// same folder however its path is written), in the user's lock folder (platform::userLockFolder), where every
    /// copy the user runs looks whatever its data folder. Nothing is put in the Favorites folder.
    static std::unique_ptr<FolderLock> onFavorites(const QString& favPath);

    ~FolderLock() override;

    /// Takes the lock. False only when another running copy of the program holds it; when the lock file cannot be
    /// made at all (a folder that cannot be written), true: the lock cannot protect anything there, and what the
    /// program then cannot write it reports when it tries.
    bool tryLock();
    /// True while this object holds the lock.
    bool isLocked() const;
    /// Where the lock file is.
    QString lockFilePath() const { return m_lockFile; }

    /// Asks the copy that holds this lock to show its window; false when none answers in time.
    bool askHolderToShow() const;

signals:
    /// A second start on the same folder asks this copy to show its window.
    void showRequested();

private:
    FolderLock(const QString& lockFile, const QString& serverName);

    QString m_lockFile;
    QString m_serverName;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace jobs
