// Moves for tests that play against the host's copy of a LAN battle: a move seen on the copy (the host's
// view) turned into the view its sender sends it in.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "ai/movegen.h"
#include "net/wire/packet.h"
#include "core/board.h"

namespace jq::test {

// The move `m` (host's view) as seat `seat` sends it: its own pieces 0..24, itself at the bottom.
inline net::MoveQzBody InSenderView(const MoveCand& m, int seat) {
    MoveCand c = m;
    if (IsValidPiece(c.mover)) c.mover %= kPiecesPerSeat;
    if (IsValidPiece(c.target))
        c.target = ((SeatOf(c.target) - seat + kSeats) % kSeats) * kPiecesPerSeat + c.target % kPiecesPerSeat;
    if (IsValidPiece(m.mover)) {
        const GridPoint from = TurnGridPoint(GridPoint{c.fromX, c.fromY}, seat);
        const GridPoint to = TurnGridPoint(GridPoint{c.toX, c.toY}, seat);
        c.fromX = from.x, c.fromY = from.y, c.toX = to.x, c.toY = to.y;
    }
    return net::MoveQzBody{c, seat};
}

// The legal moves of `seat` (the seat to move when -1) on `g`, host's view, with their true outcomes; `fights` chooses
// attacks or moves onto empty points.
inline std::vector<MoveCand> LegalMoves(const GameState& g, bool fights, int seat = -1) {
    auto work = std::make_unique<MoveGenWork>(*g.board);
    const int n = GenerateMoves(*work, g.pieces, seat < 0 ? g.curSeat : seat);
    std::vector<MoveCand> out;
    for (int i = 0; i < n; ++i)
        if (IsValidPiece(work->list[i].target) == fights) out.push_back(work->list[i]);
    return out;
}

// A quiet move (onto an empty point) of the seat to move, the `pick`-th modulo their number.
inline std::optional<net::MoveQzBody> QuietMove(const GameState& g, int pick) {
    const std::vector<MoveCand> moves = LegalMoves(g, false);
    if (moves.empty()) return std::nullopt;
    return InSenderView(moves[static_cast<size_t>(pick) % moves.size()], g.curSeat);
}

}  // namespace jq::test
