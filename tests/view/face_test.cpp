#include <gtest/gtest.h>

#include "support/scene.h"
#include "view/face.h"

namespace jq {
namespace {

using test::PieceOf;

class FaceTest : public ::testing::Test {
protected:
    void SetUp() override { test::LayOutBattle(g); }
    GameState g;
};

// Anchors of the sheet layouts; the artwork test checks every cell against
// the pictures.
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
TEST_F(FaceTest, FaceRuleAndRevealedFlagPerSeatAndMode) {
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
