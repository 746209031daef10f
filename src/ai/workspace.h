// The computer player's own memory: its copy of what it reads of the game
// and every work area it thinks with. One worker owns one workspace, so a
// search never touches what the main thread reads or writes.
#pragma once

#include <atomic>
#include <cstdint>

#include "ai/derivedmoves.h"
#include "ai/movegen.h"
#include "core/board.h"
#include "core/pathfind.h"
#include "core/rng.h"
#include "core/types.h"

namespace jq {

struct GameState;

// A list of fixed room. Append refuses an entry once the list is full, so no
// caller can write past its end.
template <typename T, int N>
struct FixedList {
    static constexpr int kCapacity = N;
    T items[N];
    int32_t count = 0;

    void Clear() { count = 0; }
    bool Full() const { return count >= N; }
    bool Append(const T& v) {
        if (count < 0) count = 0;
        if (count >= N) return false;
        items[count++] = v;
        return true;
    }
    T& operator[](int i) { return items[i]; }
    const T& operator[](int i) const { return items[i]; }
};

// One planned attack of a piece on an enemy piece over several moves.
struct AttackRelation {
    MoveCand moves[20];
    int32_t moveCount = 0;
    int32_t cost = 0;
    int32_t blockers[20] = {};
    int32_t blockerCount = 0;
    double gain = 0.0;
    double score = 0.0;
    double survival = 0.0;
};

// An enemy piece that can move onto a point; fromCamp 1 when it stands in a
// camp.
struct ReachEntry {
    int32_t piece = kNoPiece;
    int32_t fromCamp = 0;
};

// What the computer player reads of the game, copied when it is woken.
struct AiSnapshot {
    PieceTable pieces = {};
    int32_t curSeat = 0;
    int32_t stepCount = 0;
    int32_t aiLevel = 0;
    double styleCoefAttack = 0.618;
    double styleCoefCaution = 0.8;
    double styleCoefDefence = 0.382;
    double aiPlanStepOffset = 3.0;
    double aiPlanScale = 1.0;
    int32_t styleDefence = 5;  // the defence slider, 0..10
    float pieceValues[15] = {};
    float slotCorrelation[25][12][3][12] = {};
};

// Copies the fields the computer player reads from the game.
void TakeSnapshot(const GameState& g, AiSnapshot& out);

// Room of the planned path's move list and of the path search's frontiers.
constexpr int kPlanCapacity = 300;
constexpr int kSearchFrontier = 300;
// Longest planned attack path, in moves.
constexpr int kMaxAttackMoves = 20;

struct AiWorkspace {
    explicit AiWorkspace(const BoardTables& board = Board());
    AiWorkspace(const AiWorkspace&) = delete;
    AiWorkspace& operator=(const AiWorkspace&) = delete;

    const BoardTables* board;
    AiSnapshot game;

    // Set by the main thread to ask for a stop; null: never.
    const std::atomic<int>* abortRequested = nullptr;
    bool Aborted() const {
        return abortRequested != nullptr && abortRequested->load(std::memory_order_relaxed) != 0;
    }
    // The thinking thread's random generator (never null once owned by a
    // worker; tests may point it at their own).
    GameRandom* random = nullptr;
    GameRandom ownRandom;
    ClockStamp (*clock)() = &MonotonicNow;

    // The candidate list of the seat to move; slot 0 holds the choice.
    MoveGenWork aiMoveList;
    MoveCand aiMoveTemp;
    // A planned attack path and its number of moves.
    MoveCand aiPlanMoves[kPlanCapacity];
    int32_t aiPlanLength = 0;

    // Move lists of the scoring and planning routines, each its own.
    MoveGenWork threatMoveList;
    MoveGenWork replyMoveList;
    MoveGenWork searchMoveList;
    MoveGenWork sideStepMoveList;

    PieceTable aiScratchBoard = {};
    PieceTable aiScratchBoard2 = {};
    PieceTable aiScratchBoard3 = {};
    StepRec lastStepRecord;

    // The move being tested and the path finder's output and work areas.
    MoveRec move;
    PathBuffer path;
    PathWork pathWork;

    int32_t aiDangerCounts[kPointSlots] = {};
    ClockStamp aiPhaseTimes[3];

    // Path search by cost levels.
    int32_t searchParent[kPointSlots] = {};
    int32_t searchCost[kPointSlots] = {};
    FixedList<int32_t, kSearchFrontier> frontier;
    FixedList<int32_t, kSearchFrontier> nextFrontier;
    PieceTable searchBoard = {};  // the path search's own copy of its table
    PieceGrid searchPathGrid;     // ... and who stands where on its two tables
    PieceGrid searchLookupGrid;

    // Seats' moves kept to derive the moves on nearby boards: on the board
    // the choice starts from, and on the board a seat replies on.
    SeatMoves rootMoves[kSeats];
    SeatMoves replyBase;
    MoveGenWork deriveMoveList;
    PieceGrid deriveGrid;
    PieceTable deriveBoard = {};

    // Attack relations and the reach of enemy pieces onto one point.
    FixedList<AttackRelation, 300> attackRelations;
    FixedList<AttackRelation, 50> flagThreatRelations;
    FixedList<AttackRelation, 51> counterRelations;
    FixedList<ReachEntry, 20> aiReachList;
    int32_t aiChosenIndex = 0;

    // Work areas of the upper levels' scoring and planning, each its own:
    // the greedy playout step and the counter-attacks on it, the enemy
    // moves onto one point, and the moves of a piece tried elsewhere.
    MoveGenWork playoutMoveList;
    MoveGenWork counterMoveList;
    MoveGenWork reachMoveList;
    MoveGenWork mobilityMoveList;
    MoveCand playoutProbeMove;
};

}  // namespace jq
