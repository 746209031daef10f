#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/zffile.h"
#include "play/execute.h"
#include "play/result_rules.h"
#include "play/turnloop.h"
#include "support/dealt.h"
#include "support/fake_computer.h"
#include "support/lan_fakes.h"
#include "support/files_support.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::Put;

class TurnLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.timerOn = true;
        g.computer = &computer;
        g.practiceMode = 1;
        g.netMinMoveInterval = 1;
        g.optionsRecord.aiLevel = 1;
        g.appFolder = dir.Folder();  // no formation database: rating one is reported in a box
        NewBattle();
    }
    void NewBattle() {
        test::LayOutBattle(g);
        g.viewOtherFormations = 0;
        g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
        for (SeatRec& s : g.seatTable) s.state = 0;
    }
    void KillSeat(int seat) {
        for (int p = seat * 25; p < seat * 25 + 25; ++p) g.pieces[p].alive = 0;
    }
    // A person plays seat `seat`, so no computer is woken for it.
    void PersonToMove(int seat) {
        g.curSeat = seat;
        g.computerSeat[seat] = 0;
    }

    test::ScratchFolder dir;
    std::unique_ptr<GameState> owner = std::make_unique<GameState>();
    GameState& g = *owner;
    test::RecordingUi ui;
    test::FakeComputer computer;
};

TEST_F(TurnLoopTest, BattleEnds) {
    struct Case {
        const char* what;
        int steps, peace, level, toMove;
        std::vector<int> gone;
        std::vector<int> results;
        std::vector<int> counts;  // the level's total, won, lost, drawn
    };
    const Case cases[] = {
        {"step limit, a LAN count past it", 515, 0, 1, 0, {}, {kBattleDraw}, {1, 0, 0, 1}},
        {"peace and a dead team on one tick", 12, 1, 1, 0, {1, 3}, {kBattleDraw}, {1, 0, 0, 1}},
        {"the other team is gone", 80, 0, 1, 0, {1, 3}, {kBattleWon}, {1, 1, 0, 0}},
        {"the team to move has nothing left", 30, 0, 1, 2, {0, 2}, {kBattleLost}, {1, 0, 1, 0}},
        {"both teams gone", 30, 0, 1, 2, {0, 1, 2, 3}, {kBattleLost}, {1, 0, 1, 0}},
        {"nothing before the first step", 0, 1, 1, 2, {1, 3}, {}, {0, 0, 0, 0}},
        {"seat 0 gone, its partner plays on", 30, 0, 1, 1, {0}, {}, {0, 0, 0, 0}},
        {"level 0", 40, 0, 0, 0, {1, 3}, {kBattleWon}, {1, 1, 0, 0}},
        {"a level just past the last counts nothing", 510, 0, 3, 0, {}, {kBattleDraw}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewBattle();
        ui.results.clear();
        ui.winRecordChanges = 0;
        g.optionsRecord = OptionsRec{};
        g.optionsRecord.aiLevel = c.level;
        g.stepCount = c.steps;
        g.peaceAgreed = c.peace;
        PersonToMove(c.toMove);
        for (int s : c.gone) KillSeat(s);
        // Ticks that run while the result panel is up (it pumps messages).
        ui.duringResult = [&] { TickMainTimer(g); };
        TickMainTimer(g);
        TickMainTimer(g);
        EXPECT_EQ(ui.results, c.results);
        EXPECT_EQ(g.battleRunning, c.results.empty() ? 1 : 0);
        EXPECT_EQ(g.stepCount, std::min(c.steps, 510));
        // Without seat 0 the others are shown face up, once.
        EXPECT_EQ(g.viewOtherFormations, !c.gone.empty() && c.gone[0] == 0 ? 1 : 0);
        int total = 0;
        for (const auto& row : g.optionsRecord.winRecord)
            for (int v : row) total += v;
        for (int col = 0; col < 4; ++col) {
            EXPECT_EQ(WinRecordCounter(g.optionsRecord, c.level, col), c.counts[col]) << col;
            total -= c.counts[col];
        }
        EXPECT_EQ(total, 0);  // no other level counted
        EXPECT_EQ(ui.winRecordChanges, c.counts[0]);
        for (int s = 1; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], c.results.empty() && s != c.toMove ? 1 : 0) << s;
        EXPECT_EQ(computer.resumes, 0);
    }
    EXPECT_TRUE(ui.boxes.empty());  // nothing rated: no formations were recorded
}

TEST_F(TurnLoopTest, DecidedBattlesRateTheFormationsOfSeatsOneAndThreeOnce) {
    const ZfDatabase db = test::DealDatabase(2);
    g.optionsRecord.recordLatestFormations = 1;
    ui.duringResult = [&] { TickMainTimer(g); };
    // Seats 1 and 3 played record 1: a win of seats 0 and 2 lowers its score
    // by two, a loss raises it by two and sorts it first; a draw rates nothing.
    for (auto [lostSeat, score] : {std::pair{1, -2}, {0, 2}, {-1, 0}}) {
        ASSERT_TRUE(WriteZfFile(ZfFilePath(g), db));
        NewBattle();
        if (lostSeat >= 0) KillSeat(lostSeat), KillSeat(lostSeat + 2);
        g.stepCount = lostSeat >= 0 ? 40 : 510;
        const int chosen[4] = {0, 1, 0, 1};
        std::memcpy(g.zfChosenIndex, chosen, sizeof chosen);
        TickMainTimer(g);
        const ZfDecodeResult after = ReadZfFile(ZfFilePath(g));
        ASSERT_EQ(after.error, ZfError::kNone);
        const int moved = score > 0 ? 0 : 1;
        EXPECT_EQ(std::memcmp(after.db.slots[moved].codes, db.slots[1].codes, kPiecesPerSeat), 0) << lostSeat;
        EXPECT_EQ(after.db.slots[moved].score, score) << lostSeat;
        EXPECT_EQ(after.db.slots[1 - moved].score, 0) << lostSeat;
    }
    // Without a database the rating reports it once.
    std::filesystem::remove(ZfFilePath(g));
    NewBattle();
    KillSeat(1);
    KillSeat(3);
    g.stepCount = 9;
    TickMainTimer(g);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(TurnLoopTest, SeatZeroWithoutMovesGivesUpAndLosesWhenAlone) {
    test::ClearBoard(g.pieces);
    Put(g, 21, kFlag, 19, 12);
    Put(g, 20, kMine, 18, 12);
    Put(g, 30, kPlatoon, 23, 18);
    Put(g, 80, kPlatoon, 17, 22);
    g.stepCount = 5;
    g.curSeat = 0;
    g.selectedPiece = 21;
    TickMainTimer(g);
    EXPECT_EQ(g.stepRecords[5], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 0}));
    EXPECT_EQ(g.pieces[21].alive, 0);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(ui.results, std::vector<int>{kBattleLost});
    EXPECT_FALSE(ui.viewOtherEnabled);  // the others face up, the button disabled
    EXPECT_EQ(ui.viewOtherCaption, Gb("不看棋了"));
}

TEST_F(TurnLoopTest, ComputerIsWokenAfterThePauseOnlyWhenItMayMove) {
    g.curSeat = 1;
    g.stepCount = 3;
    g.netMinMoveInterval = 2;
    computer.idle = false;
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 0);
    computer.idle = true;
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 1);
    EXPECT_EQ(ui.sleeps, std::vector<int>{2000});

    // Not in replay mode, not while deploying, not for a person's seat.
    g.practiceMode = 0;
    TickMainTimer(g);
    g.practiceMode = 1;
    g.deployPhase = 1;
    TickMainTimer(g);
    g.deployPhase = 0;
    PersonToMove(1);
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 1);

    // What happened during the pause is checked before waking: a new battle,
    // the battle's end (every seat released).
    g.computerSeat[1] = 1;
    g.netMinMoveInterval = 1;
    ui.duringLiveWait = [this] { ++g.battleSerial; };
    TickMainTimer(g);
    ui.duringLiveWait = [this] { ReleaseAllSeats(g); };
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 1);
    g.computerSeat[1] = 1;
    ui.duringLiveWait = nullptr;
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 2);
}

TEST_F(TurnLoopTest, TicksInsideAMoveNeitherMoveNorWakeTheComputer) {
    g.curSeat = 1;
    g.stepCount = 3;
    g.peaceAgreed = 1;
    {
        GameLogicGuard busy(g);
        TickMainTimer(g);
    }
    EXPECT_EQ(computer.resumes, 0);
    EXPECT_TRUE(ui.results.empty());
    EXPECT_FALSE(ui.timeRemaining.empty());  // the clock still runs
    EXPECT_EQ(g.gameLogicDepth, 0);
    // A refused step's message box pumps messages: ticks run inside it.
    g.peaceAgreed = 0;
    ui.onMessage = [&] { TickMainTimer(g); };
    ExecuteMove(g, kNoPiece, kNoPiece, 11, 11, 11, 11, 1);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(computer.resumes, 0);
}

TEST_F(TurnLoopTest, ClockLightPaceAndButtons) {
    PersonToMove(2);
    g.netMoveTime = 30;
    g.turnClock.seconds = 100;
    ui.clock.seconds = 112;
    TickMainTimer(g);
    EXPECT_EQ(ui.timeRemaining, "18");
    EXPECT_FALSE(ui.giveUpEnabled);  // not the own turn
    ui.clock.seconds = 200;
    TickMainTimer(g);
    EXPECT_EQ(ui.timeRemaining, "0");

    g.turnLightTick = 0;
    ui.frames.clear();
    for (int i = 0; i < 81; ++i) TickMainTimer(g);
    EXPECT_EQ(ui.lightSeat, 2);
    EXPECT_EQ(ui.frames, (std::vector<int>{1, 2, 3, 4, 5, 0}));

    g.battleRunning = 0;
    for (const auto& [interval, period] : {std::pair{0, 2}, {8, 27}, {10, 33}, {60, 189}}) {
        g.optionsRecord.autoPlayInterval = interval;
        g.autoPlayTicks = 0;
        std::vector<int> fired;
        for (int t = 1; t <= 3 * period; ++t) {
            const int before = g.autoPlayTicks;
            TickMainTimer(g);
            if (g.autoPlayTicks == 0 && before > 0) fired.push_back(t);
        }
        ASSERT_EQ(fired.size(), 3u) << interval;
        EXPECT_EQ(fired[1] - fired[0], period) << interval;
    }
    g.curSeat = 7;
    TickMainTimer(g);
    EXPECT_EQ(ui.lightSeat, -1);

    g.curSeat = 0;
    TickMainTimer(g);
    EXPECT_FALSE(ui.giveUpEnabled);  // the battle is over
    g.battleRunning = 1;
    TickMainTimer(g);
    EXPECT_TRUE(ui.giveUpEnabled);
}

TEST_F(TurnLoopTest, StoppingAndReleasing) {
    g.computer = nullptr;
    StopAIThread(g);
    EXPECT_FALSE(ui.timerOn);
    g.seatTable[2].state = 1;  // releasing the seats keeps the people's
    ReleaseAllSeats(g);
    EXPECT_EQ(g.seatTable[0].state + g.seatTable[1].state + g.seatTable[3].state, 6);
    EXPECT_EQ(g.seatTable[2].state, 1);
}

TEST_F(TurnLoopTest, LanOwnTimeoutsThenTheSeatGoesToTheComputerOnce) {
    net::LanSession lan(g);
    testing::FakeClientLink link;
    lan.AttachClient(&link);
    g.lan = &lan;
    g.netConnected = 1;
    g.netState = 31;
    g.myNetSeat = 0;
    g.seatTable[0].state = 1;
    g.netMoveTime = 30;
    g.netDisconnectTime = 60;
    g.stepCount = 4;
    g.curSeat = 0;
    g.turnClock.seconds = 0;
    g.netMyTurn = 1;
    ui.clock.seconds = 30;  // no time left, but not yet past it
    TickMainTimer(g);
    EXPECT_EQ(g.netTimeoutCount, 0);
    EXPECT_EQ(g.netMyTurn, 1);
    ui.clock.seconds = 31;
    for (int n = 1; n <= 3; ++n) {
        g.netMyTurn = 1;
        TickMainTimer(g);
        EXPECT_EQ(g.netTimeoutCount, n);
        EXPECT_EQ(g.netMoveRecord.fromX, 255);
        EXPECT_EQ(g.netMoveRecord.outcome, n);
        EXPECT_EQ(g.netMyTurn, 0);
        EXPECT_EQ(ui.status[3], " " + std::to_string(n) + " " + Gb("次超时！"));
        TickMainTimer(g);  // one expiry sends one packet
        EXPECT_EQ(g.netTimeoutCount, n);
    }
    g.netMyTurn = 1;
    TickMainTimer(g);
    EXPECT_EQ(g.seatTable[0].state, 2);
    EXPECT_EQ(BoundedText(g.seatTable[0].name, 32), Gb("计算机"));
    EXPECT_EQ(g.netConnected, 1);  // the host stays
    PutBoundedText(g.seatTable[0].name, 32, "x");
    TickMainTimer(g);
    EXPECT_EQ(BoundedText(g.seatTable[0].name, 32), "x");
}

TEST_F(TurnLoopTest, LanClientLeavesWhenTheHostIsSilent) {
    g.netConnected = 1;
    g.netState = 31;
    g.myNetSeat = 2;
    g.netDisconnectTime = 60;
    PersonToMove(1);
    g.turnClock.seconds = 0;
    ui.clock.seconds = 72;
    TickMainTimer(g);
    EXPECT_EQ(g.netConnected, 1);
    ui.clock.seconds = 73;
    TickMainTimer(g);
    EXPECT_EQ(g.netConnected, 0);
    // Back to a battle against the computer, then the notice.
    EXPECT_EQ(g.deployPhase, 1);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().find(Gb("服务器太长时间没有响应！")), 0u);
    EXPECT_TRUE(ui.timerOn);
}

}  // namespace
}  // namespace jq
