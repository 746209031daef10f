// The sockets of a LAN battle: the host's listening socket and every side's
// connection to the host, TCP over IPv4, their events on the thread that
// owns this object (the main thread). Received bytes, closes and writable
// connections go straight to the side's LanSession (and, when hosting, its
// relay); the model sends through the two link interfaces. Errors raise
// nothing: they leave a mark the set-up can test.
//
// The host's packets to a connection leave at least kPacketGapMs apart: a
// side may take each read as one packet, so two packets must never reach
// it together. A write to an accepted connection takes one packet (or the
// rest of one) only once the last packet has left this computer and the
// gap has passed since; otherwise it takes nothing, and the relay is told
// the connection is writable when the gap is over. Accepted connections are
// probed while idle, so one that died without a close (a network drop, a
// computer gone to sleep) is closed within about half a minute. The host's
// own connection is the one this object made itself: while its client
// socket lives, the accepted connection whose ends are that socket's ends
// (which no other socket can have meanwhile) is named to the relay.
//
// The listening socket is a bare descriptor: each connection is accepted as
// one and waits at the door (AcceptDoor, net/host/door.h, which states what
// a connection costs before it has spoken and the bounds in total); a
// socket object is made for it, and the relay hears of it, only once the
// door lets it in. Accepting and looking at waiting connections are bounded
// per turn of the event loop, so the battle's own sockets never wait for a
// flood of connections.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "net/lan.h"

class QSocketNotifier;
class QTcpSocket;
class QTimer;

namespace jq::net {

class AcceptDoor;

// The address shown as this computer's: the first IPv4 address of an
// interface that is up and not the loopback, "127.0.0.1" when none.
QString LocalIPv4Address();

class LanSockets : public QObject, public ClientLink, public ServerLinks {
    Q_OBJECT
public:
    // Error marks, as the set-up tests them.
    static constexpr int kClientErrorMark = 112;
    static constexpr int kServerErrorMark = 134;
    // The least time between two packets to one accepted connection.
    static constexpr int kPacketGapMs = 50;
    // An idle accepted connection is probed after this long without a word
    // from its side, then every kProbeIntervalSeconds; after kProbeCount
    // probes unanswered (or as long without an answer to what was sent) it
    // is given up.
    static constexpr int kProbeIdleSeconds = 10;
    static constexpr int kProbeIntervalSeconds = 5;
    static constexpr int kProbeCount = 3;
    // The longest a side's closing connection stays open for the host to
    // acknowledge what it was given last.
    static constexpr int kSendOffMs = 1500;

    explicit LanSockets(LanSession& session, QObject* parent = nullptr);
    ~LanSockets() override;

    // Hosting: listens on `address` (IPv4) and `port` and makes the session
    // the host. False when the port cannot be had (the mark is set).
    bool Listen(const QHostAddress& address, quint16 port);
    // The port listened on (0 when not listening).
    quint16 ListeningPort() const;
    // Starts connecting to the host; the session gets the link once the
    // connection is up (ClientConnected() then turns true). A connection
    // still closing is closed at once.
    void ConnectTo(const QString& hostAddress, quint16 port);
    bool ClientConnected() const { return Connected(); }
    // No connection of this side is open or closing any more: a side's
    // closed connection counts until its last bytes are acknowledged, or
    // kSendOffMs have passed.
    bool ConnectionsGone() const;

    int clientErrorMark = 0;
    int serverErrorMark = 0;

signals:
    // The connection ConnectTo started is up, or has failed: whoever waits
    // for it goes on at once (a join sent with its connection is read before
    // the host can take it for an idle one).
    void ClientSettled();

public:

    // ---- ClientLink ----
    bool Connected() const override;
    size_t Write(const uint8_t* data, size_t size) override;
    // Returns at once; the connection stays open in the background until
    // the host has acknowledged what was written last (a farewell is not
    // lost to a close that resets the connection), kSendOffMs at most, and
    // is closed at once when this object goes, a new connection is made or
    // the application quits.
    void Close() override;
    void Resume() override;
    std::string LocalAddress() const override;
    int LocalPort() const override;

    // ---- ServerLinks ----
    bool Listening() const override;
    size_t Write(ConnId id, const uint8_t* data, size_t size) override;
    bool Ready(ConnId id) override;
    void Close(ConnId id) override;
    void Resume(ConnId id) override;
    void ReadNow(ConnId id) override;
    void Stop() override;

private:
    using Clock = std::chrono::steady_clock;
    // An accepted connection and the pace of what goes to it.
    struct Accepted {
        QPointer<QTcpSocket> socket;
        QTimer* pace = nullptr;  // owned by the socket, made when first needed
        // The last packet handed over has not been seen leaving yet.
        bool leaving = false;
        // When the last packet was seen to have left this computer.
        Clock::time_point leftAt{};
        // The last write took only part of a packet: the rest goes next,
        // without a gap.
        bool partWritten = false;
    };

    // A side's connection closing, and when it is closed regardless.
    struct Leaving {
        QPointer<QTcpSocket> socket;
        Clock::time_point until;
    };

    // Accepts what waits in the listening socket's queue (a tick's worth).
    void AcceptWaiting();
    // Looks at the waiting connections that have news (a tick's worth).
    void LookAtDoor();
    // Lets in whom the door lets in, and closes those silent too long.
    void DoorTick(bool expire);
    // A connection let in by the door: its socket, and the relay hears of it.
    void Adopt(int fd);
    // Closes the listening socket and every connection at the door.
    void CloseDoor();
    // The connection may take more: the relay hears so.
    void ConnWritable(ConnId id);
    // The connection takes its next packet in `ms`: the relay hears so then.
    void PaceFor(ConnId id, Accepted& a, int ms);
    // A connection has closed or failed: the relay gets what its socket
    // still holds, then hears of the close (once).
    void ConnGone(ConnId id);
    // Whether the last packet handed to the connection has left this
    // computer; notes when it was first seen so.
    bool NoteLeft(Accepted& a);
    // Milliseconds until the connection may take the next packet: 0 now,
    // -1 once the socket has written what it holds (its bytesWritten
    // signal says so).
    int PaceWait(Accepted& a);
    void ClientUp();
    void ClientRead();
    void ClientDown();
    // Hands a connection's received bytes to the relay while it takes them.
    void ConnRead(ConnId id);
    // While this side's own client socket lives, the accepted connection
    // that is its other end is named to the relay, once.
    void FindOwnConnection();
    // Closes each closing connection whose last bytes are acknowledged or
    // whose time is up.
    void LookAtLeaving();
    // Closes every closing connection now.
    void ShutLeaving();

    LanSession& session_;
    int listenFd_ = -1;
    int doorFd_ = -1;  // the waiting connections' events (epoll)
    QSocketNotifier* listenNote_ = nullptr;
    QSocketNotifier* doorNote_ = nullptr;
    QTimer* doorTimer_ = nullptr;
    std::unique_ptr<AcceptDoor> door_;
    QPointer<QTcpSocket> client_;
    // The relay knows the accepted end of `client_`.
    bool ownTold_ = false;
    std::map<ConnId, Accepted> conns_;
    ConnId nextId_ = 1;
    std::vector<Leaving> leaving_;
    QTimer* sendOff_ = nullptr;  // looks at leaving_ while it is not empty
};

}  // namespace jq::net
