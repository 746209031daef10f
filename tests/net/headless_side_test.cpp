// LAN battles between junqi-lan processes on 127.0.0.1.
#include <gtest/gtest.h>

#include <QProcess>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "core/board.h"
#include "core/options.h"
#include "core/text.h"
#include "net/wire/framer.h"
#include "net/host/relay.h"
#include "records/battlefile.h"
#include "support/files_support.h"
#include "support/host_moves.h"
#include "support/literal_side.h"
#include "support/scene.h"

namespace jq {
namespace {

const QString kTool = QStringLiteral(JQ_BINARY_DIR "/bin/junqi-lan");

// A port held bound but not listening: nobody answers on it, and no other
// process can take it meanwhile.
struct DeafPort {
    DeafPort() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ~DeafPort() { ::close(fd); }
    int fd = -1;
    int port = 0;
};

// No pause before computer moves, short LAN times.
void WriteOptions(const test::ScratchFolder& dir, int disconnectSeconds, int moveSeconds = kDefaultNetMoveTime) {
    OptionsRec o = DefaultOptions();
    o.netMinMoveIntervalOption = 0;
    o.netMoveTimeOption = moveSeconds;
    o.netDeployTimeOption = 20;
    o.netDisconnectTimeOption = disconnectSeconds;
    dir.Write("oprec", EncodeOptions(o));
}

struct Side {
    // A whole battle of computer players takes as long as the machine and its load make it (up to 500
    // steps): the default bound, the tool's own, catches only a side that never ends.
    Side(const test::ScratchFolder& dir, const QStringList& args, int timeoutSeconds = 600) {
        p.setWorkingDirectory(QString::fromStdString(dir.Plain()));
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(kTool, args + QStringList{"--timeout", QString::number(timeoutSeconds)});
    }
    ~Side() {
        if (p.state() != QProcess::NotRunning) p.kill();
        p.waitForFinished(5000);
    }
    bool WaitFor(const QString& text, int ms) {
        for (int waited = 0; !out.contains(text); waited += 50) {
            if (waited > ms || (p.state() == QProcess::NotRunning && !p.bytesAvailable())) return false;
            p.waitForReadyRead(50);
            out += QString::fromUtf8(p.readAll());
        }
        return true;
    }
    // The port a host on "--port 0" got, from its "hosting:" line; 0 if it never said.
    int HostingPort(int ms) {
        const QString said = "hosting: 127.0.0.1:";
        for (int waited = 0;; waited += 50) {
            const qsizetype at = out.indexOf(said);
            const qsizetype end = at < 0 ? -1 : out.indexOf('\n', at);
            if (end >= 0) return out.mid(at + said.size(), end - at - said.size()).trimmed().toInt();
            if (waited > ms || (p.state() == QProcess::NotRunning && !p.bytesAvailable())) return 0;
            p.waitForReadyRead(50);
            out += QString::fromUtf8(p.readAll());
        }
    }
    int Finish(int ms) {
        p.waitForFinished(ms);
        out += QString::fromUtf8(p.readAll());
        lastLine = out.trimmed().split('\n').last();
        return p.state() == QProcess::NotRunning && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    QProcess p;
    QString out, lastLine;
};

QStringList JoinArgs(int port, int seat, const QString& out) {
    return {"--join", QString("127.0.0.1:%1").arg(port), "--name", QString("玩家%1").arg(seat), "--seat",
            QString::number(seat), "--seed", QString::number(seat + 10), "--out", out};
}

// A side's moves turned into the host's view.
std::vector<std::array<int, 4>> HostViewMoves(const BattleFile& f, int seat) {
    std::vector<std::array<int, 4>> v;
    for (const MoveRec& m : f.moves) {
        const GridPoint a = TurnGridPoint({m.fromX, m.fromY}, IsSpecialMove(m) ? 0 : -seat);
        const GridPoint b = TurnGridPoint({m.toX, m.toY}, IsSpecialMove(m) ? 0 : -seat);
        v.push_back({a.x, a.y, b.x, b.y});
    }
    return v;
}

QString Mirror(QString r, int seat) {
    if (seat % 2 == 0) return r;
    return r.contains("won") ? r.replace("won", "lost") : r.replace("lost", "won");
}

struct Joined {
    std::vector<int> seats;
    int unwritableSeat = -1;  // its --out lies in a folder that does not exist
};
void PrintTo(const Joined& j, std::ostream* os) {
    *os << "seats";
    for (int s : j.seats) *os << ' ' << s;
    if (j.unwritableSeat >= 0) *os << ", seat " << j.unwritableSeat << " cannot write its record";
}

class WholeBattle : public ::testing::TestWithParam<Joined> {};

TEST_P(WholeBattle, EverySideEndsWithTheHostsBattle) {
    test::ScratchFolder dir;
    WriteOptions(dir, 60);
    const std::vector<int> seats = GetParam().seats;
    const int unwritable = GetParam().unwritableSeat;
    Side host(dir, {"--host", "--port", "0", "--start-after", QString::number(seats.size()),
                    "--seed", "3", "--out", "host.kbt"});
    const int port = host.HostingPort(10000);
    ASSERT_NE(port, 0) << host.out.toStdString();
    std::vector<std::unique_ptr<Side>> joiners;
    for (int s : seats)
        joiners.push_back(std::make_unique<Side>(
            dir, JoinArgs(port, s, QString(s == unwritable ? "no-such-folder/j%1.kbt" : "j%1.kbt").arg(s))));

    ASSERT_EQ(host.Finish(600000), 0) << host.out.toStdString();
    ASSERT_TRUE(host.lastLine.startsWith("result: ")) << host.lastLine.toStdString();
    const BattleFile hostRecord = DecodeBattleFile(dir.Read("host.kbt")).file;
    EXPECT_GT(hostRecord.moves.size(), 20u);
    for (size_t i = 0; i < seats.size(); ++i) {
        Side& j = *joiners[i];
        if (seats[i] == unwritable) {
            // The battle ends as everyone's, but a record asked for and not written is a failure.
            EXPECT_EQ(j.Finish(30000), 1) << j.out.toStdString();
            EXPECT_EQ(j.lastLine, Mirror(host.lastLine, seats[i])) << j.out.toStdString();
            EXPECT_TRUE(j.out.contains("error: cannot write no-such-folder/")) << j.out.toStdString();
            continue;
        }
        ASSERT_EQ(j.Finish(30000), 0) << j.out.toStdString();
        EXPECT_EQ(j.lastLine, Mirror(host.lastLine, seats[i])) << j.out.toStdString();
        const BattleFile own = DecodeBattleFile(dir.Read("j" + std::to_string(seats[i]) + ".kbt")).file;
        EXPECT_EQ(0, std::memcmp(own.codes.rows[(4 - seats[i]) % 4], hostRecord.codes.rows[0], 25)) << seats[i];
        EXPECT_EQ(HostViewMoves(own, seats[i]), HostViewMoves(hostRecord, 0)) << "seat " << seats[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Joined, WholeBattle,
                         ::testing::Values(Joined{{2}}, Joined{{1, 3}}, Joined{{1, 2, 3}}, Joined{{1, 3}, 3}));

TEST(HeadlessSides, OthersPlayOnWhenASideVanishes) {
    test::ScratchFolder dir;
    WriteOptions(dir, 10);
    Side host(dir, {"--host", "--port", "0", "--start-after", "2", "--out", "host.kbt"});
    const int port = host.HostingPort(10000);
    ASSERT_NE(port, 0) << host.out.toStdString();
    Side one(dir, JoinArgs(port, 1, "j1.kbt"));
    Side two(dir, JoinArgs(port, 2, "j2.kbt"));
    ASSERT_TRUE(one.WaitFor("move: step 12 ", 30000)) << one.out.toStdString();
    one.p.kill();
    ASSERT_EQ(host.Finish(600000), 0) << host.out.toStdString();
    EXPECT_TRUE(host.out.contains("left: seat 1 to the computer")) << host.out.toStdString();
    ASSERT_EQ(two.Finish(30000), 0) << two.out.toStdString();
    EXPECT_EQ(two.lastLine, host.lastLine);
}

TEST(HeadlessSides, JoiningSidesLeaveWhenTheHostQuits) {
    test::ScratchFolder dir;
    WriteOptions(dir, 2);
    const DeafPort deaf;
    Side nobody(dir, JoinArgs(deaf.port, 1, "j0.kbt"));  // no host yet
    EXPECT_EQ(nobody.Finish(10000), 1);
    EXPECT_TRUE(nobody.lastLine.contains("unreachable")) << nobody.out.toStdString();
    // In the waiting room and in the battle the side leaves once the host
    // has gone.
    auto host = std::make_unique<Side>(dir, QStringList{"--host", "--port", "0", "--start-after", "3"});
    int port = host->HostingPort(10000);
    ASSERT_NE(port, 0) << host->out.toStdString();
    Side hostsSeat(dir, JoinArgs(port, 0, "j0.kbt"));
    EXPECT_EQ(hostsSeat.Finish(10000), 1);
    EXPECT_EQ(hostsSeat.lastLine, "left: 服务器拒绝联接！自动退出网战。") << hostsSeat.out.toStdString();
    Side waiting(dir, JoinArgs(port, 1, "j1.kbt"));
    ASSERT_TRUE(waiting.WaitFor("joined: seat 1", 10000)) << waiting.out.toStdString();
    host.reset();
    EXPECT_EQ(waiting.Finish(5000), 1) << waiting.out.toStdString();
    EXPECT_EQ(waiting.lastLine, "left: 服务器停止响应！退出网战。");

    host = std::make_unique<Side>(dir, QStringList{"--host", "--port", "0"});
    port = host->HostingPort(10000);
    ASSERT_NE(port, 0) << host->out.toStdString();
    Side playing(dir, JoinArgs(port, 2, "j2.kbt"));
    ASSERT_TRUE(playing.WaitFor("move: step 8 ", 30000)) << playing.out.toStdString();
    host.reset();
    EXPECT_EQ(playing.Finish(10000), 1) << playing.out.toStdString();
    EXPECT_TRUE(playing.out.contains("left: 服务器停止响应！退出网战。")) << playing.out.toStdString();
}

using Clock = std::chrono::steady_clock;

// A side written by hand on a plain socket to 127.0.0.1, run on its own
// thread; every wait ends by its deadline.
class RawSide {
public:
    explicit RawSide(int port, int receiveBufferBytes = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBufferBytes > 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
        const timeval wait{0, 100000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        up_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawSide() { ::close(fd_); }

    // Sends `times` copies of `p` in one write; false once the host has
    // closed the connection (or the deadline passed).
    bool Send(const net::Packet& p, int times, Clock::time_point deadline) {
        net::Packet all;
        for (int i = 0; i < times; ++i) all.insert(all.end(), p.begin(), p.end());
        for (size_t at = 0; up_ && at < all.size();) {
            const ssize_t n = ::send(fd_, all.data() + at, all.size() - at, MSG_NOSIGNAL);
            if (n > 0) at += static_cast<size_t>(n);
            else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && Clock::now() < deadline) continue;
            else up_ = false;
        }
        return up_;
    }
    // Reads until a packet with `word` has come; false when the connection
    // closed or the deadline passed first.
    bool WaitFor(net::Word word, Clock::time_point deadline) {
        for (;;) {
            while (auto p = framer_.Next())
                if (net::PacketWord(*p) == word) return true;
            if (!ReadSome(deadline)) return false;
        }
    }
    // The next packet; none once the connection closed or the deadline passed.
    std::optional<net::Packet> Next(Clock::time_point deadline) {
        for (;;) {
            if (auto p = framer_.Next()) return p;
            if (!ReadSome(deadline)) return std::nullopt;
        }
    }
    // Reads until the host closes the connection: true, or false at the deadline.
    bool ReadUntilClosed(Clock::time_point deadline) {
        while (ReadSome(deadline)) {
        }
        return !up_;
    }

private:
    bool ReadSome(Clock::time_point deadline) {
        uint8_t buf[4096];
        while (up_ && Clock::now() < deadline) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n > 0) {
                framer_.Feed(buf, static_cast<size_t>(n));
                return true;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) up_ = false;
        }
        return false;
    }

    int fd_ = -1;
    bool up_ = false;
    net::PacketFramer framer_;
};

net::Packet JoinFor(int seat) {
    SeatRec r;
    PutBoundedText(r.name, sizeof r.name, "raw");
    r.seat = seat, r.state = 1;
    return net::EncodeJoin(r);
}

// Seat 1 joins and deploys as a side should; once the battle runs it does
// `act`, then reads on (silent on its turn, so the host gives the seat to
// the computer) until the host closes it.
bool PlaysSeatOneThen(RawSide& raw, const std::function<bool(RawSide&, Clock::time_point)>& act,
                      Clock::time_point deadline) {
    net::SwitchEndBody army{{}, 1};
    std::copy(test::kArmy, test::kArmy + kPiecesPerSeat, army.codes);
    return raw.Send(JoinFor(1), 1, deadline) && raw.WaitFor(net::Word::kJoinOk, deadline) &&
           raw.Send(net::EncodeSwitchEnd(army), 1, deadline) && raw.WaitFor(net::Word::kAllSwitchEnd, deadline) &&
           act(raw, deadline) && raw.ReadUntilClosed(deadline);
}

struct HostileRaw {
    const char* name;
    int startAfter;         // sides the host waits for, the raw one included when it takes a seat
    int receiveBufferBytes;  // 0: the system's
    std::function<bool(RawSide&, Clock::time_point)> script;  // true: the host closed it, as it should
    int chatLinesSeenAtLeast, chatLinesSeenAtMost;  // by the honest side
};

void PrintTo(const HostileRaw& h, std::ostream* os) { *os << h.name; }

class HostileSides : public ::testing::TestWithParam<HostileRaw> {};

// The host and an honest side at seat 2 play their battle to the end while
// a hand-made side misbehaves; the host closes the hand-made one only.
TEST_P(HostileSides, TheOthersPlayTheBattleToTheEnd) {
    const HostileRaw& h = GetParam();
    test::ScratchFolder dir;
    // A side that keeps talking holds its turn for its move time and the
    // disconnect time.
    WriteOptions(dir, 8, 10);
    // A slow build plays slowly: the hand-made side costs a disconnect time
    // besides the battle.
    Side host(dir,
              {"--host", "--port", "0", "--start-after", QString::number(h.startAfter), "--out",
               "host.kbt"},
              200);
    const int port = host.HostingPort(20000);
    ASSERT_NE(port, 0) << host.out.toStdString();
    // The host reads nothing before its own side is in.
    ASSERT_TRUE(host.WaitFor("joined: seat 0", 20000)) << host.out.toStdString();
    std::atomic<bool> closedByHost{false};
    RawSide raw(port, h.receiveBufferBytes);
    std::thread hostile([&] { closedByHost = h.script(raw, Clock::now() + std::chrono::seconds(180)); });
    Side honest(dir, JoinArgs(port, 2, "j2.kbt"), 200);
    const int hostExit = host.Finish(200000);
    const int honestExit = honest.Finish(30000);
    hostile.join();
    ASSERT_EQ(hostExit, 0) << host.out.toStdString();
    ASSERT_TRUE(host.lastLine.startsWith("result: ")) << host.lastLine.toStdString();
    ASSERT_EQ(honestExit, 0) << honest.out.toStdString() << "\n---host---\n" << host.out.toStdString();
    EXPECT_EQ(honest.lastLine, host.lastLine);
    EXPECT_TRUE(closedByHost);
    const auto lines = honest.out.count("chat: seat 1 raw：flood");
    EXPECT_GE(lines, h.chatLinesSeenAtLeast);
    EXPECT_LE(lines, h.chatLinesSeenAtMost);
}

INSTANTIATE_TEST_SUITE_P(
    Raw, HostileSides,
    ::testing::Values(
        HostileRaw{"ThreeHundredChatLinesInOneWrite", 2, 0,
                   [](RawSide& raw, Clock::time_point deadline) {
                       return PlaysSeatOneThen(
                           raw,
                           [](RawSide& r, Clock::time_point d) {
                               return r.Send(net::EncodeChat({1, "flood"}), 300, d);
                           },
                           deadline);
                   },
                   // What goes on at once and what waits at the sender, and the share of the second (or
                   // two) the write takes; the rest go nowhere.
                   net::kChatBurstLines + net::kChatWaitingLines,
                   net::kChatBurstLines + net::kChatWaitingLines + 2 * net::kChatLinesPerSecond},
        HostileRaw{"FourHundredJoinsDuringTheBattle", 2, 0,
                   [](RawSide& raw, Clock::time_point deadline) {
                       return PlaysSeatOneThen(
                           raw, [](RawSide& r, Clock::time_point d) { return r.Send(JoinFor(1), 400, d); }, deadline);
                   },
                   0, 0},
        // Never reads (a 4 KB receive buffer) and keeps asking for the
        // host's seat while the honest side joins and plays.
        HostileRaw{"NeverReadsAndAsksForTheHostsSeat", 1, 4096,
                   [](RawSide& raw, Clock::time_point deadline) {
                       while (raw.Send(JoinFor(0), 50, deadline) && Clock::now() < deadline) {
                       }
                       return Clock::now() < deadline;
                   },
                   0, 0}),
    [](const ::testing::TestParamInfo<HostileRaw>& i) { return std::string(i.param.name); });

// Seconds of CPU the reaped children of this process have used.
double ChildrenCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Seconds of CPU a running process has used so far.
double ProcessCpuSeconds(qint64 pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(f, line);
    // The fields after the command's closing parenthesis; user and system time are the 12th and 13th.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 1; i <= 13 && rest >> field; ++i)
        if (i >= 12) ticks += std::stod(field);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The host goes away in the middle of a battle whose silence rule would take 36 s: the side does not spin
// or try to send meanwhile; it says why once, leaves, and keeps the record of the battle as far as it went.
TEST(HeadlessSides, ASideWhoseHostHasGoneLeavesQuietlyWithItsRecord) {
    test::ScratchFolder dir;
    WriteOptions(dir, 30);
    auto host = std::make_unique<Side>(dir, QStringList{"--host", "--port", "0"});
    const int port = host->HostingPort(10000);
    ASSERT_NE(port, 0) << host->out.toStdString();
    Side playing(dir, JoinArgs(port, 2, "j2.kbt"));
    ASSERT_TRUE(playing.WaitFor("move: step 8 ", 30000)) << playing.out.toStdString();
    host.reset();
    const double before = ChildrenCpuSeconds();
    const double untilNow = ProcessCpuSeconds(playing.p.processId());
    const auto gone = Clock::now();
    EXPECT_EQ(playing.Finish(30000), 1) << playing.out.toStdString();
    EXPECT_LT(Clock::now() - gone, std::chrono::seconds(20));
    // Generous: spinning for the silence rule's 36 s would use most of them.
    EXPECT_LT(ChildrenCpuSeconds() - before - untilNow, 5.0);
    EXPECT_EQ(playing.out.count("left: "), 1) << playing.out.toStdString();
    EXPECT_EQ(playing.lastLine, "left: 服务器停止响应！退出网战。");
    EXPECT_FALSE(playing.out.contains("数据无法发送")) << playing.out.toStdString();
    const BattleFile record = DecodeBattleFile(dir.Read("j2.kbt")).file;
    EXPECT_GE(record.moves.size(), 8u);
}

// A name and a chat line holding line breaks and an escape sequence: the host's log shows them on the
// line they belong to, without the control bytes.
TEST(HeadlessSides, ControlBytesFromTheWireStayOutOfTheLog) {
    test::ScratchFolder dir;
    WriteOptions(dir, 30);
    Side host(dir, {"--host", "--port", "0", "--start-after", "3"});
    const int port = host.HostingPort(20000);
    ASSERT_NE(port, 0) << host.out.toStdString();
    ASSERT_TRUE(host.WaitFor("joined: seat 0", 20000)) << host.out.toStdString();
    RawSide raw(port);
    SeatRec r;
    PutBoundedText(r.name, sizeof r.name, "raw\nresult: lost steps 2\x1b[2J");
    r.seat = 1, r.state = 1;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    ASSERT_TRUE(raw.Send(net::EncodeJoin(r), 1, deadline));
    ASSERT_TRUE(raw.Send(net::EncodeChat({1, "hi\r\nresult: won steps 1\x1b[31m\x7f"}), 1, deadline));
    ASSERT_TRUE(host.WaitFor("chat: seat 1", 20000)) << host.out.toStdString();
    ASSERT_TRUE(host.WaitFor("joined: seat 1", 20000)) << host.out.toStdString();
    host.p.kill();
    host.Finish(5000);
    for (const QString& line : host.out.split('\n')) {
        EXPECT_FALSE(line.startsWith("result:")) << line.toStdString();
        for (const QChar c : line)
            EXPECT_FALSE(c.unicode() < 0x20 || c.unicode() == 0x7F) << line.toStdString();
    }
    EXPECT_TRUE(host.out.contains("joined: seat 1 raw result: lost steps 2?[2J")) << host.out.toStdString();
}

// Seat 1 as a side that applies whatever the host relays (the literal side) and plays legal moves from what it
// holds; besides, it sends everything no side may apply: peace words in the deployment, and on each of its
// turns a move with a false outcome, a time-out the moment its turn comes, a mine moved and an attack on its
// partner, then its move; every few steps of the others a move out of turn. Returns the packets it sent.
int PlayLiterally(RawSide& raw, testing::LiteralSide& side, Clock::time_point deadline) {
    using net::Word;
    int sent = 0;
    auto send = [&](const net::Packet& p) { sent += raw.Send(p, 1, deadline) ? 1 : 0; };
    auto game = std::make_unique<GameState>();
    auto movesOfSeat1 = [&](bool fights) {
        for (int i = 0; i < kPieceCount; ++i) {
            const testing::LiteralPiece& lp = side.board()[static_cast<size_t>(i)];
            PieceRec& pc = game->pieces[static_cast<size_t>(i)];
            pc.x = lp.x, pc.y = lp.y, pc.code = lp.code, pc.alive = lp.alive;
        }
        return test::LegalMoves(*game, fights, 1);
    };
    send(JoinFor(1));
    bool deployed = false;
    int movedAt = -1, pick = 0;
    while (auto p = raw.Next(deadline)) {
        side.Apply(*p);
        if (side.result() != testing::kNoResult) break;
        const Word w = *net::PacketWord(*p);
        if (w == Word::kJoinOk && !deployed) {
            send(net::EncodeSeatWord(Word::kPeaceRequest, 1));
            send(net::EncodeSeatWord(Word::kPeaceOk, 1));
            net::SwitchEndBody army{{}, 1};
            std::copy(test::kArmy, test::kArmy + kPiecesPerSeat, army.codes);
            send(net::EncodeSwitchEnd(army));
            deployed = true;
        }
        if (!side.running()) continue;
        ++pick;
        if (side.seatToMove() != 1) {
            const auto own = movesOfSeat1(false);
            if (w == Word::kMoveQz && side.steps() % 7 == 0 && !own.empty())
                send(net::EncodeMoveQz(test::InSenderView(own[0], 1)));
            continue;
        }
        if (side.steps() == movedAt) continue;
        movedAt = side.steps();
        std::vector<MoveCand> quiet = movesOfSeat1(false), fights = movesOfSeat1(true);
        if (!quiet.empty()) {
            MoveCand lie = quiet[static_cast<size_t>(pick) % quiet.size()];
            lie.outcome = kMoverRemoved;
            send(net::EncodeMoveQz(test::InSenderView(lie, 1)));
            MoveCand mine = lie;
            mine.mover = -1;
            for (int k = 0; k < kPiecesPerSeat && mine.mover < 0; ++k)
                if (side.board()[static_cast<size_t>(kPiecesPerSeat + k)].code == kMine &&
                    side.board()[static_cast<size_t>(kPiecesPerSeat + k)].alive == 1)
                    mine.mover = kPiecesPerSeat + k;
            if (mine.mover >= 0) {
                mine.fromX = side.board()[static_cast<size_t>(mine.mover)].x;
                mine.fromY = side.board()[static_cast<size_t>(mine.mover)].y;
                mine.outcome = kMoverWins;
                send(net::EncodeMoveQz(test::InSenderView(mine, 1)));
            }
            if (side.board()[3 * kPiecesPerSeat].alive == 1) {
                MoveCand partner = lie;
                partner.target = 3 * kPiecesPerSeat;
                partner.toX = side.board()[3 * kPiecesPerSeat].x, partner.toY = side.board()[3 * kPiecesPerSeat].y;
                partner.outcome = kMoverWins;
                send(net::EncodeMoveQz(test::InSenderView(partner, 1)));
            }
        }
        net::MoveQzBody timeout{MoveCand{}, 1};
        MakeTimeoutMove(timeout.move, 1);
        send(net::EncodeMoveQz(timeout));
        net::MoveQzBody move{MoveCand{}, 1};
        const std::vector<MoveCand>& from = !fights.empty() && pick % 2 == 0 ? fights : quiet;
        if (from.empty())
            MakeGiveUpMove(move.move, 0);
        else
            move = test::InSenderView(from[static_cast<size_t>(pick) % from.size()], 1);
        send(net::EncodeMoveQz(move));
    }
    return sent;
}

TEST(HeadlessSides, ASideThatAlsoSendsWhatNoSideMayApplyEndsWithTheOthers) {
    test::ScratchFolder dir;
    WriteOptions(dir, 60);
    Side host(dir,
              {"--host", "--port", "0", "--start-after", "2", "--seed", "5", "--out", "host.kbt"},
              200);
    const int port = host.HostingPort(20000);
    ASSERT_NE(port, 0) << host.out.toStdString();
    ASSERT_TRUE(host.WaitFor("joined: seat 0", 20000)) << host.out.toStdString();
    RawSide raw(port);
    testing::LiteralSide literal(1);
    int sent = 0;
    std::thread side([&] { sent = PlayLiterally(raw, literal, Clock::now() + std::chrono::seconds(180)); });
    Side honest(dir, JoinArgs(port, 2, "j2.kbt"), 200);
    const int hostExit = host.Finish(200000);
    const int honestExit = honest.Finish(30000);
    side.join();
    ASSERT_EQ(hostExit, 0) << host.out.toStdString();
    ASSERT_EQ(honestExit, 0) << honest.out.toStdString() << "\n---host---\n" << host.out.toStdString();
    EXPECT_EQ(honest.lastLine, host.lastLine);
    EXPECT_GT(sent, 30);
    // The literal side ended the battle where the host did, with the host's steps.
    const char* words[] = {"won", "lost", "draw"};
    ASSERT_NE(literal.result(), testing::kNoResult) << host.out.toStdString();
    EXPECT_EQ(QString("result: %1 steps %2").arg(words[literal.result()]).arg(literal.endedAt()), host.lastLine);
    EXPECT_EQ(literal.movesOutsideBattle() + literal.peaceOutsideBattle(), 0);
    const BattleFile hostRecord = DecodeBattleFile(dir.Read("host.kbt")).file;
    std::vector<std::array<int, 4>> literalMoves;
    for (const StepRec& st : literal.ending().stepList) literalMoves.push_back({st.fromX, st.fromY, st.toX, st.toY});
    EXPECT_EQ(literalMoves, HostViewMoves(hostRecord, 0));
}

// A fake host on 127.0.0.1: takes one connection, answers the side's first
// bytes with `bytes`, and keeps it open until the side has gone.
struct FakeHost {
    explicit FakeHost(std::vector<uint8_t> bytes) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd, 1);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        const timeval wait{0, 100000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        thread = std::thread([this, bytes, wait] {
            const auto deadline = Clock::now() + std::chrono::seconds(20);
            int c = -1;
            while (c < 0 && Clock::now() < deadline && !stop) c = ::accept(fd, nullptr, nullptr);
            if (c < 0) return;
            ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            uint8_t buf[512];
            bool sent = false;
            while (Clock::now() < deadline && !stop) {
                const ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) break;
                // The answer to the side's "Join".
                if (n > 0 && !sent && !bytes.empty()) sent = ::send(c, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0;
            }
            ::close(c);
        });
    }
    ~FakeHost() {
        stop = true;
        thread.join();
        ::close(fd);
    }
    int fd = -1;
    int port = 0;
    std::atomic<bool> stop{false};
    std::thread thread;
};

// Every way out ends the side within its time-out, with a reason: a host
// that sends what cannot be read (the side leaves during a read), and one
// that says nothing at all.
TEST(HeadlessSides, ASideEndsWithinItsTimeOut) {
    net::Packet junk = net::EncodeBare(net::Word::kJoinRefuse);
    junk[0] = '?';
    struct Case {
        std::vector<uint8_t> bytes;
        const char* lastLine;
    };
    for (const Case& c : {Case{junk, "left: "}, Case{{}, "error: no result within 3 s"}}) {
        test::ScratchFolder dir;
        WriteOptions(dir, 60);
        FakeHost fake(c.bytes);
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(dir.Plain()));
        p.setProcessChannelMode(QProcess::MergedChannels);
        const auto started = Clock::now();
        p.start(kTool, JoinArgs(fake.port, 1, "j1.kbt") + QStringList{"--timeout", "3"});
        const bool ended = p.waitForFinished(8000);
        const QString out = QString::fromUtf8(p.readAll());
        if (!ended) p.kill(), p.waitForFinished(2000);
        ASSERT_TRUE(ended) << out.toStdString();
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(7));
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(out.trimmed().split('\n').last().startsWith(c.lastLine)) << out.toStdString();
    }
}

}  // namespace
}  // namespace jq
