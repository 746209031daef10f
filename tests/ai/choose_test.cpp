#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "ai/choose0.h"
#include "ai_support.h"

namespace jq {
namespace {

using aitest::Move;
using aitest::PutAt;

class PickTest : public ::testing::Test {
protected:
    void SetUp() override {
        w = aitest::MakeWorkspace();
        w->ownRandom.Seed(4321);
        PutAt(w->game.pieces, 31, kCommander, 36);
        PutAt(w->game.pieces, 32, kPlatoon, 37);
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

TEST_F(PickTest, CommanderRuleHoldsBelowFourTimesRPlusFour) {
    Scores({900, 100, 50, 40}, 31, 32);
    const int r = Draw(0) % 8;
    w->game.stepCount = 4 * r + 3;
    const int expected = 1 + Draw(1) % 3;
    EXPECT_EQ(Pick(), expected);
    // The same draw of r one step later: the best stands.
    w->ownRandom.Seed(4321);
    w->game.stepCount = 4 * r + 4;
    EXPECT_EQ(Pick(), 0);
    // A commander's plain move, or a capture by another piece, never.
    w->ownRandom.Seed(4321);
    w->game.stepCount = 0;
    Scores({900, 100, 50, 40}, 31, kNoPiece);
    EXPECT_EQ(Pick(), 0);
    Scores({900, 100, 50, 40}, 32, 31);
    EXPECT_EQ(Pick(), 0);
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
    PutAt(p, 21, kFlag, 21);
    EXPECT_TRUE(ChooseMoveBasic(*w));
    EXPECT_EQ(w->aiMoveList.count, 0);

    // A platoon in the corner beside its own flag has one step.
    PutAt(p, 20, kPlatoon, 20);
    EXPECT_TRUE(ChooseMoveBasic(*w));
    ASSERT_EQ(w->aiMoveList.count, 1);
    EXPECT_EQ(w->aiMoveList.list[0].mover, 20);
    EXPECT_EQ(w->aiMoveList.list[0].toX, 18);
    EXPECT_EQ(w->aiMoveList.list[0].toY, 13);
}

// Four seats on their start points with generated armies.
void DealArmies(PieceTable& p) {
    test::DeployArmy(p);
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

namespace jq {
namespace {

using aitest::Move;
using aitest::PutAt;
using aitest::SetRow;

class MarkTest : public ::testing::Test {
protected:
    void SetUp() override {
        w = aitest::MakeWorkspace();
        PieceTable& p = w->game.pieces;
        // Seat 0: three engineers on the railway, a platoon next to an
        // enemy; its flag on slot 23 although it believes slot 21 holds it.
        PutAt(p, 0, kEngineer, 0);   // (18,17)
        PutAt(p, 4, kEngineer, 4);   // (22,17)
        PutAt(p, 15, kEngineer, 15); // (18,13)
        PutAt(p, 6, kPlatoon, 6);    // (20,16)
        PutAt(p, 21, kMine, 21);
        PutAt(p, 23, kFlag, 23);
        SetRow(p[21].beliefs[0], {{1, 100.0f}});
        SetRow(p[23].beliefs[0], {{2, 100.0f}});
        PutAt(p, 30, kCompany, 2);   // seat 1's piece on (20,17)
        // Seat 1's headquarters: seat 0 believes slot 21 holds the flag.
        PutAt(p, 46, kFlag, 51);
        PutAt(p, 48, kMine, 53);
        SetRow(p[46].beliefs[0], {{1, 70.0f}, {2, 30.0f}});
        SetRow(p[48].beliefs[0], {{1, 30.0f}, {2, 70.0f}});
        // Seat 3's headquarters are both gone.
        count = GenerateMoves(w->aiMoveList, p, 0);
        list = w->aiMoveList.list;
    }
    const MoveCand* Find(int mover, int point) const {
        const BoardPoint& bp = Board().boardPoints[point];
        for (int i = 0; i < count; ++i)
            if (list[i].mover == mover && list[i].toX == bp.gridX && list[i].toY == bp.gridY) return &list[i];
        return nullptr;
    }
    float Mark(int mover, int point) const {
        const MoveCand* c = Find(mover, point);
        EXPECT_NE(c, nullptr) << mover << " to " << point;
        return c != nullptr ? c->terms[0] : -1.0f;
    }
    std::unique_ptr<AiWorkspace> w;
    MoveCand* list = nullptr;
    int count = 0;
};

TEST_F(MarkTest, FewCandidatesAreAllLookedAhead) {
    ASSERT_GE(count, 48);
    for (int i = 0; i < count; ++i) list[i].terms[0] = -5.0f;
    ASSERT_TRUE(MarkCandidates(*w, list, 47, 0));
    for (int i = 0; i < 47; ++i) EXPECT_EQ(list[i].terms[0], 10.0f) << i;
    ASSERT_TRUE(MarkCandidates(*w, list, count, 0));
    int marked = 0;
    for (int i = 0; i < count; ++i) marked += list[i].terms[0] == 10.0f;
    EXPECT_LT(marked, count);
}

TEST_F(MarkTest, AttackersAndApproachesWithManyCandidates) {
    ASSERT_GE(count, 48);
    ASSERT_TRUE(MarkCandidates(*w, list, count, 0));
    // The platoon can attack: its plain steps are looked at too.
    EXPECT_EQ(Mark(6, 2), 10.0f);
    EXPECT_EQ(Mark(6, 27), 10.0f);  // the camp (20,15)
    // An engineer that can attack: only its attack, unless a plain move
    // ends on a square around a believed flag.
    EXPECT_EQ(Mark(0, 2), 10.0f);
    EXPECT_EQ(Mark(0, 5), 0.0f);      // (18,16)
    EXPECT_EQ(Mark(0, 123), 0.0f);    // the centre is never an approach
    EXPECT_EQ(Mark(4, 46), 10.0f);    // square 16 of seat 1: around slot 21
    EXPECT_EQ(Mark(4, 48), 0.0f);     // square 18: around slot 23 only
    // Seat 3 has no headquarters piece left: nothing is marked there.
    EXPECT_EQ(Mark(0, 107), 0.0f);    // square 17, in both rows
    // In the own area the true flag counts, not the belief: slot 23.
    EXPECT_EQ(Mark(15, 16), 0.0f);    // square 16, around slot 21 only
    EXPECT_EQ(Mark(15, 18), 10.0f);   // square 18, around slot 23
    EXPECT_EQ(Mark(15, 17), 10.0f);   // square 17, in both rows
}

TEST_F(MarkTest, StopsWhenAsked) {
    std::atomic<int> stop{1};
    w->abortRequested = &stop;
    EXPECT_FALSE(MarkCandidates(*w, list, count, 0));
}

// Seat 0's division in the centre can march on seat 1's flag (east) or on
// seat 3's (west).
class BonusTest : public ::testing::Test {
protected:
    void SetUp() override {
        w = aitest::MakeWorkspace();
        PieceTable& p = w->game.pieces;
        PutAt(p, 10, kDivision, 124);  // (20,20)
        PutAt(p, 46, kFlag, 51);       // seat 1, (28,19)
        PutAt(p, 96, kFlag, 111);      // seat 3, (12,21)
        SetRow(p[46].beliefs[0], {{1, 100.0f}});
        SetRow(p[96].beliefs[0], {{1, 100.0f}});
    }
    // The flag whose attack got the bonus: +1 seat 1's (east), -1 seat 3's
    // (west), 0 none. Both attacks begin with the same step south.
    int BonusSide() {
        const int n = GenerateMoves(w->aiMoveList, w->game.pieces, 0);
        MoveCand* list = w->aiMoveList.list;
        for (int i = 0; i < n; ++i) list[i].score = 0.0f;
        AddFlagAttackBonus(*w, list, n, 0);
        int given = 0;
        for (int i = 0; i < n; ++i)
            if (list[i].score != 0.0f) {
                EXPECT_EQ(list[i].score, 1600.0f);
                EXPECT_EQ(GridPoint(list[i].toX, list[i].toY), GridPoint(20, 18));
                ++given;
            }
        if (w->aiMoveTemp.mover < 0) {
            EXPECT_EQ(given, 0);
            return 0;
        }
        EXPECT_EQ(given, 1);
        const MoveCand& last = w->aiPlanMoves[w->aiPlanLength - 1];
        return last.toX > 20 ? 1 : -1;
    }
    std::unique_ptr<AiWorkspace> w;
};

TEST_F(BonusTest, EqualEnemiesTheOneOnTheLeftFirst) {
    EXPECT_EQ(BonusSide(), -1);
}

TEST_F(BonusTest, TheWeakerEnemyFirst) {
    PutAt(w->game.pieces, 80, kPlatoon, 105);  // seat 3 grows stronger
    EXPECT_EQ(BonusSide(), 1);
}

TEST_F(BonusTest, FlagBeliefOfFiftyIsNoTarget) {
    SetRow(w->game.pieces[96].beliefs[0], {{1, 50.0f}, {2, 50.0f}});
    EXPECT_EQ(BonusSide(), 1);
    SetRow(w->game.pieces[46].beliefs[0], {{1, 50.0f}, {2, 50.0f}});
    EXPECT_EQ(BonusSide(), 0);
}

}  // namespace
}  // namespace jq
