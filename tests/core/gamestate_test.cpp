#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/pathfind.h"
#include "core/qipan.h"
#include "core/text.h"
#include "support/recording_ui.h"
#include "view/selection.h"

namespace jq {
namespace {

using test::RecordingUi;

TEST(GameState, PathFinderNoticesGoToTheWindowTheGameHasNow) {
    GameState g;
    RecordingUi first, second;
    g.ui = &first;
    g.pieces[0] = {19, 19, 0, 0, kEngineer, 1};  // an engineer on a cell without a point
    EXPECT_EQ(FindMovePath(g.pathWork, 0, 19, 19, 18, 22, g.path, g.pieces, nullptr), -1);
    g.ui = &second;
    EXPECT_EQ(CheckStepBlocked(g.pathWork, 19, 18, 18, 17, g.path, 0, g.pieces), 1);
    EXPECT_EQ(first.messages.size() * 10 + second.messages.size(), 11u);
}

TEST(Selection, BlinkHidesTwoTicksInNineteenAndClearingShowsThePieceAgain) {
    GameState g;
    RecordingUi ui;
    g.ui = &ui;
    g.pieces[7] = {20, 16, 20, 16, kPlatoon, 1};
    for (int none : {kNoPiece, 100, 12345}) {  // nothing selected: no image is touched
        g.selectedPiece = none;
        ClearSelection(g);
        EXPECT_EQ(g.selectedPiece, kNoPiece);
    }
    EXPECT_TRUE(ui.shown.empty());
    SelectPiece(g, 7);
    std::string blink;
    for (int tick = 0; tick < 38; ++tick) {
        TickSelectionBlink(g);
        ASSERT_EQ(ui.shown.back().piece, 7);
        blink += ui.shown.back().visible ? '+' : '-';
    }
    EXPECT_EQ(blink, "--+++++++++++++++++--+++++++++++++++++");
    g.selectionBlink = 0;
    TickSelectionBlink(g);  // hidden now
    ClearSelection(g);
    EXPECT_EQ(ui.shown.back(), (RecordingUi::Shown{7, true}));
    const size_t calls = ui.shown.size();
    TickSelectionBlink(g);  // nothing blinks without a selection
    EXPECT_EQ(ui.shown.size(), calls);
    SelectPiece(g, 7);  // a piece taken off stays hidden
    g.pieces[7].alive = 0;
    ClearSelection(g);
    EXPECT_EQ(ui.shown.back(), (RecordingUi::Shown{7, false}));
}

}  // namespace
}  // namespace jq
