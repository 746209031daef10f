// Random battles for the replay tests, and a writer of foreign records.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

#include "ai/movegen.h"
#include "formations/newbattle.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "records/battlefile.h"
#include "core/littleendian.h"
#include "records/jqhfile.h"
#include "support/files_support.h"

namespace jq::replaytest {

struct PlayedRecord {
    std::unique_ptr<test::TestGame> t = std::make_unique<test::TestGame>();
    std::vector<uint8_t> kbt;
};

// Step `timeoutAt` is a time-out and `giveUpAt` a give-up; every other step a random
// legal move, an attack when there is one (a give-up without any move).
inline PlayedRecord PlayRandomBattle(uint32_t seed, int timeoutAt, int giveUpAt) {
    PlayedRecord r;
    GameState& g = r.t->g();
    g.optionsRecord.recordLatestFormations = 0;
    g.mainRandom.Seed(seed);
    NewBattleAgainstComputer(g);
    g.deployPhase = 0, g.deployedPieces = g.pieces;
    g.clickStepCount = 10;  // no animation
    auto work = std::make_unique<MoveGenWork>(*g.board);
    while (g.battleRunning != 0 && g.stepCount < kMaxSteps) {
        const int n = GenerateMoves(*work, g.pieces, g.curSeat);
        if (g.stepCount == timeoutAt || g.stepCount == giveUpAt || n == 0) {
            const int c = g.stepCount == timeoutAt ? 255 : 22;
            ExecuteMove(g, kNoPiece, kNoPiece, c, c, c, c, c == 255 ? 1 : g.curSeat);
        } else {
            int attacks = 0;
            for (int i = 0; i < n; ++i)
                if (work->list[i].target >= 0) work->list[attacks++] = work->list[i];
            const MoveCand& m = work->list[g.mainRandom.Next() % (attacks > 0 ? attacks : n)];
            ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
        }
        CheckBattleEnd(g);
    }
    g.clickStepCount = 1;
    r.kbt = EncodeBattleFile(BattleFileFromGame(g, false));
    return r;
}

inline int ForeignCode(int own) {
    static constexpr int kForeign[13] = {0, 9, 11, 12, 10, 1, 2, 3, 4, 5, 6, 7, 8};
    return IsValidCode(own) ? kForeign[own] : 0;
}

// A foreign record that opens to the position and moves of `file` (seat 0's view)
// after the turns its rotation field asks for.
inline std::vector<uint8_t> EncodeJqh(const BattleFile& file, int32_t rotation, int32_t countField = INT32_MIN) {
    const int t = JqhViewTurns(rotation);
    std::vector<uint8_t> image(kJqhFileBytes, 0);
    PutI32(image.data() + 184, rotation);
    const int count = static_cast<int>(file.moves.size());
    PutI32(image.data() + 200, countField != INT32_MIN ? countField : count);
    std::vector<MoveRec> inFile;
    for (int i = 0; i < count && i < kJqhMoveSlots; ++i) {
        // The file's view: t turns bring it back to the record's.
        MoveRec m = file.moves[i];
        if (!IsSpecialMove(m)) {
            const GridPoint f = TurnGridPoint({m.fromX, m.fromY}, (4 - t) % 4);
            const GridPoint to = TurnGridPoint({m.toX, m.toY}, (4 - t) % 4);
            m = MoveRec{f.x, f.y, to.x, to.y};
        }
        inFile.push_back(m);
        uint8_t* rec = image.data() + 204 + 4 * i;
        if (IsSpecialMove(m)) {
            rec[0] = rec[1] = rec[2] = rec[3] = m.fromX == kSurrenderCoord ? 254 : 255;
        } else {
            rec[0] = static_cast<uint8_t>(28 - m.fromX);
            rec[1] = static_cast<uint8_t>(m.fromY - 12);
            rec[2] = static_cast<uint8_t>(28 - m.toX);
            rec[3] = static_cast<uint8_t>(m.toY - 12);
        }
    }
    const MoveRec first = inFile.empty() ? MoveRec{} : inFile[0];
    const int p = PointIndexAt(Board(), first.fromX, first.fromY);
    const int seat = p < 0 ? 0 : (4 - p / 30) % 4;
    for (int area = 0; area < kSeats; ++area)
        for (int k = 0; k < kPiecesPerSeat; ++k) {
            const int row = ((area - seat - 1 - t) % 4 + 8) % 4;
            const BoardPoint& bp = Board().boardPoints[area * 30 + k];
            const int cell = 17 * (bp.gridX - 12) + (bp.gridY - 12);
            // Hundreds carry something else in the foreign file.
            PutI32(image.data() + 4212 + 4 * cell, 100 * (area + 1) + ForeignCode(file.codes.rows[row][k]));
        }
    return image;
}

}  // namespace jq::replaytest
