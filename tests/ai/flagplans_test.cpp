#include "ai/attackpath.h"
#include "ai/flagattack.h"
#include "ai/flagplan0.h"
#include "position.h"

namespace jq::aitest {
namespace {

constexpr double kStake = 200000.0;
constexpr int kAny = -99;

// Seat 0 attacks seat 1's flag (piece 46); walls are partner pieces.
struct AttackCase {
    const char* what;
    Pc pieces[5];
    Bel beliefs[3];
    std::vector<int> walls;
    int status, mover, target;
    double score = 0;  // of the plan, when given
};

using FlagAttackTest = PositionTest;

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
        {"an enemy in the way bars a path that is safe enough for the mover",
         {{0, kBrigade, 15}, {30, kPlatoon, 12}, {46, kFlag, 8}},
         {{30, 0, kPlatoon, 75, kCommander, 25}, {46, 0, kFlag, 100}}, with({5, 0}), kAttackPlanned, 0, 30, 14259.65},
        {"an own piece in the way whose own attack is exactly as safe as the caution level",
         {{0, kBrigade, 15}, {1, kCommander, 12}, {46, kFlag, 8}}, {{46, 0, kFlag, 80, kMine, 20}}, {},
         kAttackPlanned, 1, 46, 54176.96},
    };
    for (const AttackCase& c : cases) {
        Clear();
        Apply(Pieces(), c.pieces, c.beliefs);
        int wall = 50;
        for (int p : c.walls) Put(wall++, kPlatoon, p);
        MoveCand out;
        EXPECT_EQ(PlanFlagAttack(*w, 0, 46, kStake, out, Pieces()), c.status) << c.what;
        EXPECT_EQ(c.mover == kAny ? kAny : out.mover, c.mover) << c.what;
        EXPECT_EQ(c.target == kAny ? kAny : out.target, c.target) << c.what;
        if (c.score != 0) {
            EXPECT_NEAR(out.score, c.score, 0.5) << c.what;
        } else if (c.status == kAttackPlanned && c.mover != 0) {
            EXPECT_FLOAT_EQ(out.score, static_cast<float>(w->attackRelations[0].score)) << c.what;
        }
    }
    Clear();  // the clear path again: the score of its first stage, and a stop
    Apply(Pieces(), cases[1].pieces, cases[1].beliefs);
    MoveCand out;
    ASSERT_EQ(PlanFlagAttack(*w, 0, 46, kStake, out, Pieces()), kAttackPlanned);
    EXPECT_NEAR(out.score, 48250.0, 0.5);
    abort = 1;
    EXPECT_EQ(PlanFlagAttack(*w, 0, 46, kStake, out, Pieces()), kAttackStopped);
}

// Defence of seat 0's flag on (19,12) against seat 1's division, believed to be of `believed`.
struct DefenceCase {
    const char* what;
    int attackerPoint, believed;
    Pc pieces[2];
    Bel beliefs[2];
    double caution;
    int slider;
    int status, threatMoves, mover;
    float score = 0;  // of the planned counter, when given
};

using FlagDefenceTest = PositionTest;

TEST_F(FlagDefenceTest, Scenarios) {
    const DefenceCase cases[] = {
        {"no enemy path", kAny, 0, {{30, kMine, 30}}, {}, 0.382, 5, kDefenceNoPath, kAny, kNoPiece},
        {"an unlikely threat", 16, kPlatoon, {}, {}, 1.01, 5, kDefenceNoThreat, kAny, kAny},
        {"a threat exactly as likely as the defence level", 28, kPlatoon, {}, {}, 1.0, 5, kDefenceNoCounterNear, 2, kAny},
        {"a threat of five moves", 82, kPlatoon, {}, {}, 0.382, 5, kDefenceNoThreat, 5, kAny},
        {"a near threat, no defender", 28, kPlatoon, {}, {}, 0.382, 5, kDefenceNoCounterNear, 2, kAny},
        {"a farther threat, no defender", 0, kPlatoon, {}, {}, 0.382, 5, kDefenceNoCounter, 3, kAny},
        {"a counter just in time", 28, kPlatoon, {{0, kDivision, 4}}, {}, 0.382, 5, kDefencePlanned, 2, 0, 50667.918f},
        {"a counter one move late", 28, kPlatoon, {{0, kDivision, 10}}, {}, 0.382, 5, kDefenceTooLateNear, 2, kAny},
        {"a hopeless counter", 28, kCommander, {{0, kPlatoon, 4}}, {}, 0.382, 5, kDefenceWeakCounterNear, 2, kAny},
        {"an own piece on the counter's path steps aside", 6, kDivision, {{1, kCommander, 22}, {2, kEngineer, 17}},
         {{1, -1, kCommander, 100}, {2, -1, kEngineer, 100}}, 0.382, 5, kDefencePlanned, 4, 2},
        {"an own piece that cannot step aside", 6, kDivision, {{1, kCommander, 22}, {2, kFlag, 17}},
         {{1, -1, kCommander, 100}}, 0.382, 5, kDefenceTooLate, 4, kNoPiece},
        {"the defence slider at 0", 28, kPlatoon, {{0, kDivision, 4}}, {}, 0.382, 0, kDefencePlanned, 2, 0},
        {"a counter on the attacker where it stands", 16, kPlatoon, {{0, kDivision, 15}}, {}, 0.382, 5,
         kDefencePlanned, 1, 0, 62800.0f},
        {"the other enemy is no counter's target", 28, kPlatoon, {{0, kDivision, 82}, {75, kPlatoon, 77}},
         {{75, 0, kPlatoon, 100}}, 0.382, 5, kDefenceTooLateNear, 2, kAny},
    };
    for (const DefenceCase& c : cases) {
        Clear();
        Put(21, kFlag, 21);
        for (int s = 0; s < kSeats; ++s) Believe(21, s, {{kFlag, 100.0f}});
        if (c.attackerPoint != kAny) {
            Put(30, kDivision, c.attackerPoint);
            Believe(30, 0, {{c.believed, 100.0f}});
        }
        Apply(Pieces(), c.pieces, c.beliefs);
        w->game.styleCoefDefence = c.caution;
        w->game.styleDefence = c.slider;
        MoveCand out;
        EXPECT_EQ(PlanFlagDefence(*w, 0, 1, 21, kStake, out, Pieces()), c.status) << c.what;
        EXPECT_EQ(c.threatMoves == kAny ? kAny : w->flagThreatRelations[0].moveCount, c.threatMoves) << c.what;
        EXPECT_EQ(c.mover == kAny ? kAny : out.mover, c.mover) << c.what;
        if (c.status == kDefencePlanned) {
            const AttackRelation& best = w->counterRelations[0];
            EXPECT_FLOAT_EQ(out.score, c.slider == 0 ? 0.0f : static_cast<float>(best.score)) << c.what;
            if (c.score != 0) { EXPECT_NEAR(out.score, c.score, 0.01) << c.what; }
            for (int i = 0; i < best.moveCount && out.mover != best.moves[0].mover; ++i)
                EXPECT_NE(GridPoint(out.toX, out.toY), GridPoint(best.moves[i].toX, best.moves[i].toY)) << c.what;
        }
    }
    MoveCand out;
    abort = 1;
    EXPECT_EQ(PlanFlagDefence(*w, 0, 1, 21, kStake, out, Pieces()), kDefenceStopped);
}

// A walk of 22 moves that no move can shorten; every other point is made dear, so the cheapest path follows
// it. At most 20 moves are planned, and the table is left as found.
TEST(AttackPath, PathsOfMoreThanTwentyMovesAreRefused) {
    const int walk[] = {0, 2, 6, 27, 28, 16, 19, 30, 32, 36, 57, 40, 41, 90, 115, 96, 116, 100, 119, 103, 118, 106, 111};
    auto w = MakeWorkspace();
    auto path = std::make_unique<PieceTable>();
    MoveCand moves[kPlanCapacity];
    int32_t penalty[kPointSlots];
    for (int& p : penalty) p = 1000;
    for (int p : walk) penalty[p] = 0;
    PutAt(w->game.pieces, 96, kFlag, 111);
    const GridPoint to = PointAt(111);
    for (int start : {0, 1, 2}) {
        PutAt(w->game.pieces, 10, kPlatoon, walk[start]);
        *path = w->game.pieces;
        const GridPoint f = PointAt(walk[start]);
        EXPECT_EQ(FindAttackPath(*w, 10, moves, kPlanCapacity, f.x, f.y, to.x, to.y, *path, w->game.pieces, penalty),
                  start < 2 ? 0 : 20) << 22 - start << " moves";
        EXPECT_EQ(std::memcmp(path.get(), &w->game.pieces, sizeof(PieceTable)), 0);
    }
    for (int k = 0; k < 20; ++k) EXPECT_EQ(GridPoint(moves[k].toX, moves[k].toY), PointAt(walk[3 + k])) << k;
    EXPECT_EQ(moves[19].target, 96);
}

// The pieces on a path are counted in full; a list with less room keeps the first ones and nothing past its
// end. Seat 0's brigade runs the railway x = 18 from (18,13) to (18,27) on an empty table past ten pieces.
TEST(AttackPath, PiecesOnAPathBeyondTheListsRoom) {
    auto w = MakeWorkspace();
    auto path = std::make_unique<PieceTable>();
    PieceTable& look = w->game.pieces;
    PutAt(*path, 0, kBrigade, 15);
    look = *path;
    int next = 30;
    for (int p : {12, 8, 5, 0, 126, 123, 120, 64, 67, 71}) PutAt(look, next++, kPlatoon, p);
    const MoveCand run = Move(0, kNoPiece, 18, 13, 18, 27);
    int32_t all[kPieceCount];
    ASSERT_EQ(CollectPathPieces(*w, all, kPieceCount, 1, &run, *path, look), 10);
    struct {
        int32_t list[8];
        int32_t after[4] = {-7, -7, -7, -7};
    } room;
    int last = kNoPiece;
    EXPECT_EQ(CollectPathPieces(*w, room.list, 8, 1, &run, *path, look, &last), 10);
    EXPECT_EQ(std::vector<int32_t>(room.list, room.list + 8), std::vector<int32_t>(all, all + 8));
    EXPECT_EQ(std::vector<int32_t>(room.after, room.after + 4), std::vector<int32_t>(4, -7));
    EXPECT_EQ(last, 39);
}

// The basic level's march on seat 1's believed flag (piece 30), seat 0 planning: who moves first, and against
// whom.
struct MarchCase {
    const char* what;
    Pc pieces[6];
    Bel beliefs[2];
    int mover, target, toPoint;
    std::vector<int> walls = {};  // partner pieces
};

TEST(FlagPlanBasic, Scenarios) {
    const MarchCase cases[] = {
        {"an enemy in the way is the target", {{0, kCommander, 0}, {30, kFlag, 4}, {75, kPlatoon, 2}},
         {{30, 0, kFlag, 100}, {75, 0, kPlatoon, 100}}, 0, 75, 2},
        {"the slot five lower held a mine", {{20, kCommander, 20}, {30, kFlag, 15}, {15, kMine, 40}},
         {{30, 0, kFlag, 100}}, kNoPiece, kNoPiece, -1},
        {"... any other piece there", {{20, kCommander, 20}, {30, kFlag, 15}, {15, kBattalion, 40}},
         {{30, 0, kFlag, 100}}, 20, 30, 15},
        {"equally near: the lower index goes", {{0, kCommander, 2}, {1, kCommander, 11}, {30, kFlag, 4}},
         {{30, 0, kFlag, 100}}, 0, 30, 4},
        {"a win worth exactly 500 is not enough", {{0, kCommander, 2}, {30, kFlag, 4}}, {{30, 0, kFlag, 0.25f}},
         kNoPiece, kNoPiece, -1},
        {"a path of six moves", {{0, kCommander, 20}, {30, kFlag, 23}}, {{30, 0, kFlag, 100}}, 0, kNoPiece, 15,
         {22, 27, 17}},
        {"a path of seven moves is too long", {{0, kCommander, 22}, {30, kFlag, 20}}, {{30, 0, kFlag, 100}},
         kNoPiece, kNoPiece, -1, {18, 11, 28, 16}},
        {"four pieces on the path: a way around them",
         {{0, kCommander, 31}, {30, kFlag, 22}, {32, kCommander, 11}, {33, kFlag, 7}, {34, kFlag, 18},
          {79, kPlatoon, 43}},
         {{30, 0, kFlag, 100}}, 0, kNoPiece, 34},
        {"an enemy in a camp stays in the way",
         {{0, kCommander, 36}, {30, kFlag, 44}, {1, kBrigade, 25}, {33, kBrigade, 56}}, {{30, 0, kFlag, 100}}, 0,
         kNoPiece, 32},
    };
    for (const MarchCase& c : cases) {
        auto w = MakeWorkspace();
        Apply(w->game.pieces, c.pieces, c.beliefs);
        int wall = 50;
        for (int p : c.walls) PutAt(w->game.pieces, wall++, kPlatoon, p);
        w->game.pieces[15].alive = 0;  // a dead piece's code still counts
        MoveCand out;
        PlanFlagAttackBasic(*w, out, 0, 30, w->game.pieces);
        EXPECT_EQ(std::make_pair(out.mover, out.target), std::make_pair(c.mover, c.target)) << c.what;
        if (c.mover == kNoPiece) continue;
        EXPECT_EQ(std::memcmp(&out, &w->aiPlanMoves[0], sizeof out), 0) << c.what;
        EXPECT_EQ(GridPoint(out.toX, out.toY), PointAt(c.toPoint)) << c.what;
    }
}

// A side step goes to an empty point off the path, for every seat: seat 1's brigade on (19,15) leaves the path
// (18,13)-(18,12) for the camp (19,14), not by taking seat 0's piece 0 on (18,15), its first neighbour.
TEST(FlagPlanBasic, SideStepIsToAnEmptyPoint) {
    auto w = MakeWorkspace();
    PieceTable& t = w->game.pieces;
    PutAt(t, 26, kBrigade, 9);
    PutAt(t, 0, kPlatoon, 8);
    PutAt(t, 27, kCommander, 15);
    const MoveCand path = Move(27, kNoPiece, 18, 13, 18, 12);
    MoveCand out;
    FindSideStepMove(*w, out, 26, 1, &path, t);
    EXPECT_EQ(std::make_pair(out.mover, out.target), std::make_pair(26, kNoPiece));
    EXPECT_EQ(GridPoint(out.toX, out.toY), PointAt(28));
}

using RelationTest = PositionTest;

// A neighbour is one move of cost one (a camp is never a target). A brigade at one end of seat 3's railway
// row y = 18, an enemy at the other, own flags (lifted, never moved) between: each adds one to the cost,
// which must stay below 8 until step 20, then 9.
TEST_F(RelationTest, CostIsOnePlusOwnPiecesOnTheWayAgainstTheLimit) {
    Put(0, kBrigade, 13);    // (20,14)
    Put(30, kDivision, 17);  // (20,13)
    Put(31, kPlatoon, 28);   // (19,14), a camp
    CollectAttackRelations(*w, w->attackRelations, 0, kNoPiece, Pieces());
    AttackRelation& r = w->attackRelations[0];
    ASSERT_EQ(w->attackRelations.count, 1);
    EXPECT_EQ(std::tie(r.moveCount, r.cost, r.moves[0].target, r.blockerCount, r.blockers[0]),
              std::make_tuple(1, 1, 30, 1, 30));
    EXPECT_EQ(r.moves[0].outcome, ResolveCombat(Pieces(), 0, 30));

    Clear();
    const int between[] = {104, 101, 97, 94, 126, 127, 128};
    Put(0, kBrigade, 109);
    for (int i = 0; i < 7; ++i) Put(1 + i, kFlag, between[i]);
    Put(40, kPlatoon, 45);
    w->game.stepCount = 19;
    CollectAttackRelations(*w, w->attackRelations, 0, 40, Pieces());
    EXPECT_EQ(w->attackRelations.count, 0);
    w->game.stepCount = 20;
    r.blockerCount = -5;  // what an earlier search left behind
    CollectAttackRelations(*w, w->attackRelations, 0, 40, Pieces());
    ASSERT_EQ(w->attackRelations.count, 1);
    EXPECT_EQ(std::make_pair(r.cost, r.moveCount), std::make_pair(8, 1));
    EXPECT_EQ(std::vector<int32_t>(r.blockers, r.blockers + r.blockerCount),
              (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 40}));
}

// A bomb attacks like any piece from code 3 up; an own mine is no piece that steps aside, so no path runs
// through it (the railway of the test above, with a mine among the flags).
TEST_F(RelationTest, BombsAttackAndOwnMinesStayInTheWay) {
    Put(0, kBomb, 13);
    Put(30, kDivision, 17);
    CollectAttackRelations(*w, w->attackRelations, 0, kNoPiece, Pieces());
    EXPECT_EQ(w->attackRelations.count, 1);

    Clear();
    Put(0, kBrigade, 109);
    int own = 1;
    for (int p : {104, 101, 97, 126, 127, 128}) Put(own++, kFlag, p);
    Put(own, kMine, 94);
    Put(40, kPlatoon, 45);
    w->game.stepCount = 20;
    CollectAttackRelations(*w, w->attackRelations, 0, 40, Pieces());
    for (int r = 0; r < w->attackRelations.count; ++r) {
        const AttackRelation& rel = w->attackRelations[r];
        EXPECT_EQ(std::count(rel.blockers, rel.blockers + rel.blockerCount, own), 0) << r;
    }
}

// A one-move attack on the piece in seat 1's headquarters, believed the flag (60) or a mine (40): the gain is
// the combat's less 100 times the mover's value, the survival the chance of not losing that combat.
TEST_F(RelationTest, AttackOnAHeadquartersGolden) {
    Put(0, kBrigade, 50);
    Put(46, kMine, 51);
    Believe(46, 0, {{kFlag, 60.0f}, {kMine, 40.0f}});
    CollectAttackRelations(*w, w->attackRelations, 0, 46, Pieces());
    ASSERT_EQ(w->attackRelations.count, 1);
    const AttackRelation& r = w->attackRelations[0];
    ASSERT_EQ(std::make_pair(r.moveCount, r.cost), std::make_pair(1, 1));
    EvaluateAttackRelations(*w, w->attackRelations.items, 1, 0, Pieces(), kStake);
    float pv[15];
    std::memcpy(pv, kInitialPieceValues, sizeof pv);
    const float* row = Pieces()[46].beliefs[0];
    const double gain = ExpectedAttackValue(pv, kBrigade, row) - 100.0 * pv[kBrigade - 1];
    const double survival = 1.0 - LossProbability(kBrigade, row);
    EXPECT_NEAR(r.gain, gain, 1e-6);
    EXPECT_NEAR(r.survival, survival, 1e-9);
    EXPECT_NEAR(r.score, (w->game.styleCoefAttack * kStake * survival + gain) / (1 + 3.0), 1e-6);
    EXPECT_NEAR(r.score, 46090.0, 0.01);
}

// The camp rule of the enemy's answers: seat 1's piece in the camp (19,16) can take seat 0's brigade on
// (20,16), but from a camp it counts as neither a piece the brigade could strike first nor one with somewhere
// else to go; only "no attack" and its attack remain, weighted by their values.
TEST_F(RelationTest, AttackerInACampOnlyAttacks) {
    Put(0, kBrigade, 6);
    Put(30, kDivision, 25);
    Believe(0, 0, {{kBrigade, 100.0f}});
    Believe(30, 0, {{kPlatoon, 80.0f}, {kDivision, 20.0f}});
    PieceTable& p = Pieces();
    ASSERT_EQ(FindRailAttackers(*w, 20, 16, 0, p), 1);
    EXPECT_EQ(std::make_pair(w->aiReachList[0].piece, w->aiReachList[0].fromCamp), std::make_pair(30, 1));
    float* pv = w->game.pieceValues;
    const float* a = p[30].beliefs[0];
    float B[12];
    std::memcpy(B, p[0].beliefs[0], sizeof B);
    ASSERT_GT(ExpectedAttackValue(pv, kBrigade, a), 0.0f) << "the brigade would strike first, were it not a camp";
    EXPECT_EQ(BestThreatValue(*w, B, 20, 16, 0, w->aiReachList.items, 1, kNoPiece, p), 0.0);

    const double attack = ExpectedAttackValueMixed(pv, a, B) * 0.618, none = 0.0;
    const double lowest = std::min(attack, none);
    const double wNone = (none - lowest + 1.0) / (none + attack - 2 * lowest + 2.0), wAttack = 1.0 - wNone;
    const double gain = wAttack * ExpectedAttackValue(pv, kBrigade, a);
    const double survival = wNone + wAttack * WinProbability(kBrigade, a);
    double gotGain = 0.0, gotSurvival = 0.0;
    EvaluateRailThreat(*w, gotGain, gotSurvival, B, 0, 0, 0, 20, 16, p);
    EXPECT_NEAR(gotGain, gain, 1e-3);
    EXPECT_NEAR(gotSurvival, survival, 1e-9);
}

// Who answers a piece of seat 0 standing on a point: seat 1's piece 30, believed a platoon, counts for the best
// counter-blow when a road step or a free railway run joins it to the point; and it has somewhere else to go
// when one of its own moves ends in a camp or where it could not go from that point (its move onto the point
// is one, so a piece that can answer always has).
struct AnswerCase {
    const char* what;
    int attackerAt, standAt;
};

TEST_F(RelationTest, WhoAnswersAPiece) {
    const AnswerCase cases[] = {
        {"a road step up", 17, 13},
        {"a road step down", 2, 6},
        {"a road step sideways", 8, 9},
        {"a railway run", 0, 15},
        {"a road step down, after a step into a camp", 13, 17},
    };
    for (const AnswerCase& c : cases) {
        Clear();
        Put(0, kBrigade, 100);
        Put(30, kDivision, c.attackerAt);
        Believe(30, 0, {{kPlatoon, 100.0f}});
        const GridPoint at = PointAt(c.standAt);
        const int n = FindRailAttackers(*w, at.x, at.y, 0, Pieces());
        ASSERT_EQ(n, 1) << c.what;
        ASSERT_EQ(w->aiReachList[0].piece, 30) << c.what;
        float B[12];
        SetRow(B, {{kBrigade, 100.0f}});
        const double strike = ExpectedAttackValueMixed(w->game.pieceValues, B, Pieces()[30].beliefs[0]);
        ASSERT_GT(strike, 0.0);
        EXPECT_EQ(BestThreatValue(*w, B, at.x, at.y, 0, w->aiReachList.items, n, kNoPiece, Pieces()), strike)
            << c.what;
        EXPECT_EQ(TestRelocatedMobility(*w, at.x, at.y, 30, Pieces()), 1) << c.what;
    }
}

// Seat 1's relations on a sparse scene: a move costs one and the pieces in its way whatever the seat (an empty
// point is no cheaper for seat 1 than for seat 0), and of equal paths the later move wins. Seat 1's commander
// and mine, seat 0's flag and brigade.
TEST_F(RelationTest, PathsOfSeatOne) {
    Put(25, kCommander, 59);
    Put(31, kMine, 50);
    Put(5, kFlag, 33);
    Put(7, kBrigade, 36);
    CollectAttackRelations(*w, w->attackRelations, 1, kNoPiece, Pieces());
    std::vector<std::vector<int>> got;
    for (int r = 0; r < w->attackRelations.count; ++r) {
        const AttackRelation& rel = w->attackRelations[r];
        std::vector<int> v{rel.cost};
        for (int k = 0; k < rel.moveCount; ++k) v.insert(v.end(), {rel.moves[k].toX, rel.moves[k].toY});
        got.push_back(v);
    }
    EXPECT_EQ(got, (std::vector<std::vector<int>>{{3, 27, 22, 23, 22, 23, 21}, {2, 25, 20, 24, 20}}));
}

TEST_F(RelationTest, FullListTakesNoMore) {
    for (int i = 0; i < 4; ++i) Put(i, kBrigade, 15 + i);  // (18..21,13)
    Put(30, kPlatoon, 13);
    Put(31, kPlatoon, 19);
    AttackRelation list[5];
    list[3].cost = -77;
    int32_t count = 0;
    CollectAttackRelations(*w, list, 3, count, 0, kNoPiece, Pieces());
    EXPECT_EQ(std::make_pair(count, list[3].cost), std::make_pair(3, -77));
    CollectAttackRelations(*w, list, 5, count, 0, kNoPiece, Pieces());
    EXPECT_EQ(count, 5) << "with room, more than three exist";
}

// The danger map against a test of every point on random boards: 2 for an enemy standing there, one more when
// an enemy can move onto it.
TEST_F(RelationTest, DangerMapAgreesWithATestOfEveryPoint) {
    std::mt19937 gen(11);
    for (int round = 0; round < 5; ++round) {
        RandomBoard(gen, Pieces());
        for (int seat = 0; seat < kSeats; ++seat) {
            int32_t counts[kPointSlots];
            BuildDangerMap(*w, seat, counts, Pieces());
            for (int p = 0; p < kPointCount; ++p) {
                const GridPoint g = PointAt(p);
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

// Best first, equals kept as exchanged (nobody answers a plain move); a stop leaves the list unscored and
// unsorted.
TEST_F(RelationTest, SortIsBestFirstAndKeepsEqualsAsExchanged) {
    AttackRelation list[3];
    const int from[] = {13, 10, 9}, to[] = {17, 11, 8}, cost[] = {5, 1, 1};
    for (int i = 0; i < 3; ++i) {
        Put(i, kBrigade, from[i]);
        const GridPoint f = PointAt(from[i]), t = PointAt(to[i]);
        list[i].moves[0] = Move(i, kNoPiece, f.x, f.y, t.x, t.y);
        list[i].moveCount = 1;
        list[i].cost = cost[i];
    }
    EvaluateAttackRelations(*w, list, 3, 0, Pieces(), 1000.0);
    EXPECT_EQ(std::make_tuple(list[0].moves[0].mover, list[1].moves[0].mover, list[2].moves[0].mover),
              std::make_tuple(1, 2, 0));
    EXPECT_EQ(std::make_tuple(list[2].gain, list[2].survival), std::make_tuple(0.0, 1.0));
    list[0].score = list[1].score = -3.0;
    abort = 1;
    EvaluateAttackRelations(*w, list, 2, 0, Pieces(), 1000.0);
    EXPECT_EQ(std::make_tuple(list[0].score, list[1].score, list[0].moves[0].mover), std::make_tuple(-3.0, -3.0, 1));
}

}  // namespace
}  // namespace jq::aitest
