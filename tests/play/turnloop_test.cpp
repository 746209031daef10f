#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "core/text.h"
#include "formations/zffile.h"
#include "play/execute.h"
#include "play/peace.h"
#include "play/result_rules.h"
#include "play/turnloop.h"
#include "support/dealt.h"
#include "support/fake_computer.h"
#include "support/files_support.h"
#include "support/lan_fakes.h"
#include "support/scene.h"

namespace jq {
namespace {

class TurnLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.timerOn = true;
        g.computer = &computer;
        g.practiceMode = g.netMinMoveInterval = g.optionsRecord.aiLevel = 1;
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
    void PersonToMove(int seat) { g.curSeat = seat, g.computerSeat[seat] = 0; }
    // A LAN battle over a fake link, this side on `seat`.
    void JoinLan(int seat) {
        lan = std::make_unique<net::LanSession>(g);
        lan->AttachClient(&link);
        g.lan = lan.get();
        g.netConnected = 1, g.netState = 31, g.myNetSeat = seat, g.netDisconnectTime = 60;
        g.turnClock.seconds = 0;
    }

    test::ScratchFolder dir;
    std::unique_ptr<GameState> owner = std::make_unique<GameState>();
    GameState& g = *owner;
    test::RecordingUi ui;
    test::FakeComputer computer;
    testing::FakeClientLink link;
    std::unique_ptr<net::LanSession> lan;
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
        std::vector<int> counts(c.counts.size()), all(&g.optionsRecord.winRecord[0][0], &g.optionsRecord.winRecord[2][4]);
        for (int col = 0; col < 4; ++col) counts[col] = WinRecordCounter(g.optionsRecord, c.level, col);
        EXPECT_EQ(counts, c.counts);
        EXPECT_EQ(std::accumulate(all.begin(), all.end(), 0), std::accumulate(counts.begin(), counts.end(), 0));
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
}

TEST_F(TurnLoopTest, SeatZeroWithoutMovesGivesUpAndLosesWhenAlone) {
    test::ClearBoard(g.pieces);
    for (auto [piece, code, x, y] : {std::tuple{21, kFlag, 19, 12}, {20, kMine, 18, 12}, {30, kPlatoon, 23, 18}, {80, kPlatoon, 17, 22}})
        test::Put(g, piece, code, x, y);
    g.stepCount = 5;
    g.curSeat = 0;
    g.selectedPiece = 21;
    TickMainTimer(g);
    EXPECT_EQ(g.stepRecords[5], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 0}));
    EXPECT_EQ(std::pair(g.pieces[21].alive, g.selectedPiece), std::pair(0, int{kNoPiece}));
    EXPECT_EQ(ui.results, std::vector<int>{kBattleLost});
    EXPECT_TRUE(!ui.viewOtherEnabled && ui.viewOtherCaption == Gb("不看棋了"));  // the others face up
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
    EXPECT_TRUE(computer.resumes == 1 && ui.sleeps == std::vector<int>{2000});

    // Not in replay mode, not while deploying, not for a person's seat.
    g.practiceMode = 0;
    TickMainTimer(g);
    g.practiceMode = g.deployPhase = 1;
    TickMainTimer(g);
    g.deployPhase = 0;
    PersonToMove(1);
    TickMainTimer(g);
    EXPECT_EQ(computer.resumes, 1);

    // What happened during the pause is checked before waking: a new battle, the battle's end.
    g.computerSeat[1] = g.netMinMoveInterval = 1;
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
    EXPECT_TRUE(computer.resumes == 0 && ui.results.empty() && g.gameLogicDepth == 0);
    EXPECT_FALSE(ui.timeRemaining.empty());  // the clock still runs
    // A refused step's message box pumps messages: ticks run inside it.
    g.peaceAgreed = 0;
    ui.onMessage = [&] { TickMainTimer(g); };
    ExecuteMove(g, kNoPiece, kNoPiece, 11, 11, 11, 11, 1);
    EXPECT_TRUE(ui.messages.size() == 1 && computer.resumes == 0);
}

TEST_F(TurnLoopTest, ClockAndButtons) {
    PersonToMove(2);
    g.netMoveTime = 30;
    g.turnClock.seconds = 100;
    ui.clock.seconds = 112;
    TickMainTimer(g);
    EXPECT_EQ(ui.timeRemaining, "18");
    EXPECT_FALSE(ui.giveUpEnabled);  // not the own turn
    ui.clock.seconds = 200;
    g.curSeat = 0;
    TickMainTimer(g);
    EXPECT_TRUE(ui.timeRemaining == "0" && ui.giveUpEnabled);
    g.battleRunning = 0;
    TickMainTimer(g);
    EXPECT_FALSE(ui.giveUpEnabled);
}

TEST_F(TurnLoopTest, LanOwnTimeoutsThenTheSeatGoesToTheComputerOnce) {
    JoinLan(0);
    g.seatTable[0].state = g.netMyTurn = 1;
    g.netMoveTime = 30;
    g.stepCount = 4;
    g.curSeat = 0;
    ui.clock.seconds = 30;  // no time left, but not yet past it
    TickMainTimer(g);
    EXPECT_EQ(std::pair(g.netTimeoutCount, g.netMyTurn), std::pair(0, 1));
    ui.clock.seconds = 31;
    for (int n = 1; n <= 3; ++n) {
        g.netMyTurn = 1;
        TickMainTimer(g);
        EXPECT_EQ(std::tuple(g.netTimeoutCount, g.netMoveRecord.fromX, g.netMoveRecord.outcome, g.netMyTurn),
                  std::tuple(n, 255, n, 0));
        EXPECT_EQ(ui.status[3], " " + std::to_string(n) + " " + Gb("次超时！"));
        TickMainTimer(g);  // one expiry sends one packet
        EXPECT_EQ(g.netTimeoutCount, n);
    }
    g.netMyTurn = 1;
    TickMainTimer(g);
    EXPECT_EQ(BoundedText(g.seatTable[0].name, 32), Gb("计算机"));
    EXPECT_EQ(std::pair(g.seatTable[0].state, g.netConnected), std::pair(2, 1));  // the host stays
    PutBoundedText(g.seatTable[0].name, 32, "x");
    TickMainTimer(g);
    EXPECT_EQ(BoundedText(g.seatTable[0].name, 32), "x");
}

TEST_F(TurnLoopTest, LanClientLeavesWhenTheHostIsSilent) {
    JoinLan(2);
    g.lan = nullptr;
    PersonToMove(1);
    ui.clock.seconds = 72;
    TickMainTimer(g);
    EXPECT_EQ(g.netConnected, 1);
    ui.clock.seconds = 73;
    TickMainTimer(g);
    EXPECT_EQ(g.netConnected, 0);
    // Back to a battle against the computer, then the notice.
    EXPECT_TRUE(g.deployPhase == 1 && ui.timerOn);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().find(Gb("服务器太长时间没有响应！")), 0u);
}

class PeaceTest : public TurnLoopTest {
protected:
    void SetUp() override {
        TurnLoopTest::SetUp();
        for (int s = 0; s < 4; ++s) PutBoundedText(g.optionsRecord.playerNames[s], 256, Gb("玩家") + std::to_string(s));
    }
    // Leaves `n` live pieces on each seat.
    void Keep(std::vector<int> n) {
        for (int p = 0; p < kPieceCount; ++p) g.pieces[p].alive = p % 25 < n[p / 25] ? 1 : 0;
    }
};

TEST_F(PeaceTest, GrantedWithTwoPiecesMoreElseRefusedByAnotherSeat) {
    Keep({10, 9, 10, 9});
    OfferPeace(g);
    EXPECT_EQ(g.peaceAgreed, 1);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{Gb("真的不想再战下去了?") + std::string(13, ' '),
                                                    Gb("战争结束。\n天下太平！") + std::string(15, ' ')}));
    g.peaceAgreed = 0;
    Keep({10, 9, 9, 9});
    const std::string tail = Gb("不同意和棋。\n战争还得继续！") + std::string(15, ' ');
    for (int i = 0; i < 12; ++i) {
        ui.messages.clear();
        OfferPeace(g);
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_EQ(ui.messages[1].substr(Gb("玩家1").size()), tail);
        EXPECT_NE(ui.messages[1].substr(0, Gb("玩家1").size()), Gb("玩家0"));
    }
    ui.answers = {2};
    OfferPeace(g);
    EXPECT_EQ(g.peaceAgreed, 0);
}

TEST_F(PeaceTest, LanOffersAreLimitedToThree) {
    JoinLan(0);
    ui.answers = {2};
    OfferPeace(g);  // cancelled: not counted
    EXPECT_EQ(g.netPeaceRequestCount, 0);
    for (int i = 1; i <= 4; ++i) {
        ui.messages.clear();
        OfferPeace(g);
        EXPECT_EQ(ui.messages.size(), i <= 3 ? 1u : 2u);
    }
    EXPECT_EQ(ui.messages[1], Gb("三番五次想当逃兵,系统拒绝您的要求.") + std::string(9, ' '));
    EXPECT_EQ(g.peaceAgreed, 0);
}

TEST_F(PeaceTest, GiveUpRemovesTheSeatToMoveWhenItIsAPersons) {
    g.stepCount = 7;
    g.selectedPiece = 3;
    ui.nextStep = true;
    GiveUp(g);
    EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("您真的要缴械投降?") + std::string(11, ' ')});
    EXPECT_EQ(g.stepRecords[7], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 0}));
    for (int p = 0; p < 25; ++p) EXPECT_EQ(g.pieces[p].alive, 0);
    EXPECT_EQ(std::tuple(g.curSeat, ui.nextStep, g.selectedPiece, g.move.toY), std::tuple(1, false, int{kNoPiece}, 22));

    // Not for a computer's seat, a seat without pieces, a cancelled question or after the battle.
    GiveUp(g);
    g.curSeat = 2;
    g.computerSeat[2] = 0;
    for (int p = 50; p < 75; ++p) g.pieces[p].alive = 0;
    GiveUp(g);
    g.curSeat = 3;
    g.computerSeat[3] = 0;
    ui.answers = {2};
    GiveUp(g);
    g.battleRunning = 0;
    GiveUp(g);
    EXPECT_EQ(g.stepCount + g.pieces[75].alive + g.pieces[25].alive, 8 + 2);
    EXPECT_EQ(ui.messages.size(), 4u);
}

TEST_F(PeaceTest, LanGiveUpIsSentOnlyOnTheOwnTurnAndNotCarriedOutHere) {
    JoinLan(0);
    g.netMyTurn = 1;
    g.netMoveRecord.score = 4.5f;
    GiveUp(g);
    const MoveCand& r = g.netMoveRecord;
    EXPECT_EQ(std::vector<int>({r.mover, r.target, r.fromX, r.fromY, r.toX, r.toY, r.outcome}),
              std::vector<int>({kNoPiece, kNoPiece, 22, 22, 22, 22, 0}));
    EXPECT_EQ(r.score, 4.5f);  // the other fields keep their values
    EXPECT_EQ(g.netMyTurn + g.stepCount + g.pieces[0].alive, 1);
    g.netMoveRecord.fromX = 0;
    g.curSeat = 1;
    g.netMyTurn = 1;
    GiveUp(g);
    EXPECT_EQ(g.netMoveRecord.fromX, 0);
}

TEST_F(PeaceTest, ExitStopsTheComputerAndClosesButALanHostIsAskedFirst) {
    computer.idle = false;
    g.netConnected = 1;
    g.myNetSeat = 0;
    ui.answers = {2};
    ExitProgram(g);
    EXPECT_TRUE(!ui.closed && ui.timerOn && computer.stops == 0);
    EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("庄家退出后其他玩家将无法继续游戏！") + std::string(13, ' ') +
                                                   Gb("\n是否继续退出？")});
    ExitProgram(g);
    EXPECT_TRUE(ui.closed && !ui.timerOn && computer.stops == 1);
}

}  // namespace
}  // namespace jq
