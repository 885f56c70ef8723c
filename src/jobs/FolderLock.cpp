#include "jobs/FolderLock.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

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

FolderLock::FolderLock(const QString& path, bool onFile, const QString& serverName)
    : m_path(path), m_onFile(onFile), m_serverName(serverName)
{
}

FolderLock::~FolderLock() = default;

std::unique_ptr<FolderLock> FolderLock::onDataFolder(const QString& dataFolder)
{
    return std::unique_ptr<FolderLock>(new FolderLock(platform::joinPath(dataFolder, kDataFolderFileName), true,
                                                      QStringLiteral("tessaly-") + folderKey(dataFolder)));
}

std::unique_ptr<FolderLock> FolderLock::onFavorites(const QString& favPath)
{
    return std::unique_ptr<FolderLock>(
        new FolderLock(favPath, false, QStringLiteral("tessaly-favorites-") + folderKey(favPath)));
}

bool FolderLock::tryLock()
{
    const platform::LockState state = m_onFile ? m_lock.lockFile(m_path) : m_lock.lockFolder(m_path);
    if (state == platform::LockState::Held)
        return false;
    if (state != platform::LockState::Taken)
        return true;
    // Where every copy finds it whatever its temporary folder says (Linux's abstract names; elsewhere the option is
    // ignored and the name is the system's own, a named pipe on Windows). Whoever listened under it before is gone:
    // the lock says so, and an abstract name goes with its process.
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
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
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    socket.write(kShowRequest);
    const bool sent = socket.waitForBytesWritten(kAnswerMs);
    socket.disconnectFromServer();
    return sent;
}

} // namespace jobs
