#include "position.h"

namespace jq::aitest {
namespace {

// The random pick among the sorted candidates, at the basic level (0) and the upper levels (1). Expected: the
// best, one of the first k, or one of the k after the best, as the generator's second draw decides.
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
        {"commander capture, many", 0, 0, kCmd, kOther, {900, 100, 50, 40, 30}, kAfterBest, 3},
        {"commander capture below 4r + 4", 0, kFromR + 3, kCmd, kOther, {900, 100, 50, 40}, kAfterBest, 3},
        {"commander capture at 4r + 4", 0, kFromR + 4, kCmd, kOther, {900, 100, 50, 40}, kBest, 0},
        {"commander capture of piece 0", 0, 0, kCmd, 0, {900, 100, 50, 40}, kAfterBest, 3},
        {"commander's plain move", 0, 0, kCmd, kNoPiece, {900, 100, 50, 40}, kBest, 0},
        {"capture by another piece", 0, 0, kOther, kCmd, {900, 100, 50, 40}, kBest, 0},
        {"third above 0.6 of the best", 0, 3, kOther, kNoPiece, {1000, 700, 601, 10}, kAmong, 3},
        {"third at 0.6: top two", 0, 3, kOther, kNoPiece, {1000, 700, 600, 10}, kAmong, 2},
        {"nothing close, best above 500", 0, 3, kOther, kNoPiece, {1000, 600, 10}, kBest, 0},
        {"modest best: the non-negative", 0, 100, kOther, kNoPiece, {500, 20, 0, -1, 30}, kAmong, 3},
        {"best just above 500", 0, 100, kOther, kNoPiece, {500.01f, 20, 0}, kBest, 0},
        {"all negative", 0, 100, kOther, kNoPiece, {-1, -2, -3}, kBest, 0},

        {"close top three", 1, 10, kOther, kNoPiece, {100, 90, 70, 1}, kAmong, 3},
        {"close top two", 1, 10, kOther, kNoPiece, {100, 90, 1}, kAmong, 2},
        {"top two needs three candidates", 1, 10, kOther, kNoPiece, {1500, 1400}, kBest, 0},
        {"clear best above 1000", 1, 100, kOther, kNoPiece, {1000.5f, 1000, 3}, kBest, 0},
        {"1000 is no clear best", 1, 100, kOther, kNoPiece, {1000, 999, 3, -1}, kAmong, 3},
        {"commander, many", 1, 0, kCmd, kNoPiece, {5, 4, 3, 2, 1}, kAfterBest, 3},
        {"commander below 4r + 4", 1, kFromR + 3, kCmd, kNoPiece, {5, 4, 3, 2}, kAfterBest, 3},
        {"commander at 4r + 4", 1, kFromR + 4, kCmd, kNoPiece, {5000, 4, 3, 2}, kBest, 0},
        {"commander rule over at 32", 1, 32, kCmd, kNoPiece, {5000, 4}, kBest, 0},
    };
    for (const PickCase& c : cases) {
        auto w = MakeWorkspace();
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
        EXPECT_EQ(got, c.pick == kBest ? 0 : c.pick == kAmong ? v % c.k : 1 + v % c.k) << c.level << ": " << c.what;
        if (c.pick == kBest) { EXPECT_EQ(w->ownRandom.State(), afterR.State()) << "one draw: " << c.what; }
    }
    EXPECT_EQ(std::vector<double>({PickThreshold(1), PickThreshold(2), PickThreshold(79), PickThreshold(80)}),
              std::vector<double>({0.1, 0.2, 0.6, 1.0}));
    EXPECT_EQ(AdvancedPickThreshold(19), 0.6f);
    EXPECT_EQ(AdvancedPickThreshold(20), 1.0f);
}

// Seat 0 with engineers on the railway and a platoon next to an enemy; its flag on slot 23 although it
// believes slot 21 holds it. Seat 1's flag believed on slot 21; seat 3's headquarters both gone.
TEST(MarkCandidates, AttackersApproachesAndAllBelowFortyEight) {
    auto w = MakeWorkspace();
    const Pc pieces[] = {{0, kEngineer, 0}, {4, kEngineer, 4}, {15, kEngineer, 15}, {6, kPlatoon, 6}, {21, kMine, 21},
                         {23, kFlag, 23},   {30, kCompany, 2}, {46, kFlag, 51},     {48, kMine, 53}};
    const Bel beliefs[] = {{21, 0, kFlag, 100}, {23, 0, kMine, 100}, {46, 0, kFlag, 70, kMine, 30},
                           {48, 0, kFlag, 30, kMine, 70}};
    Apply(w->game.pieces, pieces, beliefs);
    const int count = GenerateMoves(w->aiMoveList, w->game.pieces, 0);
    MoveCand* list = w->aiMoveList.list;
    ASSERT_TRUE(MarkCandidates(*w, list, count, 0));
    auto mark = [&](int mover, int point) {
        for (const MoveCand& m : std::span(list, count))
            if (m.mover == mover && GridPoint(m.toX, m.toY) == PointAt(point)) return m.terms[0];
        return -1.0f;
    };
    EXPECT_EQ(mark(6, 27), 10);   // a piece that can attack: its plain steps too
    EXPECT_EQ(mark(0, 2), 10);    // an engineer's attack
    EXPECT_EQ(mark(0, 5), 0);     // but not its plain steps
    EXPECT_EQ(mark(4, 46), 10);   // square 16 of seat 1: round the believed slot 21
    EXPECT_EQ(mark(4, 48), 0);    // square 18: round slot 23 only
    EXPECT_EQ(mark(15, 16), 0);   // own area: the true flag on slot 23 counts
    EXPECT_EQ(mark(15, 18), 10);
    auto isMarked = [](const MoveCand& m) { return m.terms[0] == 10.0f; };
    ASSERT_GE(count, 48);
    ASSERT_TRUE(MarkCandidates(*w, list, 47, 0));
    EXPECT_EQ(std::count_if(list, list + 47, isMarked), 47);
    ASSERT_TRUE(MarkCandidates(*w, list, 48, 0));
    EXPECT_LT(std::count_if(list, list + 48, isMarked), 48);
    std::atomic<int> stop{1};
    w->abortRequested = &stop;
    EXPECT_FALSE(MarkCandidates(*w, list, count, 0));
}

// Seat 3 to move, with more than 48 candidates: a platoon that can take piece 0 (seat 0's slot 0), engineers
// running along the railways into the centre and onto seat 0's back row, where only the headquarters piece of
// slot 23 is left (seat 3 believes it the flag).
TEST(MarkCandidates, CaptureOfPieceZeroCentreAndOneHeadquartersLeft) {
    auto w = MakeWorkspace();
    const Pc pieces[] = {{0, kCompany, 0}, {23, kFlag, 23}, {80, kPlatoon, 5}, {76, kEngineer, 19}, {77, kEngineer, 124},
                         {78, kEngineer, 109}};
    Apply(w->game.pieces, pieces, {{23, 3, kFlag, 100}});
    const int count = GenerateMoves(w->aiMoveList, w->game.pieces, 3);
    ASSERT_GE(count, 48);
    MoveCand* list = w->aiMoveList.list;
    ASSERT_TRUE(MarkCandidates(*w, list, count, 3));
    auto mark = [&](int mover, int point) {
        for (const MoveCand& m : std::span(list, count))
            if (m.mover == mover && GridPoint(m.toX, m.toY) == PointAt(point)) return m.terms[0];
        return -1.0f;
    };
    EXPECT_EQ(mark(80, 0), 10);   // the capture of piece 0 ...
    EXPECT_EQ(mark(80, 12), 10);  // ... marks the platoon's plain steps too
    EXPECT_EQ(mark(76, 18), 10);  // square 18: round the believed flag on slot 23, alone on its row
    EXPECT_EQ(mark(76, 16), 0);   // square 16: round slot 21, gone
    for (int centre : {125, 128}) EXPECT_EQ(mark(76, centre), 0) << centre;  // no headquarters in the centre

    // Nor is a reply into the centre looked at after it is made: it keeps the balance of the board before.
    auto board = std::make_unique<PieceTable>(w->game.pieces);
    const float before = EvaluateThreatBalance(*w, 3, 3, *board);
    SeatReplyValue(*w, 3, 3, *board);
    const MoveGenWork& replies = w->replyMoveList;
    int intoCentre = 0;
    for (const MoveCand& m : std::span(replies.list, replies.count)) {
        const int p = PointIndexAt(Board(), m.toX, m.toY);
        if (p < 120 || m.target >= 0) continue;
        ++intoCentre;
        EXPECT_EQ(m.terms[0], before) << p;
    }
    EXPECT_GT(intoCentre, 0);
}

// Seat 0's division in the centre can march on seat 1's flag (east) or seat 3's (west); the bonus goes to the
// first step of one plan. +1: seat 1's flag, -1 seat 3's, 0 none.
int BonusSide(AiWorkspace& w) {
    const int n = GenerateMoves(w.aiMoveList, w.game.pieces, 0);
    MoveCand* list = w.aiMoveList.list;
    for (int i = 0; i < n; ++i) list[i].score = 0.0f;
    AddFlagAttackBonus(w, list, n, 0);
    const auto given = std::count_if(list, list + n, [](const MoveCand& m) { return m.score == 1600.0f; });
    EXPECT_EQ(given, w.aiMoveTemp.mover < 0 ? 0 : 1);
    return w.aiMoveTemp.mover < 0 ? 0 : w.aiPlanMoves[w.aiPlanLength - 1].toX > 20 ? 1 : -1;
}

TEST(FlagAttackBonus, TheWeakerEnemyFirstTheLeftOneOnEqualTermsNoTargetAtFifty) {
    auto w = MakeWorkspace();
    PieceTable& p = w->game.pieces;
    const Pc pieces[] = {{10, kDivision, 124}, {46, kFlag, 51}, {96, kFlag, 111}};
    Apply(p, pieces, {{46, 0, kFlag, 100}, {96, 0, kFlag, 100}});
    EXPECT_EQ(BonusSide(*w), -1);
    PutAt(p, 80, kPlatoon, 105);  // seat 3 grows stronger
    EXPECT_EQ(BonusSide(*w), 1);
    p[80].alive = 0;
    SetRow(p[96].beliefs[0], {{kFlag, 50.0f}, {kMine, 50.0f}});
    EXPECT_EQ(BonusSide(*w), 1);
    SetRow(p[46].beliefs[0], {{kFlag, 50.0f}, {kMine, 50.0f}});
    EXPECT_EQ(BonusSide(*w), 0);
}

// How the flag plans bend the scores. Candidates and plan moves go from (18,13) to (toX,13); a plan slot with
// a status of 0 or more stands.
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
            plans.move[s] = Move(3, kNoPiece, 18, 13, c.plans[s].toX, 13, 1, c.plans[s].score);
        }
        for (const Cand& k : c.list)
            if (k.toX != 0) list[n++] = Move(3, k.target, 18, 13, k.toX, 13, 1, k.score);
        ApplyFlagPlans(plans, list, n, kStake);
        for (int i = 0; i < n; ++i) EXPECT_EQ(list[i].score, c.expected[i]) << c.what << ", candidate " << i;
    }
}

// Whole choices on a fixed position: four armies, some contact in the centre.
constexpr int kArmy[25] = {10, 6, 12, 9, 11, 8, 5, 7, 12, 3, 10, 11, 6, 4, 8, 9, 2, 3, 2, 12, 10, 1, 2, 7, 11};

class ChoiceTest : public PositionTest {
protected:
    ChoiceTest() {
        for (int i = 0; i < kPieceCount; ++i) {
            const int k = i % kPiecesPerSeat;
            Put(i, kArmy[k], SeatOf(i) * 30 + k);
            for (auto& row : Pieces()[i].beliefs) {
                for (int c = 0; c < 12; ++c) row[c] = test::kArmyShare[c];
                if (k < 5) row[kBomb - 1] = 0.0f;
                if (k != 21 && k != 23) row[kFlag - 1] = 0.0f;
                if (k < 15) row[kMine - 1] = 0.0f;
                const float sum = test::Sum12(row);
                for (float& x : row) x = x * 100.0f / sum;
            }
        }
        for (auto [piece, point] : {std::pair{26, 127}, std::pair{77, 124}}) {  // to (20,18) and (20,20)
            Pieces()[piece].x = PointAt(point).x;
            Pieces()[piece].y = PointAt(point).y;
            for (auto& row : Pieces()[piece].beliefs) row[kFlag - 1] = row[kMine - 1] = 0.0f;
        }
        Pieces()[0].alive = 0;
    }
    MoveCand Choose(int level, bool flagsLocated = false, float enemyFlag = 95.0f) {
        if (flagsLocated) {
            Believe(21, 0, {{kFlag, 100.0f}});
            Believe(46, 0, {{kFlag, enemyFlag}, {kMine, 100.0f - enemyFlag}});
        }
        w->game.aiLevel = level;
        w->game.curSeat = 0;
        w->game.stepCount = 40;
        rng.Seed(99);
        EXPECT_TRUE(level == 0 ? ChooseMoveBasic(*w) : ChooseMoveAdvanced(*w));
        return w->aiMoveList.list[0];
    }
};

TEST_F(ChoiceTest, GoldenChoicesOfEachLevel) {
    MoveCand m = Choose(0);
    EXPECT_EQ(std::tie(m.mover, m.toX, m.toY), std::make_tuple(1, 18, 17));
    EXPECT_NEAR(m.score, 877.217f, 0.01f);
    // No flag located; the best (988.13) is no clear best, so the pick is among every candidate scoring 0 or
    // more.
    m = Choose(1);
    EXPECT_EQ(w->aiChosenIndex, 22);
    EXPECT_EQ(w->aiMoveList.list[22].mover, 1);
    EXPECT_NEAR(w->aiMoveList.list[22].score, 988.13f, 0.01f);
    EXPECT_EQ(std::tie(m.mover, m.toX, m.toY), std::make_tuple(15, 19, 14));
    EXPECT_NEAR(m.score, 25.0f, 0.01f);
    // The own flag and seat 1's are located: the attack plan lifts its first move (the platoon of (22,15) to
    // the camp (21,14)) past 1000.
    m = Choose(2, true);
    EXPECT_EQ(w->aiChosenIndex, 0);
    EXPECT_EQ(std::tie(m.mover, m.toX, m.toY), std::make_tuple(11, 21, 14));
    EXPECT_NEAR(m.score, 8399.24f, 0.01f);
    // Level 1 plans the same attack; a flag belief of exactly 90 locates nothing, as at the start.
    m = Choose(1, true);
    EXPECT_EQ(std::tie(w->aiChosenIndex, m.mover, m.toX, m.toY), std::make_tuple(0, 11, 21, 14));
    m = Choose(1, true, 90.0f);
    EXPECT_EQ(std::tie(w->aiChosenIndex, m.mover, m.toX, m.toY), std::make_tuple(22, 15, 19, 14));
}

// Level 2 defends its own flag: seat 3's division stands two moves from it and no own piece can meet it in
// time, so every capture gains the flag's stake and seat 0's platoon takes a believed commander. Level 1 does
// not defend, and an own flag believed at exactly 90 is not located.
using DefenceChoiceTest = PositionTest;

TEST_F(DefenceChoiceTest, UncounteredNearThreatFavoursCaptures) {
    for (auto [level, ownFlag, captures] : {std::tuple{2, 100.0f, true}, {1, 100.0f, false}, {2, 90.0f, false}}) {
        Clear();
        Put(21, kFlag, 21);
        Believe(21, 0, {{kFlag, ownFlag}, {kMine, 100.0f - ownFlag}});
        Put(80, kDivision, 28);
        Believe(80, 0, {{kPlatoon, 100.0f}});
        Put(10, kPlatoon, 124);
        Put(40, kCommander, 125);
        Believe(40, 0, {{kCommander, 100.0f}});
        w->game.aiLevel = level;
        w->game.curSeat = 0;
        ASSERT_TRUE(ChooseMoveAdvanced(*w));
        const MoveCand& m = w->aiMoveList.list[0];
        EXPECT_EQ(m.target == 40 && m.score > 100000.0f, captures) << level << " " << ownFlag << ": " << m.score;
    }
}

}  // namespace
}  // namespace jq::aitest
