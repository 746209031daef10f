#include <algorithm>
#include <random>
#include <vector>

#include "ai/expected.h"
#include "ai/relations.h"
#include "ai12_fixture.h"
#include "core/combat.h"

namespace jq {
namespace {

using RelationTest = testing12::PositionTest;

// Seat 3's row y = 18 and on: railway points from (13,18) to (27,18).
constexpr int kRowStart = 109;                                        // (13,18)
constexpr int kRowBetween[] = {104, 101, 97, 94, 126, 127, 128, 30};  // (14..23,18)
constexpr int kRowEnd = 45;                                           // (27,18)

TEST(RelationCostLimitTest, GrowsWithTheBattleUpToEighteen) {
    EXPECT_EQ(RelationCostLimit(0), 8);
    EXPECT_EQ(RelationCostLimit(19), 8);
    EXPECT_EQ(RelationCostLimit(20), 9);
    EXPECT_EQ(RelationCostLimit(199), 17);
    EXPECT_EQ(RelationCostLimit(200), 18);
    EXPECT_EQ(RelationCostLimit(509), 18);
}

TEST_F(RelationTest, NeighbourTargetIsOneMoveOfCostOne) {
    Put(0, kBrigade, 13);     // (20,14)
    Put(30, kDivision, 17);   // (20,13)
    Put(31, kPlatoon, 28);    // (19,14), a camp: never a target
    CollectAttackRelations(*w, w->attackRelations, 0, kNoPiece, Pieces());
    ASSERT_EQ(w->attackRelations.count, 1);
    const AttackRelation& r = w->attackRelations[0];
    EXPECT_EQ(r.moveCount, 1);
    EXPECT_EQ(r.cost, 1);
    EXPECT_EQ(r.moves[0].target, 30);
    EXPECT_EQ(r.moves[0].outcome, ResolveCombat(Pieces(), 0, 30));
    ASSERT_EQ(r.blockerCount, 1);
    EXPECT_EQ(r.blockers[0], 30);
}

// A brigade at one end of a long railway row, an enemy at the other, and
// `own` of the seat's own pieces between: each adds one to the cost.
class RowTest : public RelationTest {
protected:
    void SetUpRow(int own) {
        Put(0, kBrigade, kRowStart);
        // Flags off a headquarters are lifted like movable pieces but never move.
        for (int i = 0; i < own; ++i) Put(1 + i, kFlag, kRowBetween[i]);
        Put(kTarget, kPlatoon, kRowEnd);
    }
    static constexpr int kTarget = 40;
};

TEST_F(RowTest, OwnPiecesOnTheWayRaiseTheCostAgainstTheLimit) {
    SetUpRow(7);  // one move + 7 own pieces = cost 8
    w->game.stepCount = 19;
    CollectAttackRelations(*w, w->attackRelations, 0, kTarget, Pieces());
    EXPECT_EQ(w->attackRelations.count, 0);
    w->game.stepCount = 20;
    CollectAttackRelations(*w, w->attackRelations, 0, kTarget, Pieces());
    ASSERT_EQ(w->attackRelations.count, 1);
    EXPECT_EQ(w->attackRelations[0].cost, 8);
    EXPECT_EQ(w->attackRelations[0].moveCount, 1);
}

TEST_F(RowTest, ManyPiecesOnThePathAreAllRecordedTargetLast) {
    SetUpRow(6);
    AttackRelation& r = w->attackRelations[0];
    r.blockerCount = -5;  // what an earlier search left behind
    CollectAttackRelations(*w, w->attackRelations, 0, kTarget, Pieces());
    ASSERT_EQ(w->attackRelations.count, 1);
    ASSERT_EQ(r.blockerCount, 7);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r.blockers[i], 1 + i);
    EXPECT_EQ(r.blockers[6], kTarget);
}

TEST_F(RelationTest, FullListTakesNoMore) {
    for (int i = 0; i < 4; ++i) Put(i, kBrigade, 15 + i);  // (18..21,13)
    Put(30, kPlatoon, 13);                                 // (20,14)
    Put(31, kPlatoon, 19);                                 // (22,13)
    AttackRelation list[5];
    for (AttackRelation& r : list) r.cost = -77;
    int32_t count = 0;
    CollectAttackRelations(*w, list, 3, count, 0, kNoPiece, Pieces());
    EXPECT_EQ(count, 3);
    EXPECT_NE(list[2].cost, -77);
    EXPECT_EQ(list[3].cost, -77);
    EXPECT_EQ(list[4].cost, -77);
    CollectAttackRelations(*w, list, 5, count, 0, kNoPiece, Pieces());
    EXPECT_EQ(count, 5) << "with room, more than three exist";
}

TEST_F(RelationTest, DangerMapMarksReachAndOccupation) {
    Put(30, kBrigade, 124);  // seat 1, (20,20)
    Put(60, kBrigade, 123);  // seat 2 is seat 0's partner: never dangerous
    int32_t counts[kPointSlots];
    BuildDangerMap(*w, 0, counts, Pieces());
    EXPECT_EQ(counts[124], 2) << "occupied, and nobody else reaches it";
    EXPECT_EQ(counts[127], 1) << "(20,18) is reached";
    EXPECT_EQ(counts[2], 1) << "(20,17) at the end of the run";
    EXPECT_EQ(counts[6], 0) << "(20,16) is a road point";
    EXPECT_EQ(counts[123], 1) << "the partner's piece can be attacked";
    Put(90, kBrigade, 125);  // seat 3, (22,20): reaches (20,20), and back
    BuildDangerMap(*w, 0, counts, Pieces());
    EXPECT_EQ(counts[124], 3);
    EXPECT_EQ(counts[125], 3);
    EXPECT_EQ(Pieces()[30].alive, 1);
    EXPECT_EQ(Pieces()[90].alive, 1);
}

TEST_F(RelationTest, RailAttackersNoteWhoStandsInACamp) {
    Put(30, kBrigade, 124);  // (20,20): a run down to (20,17)
    Put(31, kPlatoon, 25);   // (19,16), a camp next to (20,17)
    Put(60, kBrigade, 126);  // the partner does not count
    EXPECT_EQ(FindRailAttackers(*w, 20, 17, 0, Pieces()), 2);
    ASSERT_EQ(w->aiReachList.count, 2);
    EXPECT_EQ(w->aiReachList[0].piece, 30);
    EXPECT_EQ(w->aiReachList[0].fromCamp, 0);
    EXPECT_EQ(w->aiReachList[1].piece, 31);
    EXPECT_EQ(w->aiReachList[1].fromCamp, 1);
    EXPECT_EQ(FindRailAttackers(*w, 20, 16, 0, Pieces()), 1) << "only the camp's neighbour reaches a road point";
}

TEST_F(RelationTest, DangerMapAgreesWithATestOfEveryPoint) {
    std::mt19937 gen(11);
    for (int round = 0; round < 5; ++round) {
        for (PieceRec& pc : Pieces()) pc.alive = 0;
        std::vector<int> points(kPointCount);
        for (int p = 0; p < kPointCount; ++p) points[p] = p;
        std::shuffle(points.begin(), points.end(), gen);
        for (int i = 0; i < 48; ++i) {
            const int piece = static_cast<int>(gen() % kPieceCount);
            Put(piece, static_cast<int>(1 + gen() % 12), points[i]);
        }
        for (int seat = 0; seat < kSeats; ++seat) {
            int32_t counts[kPointSlots];
            BuildDangerMap(*w, seat, counts, Pieces());
            for (int p = 0; p < kPointCount; ++p) {
                const GridPoint g = At(p);
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

class RelationScoreTest : public RelationTest {
protected:
    AttackRelation OneMove(MoveCand m, int cost) {
        AttackRelation r;
        r.moves[0] = m;
        r.moveCount = 1;
        r.cost = cost;
        return r;
    }
};

TEST_F(RelationScoreTest, AttackOnAHeadquartersPoint) {
    // Seat 0's brigade next to seat 1's headquarters, believed a flag with
    // 60 and a mine with 40.
    Put(0, kBrigade, 46);  // (27,19)
    Put(46, kFlag, 51);    // seat 1's slot 21 on its headquarters (28,19)
    Believe(46, 0, {{kFlag, 60.0f}, {kMine, 40.0f}});
    AttackRelation r = OneMove(Move(0, 46, 46, 51), 1);
    const double reach = 200000.0;
    EvaluateAttackRelations(*w, &r, 1, 0, Pieces(), reach);
    const double gain = 60.0 * 2000 - 40.0 * 70 - 100.0 * 70;
    EXPECT_NEAR(r.gain, gain, 0.01);
    EXPECT_NEAR(r.survival, 0.6, 1e-9);
    EXPECT_NEAR(r.score, (0.618 * reach * 0.6 + gain) / (1 + 3.0), 0.01);
}

TEST_F(RelationScoreTest, SafeStopWeighsNoAnswer) {
    Put(0, kBrigade, 13);  // (20,14) to the railway point (20,13); nobody else
    AttackRelation r = OneMove(Move(0, kNoPiece, 13, 17), 2);
    EvaluateAttackRelations(*w, &r, 1, 0, Pieces(), 1000.0);
    EXPECT_EQ(r.gain, 0.0);
    EXPECT_EQ(r.survival, 1.0);
    EXPECT_NEAR(r.score, 0.618 * 1000.0 / 5.0, 1e-9);
}

TEST_F(RelationScoreTest, SortIsBestFirstAndKeepsEqualsAsExchanged) {
    Put(0, kBrigade, 13);
    Put(1, kBrigade, 10);  // (21,15)
    Put(2, kBrigade, 9);   // (19,15)
    AttackRelation list[3] = {OneMove(Move(0, kNoPiece, 13, 17), 5), OneMove(Move(1, kNoPiece, 10, 11), 1),
                              OneMove(Move(2, kNoPiece, 9, 8), 1)};
    EvaluateAttackRelations(*w, list, 3, 0, Pieces(), 8.0 / 0.618);
    EXPECT_EQ(list[0].moves[0].mover, 1);
    EXPECT_EQ(list[1].moves[0].mover, 2);
    EXPECT_EQ(list[2].moves[0].mover, 0);
    EXPECT_NEAR(list[0].score, 2.0, 1e-9);
    EXPECT_NEAR(list[2].score, 1.0, 1e-9);
}

TEST_F(RelationScoreTest, EmptyListReadsNothing) {
    Put(0, kBrigade, 13);
    AttackRelation list[1];
    list[0].moves[0].mover = 555;  // garbage that must not be read
    list[0].score = -3.0;
    w->aiScratchBoard[0].alive = 7;
    EvaluateAttackRelations(*w, list, 0, 0, Pieces(), 1.0);
    EXPECT_EQ(list[0].score, -3.0);
    EXPECT_EQ(w->aiScratchBoard[0].alive, 1) << "the copy is still taken";
}

TEST_F(RelationScoreTest, AnswersAtAStopCutTheSurvival) {
    // The brigade stops on (20,17); seat 1's commander in the centre can
    // run down to it. Three answers: no attack (the brigade's best attack
    // on the commander is worth nothing: 0), the attack (the commander
    // gains 7000, the brigade cannot win: 7000 - 0 x 0), and the commander
    // going elsewhere (it has moves it would not have from (20,17): -0).
    // Weighted by 0.618, lifted by the lowest and 1: 1, 4327, 1.
    Put(0, kBrigade, 6);  // (20,16)
    Believe(0, 0, {{kBrigade, 100.0f}});
    Put(30, kCommander, 124);
    Believe(30, 0, {{kCommander, 100.0f}});
    double gain = 0.0;
    double survival = 0.0;
    float beliefs[12] = {};
    beliefs[kBrigade - 1] = 100.0f;
    EvaluateRailThreat(*w, gain, survival, beliefs, 0, 0, 0, 20, 17, Pieces());
    const double sum = 1.0 + (0.618 * 7000.0 + 1.0) + 1.0;
    EXPECT_NEAR(gain, -7000.0 * (0.618 * 7000.0 + 1.0) / sum, 1e-6);
    EXPECT_NEAR(survival, 2.0 / sum, 1e-12);
    // The brigade's row after the answers: unchanged where it survives.
    EXPECT_FLOAT_EQ(beliefs[kBrigade - 1], 100.0f);
    EXPECT_EQ(Pieces()[30].x, At(124).x) << "the commander is back on its point";
}

TEST_F(RelationScoreTest, CampStopWeighsNoAnswer) {
    // Into the camp (19,14) next to seat 1's brigade: nothing is weighed.
    Put(0, kPlatoon, 13);  // (20,14)
    Put(30, kBrigade, 16);  // (19,13)
    Believe(30, 0, {{kBrigade, 100.0f}});
    AttackRelation r = OneMove(Move(0, kNoPiece, 13, 28), 1);
    EvaluateAttackRelations(*w, &r, 1, 0, Pieces(), 1000.0);
    EXPECT_EQ(r.gain, 0.0);
    EXPECT_EQ(r.survival, 1.0);
    // The same platoon stopping on (20,13) instead is open to the brigade.
    AttackRelation open = OneMove(Move(0, kNoPiece, 13, 17), 1);
    EvaluateAttackRelations(*w, &open, 1, 0, Pieces(), 1000.0);
    EXPECT_LT(open.gain, 0.0);
    EXPECT_EQ(open.survival, 1.0) << "the survival is taken before the stop's answers";
}

TEST_F(RelationScoreTest, NoCountingAttackerIsWorthNothing) {
    Put(0, kBrigade, 6);    // (20,16)
    Put(30, kPlatoon, 25);  // (19,16), in a camp
    Believe(30, 0, {{kPlatoon, 100.0f}});
    const float brigade[12] = {0, 0, 0, 0, 0, 0, 100, 0, 0, 0, 0, 0};
    const ReachEntry fromCamp[1] = {{30, 1}};
    EXPECT_EQ(BestThreatValue(*w, brigade, 20, 17, 0, fromCamp, 1, kNoPiece, Pieces()), 0.0);
    // Counted, the brigade's attack on the platoon is worth 100 x 20.
    const ReachEntry open[1] = {{30, 0}};
    EXPECT_NEAR(BestThreatValue(*w, brigade, 19, 17, 0, open, 1, kNoPiece, Pieces()), 2000.0, 1e-3);
    EXPECT_EQ(BestThreatValue(*w, brigade, 19, 17, 0, open, 1, 30, Pieces()), 0.0) << "excluded";
}

TEST_F(RelationScoreTest, StopLeavesTheListUnscored) {
    Put(0, kBrigade, 13);
    Put(1, kBrigade, 10);
    AttackRelation list[2] = {OneMove(Move(0, kNoPiece, 13, 17), 5), OneMove(Move(1, kNoPiece, 10, 11), 1)};
    list[0].score = list[1].score = -3.0;
    abort = 1;
    EvaluateAttackRelations(*w, list, 2, 0, Pieces(), 1000.0);
    EXPECT_EQ(list[0].score, -3.0);
    EXPECT_EQ(list[1].score, -3.0);
    EXPECT_EQ(list[0].moves[0].mover, 0) << "not sorted either";
}

}  // namespace
}  // namespace jq
