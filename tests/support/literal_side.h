// A side that does exactly what the protocol tells a receiving side to do with
// each packet the host sends it, and nothing more: it applies every move with
// the outcome it carries, for whatever seat it names, whenever it comes; it
// checks no legality, no outcome and no turn. Whatever such a side cannot
// agree with is something the host should never have sent.
//
// It is written apart from the game's own dispatcher (net/side/dispatch.cpp) and
// move execution (play/execute.cpp) on purpose: it shares only the packet
// codecs and the board tables. It keeps everything in absolute seats (the
// host's view): piece 25s + k is slot k of seat s. A side at seat m turns
// everything by m quarter turns into its own view and back; since the turns
// compose, its board seen from the host is the one kept here.
//
// Its clock is the packet stream: between two packets it runs the ticks a
// real side runs while nothing arrives (the end-of-battle test, then the
// state steps of the pump), so a battle starts after "AllSwitchEnd" and ends
// after the step that ends it before the next packet is applied.
//
// Header only: the fuzz targets and the benchmarks include it too.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "core/board.h"
#include "core/qipan.h"
#include "core/text.h"
#include "core/types.h"
#include "net/wire/framer.h"
#include "net/wire/packet.h"

namespace jq::testing {

// Board results, from the side of seats 0 and 2.
constexpr int kNoResult = -1;
constexpr int kResultWon = 0;
constexpr int kResultLost = 1;
constexpr int kResultDraw = 2;

struct LiteralPiece {
    int32_t x = 0, y = 0, code = 0, alive = 0;
    friend bool operator==(const LiteralPiece&, const LiteralPiece&) = default;
};
using LiteralBoard = std::array<LiteralPiece, kPieceCount>;

// One quarter turn forward of a grid point: seat k's area onto seat k + 1's.
inline GridPoint LiteralForward(GridPoint p, int turns) {
    turns = ((turns % 4) + 4) % 4;
    for (int t = 0; t < turns; ++t) p = GridPoint{40 - p.y, p.x};
    return p;
}

// A battle ends on the first tick after the step (or the agreement) that
// ends it: a draw by agreement or step limit, else the team of the seat to move, then the
// team of the next seat in turn, without a live piece. kNoResult otherwise.
inline int LiteralEndOf(const LiteralBoard& b, int curSeat, int turnDirection, bool drawn) {
    if (drawn) return kResultDraw;
    auto teamAlive = [&](int s) {
        for (int i = 0; i < kPieceCount; ++i)
            if ((SeatOf(i) == s || SeatOf(i) == (s + 2) % 4) && b[static_cast<size_t>(i)].alive == 1) return true;
        return false;
    };
    int next = curSeat + turnDirection;
    if (next > 3) next = 0;
    if (next < 0) next = 3;
    for (int s : {curSeat, next}) {
        if (!IsValidSeat(s) || teamAlive(s)) continue;
        return s % 2 == 0 ? kResultLost : kResultWon;
    }
    return kNoResult;
}

class LiteralSide {
public:
    // The side's own absolute seat (only a "JoinLast" during the deployment
    // depends on it: the own deployment stays).
    explicit LiteralSide(int seat = 0) : seat_(seat) { LayOut(); }

    void Feed(const std::vector<uint8_t>& bytes) { Feed(bytes.data(), bytes.size()); }
    void Feed(const uint8_t* data, size_t size) {
        framer_.Feed(data, size);
        while (auto p = framer_.Next()) Apply(*p);
    }

    // One packet, then the idle ticks that follow it.
    void Apply(const net::Packet& p) {
        ++packets_;
        const auto word = net::PacketWord(p);
        if (!word) return;
        switch (*word) {
            case net::Word::kJoin:
                if (auto r = net::DecodeJoin(p)) seats_[r->seat] = *r;
                break;
            case net::Word::kJoinLast:
                if (auto b = net::DecodeJoinLast(p)) JoinLast(*b);
                break;
            case net::Word::kJoinRefuse: refused_ = true; break;
            case net::Word::kJoinOk:
                if (ended_) LayOut();  // the next round's fresh deployment
                netState_ = net::kNetHostStarted;
                break;
            case net::Word::kJoinCancel:
                if (auto s = net::DecodeSeatWord(p, *word)) {
                    if (*s == 0 && seat_ == 0) {
                        seats_[0].state = 2;
                    } else {
                        seats_[*s] = SeatRec{};
                    }
                    PutBoundedText(seats_[*s].name, sizeof seats_[*s].name, Gb("计算机"));
                }
                break;
            case net::Word::kSwitchEnd:
                if (auto b = net::DecodeSwitchEnd(p)) {
                    seats_[b->seat].deployed = 2;
                    for (int k = 0; k < kPiecesPerSeat; ++k) {
                        LiteralPiece& pc = board_[static_cast<size_t>(b->seat * kPiecesPerSeat + k)];
                        pc.code = b->codes[k];
                        pc.alive = 1;
                    }
                }
                break;
            case net::Word::kAllSwitchEnd:
                if (auto b = net::DecodeAllSwitchEnd(p)) {
                    turnDirection_ = b->turnDirection;
                    curSeat_ = b->firstSeat;
                    netState_ = net::kNetAllDeployed;
                }
                break;
            case net::Word::kMoveQz:
                if (auto m = net::DecodeMoveQz(p)) Move(m->move, m->seat);
                break;
            case net::Word::kMaxStepLimited: stepLimit_ = true; break;
            case net::Word::kPeaceFinalOk: peace_ = true; break;
            case net::Word::kPeaceRequest:
                if (!running_) ++peaceOutsideBattle_;
                break;
            default: break;  // chat, refusals of peace: nothing on the board
        }
        Idle();
        Idle();
    }

    // ---- What it holds ----
    const LiteralBoard& board() const { return board_; }
    int seatToMove() const { return curSeat_; }
    int turnDirection() const { return turnDirection_; }
    int steps() const { return stepCount_; }
    const std::vector<StepRec>& stepList() const { return stepList_; }
    int result() const { return result_; }
    // The step count at which the battle ended, -1 while none has.
    int endedAt() const { return endedAt_; }
    // Board, seat to move and steps as they stood when the battle ended
    // (what came after is applied all the same, and counted below).
    struct Ending {
        LiteralBoard board{};
        int seatToMove = -1;
        std::vector<StepRec> stepList;
    };
    const Ending& ending() const { return ending_; }
    bool running() const { return running_; }
    int netState() const { return netState_; }
    const SeatRec& seatRecord(int s) const { return seats_[s]; }
    bool refused() const { return refused_; }
    // Moves that came while no battle ran (after its end, before its start).
    int movesOutsideBattle() const { return movesOutside_; }
    int peaceOutsideBattle() const { return peaceOutsideBattle_; }
    int packets() const { return packets_; }
    bool broken() const { return framer_.Broken(); }

private:
    void LayOut() {
        for (int i = 0; i < kPieceCount; ++i) {
            const BoardPoint& bp = Board().boardPoints[SeatOf(i) * 30 + i % kPiecesPerSeat];
            board_[static_cast<size_t>(i)] = LiteralPiece{bp.gridX, bp.gridY, 0, SeatOf(i) == seat_ ? 1 : 0};
        }
        peace_ = stepLimit_ = false;
        ended_ = false;
    }

    void JoinLast(const net::JoinLastBody& b) {
        for (int s = 0; s < kSeats; ++s) seats_[s] = b.seats[s];
        stepCount_ = static_cast<int>(b.steps.size());
        turnDirection_ = b.turnDirection;
        netState_ = b.netState;
        curSeat_ = b.curSeat;
        auto take = [&](int i) {
            board_[static_cast<size_t>(i)] = LiteralPiece{b.x[i], b.y[i], b.code[i], b.alive[i]};
        };
        if (b.netState >= net::kNetDeployBegins && b.netState < net::kNetBattle) {
            for (int i = 0; i < kPieceCount; ++i)
                if (SeatOf(i) != seat_) take(i);
            running_ = false;
            netState_ = net::kNetDeployBegins;
        } else if (b.netState >= net::kNetBattle) {
            for (int i = 0; i < kPieceCount; ++i) take(i);
            stepList_ = b.steps;
            running_ = true;
        }
    }

    // A move as the sender gave it, seat `s` at the bottom.
    void Move(MoveCand m, int s) {
        if (!running_) ++movesOutside_;
        if (m.mover != kNoPiece && m.fromX != 0) {
            m.mover += kPiecesPerSeat * s;
            if (m.target >= 0) m.target = ((m.target / kPiecesPerSeat + s) % kSeats) * kPiecesPerSeat + m.target % kPiecesPerSeat;
            const GridPoint a = LiteralForward({m.fromX, m.fromY}, s), b = LiteralForward({m.toX, m.toY}, s);
            m.fromX = a.x, m.fromY = a.y, m.toX = b.x, m.toY = b.y;
        }
        Execute(StepRec{m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome});
    }

    // The step carried out for the seat to move, whoever sent it.
    void Execute(const StepRec& st) {
        const int seat = curSeat_;
        const bool all22 = st.fromX == 22 && st.fromY == 22 && st.toX == 22 && st.toY == 22;
        const bool all255 = st.fromX == 255 && st.fromY == 255 && st.toX == 255 && st.toY == 255;
        if (all22 || all255) {
            Record(StepRec{kNoPiece, kNoPiece, st.fromX, st.fromY, st.toX, st.toY, seat});
            if (all22)
                for (int i = 0; i < kPiecesPerSeat; ++i)
                    if (IsValidSeat(seat)) board_[static_cast<size_t>(seat * kPiecesPerSeat + i)].alive = 0;
            PassTurn();
            return;
        }
        if (!IsValidPiece(st.mover)) return;
        if (PointIndexAt(Board(), st.fromX, st.fromY) < 0 || PointIndexAt(Board(), st.toX, st.toY) < 0) return;
        LiteralPiece& mover = board_[static_cast<size_t>(st.mover)];
        mover.x = st.toX, mover.y = st.toY;
        const bool target = IsValidPiece(st.target);
        if (st.outcome < 0) {
            mover.alive = 0;
        } else if (st.outcome > 0 && target) {
            const int t = st.target;
            if (board_[static_cast<size_t>(t)].code == kFlag)
                for (int i = 0; i < kPiecesPerSeat; ++i) board_[static_cast<size_t>(SeatOf(t) * kPiecesPerSeat + i)].alive = 0;
            board_[static_cast<size_t>(t)].alive = 0;
        } else if (st.outcome == 0) {
            mover.alive = 0;
            if (target) board_[static_cast<size_t>(st.target)].alive = 0;
        }
        PassTurn();
        Record(st);
    }

    // The record goes to slot `steps`; the count stops at the step limit.
    void Record(const StepRec& st) {
        if (stepList_.size() < static_cast<size_t>(stepCount_) + 1) stepList_.resize(static_cast<size_t>(stepCount_) + 1);
        stepList_[static_cast<size_t>(stepCount_)] = st;
        if (++stepCount_ > kMaxSteps) stepCount_ = kMaxSteps;
        stepList_.resize(static_cast<size_t>(stepCount_));
    }

    void PassTurn() {
        for (int t = 0; t < 4; ++t) {
            curSeat_ += turnDirection_;
            if (curSeat_ > 3) curSeat_ = 0;
            if (curSeat_ < 0) curSeat_ = 3;
            for (int i = 0; i < kPiecesPerSeat; ++i)
                if (board_[static_cast<size_t>(curSeat_ * kPiecesPerSeat + i)].alive == 1) return;
        }
    }

    // A main-timer tick with no packet: the end of the battle, then the
    // pump's state step.
    void Idle() {
        // An agreed draw ends the battle before its first step too.
        if (running_ && (stepCount_ > 0 || peace_)) {
            const int r = LiteralEndOf(board_, curSeat_, turnDirection_, peace_ || stepLimit_);
            if (r != kNoResult) {
                running_ = false, ended_ = true;
                result_ = r, endedAt_ = stepCount_;
                ending_ = Ending{board_, curSeat_, stepList_};
                netState_ = net::kNetJoinSent;  // the next round's "Join" is on its way
                peace_ = stepLimit_ = false;
                return;
            }
        }
        switch (netState_) {
            case net::kNetJoinSent: netState_ = net::kNetWaiting; break;
            case net::kNetHostStarted: netState_ = net::kNetDeployBegins; break;
            case net::kNetDeployBegins: netState_ = net::kNetDeploying; break;
            case net::kNetAllDeployed:
                running_ = true, ended_ = false;
                result_ = kNoResult, endedAt_ = -1;
                ending_ = Ending{};
                stepCount_ = 0;
                stepList_.clear();
                netState_ = net::kNetBattle;
                break;
            default: break;
        }
    }

    int seat_;
    net::PacketFramer framer_;
    LiteralBoard board_{};
    SeatRec seats_[kSeats];
    int curSeat_ = 0, turnDirection_ = 1, stepCount_ = 0;
    std::vector<StepRec> stepList_;
    int netState_ = net::kNetJoinSent;
    bool running_ = false, ended_ = false, peace_ = false, stepLimit_ = false, refused_ = false;
    int result_ = kNoResult, endedAt_ = -1;
    Ending ending_;
    int movesOutside_ = 0, peaceOutsideBattle_ = 0, packets_ = 0;
};

// ---- Comparing with a game of our own ----

// The board of a game turned into absolute seats (its own seat is
// g.myNetSeat).
inline LiteralBoard AbsoluteBoard(const GameState& g) {
    LiteralBoard b{};
    const int m = ((g.myNetSeat % 4) + 4) % 4;
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& p = g.pieces[static_cast<size_t>(i)];
        const GridPoint a = LiteralForward({p.x, p.y}, m);
        b[static_cast<size_t>((i + kPiecesPerSeat * m) % kPieceCount)] = LiteralPiece{a.x, a.y, p.code, p.alive};
    }
    return b;
}

inline int AbsoluteSeat(const GameState& g, int localSeat) { return (localSeat + g.myNetSeat) % kSeats; }

// The steps a game recorded, in absolute seats.
inline std::vector<StepRec> AbsoluteSteps(const GameState& g) {
    std::vector<StepRec> v;
    const int m = g.myNetSeat;
    for (int e = 0; e < std::min(g.stepCount, kMaxSteps); ++e) {
        StepRec st = g.stepRecords[e];
        const bool special = st.fromX == st.fromY && st.fromX == st.toX && st.fromX == st.toY &&
                             (st.fromX == kSurrenderCoord || st.fromX == kTimeoutCoord);
        if (special) {
            st.outcome = AbsoluteSeat(g, st.outcome);
        } else {
            st.mover = (st.mover + kPiecesPerSeat * m) % kPieceCount;
            if (st.target >= 0) st.target = (st.target + kPiecesPerSeat * m) % kPieceCount;
            const GridPoint a = LiteralForward({st.fromX, st.fromY}, m), b = LiteralForward({st.toX, st.toY}, m);
            st.fromX = a.x, st.fromY = a.y, st.toX = b.x, st.toY = b.y;
        }
        v.push_back(st);
    }
    return v;
}

// The result a game's board and flags give now, as the end-of-battle test
// would find it (absolute: from seats 0 and 2).
inline int ResultOf(const GameState& g) {
    if (g.stepCount <= 0) return kNoResult;
    const int r = LiteralEndOf(AbsoluteBoard(g), AbsoluteSeat(g, g.curSeat), g.turnDirection,
                               g.peaceAgreed != 0 || g.stepLimitReached != 0);
    return r;
}

// Where the literal side parts from a game: empty when board (every live
// piece's point and code; which pieces live), seat to move and step count
// agree; else the first differences.
inline std::string Parting(const LiteralSide& side, const GameState& g) {
    std::ostringstream out;
    const LiteralBoard theirs = AbsoluteBoard(g);
    int told = 0;
    for (int i = 0; i < kPieceCount && told < 5; ++i) {
        const LiteralPiece& a = side.board()[static_cast<size_t>(i)];
        const LiteralPiece& b = theirs[static_cast<size_t>(i)];
        if (a.alive != b.alive || (a.alive == 1 && !(a == b))) {
            out << "piece " << i << ": literal (" << a.x << "," << a.y << ") code " << a.code << " alive " << a.alive
                << ", game (" << b.x << "," << b.y << ") code " << b.code << " alive " << b.alive << "; ";
            ++told;
        }
    }
    if (side.seatToMove() != AbsoluteSeat(g, g.curSeat))
        out << "seat to move: literal " << side.seatToMove() << ", game " << AbsoluteSeat(g, g.curSeat) << "; ";
    if (side.steps() != g.stepCount) out << "steps: literal " << side.steps() << ", game " << g.stepCount << "; ";
    return out.str();
}

}  // namespace jq::testing
