#include "net/ui/lansockets.h"

#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>

#include "net/relay.h"

namespace jq::net {

namespace {

// Bytes a connection may hold unsent before it takes no more; the rest
// waits in the model's queue until the socket has written some.
constexpr qint64 kSocketBacklogBytes = 256 * 1024;
// Bytes read at a time, and held by a socket unread: while the model takes
// no more, the rest waits in the kernel and the sender is slowed down.
constexpr qint64 kReadChunkBytes = 4096;

QString DottedIPv4(const QHostAddress& a) {
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : QString();
}

size_t WriteTo(QTcpSocket* s, const uint8_t* data, size_t size) {
    if (s == nullptr || s->state() != QAbstractSocket::ConnectedState) return 0;
    if (s->bytesToWrite() > kSocketBacklogBytes) return 0;
    const qint64 n = s->write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return n > 0 ? static_cast<size_t>(n) : 0;
}

// Closes after what was written has gone; the socket deletes itself.
void CloseGently(QTcpSocket* s, QObject* listener) {
    if (s == nullptr) return;
    s->disconnect(listener);
    QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    s->disconnectFromHost();
    if (s->state() == QAbstractSocket::UnconnectedState) s->deleteLater();
}

}  // namespace

QString LocalIPv4Address() {
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack)) continue;
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (e.ip().protocol() == QAbstractSocket::IPv4Protocol && !e.ip().isLoopback()) return e.ip().toString();
    }
    return QStringLiteral("127.0.0.1");
}

LanSockets::LanSockets(LanSession& session, QObject* parent) : QObject(parent), session_(session) {}

LanSockets::~LanSockets() {
    if (session_.client() == this) session_.AttachClient(nullptr);
    if (server_ != nullptr && session_.relay() != nullptr) session_.StartHosting(nullptr);
    if (client_) {
        client_->disconnect(this);
        client_->abort();
    }
    for (auto& [id, s] : conns_)
        if (s) {
            s->disconnect(this);
            s->abort();
        }
}

bool LanSockets::Listen(const QHostAddress& address, quint16 port) {
    serverErrorMark = 0;
    if (server_ == nullptr) {
        server_ = new QTcpServer(this);
        connect(server_, &QTcpServer::newConnection, this, &LanSockets::Accept);
    }
    if (!server_->listen(address, port)) {
        serverErrorMark = kServerErrorMark;
        return false;
    }
    session_.StartHosting(this);
    return true;
}

quint16 LanSockets::ListeningPort() const { return server_ != nullptr && server_->isListening() ? server_->serverPort() : 0; }

void LanSockets::ConnectTo(const QString& hostAddress, quint16 port) {
    clientErrorMark = 0;
    if (client_) CloseGently(client_, this);
    client_ = new QTcpSocket(this);
    client_->setReadBufferSize(kReadChunkBytes);
    connect(client_, &QTcpSocket::connected, this, &LanSockets::ClientUp);
    connect(client_, &QTcpSocket::readyRead, this, &LanSockets::ClientRead);
    connect(client_, &QTcpSocket::disconnected, this, &LanSockets::ClientDown);
    connect(client_, &QTcpSocket::bytesWritten, this, [this] { session_.ClientWritable(); });
    connect(client_, &QTcpSocket::errorOccurred, this, [this] { clientErrorMark = kClientErrorMark; });
    client_->connectToHost(QHostAddress(hostAddress), port);
}

void LanSockets::Accept() {
    while (server_->hasPendingConnections()) {
        QTcpSocket* s = server_->nextPendingConnection();
        const ConnId id = nextId_++;
        conns_[id] = s;
        s->setReadBufferSize(kReadChunkBytes);
        connect(s, &QTcpSocket::readyRead, this, [this, id] { ConnRead(id); });
        connect(s, &QTcpSocket::bytesWritten, this, [this, id] {
            if (HostRelay* r = session_.relay()) r->Writable(id);
        });
        connect(s, &QTcpSocket::disconnected, this, [this, id, s] {
            // What the side sent before it closed is still its word: the
            // relay gets the bytes the socket holds (a paused sender's
            // included) before it hears of the close.
            const QByteArray rest = s->readAll();
            HostRelay* r = session_.relay();
            if (r != nullptr && !rest.isEmpty())
                r->Received(id, reinterpret_cast<const uint8_t*>(rest.constData()), static_cast<size_t>(rest.size()));
            conns_.erase(id);
            s->deleteLater();
            if (r != nullptr) r->Closed(id);
        });
        connect(s, &QTcpSocket::errorOccurred, this, [this] { serverErrorMark = kServerErrorMark; });
        // The relay may refuse it at once (too many connections without a
        // seat): it then calls Close(id), which the signals above must see.
        if (HostRelay* relay = session_.relay())
            relay->Connected(id, DottedIPv4(s->peerAddress()).toStdString(), s->peerPort());
    }
}

void LanSockets::ConnRead(ConnId id) {
    for (;;) {
        auto it = conns_.find(id);
        HostRelay* r = session_.relay();
        if (it == conns_.end() || !it->second || r == nullptr || !r->Accepting(id)) return;
        const QByteArray bytes = it->second->read(kReadChunkBytes);
        if (bytes.isEmpty()) return;
        r->Received(id, reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
    }
}

void LanSockets::Resume(ConnId id) {
    QMetaObject::invokeMethod(this, [this, id] { ConnRead(id); }, Qt::QueuedConnection);
}

void LanSockets::ClientUp() {
    session_.AttachClient(this);
    if (HostRelay* r = session_.relay(); r != nullptr && server_ != nullptr)
        r->SetOwnEndpoint(LocalAddress(), LocalPort());
}

void LanSockets::ClientRead() {
    // A side reads only as fast as its inbox empties.
    while (client_ && session_.client() == this && session_.ClientAccepting()) {
        const QByteArray bytes = client_->read(kReadChunkBytes);
        if (bytes.isEmpty()) return;
        session_.ClientReceived(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
    }
    // Not attached (yet or any more): what came is dropped, as before.
    if (client_ && session_.client() != this) client_->readAll();
}

void LanSockets::Resume() { QMetaObject::invokeMethod(this, &LanSockets::ClientRead, Qt::QueuedConnection); }

void LanSockets::ClientDown() {
    if (session_.client() == this) {
        // The last bytes the socket holds are still the host's word.
        if (client_) {
            const QByteArray rest = client_->readAll();
            if (!rest.isEmpty())
                session_.ClientReceived(reinterpret_cast<const uint8_t*>(rest.constData()), static_cast<size_t>(rest.size()));
        }
        if (session_.client() == this) session_.ClientClosed();
    }
    if (client_) client_->deleteLater();
    client_ = nullptr;
}

bool LanSockets::ConnectionsGone() const { return findChildren<QTcpSocket*>().isEmpty(); }

bool LanSockets::Connected() const { return client_ && client_->state() == QAbstractSocket::ConnectedState; }

size_t LanSockets::Write(const uint8_t* data, size_t size) { return WriteTo(client_, data, size); }

void LanSockets::Close() {
    QTcpSocket* s = client_;
    client_ = nullptr;
    CloseGently(s, this);
}

std::string LanSockets::LocalAddress() const {
    return client_ ? DottedIPv4(client_->localAddress()).toStdString() : std::string();
}

int LanSockets::LocalPort() const { return client_ && Connected() ? client_->localPort() : -1; }

bool LanSockets::Listening() const { return server_ != nullptr && server_->isListening(); }

size_t LanSockets::Write(ConnId id, const uint8_t* data, size_t size) {
    auto it = conns_.find(id);
    return it == conns_.end() ? 0 : WriteTo(it->second, data, size);
}

void LanSockets::Close(ConnId id) {
    auto it = conns_.find(id);
    if (it == conns_.end()) return;
    QTcpSocket* s = it->second;
    conns_.erase(it);
    CloseGently(s, this);
}

void LanSockets::Stop() {
    auto all = conns_;
    conns_.clear();
    for (auto& [id, s] : all) CloseGently(s, this);
    if (server_ != nullptr) server_->close();
}

}  // namespace jq::net
