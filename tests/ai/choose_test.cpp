#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "ai/choose0.h"
#include "ai/choose12.h"
#include "position.h"

namespace jq {
namespace {

using aitest::Move;
using test::PutAt;
using test::SetRow;

// The random pick among the sorted candidates, at the basic level (0) and
// the upper levels (1). Expected: the best, one of the first k, or one of
// the k after the best, as the generator's second draw decides.
enum Pick { kBest, kAmong, kAfterBest };
constexpr int kCmd = 31;     // a commander
constexpr int kOther = 32;   // a platoon
constexpr int kFromR = 1000; // step 4r + (step - kFromR), r the first draw % 8

struct PickCase {
    const char* what;
    int level, step, mover, target;
    std::vector<float> scores;
    Pick pick;
    int k;
};

TEST(PickCandidate, Rules) {
    const PickCase cases[] = {
        {"commander capture, one other", 0, 0, kCmd, kOther, {900, 100}, kAfterBest, 1},
        {"commander capture, two others", 0, 0, kCmd, kOther, {900, 100, 50}, kAfterBest, 2},
        {"commander capture, many", 0, 0, kCmd, kOther, {900, 100, 50, 40, 30}, kAfterBest, 3},
        {"commander capture below 4r + 4", 0, kFromR + 3, kCmd, kOther, {900, 100, 50, 40}, kAfterBest, 3},
        {"commander capture at 4r + 4", 0, kFromR + 4, kCmd, kOther, {900, 100, 50, 40}, kBest, 0},
        {"commander's plain move", 0, 0, kCmd, kNoPiece, {900, 100, 50, 40}, kBest, 0},
        {"capture by another piece", 0, 0, kOther, kCmd, {900, 100, 50, 40}, kBest, 0},
        {"commander rule over at 32", 0, 32, kCmd, kOther, {900, 100, 50, 40}, kBest, 0},
        {"third above 0.6 of the best", 0, 3, kOther, kNoPiece, {1000, 700, 601, 10}, kAmong, 3},
        {"third at 0.6: top two", 0, 3, kOther, kNoPiece, {1000, 700, 600, 10}, kAmong, 2},
        {"nothing close, best above 500", 0, 3, kOther, kNoPiece, {1000, 600, 10}, kBest, 0},
        {"modest best: the non-negative", 0, 100, kOther, kNoPiece, {500, 20, 0, -1, 30}, kAmong, 3},
        {"best just above 500", 0, 100, kOther, kNoPiece, {500.01f, 20, 0}, kBest, 0},
        {"all negative", 0, 100, kOther, kNoPiece, {-1, -2, -3}, kBest, 0},
        {"clear best", 0, 100, kOther, kNoPiece, {1000, 10}, kBest, 0},

        {"close top three", 1, 10, kOther, kNoPiece, {100, 90, 70, 1}, kAmong, 3},
        {"close top two", 1, 10, kOther, kNoPiece, {100, 90, 1}, kAmong, 2},
        {"top two needs three candidates", 1, 10, kOther, kNoPiece, {1500, 1400}, kBest, 0},
        {"clear best above 1000", 1, 100, kOther, kNoPiece, {1000.5f, 1000, 3}, kBest, 0},
        {"1000 is no clear best", 1, 100, kOther, kNoPiece, {1000, 999, 3, -1}, kAmong, 3},
        {"all negative", 1, 100, kOther, kNoPiece, {-1, -2, -3}, kBest, 0},
        {"commander alone", 1, 0, kCmd, kNoPiece, {5}, kBest, 0},
        {"commander, one other", 1, 0, kCmd, kNoPiece, {5, 4}, kAfterBest, 1},
        {"commander, many", 1, 0, kCmd, kNoPiece, {5, 4, 3, 2, 1}, kAfterBest, 3},
        {"commander below 4r + 4", 1, kFromR + 3, kCmd, kNoPiece, {5, 4, 3, 2}, kAfterBest, 3},
        {"commander at 4r + 4", 1, kFromR + 4, kCmd, kNoPiece, {5000, 4, 3, 2}, kBest, 0},
        {"commander rule over at 32", 1, 32, kCmd, kNoPiece, {5000, 4}, kBest, 0},
    };
    for (const PickCase& c : cases) {
        auto w = aitest::MakeWorkspace();
        PutAt(w->game.pieces, kCmd, kCommander, 36);
        PutAt(w->game.pieces, kOther, kPlatoon, 37);
        w->ownRandom.Seed(11);
        GameRandom copy = w->ownRandom;
        const int r = copy.Next() % 8;
        const GameRandom afterR = copy;
        const int v = copy.Next();
        ASSERT_TRUE(v % 2 != 0 && v % 3 != 0) << "a draw that tells the rules from playing the best";
        w->game.stepCount = c.step >= kFromR ? 4 * r + c.step - kFromR : c.step;
        std::vector<MoveCand> list;
        for (float s : c.scores) list.push_back(Move(c.mover, c.target, 0, 0, 0, 0, 1, s));
        const int n = static_cast<int>(list.size());
        const int got = c.level == 0 ? PickCandidate(*w, list.data(), n) : PickAdvancedCandidate(*w, list.data(), n);
        const int expected = c.pick == kBest ? 0 : c.pick == kAmong ? v % c.k : 1 + v % c.k;
        EXPECT_EQ(got, expected) << "level " << c.level << ": " << c.what;
        if (c.pick == kBest) EXPECT_EQ(w->ownRandom.State(), afterR.State()) << "one draw: " << c.what;
    }
}

TEST(PickCandidate, ThresholdSteps) {
    EXPECT_DOUBLE_EQ(PickThreshold(1), 0.1);
    EXPECT_DOUBLE_EQ(PickThreshold(2), 0.2);
    EXPECT_DOUBLE_EQ(PickThreshold(79), 0.6);
    EXPECT_DOUBLE_EQ(PickThreshold(80), 1.0);
    EXPECT_FLOAT_EQ(AdvancedPickThreshold(19), 0.6f);
    EXPECT_FLOAT_EQ(AdvancedPickThreshold(20), 1.0f);
}

TEST(SortCandidates, EqualScoresAreNeverExchanged) {
    auto w = aitest::MakeWorkspace();
    std::vector<MoveCand> list = {Move(1, kNoPiece, 0, 0, 0, 0, 1, 5), Move(2, kNoPiece, 0, 0, 0, 0, 1, 5),
                                  Move(3, kNoPiece, 0, 0, 0, 0, 1, 7)};
    SortCandidatesByScore(*w, list.data(), 3);
    EXPECT_EQ(list[0].mover, 3);
    EXPECT_EQ(list[1].mover, 2);
    EXPECT_EQ(list[2].mover, 1);
}

TEST(ChooseBasic, NoOrOneCandidateAndStop) {
    auto w = aitest::MakeWorkspace();
    PutAt(w->game.pieces, 21, kFlag, 21);
    EXPECT_TRUE(ChooseMoveBasic(*w));
    EXPECT_EQ(w->aiMoveList.count, 0);
    PutAt(w->game.pieces, 20, kPlatoon, 20);  // one step, beside its flag
    EXPECT_TRUE(ChooseMoveBasic(*w));
    ASSERT_EQ(w->aiMoveList.count, 1);
    EXPECT_EQ(GridPoint(w->aiMoveList.list[0].toX, w->aiMoveList.list[0].toY), GridPoint(18, 13));

    test::DeployArmy(w->game.pieces);
    std::atomic<int> stop{1};
    w->abortRequested = &stop;
    EXPECT_FALSE(ChooseMoveBasic(*w));
}

// Seat 0 with engineers on the railway and a platoon next to an enemy; its
// flag on slot 23 although it believes slot 21 holds it. Seat 1's flag
// believed on slot 21; seat 3's headquarters both gone.
class MarkTest : public ::testing::Test {
protected:
    void SetUp() override {
        PieceTable& p = w->game.pieces;
        PutAt(p, 0, kEngineer, 0);    // (18,17)
        PutAt(p, 4, kEngineer, 4);    // (22,17)
        PutAt(p, 15, kEngineer, 15);  // (18,13)
        PutAt(p, 6, kPlatoon, 6);     // (20,16)
        PutAt(p, 21, kMine, 21);
        PutAt(p, 23, kFlag, 23);
        SetRow(p[21].beliefs[0], {{kFlag, 100.0f}});
        SetRow(p[23].beliefs[0], {{kMine, 100.0f}});
        PutAt(p, 30, kCompany, 2);    // (20,17)
        PutAt(p, 46, kFlag, 51);
        PutAt(p, 48, kMine, 53);
        SetRow(p[46].beliefs[0], {{kFlag, 70.0f}, {kMine, 30.0f}});
        SetRow(p[48].beliefs[0], {{kFlag, 30.0f}, {kMine, 70.0f}});
        count = GenerateMoves(w->aiMoveList, p, 0);
        list = w->aiMoveList.list;
    }
    float Mark(int mover, int point) const {
        const GridPoint g = test::PointAt(point);
        for (int i = 0; i < count; ++i)
            if (list[i].mover == mover && list[i].toX == g.x && list[i].toY == g.y) return list[i].terms[0];
        ADD_FAILURE() << mover << " to " << point << " not listed";
        return -1.0f;
    }
    std::unique_ptr<AiWorkspace> w = aitest::MakeWorkspace();
    MoveCand* list = nullptr;
    int count = 0;
};

TEST_F(MarkTest, FewerThanFortyEightCandidatesAreAllLookedAhead) {
    ASSERT_GE(count, 48);
    ASSERT_TRUE(MarkCandidates(*w, list, 47, 0));
    for (int i = 0; i < 47; ++i) EXPECT_EQ(list[i].terms[0], 10.0f) << i;
    ASSERT_TRUE(MarkCandidates(*w, list, 48, 0));
    int marked = 0;
    for (int i = 0; i < 48; ++i) marked += list[i].terms[0] == 10.0f;
    EXPECT_LT(marked, 48);
    std::atomic<int> stop{1};
    w->abortRequested = &stop;
    EXPECT_FALSE(MarkCandidates(*w, list, count, 0));
}

TEST_F(MarkTest, AttackersAndApproachesWithManyCandidates) {
    ASSERT_TRUE(MarkCandidates(*w, list, count, 0));
    const struct {
        int mover, point;
        float mark;
    } cases[] = {
        {6, 2, 10},    // a piece that can attack: its attack
        {6, 27, 10},   // ... and its plain steps
        {0, 2, 10},    // an engineer's attack
        {0, 5, 0},     // but not its plain steps
        {0, 123, 0},   // the centre is never an approach
        {4, 46, 10},   // square 16 of seat 1: round the believed slot 21
        {4, 48, 0},    // square 18: round slot 23 only
        {0, 107, 0},   // seat 3 has no headquarters piece left
        {15, 16, 0},   // own area: the true flag on slot 23 counts
        {15, 18, 10},
        {15, 17, 10},
    };
    for (const auto& c : cases) EXPECT_EQ(Mark(c.mover, c.point), c.mark) << c.mover << " to " << c.point;
}

// Seat 0's division in the centre can march on seat 1's flag (east) or
// seat 3's (west); the bonus goes to the first step of one plan.
class BonusTest : public ::testing::Test {
protected:
    void SetUp() override {
        PieceTable& p = w->game.pieces;
        PutAt(p, 10, kDivision, 124);
        PutAt(p, 46, kFlag, 51);   // seat 1
        PutAt(p, 96, kFlag, 111);  // seat 3
        SetRow(p[46].beliefs[0], {{kFlag, 100.0f}});
        SetRow(p[96].beliefs[0], {{kFlag, 100.0f}});
    }
    // +1 seat 1's flag, -1 seat 3's, 0 none.
    int BonusSide() {
        const int n = GenerateMoves(w->aiMoveList, w->game.pieces, 0);
        MoveCand* list = w->aiMoveList.list;
        for (int i = 0; i < n; ++i) list[i].score = 0.0f;
        AddFlagAttackBonus(*w, list, n, 0);
        int given = 0;
        for (int i = 0; i < n; ++i)
            if (list[i].score != 0.0f) {
                EXPECT_EQ(list[i].score, 1600.0f);
                ++given;
            }
        EXPECT_EQ(given, w->aiMoveTemp.mover < 0 ? 0 : 1);
        if (w->aiMoveTemp.mover < 0) return 0;
        return w->aiPlanMoves[w->aiPlanLength - 1].toX > 20 ? 1 : -1;
    }
    std::unique_ptr<AiWorkspace> w = aitest::MakeWorkspace();
};

TEST_F(BonusTest, TheWeakerEnemyFirstTheLeftOneOnEqualTerms) {
    EXPECT_EQ(BonusSide(), -1);
    PutAt(w->game.pieces, 80, kPlatoon, 105);  // seat 3 grows stronger
    EXPECT_EQ(BonusSide(), 1);
}

TEST_F(BonusTest, FlagBeliefOfFiftyIsNoTarget) {
    SetRow(w->game.pieces[96].beliefs[0], {{kFlag, 50.0f}, {kMine, 50.0f}});
    EXPECT_EQ(BonusSide(), 1);
    SetRow(w->game.pieces[46].beliefs[0], {{kFlag, 50.0f}, {kMine, 50.0f}});
    EXPECT_EQ(BonusSide(), 0);
}

}  // namespace
}  // namespace jq
