#include <chrono>
#include <thread>
#include <vector>

#include "ai/choose0.h"
#include "ai/choose12.h"
#include "ai/flagdefence.h"
#include "ai/selfplay.h"
#include "ai12_fixture.h"

namespace jq {
namespace {

constexpr double kStake = 200000.0;

MoveCand Cand(int fromX, int toX, float score, int target = kNoPiece) {
    MoveCand c;
    c.mover = 3;
    c.target = target;
    c.fromX = fromX;
    c.fromY = 13;
    c.toX = toX;
    c.toY = 13;
    c.score = score;
    return c;
}

// ---------------------------------------------------------------------------
// How the flag plans bend the scores.

TEST(FlagPlanScoresTest, HighScoresAreCutWhileAPlanStands) {
    MoveCand list[3] = {Cand(18, 19, 12300.0f), Cand(18, 20, 12299.0f), Cand(18, 21, 50000.0f)};
    FlagPlans plans;
    plans.status[0] = -1;  // no flag located
    ApplyFlagPlans(plans, list, 3, kStake);
    EXPECT_EQ(list[0].score, 12300.0f) << "no plan stands: nothing is cut";

    plans.status[3] = 0;
    plans.move[3] = Cand(22, 21, 10.0f);  // matches nothing
    ApplyFlagPlans(plans, list, 3, kStake);
    EXPECT_EQ(list[0].score, 0.0f);
    EXPECT_EQ(list[1].score, 12299.0f);
    EXPECT_EQ(list[2].score, 0.0f);
}

TEST(FlagPlanScoresTest, PlanLiftsOnlyTheFirstMatchAndNeverLowers) {
    MoveCand list[3] = {Cand(18, 19, 5.0f), Cand(18, 19, 5.0f), Cand(18, 20, 900.0f)};
    FlagPlans plans;
    plans.status[1] = 0;
    plans.move[1] = Cand(18, 19, 700.0f);
    plans.status[2] = 0;
    plans.move[2] = Cand(18, 20, 300.0f);
    ApplyFlagPlans(plans, list, 3, kStake);
    EXPECT_EQ(list[0].score, 700.0f);
    EXPECT_EQ(list[1].score, 5.0f);
    EXPECT_EQ(list[2].score, 900.0f);
}

TEST(FlagPlanScoresTest, UncounteredNearThreatsFavourEveryCapture) {
    MoveCand list[2] = {Cand(18, 19, 10.0f, 40), Cand(18, 20, 10.0f)};
    FlagPlans plans;
    plans.status[2] = kDefenceNoCounterNear;
    plans.status[3] = kDefenceWeakCounterNear;
    ApplyFlagPlans(plans, list, 2, kStake);
    EXPECT_EQ(list[0].score, static_cast<float>(10.0 + 2 * kStake));
    EXPECT_EQ(list[1].score, 10.0f);
}

TEST(FlagPlanScoresTest, StoppedOrFartherDefencesChangeNothing) {
    MoveCand list[1] = {Cand(18, 19, 10.0f, 40)};
    FlagPlans plans;
    plans.status[2] = kDefenceStopped;
    plans.status[3] = kDefenceNoCounter;
    ApplyFlagPlans(plans, list, 1, kStake);
    EXPECT_EQ(list[0].score, 10.0f);
}

// ---------------------------------------------------------------------------
// The random pick.

class AdvancedPickTest : public testing12::PositionTest {
protected:
    // The draws the pick will see.
    int Draw(int k) {
        GameRandom copy = rng;
        int v = 0;
        for (int i = 0; i <= k; ++i) v = copy.Next();
        return v;
    }
    int Pick(std::initializer_list<float> scores) {
        list.clear();
        for (float s : scores) list.push_back(Cand(18, 19, s));
        return PickAdvancedCandidate(*w, list.data(), static_cast<int>(list.size()));
    }
    std::vector<MoveCand> list;
};

TEST_F(AdvancedPickTest, ThresholdGrowsEveryTwentySteps) {
    EXPECT_FLOAT_EQ(AdvancedPickThreshold(0), 0.6f);
    EXPECT_FLOAT_EQ(AdvancedPickThreshold(19), 0.6f);
    EXPECT_FLOAT_EQ(AdvancedPickThreshold(20), 1.0f);
    EXPECT_FLOAT_EQ(AdvancedPickThreshold(40), 1.4f);
}

TEST_F(AdvancedPickTest, CloseTopThreeShareTheChoice) {
    w->game.stepCount = 10;
    const int expected = Draw(1) % 3;
    EXPECT_EQ(Pick({100.0f, 90.0f, 70.0f, 1.0f}), expected);
}

TEST_F(AdvancedPickTest, TopTwoNeedThreeCandidates) {
    w->game.stepCount = 10;
    const int expected = Draw(1) % 2;
    EXPECT_EQ(Pick({100.0f, 90.0f, 1.0f}), expected);
    // With two candidates the rule does not apply: 100 is no clear best,
    // so the pick is among the non-negative ones.
    const int anyOfTwo = Draw(1) % 2;
    EXPECT_EQ(Pick({100.0f, 90.0f}), anyOfTwo);
}

TEST_F(AdvancedPickTest, ClearBestIsAboveOneThousand) {
    w->game.stepCount = 100;
    EXPECT_EQ(Pick({1000.5f, 1000.0f, 3.0f}), 0);
    const GameRandom before = rng;
    const int expected = Draw(1) % 3;
    rng = before;
    EXPECT_EQ(Pick({1000.0f, 999.0f, 3.0f, -1.0f}), expected);
}

TEST_F(AdvancedPickTest, AllNegativePlaysTheFirst) {
    w->game.stepCount = 100;
    EXPECT_EQ(Pick({-1.0f, -2.0f, -3.0f}), 0);
}

TEST_F(AdvancedPickTest, CommanderRuleNeverPicksPastTheList) {
    Put(3, kCommander, 13);
    w->game.stepCount = 0;  // 0 < 4r + 4 for every r
    EXPECT_EQ(Pick({5.0f}), 0);
    EXPECT_EQ(Pick({5.0f, 4.0f}), 1);
    const int expected = 1 + Draw(1) % 3;
    EXPECT_EQ(Pick({5.0f, 4.0f, 3.0f, 2.0f, 1.0f}), expected);
    w->game.stepCount = 32;  // never from here on
    EXPECT_EQ(Pick({5000.0f, 4.0f}), 0);
}

// ---------------------------------------------------------------------------
// Whole choices on a fixed position.

// One army, deployment slot by slot.
constexpr int kArmy[25] = {10, 6, 12, 9, 11, 8, 5, 7, 12, 3, 10, 11, 6, 4, 8, 9, 2, 3, 2, 12, 10, 1, 2, 7, 11};

class ChoiceTest : public testing12::PositionTest {
protected:
    ChoiceTest() {
        for (int s = 0; s < kSeats; ++s)
            for (int k = 0; k < kPiecesPerSeat; ++k) {
                const int i = s * kPiecesPerSeat + k;
                Put(i, kArmy[k], s * 30 + k);
                for (auto& row : Pieces()[i].beliefs) {
                    for (int c = 0; c < 12; ++c) row[c] = test::kArmyShare[c];
                    if (k < 5) row[kBomb - 1] = 0.0f;
                    if (k != 21 && k != 23) row[kFlag - 1] = 0.0f;
                    if (k < 15) row[kMine - 1] = 0.0f;
                    float sum = 0.0f;
                    for (float x : row) sum += x;
                    for (float& x : row) x = x * 100.0f / sum;
                }
            }
        // Some contact in the centre: seat 1's front left division and
        // seat 3's engineer came forward; seat 0's front company left.
        MovePiece(26, 127);  // seat 1 slot 1 to (20,18)
        MovePiece(77, 124);  // seat 3 slot 2 to (20,20)
        Pieces()[0].alive = 0;
    }
    void MovePiece(int piece, int point) {
        Pieces()[piece].x = At(point).x;
        Pieces()[piece].y = At(point).y;
        for (auto& row : Pieces()[piece].beliefs) {
            row[kFlag - 1] = 0.0f;
            row[kMine - 1] = 0.0f;
        }
    }
    MoveCand Choose(int level) {
        w->game.aiLevel = level;
        w->game.curSeat = 0;
        w->game.stepCount = 40;
        rng.Seed(99);
        const bool done = level == 0 ? ChooseMoveBasic(*w) : ChooseMoveAdvanced(*w);
        EXPECT_TRUE(done);
        return w->aiMoveList.list[0];
    }
};

TEST_F(ChoiceTest, BasicLevelGolden) {
    // The best score is above 500: the best is played.
    const MoveCand m = Choose(0);
    EXPECT_EQ(m.mover, 1);
    EXPECT_EQ(m.toX, 18);
    EXPECT_EQ(m.toY, 17);
    EXPECT_NEAR(m.score, 877.217f, 0.01f);
}

TEST_F(ChoiceTest, MiddleLevelGolden) {
    // No flag located, no plan; the best (988.13 for (19,17) to (18,17)) is
    // below 1000, so the pick is among all candidates scoring 0 or more.
    const MoveCand m = Choose(1);
    EXPECT_EQ(w->aiChosenIndex, 22);
    EXPECT_EQ(w->aiMoveList.list[22].mover, 1);
    EXPECT_NEAR(w->aiMoveList.list[22].score, 988.13f, 0.01f);
    EXPECT_EQ(m.mover, 15);
    EXPECT_EQ(m.toX, 19);
    EXPECT_EQ(m.toY, 14);
    EXPECT_NEAR(m.score, 25.0f, 0.01f);
}

TEST_F(ChoiceTest, TopLevelGolden) {
    // The own flag and seat 1's flag are located: both plans take part.
    Believe(21, 0, {{kFlag, 100.0f}});
    Believe(46, 0, {{kFlag, 95.0f}, {kMine, 5.0f}});
    // The defences find no threat of four moves or fewer; the attack on
    // seat 1's flag sends the platoon of (22,15) to the camp (21,14) and
    // lifts that candidate above 1000, so it is played.
    const MoveCand m = Choose(2);
    EXPECT_EQ(w->aiChosenIndex, 0);
    EXPECT_EQ(m.mover, 11);
    EXPECT_EQ(m.toX, 21);
    EXPECT_EQ(m.toY, 14);
    EXPECT_NEAR(m.score, 8399.24f, 0.01f);
}

TEST_F(ChoiceTest, StopIsHonouredPromptly) {
    Believe(21, 0, {{kFlag, 100.0f}});
    Believe(46, 0, {{kFlag, 95.0f}, {kMine, 5.0f}});
    w->game.aiLevel = 2;
    bool done = true;
    std::thread worker([&] { done = ChooseMoveAdvanced(*w); });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto asked = std::chrono::steady_clock::now();
    abort = 1;
    worker.join();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count();
    EXPECT_FALSE(done);
    EXPECT_LT(ms, 1000.0);
}

TEST_F(ChoiceTest, NoMoveLeavesAnEmptyList) {
    for (int k = 0; k < kPiecesPerSeat; ++k)
        if (kArmy[k] != kFlag && kArmy[k] != kMine) Pieces()[k].alive = 0;
    Choose(2);
    EXPECT_EQ(w->aiMoveList.count, 0);
}

// Which plans a choice makes, seen through the lists the plans leave.
class PlanChoiceTest : public testing12::PositionTest {
protected:
    PlanChoiceTest() {
        Put(0, kBrigade, 46);  // (27,19), next to seat 1's headquarters
        Put(21, kFlag, 21);    // seat 0's flag on (19,12)
        Put(46, kFlag, 51);    // seat 1's slot 21 on (28,19)
        Put(48, kMine, 53);    // seat 1's slot 23 on (28,21)
    }
    void Choose(int level) {
        w->attackRelations.count = -99;
        w->flagThreatRelations.count = -99;
        w->game.aiLevel = level;
        w->game.curSeat = 0;
        ASSERT_TRUE(ChooseMoveAdvanced(*w));
    }
    bool Attacked() const { return w->attackRelations.count != -99; }
    bool Defended() const { return w->flagThreatRelations.count != -99; }
    // The piece every collected attack ends on.
    int AttackTarget() const {
        const AttackRelation& r = w->attackRelations[0];
        return r.moves[r.moveCount - 1].target;
    }
};

TEST_F(PlanChoiceTest, EnemyFlagNeedsABeliefAboveNinety) {
    Believe(46, 0, {{kFlag, 90.0f}, {kMine, 10.0f}});
    Believe(48, 0, {{kFlag, 10.0f}, {kMine, 90.0f}});
    Choose(1);
    EXPECT_FALSE(Attacked());
    // Slot 23 is tried when slot 21 does not qualify.
    Believe(48, 0, {{kFlag, 95.0f}, {kMine, 5.0f}});
    Choose(1);
    ASSERT_TRUE(Attacked());
    ASSERT_GE(w->attackRelations.count, 1);
    EXPECT_EQ(AttackTarget(), 48);
    // Slot 21 comes first.
    Believe(46, 0, {{kFlag, 90.5f}, {kMine, 9.5f}});
    Choose(1);
    ASSERT_GE(w->attackRelations.count, 1);
    EXPECT_EQ(AttackTarget(), 46);
}

TEST_F(PlanChoiceTest, DeadHeadquartersPieceIsNeverATarget) {
    Believe(46, 0, {{kFlag, 100.0f}});
    Pieces()[46].alive = 0;
    Choose(2);
    EXPECT_FALSE(Attacked());
}

TEST_F(PlanChoiceTest, OnlyTheTopLevelDefendsAndTrustsItsOwnRow) {
    Reveal(21);
    Choose(1);
    EXPECT_FALSE(Defended());
    Choose(2);
    EXPECT_TRUE(Defended());
    // The own row decides, not the piece's code, and a flag already taken
    // is still defended.
    Believe(21, 0, {{kFlag, 50.0f}, {kMine, 50.0f}});
    Choose(2);
    EXPECT_FALSE(Defended());
    Reveal(21);
    Pieces()[21].alive = 0;
    Choose(2);
    EXPECT_TRUE(Defended());
}

// ---------------------------------------------------------------------------
// Whole battles of the upper levels against each other.

TEST(UpperLevelBattleTest, BattleEndsWithAResultAndKeepsTheRules) {
    // Level 1 in seats 0 and 2, level 2 in seats 1 and 3.
    SelfPlayOptions o;
    const int levels[4] = {1, 2, 1, 2};
    for (int s = 0; s < kSeats; ++s) o.levels[s] = levels[s];
    o.seed = 6;
    const SelfPlayResult r = PlaySelfBattle(o);
    EXPECT_EQ(r.failure, "");
    EXPECT_GE(r.result, 0);
    EXPECT_LE(r.result, 2);
    EXPECT_GT(r.steps, 0);
    int upper = 0;
    for (const SelfPlayMove& m : r.moves) upper += m.level >= 1;
    EXPECT_EQ(upper, static_cast<int>(r.moves.size()));
}

}  // namespace
}  // namespace jq
