// One running instance per user: a lock file marks the running instance, and a local server
// beside it lets a second start ask the running one to show itself before it exits.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QLockFile;
class QLocalServer;
class QLocalSocket;

namespace carvento::shell {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        Primary,     // this process is the instance: it holds the lock and listens
        Secondary,   // another live instance holds the lock and was asked to show itself
        Unreachable, // another live instance holds the lock but could not be reached in time
        Failed,      // the lock file could not be created (folder missing or not writable)
    };

    // `directory` holds the lock file "HalvornWndClass.lock" and, off Windows, the server's
    // socket "HalvornWndClass"; empty means defaultDirectory(). Nothing happens before claim().
    explicit SingleInstance(const QString& directory = {}, QObject* parent = nullptr);
    // A primary instance stops listening and releases the lock.
    ~SingleInstance() override;

    // Takes the lock or, when a live process holds it, asks that process to show itself
    // (Secondary), giving up after at most about three seconds (Unreachable). A lock whose owner
    // died (crash, kill) is taken over, and so is a socket it left behind; so is a lock file whose
    // content names no owner (empty or garbage) once no process holds it open. The lock's age
    // alone never makes it stale. A primary instance that cannot listen stays primary (it
    // runs, but a later start cannot raise it). Repeated calls return the first answer.
    Claim claim();

    // The per-user folder used when none is given: the runtime folder (XDG_RUNTIME_DIR) where
    // there is one, else the temporary folder.
    static QString defaultDirectory();

    QString lockFilePath() const;
    QString serverName() const;

signals:
    // A later start asked this (primary) instance to show itself.
    void activationRequested();

private:
    bool takeOverUnreadableLock();
    void listen();
    void acceptConnections();
    void readRequest(QLocalSocket* socket);
    bool askRunningInstance() const;

    QString m_directory;
    bool m_defaultDirectory = false;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    std::optional<Claim> m_claim;
};

} // namespace carvento::shell
