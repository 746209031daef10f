#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ai/movegen.h"
#include "core/text.h"
#include "formations/zffile.h"
#include "net/host/relay.h"
#include "play/execute.h"
#include "play/peace.h"
#include "play/result_rules.h"
#include "play/turnloop.h"
#include "support/dealt.h"
#include "support/fake_computer.h"
#include "support/files_support.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::Put;
using test::RecordingUi;
using Strings = std::vector<std::string>;

class ExecuteTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        g.optionsRecord.soundOn = g.clickStepCount = g.turnDirection = g.battleRunning = 1;
        g.netMoveTime = 30;
        g.selectedPiece = kNoPiece;
        std::memset(g.eliminatedPieces, kNoPiece, sizeof g.eliminatedPieces);
        ui.clock.seconds = 1000;
        Reset();
    }

    // One mine of each seat far from the action, so turns can pass; seat 0 to move.
    void Reset() {
        test::ClearBoard(g.pieces);
        for (auto [piece, x, y] : {std::tuple{24, 22, 12}, {49, 28, 22}, {74, 18, 28}, {99, 12, 18}}) Put(g, piece, kMine, x, y);
        g.curSeat = 0;
        ui.events.clear(), ui.sounds.clear();
    }

    MoveResult Run(int from, int to, int x1, int y1, int x2, int y2, int outcome) {
        return ExecuteMove(g, from, to, x1, y1, x2, y2, outcome);
    }

    std::vector<int> EliminatedRow(int seat) const {
        std::vector<int> v;
        for (int k = 0; k < 30 && g.eliminatedPieces[seat][k] != kNoPiece; ++k) v.push_back(g.eliminatedPieces[seat][k]);
        return v;
    }

    std::unique_ptr<GameState> owner = std::make_unique<GameState>();
    GameState& g = *owner;
    RecordingUi ui;
};

TEST_F(ExecuteTest, MoveAnimatesSquareBySquareAndIsRecorded) {
    Put(g, 0, kDivision, 18, 17);
    g.selectedPiece = 0;
    ASSERT_EQ(Run(0, kNoPiece, 18, 17, 22, 17, 1), MoveResult::kDone);
    EXPECT_EQ(g.pieces[0].x, 22);
    ASSERT_EQ(ui.arrows.size(), 4u);
    for (int i = 0; i < 4; ++i)  // points 0..3 lie on the front row
        EXPECT_EQ(std::tuple(ui.arrows[i].index, ui.arrows[i].point, ui.arrows[i].dir), std::tuple(i + 1, i, int{kDirRight}));
    EXPECT_EQ(ui.events, (Strings{"sound:move.wav", "sleep:40", "sound:move.wav", "sleep:40", "sound:move.wav",
                                  "sleep:40", "sound:move.wav"}));
    EXPECT_TRUE(g.stepRecords[0] == (StepRec{0, kNoPiece, 18, 17, 22, 17, 1}) && g.lastStepRecord == g.stepRecords[0]);
    EXPECT_EQ(std::tuple(g.stepCount, g.curSeat, g.selectedPiece, g.lastActivity.seconds), std::tuple(1, 1, int{kNoPiece}, 1000));
    EXPECT_EQ(ui.timeRemaining + ui.status[2] + ui.status[3], "30" + Gb("当前已走：1 步") + IdleStatusText());

    Reset();  // stepping by tens jumps without arrows, sounds or pauses
    Put(g, 0, kDivision, 18, 17);
    g.clickStepCount = 10;
    ASSERT_EQ(Run(0, kNoPiece, 18, 17, 22, 17, 1), MoveResult::kDone);
    EXPECT_TRUE(g.pieces[0].x == 22 && ui.arrows.empty() && ui.events.empty());
}

TEST_F(ExecuteTest, RefusedMoveTouchesNoPieceRecordOrTurn) {
    for (auto [piece, code, x, y] : {std::tuple{0, kDivision, 18, 17}, {21, kFlag, 19, 12}, {20, kMine, 18, 12},
                                     {23, kArmyCommander, 21, 12}, {30, kPlatoon, 19, 17}, {1, kPlatoon, 20, 13}})
        Put(g, piece, code, x, y);
    g.pieces[1].alive = 0;
    const auto before = std::make_unique<GameState>(g);
    struct Case { const char* what; int from, to, x1, y1, x2, y2; bool told; };
    const Case cases[] = {
        {"no mover", kNoPiece, kNoPiece, 18, 17, 18, 16, true},    {"mover out of range", 100, kNoPiece, 18, 17, 18, 16, true},
        {"start off the board", 0, kNoPiece, 19, 19, 18, 16, true}, {"target off the board", 0, kNoPiece, 18, 17, 11, 17, true},
        {"dead mover", 1, kNoPiece, 20, 13, 20, 14, false},         {"mover not on its start", 0, kNoPiece, 18, 16, 18, 15, false},
        {"a flag does not move", 21, kNoPiece, 19, 12, 20, 12, false},
        {"a mine does not move", 20, kNoPiece, 18, 12, 18, 13, false},
        {"a headquarters piece does not move", 23, kNoPiece, 21, 12, 21, 13, false},
        {"target named but point empty", 0, 30, 18, 17, 18, 16, false},
        {"enemy on the target but none named", 0, kNoPiece, 18, 17, 19, 17, false},
        {"no path", 0, kNoPiece, 18, 17, 20, 15, false},             {"path blocked", 0, kNoPiece, 18, 17, 22, 17, false},
    };
    int clock = 2000;
    for (const Case& c : cases) {
        ui.messages.clear(), ui.arrows.push_back({7, 7, 7}), ui.timeRemaining.clear();
        ui.status[3] = "notice";
        ui.clock.seconds = ++clock;
        g.selectedPiece = 0;
        for (int steps : {1, 10}) {
            g.clickStepCount = steps;
            EXPECT_EQ(Run(c.from, c.to, c.x1, c.y1, c.x2, c.y2, 1), MoveResult::kRefused) << c.what;
        }
        EXPECT_EQ(ui.messages, c.told ? Strings(2, Gb("非法棋步,没有指定要移动的棋子... ")) : Strings{}) << c.what;
        // What every step does first happens all the same.
        EXPECT_TRUE(g.selectedPiece == kNoPiece && g.lastActivity.seconds == clock && ui.arrows.empty()) << c.what;
        EXPECT_TRUE(ui.timeRemaining == "30" && ui.status[3] == IdleStatusText()) << c.what;
    }
    EXPECT_EQ(g.stepCount + g.curSeat, 0);
    EXPECT_EQ(g.stepRecords[0], before->stepRecords[0]);
    EXPECT_EQ(g.lastStepRecord, before->lastStepRecord);
    for (int p = 0; p < kPieceCount; ++p)
        EXPECT_TRUE(g.pieces[p].x == before->pieces[p].x && g.pieces[p].alive == before->pieces[p].alive) << p;
    EXPECT_TRUE(ui.events.empty() && ui.placed.empty());
}

TEST_F(ExecuteTest, OutcomesSoundsAndFlagsOfFallenCommanders) {
    struct Case { int moverCode, targetCode, outcome; Strings events; int moverAlive, targetAlive; };
    const Case cases[] = {
        {kDivision, kPlatoon, 1, {"sound:eat.wav"}, 1, 0},
        {kPlatoon, kDivision, -1, {"sound:beeat.wav"}, 0, 1},
        {kPlatoon, kPlatoon, 0, {"sound:Equal.wav"}, 0, 0},
        {kCommander, kMine, -1, {"sound:showflag.wav", "reveal:5"}, 0, 1},
        {kBomb, kCommander, 0, {"reveal:31", "sound:showflag.wav"}, 0, 0},
        {kCommander, kCommander, 0, {"reveal:5", "reveal:31", "sound:showflag.wav"}, 0, 0},
    };
    for (const Case& c : cases) {
        Reset();
        Put(g, 5, c.moverCode, 18, 17);
        Put(g, 31, c.targetCode, 19, 17);
        SCOPED_TRACE(std::to_string(c.moverCode) + " on " + std::to_string(c.targetCode));
        ASSERT_EQ(Run(5, 31, 18, 17, 19, 17, c.outcome), MoveResult::kDone);
        EXPECT_EQ(ui.events, c.events);
        EXPECT_EQ(std::pair(g.pieces[5].alive, g.pieces[31].alive), std::pair(c.moverAlive, c.targetAlive));
    }
}

TEST_F(ExecuteTest, FlagCaptureRemovesTheWholeSeatButNotItsPartner) {
    for (auto [piece, code, x, y] : {std::tuple{2, kDivision, 27, 19}, {46, kFlag, 28, 19}, {25, kPlatoon, 23, 18},
                                     {30, kMine, 24, 17}, {27, kCompany, 23, 20}, {80, kCompany, 17, 22}})
        Put(g, piece, code, x, y);
    g.pieces[27].alive = 0;  // already gone: not listed again; 80 is of the partner seat
    ASSERT_EQ(Run(2, 46, 27, 19, 28, 19, 1), MoveResult::kDone);
    EXPECT_EQ(EliminatedRow(1), (std::vector<int>{25, 30, 46, 49}));
    for (int p = 25; p < 50; ++p) EXPECT_EQ(g.pieces[p].alive, 0) << p;
    EXPECT_EQ(g.pieces[80].alive + g.pieces[99].alive + g.pieces[2].alive, 3);
    EXPECT_TRUE(g.pieces[2].x == 28 && ui.sounds == Strings{"die.wav"});
    EXPECT_EQ(g.curSeat, 2);  // seat 1 has nothing left
}

TEST_F(ExecuteTest, TurnSkipsRemovedSeatsInEitherDirection) {
    struct Case { int direction; std::vector<int> gone; int next; };
    // Neither +1 nor -1 passes as +1; alone on the board, back to the mover.
    const Case cases[] = {{1, {}, 1}, {-1, {}, 3}, {-1, {99}, 2}, {1, {49, 74}, 3}, {0, {}, 1}, {1, {49, 74, 99}, 0}};
    for (const Case& c : cases) {
        Reset();
        for (int p : c.gone) g.pieces[p].alive = 0;
        g.turnDirection = c.direction;
        Put(g, 3, kPlatoon, 20, 16);
        ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);
        EXPECT_EQ(g.curSeat, c.next) << c.direction << " with " << c.gone.size() << " gone";
    }
}

TEST_F(ExecuteTest, SurrenderAndTimeoutSteps) {
    for (auto [piece, code, x, y] : {std::tuple{60, kPlatoon, 21, 27}, {55, kCompany, 22, 26}, {52, kEngineer, 18, 23}})
        Put(g, piece, code, x, y);
    g.pieces[52].alive = 0, g.curSeat = 2, g.selectedPiece = 55;
    const StepRec last = g.lastStepRecord;
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 22, 22, 22, 22, 7), MoveResult::kDone);
    EXPECT_EQ(g.stepRecords[0], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 2}));
    EXPECT_EQ(EliminatedRow(2), (std::vector<int>{55, 60, 74}));
    EXPECT_TRUE(ui.status[3] == Gb("第 2 方，缴械投降XXX") && ui.sounds == Strings{"die.wav"});
    EXPECT_TRUE(g.curSeat == 3 && g.selectedPiece == kNoPiece && g.lastStepRecord == last);

    // A seat with nothing left keeps its row.
    g.pieces[99].alive = 0, g.eliminatedPieces[3][0] = 33;
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 22, 22, 22, 22, 1), MoveResult::kDone);
    EXPECT_TRUE(EliminatedRow(3) == std::vector<int>{33} && g.curSeat == 0);

    // A time-out passes the turn; in a LAN battle it tells the count.
    for (int lan : {1, 0}) {
        g.netConnected = lan, g.curSeat = 1;
        ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 2), MoveResult::kDone);
        EXPECT_EQ(ui.status[3], Gb(lan ? "第 1 方，第 2 次超时没有走棋" : "第 1 方，超时没有走棋"));
        EXPECT_EQ(g.curSeat, 0);  // seats 2 and 3 are gone
    }
    EXPECT_TRUE(g.stepRecords[3] == (StepRec{kNoPiece, kNoPiece, 255, 255, 255, 255, 1}) && ui.sounds.back() == "nomove.wav");
    EXPECT_EQ(std::pair(g.pieces[49].alive, g.stepCount), std::pair(1, 4));
    Put(g, 7, kDivision, 22, 22);  // four 22s with one different is an ordinary move
    ASSERT_EQ(Run(7, kNoPiece, 22, 22, 22, 23, 1), MoveResult::kDone);
    EXPECT_EQ(g.stepRecords[4], (StepRec{7, kNoPiece, 22, 22, 22, 23, 1}));
}

TEST_F(ExecuteTest, StepLimitHoldsTheCounterAndTheListIsNeverOverrun) {
    Put(g, 3, kPlatoon, 20, 16);
    g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
    g.stepCount = 509;
    ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);
    EXPECT_EQ(std::pair(g.stepCount, g.computerSeat[1]), std::pair(510, 1));
    g.curSeat = 0;
    ASSERT_EQ(Run(3, kNoPiece, 20, 15, 20, 16, 1), MoveResult::kDone);
    EXPECT_EQ(g.stepCount, 510);
    EXPECT_EQ(ui.status[2], Gb("当前已走：510 步"));
    EXPECT_EQ(g.stepRecords[510], (StepRec{3, kNoPiece, 20, 15, 20, 16, 1}));
    EXPECT_EQ(g.stepRecords[511], StepRec{});
    for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);

    g.stepCount = -1;  // stepping back past the first step
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 1), MoveResult::kDone);
    EXPECT_TRUE(g.stepCount == 0 && g.stepRecords[0] == StepRec{});
    for (int damaged : {kStepSlots, 100000}) {
        g.stepCount = damaged;
        const StepRec last = g.lastStepRecord;
        ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 1), MoveResult::kDone);
        EXPECT_EQ(g.stepCount, 510);
        EXPECT_EQ(g.lastStepRecord, last);  // the slot after the list
    }
}

// A winning attack on a flag, else at random a winning attack or any move; a seat without moves gives up.
MoveCand PickMove(const GameState& g, GameRandom& rng, MoveGenWork& work) {
    const int n = GenerateMoves(work, g.pieces, g.curSeat);
    if (n == 0) return MoveCand{kNoPiece, kNoPiece, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, g.curSeat};
    int best = -1;
    for (int i = 0; i < n && (best < 0 || g.pieces[work.list[best].target].code != kFlag); ++i) {
        const MoveCand& c = work.list[i];
        if (c.target != kNoPiece && c.outcome == kMoverWins && (g.pieces[c.target].code == kFlag || rng.Next() % 2 == 0))
            best = i;
    }
    return work.list[best >= 0 ? best : rng.Next() % n];
}

MoveResult Play(GameState& g, const MoveCand& m) {
    return ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
}

void ExpectConsistent(const GameState& g) {
    std::set<std::pair<int, int>> taken;
    for (int p = 0; p < kPieceCount; ++p) {
        const PieceRec& pc = g.pieces[p];
        if (pc.alive != 1) continue;
        ASSERT_GE(PointIndexAt(*g.board, pc.x, pc.y), 0) << p;
        ASSERT_TRUE(taken.insert({pc.x, pc.y}).second) << "two pieces on one point, piece " << p;
        ASSERT_TRUE((pc.code != kFlag && pc.code != kMine) || (pc.x == pc.startX && pc.y == pc.startY)) << p;
    }
    ASSERT_TRUE(g.stepCount >= 0 && g.stepCount <= kMaxSteps && IsValidSeat(g.curSeat));
}

TEST(HeadlessBattleTest, BattlesEndWithOneResultAndReplayFromTheirRecords) {
    int decided = 0;
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(seed);
        auto owner = std::make_unique<GameState>(), replay = std::make_unique<GameState>();
        GameState &g = *owner, &r = *replay;
        RecordingUi ui, quiet;
        test::FakeComputer computer;
        auto work = std::make_unique<MoveGenWork>();
        GameRandom rng;
        rng.Seed(seed);
        g.ui = &ui;
        g.computer = &computer;
        g.practiceMode = g.clickStepCount = g.netMinMoveInterval = 1;
        g.optionsRecord.aiLevel = 0;
        g.turnDirection = seed % 2 ? 1 : -1;
        test::LayOutBattle(g, test::kArmy, static_cast<int>(seed % 4));
        g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
        computer.play = [&] { EXPECT_EQ(Play(g, PickMove(g, rng, *work)), MoveResult::kDone); };
        for (int tick = 0; tick < 5000 && g.battleRunning != 0 && !::testing::Test::HasFatalFailure(); ++tick) {
            if (g.curSeat == 0 && GenerateMoves(*work, g.pieces, 0) > 0) {
                EXPECT_EQ(Play(g, PickMove(g, rng, *work)), MoveResult::kDone);
            }
            TickMainTimer(g);
            ExpectConsistent(g);
        }
        ASSERT_FALSE(::testing::Test::HasFailure());
        ASSERT_TRUE(g.battleRunning == 0 && ui.results.size() == 1u);
        decided += ui.results[0] != kBattleDraw;
        EXPECT_TRUE((ui.results[0] != kBattleDraw || g.stepCount == kMaxSteps) && g.optionsRecord.winRecord[0][0] == 1);
        for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);

        // The step records alone rebuild the final position, stepping by tens (no path animation) as replay
        // does.
        r.ui = &quiet;
        r.turnDirection = g.turnDirection;
        test::LayOutBattle(r, test::kArmy, static_cast<int>(seed % 4));
        r.clickStepCount = 10;
        for (int k = 0; k < g.stepCount; ++k) {
            const StepRec& s = g.stepRecords[k];
            ASSERT_EQ(ExecuteMove(r, s.mover, s.target, s.fromX, s.fromY, s.toX, s.toY, s.outcome), MoveResult::kDone) << k;
        }
        for (int p = 0; p < kPieceCount; ++p) {
            EXPECT_EQ(r.pieces[p].alive, g.pieces[p].alive) << "piece " << p;
            EXPECT_TRUE(g.pieces[p].alive != 1 || (r.pieces[p].x == g.pieces[p].x && r.pieces[p].y == g.pieces[p].y)) << p;
        }
        EXPECT_EQ(r.curSeat, g.curSeat);
    }
    EXPECT_GT(decided, 0);
}

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
        g.seatTable[seat].state = 1;
        g.lastActivity.seconds = 0;
    }

    test::ScratchFolder dir;
    std::unique_ptr<GameState> owner = std::make_unique<GameState>();
    GameState& g = *owner;
    test::RecordingUi ui;
    test::FakeComputer computer;
    testing::FakeClientLink link;
    testing::FakeServerLinks serverLinks;  // outlives the session
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
        {"no team lost before the first step", 0, 0, 1, 2, {1, 3}, {}, {0, 0, 0, 0}},
        {"an agreed peace before the first step", 0, 1, 1, 2, {1, 3}, {kBattleDraw}, {1, 0, 0, 1}},
        {"seat 0 gone, its partner plays on", 30, 0, 1, 1, {0}, {}, {0, 0, 0, 0}},
        {"seat 1 gone and next, its partner plays on", 30, 0, 1, 0, {1}, {}, {0, 0, 0, 0}},
        {"level 0", 40, 0, 0, 0, {1, 3}, {kBattleWon}, {1, 1, 0, 0}},
        {"a level just past the last counts nothing", 510, 0, 3, 0, {}, {kBattleDraw}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewBattle();
        ui.results.clear(), ui.winRecordChanges = 0;
        g.optionsRecord = OptionsRec{};
        g.optionsRecord.aiLevel = c.level, g.stepCount = c.steps, g.peaceAgreed = c.peace;
        PersonToMove(c.toMove);
        for (int s : c.gone) KillSeat(s);
        g.seatTable[0].state = 1, g.seatTable[2].state = 2;  // a person's seat and a released one
        // Ticks that run while the result panel is up (it pumps messages).
        ui.duringResult = [&] { TickMainTimer(g); };
        TickMainTimer(g), TickMainTimer(g);
        EXPECT_EQ(ui.results, c.results);
        EXPECT_TRUE(g.battleRunning == (c.results.empty() ? 1 : 0) && g.stepCount == std::min(c.steps, 510));
        // Without seat 0 the others are shown face up, once.
        EXPECT_EQ(g.viewOtherFormations, !c.gone.empty() && c.gone[0] == 0 ? 1 : 0);
        std::vector<int> counts(c.counts.size()), all(&g.optionsRecord.winRecord[0][0], &g.optionsRecord.winRecord[2][4]);
        for (int col = 0; col < 4; ++col) counts[col] = WinRecordCounter(g.optionsRecord, c.level, col);
        EXPECT_EQ(counts, c.counts);
        EXPECT_EQ(std::accumulate(all.begin(), all.end(), 0), std::accumulate(counts.begin(), counts.end(), 0));
        EXPECT_TRUE(ui.winRecordChanges == c.counts[0] && computer.resumes == 0);
        for (int s = 1; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], c.results.empty() && s != c.toMove ? 1 : 0) << s;
        // The end releases the seats nobody holds, only those.
        std::vector<int> states;
        for (const SeatRec& r : g.seatTable) states.push_back(r.state);
        EXPECT_EQ(states, c.results.empty() ? (std::vector<int>{1, 0, 2, 0}) : (std::vector<int>{1, 2, 2, 2}));
    }
    EXPECT_TRUE(ui.boxes.empty());  // nothing rated: no formations were recorded
}

TEST_F(TurnLoopTest, DecidedBattlesRateTheFormationsOfSeatsOneAndThreeOnce) {
    const ZfDatabase db = test::DealDatabase(2);
    g.optionsRecord.recordLatestFormations = 1;
    ui.duringResult = [&] { TickMainTimer(g); };
    // Seats 1 and 3 played record 1: a win of seats 0 and 2 lowers its score by two, a loss raises it by two
    // and sorts it first; a draw rates nothing.
    for (auto [lostSeat, score] : {std::pair{1, -2}, {0, 2}, {-1, 0}}) {
        ASSERT_TRUE(WriteZfFile(ZfFilePath(g), db));
        NewBattle();
        if (lostSeat >= 0) KillSeat(lostSeat), KillSeat(lostSeat + 2);
        g.stepCount = lostSeat >= 0 ? 40 : 510;
        g.zfChosenIndex[1] = g.zfChosenIndex[3] = 1;
        TickMainTimer(g);
        const ZfDecodeResult after = ReadZfFile(ZfFilePath(g));
        const int moved = score > 0 ? 0 : 1;
        EXPECT_EQ(std::memcmp(after.db.slots[moved].codes, db.slots[1].codes, kPiecesPerSeat), 0) << lostSeat;
        EXPECT_EQ(std::pair(after.db.slots[moved].score, after.db.slots[1 - moved].score), std::pair(score, 0)) << lostSeat;
    }
}

// A LAN host gives its outbox 20 passes of pumping, sending and 100 ms at most, then says what is
// left, and shows its result panel without waiting for it; any other side waits for its panel.
TEST_F(TurnLoopTest, LanHostResultWaitsForItsOutboxThenComesModeless) {
    testing::FakeServerLinks& links = serverLinks;
    lan = std::make_unique<net::LanSession>(g);
    g.lan = lan.get();
    g.isNetHost = g.netConnected = g.turnDirection = 1, g.netState = net::kNetJoinSent;
    lan->StartHosting(&links);
    lan->relay()->Connected(1, "127.0.0.1", 100);
    lan->relay()->SetOwnConnection(1);
    links.takeAtMost = 0;  // the host's own end reads nothing: its seat's packets stay queued
    auto queue = [&](const net::Packet& p) { lan->relay()->Received(1, p.data(), p.size()); };
    SeatRec own;
    own.seat = 0, own.state = 1;
    queue(net::EncodeJoin(own));
    ASSERT_TRUE(net::ServerOutboxPending(g));
    ShowBattleResult(g, 1, 1, kBattleWon);
    EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("消息尚未发送完成！\n请检查网络超时情况。") + std::string(11, ' ')});
    EXPECT_TRUE(ui.sleeps == std::vector<int>(20, 100) && ui.pumps == 20);
    // The connection reads again during the third pass: the panel follows without a word.
    ui.messages.clear(), ui.sleeps.clear(), ui.pumps = ui.slept = 0;
    ui.onPump = [&] { links.takeAtMost = ui.pumps == 3 ? SIZE_MAX : 0; };
    ShowBattleResult(g, 1, 1, kBattleDraw);
    EXPECT_TRUE(ui.messages.empty() && ui.pumps == 3 && !net::ServerOutboxPending(g));
    // With something queued again, a side that is not the host, or not connected, does not wait.
    ui.onPump = nullptr, links.takeAtMost = 0;
    queue(net::EncodeChat({0, "bye"}));
    ASSERT_TRUE(net::ServerOutboxPending(g));
    ShowBattleResult(g, 1, 0, kBattleLost);
    ShowBattleResult(g, 0, 1, kBattleLost);
    EXPECT_TRUE(ui.messages.empty() && ui.pumps == 3 && ui.slept == 300);
    EXPECT_EQ(ui.results, (std::vector<int>{kBattleWon, kBattleDraw, kBattleLost, kBattleLost}));
    EXPECT_EQ(ui.modelessResults, (std::vector<bool>{true, true, false, false}));
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
    g.curSeat = 1, g.stepCount = 3, g.netMinMoveInterval = 2;
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
    g.computerSeat[1] = 1, ui.duringLiveWait = nullptr;
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

// The own clock runs out as the move time does (the clock shows whole seconds rounded up). Each time-out counts
// once the host has relayed it back, whoever sent it; the fourth is not sent but hands the seat over.
TEST_F(TurnLoopTest, LanOwnTimeoutsThenTheSeatGoesToTheComputerOnce) {
    JoinLan(0);
    g.seatTable[0].state = g.netMyTurn = 1;
    g.netMoveTime = 30, g.stepCount = 4, g.curSeat = 0;
    ui.clock.seconds = 29, ui.clock.millis = 1;  // not a whole second left
    TickMainTimer(g);
    EXPECT_EQ(std::tuple(g.netTimeoutCount, g.netMyTurn, ui.timeRemaining), std::tuple(0, 1, "1"));
    for (int n = 1; n <= 3; ++n) {
        g.netMyTurn = 1, g.curSeat = 0;
        ui.clock.seconds = g.turnStarted.seconds + 30, ui.clock.millis = g.turnStarted.millis;
        TickMainTimer(g);
        EXPECT_EQ(std::tuple(g.netMoveRecord.fromX, g.netMoveRecord.outcome, g.netMyTurn, ui.timeRemaining),
                  std::tuple(255, n, 0, "0"));
        EXPECT_EQ(ui.status[3], " " + std::to_string(n) + " " + Gb("次超时！"));
        TickMainTimer(g);  // one expiry sends one packet
        ASSERT_EQ(link.Sent().size(), static_cast<size_t>(n));
        EXPECT_EQ(g.netTimeoutCount, n - 1);
        const net::Packet back = link.Sent().back();
        lan->ClientReceived(back.data(), back.size());
        TickMainTimer(g);
        EXPECT_EQ(std::pair(g.netTimeoutCount, g.stepCount), std::pair(n, 4 + n));
    }
    g.netMyTurn = 1, g.curSeat = 0;
    ui.clock.seconds = g.turnStarted.seconds + 30;
    TickMainTimer(g);
    EXPECT_TRUE(BoundedText(g.seatTable[0].name, 32) == Gb("计算机") && g.seatTable[0].state == 2 && g.netConnected == 1);
    PutBoundedText(g.seatTable[0].name, 32, "x");
    TickMainTimer(g);
    EXPECT_EQ(BoundedText(g.seatTable[0].name, 32), "x");  // handed over once
    // The host's computer plays the seat from now on: its moves have no person's clock to wait for.
    const size_t sent = link.Sent().size();
    g.netMyTurn = 1;
    g.netMoveRecord = MoveCand{};
    g.netMoveRecord.mover = 0;
    net::SendNetMessage(g, "MoveQz", 0);
    EXPECT_EQ(link.Sent().size(), sent + 1);
}

// A side leaves once the host has been silent for 1.2 times the disconnect time, or for 1.2 times a turn's move
// time and grace when that is longer: a player thinking in another seat is no silent host.
TEST_F(TurnLoopTest, LanClientLeavesWhenTheHostIsSilentTooLong) {
    const struct {
        int move, disconnect, stays;
    } rows[] = {{30, 60, 72}, {60, 10, 76}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.disconnect);
        ui.clock.seconds = 0;
        g.battleRunning = 1, g.deployPhase = 0;
        JoinLan(2);
        g.lan = nullptr;
        g.netMoveTime = row.move, g.netDisconnectTime = row.disconnect;
        PersonToMove(1);
        ui.clock.seconds = row.stays;
        TickMainTimer(g);
        EXPECT_EQ(g.netConnected, 1);
        ui.clock.seconds = row.stays + 1;
        TickMainTimer(g);
        EXPECT_TRUE(g.netConnected == 0 && g.deployPhase == 1 && ui.messages.back().find(Gb("服务器太长时间没有响应！")) == 0);
    }
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
    for (int i = 0; i < 12; ++i) {
        ui.messages.clear();
        OfferPeace(g);
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_EQ(ui.messages[1].substr(5), Gb("不同意和棋。\n战争还得继续！") + std::string(15, ' '));
        EXPECT_NE(ui.messages[1].substr(0, 5), Gb("玩家0"));  // refused by seat 1, 2 or 3
    }
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
    EXPECT_TRUE(ui.messages[1] == Gb("三番五次想当逃兵,系统拒绝您的要求.") + std::string(9, ' ') && g.peaceAgreed == 0);
}

TEST_F(PeaceTest, GiveUpRemovesTheSeatToMoveWhenItIsAPersons) {
    g.stepCount = 7, g.selectedPiece = 3, ui.nextStep = true;
    GiveUp(g);
    EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("您真的要缴械投降?") + std::string(11, ' ')});
    EXPECT_EQ(g.stepRecords[7], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 0}));
    for (int p = 0; p < 25; ++p) EXPECT_EQ(g.pieces[p].alive, 0) << p;
    EXPECT_EQ(std::tuple(g.curSeat, ui.nextStep, g.selectedPiece, g.move.toY), std::tuple(1, false, int{kNoPiece}, 22));

    // Not for a computer's seat, a seat without pieces, a cancelled question or after the battle.
    GiveUp(g);
    Keep({0, 25, 0, 25});
    PersonToMove(2);
    GiveUp(g);
    PersonToMove(3);
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
    g.curSeat = g.netMyTurn = 1;
    GiveUp(g);
    EXPECT_EQ(g.netMoveRecord.fromX, 0);
}

TEST_F(PeaceTest, ExitAsksALanHostFirst) {
    g.netConnected = 1, g.myNetSeat = 0, computer.idle = false, ui.answers = {2};
    ExitProgram(g);
    EXPECT_FALSE(ui.closed);
    EXPECT_EQ(ui.messages.at(0), Gb("庄家退出后其他玩家将无法继续游戏！") + std::string(13, ' ') + Gb("\n是否继续退出？"));
    ExitProgram(g);
    EXPECT_TRUE(ui.closed && computer.stops == 1);
}

}  // namespace
}  // namespace jq
