#include "earth/simulator/EarthServer.hpp"

#include "earth/EarthProtocol.hpp"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/stat.h>

namespace carvento::earth::simulator {

EarthServer::EarthServer(Simulator& simulator, QObject* parent)
    : QObject(parent), m_simulator(simulator), m_server(new QLocalServer(this))
{
    // Only the user who started the globe may drive it.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &EarthServer::Accept);
}

EarthServer::~EarthServer()
{
    Close();
}

bool EarthServer::Listen(const QString& path, QString& error)
{
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(nativePath.constData(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            error = QStringLiteral("%1 exists and is not a socket; it is left as it is").arg(path);
            return false;
        }
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(1000)) {
            probe.disconnectFromServer();
            error = QStringLiteral("another carvento-earth already answers at %1").arg(path);
            return false;
        }
        // Nobody answers: a socket left behind by a globe that ended abruptly.
        QLocalServer::removeServer(path);
    }
    if (!m_server->listen(path)) {
        error = QStringLiteral("cannot listen at %1: %2").arg(path, m_server->errorString());
        return false;
    }
    return true;
}

void EarthServer::Close()
{
    if (m_server->isListening())
        m_server->close();
}

void EarthServer::Accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        m_connections.insert(socket, Connection{});
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Drop(socket); });
        if (socket->bytesAvailable() > 0)
            Read(socket);
    }
}

void EarthServer::Drop(QLocalSocket* socket)
{
    m_connections.remove(socket);
    socket->deleteLater();
}

void EarthServer::Read(QLocalSocket* socket)
{
    auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    Connection& connection = found.value();
    connection.buffer += socket->readAll();

    auto send = [socket](const std::string& answer) {
        QByteArray line(answer.data(), static_cast<qsizetype>(answer.size()));
        line += '\n';
        socket->write(line);
    };
    auto hangUp = [this, socket](const std::string& answer, auto& sendAnswer) {
        sendAnswer(answer);
        m_connections.remove(socket);
        socket->disconnectFromServer(); // after the answer is written
    };

    qsizetype consumed = 0;
    while (true) {
        if (connection.kmlPayload) {
            qsizetype size = *connection.kmlPayload;
            if (connection.buffer.size() - consumed < size)
                break;
            std::string_view kml(connection.buffer.constData() + consumed,
                                 static_cast<std::size_t>(size));
            consumed += size;
            connection.kmlPayload.reset();
            send(m_simulator.LoadKml(kml));
            continue;
        }
        qsizetype end = connection.buffer.indexOf('\n', consumed);
        if (end < 0) {
            if (connection.buffer.size() - consumed > qsizetype(protocol::kMaxLineLength)) {
                hangUp("ERR request line too long", send);
                return;
            }
            break;
        }
        qsizetype length = end - consumed;
        std::string_view line(connection.buffer.constData() + consumed,
                              static_cast<std::size_t>(length));
        consumed = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        Simulator::Reply reply = m_simulator.Handle(line);
        if (reply.close) {
            hangUp(reply.answer, send);
            return;
        }
        if (reply.kmlPayload)
            connection.kmlPayload = static_cast<qsizetype>(*reply.kmlPayload);
        else
            send(reply.answer);
    }
    connection.buffer.remove(0, consumed);
}

} // namespace carvento::earth::simulator
