#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ai/attackpath.h"
#include "ai/flagplan0.h"
#include "ai_support.h"
#include "core/combat.h"

namespace jq {
namespace {

using aitest::PutAt;
using aitest::SetAllRows;
using aitest::SetRow;

GridPoint At(int point) { return {Board().boardPoints[point].gridX, Board().boardPoints[point].gridY}; }

class AttackPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        w = aitest::MakeWorkspace();
        path = std::make_unique<PieceTable>();
    }
    int Find(int piece, int from, int to) {
        *path = w->game.pieces;
        const GridPoint a = At(from);
        const GridPoint b = At(to);
        const int n = FindAttackPath(*w, piece, moves, kPlanCapacity, a.x, a.y, b.x, b.y, *path, w->game.pieces, penalty);
        // The search leaves its table as it found it.
        EXPECT_EQ(std::memcmp(path.get(), &w->game.pieces, sizeof(PieceTable)), 0);
        return n;
    }

    std::unique_ptr<AiWorkspace> w;
    std::unique_ptr<PieceTable> path;
    MoveCand moves[kPlanCapacity];
    int32_t penalty[kPointSlots] = {};
};

TEST_F(AttackPathTest, AdjacentTargetIsOneMoveWithItsCombatResult) {
    PutAt(w->game.pieces, 11, kPlatoon, 6);  // (20,16)
    PutAt(w->game.pieces, 30, kCompany, 2);  // (20,17)
    ASSERT_EQ(Find(11, 6, 2), 1);
    EXPECT_EQ(moves[0].mover, 11);
    EXPECT_EQ(moves[0].target, 30);
    EXPECT_EQ(moves[0].fromX, 20);
    EXPECT_EQ(moves[0].fromY, 16);
    EXPECT_EQ(moves[0].toX, 20);
    EXPECT_EQ(moves[0].toY, 17);
    EXPECT_EQ(moves[0].outcome, ResolveCombat(w->game.pieces, 11, 30));
}

TEST_F(AttackPathTest, CostOfAMoveIsOnePlusPiecesInTheWayPlusTheDangerEntered) {
    PieceTable& live = w->game.pieces;
    PutAt(live, 0, kPlatoon, 0);     // (18,17)
    PutAt(live, 30, kCompany, 4);    // the target at (22,17)
    const int goal = 4;
    ASSERT_EQ(Find(0, 0, goal), 1);
    EXPECT_EQ(w->searchCost[goal], 1);  // the attacked piece is not in the way
    penalty[goal] = 3;
    ASSERT_EQ(Find(0, 0, goal), 1);
    EXPECT_EQ(w->searchCost[goal], 4);
    penalty[goal] = 0;

    // An own piece on the run, gone from the table the path is traced on
    // but standing on the live one: one more.
    PutAt(live, 2, kBattalion, 2);   // (20,17)
    PieceTable traced = live;
    traced[2].alive = 0;
    const GridPoint a = At(0);
    const GridPoint b = At(goal);
    ASSERT_EQ(FindAttackPath(*w, 0, moves, kPlanCapacity, a.x, a.y, b.x, b.y, traced, live, penalty), 1);
    EXPECT_EQ(w->searchCost[goal], 2);
    EXPECT_EQ(moves[0].target, 30);
}

TEST_F(AttackPathTest, StartEqualToTargetHasNoPath) {
    PutAt(w->game.pieces, 11, kPlatoon, 6);
    EXPECT_EQ(Find(11, 6, 6), 0);
    EXPECT_EQ(Find(-2, 6, 2), 0);
    EXPECT_EQ(Find(100, 6, 2), 0);
}

// A walk of 22 moves through the board that no single move can shorten
// (a platoon's moves on an empty board); every other point is made dear,
// so the cheapest path follows it.
const std::vector<int> kLongWalk = {0,  2,  6,  27,  28,  16,  19,  30,  32,  36,  57, 40,
                                    41, 90, 115, 96, 116, 100, 119, 103, 118, 106, 111};

TEST_F(AttackPathTest, PathsOfMoreThanTwentyMovesAreRefused) {
    for (int& p : penalty) p = 1000;
    for (int p : kLongWalk) penalty[p] = 0;
    PutAt(w->game.pieces, 96, kFlag, 111);
    for (int start : {0, 1}) {
        PutAt(w->game.pieces, 10, kPlatoon, kLongWalk[start]);
        EXPECT_EQ(Find(10, kLongWalk[start], 111), 0) << 22 - start << " moves";
    }
    PutAt(w->game.pieces, 10, kPlatoon, kLongWalk[2]);
    ASSERT_EQ(Find(10, kLongWalk[2], 111), 20);
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(GridPoint(moves[k].fromX, moves[k].fromY), At(kLongWalk[2 + k])) << k;
        EXPECT_EQ(GridPoint(moves[k].toX, moves[k].toY), At(kLongWalk[3 + k])) << k;
    }
    EXPECT_EQ(moves[19].target, 96);
    EXPECT_EQ(moves[0].target, kNoPiece);
}

TEST_F(AttackPathTest, PiecesOnTheWayAreCountedFromTheLookupTable) {
    PieceTable& live = w->game.pieces;
    PutAt(live, 0, kCommander, 0);   // (18,17)
    PutAt(live, 2, kBattalion, 2);   // own piece at (20,17)
    PutAt(live, 30, kPlatoon, 4);    // target at (22,17)
    *path = live;
    path->at(2).alive = 0;  // may step aside: not there when tracing
    const MoveCand run = aitest::Move(0, 30, 18, 17, 22, 17);
    int32_t list[8];
    int last = 0;
    EXPECT_EQ(CollectPathPieces(*w, list, 8, 1, &run, *path, live, &last), 2);
    EXPECT_EQ(list[0], 2);
    EXPECT_EQ(list[1], 30);
    EXPECT_EQ(last, 30);
    // Only the room given is written; the count is the true one.
    EXPECT_EQ(CollectPathPieces(*w, list, 1, 1, &run, *path, live), 2);
    // A move that cannot be traced ends the walk with nothing.
    EXPECT_EQ(CollectPathPieces(*w, list, 8, 1, &run, live, live, &last), 0);
    EXPECT_EQ(last, kNoPiece);
}

// Seat 0 plans against seat 1's believed flag.
class FlagPlanTest : public AttackPathTest {
protected:
    void Believe(int piece, std::initializer_list<std::pair<int, float>> row) {
        SetRow(w->game.pieces[piece].beliefs[0], row);
    }
    MoveCand out;
};

TEST_F(FlagPlanTest, NoPieceExpectedToWinGivesNoPlan) {
    PieceTable& p = w->game.pieces;
    PutAt(p, 0, kPlatoon, 0);
    PutAt(p, 30, kCommander, 4);
    Believe(30, {{4, 100.0f}});
    PlanFlagAttackBasic(*w, out, 0, 30, p);
    EXPECT_EQ(out.mover, kNoPiece);
    EXPECT_EQ(out.target, kNoPiece);
    // No target at all, or a dead one.
    PlanFlagAttackBasic(*w, out, 0, kNoPiece, p);
    EXPECT_EQ(out.mover, kNoPiece);
}

TEST_F(FlagPlanTest, ClearPathGivesItsFirstMove) {
    PieceTable& p = w->game.pieces;
    PutAt(p, 6, kPlatoon, 6);   // (20,16)
    PutAt(p, 30, kFlag, 13);    // (20,14)
    Believe(30, {{1, 100.0f}});
    PlanFlagAttackBasic(*w, out, 0, 30, p);
    ASSERT_EQ(out.mover, 6);
    ASSERT_GE(w->aiPlanLength, 2);
    EXPECT_EQ(std::memcmp(&out, &w->aiPlanMoves[0], sizeof out), 0);
    EXPECT_EQ(GridPoint(out.fromX, out.fromY), At(6));
    const MoveCand& last = w->aiPlanMoves[w->aiPlanLength - 1];
    EXPECT_EQ(GridPoint(last.toX, last.toY), At(13));
}

TEST_F(FlagPlanTest, EnemyInTheWayBecomesTheTarget) {
    PieceTable& p = w->game.pieces;
    PutAt(p, 0, kCommander, 0);  // (18,17)
    PutAt(p, 30, kFlag, 4);      // (22,17)
    PutAt(p, 75, kPlatoon, 2);   // seat 3's piece at (20,17)
    Believe(30, {{1, 100.0f}});
    Believe(75, {{11, 100.0f}});
    PlanFlagAttackBasic(*w, out, 0, 30, p);
    EXPECT_EQ(out.mover, 0);
    EXPECT_EQ(out.target, 75);
    EXPECT_EQ(GridPoint(out.toX, out.toY), At(2));
}

TEST_F(FlagPlanTest, PieceBehindAMineNeverAttacks) {
    PieceTable& p = w->game.pieces;
    PutAt(p, 20, kCommander, 20);  // slot 20 at (18,12)
    PutAt(p, 30, kFlag, 15);       // next to it at (18,13)
    Believe(30, {{1, 100.0f}});
    p[15].code = kMine;  // the piece five slots lower, even though it is gone
    p[15].alive = 0;
    PlanFlagAttackBasic(*w, out, 0, 30, p);
    EXPECT_EQ(out.mover, kNoPiece);
    p[15].code = kBattalion;
    PlanFlagAttackBasic(*w, out, 0, 30, p);
    EXPECT_EQ(out.mover, 20);
}

TEST_F(FlagPlanTest, SideStepLeavesEveryPointOfThePath) {
    PieceTable& p = w->game.pieces;
    PutAt(p, 2, kBattalion, 2);  // (20,17), in the way of a run along y = 17
    PutAt(p, 5, kPlatoon, 5);    // (18,16)
    const MoveCand pathMoves[2] = {aitest::Move(5, kNoPiece, 18, 16, 18, 17),
                                   aitest::Move(5, kNoPiece, 18, 17, 19, 17)};
    FindSideStepMove(*w, out, 2, 2, pathMoves, p);
    ASSERT_EQ(out.mover, 2);
    EXPECT_EQ(out.target, kNoPiece);
    EXPECT_FALSE(out.toX == 18 && out.toY == 17);
    EXPECT_FALSE(out.toX == 19 && out.toY == 17);
    // Moves that cannot be traced leave no points: no side step.
    const MoveCand blocked = aitest::Move(5, kNoPiece, 18, 16, 22, 16);
    FindSideStepMove(*w, out, 2, 1, &blocked, p);
    EXPECT_EQ(out.mover, kNoPiece);
}

}  // namespace
}  // namespace jq
