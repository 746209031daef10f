#include "records/jqhfile.h"

#include <algorithm>
#include <cstring>

#include "core/text.h"
#include "core/datafiles.h"
#include "core/littleendian.h"
#include "formations/formation.h"
#include "view/rotation.h"

namespace jq {
namespace {

constexpr int kNamesAt = 100;
constexpr int kNameBytes = 20;
constexpr int kRotationAt = 184;
constexpr int kMoveCountAt = 200;
constexpr int kMovesAt = 204;
constexpr int kCellsAt = 4212;
constexpr int kCells = 17;

bool AllBytes(const uint8_t* r, uint8_t v) { return r[0] == v && r[1] == v && r[2] == v && r[3] == v; }

MoveRec ConvertMove(const uint8_t* r) {
    if (AllBytes(r, 254)) return MoveRec{kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord};
    if (AllBytes(r, 255)) return MoveRec{kTimeoutCoord, kTimeoutCoord, kTimeoutCoord, kTimeoutCoord};
    if (AllBytes(r, 0)) return MoveRec{};
    return MoveRec{28 - r[0], r[1] + 12, 28 - r[2], r[3] + 12};
}

}  // namespace

int JqhCellCode(int32_t cellValue) {
    static constexpr int kOwn[13] = {0, 5, 6, 7, 8, 9, 10, 11, 12, 1, 4, 2, 3};
    const int v = cellValue % 100;
    return (v >= 1 && v <= 12) ? kOwn[v] : kFlag;
}

int JqhViewTurns(int32_t rotation) {
    const int t = rotation % 4;
    if (t < 0) return 0;
    if (t == 0) return 2;
    if (t == 2) return 0;
    return t;
}

JqhDecodeResult DecodeJqhFile(const uint8_t* data, size_t size) {
    // The whole image, zeroed first: whatever a short file lacks reads as 0.
    std::vector<uint8_t> image(kJqhFileBytes, 0);
    if (data != nullptr) std::memcpy(image.data(), data, std::min<size_t>(size, kJqhFileBytes));
    const uint8_t* b = image.data();

    JqhDecodeResult result;
    BattleFile& file = result.file;
    char names[kSeats][kNameBytes];
    std::memcpy(names, b + kNamesAt, sizeof names);
    // The foreign seats 1 and 3 sit the other way round.
    std::swap(names[1], names[3]);
    for (int s = 0; s < kSeats; ++s) {
        size_t n = 0;
        while (n < kNameBytes && names[s][n] != '\0') ++n;
        std::memcpy(file.names.rows[s], names[s], n);
    }
    result.viewTurns = JqhViewTurns(GetI32(b + kRotationAt));

    const int32_t count = GetI32(b + kMoveCountAt);
    const int used = std::clamp<int32_t>(count, 0, kMaxSteps);
    for (int i = 0; i < used; ++i) {
        const MoveRec m = ConvertMove(b + kMovesAt + 4 * i);
        if (HasZeroCoordinate(m)) break;
        file.moves.push_back(NormaliseRecordMove(m));
    }

    // Codes of the start position, one row per seat, then turned one seat.
    const BoardTables& board = Board();
    int8_t rows[kSeats][kPiecesPerSeat] = {};
    for (int s = 0; s < kSeats; ++s)
        for (int k = 0; k < kPiecesPerSeat; ++k) {
            const BoardPoint& p = board.boardPoints[s * 30 + k];
            const int i = p.gridX - kGridMin;
            const int j = p.gridY - kGridMin;
            rows[s][k] = static_cast<int8_t>(JqhCellCode(GetI32(b + kCellsAt + 4 * (kCells * i + j))));
        }
    for (int s = 0; s < kSeats; ++s)
        for (int k = 0; k < kPiecesPerSeat; ++k) file.codes.rows[s][k] = rows[(s + 1) % kSeats][k];

    // The seat laid out at the bottom: the one whose area the first move
    // starts from (a move from the centre, or none, gives seat 0).
    const MoveRec first = file.moves.empty() ? MoveRec{} : file.moves[0];
    const int p = PointIndexAt(board, first.fromX, first.fromY);
    result.firstMoveOffBoard = p < 0;
    file.seat = p < 0 ? 0 : (4 - p / 30) % 4;
    return result;
}

BattleFileError LoadJqhFile(const std::string& path, JqhDecodeResult& out) {
    out = JqhDecodeResult{};
    const auto bytes = ReadFileBytes(path, kJqhFileBytes);
    if (!bytes) return BattleFileError::kCannotOpen;
    JqhDecodeResult decoded = DecodeJqhFile(bytes->data(), bytes->size());
    // Every cell reads as some code (an unknown one as a flag), so only the
    // count of each code tells an army from anything else.
    for (const auto& row : decoded.file.codes.rows)
        if (!IsWholeArmy(row)) return BattleFileError::kNoArmy;
    out = std::move(decoded);
    return BattleFileError::kNone;
}

void LayOutJqhFile(GameState& g, const JqhDecodeResult& decoded, BattleFile& out) {
    if (decoded.firstMoveOffBoard) g.ui->ShowMessage(Gb("位置不存在!    "), false);
    out = decoded.file;
    LayOutBattleFile(g, out);
    // The turns take the moves along.
    for (MoveRec& m : g.moveHistory) m = MoveRec{};
    std::copy(out.moves.begin(), out.moves.end(), g.moveHistory);
    for (int t = 0; t < decoded.viewTurns; ++t) RotateView(g);
    out.moves.assign(g.moveHistory, g.moveHistory + out.moves.size());
}

}  // namespace jq
