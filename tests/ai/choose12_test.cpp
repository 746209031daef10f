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

// Which flag plans a choice makes, seen through the lists the plans leave:
// seat 0's brigade next to seat 1's headquarters (pieces 46 and 48), seat
// 0's flag on slot 21 (piece 21), flag weights as seat 0 believes them.
struct PlanChoiceCase {
    const char* what;
    int level;
    float flag46, flag48, ownFlag;
    bool dead46, deadOwn;
    int attackTarget;  // -1: no attack planned
    bool defended;
};

class PlanChoiceTest : public aitest::PositionTest {};

TEST_F(PlanChoiceTest, WhichPlansAreMade) {
    const PlanChoiceCase cases[] = {
        {"90 is not above 90", 1, 90, 10, 0, false, false, -1, false},
        {"slot 23 when slot 21 does not qualify", 1, 90, 95, 0, false, false, 48, false},
        {"slot 21 first", 1, 90.5f, 95, 0, false, false, 46, false},
        {"a dead headquarters piece is no target", 2, 100, 10, 0, true, false, -1, false},
        {"only the top level defends", 1, 0, 0, 100, false, false, -1, false},
        {"the top level defends", 2, 0, 0, 100, false, false, -1, true},
        {"the own row decides", 2, 0, 0, 50, false, false, -1, false},
        {"a flag already taken is still defended", 2, 0, 0, 100, false, true, -1, true},
    };
    for (const PlanChoiceCase& c : cases) {
        Put(0, kBrigade, 46);
        Put(21, kFlag, 21);
        Put(46, kFlag, 51);
        Put(48, kMine, 53);
        Believe(46, 0, {{kFlag, c.flag46}, {kMine, 100 - c.flag46}});
        Believe(48, 0, {{kFlag, c.flag48}, {kMine, 100 - c.flag48}});
        Believe(21, 0, {{kFlag, c.ownFlag}, {kMine, 100 - c.ownFlag}});
        Pieces()[46].alive = !c.dead46;
        Pieces()[21].alive = !c.deadOwn;
        w->attackRelations.count = -99;
        w->flagThreatRelations.count = -99;
        w->game.aiLevel = c.level;
        ASSERT_TRUE(ChooseMoveAdvanced(*w)) << c.what;
        const AttackRelation& r = w->attackRelations[0];
        const bool attacked = w->attackRelations.count != -99;
        EXPECT_EQ(attacked ? r.moves[r.moveCount - 1].target : -1, c.attackTarget) << c.what;
        EXPECT_EQ(w->flagThreatRelations.count != -99, c.defended) << c.what;
    }
}

}  // namespace
}  // namespace jq
