#pragma once

#include <memory>

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

namespace table
{

/// Keeps a second copy of the program off a data folder (the results file "data.txt" and the backup folder "data")
/// for as long as it lives: two copies that save in turn overwrite each other's histories, and a backup made beside
/// a restore destroys both the Favorites folder and the backup. Two copies with different data folders are fine.
///
/// The lock is a lock file in the data folder; one left by a copy that crashed is taken over. The copy that holds
/// it also listens for a second start on the same folder asking it to show its window.
class DataFolderLock : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DataFolderLock)

public:
    /// The file name of the lock in the data folder.
    static const QString kFileName;

    explicit DataFolderLock(const QString& dataFolder, QObject* parent = nullptr);
    ~DataFolderLock() override;

    /// Takes the lock. False only when another running copy of the program holds it; when the lock file cannot be
    /// made at all (a folder that cannot be written), true: nothing can be saved there anyway, and saying so is
    /// left to the command that tries.
    bool tryLock();
    /// True while this object holds the lock.
    bool isLocked() const;

    /// Asks the copy that holds the lock on dataFolder to show its window; false when none answers in time.
    static bool askHolderToShow(const QString& dataFolder);

signals:
    /// A second start on the same data folder asks this copy to show its window.
    void showRequested();

private:
    static QString serverName(const QString& dataFolder);

    QString m_dataFolder;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace table
