// The piece statistics "statfile": the decoded tables, and the computer
// player's first beliefs seeded from the file at the start of a battle.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "scratch_folder.h"
#include "formations/piecestats.h"

using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto game = [] {
        auto g = std::make_unique<jq::GameState>();
        g->appFolder = fuzz::ScratchFolder("statfile");
        return g;
    }();
    static const auto tables = std::make_unique<jq::PieceStatTables>();
    jq::GameState& g = *game;

    if (jq::DecodePieceStats(data, size, *tables) == jq::StatError::kNone) {
        const std::vector<uint8_t> image = jq::EncodePieceStats(*tables);
        const size_t used = std::min<size_t>(size, jq::kStatFileBytes) / 4 * 4;
        Require(std::equal(data, data + used, image.begin()));
    }

    {
        std::ofstream out(jq::PieceStatsPath(g), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (int i = 0; i < jq::kPieceCount; ++i) {
        g.pieces[i].code = jq::kCodeNone;
        g.pieces[i].alive = 1;
    }
    jq::LoadPieceStats(g);
    // Every belief is a finite share, and the deployment rules hold: no bomb
    // on the front row, no flag outside the headquarters, no mine before the
    // last two rows.
    for (int i = 0; i < jq::kPieceCount; ++i) {
        const int slot = i % jq::kPiecesPerSeat;
        for (const auto& row : g.pieces[i].beliefs) {
            for (float w : row) Require(std::isfinite(w) && w >= 0.0f && w <= 100.01f);
            Require(slot >= 5 || row[jq::kBomb - 1] == 0.0f);
            Require(slot == 21 || slot == 23 || row[jq::kFlag - 1] == 0.0f);
            Require(slot >= 15 || row[jq::kMine - 1] == 0.0f);
        }
    }
    return 0;
}
