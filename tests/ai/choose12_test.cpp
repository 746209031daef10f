#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "ai/choose0.h"
#include "ai/choose12.h"
#include "ai/flagdefence.h"
#include "position.h"

namespace jq {
namespace {

// How the flag plans bend the scores. Candidates and plan moves go from
// (18,13) to (toX,13); a plan slot with a status of 0 or more stands.
struct Cand {
    int toX = 0;
    float score = 0;
    int target = kNoPiece;
};
struct PlanCase {
    const char* what;
    int32_t status[4];
    Cand plans[4];
    Cand list[3];
    float expected[3];
};

TEST(FlagPlanScores, Cases) {
    constexpr double kStake = 200000.0;
    constexpr float kPlusStake = static_cast<float>(10.0 + kStake);
    constexpr float kPlusTwoStakes = static_cast<float>(10.0 + 2 * kStake);
    const PlanCase cases[] = {
        {"no plan stands: nothing is cut", {-1, -7, -7, -7}, {},
         {{19, 12300}, {20, 12299}, {21, 50000}}, {12300, 12299, 50000}},
        {"a plan stands: 12300 and above cut", {-7, -7, -7, 0}, {{}, {}, {}, {22, 10}},
         {{19, 12300}, {20, 12299}, {21, 50000}}, {0, 12299, 0}},
        {"lifts the first match only, never lowers", {-7, 0, 0, -7}, {{}, {19, 700}, {20, 300}},
         {{19, 5}, {19, 5}, {20, 900}}, {700, 5, 900}},
        {"uncountered near threats favour every capture", {-7, -7, kDefenceNoCounterNear, kDefenceWeakCounterNear}, {},
         {{19, 10, 40}, {20, 10}}, {kPlusTwoStakes, 10}},
        {"too late near is uncountered too", {-7, -7, kDefenceTooLateNear, kDefenceNoCounter}, {},
         {{19, 10, 40}}, {kPlusStake}},
        {"stopped or farther defences change nothing", {-7, -7, kDefenceStopped, kDefenceNoCounter}, {},
         {{19, 10, 40}}, {10}},
    };
    for (const PlanCase& c : cases) {
        FlagPlans plans;
        MoveCand list[3];
        int n = 0;
        for (int s = 0; s < 4; ++s) {
            plans.status[s] = c.status[s];
            plans.move[s] = aitest::Move(3, kNoPiece, 18, 13, c.plans[s].toX, 13, 1, c.plans[s].score);
        }
        for (const Cand& k : c.list)
            if (k.toX != 0) list[n++] = aitest::Move(3, k.target, 18, 13, k.toX, 13, 1, k.score);
        ApplyFlagPlans(plans, list, n, kStake);
        for (int i = 0; i < n; ++i) EXPECT_EQ(list[i].score, c.expected[i]) << c.what << ", candidate " << i;
    }
}

// Whole choices on a fixed position: four armies, some contact in the
// centre.
constexpr int kArmy[25] = {10, 6, 12, 9, 11, 8, 5, 7, 12, 3, 10, 11, 6, 4, 8, 9, 2, 3, 2, 12, 10, 1, 2, 7, 11};

class ChoiceTest : public aitest::PositionTest {
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
        MovePiece(26, 127);  // seat 1 slot 1 to (20,18)
        MovePiece(77, 124);  // seat 3 slot 2 to (20,20)
        Pieces()[0].alive = 0;
    }
    void MovePiece(int piece, int point) {
        Pieces()[piece].x = test::PointAt(point).x;
        Pieces()[piece].y = test::PointAt(point).y;
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
    const MoveCand m = Choose(0);
    EXPECT_EQ(std::tie(m.mover, m.toX, m.toY), std::make_tuple(1, 18, 17));
    EXPECT_NEAR(m.score, 877.217f, 0.01f);
}

TEST_F(ChoiceTest, MiddleLevelGolden) {
    // No flag located; the best (988.13) is no clear best, so the pick is
    // among every candidate scoring 0 or more.
    const MoveCand m = Choose(1);
    EXPECT_EQ(w->aiChosenIndex, 22);
    EXPECT_EQ(w->aiMoveList.list[22].mover, 1);
    EXPECT_NEAR(w->aiMoveList.list[22].score, 988.13f, 0.01f);
    EXPECT_EQ(std::tie(m.mover, m.toX, m.toY), std::make_tuple(15, 19, 14));
    EXPECT_NEAR(m.score, 25.0f, 0.01f);
}

TEST_F(ChoiceTest, TopLevelGolden) {
    // The own flag and seat 1's are located: the attack plan lifts its
    // first move (the platoon of (22,15) to the camp (21,14)) past 1000.
    Believe(21, 0, {{kFlag, 100.0f}});
    Believe(46, 0, {{kFlag, 95.0f}, {kMine, 5.0f}});
    const MoveCand m = Choose(2);
    EXPECT_EQ(w->aiChosenIndex, 0);
    EXPECT_EQ(std::tie(m.mover, m.toX, m.toY), std::make_tuple(11, 21, 14));
    EXPECT_NEAR(m.score, 8399.24f, 0.01f);
}

TEST_F(ChoiceTest, StopEndsTheSearch) {
    Believe(21, 0, {{kFlag, 100.0f}});
    Believe(46, 0, {{kFlag, 95.0f}, {kMine, 5.0f}});
    w->game.aiLevel = 2;
    bool done = true;
    std::thread worker([&] { done = ChooseMoveAdvanced(*w); });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    abort = 1;
    worker.join();
    EXPECT_FALSE(done);
}

TEST_F(ChoiceTest, NoMoveLeavesAnEmptyList) {
    for (int k = 0; k < kPiecesPerSeat; ++k)
        if (kArmy[k] != kFlag && kArmy[k] != kMine) Pieces()[k].alive = 0;
    Choose(2);
    EXPECT_EQ(w->aiMoveList.count, 0);
}

// Which plans a choice makes, seen through the lists the plans leave.
class PlanChoiceTest : public aitest::PositionTest {
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

}  // namespace
}  // namespace jq
