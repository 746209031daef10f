#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "core/text.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "view/face.h"
#include "view/rotation.h"

namespace jq {
namespace {

using test::PieceOf;

using test::RecordingUi;

class RotationTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.ShowEverything();
        test::LayOutBattle(g);
        for (int s = 0; s < 4; ++s) ui.labels[s] = Gb("位置") + std::to_string(s + 1);
    }
    GameState g;
    RecordingUi ui;
};

// Anchors of the sheet layouts: the mirrored seats, the back, and codes
// without a face.
TEST(SheetCellTest, CellsOfTheFourSheets) {
    const struct {
        int seat, variant, code;
        bool faceUp;
        int left, top;
    } rows[] = {
        {0, 3, 12, true, 84, 264}, {2, 0, 9, false, 0, 0}, {1, 3, 12, true, 264, 84}, {1, 2, 7, false, 0, 56},
        {3, 0, 12, true, 0, 0},    {3, 2, 12, false, 264, 56},
        {3, 0, 13, true, 264, 0},  {0, 1, 0, true, 28, 0},  // codes without a face show the back
    };
    for (const auto& r : rows) {
        EXPECT_EQ(SheetCell(r.seat, r.variant, r.code, r.faceUp),
                  (SpriteCell{r.seat, r.left, r.top, PieceImageWidth(r.seat), PieceImageHeight(r.seat),
                              r.faceUp && r.code >= 1 && r.code <= 12}))
            << r.seat << " v" << r.variant << " code " << r.code;
    }
    EXPECT_EQ(ColourVariant(6, 2), 0);
    EXPECT_EQ(ColourVariant(2147483647, 1), 0);  // no overflow when the turns are many
    EXPECT_EQ(ColourVariant(-1, 0), 3);
}

// Which seats show face up, and the revealed flag of every seat in every
// viewing mode: the face the rule does not give, in the seat's own colour;
// concealed, the rule's picture.
TEST_F(RotationTest, FaceRuleAndRevealedFlagPerSeatAndMode) {
    const struct {
        int viewOther, net, myNetSeat;
        bool up[4];
    } modes[] = {
        {0, 0, 0, {true, false, false, false}}, {1, 0, 0, {true, true, true, true}},
        {1, 1, 0, {true, false, true, false}},  // LAN: the partner only
        {0, 1, 2, {true, false, false, false}}, {1, 0, 5, {true, true, true, true}},
    };
    for (const auto& m : modes) {
        g.viewOtherFormations = m.viewOther;
        g.netConnected = m.net;
        g.myNetSeat = m.myNetSeat;
        for (int s = 0; s < 4; ++s) {
            SCOPED_TRACE(::testing::Message() << "seat " << s << " view " << m.viewOther << " net " << m.net
                                              << " turns " << m.myNetSeat);
            EXPECT_EQ(FaceUpByRule(g, s), m.up[s]);
            EXPECT_EQ(RuleCell(g, PieceOf(s, 15)).faceUp, m.up[s]);
            const int variant = (m.myNetSeat + s) % 4;
            const FlagDrawing shown = FlagCell(g, PieceOf(s, 7), true);
            ASSERT_EQ(shown.turn, FlagTurn::kDraw);
            EXPECT_EQ(shown.piece, PieceOf(s, 21));
            EXPECT_EQ(shown.cell, SheetCell(s, variant, kFlag, !m.up[s]));
            const FlagDrawing back = FlagCell(g, PieceOf(s, 24), false);
            EXPECT_EQ(back.cell, SheetCell(s, variant, kFlag, m.up[s]));
            EXPECT_EQ(back.cell, RuleCell(g, PieceOf(s, 21)));
        }
    }
}

TEST_F(RotationTest, FirstFlagOfASeatIsTurnedAndAMissingOneReportedOnlyWhenLaidOut) {
    g.pieces[PieceOf(2, 3)].code = kFlag;  // a second flag, at a lower index
    g.pieces[PieceOf(2, 3)].alive = 0;     // dead or alive alike
    EXPECT_EQ(FlagCell(g, PieceOf(2, 21), true).piece, PieceOf(2, 3));
    g.pieces[PieceOf(3, 21)].code = kEngineer;
    EXPECT_EQ(FlagCell(g, PieceOf(3, 0), true).turn, FlagTurn::kNoFlag);
    for (int k = 0; k < 25; ++k) g.pieces[PieceOf(3, k)].code = 0;
    EXPECT_EQ(FlagCell(g, PieceOf(3, 0), true).turn, FlagTurn::kSkip);
    EXPECT_EQ(FlagCell(g, -2, true).turn, FlagTurn::kSkip);
    EXPECT_EQ(FlagCell(g, 100, false).turn, FlagTurn::kSkip);
}


TEST_F(RotationTest, OneTurnPassesEverySeatDown) {
    g.pieces[PieceOf(1, 0)].beliefs[1][3] = 42.0f;  // seat 1's view of its own piece
    g.pieces[PieceOf(1, 4)].alive = 0;
    ui.visible[PieceOf(1, 4)] = false;
    g.selectedPiece = 3;
    ui.visible[3] = false;  // caught by the blink
    g.moveHistory[0] = MoveRec{23, 18, 24, 18};
    g.moveHistory[1] = MoveRec{255, 255, 255, 255};
    g.eliminatedPieces[1][0] = 30;
    g.eliminatedPieces[0][0] = 10;
    g.curSeat = 0;
    RotateView(g);
    // Seat 1's slot 0 on (23, 18) becomes index 0 on (18, 17), and observes as seat 0.
    EXPECT_EQ((GridPoint{g.pieces[0].startX, g.pieces[0].startY}), (GridPoint{18, 17}));
    EXPECT_EQ(g.pieces[0].beliefs[0][3], 42.0f);
    // The selection ends shown; a taken piece stays hidden under its new number.
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_TRUE(ui.visible[3 + 75]);
    EXPECT_FALSE(ui.visible[PieceOf(0, 4)]);
    auto coords = [](const MoveRec& m) { return std::array<int, 4>{m.fromX, m.fromY, m.toX, m.toY}; };
    EXPECT_EQ(coords(g.moveHistory[0]), (std::array<int, 4>{18, 17, 18, 16}));
    EXPECT_EQ(coords(g.moveHistory[1]), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_EQ(g.eliminatedPieces[0][0], 5);
    EXPECT_EQ(g.eliminatedPieces[3][0], 85);
    EXPECT_EQ(g.eliminatedPieces[1][0], kNoPiece);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(ui.labels[s], g.seatNames[s]);
    EXPECT_EQ(ui.labels[0], Gb("位置2"));
    EXPECT_EQ(ui.labels[3], Gb("位置1"));
    EXPECT_EQ(g.curSeat, 3);
    EXPECT_EQ(g.myNetSeat, 1);
    EXPECT_EQ(std::memcmp(&g.deployedPieces, &g.pieces, sizeof g.pieces), 0);
}

TEST_F(RotationTest, StepRecordsTurn) {
    const StepRec before[] = {
        {30, 57, 23, 18, 24, 18, 1}, {-2, -2, 22, 22, 22, 22, 0},  // a surrender: the seat turns
        {-2, -2, 255, 255, 255, 255, 2}, {10, -2, 18, 17, 18, 18, 1},
        {12, 34, 0, 5, 6, 7, 8},        // empty: fromX 0
        {5, 60, 22, 22, 22, 23, 0},     // from the centre: an ordinary move
    };
    const StepRec after[] = {{5, 32, 18, 17, 18, 16, 1},       {-2, -2, 22, 22, 22, 22, 3},
                             {-2, -2, 255, 255, 255, 255, 1}, {85, -2, 17, 22, 18, 22, 1},
                             {12, 34, 0, 5, 6, 7, 8},         {80, 35, 22, 18, 23, 18, 0}};
    std::copy(std::begin(before), std::end(before), g.stepRecords);
    RotateStepRecords(g);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(g.stepRecords[k], after[k]) << k;
}

TEST_F(RotationTest, FourTurnsComeBackToTheStart) {
    g.pieces[PieceOf(2, 5)].x = 20;  // a piece that moved into the centre
    g.pieces[PieceOf(2, 5)].y = 20;
    g.pieces[PieceOf(3, 7)].alive = 0;
    g.pieces[PieceOf(1, 1)].beliefs[2][4] = 13.0f;
    g.stepRecords[0] = StepRec{30, 57, 23, 18, 24, 18, 1};
    g.stepRecords[1] = StepRec{-2, -2, 22, 22, 22, 22, 2};
    g.moveHistory[0] = MoveRec{23, 18, 24, 18};
    g.eliminatedPieces[2][0] = 55;
    g.curSeat = 1;
    g.myNetSeat = 2;
    const GameState before = g;
    const RecordingUi was = ui;
    for (int t = 0; t < 4; ++t) RotateView(g);
    EXPECT_EQ(std::memcmp(&g.pieces, &before.pieces, sizeof g.pieces), 0);
    EXPECT_EQ(std::memcmp(g.stepRecords, before.stepRecords, sizeof g.stepRecords), 0);
    EXPECT_EQ(std::memcmp(g.moveHistory, before.moveHistory, sizeof g.moveHistory), 0);
    EXPECT_EQ(std::memcmp(g.eliminatedPieces, before.eliminatedPieces, sizeof g.eliminatedPieces), 0);
    EXPECT_EQ(g.curSeat, 1);
    EXPECT_EQ(g.myNetSeat, 6);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(ui.labels[s], was.labels[s]);
}

TEST_F(RotationTest, UnplacedPiecesTurnWithoutComplaintAndTheViewSwitchToggles) {
    GameState fresh;
    RecordingUi quiet;
    fresh.ui = &quiet;
    for (int t = 0; t < 4; ++t) RotateView(fresh);
    EXPECT_TRUE(quiet.messages.empty());
    EXPECT_TRUE(quiet.placed.empty());
    EXPECT_EQ((GridPoint{fresh.pieces[0].x, fresh.pieces[0].y}), (GridPoint{0, 0}));

    EXPECT_EQ(ToggleViewOtherFormations(g), Gb("不看棋了"));
    EXPECT_EQ(g.viewOtherFormations, 1);
    EXPECT_EQ(ToggleViewOtherFormations(g), Gb("看别人棋"));
    EXPECT_EQ(g.viewOtherFormations, 0);
    EXPECT_EQ(ui.redraws, 2);
}

}  // namespace
}  // namespace jq
