#include <algorithm>
#include <cstring>
#include <memory>
#include <limits>
#include <random>
#include <vector>

#include "ai/derivedmoves.h"
#include "ai/expected.h"
#include "ai/inference.h"
#include "position.h"
#include "formations/piecestats.h"

namespace jq {
namespace {

using aitest::PositionTest;
using ExpectedScoreTest = PositionTest;

// Board points used below.
constexpr int kCentreMid = 124;    // (20,20)
constexpr int kCentreRight = 125;  // (22,20)

TEST_F(ExpectedScoreTest, CautionThresholdsFollowTheRank) {
    EXPECT_NEAR(CautionThreshold(*w, kCommander), 0.8, 1e-9);
    EXPECT_NEAR(CautionThreshold(*w, kArmyCommander), 0.705, 1e-6);
    EXPECT_NEAR(CautionThreshold(*w, kPlatoon), 0.42, 1e-6);
}

TEST_F(ExpectedScoreTest, ObserverRowsNarrowAsTheWholeTable) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> pick(0, 9);
    for (PieceRec& pc : Pieces())
        for (auto& row : pc.beliefs)
            for (float& x : row) x = pick(gen) < 3 ? 0.0f : static_cast<float>(pick(gen)) * 7.3f + 0.00005f;
    Pieces()[7].beliefs[2][4] = 1e-5f;  // below the cut
    Pieces()[8].beliefs[2][1] = std::numeric_limits<float>::infinity();
    Pieces()[9].beliefs[2][2] = std::numeric_limits<float>::quiet_NaN();
    Pieces()[10].beliefs[2][3] = -4.0f;
    Pieces()[11].beliefs[2][5] = 3e38f;  // the row's sum overflows
    Pieces()[11].beliefs[2][6] = 3e38f;
    for (float& x : Pieces()[12].beliefs[2]) x = 0.0f;
    for (int result = -1; result <= 1; ++result) {
        PieceTable whole = Pieces();
        PieceTable mine = Pieces();
        UpdateBeliefsByCombat(whole[40].beliefs[2], whole[3].beliefs[2], result, whole);
        NarrowByCombat(mine[40].beliefs[2], mine[3].beliefs[2], result, mine, 2);
        for (int i = 0; i < kPieceCount; ++i)
            for (int j = 0; j < 12; ++j) ASSERT_EQ(whole[i].beliefs[2][j], mine[i].beliefs[2][j]) << i << " " << j;
    }
    PieceTable whole = Pieces();
    PieceTable mine = Pieces();
    NormalisePieceStatRows(whole);
    NormaliseObserverRows(mine, 1);
    for (int i = 0; i < kPieceCount; ++i)
        for (int j = 0; j < 12; ++j) ASSERT_EQ(whole[i].beliefs[1][j], mine[i].beliefs[1][j]);
}

class PlayoutStepTest : public PositionTest {
protected:
    // A brigade of seat 0 in the centre that can take one piece of seat 1
    // believed a flag with the given weight, else a division.
    void SetUpCapture(float flagWeight) {
        Put(0, kBrigade, kCentreMid);
        Believe(0, 0, {{kBrigade, 100.0f}});
        Put(25, kDivision, kCentreRight);
        Believe(25, 0, {{kFlag, flagWeight}, {kDivision, 100.0f - flagWeight}});
    }
};

TEST_F(PlayoutStepTest, SeatWithoutMovesLeavesTheBoard) {
    Put(21, kFlag, 21);
    const PieceTable before = Pieces();
    EXPECT_EQ(SeatPositionValue(*w, 0, 0, Pieces()), 0.0);
    EXPECT_EQ(std::memcmp(&before, &Pieces(), sizeof before), 0);
}

TEST_F(PlayoutStepTest, PlainMovesOnlyPlayTheFirst) {
    Put(0, kBrigade, 13);  // (20,14), a road point: four plain steps
    EXPECT_EQ(SeatPositionValue(*w, 0, 0, Pieces()), 0.0);
    EXPECT_EQ(Pieces()[0].x, 19);  // the first listed: (19,14), a camp
    EXPECT_EQ(Pieces()[0].y, 14);
}

TEST_F(PlayoutStepTest, UnlikelyCaptureIsPlayedAsAnExchange) {
    SetUpCapture(40.0f);  // win chance 0.4
    const double v = SeatPositionValue(*w, 0, 0, Pieces());
    EXPECT_GT(v, 0.0);
    EXPECT_EQ(Pieces()[25].alive, 0);
    EXPECT_EQ(Pieces()[0].alive, 0);
}

TEST_F(PlayoutStepTest, EvenCaptureKeepsTheMover) {
    SetUpCapture(50.0f);
    SeatPositionValue(*w, 0, 0, Pieces());
    EXPECT_EQ(Pieces()[25].alive, 0);
    EXPECT_EQ(Pieces()[0].alive, 1);
    EXPECT_EQ(Pieces()[0].x, 22);
    EXPECT_EQ(Pieces()[0].y, 20);
}

TEST_F(PlayoutStepTest, PlayoutCountsEnemiesAgainstMe) {
    // One seat at a time has a brigade that can take a sure flag of the
    // seat after it (200 for the railway point + 100 x 2000); nothing else
    // moves. Seen by seat 0: enemies count against it.
    const double step = 200.0 + 200000.0;
    const double expected[4] = {0.5 * step, -0.8 * step, 0.7 * step, -0.6 * step};
    for (int seat = 0; seat < kSeats; ++seat) {
        for (PieceRec& pc : Pieces()) pc.alive = 0;
        const int mover = seat * kPiecesPerSeat;
        const int target = ((seat + 1) % kSeats) * kPiecesPerSeat + 5;
        Put(mover, kBrigade, kCentreMid);
        Believe(mover, 0, {{kBrigade, 100.0f}});
        Put(target, kFlag, kCentreRight);
        Believe(target, 0, {{kFlag, 100.0f}});
        PieceTable board = Pieces();
        EXPECT_NEAR(PlayoutValue(*w, 0, board), expected[seat], 1e-3) << "seat " << seat;
        EXPECT_EQ(board[target].alive, 0) << "the step is played";
    }
}

TEST_F(ExpectedScoreTest, PlayoutOnKeptMovesEqualsOneOnFreshMoves) {
    // The scoring lists the seats' moves once and derives the moves of every
    // position it plays out from them; the playouts must come out as if
    // every list were made afresh.
    std::mt19937 gen(23);
    auto fresh = std::make_unique<AiWorkspace>();
    for (int round = 0; round < 6; ++round) {
        for (PieceRec& pc : Pieces()) pc.alive = 0;
        std::vector<int> points(kPointCount);
        for (int p = 0; p < kPointCount; ++p) points[p] = p;
        std::shuffle(points.begin(), points.end(), gen);
        for (int i = 0; i < 60; ++i) {
            const int piece = static_cast<int>(gen() % kPieceCount);
            Put(piece, static_cast<int>(1 + gen() % 12), points[i]);
        }
        fresh->game = w->game;
        for (int s = 0; s < kSeats; ++s) {
            BuildSeatMoves(*w, Pieces(), s, w->rootMoves[s]);
            fresh->rootMoves[s].valid = false;
        }
        const int me = round % kSeats;
        MoveGenWork& list = fresh->aiMoveList;
        const int n = GenerateMoves(list, Pieces(), me);
        for (int i = 0; i < n; ++i) {
            const MoveCand& c = list.list[i];
            PieceTable kept = Pieces();
            kept[c.mover].x = c.toX;
            kept[c.mover].y = c.toY;
            if (c.target >= 0) kept[c.target].alive = 0;
            PieceTable made = kept;
            const double a = PlayoutValue(*w, me, kept);
            const double b = PlayoutValue(*fresh, me, made);
            ASSERT_EQ(a, b) << "round " << round << " move " << i;
            ASSERT_EQ(std::memcmp(&kept, &made, sizeof kept), 0) << "round " << round << " move " << i;
        }
    }
}

TEST_F(ExpectedScoreTest, PlainMoveScoreIsItsImmediateValueOnAQuietBoard) {
    Put(0, kBrigade, 13);
    Believe(0, 0, {{kBrigade, 100.0f}});
    MoveGenWork& gen = w->aiMoveList;
    const int n = GenerateMoves(gen, Pieces(), 0);
    ASSERT_EQ(n, 4);
    ASSERT_TRUE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
    // Nobody else can move: the playout changes nothing but the mover.
    for (int i = 0; i < n; ++i) {
        MoveCand probe = gen.list[i];
        float scratch[12] = {};
        EXPECT_FLOAT_EQ(gen.list[i].score, ImmediateMoveValue(*w, 0, Pieces(), probe, scratch)) << i;
    }
}

TEST_F(ExpectedScoreTest, AttackScoreWeighsEachOutcomeByItsChance) {
    // Seat 0's brigade in the centre attacks what seat 0 believes a flag
    // (70) or a mine (30); behind it stands a sure flag it can reach only
    // after winning. Nothing else moves.
    Put(0, kBrigade, kCentreMid);
    Believe(0, 0, {{kBrigade, 100.0f}});
    Put(25, kMine, kCentreRight);
    Believe(25, 0, {{kFlag, 70.0f}, {kMine, 30.0f}});
    Put(26, kFlag, 32);  // (23,20)
    Believe(26, 0, {{kFlag, 100.0f}});
    MoveGenWork& gen = w->aiMoveList;
    const int n = GenerateMoves(gen, Pieces(), 0);
    ASSERT_TRUE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
    int attack = -1;
    for (int i = 0; i < n; ++i)
        if (gen.list[i].target == 25) attack = i;
    ASSERT_GE(attack, 0);
    // The attack's immediate value: 200 for the railway point, and
    // 70 x 2000 - 30 x 70 expected from the combat.
    const double now = 200.0 + 137900.0;
    // The playout counts only seat 0's own greedy step (weight 0.5): before
    // the move it is this very attack; after a loss nothing can move; after
    // a win the brigade takes the flag behind (200 + 100 x 2000).
    const double base = 0.5 * now;
    const double afterLoss = 0.0;
    const double afterWin = 0.5 * (200.0 + 200000.0);
    const double expected = now + (afterLoss - base) * 0.3 + (afterWin - base) * 0.7;
    EXPECT_NEAR(gen.list[attack].score, expected, 0.5);
}

class CautionTest : public PositionTest {
protected:
    // Seat 0's attacker in the centre takes a piece of seat 1 that is one of
    // two codes with even weight; the board holds nothing else.
    float AttackScore(int attacker, int even, int weaker) {
        Put(0, attacker, kCentreMid);
        Believe(0, 0, {{attacker, 100.0f}});
        Put(25, even, kCentreRight);
        Believe(25, 0, {{even, 50.0f}, {weaker, 50.0f}});
        MoveGenWork& gen = w->aiMoveList;
        const int n = GenerateMoves(gen, Pieces(), 0);
        EXPECT_TRUE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
        for (int i = 0; i < n; ++i)
            if (gen.list[i].target == 25) return gen.list[i].score;
        ADD_FAILURE() << "no attack listed";
        return 0.0f;
    }
};

TEST_F(CautionTest, ExchangeCountsAsKeptForOrdinaryPieces) {
    // Division on division or brigade: half wins, half exchanges.
    EXPECT_GT(AttackScore(kDivision, kDivision, kBrigade), 0.0f);
}

TEST_F(CautionTest, CommanderMustKeepItsPiece) {
    // Commander on commander or division: the exchange does not count, so
    // a keep chance of one half is below the commander's 0.8.
    EXPECT_EQ(AttackScore(kCommander, kCommander, kDivision), 0.0f);
}

TEST_F(CautionTest, CarelessStyleKeepsTheCommandersScore) {
    w->game.styleCoefCaution = 0.382;  // the same level 0.382 for every rank
    EXPECT_GT(AttackScore(kCommander, kCommander, kDivision), 0.0f);
}

TEST_F(ExpectedScoreTest, StopLeavesTheRestUnscored) {
    Put(0, kBrigade, 13);
    MoveGenWork& gen = w->aiMoveList;
    const int n = GenerateMoves(gen, Pieces(), 0);
    for (int i = 0; i < n; ++i) gen.list[i].score = 7.0f;
    abort = 1;
    EXPECT_FALSE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
    for (int i = 0; i < n; ++i) EXPECT_EQ(gen.list[i].score, 0.0f);
}

}  // namespace
}  // namespace jq
