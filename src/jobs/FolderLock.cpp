#include "jobs/FolderLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace jobs
{

namespace
{

constexpr int kAnswerMs = 2000;
const QByteArray kShowRequest = "show\n";

// A short name for a folder, the same however its path is written.
QString folderKey(const QString& folder)
{
    const QByteArray identity = platform::folderIdentity(folder).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(24));
}

} // namespace

const QString FolderLock::kDataFolderFileName = QStringLiteral("tessaly.lock");

FolderLock::FolderLock(const QString& lockFile, const QString& serverName)
    : m_lockFile(lockFile), m_serverName(serverName), m_lock(lockFile)
{
    // A lock is held for as long as the program runs: it is never stale by age, only when its owner is gone.
    m_lock.setStaleLockTime(0);
}

FolderLock::~FolderLock() = default;

std::unique_ptr<FolderLock> FolderLock::onDataFolder(const QString& dataFolder)
{
    return std::unique_ptr<FolderLock>(new FolderLock(platform::joinPath(dataFolder, kDataFolderFileName),
                                                      QStringLiteral("tessaly-") + folderKey(dataFolder)));
}

std::unique_ptr<FolderLock> FolderLock::onFavorites(const QString& favPath)
{
    const QString name = QStringLiteral("tessaly-favorites-") + folderKey(favPath);
    const QString folder = platform::userLockFolder();
    const bool made = !folder.isEmpty() && QDir().mkpath(folder);
    return std::unique_ptr<FolderLock>(new FolderLock(
        made ? QDir::toNativeSeparators(folder + u'/' + name + QStringLiteral(".lock")) : QString(), name));
}

bool FolderLock::tryLock()
{
    if (m_lockFile.isEmpty())
        return true;
    if (!platform::takeLockFile(m_lock, m_lockFile) && m_lock.error() == QLockFile::LockFailedError)
        return false;
    if (!m_lock.isLocked())
        return true;
    // Whoever listened under this name before is gone: the lock says so.
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith(kShowRequest.trimmed()))
                    emit showRequested();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    m_server->listen(m_serverName);
    return true;
}

bool FolderLock::isLocked() const
{
    return m_lock.isLocked();
}

bool FolderLock::askHolderToShow() const
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    socket.write(kShowRequest);
    const bool sent = socket.waitForBytesWritten(kAnswerMs);
    socket.disconnectFromServer();
    return sent;
}

} // namespace jobs
