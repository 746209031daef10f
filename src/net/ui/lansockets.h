// The sockets of a LAN battle: the host's listening socket and every side's
// connection to the host, TCP over IPv4, their events on the thread that
// owns this object (the main thread). Received bytes, closes and writable
// connections go straight to the side's LanSession (and, when hosting, its
// relay); the model sends through the two link interfaces. Errors raise
// nothing: they leave a mark the set-up can test.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <map>

#include "net/lan.h"

class QTcpServer;
class QTcpSocket;

namespace jq::net {

// The address shown as this computer's: the first IPv4 address of an
// interface that is up and not the loopback, "127.0.0.1" when none.
QString LocalIPv4Address();

class LanSockets : public QObject, public ClientLink, public ServerLinks {
    Q_OBJECT
public:
    // Error marks, as the set-up tests them.
    static constexpr int kClientErrorMark = 112;
    static constexpr int kServerErrorMark = 134;

    explicit LanSockets(LanSession& session, QObject* parent = nullptr);
    ~LanSockets() override;

    // Hosting: listens on `address` (IPv4) and `port` and makes the session
    // the host. False when the port cannot be had (the mark is set).
    bool Listen(const QHostAddress& address, quint16 port);
    // The port listened on (0 when not listening).
    quint16 ListeningPort() const;
    // Starts connecting to the host; the session gets the link once the
    // connection is up (ClientConnected() then turns true).
    void ConnectTo(const QString& hostAddress, quint16 port);
    bool ClientConnected() const { return Connected(); }
    // No connection of this side is open or closing any more.
    bool ConnectionsGone() const;

    int clientErrorMark = 0;
    int serverErrorMark = 0;

    // ---- ClientLink ----
    bool Connected() const override;
    size_t Write(const uint8_t* data, size_t size) override;
    void Close() override;
    void Resume() override;
    std::string LocalAddress() const override;
    int LocalPort() const override;

    // ---- ServerLinks ----
    bool Listening() const override;
    size_t Write(ConnId id, const uint8_t* data, size_t size) override;
    void Close(ConnId id) override;
    void Resume(ConnId id) override;
    void Stop() override;

private:
    void Accept();
    void ClientUp();
    void ClientRead();
    void ClientDown();
    // Hands a connection's received bytes to the relay while it takes them.
    void ConnRead(ConnId id);

    LanSession& session_;
    QTcpServer* server_ = nullptr;
    QPointer<QTcpSocket> client_;
    std::map<ConnId, QPointer<QTcpSocket>> conns_;
    ConnId nextId_ = 1;
};

}  // namespace jq::net
