// Single instance over QLockFile and QLocalServer.
#include "shell/SingleInstance.hpp"

#include "shell/Application.hpp"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace carvento::shell {

namespace {

// What a second start sends, one line.
constexpr QByteArrayView kActivateRequest = "activate\n";
constexpr qint64 kLongestRequest = 64;

// A second start that catches the first between taking the lock and listening tries again;
// after this (about three seconds) it gives up: the instance runs but cannot be reached.
constexpr int kConnectAttempts = 10;
constexpr int kConnectTimeoutMs = 200;
constexpr int kConnectRetryPauseMs = 100;
constexpr int kWriteTimeoutMs = 1000;

// QLockFile writes its owner's process id, name and host into the file right after creating
// it. Content that does not read as that, still so after this pause, was not left by a
// starting instance but by a crash mid-write, a full disk or another program.
constexpr int kUnreadableLockPauseMs = 200;

} // namespace

SingleInstance::SingleInstance(const QString& directory, QObject* parent)
    : QObject(parent), m_directory(directory.isEmpty() ? defaultDirectory() : directory),
      m_defaultDirectory(directory.isEmpty())
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lock)
        m_lock->unlock();
}

QString SingleInstance::defaultDirectory()
{
    // The runtime folder is private to the user, so two users on one machine never meet; the
    // temporary folder is shared on Linux but private on Windows.
#ifndef Q_OS_WIN
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
#endif
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}

QString SingleInstance::lockFilePath() const
{
    return QDir(m_directory).filePath(QStringLiteral("%1.lock").arg(kInstanceName));
}

QString SingleInstance::serverName() const
{
#ifdef Q_OS_WIN
    // Pipe names have no folder; a folder other than the default gets a name of its own.
    if (m_defaultDirectory)
        return QString::fromLatin1(kInstanceName);
    return QStringLiteral("%1-%2")
        .arg(kInstanceName)
        .arg(static_cast<qulonglong>(qHash(m_directory)), 0, 16);
#else
    // A full path keeps the socket in the private folder instead of the shared /tmp.
    return QDir(m_directory).filePath(QString::fromLatin1(kInstanceName));
#endif
}

SingleInstance::Claim SingleInstance::claim()
{
    if (m_claim)
        return *m_claim;
    if (!QDir().mkpath(m_directory))
        return *(m_claim = Claim::Failed);

    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // The instance holds its lock for as long as it runs, days perhaps: only an owner that no
    // longer exists makes the lock stale (QLockFile checks the recorded process id and name).
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return *(m_claim = Claim::Primary);
    }
    if (m_lock->error() != QLockFile::LockFailedError)
        return *(m_claim = Claim::Failed);
    if (takeOverUnreadableLock()) {
        listen();
        return *(m_claim = Claim::Primary);
    }
    return *(m_claim = askRunningInstance() ? Claim::Secondary : Claim::Unreachable);
}

bool SingleInstance::takeOverUnreadableLock()
{
    // QLockFile judges a lock by the owner it names; one that names none it keeps for ever.
    qint64 pid = 0;
    QString host;
    QString application;
    if (m_lock->getLockInfo(&pid, &host, &application))
        return false;
    QThread::msleep(kUnreadableLockPauseMs);
    if (m_lock->getLockInfo(&pid, &host, &application))
        return false;
    // The same guard QLockFile takes before it removes a stale lock, so that two starts
    // cannot both remove a file and one of them remove the other's fresh lock.
    QLockFile removal(lockFilePath() + QStringLiteral(".rmlock"));
    if (!removal.tryLock(0))
        return false;
    // Removal fails while a live process still holds the file (a native lock on Unix, an open
    // handle on Windows), whatever the file says.
    return m_lock->removeStaleLockFile() && m_lock->tryLock(0);
}

void SingleInstance::listen()
{
    // Holding the lock, nobody else listens: a socket still there was left by a dead instance.
    QLocalServer::removeServer(serverName());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(serverName())) {
        delete m_server;
        m_server = nullptr;
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Bytes may have arrived with the connection.
        readRequest(socket);
    }
}

void SingleInstance::readRequest(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kLongestRequest)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(kLongestRequest + 1);
    socket->disconnectFromServer();
    if (line == kActivateRequest)
        emit activationRequested();
}

bool SingleInstance::askRunningInstance() const
{
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(serverName());
        if (socket.waitForConnected(kConnectTimeoutMs)) {
            socket.write(kActivateRequest.data(), kActivateRequest.size());
            const bool written = socket.waitForBytesWritten(kWriteTimeoutMs);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(kWriteTimeoutMs);
            return written;
        }
        QThread::msleep(kConnectRetryPauseMs);
    }
    return false;
}

} // namespace carvento::shell
