// Whole LAN battles over sockets on 127.0.0.1, every side in this one process.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <linux/sockios.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ai/aithread.h"
#include "core/text.h"
#include "net/wire/framer.h"
#include "net/netbattle.h"
#include "net/side/ownmove.h"
#include "net/host/relay.h"
#include "net/host/door.h"
#include "net/ui/lansockets.h"
#include "play/peace.h"
#include "play/turnloop.h"
#include "support/host_moves.h"
#include "support/literal_side.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "view/rotation.h"

namespace jq {
namespace {

using Clock = std::chrono::steady_clock;

struct Side {
    // No screen; the clock stands still (no time-outs); each battle's steps are kept.
    explicit Side(int seat, uint32_t seed) {
        g->ui = &ui;
        ui.onPump = [] { QCoreApplication::processEvents(); };
        ui.duringResult = [this] {
            steps.emplace_back(g->stepRecords, g->stepRecords + std::min(g->stepCount, kMaxSteps));
        };
        g->appFolder = "/nonexistent-jq-folder/";
        g->optionsRecord.netMinMoveIntervalOption = 0, g->myNetSeat = seat;
        g->myNetName = Gb("玩家") + std::to_string(seat);
        g->mainRandom.Seed(seed), work->ownRandom.Seed(seed);
        g->lan = lan.get();
    }
    ~Side() {
        if (worker) worker->Shutdown();
        g->computer = nullptr;
        sockets.reset();
    }
    std::unique_ptr<GameState> g = std::make_unique<GameState>();
    test::RecordingUi ui;
    std::vector<std::vector<StepRec>> steps;
    std::unique_ptr<net::LanSession> lan = std::make_unique<net::LanSession>(*g);
    std::unique_ptr<net::LanSockets> sockets = std::make_unique<net::LanSockets>(*lan);
    std::unique_ptr<AiWorkspace> work = std::make_unique<AiWorkspace>();
    std::unique_ptr<AIDominate> worker;
    std::mutex mutex;  // the worker's hand-overs, for the main thread
    std::deque<std::pair<MoveCand, uint64_t>> handed;
};

bool Pump(const std::function<bool()>& done, Clock::time_point deadline) {
    while (!done()) {
        if (Clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

std::vector<StepRec> TurnedSteps(const std::vector<StepRec>& steps, int turns) {
    auto tmp = std::make_unique<GameState>();
    std::copy(steps.begin(), steps.end(), tmp->stepRecords);
    for (int t = 0; t < turns; ++t) RotateStepRecords(*tmp);
    return {tmp->stepRecords, tmp->stepRecords + steps.size()};
}

// The host (seat 0) and one side per seat in `joiners` play `rounds` battles, each person's seat
// played by the computer player on its own side, the other seats by the host's computer.
void PlayBattles(const std::vector<int>& joiners, uint32_t seed, size_t rounds) {
    // Whole battles last as long as the machine and its load make them: the bound catches only a hang.
    const auto deadline = Clock::now() + std::chrono::seconds(900);
    std::vector<std::unique_ptr<Side>> sides;
    sides.push_back(std::make_unique<Side>(0, seed));
    Side& host = *sides[0];
    host.g->isNetHost = 1;
    host.worker = std::make_unique<AIDominate>(*host.g, [&host](MoveCand m, uint64_t t) {
        std::lock_guard lock(host.mutex);
        host.handed.emplace_back(m, t);
    });
    host.worker->SetSeed(seed);
    host.g->computer = host.worker.get();
    ASSERT_TRUE(host.sockets->Listen(QHostAddress::LocalHost, 0));
    const quint16 port = host.sockets->ListeningPort();

    auto connect = [&](Side& s) {
        s.sockets->ConnectTo("127.0.0.1", port);
        ASSERT_TRUE(Pump([&] { return s.sockets->ClientConnected() && s.lan->ClientActive(); }, deadline));
        s.g->netConnected = 1;
        net::RejoinNetBattle(*s.g);
    };
    connect(host);
    for (int seat : joiners) {
        sides.push_back(std::make_unique<Side>(seat, seed + static_cast<uint32_t>(seat)));
        connect(*sides.back());
    }

    auto allJoined = [&] {
        return std::all_of(joiners.begin(), joiners.end(), [&](int s) { return host.g->seatTable[s].state == 1; });
    };
    auto allEnded = [&] {
        return std::all_of(sides.begin(), sides.end(), [&](auto& s) { return s->ui.results.size() >= rounds; });
    };
    size_t started = 0;
    while (!allEnded() && Clock::now() < deadline) {
        QCoreApplication::processEvents();
        for (auto& s : sides) {
            GameState& g = *s->g;
            if (s->ui.results.size() == rounds) continue;  // this side has played
            TickMainTimer(g);
            net::FinishOwnDeployment(g);  // deployed as dealt
            net::SendOwnComputerMove(g, *s->work);
        }
        if (started < rounds && started == host.ui.results.size() && host.g->netState == net::kNetWaiting &&
            allJoined()) {
            net::HostStartsBattle(*host.g);
            ++started;
        }
        const auto moves = [&] { std::lock_guard lock(host.mutex); return std::exchange(host.handed, {}); }();
        for (const auto& [m, t] : moves) ExecuteComputerMove(*host.g, m, t);
    }
    std::string where;
    for (auto& s : sides)
        where += " seat/state/steps/inbox " + std::to_string(s->g->myNetSeat) + "/" + std::to_string(s->g->netState) +
                 "/" + std::to_string(s->g->stepCount) + "/" + std::to_string(s->lan->InboxSize());
    ASSERT_TRUE(allEnded()) << "the battle did not end in time:" << where;

    // The same battles on every side, each in its own view; results seen from local seats 0 and 2.
    for (size_t round = 0; round < rounds; ++round) {
        EXPECT_GT(host.steps[round].size(), 20u);
        const int r = host.ui.results[round];
        for (auto& s : sides) {
            const int seat = s->g->myNetSeat;
            EXPECT_EQ(s->steps[round], TurnedSteps(host.steps[round], seat)) << "side " << seat << " battle " << round;
            EXPECT_EQ(s->ui.results[round], seat % 2 == 0 || r == 2 ? r : 1 - r) << "side " << seat;
        }
    }
    for (auto& s : sides)
        for (const std::string& box : s->ui.messages)
            EXPECT_EQ(box.find(Gb("无法")), std::string::npos) << Utf8FromGb(box);
}

TEST(LanLoopback, HostAndThreeSidesPlayTwoWholeBattles) { PlayBattles({1, 2, 3}, 7, 2); }

TEST(LanLoopback, HostComputerSeatsDeployAndMove) { PlayBattles({2}, 11, 1); }

// A side on a plain non-blocking socket to a host in this process: every
// wait pumps the host's events.
class PlainSide {
public:
    // `from`: the address it connects from, in 127.0.0.0/8.
    PlainSide(quint16 port, int receiveBufferBytes = 0, uint32_t from = INADDR_LOOPBACK) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBufferBytes > 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
        sockaddr_in a{};
        if (from != INADDR_LOOPBACK) {
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(from);
            ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        }
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        up_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    }
    ~PlainSide() { Close(); }
    bool Up() const { return up_; }
    int LocalPort() const {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        return ntohs(a.sin_port);
    }
    bool Send(const net::Packet& p, Clock::time_point deadline) {
        for (size_t at = 0; at < p.size();) {
            const ssize_t n = ::send(fd_, p.data() + at, p.size() - at, MSG_NOSIGNAL);
            if (n > 0) at += static_cast<size_t>(n);
            else if (n < 0 && errno == EAGAIN && Clock::now() < deadline) QCoreApplication::processEvents();
            else return false;
        }
        return true;
    }
    // Reads what has come; the packets so far.
    const std::vector<net::Packet>& Read() {
        uint8_t buf[4096];
        for (ssize_t n; fd_ >= 0 && (n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT)) > 0;)
            framer_.Feed(buf, static_cast<size_t>(n));
        while (auto p = framer_.Next()) got_.push_back(std::move(*p));
        return got_;
    }
    size_t Count(net::Word w) {
        Read();
        return static_cast<size_t>(std::count_if(got_.begin(), got_.end(), [w](const net::Packet& p) { return net::PacketWord(p) == w; }));
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
    bool up_ = false;
    net::PacketFramer framer_;
    std::vector<net::Packet> got_;
};

net::Packet JoinOf(int seat, const char* name) {
    SeatRec r;
    PutBoundedText(r.name, sizeof r.name, name);
    r.seat = seat, r.state = 1;
    return net::EncodeJoin(r);
}

// The sides are let in, and named 1, 2, ... in this order: a connection waits at the door until it has spoken,
// so each says a word that means nothing from a connection without a seat.
bool LetIn(std::initializer_list<PlainSide*> sides, net::HostRelay& relay, Clock::time_point deadline) {
    net::ConnId id = 0;
    for (PlainSide* side : sides)
        if (!side->Send(net::EncodeChat({3, "hello"}), deadline) ||
            !Pump([&] { return relay.Accepting(id + 1); }, deadline))
            return false;
        else
            ++id;
    return true;
}

// A host listening on 127.0.0.1 with no side of its own: the tests play its sides on plain sockets.
struct BareHost {
    BareHost() {
        g->ui = &ui;
        g->isNetHost = g->netConnected = 1;
        g->netState = net::kNetJoinSent;
        listening = sockets.Listen(QHostAddress::LocalHost, 0);
    }
    std::unique_ptr<GameState> g = std::make_unique<GameState>();
    test::RecordingUi ui;
    net::LanSession lan{*g};
    net::LanSockets sockets{lan};
    bool listening = false;
};

// The host's own side has joined; four bare connections hold every idle place of 127.0.0.1. A newcomer
// connects and sends his join, and eight more bare connections follow before the host has read anything: his
// join is read when he is accepted, so he is seated, never closed for the idle ones after him.
TEST(LanLoopback, AJoinSentWithItsConnectionIsReadWhenItIsAccepted) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    Side host(0, 3);
    host.g->isNetHost = 1;
    ASSERT_TRUE(host.sockets->Listen(QHostAddress::LocalHost, 0));
    const quint16 port = host.sockets->ListeningPort();
    host.sockets->ConnectTo("127.0.0.1", port);
    ASSERT_TRUE(Pump([&] { return host.sockets->ClientConnected() && host.lan->ClientActive(); }, deadline));
    host.g->netConnected = 1;
    net::RejoinNetBattle(*host.g);
    ASSERT_TRUE(Pump([&] { return host.lan->relay()->Seat(0).state == 1; }, deadline));
    std::vector<std::unique_ptr<PlainSide>> bare;
    const auto more = [&](int n) {
        for (int i = 0; i < n; ++i) bare.push_back(std::make_unique<PlainSide>(port));
    };
    more(net::kMaxIdlePerAddress);
    Pump([] { return false; }, Clock::now() + std::chrono::milliseconds(200));
    PlainSide newcomer(port);
    ASSERT_TRUE(newcomer.Send(JoinOf(1, "new"), deadline));
    more(2 * net::kMaxIdlePerAddress);
    EXPECT_TRUE(Pump([&] { return newcomer.Count(net::Word::kJoinLast) > 0; }, Clock::now() + std::chrono::seconds(5)));
    EXPECT_EQ(host.lan->relay()->Seat(1).state, 1);
}

// Whoever waits for a connection goes on as soon as it is up, or has failed,
// not at his next look: the window sends its join with its connection.
TEST(LanLoopback, AConnectionSettlingEndsTheWaitAtOnce) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    const quint16 open = listener.serverPort();
    // A port held bound but not listening: nobody answers on it, and no other connection can take it meanwhile.
    const int held = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ASSERT_EQ(::bind(held, reinterpret_cast<sockaddr*>(&at), size), 0);
    ASSERT_EQ(::getsockname(held, reinterpret_cast<sockaddr*>(&at), &size), 0);
    const quint16 shut = ntohs(at.sin_port);
    const std::unique_ptr<const int, void (*)(const int*)> closeHeld(&held, [](const int* fd) { ::close(*fd); });
    for (const quint16 port : {open, shut}) {
        Side side(1, 3);
        int settled = 0;
        QObject::connect(side.sockets.get(), &net::LanSockets::ClientSettled, [&] { ++settled; });
        side.sockets->ConnectTo("127.0.0.1", port);
        EXPECT_TRUE(Pump([&] { return settled > 0; }, deadline)) << port;
        EXPECT_EQ(side.sockets->ClientConnected(), port == open);
        EXPECT_EQ(side.sockets->clientErrorMark != 0, port == shut);
    }
}

// Connections that have not said a whole word wait at the door as bare descriptors: no socket is made for them
// and the relay never hears of them. One address's waiting connections are bounded (one more is closed as it
// comes); a connection that has sent part of a join is let in once the rest comes.
TEST(LanLoopback, ConnectionsWaitAtTheDoorUntilTheySpeak) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    BareHost host;
    ASSERT_TRUE(host.listening);
    const quint16 port = host.sockets.ListeningPort();
    const auto socketsMade = [&] { return host.sockets.findChildren<QTcpSocket*>().size(); };
    PlainSide half(port);
    const net::Packet join = JoinOf(1, "half");
    const net::Packet head(join.begin(), join.end() - 1);
    ASSERT_TRUE(half.Send(head, deadline));
    std::vector<std::unique_ptr<PlainSide>> bare;
    for (int i = 1; i < net::kDoorWaitingPerAddress; ++i) bare.push_back(std::make_unique<PlainSide>(port));
    Pump([] { return false; }, Clock::now() + std::chrono::milliseconds(300));
    EXPECT_EQ(socketsMade(), 0);
    PlainSide extra(port);
    const auto closedByHost = [&] {
        char c;
        const ssize_t n = ::recv(extra.Fd(), &c, 1, MSG_PEEK | MSG_DONTWAIT);
        return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    };
    EXPECT_TRUE(Pump(closedByHost, deadline));
    ASSERT_TRUE(half.Send(net::Packet(join.end() - 1, join.end()), deadline));
    EXPECT_TRUE(Pump([&] { return host.lan.relay()->Accepting(1); }, deadline));
    EXPECT_EQ(socketsMade(), 1);
}

// 240 joins from 30 addresses wait at the door, spoken, when one more comes from the address that holds seat 1:
// the seat's last holder is let in first, whatever came before him (in the order they came he would be last).
TEST(LanLoopback, ASeatsLastHolderIsLetInBeforeAFloodOfJoins) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    BareHost host;
    ASSERT_TRUE(host.listening);
    const quint16 port = host.sockets.ListeningPort();
    net::HostRelay& relay = *host.lan.relay();
    PlainSide own(port), holder(port);
    ASSERT_TRUE(LetIn({&own, &holder}, relay, deadline));
    relay.SetOwnConnection(1);
    ASSERT_TRUE(own.Send(JoinOf(0, "host"), deadline));
    ASSERT_TRUE(Pump([&] { return own.Count(net::Word::kJoinLast) == 1; }, deadline));
    ASSERT_TRUE(holder.Send(JoinOf(1, "holder"), deadline));
    ASSERT_TRUE(Pump([&] { return relay.Seat(1).state == 1; }, deadline));

    std::vector<std::unique_ptr<PlainSide>> flood;
    for (uint32_t a = 1; a <= 30; ++a)
        for (int k = 0; k < net::kDoorWaitingPerAddress; ++k) {
            flood.push_back(std::make_unique<PlainSide>(port, 0, 0x7F000900 + a));
            ASSERT_TRUE(flood.back()->Send(JoinOf(0, "flood"), deadline));
        }
    PlainSide back(port);
    ASSERT_TRUE(back.Send(JoinOf(2, "back"), deadline));
    ASSERT_TRUE(Pump([&] { return back.Count(net::Word::kJoinLast) == 1; }, deadline));
    const auto answered = std::count_if(flood.begin(), flood.end(), [](const auto& f) {
        char c;
        const ssize_t n = ::recv(f->Fd(), &c, 1, MSG_PEEK | MSG_DONTWAIT);
        return f->Count(net::Word::kJoinRefuse) > 0 || n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    });
    EXPECT_LE(answered, net::kDoorIn.burst);
}

// Seat 2 reads nothing while seat 1 says as many chat lines a second as its
// budget lets go on: once seat 1's share of seat 2's queue is full, the host
// stops taking its bytes. Seat 1 then sends its last lines and deployment and
// "JoinCancel" and closes. The host's socket reports the close while those
// bytes are still unread: its "JoinCancel" is its word all the same and
// reaches the others in its turn, after the lines relayed before it; its
// lines over the budget go nowhere.
TEST(LanLoopback, WhatASideSentBeforeItClosedIsRelayed) {
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    BareHost host;
    ASSERT_TRUE(host.listening);
    net::LanSockets& sockets = host.sockets;
    const quint16 port = sockets.ListeningPort();
    net::HostRelay& relay = *host.lan.relay();
    auto pumpUntil = [&](const std::function<bool()>& done) { return Pump(done, deadline); };
    auto socketsOpen = [&] { return static_cast<size_t>(sockets.findChildren<QTcpSocket*>().size()); };

    // Connections 1, 2, 3 in this order: the host's own, seat 1, seat 2.
    PlainSide own(port), talker(port), deaf(port, 4096);
    ASSERT_TRUE(own.Up() && talker.Up() && deaf.Up());
    ASSERT_TRUE(LetIn({&own, &talker, &deaf}, relay, deadline));
    relay.SetOwnConnection(1);
    ASSERT_TRUE(own.Send(JoinOf(0, "host"), deadline));
    ASSERT_TRUE(pumpUntil([&] { return own.Count(net::Word::kJoinLast) == 1; }));
    ASSERT_TRUE(talker.Send(JoinOf(1, "talker"), deadline));
    ASSERT_TRUE(deaf.Send(JoinOf(2, "deaf"), deadline));
    ASSERT_TRUE(pumpUntil([&] { return relay.Seat(1).state == 1 && relay.Seat(2).state == 1; }));
    ASSERT_TRUE(own.Send(net::EncodeSeatWord(net::Word::kJoinOk, 0), deadline));
    ASSERT_TRUE(pumpUntil([&] { return own.Count(net::Word::kJoinOk) == 1; }));

    size_t sent = 0;
    while (relay.Accepting(2)) {
        for (int i = 0; i < 2; ++i)
            ASSERT_TRUE(talker.Send(net::EncodeChat({1, std::to_string(sent++)}), deadline));
        ASSERT_TRUE(pumpUntil([&] {
            talker.Read();
            return own.Count(net::Word::kChatMessage) == sent || !relay.Accepting(2);
        }));
        host.ui.clock.seconds += 1;
    }
    const size_t before = socketsOpen();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(talker.Send(net::EncodeChat({1, std::to_string(sent++)}), deadline));
    net::SwitchEndBody army{{}, 1};
    std::copy(test::kArmy, test::kArmy + kPiecesPerSeat, army.codes);
    ASSERT_TRUE(talker.Send(net::EncodeSwitchEnd(army), deadline));
    ASSERT_TRUE(talker.Send(net::EncodeSeatWord(net::Word::kJoinCancel, 1), deadline));
    talker.Close();
    ASSERT_TRUE(pumpUntil([&] { own.Read(); return socketsOpen() < before; }));

    ASSERT_TRUE(Pump(
        [&] {
            deaf.Read();
            return own.Count(net::Word::kJoinCancel) == 1 || own.Count(net::Word::kChatMessage) > sent;
        },
        std::min(deadline, Clock::now() + std::chrono::seconds(20))));
    EXPECT_EQ(relay.Seat(1).state, 0);
    const auto& got = own.Read();
    std::vector<std::string> chats;
    for (const net::Packet& p : got)
        if (auto c = net::DecodeChat(p)) chats.push_back(c->text);
    ASSERT_GE(chats.size(), (net::kSenderShare - net::kRoomPerPacket) / net::EncodeChat({1, ""}).size());
    ASSERT_LE(chats.size(), sent);
    for (size_t i = 0; i < chats.size(); ++i) EXPECT_EQ(chats[i], std::to_string(i));
    // Its deployment, unread when it closed, is its word as well.
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(net::PacketWord(got[got.size() - 2]), net::Word::kSwitchEnd);
    EXPECT_EQ(net::DecodeSeatWord(got.back(), net::Word::kJoinCancel), 1);
}

// One whole packet of one of the fifteen words, of its length, and nothing else.
// The whole packets a read holds, in order; none when it holds part of one.
std::vector<net::Packet> WholePackets(const net::Packet& read) {
    net::PacketFramer f;
    f.Feed(read.data(), read.size());
    std::vector<net::Packet> packets;
    while (std::optional<net::Packet> p = f.Next()) packets.push_back(std::move(*p));
    if (f.Broken() || f.Buffered() != 0) packets.clear();
    return packets;
}

// A side that knows no framing: each read (one recvmsg() of up to 6000
// bytes) is one packet to it when it comes in time. It runs on its own thread, as a side on another
// computer would, and plays seat `seat` as the protocol tells it: "Join",
// its army once the host has started, a legal move on each of its turns
// (an attack every other turn), until its battle ends; or until a read holds
// anything but whole packets, which leaves it lost (several in a read: it
// came late to the read).
struct OneReadOnePacketSide {
    OneReadOnePacketSide(quint16 port, int seat) : seat(seat), side(seat) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const timeval wait{0, 100000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        const int on = 1;  // each read says when its last byte arrived
        ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        up = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~OneReadOnePacketSide() { ::close(fd); }

    void Send(const net::Packet& p) {
        for (size_t at = 0; up && at < p.size();) {
            const ssize_t n = ::send(fd, p.data() + at, p.size() - at, MSG_NOSIGNAL);
            if (n > 0) at += static_cast<size_t>(n);
            else if (n < 0 && errno == EINTR) continue;
            else up = false;
        }
    }

    std::optional<net::MoveQzBody> OwnMove(bool fights) {
        auto g = std::make_unique<GameState>();
        for (int i = 0; i < kPieceCount; ++i) {
            const testing::LiteralPiece& lp = side.board()[static_cast<size_t>(i)];
            PieceRec& pc = g->pieces[static_cast<size_t>(i)];
            pc.x = lp.x, pc.y = lp.y, pc.code = lp.code, pc.alive = lp.alive;
        }
        std::vector<MoveCand> moves = test::LegalMoves(*g, fights, seat);
        if (moves.empty()) moves = test::LegalMoves(*g, !fights, seat);
        if (moves.empty()) return std::nullopt;
        return test::InSenderView(moves[static_cast<size_t>(side.steps() * 7) % moves.size()], seat);
    }

    void Play(Clock::time_point deadline) {
        Send(JoinOf(seat, "literal"));
        bool deployed = false;
        int movedAt = -1;
        std::vector<uint8_t> buf(6000);
        while (up && !stop && Clock::now() < deadline && side.result() == testing::kNoResult) {
            iovec into{buf.data(), buf.size()};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
            msghdr m{};
            m.msg_iov = &into, m.msg_iovlen = 1, m.msg_control = control, m.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(fd, &m, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) up = false;
            if (n <= 0) continue;
            Read read{net::Packet(buf.begin(), buf.begin() + n), -1};
            for (cmsghdr* c = CMSG_FIRSTHDR(&m); c != nullptr; c = CMSG_NXTHDR(&m, c))
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec t;
                    std::memcpy(&t, CMSG_DATA(c), sizeof t);
                    read.arrivedNs = int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
                }
            reads.push_back(read);
            const std::vector<net::Packet> packets = WholePackets(read.bytes);
            if (packets.empty()) break;
            for (const net::Packet& p : packets) side.Apply(p);
            if (!deployed && side.netState() >= net::kNetDeployBegins && side.netState() < net::kNetBattle) {
                net::SwitchEndBody army{{}, seat};
                std::copy(test::kArmy, test::kArmy + kPiecesPerSeat, army.codes);
                Send(net::EncodeSwitchEnd(army));
                deployed = true;
            }
            if (side.running() && side.seatToMove() == seat && side.steps() != movedAt) {
                movedAt = side.steps();
                net::MoveQzBody move{MoveCand{}, seat};
                if (auto m = OwnMove(++turns % 2 == 0)) move = *m;
                else MakeGiveUpMove(move.move, 0);
                Send(net::EncodeMoveQz(move));
            }
        }
        ended = side.result() != testing::kNoResult;
        done = true;
    }

    int seat;
    int fd = -1;
    bool up = false;
    int turns = 0;
    testing::LiteralSide side;
    struct Read {
        net::Packet bytes;
        int64_t arrivedNs;  // when its last byte reached this computer's socket
    };
    std::vector<Read> reads;
    // For the host's thread while this one plays: it has stopped, having seen its battle end.
    std::atomic<bool> stop{false}, done{false}, ended{false};
};

// Every packet the host sends reaches a side a gap after the one before, the
// four that start a battle included, so a side that takes each read as one
// packet plays a whole battle against the host's computer and ends where the
// host ends.
TEST(LanLoopback, ASideTakingEachReadAsOnePacketPlaysAWholeBattle) {
    const auto deadline = Clock::now() + std::chrono::seconds(900);  // a whole battle: the bound catches a hang
    constexpr int kSeat = 2;
    Side host(0, 5);
    host.g->isNetHost = 1;
    host.worker = std::make_unique<AIDominate>(*host.g, [&host](MoveCand m, uint64_t t) {
        std::lock_guard lock(host.mutex);
        host.handed.emplace_back(m, t);
    });
    host.worker->SetSeed(5);
    host.g->computer = host.worker.get();
    // The host's copy as the battle ended (its next round starts afresh).
    std::unique_ptr<GameState> copy;
    host.ui.duringResult = [&] { copy = std::make_unique<GameState>(host.lan->relay()->Referee()); };
    ASSERT_TRUE(host.sockets->Listen(QHostAddress::LocalHost, 0));
    host.sockets->ConnectTo("127.0.0.1", host.sockets->ListeningPort());
    ASSERT_TRUE(Pump([&] { return host.sockets->ClientConnected() && host.lan->ClientActive(); }, deadline));
    host.g->netConnected = 1;
    net::RejoinNetBattle(*host.g);

    OneReadOnePacketSide literal(host.sockets->ListeningPort(), kSeat);
    ASSERT_TRUE(literal.up);
    std::thread reader([&] { literal.Play(deadline); });
    bool started = false;
    // Until the battle has ended on both, or the literal side is lost.
    while (!(literal.done && (copy != nullptr || !literal.ended)) && Clock::now() < deadline) {
        QCoreApplication::processEvents();
        if (host.ui.results.empty()) {
            TickMainTimer(*host.g);
            net::FinishOwnDeployment(*host.g);
            net::SendOwnComputerMove(*host.g, *host.work);
        }
        if (!started && host.g->netState == net::kNetWaiting && host.g->seatTable[kSeat].state == 1) {
            net::HostStartsBattle(*host.g);
            started = true;
        }
        const auto moves = [&] { std::lock_guard lock(host.mutex); return std::exchange(host.handed, {}); }();
        for (const auto& [m, t] : moves) ExecuteComputerMove(*host.g, m, t);
    }
    literal.stop = true;
    reader.join();

    size_t moves = 0, deployments = 0, starts = 0, unstamped = 0;
    // Every packet reached the side a gap after the one before, whatever the reads: a side that comes to
    // its reads in time takes one packet each; one that came late (a loaded machine) finds several.
    const int64_t gapNs = int64_t{net::LanSockets::kPacketGapMs} * 1000000, slackNs = 2000000;
    for (size_t i = 0; i < literal.reads.size(); ++i) {
        const auto& [r, at] = literal.reads[i];
        const std::vector<net::Packet> packets = WholePackets(r);
        ASSERT_FALSE(packets.empty()) << "read " << i << " of " << r.size() << " bytes: "
                                      << std::string(r.begin(), r.begin() + std::min<size_t>(r.size(), 20));
        // The kernel starts stamping arrivals a moment after it is asked to: a loaded machine may leave the
        // first reads without a time. Those pairs are not judged; nearly every read is.
        unstamped += at < 0;
        if (i > 0 && at >= 0 && literal.reads[i - 1].arrivedNs >= 0) {
            EXPECT_GE(at - literal.reads[i - 1].arrivedNs, static_cast<int64_t>(packets.size()) * gapNs - slackNs)
                << "read " << i << " holds " << packets.size() << " packets";
        }
        for (const net::Packet& p : packets) {
            moves += net::PacketWord(p) == net::Word::kMoveQz;
            deployments += net::PacketWord(p) == net::Word::kSwitchEnd;
            starts += net::PacketWord(p) == net::Word::kAllSwitchEnd;
        }
    }
    EXPECT_LE(unstamped * 10, literal.reads.size()) << "too few reads have an arrival time to judge the gaps";
    ASSERT_TRUE(copy != nullptr && literal.done)
        << "host at step " << host.g->stepCount << ", literal side at step " << literal.side.steps();
    EXPECT_EQ(deployments, 4u);
    EXPECT_EQ(starts, 1u);
    EXPECT_GT(moves, 20u);
    // The battle ended on the literal side where it ended on the host's copy, with the host's result.
    EXPECT_EQ(testing::Parting(literal.side, *copy), "");
    EXPECT_EQ(literal.side.result(), host.ui.results[0]);
    EXPECT_EQ(literal.side.endedAt(), copy->stepCount);
    EXPECT_EQ(literal.side.movesOutsideBattle(), 0);
}

// A burst of packets for one side leaves the host a gap apart, and the host's
// connections are probed while idle, so that one whose side has vanished
// without a word is found within half a minute; one the side resets is
// closed at once.
TEST(LanLoopback, TheHostPacesEachConnectionAndFindsDeadOnes) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    BareHost host;
    ASSERT_TRUE(host.listening);
    net::LanSockets& sockets = host.sockets;
    const quint16 port = sockets.ListeningPort();
    net::HostRelay& relay = *host.lan.relay();
    auto pumpUntil = [&](const std::function<bool()>& done) { return Pump(done, deadline); };

    PlainSide own(port), talker(port);
    ASSERT_TRUE(own.Up() && talker.Up());
    ASSERT_TRUE(LetIn({&own, &talker}, relay, deadline));
    const QList<QTcpSocket*> accepted = sockets.findChildren<QTcpSocket*>();
    ASSERT_EQ(accepted.size(), 2);
    for (QTcpSocket* s : accepted) {
        const int fd = static_cast<int>(s->socketDescriptor());
        auto get = [fd](int level, int option) {
            int v = -1;
            socklen_t len = sizeof v;
            return ::getsockopt(fd, level, option, &v, &len) == 0 ? v : -1;
        };
        EXPECT_EQ(get(SOL_SOCKET, SO_KEEPALIVE), 1);
        EXPECT_EQ(get(IPPROTO_TCP, TCP_NODELAY), 1);
        const int idle = get(IPPROTO_TCP, TCP_KEEPIDLE), interval = get(IPPROTO_TCP, TCP_KEEPINTVL);
        const int count = get(IPPROTO_TCP, TCP_KEEPCNT), unanswered = get(IPPROTO_TCP, TCP_USER_TIMEOUT);
        EXPECT_TRUE(idle > 0 && interval > 0 && count > 0 && idle + interval * count <= 30)
            << idle << " " << interval << " " << count;
        EXPECT_TRUE(unanswered > 0 && unanswered <= 30000) << unanswered;
    }

    relay.SetOwnConnection(1);
    ASSERT_TRUE(own.Send(JoinOf(0, "host"), deadline));
    ASSERT_TRUE(talker.Send(JoinOf(1, "talker"), deadline));
    ASSERT_TRUE(pumpUntil([&] { return relay.Seat(1).state == 1; }));
    // Two lines in one write: the last reaches the host's own side a gap after the one before.
    constexpr size_t kLines = 2;
    net::Packet lines;
    for (size_t i = 0; i < kLines; ++i) {
        const net::Packet p = net::EncodeChat({1, std::to_string(i)});
        lines.insert(lines.end(), p.begin(), p.end());
    }
    ASSERT_TRUE(talker.Send(lines, deadline));
    ASSERT_TRUE(pumpUntil([&] { return own.Count(net::Word::kChatMessage) >= 1; }));
    const auto first = Clock::now();
    ASSERT_TRUE(pumpUntil([&] { return own.Count(net::Word::kChatMessage) == kLines; }));
    EXPECT_GE(Clock::now() - first,
              std::chrono::milliseconds(net::LanSockets::kPacketGapMs * static_cast<int>(kLines - 1) - 20));

    // The talker resets its connection: its seat is free again, and the others are told.
    const linger reset{1, 0};
    ASSERT_EQ(::setsockopt(talker.Fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
    talker.Close();
    ASSERT_TRUE(pumpUntil([&] { return own.Count(net::Word::kJoinCancel) == 1; }));
    EXPECT_EQ(relay.Seat(1).state, 0);
    EXPECT_FALSE(relay.Accepting(2));
    EXPECT_EQ(sockets.findChildren<QTcpSocket*>().size(), 1);
}

// A joining side that leaves sends "JoinCancel" and closes its connection, and "退  出" ends the program
// at once: a plain listening socket in the host's place has the word all the same.
TEST(LanLoopback, ALeavingSidesJoinCancelReachesTheHost) {
    const std::pair<const char*, std::function<void(GameState&)>> rows[] = {
        {"退  出", [](GameState& g) { ExitProgram(g); }},
        {"退出网战", [](GameState& g) { net::LeaveWaitingRoom(g), net::HandleNetBattle(g); }},
    };
    for (const auto& [what, leave] : rows) {
        SCOPED_TRACE(what);
        QTcpServer host;
        ASSERT_TRUE(host.listen(QHostAddress::LocalHost));
        Side side(2, 5);
        side.sockets->ConnectTo("127.0.0.1", host.serverPort());
        ASSERT_TRUE(Pump([&] { return side.lan->ClientActive() && host.hasPendingConnections(); },
                         Clock::now() + std::chrono::seconds(10)));
        side.g->netConnected = 1;
        net::RejoinNetBattle(*side.g);
        side.g->seatTable[2].state = 1;  // the host has given the seat
        leave(*side.g);
        side.sockets.reset();  // the program ends with its window
        QTcpSocket* log = host.nextPendingConnection();
        while (log->waitForReadyRead(3000)) continue;  // until the side's close
        const QByteArray got = log->readAll();
        EXPECT_TRUE(got.startsWith("Join ") && got.count("JoinCancel") == 1) << got.size();
    }
}

// A host on a plain socket with a small receive window that reads only when told: once a side has
// filled the window, what it writes next waits in its own system, unacknowledged.
class SlowHost {
public:
    SlowHost() {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(listen_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(listen_, 1) == 0 &&
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port_ = ntohs(a.sin_port);
    }
    ~SlowHost() {
        if (fd_ >= 0) ::close(fd_);
        ::close(listen_);
    }
    // The side joins seat 2 and then writes filler until the window is full.
    bool Joined(Side& side, Clock::time_point deadline) {
        if (port_ == 0) return false;
        side.sockets->ConnectTo("127.0.0.1", port_);
        if (!Pump([&] { return side.lan->ClientActive(); }, deadline)) return false;
        fd_ = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK);
        side.g->netConnected = 1;
        net::RejoinNetBattle(*side.g);
        side.g->seatTable[2].state = 1;  // the host has given the seat
        const QTcpSocket* s = side.sockets->findChild<QTcpSocket*>();
        auto unacknowledged = [s] {
            int n = 0;
            return ::ioctl(static_cast<int>(s->socketDescriptor()), SIOCOUTQ, &n) == 0 ? n : 0;
        };
        const std::string filler(1024, 'x');
        auto full = [&] {
            if (s->bytesToWrite() > 0) return false;
            if (unacknowledged() > 2 * static_cast<int>(filler.size())) return true;
            side.sockets->Write(reinterpret_cast<const uint8_t*>(filler.data()), filler.size());
            return false;
        };
        return fd_ >= 0 && Pump(full, deadline);
    }
    // Sends the side `n` bytes, which it no longer reads.
    bool Send(size_t n, Clock::time_point deadline) {
        const std::string bytes(n, 'y');
        for (size_t at = 0; at < n;) {
            const ssize_t k = ::send(fd_, bytes.data() + at, n - at, MSG_NOSIGNAL);
            if (k > 0) at += static_cast<size_t>(k);
            else if (k < 0 && errno == EAGAIN && Clock::now() < deadline) QCoreApplication::processEvents();
            else return false;
        }
        return true;
    }
    // Reads until the side's close (or reset), the side's events running meanwhile.
    QByteArray ReadToEnd(Clock::time_point deadline) {
        QByteArray got;
        char buf[4096];
        while (Clock::now() < deadline) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n > 0) got.append(buf, n);
            else if (n < 0 && errno == EAGAIN) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            else break;
        }
        return got;
    }

private:
    int listen_ = -1;
    int fd_ = -1;
    quint16 port_ = 0;
};

const auto kLeaveRoom = [](GameState& g) { net::LeaveWaitingRoom(g), net::HandleNetBattle(g); };

// A side leaving a host that takes nothing more (it has paused the side, or it is gone): the close
// returns at once, the window's timer goes on ticking while the last bytes wait, and the connection
// is let go when the bound has passed.
TEST(LanLoopback, ALeavingSideKeepsTheWindowLiveWhileTheHostTakesNothing) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    SlowHost host;
    Side side(2, 5);
    ASSERT_TRUE(host.Joined(side, deadline));
    std::vector<Clock::time_point> ticks;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ticks.push_back(Clock::now()); });
    tick.start(10);
    const auto left = Clock::now();
    kLeaveRoom(*side.g);
    const auto back = Clock::now();
    EXPECT_FALSE(side.sockets->ClientConnected());
    EXPECT_FALSE(side.sockets->ConnectionsGone());
    using std::chrono::milliseconds;
    EXPECT_TRUE(Pump([&] { return side.sockets->ConnectionsGone(); },
                     left + milliseconds(net::LanSockets::kSendOffMs + 2000)));
    const auto gone = Clock::now();
    ticks.push_back(gone);
    auto longest = back - left;
    for (size_t i = 1; i < ticks.size(); ++i) longest = std::max(longest, ticks[i] - ticks[i - 1]);
    auto ms = [](Clock::duration d) { return std::chrono::duration_cast<milliseconds>(d).count(); };
    // A close that waited for the host would stop the window for the whole bound; a loaded machine stops
    // it for a while too, never that long.
    const milliseconds live(net::LanSockets::kSendOffMs * 2 / 3);
    EXPECT_LT(back - left, live) << ms(back - left) << " ms in the close";
    EXPECT_LT(longest, live) << ms(longest) << " ms without a tick";
    EXPECT_GE(gone - left, milliseconds(net::LanSockets::kSendOffMs - 50)) << ms(gone - left) << " ms, gone";
}

// What a leaving side wrote last is let go only once the host has acknowledged it: a host that reads
// late, and meanwhile sends the side bytes it no longer reads, gets the side's "JoinCancel" all the same.
TEST(LanLoopback, ALeavingSidesLastWordWaitsForAHostThatReadsLate) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    SlowHost host;
    Side side(2, 5);
    ASSERT_TRUE(host.Joined(side, deadline));
    kLeaveRoom(*side.g);
    ASSERT_TRUE(host.Send(64 * 1024, deadline));
    Pump([] { return false; }, Clock::now() + std::chrono::milliseconds(300));
    const QByteArray got = host.ReadToEnd(deadline);
    const net::Packet p = net::EncodeSeatWord(net::Word::kJoinCancel, 2);
    const QByteArray cancel(reinterpret_cast<const char*>(p.data()), static_cast<int>(p.size()));
    EXPECT_TRUE(got.endsWith(cancel)) << got.size() << " bytes";
    EXPECT_TRUE(Pump([&] { return side.sockets->ConnectionsGone(); }, deadline));
}

// A new join while the last connection is still closing: that one is closed at once, and what the side
// tells is the new connection's.
TEST(LanLoopback, ANewJoinClosesTheConnectionStillClosing) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    SlowHost last;
    Side side(2, 5);
    ASSERT_TRUE(last.Joined(side, deadline));
    kLeaveRoom(*side.g);
    QTcpServer next;
    ASSERT_TRUE(next.listen(QHostAddress::LocalHost));
    side.sockets->ConnectTo("127.0.0.1", next.serverPort());
    EXPECT_FALSE(side.sockets->ClientConnected());
    ASSERT_TRUE(Pump([&] { return side.sockets->ClientConnected() && next.hasPendingConnections(); },
                     deadline));
    int open = 0;
    for (const QTcpSocket* s : side.sockets->findChildren<QTcpSocket*>())
        open += s->state() != QAbstractSocket::UnconnectedState ? 1 : 0;
    EXPECT_EQ(open, 1);
    EXPECT_FALSE(side.sockets->ConnectionsGone());
    EXPECT_TRUE(last.ReadToEnd(deadline).contains("JoinCancel"));
    side.g->netConnected = 1;
    net::RejoinNetBattle(*side.g);
    QTcpSocket* log = next.nextPendingConnection();
    ASSERT_TRUE(Pump([&] { return log->bytesAvailable() > 0; }, deadline));
    EXPECT_TRUE(log->readAll().startsWith("Join "));
}

}  // namespace
}  // namespace jq
