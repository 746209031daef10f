// Shared pieces of the view tests: a recording surrounding and a legal
// battle laid out directly on the board.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/gameui.h"
#include "core/qipan.h"

namespace jq::testing {

// Codes by deployment slot: flag in a headquarters (21), mines in the last
// two rows (15, 18, 22), bombs behind the front row (8, 14).
constexpr int kLegalFormation[25] = {5,  6, 7,  8,  9,  10, 12, 11, 3,  12, 10, 6,  7,
                                     8,  3, 2,  4,  9,  2,  10, 11, 1,  2,  12, 11};

// Every seat deployed with kLegalFormation on its own points, all alive.
inline void LayOutBattle(GameState& g) {
    for (int i = 0; i < kPieceCount; ++i) {
        const int seat = SeatOf(i);
        const int slot = i % kPiecesPerSeat;
        const BoardPoint& p = g.board->boardPoints[seat * 30 + slot];
        PieceRec& r = g.pieces[i];
        r.x = r.startX = p.gridX;
        r.y = r.startY = p.gridY;
        r.code = kLegalFormation[slot];
        r.alive = 1;
    }
    g.selectedPiece = kNoPiece;
    g.curSeat = 0;
    g.stepCount = 0;
    for (auto& row : g.eliminatedPieces)
        for (auto& b : row) b = kNoPiece;
}

// Index of the piece of `seat` holding `slot`.
inline int PieceOf(int seat, int slot) { return seat * kPiecesPerSeat + slot; }

// Records what the game asks of its surroundings.
class RecordingUi : public GameUi {
public:
    RecordingUi() {
        for (bool& v : visible) v = true;
        for (int s = 0; s < 4; ++s) labels[s] = "seat" + std::to_string(s);
    }
    int ShowMessage(const std::string& text, bool) override {
        messages.push_back(text);
        return 1;
    }
    void ShowStandardBox(const std::string& text, const std::string& caption) override {
        boxes.emplace_back(text, caption);
    }
    void PlaySound(const std::string& name, bool) override { sounds.push_back(name); }
    ClockStamp Now() override { return {}; }
    void SleepMs(int ms) override { slept += ms; }
    void ProcessMessages() override {
        ++pumps;
        if (onPump) onPump();
    }
    void PlacePiece(int piece) override { placed.push_back(piece); }
    void SetPieceVisible(int piece, bool v) override { visible[piece] = v; }
    bool PieceVisible(int piece) override { return visible[piece]; }
    void RedrawPieces() override { ++redraws; }
    void HideArrows() override { ++arrowHides; }
    void SwapPiecePictures(int a, int b) override { swaps.emplace_back(a, b); }
    std::string SeatLabel(int seat) override { return labels[seat]; }
    void SetSeatLabel(int seat, const std::string& text) override { labels[seat] = text; }

    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> boxes;
    std::vector<std::string> sounds;
    std::vector<int> placed;
    std::vector<std::pair<int, int>> swaps;
    bool visible[kPieceCount];
    std::string labels[4];
    int redraws = 0;
    int arrowHides = 0;
    int slept = 0;
    int pumps = 0;
    std::function<void()> onPump;
};

}  // namespace jq::testing
