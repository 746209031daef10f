#include <algorithm>
#include <random>
#include <vector>

#include "ai/expected.h"
#include "ai/relations.h"
#include "core/combat.h"
#include "position.h"

namespace jq {
namespace {

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
    // Into the camp (19,14) next to seat 1's brigade: no answer is weighed;
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
    // A brigade stopping where a commander can run down on it: it expects
    // to lose, may not survive, and is back where it stood after the weighing.
    Put(1, kBrigade, 6);
    Believe(1, 0, {{kBrigade, 100.0f}});
    Put(31, kCommander, 124);
    Believe(31, 0, {{kCommander, 100.0f}});
    double gain = 0.0;
    double survival = 0.0;
    float row[12] = {};
    row[kBrigade - 1] = 100.0f;
    EvaluateRailThreat(*w, gain, survival, row, 1, 0, 0, 20, 17, Pieces());
    EXPECT_LT(gain, 0.0);
    EXPECT_GT(survival, 0.0);
    EXPECT_LT(survival, 1.0);
    EXPECT_FLOAT_EQ(row[kBrigade - 1], 100.0f);
    EXPECT_EQ(GridPoint(Pieces()[31].x, Pieces()[31].y), test::PointAt(124));
}

}  // namespace
}  // namespace jq
