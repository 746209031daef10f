#include "net/ui/lansockets.h"

#include <QCoreApplication>
#include <QNetworkInterface>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <chrono>

#ifdef __linux__
#include <linux/sockios.h>
#endif

#include "net/host/door.h"
#include "net/host/relay.h"

namespace jq::net {

namespace {

// Bytes a connection may hold unsent before it takes no more; the rest
// waits in the model's queue until the socket has written some.
constexpr qint64 kSocketBacklogBytes = 256 * 1024;
// Bytes read at a time, and held by a socket unread: while the model takes
// no more, the rest waits in the kernel and the sender is slowed down.
constexpr qint64 kReadChunkBytes = 4096;
// How often to look again while a packet handed to the system has not gone
// out on the wire yet (the side's window is full, say), or a closing side's
// last bytes have not been acknowledged.
constexpr int kLeavePollMs = 10;

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

// Bytes the system holds for the connection, as the ioctl `request` counts
// them (0 where that cannot be known).
int HeldBytes(QTcpSocket* s, unsigned long request) {
    int n = 0;
    const qintptr fd = s->socketDescriptor();
    return fd >= 0 && ::ioctl(static_cast<int>(fd), request, &n) == 0 ? n : 0;
}

// Bytes that have not gone out on the wire yet.
int UnsentBytes(QTcpSocket* s) {
#ifdef SIOCOUTQNSD
    return HeldBytes(s, SIOCOUTQNSD);
#else
    (void)s;
    return 0;
#endif
}

// Bytes the other end has not acknowledged yet, sent or not.
int UnacknowledgedBytes(QTcpSocket* s) {
#ifdef SIOCOUTQ
    return HeldBytes(s, SIOCOUTQ);
#else
    (void)s;
    return 0;
#endif
}

// Whether what the socket was given has all reached the other end (or
// never will: the connection is gone).
bool SentOff(QTcpSocket* s) {
    return s->state() != QAbstractSocket::ConnectedState ||
           (s->bytesToWrite() == 0 && UnacknowledgedBytes(s) == 0);
}

// Closes a side's connection now: what the socket still holds is handed to
// the system first (as much as it takes without waiting), which sends it on
// after the close unless the connection is reset. Deleted from the event
// loop, as the socket may be emitting a signal further up.
void Shut(QTcpSocket* s, QObject* listener) {
    s->disconnect(listener);
    if (s->state() == QAbstractSocket::ConnectedState) s->flush();
    s->abort();
    s->deleteLater();
}

// Every packet goes out the moment it is handed over (the gaps are ours to
// keep), and a side that has gone without a word is found: probes while
// the connection is idle, and a bound on how long what was sent may go
// unanswered (probes are not sent while something is).
void SetUpAccepted(QTcpSocket* s) {
    const qintptr fd = s->socketDescriptor();
    if (fd < 0) return;
    auto set = [fd](int level, int option, int value) {
        ::setsockopt(static_cast<int>(fd), level, option, &value, sizeof value);
    };
    set(IPPROTO_TCP, TCP_NODELAY, 1);
    set(SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef __linux__
    set(IPPROTO_TCP, TCP_KEEPIDLE, LanSockets::kProbeIdleSeconds);
    set(IPPROTO_TCP, TCP_KEEPINTVL, LanSockets::kProbeIntervalSeconds);
    set(IPPROTO_TCP, TCP_KEEPCNT, LanSockets::kProbeCount);
    set(IPPROTO_TCP, TCP_USER_TIMEOUT,
        (LanSockets::kProbeIdleSeconds + LanSockets::kProbeIntervalSeconds * LanSockets::kProbeCount) * 1000);
#endif
}

// Errors after which the connection is still there.
bool Passing(QAbstractSocket::SocketError e) {
    return e == QAbstractSocket::SocketTimeoutError || e == QAbstractSocket::TemporaryError ||
           e == QAbstractSocket::UnfinishedSocketOperationError || e == QAbstractSocket::OperationError;
}

// Closes after what was written has gone; the socket deletes itself.
void CloseGently(QTcpSocket* s, QObject* listener) {
    if (s == nullptr) return;
    s->disconnect(listener);
    QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    s->disconnectFromHost();
    if (s->state() == QAbstractSocket::UnconnectedState) s->deleteLater();
}

// Closes a socket with a reset: nothing of it stays behind on this computer.
void ResetAndClose(qintptr fd) {
    const linger now{1, 0};
    ::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    ::close(static_cast<int>(fd));
}

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How often the door looks at its waiting connections' time and rates
// without news from the sockets.
constexpr int kDoorTickMs = 100;

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

LanSockets::LanSockets(LanSession& session, QObject* parent) : QObject(parent), session_(session) {
    sendOff_ = new QTimer(this);
    sendOff_->setInterval(kLeavePollMs);
    connect(sendOff_, &QTimer::timeout, this, &LanSockets::LookAtLeaving);
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &LanSockets::ShutLeaving);
}

LanSockets::~LanSockets() {
    if (session_.client() == this) session_.AttachClient(nullptr);
    if (door_ != nullptr && session_.relay() != nullptr) session_.StartHosting(nullptr);
    CloseDoor();
    Close();
    ShutLeaving();
    for (auto& [id, a] : conns_)
        if (a.socket) {
            a.socket->disconnect(this);
            a.socket->abort();
        }
}

bool LanSockets::Listen(const QHostAddress& address, quint16 port) {
    serverErrorMark = 0;
    CloseDoor();
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    listenFd_ = ok ? ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) : -1;
    doorFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(v4);
    const int one = 1;
    if (listenFd_ < 0 || doorFd_ < 0 || ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listenFd_, SOMAXCONN) != 0) {
        CloseDoor();
        serverErrorMark = kServerErrorMark;
        return false;
    }
    if (door_ == nullptr) door_ = std::make_unique<AcceptDoor>();
    listenNote_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(listenNote_, &QSocketNotifier::activated, this, &LanSockets::AcceptWaiting);
    doorNote_ = new QSocketNotifier(doorFd_, QSocketNotifier::Read, this);
    connect(doorNote_, &QSocketNotifier::activated, this, &LanSockets::LookAtDoor);
    doorTimer_ = new QTimer(this);
    connect(doorTimer_, &QTimer::timeout, this, [this] { DoorTick(true); });
    doorTimer_->start(kDoorTickMs);
    session_.StartHosting(this);
    return true;
}

quint16 LanSockets::ListeningPort() const {
    sockaddr_in at{};
    socklen_t size = sizeof at;
    if (listenFd_ < 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&at), &size) != 0) return 0;
    return ntohs(at.sin_port);
}

void LanSockets::CloseDoor() {
    // (The door may close from within one of its own signals.)
    for (QSocketNotifier* n : {listenNote_, doorNote_})
        if (n != nullptr) {
            n->setEnabled(false);
            n->deleteLater();
        }
    if (doorTimer_ != nullptr) {
        doorTimer_->stop();
        doorTimer_->deleteLater();
    }
    listenNote_ = doorNote_ = nullptr;
    doorTimer_ = nullptr;
    if (door_ != nullptr)
        for (const AcceptDoor::Id fd : door_->Clear()) ResetAndClose(static_cast<qintptr>(fd));
    if (listenFd_ >= 0) ::close(listenFd_);
    if (doorFd_ >= 0) ::close(doorFd_);
    listenFd_ = doorFd_ = -1;
}

void LanSockets::AcceptWaiting() {
    const int64_t now = SteadyMs();
    for (int i = 0; i < kDoorAcceptsPerTick && listenFd_ >= 0; ++i) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && (errno == EMFILE || errno == ENFILE)) {
            // Out of descriptors: the connection silent longest goes, so
            // the queue never stalls behind silent ones.
            const std::optional<AcceptDoor::Id> gone = door_->MakeRoom();
            if (!gone) break;
            ::epoll_ctl(doorFd_, EPOLL_CTL_DEL, static_cast<int>(*gone), nullptr);
            ResetAndClose(static_cast<qintptr>(*gone));
            continue;
        }
        if (fd < 0) break;
        const uint32_t address = peer.sin_family == AF_INET ? ntohl(peer.sin_addr.s_addr) : 0;
        const std::optional<AcceptDoor::Id> gone = door_->Come(fd, address, now);
        if (gone && *gone != fd) ::epoll_ctl(doorFd_, EPOLL_CTL_DEL, static_cast<int>(*gone), nullptr);
        if (gone) ResetAndClose(static_cast<qintptr>(*gone));
        if (gone && *gone == fd) continue;
        // Edge-triggered: a partial packet is looked at again only when
        // more comes. What came before this is reported at once.
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
        ev.data.fd = fd;
        if (::epoll_ctl(doorFd_, EPOLL_CTL_ADD, fd, &ev) != 0) {
            door_->Gone(fd);
            ResetAndClose(fd);
        }
    }
    DoorTick(false);
}

void LanSockets::LookAtDoor() {
    epoll_event events[kDoorAcceptsPerTick];
    const int n = doorFd_ >= 0 ? ::epoll_wait(doorFd_, events, kDoorAcceptsPerTick, 0) : 0;
    for (int i = 0; i < n; ++i) {
        const int fd = events[i].data.fd;
        uint8_t first[AcceptDoor::kPeekBytes];
        const ssize_t got = ::recv(fd, first, sizeof first, MSG_PEEK | MSG_DONTWAIT);
        const bool spoke = got > 0 && AcceptDoor::Speaks(first, static_cast<size_t>(got));
        if (spoke) {
            ::epoll_ctl(doorFd_, EPOLL_CTL_DEL, fd, nullptr);
            door_->Spoke(fd);
        } else if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ||
                   (events[i].events & (EPOLLERR | EPOLLHUP | EPOLLRDHUP)) != 0) {
            // Closed before it said a whole word: nothing of it is kept.
            ::epoll_ctl(doorFd_, EPOLL_CTL_DEL, fd, nullptr);
            door_->Gone(fd);
            ResetAndClose(fd);
        }
    }
    DoorTick(false);
}

void LanSockets::DoorTick(bool expire) {
    if (door_ == nullptr || listenFd_ < 0) return;
    const int64_t now = SteadyMs();
    if (expire)
        for (const AcceptDoor::Id fd : door_->Expired(now)) {
            ::epoll_ctl(doorFd_, EPOLL_CTL_DEL, static_cast<int>(fd), nullptr);
            ResetAndClose(static_cast<qintptr>(fd));
        }
    if (HostRelay* relay = session_.relay()) {
        std::vector<uint32_t> standing;
        for (const std::string& holder : relay->LastHolders()) {
            in_addr at{};
            if (!holder.empty() && ::inet_pton(AF_INET, holder.c_str(), &at) == 1) standing.push_back(ntohl(at.s_addr));
        }
        door_->SetStanding(std::move(standing));
    }
    const std::vector<AcceptDoor::Id> in = door_->LetIn(now);
    for (const AcceptDoor::Id fd : in) {
        // The relay may have stopped hosting on hearing of the one before.
        if (listenFd_ >= 0) Adopt(static_cast<int>(fd));
        else ResetAndClose(static_cast<qintptr>(fd));
    }
    if (!in.empty()) FindOwnConnection();
}

void LanSockets::ConnectTo(const QString& hostAddress, quint16 port) {
    clientErrorMark = 0;
    // One connection at a time: the last one's close ends here.
    Close();
    ShutLeaving();
    client_ = new QTcpSocket(this);
    client_->setReadBufferSize(kReadChunkBytes);
    connect(client_, &QTcpSocket::connected, this, &LanSockets::ClientUp);
    connect(client_, &QTcpSocket::readyRead, this, &LanSockets::ClientRead);
    connect(client_, &QTcpSocket::disconnected, this, &LanSockets::ClientDown);
    connect(client_, &QTcpSocket::bytesWritten, this, [this] { session_.ClientWritable(); });
    connect(client_, &QTcpSocket::errorOccurred, this, [this] {
        clientErrorMark = kClientErrorMark;
        emit ClientSettled();
    });
    client_->connectToHost(QHostAddress(hostAddress), port);
}

void LanSockets::Adopt(int fd) {
    auto* s = new QTcpSocket(this);
    if (!s->setSocketDescriptor(fd)) {
        delete s;
        ResetAndClose(fd);
        return;
    }
    const ConnId id = nextId_++;
    Accepted& a = conns_[id];
    a.socket = s;
    SetUpAccepted(s);
    s->setReadBufferSize(kReadChunkBytes);
    connect(s, &QTcpSocket::readyRead, this, [this, id] { ConnRead(id); });
    connect(s, &QTcpSocket::bytesWritten, this, [this, id] { ConnWritable(id); });
    connect(s, &QTcpSocket::disconnected, this, [this, id] { ConnGone(id); });
    // A connection the system gave up on (its probes went unanswered)
    // ends here, whether or not the socket reports the close as well.
    connect(s, &QTcpSocket::errorOccurred, this, [this, id](QAbstractSocket::SocketError e) {
        serverErrorMark = kServerErrorMark;
        if (!Passing(e)) ConnGone(id);
    });
    // The relay may refuse it at once (too many connections without a
    // seat): it then calls Close(id), which the signals above must see.
    if (HostRelay* relay = session_.relay())
        relay->Connected(id, DottedIPv4(s->peerAddress()).toStdString(), s->peerPort());
}

void LanSockets::ConnWritable(ConnId id) {
    auto it = conns_.find(id);
    if (it == conns_.end()) return;
    NoteLeft(it->second);
    if (HostRelay* r = session_.relay()) r->Writable(id);
}

void LanSockets::PaceFor(ConnId id, Accepted& a, int ms) {
    if (a.pace == nullptr) {
        a.pace = new QTimer(a.socket);
        a.pace->setSingleShot(true);
        a.pace->setTimerType(Qt::PreciseTimer);
        connect(a.pace, &QTimer::timeout, this, [this, id] { ConnWritable(id); });
    }
    a.pace->start(ms);
}

void LanSockets::FindOwnConnection() {
    HostRelay* r = session_.relay();
    if (ownTold_ || r == nullptr || !Connected()) return;
    for (const auto& [id, a] : conns_) {
        const QTcpSocket* s = a.socket;
        if (s == nullptr || s->peerPort() != client_->localPort() || s->localPort() != client_->peerPort() ||
            DottedIPv4(s->peerAddress()) != DottedIPv4(client_->localAddress()))
            continue;
        ownTold_ = true;
        r->SetOwnConnection(id);
        return;
    }
}

void LanSockets::ConnGone(ConnId id) {
    auto it = conns_.find(id);
    if (it == conns_.end()) return;
    QTcpSocket* s = it->second.socket;
    conns_.erase(it);
    HostRelay* r = session_.relay();
    if (s != nullptr) {
        s->disconnect(this);
        // What the side sent before it closed is still its word: the relay
        // gets the bytes the socket holds (a paused sender's included)
        // before it hears of the close.
        const QByteArray rest = s->readAll();
        if (r != nullptr && !rest.isEmpty())
            r->Received(id, reinterpret_cast<const uint8_t*>(rest.constData()), static_cast<size_t>(rest.size()));
        s->deleteLater();
    }
    if (r != nullptr) r->Closed(id);
}

void LanSockets::ConnRead(ConnId id) {
    for (;;) {
        auto it = conns_.find(id);
        HostRelay* r = session_.relay();
        if (it == conns_.end() || !it->second.socket || r == nullptr || !r->Accepting(id)) return;
        const QByteArray bytes = it->second.socket->read(kReadChunkBytes);
        if (bytes.isEmpty()) return;
        r->Received(id, reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
    }
}

void LanSockets::Resume(ConnId id) {
    QMetaObject::invokeMethod(this, [this, id] { ConnRead(id); }, Qt::QueuedConnection);
}

void LanSockets::ReadNow(ConnId id) {
    auto it = conns_.find(id);
    if (it == conns_.end() || !it->second.socket) return;
    // What the system holds for it comes into the socket now, not at the
    // event loop's next turn (its signal reads it as it comes).
    if (HeldBytes(it->second.socket, FIONREAD) > 0) it->second.socket->waitForReadyRead(0);
    ConnRead(id);
}

void LanSockets::ClientUp() {
    session_.AttachClient(this);
    FindOwnConnection();
    emit ClientSettled();
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
    ownTold_ = false;
}

bool LanSockets::ConnectionsGone() const {
    for (const QTcpSocket* s : findChildren<QTcpSocket*>())
        if (s->state() != QAbstractSocket::UnconnectedState) return false;
    return true;
}

bool LanSockets::Connected() const { return client_ && client_->state() == QAbstractSocket::ConnectedState; }

size_t LanSockets::Write(const uint8_t* data, size_t size) { return WriteTo(client_, data, size); }

void LanSockets::Close() {
    QTcpSocket* s = client_;
    client_ = nullptr;
    ownTold_ = false;
    if (s == nullptr) return;
    s->disconnect(this);
    if (s->state() != QAbstractSocket::ConnectedState) {
        Shut(s, this);
        return;
    }
    leaving_.push_back(Leaving{s, Clock::now() + std::chrono::milliseconds(kSendOffMs)});
    if (!sendOff_->isActive()) sendOff_->start();
}

void LanSockets::LookAtLeaving() {
    const Clock::time_point now = Clock::now();
    std::erase_if(leaving_, [this, now](const Leaving& l) {
        if (l.socket && !SentOff(l.socket) && now < l.until) return false;
        if (l.socket) Shut(l.socket, this);
        return true;
    });
    if (leaving_.empty()) sendOff_->stop();
}

void LanSockets::ShutLeaving() {
    std::vector<Leaving> all;
    all.swap(leaving_);
    for (const Leaving& l : all)
        if (l.socket) Shut(l.socket, this);
    sendOff_->stop();
}

std::string LanSockets::LocalAddress() const {
    return client_ ? DottedIPv4(client_->localAddress()).toStdString() : std::string();
}

int LanSockets::LocalPort() const { return client_ && Connected() ? client_->localPort() : -1; }

bool LanSockets::Listening() const { return listenFd_ >= 0; }

// The relay hands over one packet, or the rest of one, per call.
size_t LanSockets::Write(ConnId id, const uint8_t* data, size_t size) {
    auto it = conns_.find(id);
    if (it == conns_.end() || !it->second.socket) return 0;
    Accepted& a = it->second;
    if (!a.partWritten) {
        const int wait = PaceWait(a);
        if (wait != 0) {
            if (wait > 0) PaceFor(id, a, wait);
            return 0;
        }
    }
    const size_t n = WriteTo(a.socket, data, size);
    if (n > 0) {
        a.partWritten = n < size;
        a.leaving = true;
    }
    return n;
}

bool LanSockets::Ready(ConnId id) {
    auto it = conns_.find(id);
    if (it == conns_.end() || !it->second.socket) return false;
    Accepted& a = it->second;
    if (a.partWritten) return true;
    const int wait = PaceWait(a);
    if (wait > 0) PaceFor(id, a, wait);
    return wait == 0;
}

bool LanSockets::NoteLeft(Accepted& a) {
    if (!a.leaving) return true;
    // Bytes still in the socket or in the system's queue would go out
    // together with the next packet.
    if (!a.socket || a.socket->bytesToWrite() > 0 || UnsentBytes(a.socket) > 0) return false;
    a.leaving = false;
    a.leftAt = Clock::now();
    return true;
}

int LanSockets::PaceWait(Accepted& a) {
    if (!NoteLeft(a)) return a.socket && a.socket->bytesToWrite() > 0 ? -1 : kLeavePollMs;
    using std::chrono::milliseconds;
    const auto since = Clock::now() - a.leftAt;
    if (since >= milliseconds(kPacketGapMs)) return 0;
    return static_cast<int>(std::chrono::ceil<milliseconds>(milliseconds(kPacketGapMs) - since).count());
}

void LanSockets::Close(ConnId id) {
    auto it = conns_.find(id);
    if (it == conns_.end()) return;
    QTcpSocket* s = it->second.socket;
    conns_.erase(it);
    CloseGently(s, this);
}

void LanSockets::Stop() {
    auto all = conns_;
    conns_.clear();
    for (auto& [id, a] : all) CloseGently(a.socket, this);
    CloseDoor();
}

}  // namespace jq::net
