#include "records/layout.h"

#include <cstring>

namespace jq {
namespace {

// Length of the GB18030 character starting at s[i] (1, 2 or 4 bytes).
size_t CharLength(std::string_view s, size_t i) {
    const auto lead = static_cast<uint8_t>(s[i]);
    if (lead < 0x81 || lead == 0xFF || i + 1 >= s.size()) return 1;
    const auto second = static_cast<uint8_t>(s[i + 1]);
    if (second >= 0x30 && second <= 0x39) return 4;
    return 2;
}

}  // namespace

void PutNameRow(NameTable& names, int seat, std::string_view gbName) {
    if (!IsValidSeat(seat)) return;
    char* row = names.rows[seat];
    std::memset(row, 0, kTableRowBytes);
    const size_t limit = kTableRowBytes - 1;
    size_t end = 0;
    for (size_t i = 0; i < gbName.size() && gbName[i] != '\0';) {
        const size_t len = CharLength(gbName, i);
        if (i + len > limit) break;
        i += len;
        end = i;
    }
    std::memcpy(row, gbName.data(), end);
}

std::string NameRow(const NameTable& names, int seat) {
    if (!IsValidSeat(seat)) return {};
    const char* row = names.rows[seat];
    size_t n = 0;
    while (n < kTableRowBytes && row[n] != '\0') ++n;
    return std::string(row, n);
}

std::string TrimLabelText(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<uint8_t>(text[first]) < 33) ++first;
    while (last > first && static_cast<uint8_t>(text[last - 1]) < 33) --last;
    return std::string(text.substr(first, last - first));
}

void LayoutBattle(GameState& g, int viewSeat, const CodeTable& codes, const NameTable& names) {
    viewSeat = ((viewSeat % kSeats) + kSeats) % kSeats;
    g.ui->HideArrows();
    for (int s = 0; s < kSeats; ++s) {
        const int f = (s + viewSeat) % kSeats;
        for (int k = 0; k < kPiecesPerSeat; ++k) {
            PieceRec& piece = g.pieces[s * kPiecesPerSeat + k];
            const BoardPoint& point = g.board->boardPoints[s * 30 + k];
            piece.x = piece.startX = point.gridX;
            piece.y = piece.startY = point.gridY;
            const int code = codes.rows[f][k];
            piece.code = IsValidCode(code) ? code : kCodeNone;
            piece.alive = 1;
        }
    }
    for (int p = 0; p < kPieceCount; ++p) {
        g.ui->PlacePiece(p);
        g.ui->SetPieceVisible(p, true);
    }
    for (int s = 0; s < kSeats; ++s) g.ui->SetSeatLabel(s, TrimLabelText(NameRow(names, (s + viewSeat) % kSeats)));
    g.ui->RedrawPieces();
}

}  // namespace jq
