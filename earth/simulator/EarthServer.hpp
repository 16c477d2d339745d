// The local socket of carvento-earth: reads the requests of every connection and writes the
// Simulator's answers (see EarthProtocol.hpp).
#pragma once

#include "earth/simulator/Simulator.hpp"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <optional>

class QLocalServer;
class QLocalSocket;

namespace carvento::earth::simulator {

class EarthServer : public QObject {
    Q_OBJECT
public:
    EarthServer(Simulator& simulator, QObject* parent = nullptr);
    ~EarthServer() override;

    // Listens at the path. A socket there that nobody answers is left over from a server that
    // ended without cleaning up and is replaced; when another server answers there, or the
    // path is not a socket, nothing is touched and `error` says why.
    bool Listen(const QString& path, QString& error);
    // Stops listening and removes the socket.
    void Close();

private:
    struct Connection {
        QByteArray buffer;
        std::optional<qsizetype> kmlPayload; // bytes of KML still to come
    };

    void Accept();
    void Read(QLocalSocket* socket);
    void Drop(QLocalSocket* socket);

    Simulator& m_simulator;
    QLocalServer* m_server = nullptr;
    QHash<QLocalSocket*, Connection> m_connections;
};

} // namespace carvento::earth::simulator
