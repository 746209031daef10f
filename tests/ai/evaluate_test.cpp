#include <cmath>
#include <limits>

#include "formations/piecestats.h"
#include "position.h"

namespace jq::aitest {
namespace {

// The immediate value of one move, by the basic level's evaluation (army beliefs) or the upper levels' (even
// beliefs), on one of a few backgrounds; the mover's rows (every observer's) as given.
enum Background {
    kNothing,
    kEnemyHq,       // seat 1's headquarters: seat 0 believes the flag on slot 21 (60 to 40)
    kEnemyHqEqual,  // ... with 60 on both
    kOwnFlag,       // seat 0's flag on slot 21, which seat 2 knows
    kTornHq,        // seat 0's flag on slot 21, a mine on 23; seat 1 torn 50 to 50
    kHalfHq,        // ... and the mine taken
};
struct Row {
    int codeA = 0;
    float weightA = 0;
    int codeB = 0;
    float weightB = 0;
};
struct ValueCase {
    const char* what;
    bool basic;
    Background background;
    int step, viewer, mover, code;
    Row row;
    int fromX, fromY, toX, toY;
    float expected;
    Pc target = {};  // on a board point
};
constexpr bool kBasic = true;
constexpr bool kUpper = false;

void Lay(PieceTable& t, Background b) {
    if (b == kEnemyHq || b == kEnemyHqEqual) {
        Put(t, 46, kFlag, 28, 19);
        Put(t, 48, kMine, 28, 21);
        Row2(t[46].beliefs[0], kFlag, 60, kMine, 40);
        Row2(t[48].beliefs[0], kFlag, b == kEnemyHq ? 40 : 60, kMine, b == kEnemyHq ? 60 : 40);
    }
    if (b == kOwnFlag || b == kTornHq || b == kHalfHq) Put(t, 21, kFlag, 19, 12);
    if (b == kOwnFlag) SetRow(t[21].beliefs[2], {{kFlag, 100}});
    if (b == kTornHq || b == kHalfHq) {
        Put(t, 23, kMine, 21, 12);
        t[23].alive = b == kTornHq ? 1 : 0;
        for (int p : {21, 23}) Row2(t[p].beliefs[1], kFlag, 50, kMine, 50);
    }
}

TEST(ImmediateValue, Cases) {
    const ValueCase cases[] = {
        {"mine weight 6", kBasic, kNothing, 0, 0, 10, kPlatoon, {kMine, 6, kPlatoon, 94}, 21, 15, 20, 14, 0},
        {"mine weight 10", kBasic, kNothing, 0, 0, 10, kPlatoon, {kMine, 10, kPlatoon, 90}, 21, 15, 20, 14, -60},
        {"mine weight 10", kUpper, kNothing, 0, 0, 0, kBrigade, {kMine, 10, kBrigade, 90}, 18, 20, 20, 20, 140},
        {"mine weight 6", kUpper, kNothing, 0, 0, 0, kBrigade, {kMine, 6, kBrigade, 94}, 18, 20, 20, 20, 200},
        {"sure engineer", kBasic, kNothing, 0, 0, 8, kEngineer, {kEngineer, 90, kPlatoon, 10}, 18, 15, 20, 17, 200},
        {"hidden engineer", kBasic, kNothing, 0, 0, 8, kEngineer, {kEngineer, 89.9f, kPlatoon, 10.1f}, 18, 15, 20, 17, -1400},
        {"sure engineer", kUpper, kNothing, 0, 0, 0, kEngineer, {kEngineer, 90, kPlatoon, 10}, 18, 13, 22, 17, 200},
        {"hidden engineer", kUpper, kNothing, 0, 0, 0, kEngineer, {kEngineer, 89.9f, kPlatoon, 10.1f}, 18, 13, 22, 17, -800},
        {"engineer attacking", kUpper, kNothing, 0, 0, 0, kEngineer, {kEngineer, 50, kPlatoon, 50}, 18, 13, 22, 17, 200,
         {30, kPlatoon, 4}},
        {"headquarters", kBasic, kNothing, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 20, 13, 19, 12, -10000},
        {"camp", kBasic, kNothing, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 20, 13, 19, 14, 100},
        {"railway", kBasic, kNothing, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 20, 13, 20, 17, 200},
        {"headquarters", kUpper, kNothing, 0, 0, 0, kBrigade, {}, 20, 13, 19, 12, -10000},
        {"camp", kUpper, kNothing, 0, 0, 0, kBrigade, {}, 20, 13, 19, 14, 100},
        {"into an enemy approach", kBasic, kEnemyHq, 60, 0, 10, kPlatoon, {kPlatoon, 100}, 26, 18, 27, 19, 342.857f},
        {"... later in the battle", kBasic, kEnemyHq, 61, 0, 10, kPlatoon, {kPlatoon, 100}, 26, 18, 27, 19, 514.286f},
        {"equal weights: the other row", kBasic, kEnemyHqEqual, 60, 0, 10, kPlatoon, {kPlatoon, 100}, 26, 18, 27, 19, 200},
        {"engineer leaving the row", kBasic, kEnemyHq, 0, 0, 10, kEngineer, {kEngineer, 100}, 26, 18, 25, 18, -5.714f},
        {"platoon leaving the row", kBasic, kEnemyHq, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 26, 18, 25, 18, 200},
        {"capture beside the own flag", kBasic, kOwnFlag, 0, 0, 12, kDivision, {kDivision, 100}, 18, 14, 18, 13, 5851.43f,
         {30, kPlatoon, 15}},
        {"partner's approach", kBasic, kOwnFlag, 0, 2, 10, kPlatoon, {kPlatoon, 100}, 18, 14, 18, 13, 371.429f},
        {"engineer into the centre", kBasic, kOwnFlag, 0, 0, 2, kEngineer, {kEngineer, 100}, 20, 17, 20, 18, 200},
        {"within the row", kUpper, kTornHq, 0, 1, 30, kBrigade, {}, 20, 12, 20, 13, 200},
        {"out of the row", kUpper, kTornHq, 0, 1, 30, kBrigade, {}, 20, 12, 20, 14, -150},
        {"out of the row, one headquarters piece left", kUpper, kHalfHq, 0, 1, 30, kBrigade, {}, 20, 12, 20, 14, -150},
        {"engineer into the centre", kUpper, kOwnFlag, 0, 0, 2, kEngineer, {kEngineer, 100}, 20, 17, 20, 18, 200},
        {"from the other row", kUpper, kTornHq, 0, 1, 31, kBrigade, {}, 18, 12, 18, 13, 200},
        {"engineer out of the centre", kUpper, kTornHq, 0, 1, 30, kEngineer, {}, 20, 18, 20, 17, 114.286f},
    };
    for (const ValueCase& c : cases) {
        auto w = MakeWorkspace(!c.basic);
        PieceTable& t = w->game.pieces;
        w->game.stepCount = c.step;
        Lay(t, c.background);
        Put(t, c.mover, c.code, c.fromX, c.fromY);
        for (auto& row : t[c.mover].beliefs)
            if (c.row.codeA != 0) Row2(row, c.row.codeA, c.row.weightA, c.row.codeB, c.row.weightB);
        Apply(t, {c.target}, {Bel{c.target.index, -1, c.target.code, 100}});
        MoveCand m = Move(c.mover, c.target.index < 0 ? kNoPiece : c.target.index, c.fromX, c.fromY, c.toX, c.toY);
        float scratch[12] = {};
        const float v = c.basic ? EvaluateMoveBasic(*w, c.viewer, c.viewer, t, m)
                                : ImmediateMoveValue(*w, c.viewer, t, m, scratch);
        EXPECT_NEAR(v, c.expected, 2e-3) << (c.basic ? "basic: " : "upper: ") << c.what;
    }
}

// The threat balance counts attacks worth more than 1. A simulated capture ends as its score says; a bomb
// takes both.
TEST(Evaluate, ThreatBalanceAndSimulatedOutcome) {
    auto w = MakeWorkspace();
    PieceTable& p = w->game.pieces;
    Put(p, 10, kCompany, 20, 16);
    Put(p, 30, kPlatoon, 20, 17);
    SetRow(p[30].beliefs[0], {{kPlatoon, 0.05f}});  // an attack worth exactly 1
    EXPECT_FLOAT_EQ(EvaluateThreatBalance(*w, 0, 0, p), 0.0f);
    SetRow(p[30].beliefs[0], {{kPlatoon, 0.1f}});
    EXPECT_FLOAT_EQ(EvaluateThreatBalance(*w, 0, 0, p), 2.0f);
    EXPECT_FLOAT_EQ(EvaluateThreatBalance(*w, 0, 2, p), 0.0f);  // no move
    auto copy = std::make_unique<PieceTable>();
    const std::tuple<int, float, int, int, int> cases[] = {
        {kBomb, 50, 0, 0, 0}, {kCompany, 0, 0, 0, 0}, {kCompany, -3, 0, 1, -1}, {kCompany, 3, 1, 0, 1}};
    for (auto [code, score, moverAlive, targetAlive, recorded] : cases) {
        p[10].code = code;
        ApplyMoveToCopy(*w, p, *copy, Move(10, 30, 20, 16, 20, 17, 1, score), 1);
        EXPECT_EQ(std::make_tuple((*copy)[10].alive, (*copy)[30].alive, w->lastStepRecord.outcome),
                  std::make_tuple(moverAlive, targetAlive, recorded)) << code << " " << score;
    }
    EXPECT_EQ(std::make_tuple(p[10].y, p[30].alive), std::make_tuple(16, 1)) << "the source is untouched";
}

class ExpectedScoreTest : public PositionTest {
protected:
    // Seat 0's `attacker` at (20,20) next to seat 1's piece 25 of `code` at (22,20), believed as given.
    void Face(int attacker, int code, std::initializer_list<std::pair<int, float>> believed) {
        Put(0, attacker, 124);
        Believe(0, 0, {{attacker, 100.0f}});
        Put(25, code, 125);
        Believe(25, 0, believed);
    }
    // The score of the attack on it.
    float AttackScore(int attacker, int code, std::initializer_list<std::pair<int, float>> believed) {
        Face(attacker, code, believed);
        MoveGenWork& gen = w->aiMoveList;
        const int n = GenerateMoves(gen, Pieces(), 0);
        EXPECT_TRUE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
        const auto m = std::find_if(gen.list, gen.list + n, [](const MoveCand& c) { return c.target == 25; });
        return m == gen.list + n ? -1e30f : m->score;
    }
};

// The search narrows one observer's rows; the whole-table forms narrow every row. For that observer both must
// agree, hostile weights included.
TEST_F(ExpectedScoreTest, ObserverRowsNarrowAsTheWholeTable) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> pick(0, 9);
    for (PieceRec& pc : Pieces())
        for (auto& row : pc.beliefs)
            for (float& x : row) x = pick(gen) < 3 ? 0.0f : static_cast<float>(pick(gen)) * 7.3f + 0.00005f;
    Pieces()[7].beliefs[2][4] = 1e-5f;
    Pieces()[8].beliefs[2][1] = std::numeric_limits<float>::infinity();
    Pieces()[9].beliefs[2][2] = std::numeric_limits<float>::quiet_NaN();
    Pieces()[10].beliefs[2][3] = -4.0f;
    Pieces()[11].beliefs[2][5] = Pieces()[11].beliefs[2][6] = 3e38f;  // the row's sum overflows
    for (float& x : Pieces()[12].beliefs[2]) x = 0.0f;
    auto same = [](const PieceTable& a, const PieceTable& b, int observer) {
        for (int i = 0; i < kPieceCount; ++i)
            if (std::memcmp(a[i].beliefs[observer], b[i].beliefs[observer], sizeof a[i].beliefs[0]) != 0) return false;
        return true;
    };
    for (int result = -1; result <= 1; ++result) {
        PieceTable whole = Pieces(), mine = Pieces();
        UpdateBeliefsByCombat(whole[40].beliefs[2], whole[3].beliefs[2], result, whole);
        NarrowByCombat(mine[40].beliefs[2], mine[3].beliefs[2], result, mine, 2);
        EXPECT_TRUE(same(whole, mine, 2)) << result;
    }
    PieceTable whole = Pieces(), mine = Pieces();
    NormalisePieceStatRows(whole);
    NormaliseObserverRows(mine, 1);
    EXPECT_TRUE(same(whole, mine, 1));
}

// The scoring lists the seats' moves once and derives the moves of every position it plays out from them; the
// playouts must come out as if every list were made afresh.
TEST_F(ExpectedScoreTest, PlayoutOnKeptMovesEqualsOneOnFreshMoves) {
    std::mt19937 gen(23);
    auto fresh = std::make_unique<AiWorkspace>();
    for (int round = 0; round < 6; ++round) {
        RandomBoard(gen, Pieces());
        fresh->game = w->game;
        for (int s = 0; s < kSeats; ++s) {
            BuildSeatMoves(*w, Pieces(), s, w->rootMoves[s]);
            fresh->rootMoves[s].valid = false;
        }
        const int me = round % kSeats, n = GenerateMoves(fresh->aiMoveList, Pieces(), me);
        for (int i = 0; i < n; ++i) {
            const MoveCand& c = fresh->aiMoveList.list[i];
            PieceTable kept = Pieces();
            kept[c.mover].x = c.toX;
            kept[c.mover].y = c.toY;
            if (c.target >= 0) kept[c.target].alive = 0;
            PieceTable made = kept;
            ASSERT_EQ(PlayoutValue(*w, me, kept), PlayoutValue(*fresh, me, made)) << round << " move " << i;
            ASSERT_EQ(std::memcmp(&kept, &made, sizeof kept), 0) << round << " move " << i;
        }
    }
}

// An attack on what may be a flag (70) or a mine (30), a sure flag behind it that only a winner reaches;
// nothing else moves.
TEST_F(ExpectedScoreTest, AttackScoreGolden) {
    Put(26, kFlag, 32);  // (23,20)
    Believe(26, 0, {{kFlag, 100.0f}});
    EXPECT_NEAR(AttackScore(kBrigade, kMine, {{kFlag, 70.0f}, {kMine, 30.0f}}), 139120.0, 0.5);
    // A stop leaves every score 0.
    MoveGenWork& gen = w->aiMoveList;
    const int n = GenerateMoves(gen, Pieces(), 0);
    for (int i = 0; i < n; ++i) gen.list[i].score = 7.0f;
    abort = 1;
    EXPECT_FALSE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
    for (int i = 0; i < n; ++i) EXPECT_EQ(gen.list[i].score, 0.0f);
}

// Caution: a move whose piece comes through less often than its rank asks for (0.382 + 0.418 x its value / the
// commander's, with the caution factor at 0.8) gives up a positive score; a negative one stays. A tie counts
// as coming through for every piece but the two highest officers; a plain move counts as coming through when
// the piece is still alive after the playout. Seat 0's piece stands on (20,20), seat 1's on (22,20).
enum Sign { kZero, kPositive, kNegative };
struct CautionCase {
    const char* what;
    int attacker, code;
    std::vector<std::pair<int, float>> believed;
    int toPoint;  // 125: the attack
    Sign sign;
    bool answered = false;  // seat 1's piece on (22,18), a bomb or a platoon, takes the winner with it
};

TEST_F(ExpectedScoreTest, CautionRule) {
    const std::vector<std::pair<int, float>> flagOrCommander = {{kFlag, 50.0f}, {kCommander, 50.0f}};
    const CautionCase cases[] = {
        {"a platoon through half the time: at least 0.42", kPlatoon, kCommander, flagOrCommander, 125, kPositive},
        {"a brigade through half the time: below 0.515", kBrigade, kCommander, flagOrCommander, 125, kZero},
        {"an army commander through half the time: below 0.705", kArmyCommander, kCommander, flagOrCommander, 125,
         kZero},
        {"an army commander through three times in four: above 0.705", kArmyCommander, kCommander,
         {{kFlag, 75.0f}, {kCommander, 25.0f}}, 125, kPositive},
        {"a platoon taken in an exchange after it won still came through", kPlatoon, kCommander, flagOrCommander, 125,
         kPositive, true},
        {"a division's tie counts", kDivision, kDivision, {{kFlag, 50.0f}, {kDivision, 50.0f}}, 125, kPositive},
        {"an army commander's does not", kArmyCommander, kArmyCommander, {{kFlag, 50.0f}, {kArmyCommander, 50.0f}},
         125, kZero},
        {"a negative score stays", kPlatoon, kCommander, {{kCommander, 100.0f}}, 125, kNegative},
        {"a plain move onto a point the enemy then takes", kPlatoon, kCompany, {{kCompany, 100.0f}}, 123, kZero},
        {"a plain move out of its reach", kPlatoon, kCompany, {{kCompany, 100.0f}}, 127, kPositive},
    };
    for (const CautionCase& c : cases) {
        Clear();
        Face(c.attacker, c.code, {});
        SetRow(Pieces()[25].beliefs[0], {});
        for (auto [code, weight] : c.believed) Pieces()[25].beliefs[0][code - 1] = weight;
        if (c.answered) {
            Put(26, kBomb, 128);
            Believe(26, 0, {{kBomb, 60.0f}, {kPlatoon, 40.0f}});
        }
        MoveGenWork& gen = w->aiMoveList;
        const int n = GenerateMoves(gen, Pieces(), 0);
        ASSERT_TRUE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
        const GridPoint to = PointAt(c.toPoint);
        const auto m = std::find_if(gen.list, gen.list + n, [&](const MoveCand& k) { return GridPoint(k.toX, k.toY) == to; });
        ASSERT_NE(m, gen.list + n) << c.what;
        const Sign got = m->score == 0.0f ? kZero : m->score > 0.0f ? kPositive : kNegative;
        EXPECT_EQ(got, c.sign) << c.what << ": " << m->score;
    }
}

// The playout's greedy capture that wins less than half the time takes the capturer with it; one that wins half
// the time leaves it standing.
TEST(Playout, CaptureWinningHalfTheTimeKeepsTheCapturer) {
    for (auto [platoon, survives] : {std::pair{50.0f, 1}, {40.0f, 0}}) {
        auto w = MakeWorkspace();
        PieceTable& p = w->game.pieces;
        Put(p, 0, kBrigade, 20, 20);
        Put(p, 25, kBrigade, 22, 20);
        Row2(p[25].beliefs[0], kPlatoon, platoon, kBrigade, 100 - platoon);
        SeatPositionValue(*w, 0, 0, p);
        EXPECT_EQ(std::make_tuple(p[0].alive, p[0].x, p[25].alive), std::make_tuple(survives, 22, 0)) << platoon;
    }
}

// Which replies are looked at after they are made: every one of a seat with 31 moves, only the captures of one
// with 32 (no headquarters piece is left, so no reply approaches a flag). A reply looked at holds the balance of
// the board after it, a copy with the reply made; any other the balance before.
TEST(Playout, RepliesLookedAtAfterTheyAreMade) {
    const std::vector<Pc> scenes[] = {
        {{0, kRegiment, 27}, {1, kPlatoon, 79}, {25, kRegiment, 22}, {26, kCommander, 14}},
        {{0, kEngineer, 27}, {1, kRegiment, 102}, {2, kBattalion, 18}, {25, kPlatoon, 9}, {26, kPlatoon, 59}},
    };
    for (int moves : {31, 32}) {
        auto w = MakeWorkspace();
        auto board = std::make_unique<PieceTable>(w->game.pieces);
        for (const Pc& p : scenes[moves - 31]) PutAt(*board, p.index, p.code, p.point);
        const auto before = std::make_unique<PieceTable>(*board);
        const float base = EvaluateThreatBalance(*w, 0, 0, *before);
        SeatReplyValue(*w, 0, 0, *board);
        const MoveGenWork& replies = w->replyMoveList;
        ASSERT_EQ(replies.count, moves);
        auto after = std::make_unique<PieceTable>();
        int lookedAt = 0;
        for (const MoveCand& m : std::span(replies.list, replies.count)) {
            ApplyMoveToCopy(*w, *before, *after, m, 0);
            const float balance = EvaluateThreatBalance(*w, 0, 0, *after);
            const bool looked = moves < 32 || m.target >= 0;
            lookedAt += looked && balance != base;
            EXPECT_FLOAT_EQ(m.terms[0], looked ? balance : base) << moves << " moves, to " << m.toX << "," << m.toY;
        }
        EXPECT_GT(lookedAt, 0) << moves;
    }
}

// A reply that leaves the seat a balance of at least 10000 (here exactly: seat 0's company can then take a
// piece it believes the flag with weight 5) gains 2000 on the road points beside the headquarters, squares
// 20, 22 and 24: the company steps down onto square 24 rather than along the railway to square 18, from where
// it could take that piece as well.
TEST(Playout, ReplyOntoTheBackRowBesideAThreatenedFlag) {
    auto w = MakeWorkspace();
    auto board = std::make_unique<PieceTable>(w->game.pieces);
    PutAt(*board, 0, kCompany, 19);
    PutAt(*board, 30, kFlag, 23);
    SetRow((*board)[30].beliefs[0], {{kFlag, 5.0f}});
    SeatReplyValue(*w, 0, 0, *board);
    EXPECT_EQ(GridPoint((*board)[0].x, (*board)[0].y), PointAt(24));
    const MoveGenWork& replies = w->replyMoveList;
    for (int square : {18, 24}) {
        const auto m = std::find_if(replies.list, replies.list + replies.count,
                                    [&](const MoveCand& c) { return GridPoint(c.toX, c.toY) == PointAt(square); });
        ASSERT_NE(m, replies.list + replies.count) << square;
        EXPECT_EQ(m->terms[0], 10000.0f) << square;
    }
}

// All-zero rows arise from the belief updates: nothing may come out NaN and the chances of winning and losing
// never add up past 1.
TEST(Expectation, EmptyRowsGiveDefinedValues) {
    float pv[15], d[12] = {}, a[12] = {};
    std::memcpy(pv, kInitialPieceValues, sizeof pv);
    EXPECT_EQ(ExpectedAttackValue(pv, kRegiment, d), 0.0f);
    EXPECT_FLOAT_EQ(pv[2], 1.0f);
    for (int code = 1; code <= 12; ++code)
        EXPECT_EQ(std::make_pair(WinProbability(code, d), LossProbability(code, d)), std::make_pair(1.0, 0.0));
    EXPECT_EQ(ExpectedAttackValueMixed(pv, a, d), 0.0f);
    SetRow(d, {{kBrigade, 100}});
    EXPECT_EQ(ExpectedAttackValueMixed(pv, a, d), 0.0f);
    EXPECT_EQ(MixedWinProbability(d, a), 0.0);
}

}  // namespace
}  // namespace jq::aitest
