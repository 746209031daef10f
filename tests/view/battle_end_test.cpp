#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "ai/movegen.h"
#include "play/execute.h"
#include "play/result_rules.h"
#include "play/turnloop.h"
#include "records/battlefile.h"
#include "view/face.h"
#include "view/input.h"
#include "support/files_support.h"
#include "support/scene.h"

namespace jq {
namespace {

// A battle against the computer won by seats 0 and 2 (seats 1 and 3 give
// up), driven through the turn loop. Afterwards the board takes no move,
// selection or hover, and the saved record ends with the battle's last step.
TEST(BattleEnd, NoMoveAfterAWinAndTheRecordEndsWithTheLastStep) {
    test::RecordingUi ui;
    GameState g;
    g.ui = &ui;
    test::LayOutBattle(g);
    g.practiceMode = 1;
    ApplyPlayMode(g, PlayMode::kPractice);
    auto work = std::make_unique<MoveGenWork>(*g.board);

    for (int turn = 0; turn < 12 && g.battleRunning != 0; ++turn) {
        const int seat = g.curSeat;
        if (seat == 1 || seat == 3) {
            constexpr int k = kSurrenderCoord;
            ExecuteMove(g, kNoPiece, kNoPiece, k, k, k, k, seat);
        } else {
            ASSERT_GT(GenerateMoves(*work, g.pieces, seat), 0);
            const MoveCand& m = work->list[0];
            ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
        }
        TickMainTimer(g);
    }
    ASSERT_EQ(g.battleRunning, 0);
    ASSERT_EQ(g.optionsRecord.winRecord[0][kWinWon], 1);
    const int steps = g.stepCount;
    const StepRec last = g.stepRecords[steps - 1];

    // A movable piece of seat 0, and a selection left over from the battle.
    g.curSeat = 0;
    ASSERT_GT(GenerateMoves(*work, g.pieces, 0), 0);
    const MoveCand m = work->list[0];
    const PieceRec& r = g.pieces[m.mover];
    const ImagePlace at = PieceImagePlace(*g.board, m.mover, PointIndexAt(*g.board, r.x, r.y));
    EXPECT_EQ(HoverPiece(g, at.left, at.top, true).cursor, CursorShape::kDefault);
    EXPECT_EQ(PressPiece(g, at.left, at.top, true).cursor, CursorShape::kDefault);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    g.selectedPiece = m.mover;
    const BoardPoint& to = g.board->boardPoints[PointIndexAt(*g.board, m.toX, m.toY)];
    EXPECT_EQ(HoverBoard(g, to.pixelX - 2, to.pixelY - 2).cursor, CursorShape::kDefault);
    PressBoard(g, to.pixelX - 2, to.pixelY - 2, false);
    EXPECT_EQ(g.stepCount, steps);

    test::ScratchFolder folder;
    ASSERT_TRUE(SaveBattleFile(g, folder.Path("end.kbt")));
    const BattleDecodeResult saved = DecodeBattleFile(folder.Read("end.kbt"));
    ASSERT_EQ(saved.error, BattleFileError::kNone);
    ASSERT_EQ(static_cast<int>(saved.file.moves.size()), steps);
    const MoveRec& end = saved.file.moves.back();
    EXPECT_EQ((std::array{end.fromX, end.fromY, end.toX, end.toY}),
              (std::array{last.fromX, last.fromY, last.toX, last.toY}));
}

}  // namespace
}  // namespace jq
