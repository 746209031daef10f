#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "support/fake_computer.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "formations/formation.h"
#include "formations/zffile.h"
#include "play/execute.h"
#include "play/turnloop.h"

namespace jq {
namespace {

using test::ClearBoard;
using test::FakeComputer;
using test::RecordingUi;
using test::LayOutBattle;
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
        // No formation database here: rating one is reported in a box.
        g.appFolder = (std::filesystem::temp_directory_path() / "junqi-play-no-such-folder").string() + "/";
        LayOutBattle(g, test::kArmy, 0);
        g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
        for (SeatRec& s : g.seatTable) s.state = 0;
    }

    void KillSeat(int seat) {
        for (int p = seat * 25; p < seat * 25 + 25; ++p) g.pieces[p].alive = 0;
    }

    const int32_t* Record() const { return g.optionsRecord.winRecord[1]; }

    std::unique_ptr<GameState> owner = std::make_unique<GameState>();
    GameState& g = *owner;
    RecordingUi ui;
    FakeComputer computer;
};

TEST_F(TurnLoopTest, AdvanceStepCountShowsTheCount) {
    g.stepCount = 41;
    AdvanceStepCount(g);
    EXPECT_EQ(g.stepCount, 42);
    EXPECT_EQ(ui.status[2], Gb("当前已走：42 步"));
    // Stepping back past the first step relies on an increment of exactly one.
    g.stepCount = -1;
    AdvanceStepCount(g);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(ui.status[2], Gb("当前已走：0 步"));
}

TEST_F(TurnLoopTest, ReleaseAllSeatsKeepsPeopleAndIsIdempotent) {
    g.seatTable[0].state = 1;
    g.seatTable[2].state = 1;
    for (int pass = 0; pass < 2; ++pass) {
        ReleaseAllSeats(g);
        EXPECT_EQ(g.seatTable[0].state, 1);
        EXPECT_EQ(g.seatTable[1].state, 2);
        EXPECT_EQ(g.seatTable[2].state, 1);
        EXPECT_EQ(g.seatTable[3].state, 2);
        for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);
    }
}

TEST_F(TurnLoopTest, DrawAtTheStepLimitRatesNothing) {
    g.optionsRecord.recordLatestFormations = 1;
    g.stepCount = 510;
    TickMainTimer(g);
    EXPECT_EQ(ui.results, std::vector<int>{kBattleDraw});
    EXPECT_EQ(g.battleRunning, 0);
    EXPECT_EQ(g.stepLimitReached, 1);
    EXPECT_EQ(Record()[0], 1);
    EXPECT_EQ(Record()[3], 1);
    EXPECT_EQ(Record()[1] + Record()[2], 0);
    EXPECT_EQ(ui.winRecordChanges, 1);
    EXPECT_TRUE(ui.boxes.empty());  // the formation database was not touched
    for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);
    EXPECT_EQ(computer.resumes, 0);
}

TEST_F(TurnLoopTest, PeaceAndADeadTeamOnOneTickBookOnlyTheDraw) {
    g.stepCount = 12;
    g.peaceAgreed = 1;
    KillSeat(1);
    KillSeat(3);
    TickMainTimer(g);
    EXPECT_EQ(ui.results, std::vector<int>{kBattleDraw});
    EXPECT_EQ(Record()[0], 1);
    EXPECT_EQ(Record()[3], 1);
    EXPECT_EQ(Record()[1], 0);
}

TEST_F(TurnLoopTest, WinIsBookedOnceAndRated) {
    g.optionsRecord.recordLatestFormations = 1;
    g.stepCount = 80;
    g.curSeat = 0;
    KillSeat(1);
    KillSeat(3);
    // Ticks that run while the result panel is up (it pumps messages).
    ui.duringResult = [&] {
        TickMainTimer(g);
        TickMainTimer(g);
    };
    TickMainTimer(g);
    TickMainTimer(g);
    EXPECT_EQ(ui.results, std::vector<int>{kBattleWon});
    EXPECT_EQ(Record()[0], 1);
    EXPECT_EQ(Record()[1], 1);
    EXPECT_EQ(Record()[2], 0);
    // Rating was tried once: the missing database is reported once.
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(TurnLoopTest, LossWhenTheTeamToMoveHasNothingLeft) {
    g.stepCount = 30;
    g.curSeat = 2;
    KillSeat(0);
    KillSeat(2);
    TickMainTimer(g);
    EXPECT_EQ(ui.results, std::vector<int>{kBattleLost});
    EXPECT_EQ(Record()[2], 1);
    // With seat 0 gone the other seats are shown face up, once; the button
    // stays disabled.
    EXPECT_EQ(g.viewOtherFormations, 1);
    EXPECT_FALSE(ui.viewOtherEnabled);
    EXPECT_EQ(ui.viewOtherCaption, Gb("不看棋了"));
    TickMainTimer(g);
    EXPECT_EQ(g.viewOtherFormations, 1);
}

TEST_F(TurnLoopTest, DecidedBattleRatesTheFormationsOfSeatsOneAndThree) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("junqi-play-rating-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    g.appFolder = folder.string() + "/";
    ZfDatabase db;
    db.count = 4;
    for (int n = 0; n < 4; ++n) {
        GameRandom rng;
        rng.Seed(70 + n);
        GenerateFormation(rng, db.slots[n].codes);
    }
    struct Case {
        int lostSeat;  // with its partner
        int result;
        std::vector<int> order;  // the records' old slots after the rating
        int score;
    };
    for (const Case& c : {Case{1, kBattleWon, {0, 1, 3, 2}, -2}, Case{0, kBattleLost, {2, 1, 0, 3}, 2}}) {
        ASSERT_TRUE(WriteZfFile(ZfFilePath(g), db));
        LayOutBattle(g, test::kArmy, 0);
        g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
        KillSeat(c.lostSeat);
        KillSeat(c.lostSeat + 2);
        g.optionsRecord.recordLatestFormations = 1;
        g.stepCount = 40;
        // Seats 1 and 3 both played slot 2; seats 0 and 2 are never rated.
        g.zfChosenIndex[0] = 3;
        g.zfChosenIndex[1] = 2;
        g.zfChosenIndex[2] = 3;
        g.zfChosenIndex[3] = 2;
        ui.results.clear();
        TickMainTimer(g);
        ASSERT_EQ(ui.results, std::vector<int>{c.result});
        const ZfDecodeResult after = ReadZfFile(ZfFilePath(g));
        ASSERT_EQ(after.error, ZfError::kNone);
        for (int i = 0; i < 4; ++i) {
            const int old = c.order[i];
            EXPECT_EQ(std::memcmp(after.db.slots[i].codes, db.slots[old].codes, kPiecesPerSeat), 0) << i;
            EXPECT_EQ(after.db.slots[i].score, old == 2 ? c.score : 0) << i;
        }
    }
    EXPECT_TRUE(ui.boxes.empty());
    std::filesystem::remove_all(folder);
}

TEST_F(TurnLoopTest, BothTeamsGoneIsBookedOnce) {
    g.stepCount = 30;
    for (int s = 0; s < 4; ++s) KillSeat(s);
    TickMainTimer(g);
    EXPECT_EQ(ui.results.size(), 1u);
    EXPECT_EQ(Record()[0], 1);
}

TEST_F(TurnLoopTest, NoEndBeforeTheFirstStep) {
    g.stepCount = 0;
    g.peaceAgreed = 1;
    KillSeat(1);
    KillSeat(3);
    g.curSeat = 2;  // keep the computer asleep: it would play seat 1
    g.computerSeat[2] = 0;
    TickMainTimer(g);
    EXPECT_TRUE(ui.results.empty());
    EXPECT_EQ(g.battleRunning, 1);
}

TEST_F(TurnLoopTest, LevelOutsideTheRangeCountsNothing) {
    g.optionsRecord.aiLevel = 5;
    g.stepCount = 510;
    TickMainTimer(g);
    EXPECT_EQ(ui.results, std::vector<int>{kBattleDraw});
    for (const auto& row : g.optionsRecord.winRecord)
        for (int v : row) EXPECT_EQ(v, 0);
}

TEST_F(TurnLoopTest, SeatZeroWithoutMovesGivesUpAndLosesWhenAlone) {
    ClearBoard(g.pieces);
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
    EXPECT_EQ(g.move.fromX, 22);
    EXPECT_EQ(ui.results, std::vector<int>{kBattleLost});
}

TEST_F(TurnLoopTest, ComputerIsWokenAfterTheMinimumIntervalOnlyWhenIdle) {
    g.curSeat = 1;
    g.stepCount = 3;
    g.netMinMoveInterval = 2;
    computer.idle = false;
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 0);
    EXPECT_TRUE(ui.sleeps.empty());

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
    g.curSeat = 0;
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 1);
}

TEST_F(TurnLoopTest, WhatHappensDuringThePauseIsCheckedBeforeWaking) {
    g.curSeat = 1;
    g.stepCount = 3;
    g.netMinMoveInterval = 1;
    computer.idle = true;

    // The player starts a new battle while the window waits.
    ui.duringLiveWait = [this] {
        ++g.battleSerial;
        g.deployPhase = 0;
    };
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 0);

    // The battle ended meanwhile (every seat released).
    ui.duringLiveWait = [this] { ReleaseAllSeats(g); };
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 0);

    // Nothing happened: the computer is woken after the pause.
    g.computerSeat[1] = 1;
    ui.duringLiveWait = nullptr;
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 1);
    EXPECT_EQ(ui.sleeps, (std::vector<int>{1000, 1000, 1000}));
}

TEST_F(TurnLoopTest, TickInsideAMoveNeitherMovesNorWakesTheComputer) {
    g.curSeat = 1;
    g.stepCount = 3;
    g.peaceAgreed = 1;
    {
        GameLogicGuard busy(g);
        TickMainTimer(g);
    }
    EXPECT_EQ(computer.resumes, 0);
    EXPECT_TRUE(ui.results.empty());
    EXPECT_EQ(g.battleRunning, 1);
    // The clock still runs meanwhile.
    EXPECT_FALSE(ui.timeRemaining.empty());
    EXPECT_EQ(g.gameLogicDepth, 0);
}

TEST_F(TurnLoopTest, MessageBoxDuringAMoveDoesNotLetTheTimerMove) {
    // A refused step's message box pumps messages: ticks run inside it.
    ui.onMessage = [&] { TickMainTimer(g); };
    g.curSeat = 1;
    ExecuteMove(g, kNoPiece, kNoPiece, 11, 11, 11, 11, 1);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(computer.resumes, 0);
}

TEST_F(TurnLoopTest, MoveClockCountsDownToZero) {
    g.netMoveTime = 30;
    g.turnClock.seconds = 100;
    ui.clock.seconds = 112;
    g.curSeat = 2;
    g.computerSeat[2] = 0;
    TickMainTimer(g);
    EXPECT_EQ(ui.timeRemaining, "18");
    ui.clock.seconds = 200;
    TickMainTimer(g);
    EXPECT_EQ(ui.timeRemaining, "0");
}

TEST_F(TurnLoopTest, TurnLightFollowsTheSeatAndCyclesItsFrames) {
    g.curSeat = 2;
    g.computerSeat[2] = 0;
    g.turnLightTick = 0;
    for (int i = 0; i < 81; ++i) TickMainTimer(g);
    EXPECT_EQ(ui.lightSeat, 2);
    EXPECT_EQ(ui.frames, (std::vector<int>{1, 2, 3, 4, 5, 0}));
    g.curSeat = 7;
    TickMainTimer(g);
    EXPECT_EQ(ui.lightSeat, -1);
}

TEST_F(TurnLoopTest, AutoReplayPaceFollowsTheInterval) {
    g.battleRunning = 0;
    g.curSeat = 2;
    g.computerSeat[2] = 0;
    struct Case {
        int interval, period;
    };
    for (const Case c : {Case{0, 2}, Case{8, 27}, Case{10, 33}, Case{60, 189}}) {
        g.optionsRecord.autoPlayInterval = c.interval;
        g.autoPlayTicks = 0;
        std::vector<int> fired;
        for (int t = 1; t <= 3 * c.period; ++t) {
            const int before = g.autoPlayTicks;
            TickMainTimer(g);
            if (g.autoPlayTicks == 0 && before > 0) fired.push_back(t);
        }
        ASSERT_EQ(fired.size(), 3u) << c.interval;
        EXPECT_EQ(fired[1] - fired[0], c.period) << c.interval;
    }
}

TEST_F(TurnLoopTest, GiveUpAndPeaceEnabledOnlyOnTheOwnTurnOfARunningBattle) {
    g.curSeat = 0;
    TickMainTimer(g);
    EXPECT_TRUE(ui.giveUpEnabled);
    g.battleRunning = 0;
    TickMainTimer(g);
    EXPECT_FALSE(ui.giveUpEnabled);
    g.battleRunning = 1;
    g.curSeat = 3;
    g.computerSeat[3] = 0;
    TickMainTimer(g);
    EXPECT_FALSE(ui.giveUpEnabled);
}

TEST_F(TurnLoopTest, StopAIThreadStopsTheTimerAndABusyWorker) {
    StopAIThread(g);
    EXPECT_FALSE(ui.timerOn);
    EXPECT_EQ(computer.stops, 0);
    computer.idle = false;
    StopAIThread(g);
    EXPECT_EQ(computer.stops, 1);
    EXPECT_TRUE(computer.IsIdle());
    g.computer = nullptr;
    StopAIThread(g);
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
    ui.clock.seconds = 31;
    for (int n = 1; n <= 3; ++n) {
        g.netMyTurn = 1;
        TickMainTimer(g);
        EXPECT_EQ(g.netTimeoutCount, n);
        EXPECT_EQ(g.netMoveRecord.fromX, 255);
        EXPECT_EQ(g.netMoveRecord.outcome, n);
        EXPECT_EQ(g.netMyTurn, 0);
        EXPECT_EQ(ui.status[3], " " + std::to_string(n) + " " + Gb("次超时！"));
        // One expiry sends one packet.
        TickMainTimer(g);
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
    g.curSeat = 1;
    g.computerSeat[1] = 0;
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
