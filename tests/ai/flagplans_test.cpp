#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "ai/attackpath.h"
#include "ai/expected.h"
#include "ai/flagattack.h"
#include "ai/flagdefence.h"
#include "ai/flagplan0.h"
#include "ai/relations.h"
#include "core/combat.h"
#include "position.h"

namespace jq {
namespace {

using aitest::Bel;
using aitest::Pc;

constexpr double kStake = 200000.0;
constexpr int kAny = -99;

// Seat 0 attacks seat 1's flag (piece 46); walls are partner pieces.
struct AttackCase {
    const char* what;
    Pc pieces[5];
    Bel beliefs[3];
    std::vector<int> walls;
    int status, mover, target;
};

class FlagAttackTest : public aitest::PositionTest {};

TEST_F(FlagAttackTest, Scenarios) {
    const std::vector<int> around = {20, 16, 28, 9, 25, 1};
    auto with = [&](std::vector<int> more) {
        more.insert(more.begin(), around.begin(), around.end());
        return more;
    };
    const AttackCase cases[] = {
        {"no own piece to send", {{21, kFlag, 21}, {46, kFlag, 51}}, {{46, 0, kFlag, 100}}, {},
         kAttackNoPath, kNoPiece, kAny},
        {"a clear path", {{0, kBrigade, 46}, {46, kFlag, 51}}, {{46, 0, kFlag, 100}}, {}, kAttackPlanned, 0, 46},
        {"survival equal to the caution level", {{0, kCommander, 46}, {46, kFlag, 51}},
         {{46, 0, kFlag, 80, kMine, 20}}, {}, kAttackNoPath, kAny, kAny},
        {"survival above it", {{0, kCommander, 46}, {46, kFlag, 51}}, {{46, 0, kFlag, 81, kMine, 19}}, {},
         kAttackPlanned, 0, 46},
        {"barred paths retarget until the stages run out",
         {{0, kEngineer, 15}, {1, kEngineer, 0}, {30, kCommander, 12}, {31, kCommander, 5}, {46, kFlag, 8}},
         {{30, 0, kCommander, 100}, {31, 0, kCommander, 100}, {46, 0, kFlag, 100}}, with({94, 126}),
         kAttackTooManyStages, kNoPiece, kAny},
        {"an enemy barring the only path is the next target", {{0, kBrigade, 15}, {30, kPlatoon, 12}, {46, kFlag, 8}},
         {{30, 0, kPlatoon, 60, kCommander, 40}, {46, 0, kFlag, 100}}, with({5, 0}), kAttackPlanned, 0, 30},
        {"an own piece in the way steps aside", {{0, kBrigade, 15}, {1, kCommander, 12}, {46, kFlag, 100}},
         {{46, 0, kFlag, 75, kMine, 25}}, {}, kAttackPlanned, 1, kNoPiece},
        {"an own piece that cannot step aside", {{0, kBrigade, 15}, {1, kCommander, 12}, {46, kFlag, 94}},
         {{46, 0, kFlag, 75, kMine, 25}}, {}, kAttackOwnPieceStuck, 0, 1},
    };
    for (const AttackCase& c : cases) {
        for (PieceRec& pc : Pieces()) pc.alive = 0;
        aitest::EvenBeliefs(Pieces());
        aitest::Apply(Pieces(), c.pieces, c.beliefs);
        int wall = 50;
        for (int p : c.walls) Put(wall++, kPlatoon, p);
        MoveCand out;
        EXPECT_EQ(PlanFlagAttack(*w, 0, 46, kStake, out, Pieces()), c.status) << c.what;
        if (c.mover != kAny) EXPECT_EQ(out.mover, c.mover) << c.what;
        if (c.target != kAny) EXPECT_EQ(out.target, c.target) << c.what;
        if (c.status == kAttackPlanned && c.mover != 0)
            EXPECT_FLOAT_EQ(out.score, static_cast<float>(w->attackRelations[0].score)) << c.what;
    }
}

TEST_F(FlagAttackTest, FirstStageScoreAndStop) {
    Put(0, kBrigade, 46);  // (27,19), next to seat 1's headquarters
    Put(46, kFlag, 51);
    Believe(46, 0, {{kFlag, 100.0f}});
    MoveCand out;
    ASSERT_EQ(PlanFlagAttack(*w, 0, 46, kStake, out, Pieces()), kAttackPlanned);
    EXPECT_NEAR(out.score, 48250.0, 0.5);
    abort = 1;
    EXPECT_EQ(PlanFlagAttack(*w, 0, 46, kStake, out, Pieces()), kAttackStopped);
}

// Defence of seat 0's flag on (19,12) against seat 1's division, believed
// to be of `believed`.
struct DefenceCase {
    const char* what;
    int attackerPoint, believed;
    Pc pieces[2];
    Bel beliefs[2];
    double caution;
    int slider;
    int status, threatMoves, mover;
};

class FlagDefenceTest : public aitest::PositionTest {};

TEST_F(FlagDefenceTest, Scenarios) {
    const DefenceCase cases[] = {
        {"no enemy path", kAny, 0, {{30, kMine, 30}}, {}, 0.382, 5, kDefenceNoPath, kAny, kNoPiece},
        {"an unlikely threat", 16, kPlatoon, {}, {}, 1.01, 5, kDefenceNoThreat, kAny, kAny},
        {"a threat exactly as likely as the defence level", 28, kPlatoon, {}, {}, 1.0, 5, kDefenceNoCounterNear, 2, kAny},
        {"a threat of five moves", 82, kPlatoon, {}, {}, 0.382, 5, kDefenceNoThreat, 5, kAny},
        {"a near threat, no defender", 28, kPlatoon, {}, {}, 0.382, 5, kDefenceNoCounterNear, 2, kAny},
        {"a farther threat, no defender", 0, kPlatoon, {}, {}, 0.382, 5, kDefenceNoCounter, 3, kAny},
        {"a counter just in time", 28, kPlatoon, {{0, kDivision, 4}}, {}, 0.382, 5, kDefencePlanned, 2, 0},
        {"a counter one move late", 28, kPlatoon, {{0, kDivision, 10}}, {}, 0.382, 5, kDefenceTooLateNear, 2, kAny},
        {"a hopeless counter", 28, kCommander, {{0, kPlatoon, 4}}, {}, 0.382, 5, kDefenceWeakCounterNear, 2, kAny},
        {"an own piece on the counter's path steps aside", 6, kDivision, {{1, kCommander, 22}, {2, kEngineer, 17}},
         {{1, -1, kCommander, 100}, {2, -1, kEngineer, 100}}, 0.382, 5, kDefencePlanned, 4, 2},
        {"an own piece that cannot step aside", 6, kDivision, {{1, kCommander, 22}, {2, kFlag, 17}},
         {{1, -1, kCommander, 100}}, 0.382, 5, kDefenceTooLate, 4, kNoPiece},
        {"the defence slider at 0", 28, kPlatoon, {{0, kDivision, 4}}, {}, 0.382, 0, kDefencePlanned, 2, 0},
    };
    for (const DefenceCase& c : cases) {
        for (PieceRec& pc : Pieces()) pc.alive = 0;
        aitest::EvenBeliefs(Pieces());
        Put(21, kFlag, 21);
        Reveal(21);
        if (c.attackerPoint != kAny) {
            Put(30, kDivision, c.attackerPoint);
            Believe(30, 0, {{c.believed, 100.0f}});
        }
        aitest::Apply(Pieces(), c.pieces, c.beliefs);
        w->game.styleCoefDefence = c.caution;
        w->game.styleDefence = c.slider;
        MoveCand out;
        EXPECT_EQ(PlanFlagDefence(*w, 0, 1, 21, kStake, out, Pieces()), c.status) << c.what;
        if (c.threatMoves != kAny) EXPECT_EQ(w->flagThreatRelations[0].moveCount, c.threatMoves) << c.what;
        if (c.mover != kAny) EXPECT_EQ(out.mover, c.mover) << c.what;
        if (c.status == kDefencePlanned) {
            const AttackRelation& best = w->counterRelations[0];
            EXPECT_FLOAT_EQ(out.score, c.slider == 0 ? 0.0f : static_cast<float>(best.score)) << c.what;
            for (int i = 0; i < best.moveCount && out.mover != best.moves[0].mover; ++i)
                EXPECT_NE(GridPoint(out.toX, out.toY), GridPoint(best.moves[i].toX, best.moves[i].toY)) << c.what;
        }
    }
}

TEST_F(FlagDefenceTest, CounterTimingAndStop) {
    Put(21, kFlag, 21);
    Reveal(21);
    Put(30, kDivision, 28);  // the camp (19,14): to (19,13), then the flag
    Believe(30, 0, {{kPlatoon, 100.0f}});
    Put(0, kDivision, 4);    // (22,17): (22,13), then along the row to (19,13)
    MoveCand out;
    ASSERT_EQ(PlanFlagDefence(*w, 0, 1, 21, kStake, out, Pieces()), kDefencePlanned);
    EXPECT_EQ(GridPoint(out.toX, out.toY), GridPoint(22, 13));
    EXPECT_EQ(w->counterRelations[0].cost, 2) << "no time to spare, plus the threat's two moves";
    abort = 1;
    EXPECT_EQ(PlanFlagDefence(*w, 0, 1, 21, kStake, out, Pieces()), kDefenceStopped);
}

using test::PointAt;
using test::PutAt;
using test::SetRow;

class AttackPathTest : public ::testing::Test {
protected:
    int Find(int piece, int from, int to) {
        *path = w->game.pieces;
        const int n = FindAttackPath(*w, piece, moves, kPlanCapacity, PointAt(from).x, PointAt(from).y, PointAt(to).x, PointAt(to).y,
                                     *path, w->game.pieces, penalty);
        EXPECT_EQ(std::memcmp(path.get(), &w->game.pieces, sizeof(PieceTable)), 0) << "the table is left as found";
        return n;
    }
    std::unique_ptr<AiWorkspace> w = aitest::MakeWorkspace();
    std::unique_ptr<PieceTable> path = std::make_unique<PieceTable>();
    MoveCand moves[kPlanCapacity];
    int32_t penalty[kPointSlots] = {};
};

TEST_F(AttackPathTest, CostIsOnePerMovePlusPiecesInTheWayPlusDanger) {
    PieceTable& live = w->game.pieces;
    PutAt(live, 0, kPlatoon, 0);   // (18,17)
    PutAt(live, 30, kCompany, 4);  // the target at (22,17)
    ASSERT_EQ(Find(0, 0, 4), 1);
    EXPECT_EQ(w->searchCost[4], 1);  // the attacked piece is not in the way
    EXPECT_EQ(moves[0].outcome, ResolveCombat(live, 0, 30));
    penalty[4] = 3;
    ASSERT_EQ(Find(0, 0, 4), 1);
    EXPECT_EQ(w->searchCost[4], 4);
    penalty[4] = 0;
    // An own piece gone from the traced table but standing on the live one.
    PutAt(live, 2, kBattalion, 2);
    PieceTable traced = live;
    traced[2].alive = 0;
    ASSERT_EQ(FindAttackPath(*w, 0, moves, kPlanCapacity, 18, 17, 22, 17, traced, live, penalty), 1);
    EXPECT_EQ(w->searchCost[4], 2);
    // The pieces on that path, the target last.
    int32_t list[8];
    int last = 0;
    EXPECT_EQ(CollectPathPieces(*w, list, 8, 1, moves, traced, live, &last), 2);
    EXPECT_EQ(std::vector<int32_t>(list, list + 2), (std::vector<int32_t>{2, 30}));
    EXPECT_EQ(last, 30);
    EXPECT_EQ(CollectPathPieces(*w, list, 1, 1, moves, traced, live), 2) << "the true count, one written";
    EXPECT_EQ(CollectPathPieces(*w, list, 8, 1, moves, live, live, &last), 0) << "cannot be traced";
    EXPECT_EQ(last, kNoPiece);
    // No path from the target itself or for no piece.
    EXPECT_EQ(Find(0, 0, 0), 0);
    EXPECT_EQ(Find(kNoPiece, 0, 4), 0);
    EXPECT_EQ(Find(100, 0, 4), 0);
}

// A walk of 22 moves that no move can shorten; every other point is made
// dear, so the cheapest path follows it. At most 20 moves are planned.
TEST_F(AttackPathTest, PathsOfMoreThanTwentyMovesAreRefused) {
    const std::vector<int> walk = {0, 2, 6, 27, 28, 16, 19, 30, 32, 36, 57, 40,
                                   41, 90, 115, 96, 116, 100, 119, 103, 118, 106, 111};
    for (int& p : penalty) p = 1000;
    for (int p : walk) penalty[p] = 0;
    PutAt(w->game.pieces, 96, kFlag, 111);
    for (int start : {0, 1}) {
        PutAt(w->game.pieces, 10, kPlatoon, walk[start]);
        EXPECT_EQ(Find(10, walk[start], 111), 0) << 22 - start << " moves";
    }
    PutAt(w->game.pieces, 10, kPlatoon, walk[2]);
    ASSERT_EQ(Find(10, walk[2], 111), 20);
    for (int k = 0; k < 20; ++k) EXPECT_EQ(GridPoint(moves[k].toX, moves[k].toY), PointAt(walk[3 + k])) << k;
    EXPECT_EQ(moves[19].target, 96);
}

// The basic level's march on seat 1's believed flag (piece 30), seat 0
// planning: who moves first, and against whom.
struct MarchCase {
    const char* what;
    aitest::Pc pieces[3];
    aitest::Bel beliefs[2];
    int mover, target, toPoint;
};

TEST(FlagPlanBasic, Scenarios) {
    const MarchCase cases[] = {
        {"no piece expected to win", {{0, kPlatoon, 0}, {30, kCommander, 4}}, {{30, 0, kCommander, 100}},
         kNoPiece, kNoPiece, -1},
        {"a clear path: its first move", {{6, kPlatoon, 6}, {30, kFlag, 13}}, {{30, 0, kFlag, 100}}, 6, kNoPiece, 27},
        {"an enemy in the way is the target", {{0, kCommander, 0}, {30, kFlag, 4}, {75, kPlatoon, 2}},
         {{30, 0, kFlag, 100}, {75, 0, kPlatoon, 100}}, 0, 75, 2},
        {"the slot five lower held a mine", {{20, kCommander, 20}, {30, kFlag, 15}, {15, kMine, 40}},
         {{30, 0, kFlag, 100}}, kNoPiece, kNoPiece, -1},
        {"... any other piece there", {{20, kCommander, 20}, {30, kFlag, 15}, {15, kBattalion, 40}},
         {{30, 0, kFlag, 100}}, 20, 30, 15},
    };
    for (const MarchCase& c : cases) {
        auto w = aitest::MakeWorkspace();
        aitest::Apply(w->game.pieces, c.pieces, c.beliefs);
        w->game.pieces[15].alive = 0;  // a dead piece's code still counts
        MoveCand out;
        PlanFlagAttackBasic(*w, out, 0, 30, w->game.pieces);
        EXPECT_EQ(out.mover, c.mover) << c.what;
        EXPECT_EQ(out.target, c.target) << c.what;
        if (c.mover == kNoPiece) continue;
        EXPECT_EQ(std::memcmp(&out, &w->aiPlanMoves[0], sizeof out), 0) << c.what;
        if (c.target == kNoPiece) EXPECT_GE(w->aiPlanLength, 2) << c.what;
        EXPECT_EQ(GridPoint(out.toX, out.toY), PointAt(c.toPoint)) << c.what;
    }
    auto w = aitest::MakeWorkspace();
    MoveCand out;
    PlanFlagAttackBasic(*w, out, 0, kNoPiece, w->game.pieces);
    EXPECT_EQ(out.mover, kNoPiece);
}

TEST(FlagPlanBasic, SideStepLeavesEveryPointOfThePath) {
    auto w = aitest::MakeWorkspace();
    PieceTable& p = w->game.pieces;
    PutAt(p, 2, kBattalion, 2);  // (20,17)
    PutAt(p, 5, kPlatoon, 5);    // (18,16)
    const MoveCand path[2] = {aitest::Move(5, kNoPiece, 18, 16, 18, 17), aitest::Move(5, kNoPiece, 18, 17, 19, 17)};
    MoveCand out;
    FindSideStepMove(*w, out, 2, 2, path, p);
    ASSERT_EQ(out.mover, 2);
    EXPECT_EQ(out.target, kNoPiece);
    EXPECT_NE(GridPoint(out.toX, out.toY), GridPoint(18, 17));
    EXPECT_NE(GridPoint(out.toX, out.toY), GridPoint(19, 17));
    const MoveCand blocked = aitest::Move(5, kNoPiece, 18, 16, 22, 16);  // cannot be traced
    FindSideStepMove(*w, out, 2, 1, &blocked, p);
    EXPECT_EQ(out.mover, kNoPiece);
}

using RelationTest = aitest::PositionTest;

TEST_F(RelationTest, NeighbourTargetIsOneMoveOfCostOne) {
    Put(0, kBrigade, 13);    // (20,14)
    Put(30, kDivision, 17);  // (20,13)
    Put(31, kPlatoon, 28);   // (19,14), a camp: never a target
    CollectAttackRelations(*w, w->attackRelations, 0, kNoPiece, Pieces());
    ASSERT_EQ(w->attackRelations.count, 1);
    const AttackRelation& r = w->attackRelations[0];
    EXPECT_EQ(std::tie(r.moveCount, r.cost, r.moves[0].target, r.blockerCount, r.blockers[0]),
              std::make_tuple(1, 1, 30, 1, 30));
    EXPECT_EQ(r.moves[0].outcome, ResolveCombat(Pieces(), 0, 30));
}

// A brigade at one end of seat 3's railway row y = 18, an enemy at the
// other, own flags (lifted, never moved) between: each adds one to the cost,
// which must stay below 8 until step 20, then 9.
TEST_F(RelationTest, OwnPiecesOnTheWayRaiseTheCostAgainstTheLimit) {
    const int between[] = {104, 101, 97, 94, 126, 127, 128};
    Put(0, kBrigade, 109);
    for (int i = 0; i < 7; ++i) Put(1 + i, kFlag, between[i]);
    Put(40, kPlatoon, 45);
    w->game.stepCount = 19;
    CollectAttackRelations(*w, w->attackRelations, 0, 40, Pieces());
    EXPECT_EQ(w->attackRelations.count, 0);
    w->game.stepCount = 20;
    AttackRelation& r = w->attackRelations[0];
    r.blockerCount = -5;  // what an earlier search left behind
    CollectAttackRelations(*w, w->attackRelations, 0, 40, Pieces());
    ASSERT_EQ(w->attackRelations.count, 1);
    EXPECT_EQ(r.cost, 8);
    EXPECT_EQ(r.moveCount, 1);
    EXPECT_EQ(std::vector<int32_t>(r.blockers, r.blockers + r.blockerCount),
              (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 40}));
}

TEST_F(RelationTest, FullListTakesNoMore) {
    for (int i = 0; i < 4; ++i) Put(i, kBrigade, 15 + i);  // (18..21,13)
    Put(30, kPlatoon, 13);
    Put(31, kPlatoon, 19);
    AttackRelation list[5];
    for (AttackRelation& r : list) r.cost = -77;
    int32_t count = 0;
    CollectAttackRelations(*w, list, 3, count, 0, kNoPiece, Pieces());
    EXPECT_EQ(count, 3);
    EXPECT_NE(list[2].cost, -77);
    EXPECT_EQ(list[3].cost, -77);
    CollectAttackRelations(*w, list, 5, count, 0, kNoPiece, Pieces());
    EXPECT_EQ(count, 5) << "with room, more than three exist";
}

// The danger map against a test of every point on random boards: 2 for an
// enemy standing there, one more when an enemy can move onto it.
TEST_F(RelationTest, DangerMapAgreesWithATestOfEveryPoint) {
    std::mt19937 gen(11);
    for (int round = 0; round < 5; ++round) {
        for (PieceRec& pc : Pieces()) pc.alive = 0;
        std::vector<int> points(kPointCount);
        for (int p = 0; p < kPointCount; ++p) points[p] = p;
        std::shuffle(points.begin(), points.end(), gen);
        for (int i = 0; i < 48; ++i) Put(static_cast<int>(gen() % kPieceCount), static_cast<int>(1 + gen() % 12), points[i]);
        for (int seat = 0; seat < kSeats; ++seat) {
            int32_t counts[kPointSlots];
            BuildDangerMap(*w, seat, counts, Pieces());
            for (int p = 0; p < kPointCount; ++p) {
                const GridPoint g = test::PointAt(p);
                const int o = PieceAtPoint(g.x, g.y, Pieces());
                int expected = IsValidPiece(o) && !SameTeam(SeatOf(o), seat) ? 2 : 0;
                if (IsValidPiece(o)) Pieces()[o].alive = 0;
                if (FindRailAttackers(*w, g.x, g.y, seat, Pieces()) > 0) ++expected;
                if (IsValidPiece(o)) Pieces()[o].alive = 1;
                ASSERT_EQ(counts[p], expected) << "round " << round << " seat " << seat << " point " << p;
            }
        }
    }
}

TEST_F(RelationTest, RailAttackersNoteWhoStandsInACamp) {
    Put(30, kBrigade, 124);  // (20,20): a run down to (20,17)
    Put(31, kPlatoon, 25);   // (19,16), a camp next to (20,17)
    Put(60, kBrigade, 126);  // the partner does not count
    EXPECT_EQ(FindRailAttackers(*w, 20, 17, 0, Pieces()), 2);
    EXPECT_EQ(std::tie(w->aiReachList[0].piece, w->aiReachList[0].fromCamp), std::make_tuple(30, 0));
    EXPECT_EQ(std::tie(w->aiReachList[1].piece, w->aiReachList[1].fromCamp), std::make_tuple(31, 1));
    EXPECT_EQ(FindRailAttackers(*w, 20, 16, 0, Pieces()), 1) << "a road point: only the neighbour";
    // Counted, the brigade's answer on the platoon is worth 100 x 20; from
    // a camp, or excluded, nothing.
    const float brigade[12] = {0, 0, 0, 0, 0, 0, 100, 0, 0, 0, 0, 0};
    Believe(31, 0, {{kPlatoon, 100.0f}});
    const ReachEntry fromCamp[1] = {{31, 1}};
    const ReachEntry open[1] = {{31, 0}};
    EXPECT_EQ(BestThreatValue(*w, brigade, 20, 17, 0, fromCamp, 1, kNoPiece, Pieces()), 0.0);
    EXPECT_NEAR(BestThreatValue(*w, brigade, 19, 17, 0, open, 1, kNoPiece, Pieces()), 2000.0, 1e-3);
    EXPECT_EQ(BestThreatValue(*w, brigade, 19, 17, 0, open, 1, 31, Pieces()), 0.0);
}

class RelationScoreTest : public RelationTest {
protected:
    static AttackRelation OneMove(MoveCand m, int cost) {
        AttackRelation r;
        r.moves[0] = m;
        r.moveCount = 1;
        r.cost = cost;
        return r;
    }
};

TEST_F(RelationScoreTest, AttackOnAHeadquartersPoint) {
    // Believed a flag with 60 and a mine with 40: the brigade comes through
    // with 0.6, and the flag's reach counts for more than nothing.
    Put(0, kBrigade, 46);
    Put(46, kFlag, 51);
    Believe(46, 0, {{kFlag, 60.0f}, {kMine, 40.0f}});
    AttackRelation r[2] = {OneMove(Move(0, 46, 46, 51), 1), OneMove(Move(0, 46, 46, 51), 1)};
    EvaluateAttackRelations(*w, &r[0], 1, 0, Pieces(), 200000.0);
    EvaluateAttackRelations(*w, &r[1], 1, 0, Pieces(), 0.0);
    EXPECT_NEAR(r[0].survival, 0.6, 1e-9);
    EXPECT_GT(r[1].score, 0.0);
    EXPECT_GT(r[0].score, r[1].score);
}

TEST_F(RelationScoreTest, SortIsBestFirstAndKeepsEqualsAsExchanged) {
    Put(0, kBrigade, 13);
    Put(1, kBrigade, 10);
    Put(2, kBrigade, 9);
    AttackRelation list[3] = {OneMove(Move(0, kNoPiece, 13, 17), 5), OneMove(Move(1, kNoPiece, 10, 11), 1),
                              OneMove(Move(2, kNoPiece, 9, 8), 1)};
    EvaluateAttackRelations(*w, list, 3, 0, Pieces(), 1000.0);
    EXPECT_EQ(std::make_tuple(list[0].moves[0].mover, list[1].moves[0].mover, list[2].moves[0].mover),
              std::make_tuple(1, 2, 0));
    EXPECT_EQ(std::make_tuple(list[2].gain, list[2].survival), std::make_tuple(0.0, 1.0)) << "nobody answers";
    // A stop leaves the list unscored and unsorted; an empty list reads nothing.
    list[0].score = list[1].score = -3.0;
    abort = 1;
    EvaluateAttackRelations(*w, list, 2, 0, Pieces(), 1000.0);
    EXPECT_EQ(std::make_tuple(list[0].score, list[1].score, list[0].moves[0].mover), std::make_tuple(-3.0, -3.0, 1));
    abort = 0;
    list[0].moves[0].mover = 555;
    EvaluateAttackRelations(*w, list, 0, 0, Pieces(), 1.0);
    EXPECT_EQ(list[0].score, -3.0);
}

TEST_F(RelationScoreTest, AnswersAtAStop) {
    // Into the camp (19,14) beside seat 1's brigade no answer is weighed;
    // onto (20,13) the brigade may attack.
    Put(0, kPlatoon, 13);
    Put(30, kBrigade, 16);
    Believe(30, 0, {{kBrigade, 100.0f}});
    AttackRelation camp = OneMove(Move(0, kNoPiece, 13, 28), 1);
    AttackRelation open = OneMove(Move(0, kNoPiece, 13, 17), 1);
    EvaluateAttackRelations(*w, &camp, 1, 0, Pieces(), 1000.0);
    EvaluateAttackRelations(*w, &open, 1, 0, Pieces(), 1000.0);
    EXPECT_EQ(std::make_tuple(camp.gain, camp.survival), std::make_tuple(0.0, 1.0));
    EXPECT_LT(open.gain, 0.0);
    EXPECT_EQ(GridPoint(Pieces()[30].x, Pieces()[30].y), test::PointAt(16)) << "the answer is taken back";
}

}  // namespace
}  // namespace jq
