#include <gtest/gtest.h>

#include "view/face.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::LayOutBattle;
using test::PieceOf;
using test::RecordingUi;

class FaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.ShowEverything();
        LayOutBattle(g);
    }
    GameState g;
    RecordingUi ui;
};

// Anchors of the sheet layouts; the artwork test checks every cell against
// the pictures.
TEST(SheetCellTest, CellsOfTheFourSheets) {
    struct Row {
        int seat, variant, code;
        bool faceUp;
        int left, top;
    };
    const Row rows[] = {
        {0, 3, 12, true, 84, 264}, {2, 0, 9, false, 0, 0}, {1, 3, 12, true, 264, 84}, {1, 2, 7, false, 0, 56},
        {3, 0, 12, true, 0, 0},    {3, 2, 12, false, 264, 56},
        {3, 0, 13, true, 264, 0},  {0, 1, 0, true, 28, 0},  // codes without a face show the back
    };
    for (const Row& r : rows) {
        const SpriteCell c = SheetCell(r.seat, r.variant, r.code, r.faceUp);
        EXPECT_EQ(c, (SpriteCell{r.seat, r.left, r.top, PieceImageWidth(r.seat), PieceImageHeight(r.seat),
                                 r.faceUp && r.code >= 1 && r.code <= 12}))
            << r.seat << " v" << r.variant << " code " << r.code;
    }
    EXPECT_EQ(ColourVariant(6, 2), 0);
    EXPECT_EQ(ColourVariant(2147483647, 1), 0);  // no overflow when the turns are many
    EXPECT_EQ(ColourVariant(-1, 0), 3);
}

TEST_F(FaceTest, FaceRulePerSeatAndMode) {
    struct Row {
        int viewOther, net;
        bool up[4];
    };
    const Row rows[] = {
        {0, 0, {true, false, false, false}},
        {1, 0, {true, true, true, true}},
        {1, 1, {true, false, true, false}},  // LAN: the partner only
        {0, 1, {true, false, false, false}},
    };
    for (const Row& r : rows) {
        g.viewOtherFormations = r.viewOther;
        g.netConnected = r.net;
        for (int s = 0; s < 4; ++s) {
            EXPECT_EQ(FaceUpByRule(g, s), r.up[s]) << r.viewOther << r.net << s;
            EXPECT_EQ(RuleCell(g, PieceOf(s, 15)).faceUp, r.up[s]);
        }
    }
}

// The revealed flag of every seat in every viewing mode: the face the rule
// does not give, in the seat's own colour; concealed, the rule's picture.
TEST_F(FaceTest, RevealedAndConcealedFlagOfEverySeatAndMode) {
    struct Mode {
        int viewOther, net, myNetSeat;
    };
    const Mode modes[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 2}, {1, 0, 5}};
    for (const Mode& m : modes) {
        g.viewOtherFormations = m.viewOther;
        g.netConnected = m.net;
        g.myNetSeat = m.myNetSeat;
        for (int s = 0; s < 4; ++s) {
            SCOPED_TRACE(::testing::Message() << "seat " << s << " view " << m.viewOther << " net " << m.net
                                              << " turns " << m.myNetSeat);
            const bool ruleUp = s == 0 || (m.viewOther == 1 && (s == 2 || m.net == 0));
            const int variant = (m.myNetSeat + s) % 4;
            const FlagDrawing shown = FlagCell(g, PieceOf(s, 7), true);
            ASSERT_EQ(shown.turn, FlagTurn::kDraw);
            EXPECT_EQ(shown.piece, PieceOf(s, 21));
            EXPECT_EQ(shown.cell, SheetCell(s, variant, kFlag, !ruleUp));
            const FlagDrawing back = FlagCell(g, PieceOf(s, 24), false);
            EXPECT_EQ(back.cell, SheetCell(s, variant, kFlag, ruleUp));
            EXPECT_EQ(back.cell, RuleCell(g, PieceOf(s, 21)));
        }
    }
}

TEST_F(FaceTest, FirstFlagOfASeatIsTurnedAndAMissingOneReportedOnlyWhenLaidOut) {
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

}  // namespace
}  // namespace jq
