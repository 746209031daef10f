#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "core/board.h"
#include "core/pathfind.h"
#include "core/qipan.h"
#include "core/text.h"
#include "support/recording_ui.h"
#include "view/selection.h"

namespace jq {
namespace {

using test::RecordingUi;

TEST(GameState, BeforeTheFirstBattle) {
    GameState g;
    for (int i = 0; i < kPieceCount; ++i) {
        EXPECT_EQ(g.pieces[i].code, 0) << i;
        EXPECT_EQ(g.pieces[i].alive, 0) << i;
    }
    // Zero, not "none": only a battle sets them to -2 or a seat.
    EXPECT_EQ(g.selectedPiece, 0);
    EXPECT_EQ(g.curSeat, 0);
    EXPECT_EQ(g.replayFileName, "NONE");
    EXPECT_EQ(g.battleFileName, "default.kbt");
    EXPECT_EQ(g.clickStepCount, 1);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(g.path.length, 0);
    EXPECT_EQ(g.board, &Board());
    const float values[12] = {2000, 50, 130, 220, 170, 90, 70, 50, 40, 30, 20, 40};
    for (int c = 0; c < 12; ++c) EXPECT_EQ(g.pieceValues[c], values[c]) << c;
    for (int c = 12; c < 15; ++c) EXPECT_EQ(g.pieceValues[c], 0.0f);
    EXPECT_EQ(g.turnDirection, 1);
    EXPECT_EQ(g.netMinMoveInterval, 1);
    EXPECT_EQ(g.netMoveTime, 30);
    EXPECT_EQ(g.netDeployTime, 40);
    EXPECT_EQ(g.netDisconnectTime, 60);
}

TEST(GameState, TheThreeNoneMarkersDiffer) {
    GameState g;
    // No board point: -1; empty grid cell: -2; no railway neighbour: (0, 0).
    EXPECT_EQ(g.board->pointAtGrid[19 - kGridMin][19 - kGridMin], -1);
    g.pieceGrid.Fill(g.pieces);
    EXPECT_EQ(g.pieceGrid.At(20, 20), -2);
    EXPECT_EQ(g.pieceGrid.At(19, 19), -2);
    EXPECT_EQ(g.board->railLinks[1][2], (GridPoint{0, 0}));
    // Eliminated pieces are single signed bytes, so -2 fits.
    static_assert(std::is_same_v<std::remove_all_extents_t<decltype(g.eliminatedPieces)>, int8_t>);
    g.eliminatedPieces[3][29] = kNoPiece;
    EXPECT_EQ(g.eliminatedPieces[3][29], -2);
    g.eliminatedPieces[3][0] = 99;
    EXPECT_EQ(g.eliminatedPieces[3][0], 99);
}

// An engineer standing on a cell without a point asks for a railway run.
int AskImpossibleEngineerRun(GameState& g) {
    g.pieces[0] = {19, 19, 0, 0, kEngineer, 1};
    return FindMovePath(g.pathWork, 0, 19, 19, 18, 22, g.path, g.pieces, nullptr);
}

TEST(GameState, PathFinderNoticesReachTheGamesWindow) {
    GameState g;
    RecordingUi first;
    g.ui = &first;
    EXPECT_EQ(AskImpossibleEngineerRun(g), -1);
    ASSERT_EQ(first.messages.size(), 1u);
    EXPECT_EQ(first.messages[0], Gb("2.工兵起始位置不可思议！"));
    EXPECT_FALSE(first.cancelAsked);

    // The window may be replaced after the game was made; the notice goes to
    // the one the game has now.
    RecordingUi second;
    g.ui = &second;
    PathBuffer out;
    EXPECT_EQ(CheckStepBlocked(g.pathWork, 19, 18, 18, 17, out, 0, g.pieces), 1);
    ASSERT_EQ(second.messages.size(), 1u);
    EXPECT_EQ(second.messages[0], Gb("不可思意的起点或终点！") + std::string(10, ' '));
    EXPECT_FALSE(second.cancelAsked);
    EXPECT_EQ(first.messages.size(), 1u);
}

TEST(GameState, EachGameSortsItsOwnRailLinks) {
    GameState a, b;
    a.pieces[0] = {19, 17, 19, 17, kEngineer, 1};
    ASSERT_GT(FindMovePath(a.pathWork, 0, 19, 17, 25, 22, a.path, a.pieces, nullptr), 0);
    EXPECT_EQ(a.pathWork.railLinks[124][0], (GridPoint{22, 20}));
    EXPECT_EQ(b.pathWork.railLinks[124][0], (GridPoint{18, 20}));
    EXPECT_EQ(Board().railLinks[124][0], (GridPoint{18, 20}));
    EXPECT_EQ(b.path.length, 0);
}

class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        g.pieces[7] = {20, 16, 20, 16, kPlatoon, 1};
    }
    GameState g;
    RecordingUi ui;
};

TEST_F(SelectionTest, ClearingWithoutASelectionOnlyEndsIt) {
    g.selectedPiece = kNoPiece;
    ClearSelection(g);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_TRUE(ui.shown.empty());
    // Out-of-range values touch no image either.
    for (int bad : {-1, 100, 12345}) {
        g.selectedPiece = bad;
        ClearSelection(g);
        EXPECT_EQ(g.selectedPiece, kNoPiece);
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(SelectionTest, BlinkHidesTwoTicksInNineteenAndClearingShowsThePieceAgain) {
    SelectPiece(g, 7);
    EXPECT_EQ(g.selectionBlink, 0);
    std::vector<bool> visible;
    for (int tick = 0; tick < 38; ++tick) {
        TickSelectionBlink(g);
        ASSERT_FALSE(ui.shown.empty());
        EXPECT_EQ(ui.shown.back().piece, 7);
        visible.push_back(ui.shown.back().visible);
    }
    int hidden = 0;
    for (bool v : visible) hidden += v ? 0 : 1;
    EXPECT_EQ(hidden, 4);
    EXPECT_FALSE(visible[0]);  // ticks 1 and 2 of each round hide it
    EXPECT_FALSE(visible[1]);
    EXPECT_TRUE(visible[2]);

    // Cleared while the blink has it hidden: shown again.
    g.selectionBlink = 0;
    TickSelectionBlink(g);
    ASSERT_FALSE(ui.shown.back().visible);
    ClearSelection(g);
    EXPECT_EQ(ui.shown.back(), (RecordingUi::Shown{7, true}));
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    // The blink counter is left for the next selection to restart.
    EXPECT_EQ(g.selectionBlink, 1);
}

TEST_F(SelectionTest, ClearingAPieceTakenOffKeepsItHidden) {
    SelectPiece(g, 7);
    g.pieces[7].alive = 0;
    ClearSelection(g);
    EXPECT_EQ(ui.shown.back(), (RecordingUi::Shown{7, false}));
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    // Nothing blinks without a selection.
    const size_t calls = ui.shown.size();
    TickSelectionBlink(g);
    EXPECT_EQ(ui.shown.size(), calls);
}

}  // namespace
}  // namespace jq
