// LAN battles between junqi-lan processes on 127.0.0.1.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpServer>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "core/board.h"
#include "core/options.h"
#include "records/battlefile.h"
#include "support/files_support.h"

namespace jq {
namespace {

const QString kTool = QStringLiteral(JQ_BINARY_DIR "/bin/junqi-lan");

int FreePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

// No pause before computer moves, short LAN times.
void WriteOptions(const test::ScratchFolder& dir, int disconnectSeconds) {
    OptionsRec o = DefaultOptions();
    o.netMinMoveIntervalOption = 0;
    o.netDeployTimeOption = 20;
    o.netDisconnectTimeOption = disconnectSeconds;
    dir.Write("oprec", EncodeOptions(o));
}

struct Side {
    Side(const test::ScratchFolder& dir, const QStringList& args) {
        p.setWorkingDirectory(QString::fromStdString(dir.Plain()));
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(kTool, args + QStringList{"--timeout", "100"});
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

class WholeBattle : public ::testing::TestWithParam<std::vector<int>> {};

TEST_P(WholeBattle, EverySideEndsWithTheHostsBattle) {
    test::ScratchFolder dir;
    WriteOptions(dir, 60);
    const int port = FreePort();
    const std::vector<int> seats = GetParam();
    Side host(dir, {"--host", "--port", QString::number(port), "--start-after", QString::number(seats.size()),
                    "--seed", "3", "--out", "host.kbt"});
    ASSERT_TRUE(host.WaitFor("hosting:", 10000)) << host.out.toStdString();
    std::vector<std::unique_ptr<Side>> joiners;
    for (int s : seats) joiners.push_back(std::make_unique<Side>(dir, JoinArgs(port, s, QString("j%1.kbt").arg(s))));

    ASSERT_EQ(host.Finish(100000), 0) << host.out.toStdString();
    ASSERT_TRUE(host.lastLine.startsWith("result: ")) << host.lastLine.toStdString();
    const BattleFile hostRecord = DecodeBattleFile(dir.Read("host.kbt")).file;
    EXPECT_GT(hostRecord.moves.size(), 20u);
    for (size_t i = 0; i < seats.size(); ++i) {
        Side& j = *joiners[i];
        ASSERT_EQ(j.Finish(30000), 0) << j.out.toStdString();
        EXPECT_EQ(j.lastLine, Mirror(host.lastLine, seats[i])) << j.out.toStdString();
        const BattleFile own = DecodeBattleFile(dir.Read("j" + std::to_string(seats[i]) + ".kbt")).file;
        EXPECT_EQ(0, std::memcmp(own.codes.rows[(4 - seats[i]) % 4], hostRecord.codes.rows[0], 25)) << seats[i];
        EXPECT_EQ(HostViewMoves(own, seats[i]), HostViewMoves(hostRecord, 0)) << "seat " << seats[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Joined, WholeBattle,
                         ::testing::Values(std::vector<int>{2}, std::vector<int>{1, 3}, std::vector<int>{1, 2, 3}));

TEST(HeadlessSides, OthersPlayOnWhenASideVanishes) {
    test::ScratchFolder dir;
    WriteOptions(dir, 10);
    const int port = FreePort();
    Side host(dir, {"--host", "--port", QString::number(port), "--start-after", "2", "--out", "host.kbt"});
    ASSERT_TRUE(host.WaitFor("hosting:", 10000));
    Side one(dir, JoinArgs(port, 1, "j1.kbt"));
    Side two(dir, JoinArgs(port, 2, "j2.kbt"));
    ASSERT_TRUE(one.WaitFor("move: step 12 ", 30000)) << one.out.toStdString();
    one.p.kill();
    ASSERT_EQ(host.Finish(100000), 0) << host.out.toStdString();
    EXPECT_TRUE(host.out.contains("left: seat 1 to the computer")) << host.out.toStdString();
    ASSERT_EQ(two.Finish(30000), 0) << two.out.toStdString();
    EXPECT_EQ(two.lastLine, host.lastLine);
}

TEST(HeadlessSides, JoiningSidesLeaveWhenTheHostQuits) {
    test::ScratchFolder dir;
    WriteOptions(dir, 2);
    const int port = FreePort();
    // In the waiting room the side leaves at once; in the battle once the
    // host has been silent too long.
    auto host = std::make_unique<Side>(dir, QStringList{"--host", "--port", QString::number(port), "--start-after", "3"});
    ASSERT_TRUE(host->WaitFor("hosting:", 10000));
    Side waiting(dir, JoinArgs(port, 1, "j1.kbt"));
    ASSERT_TRUE(waiting.WaitFor("joined: seat 1", 10000)) << waiting.out.toStdString();
    host.reset();
    EXPECT_EQ(waiting.Finish(5000), 1) << waiting.out.toStdString();
    EXPECT_EQ(waiting.lastLine, "left: 服务器停止响应！退出网战。");

    host = std::make_unique<Side>(dir, QStringList{"--host", "--port", QString::number(port)});
    ASSERT_TRUE(host->WaitFor("hosting:", 10000));
    Side playing(dir, JoinArgs(port, 2, "j2.kbt"));
    ASSERT_TRUE(playing.WaitFor("move: step 8 ", 30000)) << playing.out.toStdString();
    host.reset();
    EXPECT_EQ(playing.Finish(10000), 1) << playing.out.toStdString();
    EXPECT_TRUE(playing.out.contains("left: 服务器停止响应！退出网战。")) << playing.out.toStdString();
}

}  // namespace
}  // namespace jq
