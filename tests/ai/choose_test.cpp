#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ai/choose0.h"
#include "ai_support.h"

namespace jq {
namespace {

using aitest::Move;
using aitest::PlaceAt;

class PickTest : public ::testing::Test {
protected:
    void SetUp() override {
        w = aitest::MakeWorkspace();
        w->ownRandom.Seed(4321);
        PlaceAt(w->game.pieces, 31, kCommander, 36);
        PlaceAt(w->game.pieces, 32, kPlatoon, 37);
    }
    // Candidates already sorted, best first; the first moved by `mover`.
    void Scores(std::vector<float> scores, int mover = 32, int target = kNoPiece) {
        list.clear();
        for (float s : scores) list.push_back(Move(mover, target, 0, 0, 0, 0, 1, s));
    }
    int Pick() { return PickCandidate(*w, list.data(), static_cast<int>(list.size())); }
    // The draws the pick will make, from a copy of the generator.
    int Draw(int k) {
        GameRandom copy = w->ownRandom;
        int v = 0;
        for (int i = 0; i <= k; ++i) v = copy.Next();
        return v;
    }
    std::unique_ptr<AiWorkspace> w;
    std::vector<MoveCand> list;
};

TEST(PickThreshold, ByStepCount) {
    EXPECT_DOUBLE_EQ(PickThreshold(0), 0.6);
    EXPECT_DOUBLE_EQ(PickThreshold(1), 0.1);
    EXPECT_DOUBLE_EQ(PickThreshold(2), 0.2);
    EXPECT_DOUBLE_EQ(PickThreshold(3), 0.6);
    EXPECT_DOUBLE_EQ(PickThreshold(79), 0.6);
    EXPECT_DOUBLE_EQ(PickThreshold(80), 1.0);
    EXPECT_DOUBLE_EQ(PickThreshold(160), 1.4);
    EXPECT_DOUBLE_EQ(PickThreshold(480), 3.0);
    EXPECT_DOUBLE_EQ(PickThreshold(510), 3.0);
}

TEST(SortCandidates, EqualScoresAreNeverExchanged) {
    auto w = aitest::MakeWorkspace();
    std::vector<MoveCand> list = {Move(1, -2, 0, 0, 0, 0, 1, 5), Move(2, -2, 0, 0, 0, 0, 1, 5),
                                  Move(3, -2, 0, 0, 0, 0, 1, 7)};
    SortCandidatesByScore(*w, list.data(), 3);
    EXPECT_EQ(list[0].mover, 3);
    EXPECT_EQ(list[1].mover, 2);
    EXPECT_EQ(list[2].mover, 1);
}

TEST_F(PickTest, CommanderCaptureNeverPicksPastTheList) {
    // At step 0 the commander rule always applies; with two candidates the
    // only other place is 1.
    w->game.stepCount = 0;
    Scores({900, 100}, 31, 32);
    EXPECT_EQ(Pick(), 1);
    Scores({900, 100, 50}, 31, 32);
    const int expected = 1 + Draw(1) % 2;
    EXPECT_EQ(Pick(), expected);
    Scores({900, 100, 50, 40, 30}, 31, 32);
    const int expected3 = 1 + Draw(1) % 3;
    EXPECT_EQ(Pick(), expected3);
}

TEST_F(PickTest, CommanderRuleEndsAtStepThirtyTwo) {
    w->game.stepCount = 32;
    Scores({900, 100, 50, 40}, 31, 32);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Pick(), 0);
}

TEST_F(PickTest, CloseScoresShareTheChoice) {
    w->game.stepCount = 3;  // threshold 0.6
    Scores({1000, 700, 601, 10});
    const int topThree = Draw(1) % 3;
    EXPECT_EQ(Pick(), topThree);
    // 600 / 1000 is not above 0.6: the top two share it.
    Scores({1000, 700, 600, 10});
    const int topTwo = Draw(1) % 2;
    EXPECT_EQ(Pick(), topTwo);
    // Nothing close and the best above 500: the best.
    Scores({1000, 600, 10});
    EXPECT_EQ(Pick(), 0);
}

TEST_F(PickTest, ModestBestPicksAmongTheNonNegative) {
    w->game.stepCount = 100;  // threshold 1.4: nothing is close
    Scores({500, 20, 0, -1, 30});
    const int expected = Draw(1) % 3;  // counting stops at the first negative
    EXPECT_EQ(Pick(), expected);
    Scores({500.01f, 20, 0});
    EXPECT_EQ(Pick(), 0);
    // All negative: the best, with no further draw.
    Scores({-1, -2, -3});
    GameRandom afterR = w->ownRandom;
    afterR.Next();
    EXPECT_EQ(Pick(), 0);
    EXPECT_EQ(w->ownRandom.State(), afterR.State());
}

TEST_F(PickTest, DrawsOneValueForRWhateverTheRule) {
    w->game.stepCount = 100;
    Scores({1000, 10});
    GameRandom expected = w->ownRandom;
    expected.Next();
    EXPECT_EQ(Pick(), 0);
    EXPECT_EQ(w->ownRandom.State(), expected.State());
}

class ChooseTest : public ::testing::Test {
protected:
    void SetUp() override { w = aitest::MakeWorkspace(); }
    std::unique_ptr<AiWorkspace> w;
};

TEST_F(ChooseTest, NoOrOneCandidate) {
    PieceTable& p = w->game.pieces;
    w->game.curSeat = 0;
    PlaceAt(p, 21, kFlag, 21);
    EXPECT_TRUE(ChooseMoveBasic(*w));
    EXPECT_EQ(w->aiMoveList.count, 0);

    // A platoon in the corner beside its own flag has one step.
    PlaceAt(p, 20, kPlatoon, 20);
    EXPECT_TRUE(ChooseMoveBasic(*w));
    ASSERT_EQ(w->aiMoveList.count, 1);
    EXPECT_EQ(w->aiMoveList.list[0].mover, 20);
    EXPECT_EQ(w->aiMoveList.list[0].toX, 18);
    EXPECT_EQ(w->aiMoveList.list[0].toY, 13);
}

// Four seats on their start points with generated armies.
void DealArmies(PieceTable& p) {
    constexpr int kCodes[25] = {8, 9, 10, 11, 12, 6, 7, 12, 10, 11, 9, 12, 7, 11, 10, 4, 2, 5, 2, 3, 8, 1, 2, 6, 3};
    for (int i = 0; i < kPieceCount; ++i) PlaceAt(p, i, kCodes[i % 25], (i / 25) * 30 + i % 25);
}

TEST_F(ChooseTest, ChoiceIsALegalMoveAndRepeatsWithTheSeed) {
    DealArmies(w->game.pieces);
    w->game.curSeat = 1;
    w->ownRandom.Seed(77);
    ASSERT_TRUE(ChooseMoveBasic(*w));
    ASSERT_GT(w->aiMoveList.count, 1);
    const MoveCand first = w->aiMoveList.list[0];
    EXPECT_EQ(first.mover / 25, 1);
    auto again = aitest::MakeWorkspace();
    DealArmies(again->game.pieces);
    again->game.curSeat = 1;
    again->ownRandom.Seed(77);
    ASSERT_TRUE(ChooseMoveBasic(*again));
    EXPECT_EQ(again->aiMoveList.count, w->aiMoveList.count);
    EXPECT_EQ(again->aiMoveList.list[0].mover, first.mover);
    EXPECT_EQ(again->aiMoveList.list[0].toX, first.toX);
    EXPECT_EQ(again->aiMoveList.list[0].toY, first.toY);
    EXPECT_EQ(again->aiMoveList.list[0].score, first.score);
}

TEST_F(ChooseTest, StopsWhenAsked) {
    DealArmies(w->game.pieces);
    std::atomic<int> stop{1};
    w->abortRequested = &stop;
    EXPECT_FALSE(ChooseMoveBasic(*w));
    stop = 0;
    EXPECT_TRUE(ChooseMove(*w));
}

TEST_F(ChooseTest, EveryLevelChoosesAMove) {
    for (int level : {0, 1, 2}) {
        auto ws = aitest::MakeWorkspace();
        DealArmies(ws->game.pieces);
        ws->game.aiLevel = level;
        ws->game.curSeat = 2;
        ASSERT_TRUE(ChooseMove(*ws));
        EXPECT_EQ(ws->aiMoveList.list[0].mover / 25, 2) << level;
    }
}

}  // namespace
}  // namespace jq
