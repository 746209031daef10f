#include "ai/flagattack.h"
#include "ai/flagdefence.h"
#include "ai12_fixture.h"

namespace jq {
namespace {

constexpr double kStake = 200000.0;

// ---------------------------------------------------------------------------
// Attack on an enemy flag (seat 0 attacks seat 1).

class FlagAttackTest : public testing12::PositionTest {
protected:
    int Plan(int target) { return PlanFlagAttack(*w, 0, target, kStake, out, Pieces()); }
    // Partner pieces (seat 2) as walls on the given points.
    void Walls(std::initializer_list<int> points) {
        int index = 50;
        for (int p : points) Put(index++, kPlatoon, p);
    }
    MoveCand out;
};

TEST_F(FlagAttackTest, NoOwnPieceToSendGivesNoPath) {
    Put(21, kFlag, 21);
    Put(46, kFlag, 51);
    Believe(46, 0, {{kFlag, 100.0f}});
    EXPECT_EQ(Plan(46), kAttackNoPath);
    EXPECT_EQ(out.mover, kNoPiece);
}

TEST_F(FlagAttackTest, ClearPathPlansItsFirstMove) {
    Put(0, kBrigade, 46);  // (27,19), next to seat 1's headquarters (28,19)
    Put(46, kFlag, 51);
    Believe(46, 0, {{kFlag, 100.0f}});
    ASSERT_EQ(Plan(46), kAttackPlanned);
    EXPECT_EQ(out.mover, 0);
    EXPECT_EQ(out.target, 46);
    EXPECT_EQ(out.toX, 28);
    EXPECT_EQ(out.toY, 19);
    // The first stage scores without the stake: gain / (cost + 3), the gain
    // being the flag taken less 100 x the brigade for entering a
    // headquarters.
    EXPECT_NEAR(out.score, (100.0 * 2000 - 100.0 * 70) / 4.0, 0.5);
}

TEST_F(FlagAttackTest, BarredPathsRetargetUntilTheStagesRunOut) {
    // Seat 0's left railway column: engineers at both ends, between them
    // two pieces of seat 1 believed commanders and, in the middle, the
    // target. Every way round is walled by the partner.
    Put(0, kEngineer, 15);  // (18,13)
    Put(1, kEngineer, 0);   // (18,17)
    Put(30, kCommander, 12);
    Put(31, kCommander, 5);
    Put(46, kFlag, 8);
    Believe(30, 0, {{kCommander, 100.0f}});
    Believe(31, 0, {{kCommander, 100.0f}});
    Believe(46, 0, {{kFlag, 100.0f}});
    Walls({20, 16, 28, 9, 25, 1, 94, 126});
    EXPECT_EQ(Plan(46), kAttackTooManyStages);
    EXPECT_EQ(out.mover, kNoPiece);
}

// Seat 0's brigade on (18,13) and its commander on (18,14) in the way of a
// railway run; the target is believed a flag with 75 and a mine with 25,
// so only the brigade (caution for its rank) may go, and the commander may
// not attack it itself.
class OwnPieceInTheWayTest : public FlagAttackTest {
protected:
    void SetUpTarget(int point) {
        Put(0, kBrigade, 15);
        Put(1, kCommander, 12);
        Put(46, kFlag, point);
        Believe(46, 0, {{kFlag, 75.0f}, {kMine, 25.0f}});
    }
};

TEST_F(OwnPieceInTheWayTest, ItStepsAside) {
    SetUpTarget(100);  // (15,19): a run round the corner to (15,18), then a step
    ASSERT_EQ(Plan(46), kAttackPlanned);
    EXPECT_EQ(out.mover, 1);
    EXPECT_EQ(out.target, kNoPiece);
    const AttackRelation& chosen = w->attackRelations[0];
    EXPECT_EQ(chosen.moves[0].mover, 0);
    EXPECT_FLOAT_EQ(out.score, static_cast<float>(chosen.score));
}

TEST_F(OwnPieceInTheWayTest, NoWayAsideGivesUp) {
    // One run straight through the commander: nothing of the path can be
    // traced with the commander standing there, so no step aside is found.
    SetUpTarget(94);  // (17,18)
    EXPECT_EQ(Plan(46), kAttackOwnPieceStuck);
    // The record names the path's mover and the piece barring it.
    EXPECT_EQ(out.mover, 0);
    EXPECT_EQ(out.target, 1);
}

TEST_F(FlagAttackTest, SurvivalEqualToTheCautionLevelIsNotEnough) {
    // A commander next to seat 1's headquarters; what stands there is a
    // flag or a mine, and a mine kills the commander. Its chance of coming
    // through is the flag's share; for a commander both passes ask for more
    // than the caution level (0.8).
    Put(0, kCommander, 46);  // (27,19)
    Put(46, kFlag, 51);      // (28,19)
    Believe(46, 0, {{kFlag, 80.0f}, {kMine, 20.0f}});
    EXPECT_EQ(Plan(46), kAttackNoPath);
    ASSERT_EQ(w->attackRelations.count, 1);
    EXPECT_EQ(w->attackRelations[0].survival, 0.8);
    EXPECT_GT(w->attackRelations[0].score, 0.0);

    Believe(46, 0, {{kFlag, 81.0f}, {kMine, 19.0f}});
    ASSERT_EQ(Plan(46), kAttackPlanned);
    EXPECT_EQ(out.mover, 0);
    EXPECT_EQ(out.target, 46);
}

TEST_F(FlagAttackTest, EnemyInTheWayBecomesTheTargetOfTheNextStage) {
    // Seat 0's brigade at the top of its left railway column, seat 1's
    // platoon in the middle of it and the flag below; every way round is
    // walled by the partner. The platoon may be a commander (40): the only
    // path, through it, comes through with 0.6, too little for the first
    // pass, and the platoon bars it for the second. The next stage attacks
    // the platoon with the stake x styleCoefAttack, and 0.6 is enough for a
    // brigade there.
    Put(0, kBrigade, 15);   // (18,13)
    Put(30, kPlatoon, 12);  // (18,14)
    Put(46, kFlag, 8);      // (18,15)
    Believe(30, 0, {{kPlatoon, 60.0f}, {kCommander, 40.0f}});
    Believe(46, 0, {{kFlag, 100.0f}});
    Walls({20, 16, 28, 9, 25, 1, 5, 0});
    ASSERT_EQ(Plan(46), kAttackPlanned);
    EXPECT_EQ(out.mover, 0);
    EXPECT_EQ(out.target, 30);
    const AttackRelation& r = w->attackRelations[0];
    ASSERT_EQ(r.moveCount, 1);
    EXPECT_EQ(r.moves[0].target, 30);
    const double stake = kStake * 0.618;
    EXPECT_NEAR(r.score, (0.618 * stake * r.survival + r.gain) / (r.cost + 3.0), 1e-6);
    EXPECT_FLOAT_EQ(out.score, static_cast<float>(r.score));
}

TEST_F(FlagAttackTest, StopEndsThePlan) {
    Put(0, kBrigade, 46);
    Put(46, kFlag, 51);
    Believe(46, 0, {{kFlag, 100.0f}});
    abort = 1;
    EXPECT_EQ(Plan(46), kAttackStopped);
}

// ---------------------------------------------------------------------------
// Defence of seat 0's flag on (19,12) against seat 1.

class FlagDefenceTest : public testing12::PositionTest {
protected:
    FlagDefenceTest() {
        Put(21, kFlag, 21);
        Reveal(21);
    }
    int Plan() { return PlanFlagDefence(*w, 0, 1, 21, kStake, out, Pieces()); }
    // Seat 1's attacker, believed by seat 0 to be of `believed`.
    void Attacker(int point, int believed) {
        Put(30, kDivision, point);
        Believe(30, 0, {{believed, 100.0f}});
    }
    int ThreatMoves() const { return w->flagThreatRelations[0].moveCount; }
    MoveCand out;
};

TEST_F(FlagDefenceTest, NoEnemyPathIsNoThreat) {
    Put(30, kMine, 30);
    EXPECT_EQ(Plan(), kDefenceNoPath);
    EXPECT_EQ(out.mover, kNoPiece);
}

TEST_F(FlagDefenceTest, UnlikelyThreatIsIgnored) {
    Attacker(16, kPlatoon);  // (19,13), one move away
    w->game.styleCoefDefence = 1.01;
    EXPECT_EQ(Plan(), kDefenceNoThreat);
}

TEST_F(FlagDefenceTest, ThreatOfFiveMovesIsIgnored) {
    // From seat 2's back row the way to (19,12) takes five moves.
    Attacker(82, kPlatoon);  // (20,28)
    ASSERT_EQ(Plan(), kDefenceNoThreat);
    EXPECT_EQ(ThreatMoves(), 5);
}

TEST_F(FlagDefenceTest, NearThreatWithoutDefenders) {
    Attacker(28, kPlatoon);  // the camp (19,14): to (19,13), then the flag
    EXPECT_EQ(Plan(), kDefenceNoCounterNear);
    EXPECT_EQ(ThreatMoves(), 2);
}

TEST_F(FlagDefenceTest, FartherThreatWithoutDefenders) {
    Attacker(0, kPlatoon);  // (18,17)
    EXPECT_EQ(Plan(), kDefenceNoCounter);
    EXPECT_EQ(ThreatMoves(), 3);
}

TEST_F(FlagDefenceTest, CounterArrivingJustInTimeIsPlanned) {
    Attacker(28, kPlatoon);  // passes (19,13) after its first move
    Put(0, kDivision, 4);    // (22,17): (22,13), then along the row to (19,13)
    ASSERT_EQ(Plan(), kDefencePlanned);
    EXPECT_EQ(out.mover, 0);
    EXPECT_EQ(out.toX, 22);
    EXPECT_EQ(out.toY, 13);
    const AttackRelation& best = w->counterRelations[0];
    EXPECT_EQ(best.cost, 0 + 2) << "no time to spare, plus the threat's two moves";
    EXPECT_FLOAT_EQ(out.score, static_cast<float>(best.score));
}

TEST_F(FlagDefenceTest, CounterOneMoveLateIsDropped) {
    Attacker(28, kPlatoon);
    Put(0, kDivision, 10);  // (21,15): three moves from (19,13)
    EXPECT_EQ(Plan(), kDefenceTooLateNear);
    // The one counter found was dropped (its record stays behind the list).
    EXPECT_EQ(w->counterRelations.count, 0);
    const AttackRelation& late = w->counterRelations.items[0];
    EXPECT_EQ(late.cost, 3);
    ASSERT_GT(late.blockerCount, 0);
    EXPECT_EQ(w->aiScratchBoard3[late.blockers[late.blockerCount - 1]].startX, 1) << "the copy after one move";
}

TEST_F(FlagDefenceTest, HopelessCounterIsNoDefence) {
    Attacker(28, kCommander);  // the counter would meet a sure commander
    Put(0, kPlatoon, 4);
    EXPECT_EQ(Plan(), kDefenceWeakCounterNear);
}

TEST_F(FlagDefenceTest, OwnPieceOnTheBestCounterStepsAside) {
    // The threat: (20,16), the camps (20,15) and (19,14), then (19,13) three
    // moves after the start, then the flag. The commander on (20,12) meets
    // that copy in two moves, over (20,13), where an own engineer stands:
    // the engineer steps aside first (the commander's own first move,
    // onto the engineer, could not be played).
    Attacker(6, kDivision);  // (20,16)
    Put(1, kCommander, 22);  // (20,12)
    Put(2, kEngineer, 17);   // (20,13)
    Reveal(1);
    Reveal(2);
    ASSERT_EQ(Plan(), kDefencePlanned);
    ASSERT_EQ(ThreatMoves(), 4);
    const AttackRelation& best = w->counterRelations[0];
    ASSERT_EQ(best.moveCount, 2);
    EXPECT_EQ(best.moves[0].mover, 1);
    EXPECT_EQ(best.moves[0].toX, 20);
    EXPECT_EQ(best.moves[0].toY, 13);
    EXPECT_EQ(out.mover, 2);
    EXPECT_EQ(out.target, kNoPiece);
    EXPECT_EQ(out.fromX, 20);
    EXPECT_EQ(out.fromY, 13);
    for (int i = 0; i < best.moveCount; ++i)
        EXPECT_FALSE(out.toX == best.moves[i].toX && out.toY == best.moves[i].toY) << "off the counter's path";
    EXPECT_FLOAT_EQ(out.score, static_cast<float>(best.score));
}

TEST_F(FlagDefenceTest, OwnPieceThatCannotStepAsideBarsTheCounter) {
    // The same, with the engineer's way out closed: the flag (which never
    // moves) stands on (20,13) instead.
    Attacker(6, kDivision);
    Put(1, kCommander, 22);
    Put(2, kFlag, 17);
    Reveal(1);
    EXPECT_EQ(Plan(), kDefenceTooLate);
    ASSERT_GE(w->counterRelations.count, 1) << "a counter in time was found";
    EXPECT_EQ(w->counterRelations[0].moves[0].mover, 1);
    EXPECT_EQ(out.mover, kNoPiece);
}

TEST_F(FlagDefenceTest, DefenceSliderAtZeroLeavesNoScore) {
    Attacker(28, kPlatoon);
    Put(0, kDivision, 4);
    w->game.styleDefence = 0;
    ASSERT_EQ(Plan(), kDefencePlanned);
    EXPECT_EQ(out.score, 0.0f);
}

TEST_F(FlagDefenceTest, StopEndsThePlan) {
    Attacker(28, kPlatoon);
    Put(0, kDivision, 4);
    abort = 1;
    EXPECT_EQ(Plan(), kDefenceStopped);
    EXPECT_FALSE(IsUncounteredNearThreat(kDefenceStopped));
    EXPECT_TRUE(IsUncounteredNearThreat(kDefenceNoCounterNear));
    EXPECT_TRUE(IsUncounteredNearThreat(kDefenceWeakCounterNear));
    EXPECT_FALSE(IsUncounteredNearThreat(kDefenceNoCounter));
}

}  // namespace
}  // namespace jq
