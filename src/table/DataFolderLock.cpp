#include "table/DataFolderLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include "platform/Paths.h"

namespace table
{

namespace
{

constexpr int kAnswerMs = 2000;
const QByteArray kShowRequest = "show\n";

} // namespace

const QString DataFolderLock::kFileName = QStringLiteral("tessaly.lock");

DataFolderLock::DataFolderLock(const QString& dataFolder, QObject* parent)
    : QObject(parent), m_dataFolder(dataFolder), m_lock(platform::joinPath(dataFolder, kFileName))
{
    // A lock is held for as long as the program runs: it is never stale by age, only when its owner is gone.
    m_lock.setStaleLockTime(0);
}

DataFolderLock::~DataFolderLock() = default;

QString DataFolderLock::serverName(const QString& dataFolder)
{
    // One name per data folder, however it is written.
    const QString canonical = QFileInfo(dataFolder).canonicalFilePath();
    const QByteArray key = (canonical.isEmpty() ? QDir::cleanPath(dataFolder) : canonical).toUtf8();
    return QStringLiteral("tessaly-") +
           QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
}

bool DataFolderLock::tryLock()
{
    if (!m_lock.tryLock(0) && m_lock.error() == QLockFile::LockFailedError)
        return false;
    if (!m_lock.isLocked())
        return true;
    // Whoever listened under this name before is gone: the lock says so.
    const QString name = serverName(m_dataFolder);
    QLocalServer::removeServer(name);
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
    m_server->listen(name);
    return true;
}

bool DataFolderLock::isLocked() const
{
    return m_lock.isLocked();
}

bool DataFolderLock::askHolderToShow(const QString& dataFolder)
{
    QLocalSocket socket;
    socket.connectToServer(serverName(dataFolder));
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    socket.write(kShowRequest);
    const bool sent = socket.waitForBytesWritten(kAnswerMs);
    socket.disconnectFromServer();
    return sent;
}

} // namespace table
