// Plain records shared by every part of the game model.
#pragma once

#include <array>
#include <cstdint>

namespace jq {

constexpr int kSeats = 4;
constexpr int kPiecesPerSeat = 25;
constexpr int kPieceCount = 100;
constexpr int kPointCount = 129;
constexpr int kPointSlots = 150;   // point tables hold 150 rows, 129 used
constexpr int kGridCells = 20;     // grid tables are [20][20], 17 x 17 used
constexpr int kGridMin = 12;
constexpr int kGridMax = 28;
constexpr int kMaxSteps = 510;
constexpr int kStepSlots = 520;
constexpr int kPathCapacity = 200;
constexpr int kNoPiece = -2;
constexpr int kNoPoint = -1;

// Piece codes.
enum PieceCode : int32_t {
    kCodeNone = 0,
    kFlag = 1,
    kMine = 2,
    kBomb = 3,
    kCommander = 4,       // 司令
    kArmyCommander = 5,   // 军长
    kDivision = 6,
    kBrigade = 7,
    kRegiment = 8,
    kBattalion = 9,
    kCompany = 10,
    kPlatoon = 11,
    kEngineer = 12,
};

inline bool IsValidCode(int code) { return code >= 1 && code <= 12; }
inline bool IsValidPiece(int p) { return p >= 0 && p < kPieceCount; }
inline bool IsValidSeat(int s) { return s >= 0 && s < kSeats; }
inline int SeatOf(int piece) { return piece / kPiecesPerSeat; }
inline int PartnerOf(int seat) { return (seat + 2) % kSeats; }
inline bool SameTeam(int seatA, int seatB) { return ((seatA - seatB) & 1) == 0; }

// Point kinds.
enum PointKind : int32_t {
    kHeadquarters = 0,
    kCamp = 1,
    kRailway = 2,
    kRoad = 3,
};

// Combat outcomes, seen from the mover.
enum CombatOutcome : int32_t {
    kMoverWins = 1,
    kBothRemoved = 0,
    kMoverRemoved = -1,
    kCannotMove = -100,
};

struct GridPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const GridPoint&, const GridPoint&) = default;
};

struct BoardPoint {
    int32_t gridX = 0;
    int32_t gridY = 0;
    int32_t pixelX = 0;
    int32_t pixelY = 0;
    int32_t kind = 0;
    friend bool operator==(const BoardPoint&, const BoardPoint&) = default;
};

// One piece. The picture that shows it belongs to the window, indexed by
// the piece index, so this record stays free of toolkit types.
struct PieceRec {
    int32_t x = 0;
    int32_t y = 0;
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t code = 0;
    int32_t alive = 0;
    float beliefs[kSeats][12] = {};
};
using PieceTable = std::array<PieceRec, kPieceCount>;

struct MoveRec {
    int32_t fromX = 0;
    int32_t fromY = 0;
    int32_t toX = 0;
    int32_t toY = 0;
};

// One executed step. Coordinates all 22: the seat in `outcome` was removed
// whole; all 255: that seat let its move time run out.
struct StepRec {
    int32_t mover = kNoPiece;
    int32_t target = kNoPiece;
    int32_t fromX = 0;
    int32_t fromY = 0;
    int32_t toX = 0;
    int32_t toY = 0;
    int32_t outcome = 0;
    friend bool operator==(const StepRec&, const StepRec&) = default;
};
constexpr int32_t kSurrenderCoord = 22;
constexpr int32_t kTimeoutCoord = 255;

// One candidate move of the computer player; also the body of a relayed move.
struct MoveCand {
    int32_t mover = kNoPiece;
    int32_t target = kNoPiece;
    int32_t fromX = 0;
    int32_t fromY = 0;
    int32_t toX = 0;
    int32_t toY = 0;
    int32_t outcome = 0;
    float score = 0.0f;
    float terms[8] = {};
    float scratch[4] = {};
};
constexpr int kMoveCandBytes = 80;

// Makes `m` the give-up step: no mover, no target, all four coordinates 22;
// `outcome` is the seat giving up, in the builder's view (receivers read
// nothing of it). The fields after the outcome keep their values.
inline void MakeGiveUpMove(MoveCand& m, int32_t outcome) {
    m.mover = m.target = kNoPiece;
    m.fromX = m.fromY = m.toX = m.toY = kSurrenderCoord;
    m.outcome = outcome;
}
// The same for the time-out step: all four coordinates 255, the sender's
// count of its own time-outs as the outcome.
inline void MakeTimeoutMove(MoveCand& m, int32_t count) {
    m.mover = m.target = kNoPiece;
    m.fromX = m.fromY = m.toX = m.toY = kTimeoutCoord;
    m.outcome = count;
}
inline bool IsGiveUpMove(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
    return fromX == kSurrenderCoord && fromY == kSurrenderCoord && toX == kSurrenderCoord && toY == kSurrenderCoord;
}
inline bool IsTimeoutMove(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
    return fromX == kTimeoutCoord && fromY == kTimeoutCoord && toX == kTimeoutCoord && toY == kTimeoutCoord;
}
// The same tests on a recorded step or history entry (coordinates only).
inline bool IsGiveUpMove(const StepRec& s) { return IsGiveUpMove(s.fromX, s.fromY, s.toX, s.toY); }
inline bool IsTimeoutMove(const StepRec& s) { return IsTimeoutMove(s.fromX, s.fromY, s.toX, s.toY); }
inline bool IsGiveUpMove(const MoveRec& m) { return IsGiveUpMove(m.fromX, m.fromY, m.toX, m.toY); }
inline bool IsTimeoutMove(const MoveRec& m) { return IsTimeoutMove(m.fromX, m.fromY, m.toX, m.toY); }

// Time stamp as the game clock reports it: a monotonic clock (it never
// steps with the time of day), so every turn, time-out and pause measured
// with it holds whatever happens to the wall clock. Whole seconds in 64
// bits, so no sum of stamps and pauses overflows.
struct ClockStamp {
    int64_t seconds = 0;
    uint16_t millis = 0;
    int16_t timeZone = 0;
    int16_t daylight = 0;
};

inline double StampSeconds(const ClockStamp& c) { return static_cast<double>(c.seconds) + c.millis / 1000.0; }
inline int64_t StampMs(const ClockStamp& c) { return c.seconds * 1000 + c.millis; }
// Whole seconds from `from` to `to`, held to what an int counts.
inline int SecondsBetween(const ClockStamp& from, const ClockStamp& to) {
    const int64_t d = to.seconds - from.seconds;
    return d > INT32_MAX ? INT32_MAX : d < INT32_MIN ? INT32_MIN : static_cast<int>(d);
}

// The monotonic clock every game clock stands on.
ClockStamp MonotonicNow();

}  // namespace jq
