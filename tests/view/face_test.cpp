#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "core/text.h"
#include "view/face.h"
#include "view_support.h"

namespace jq {
namespace {

using testing::LayOutBattle;
using testing::PieceOf;
using testing::RecordingUi;

class FaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        LayOutBattle(g);
    }
    GameState g;
    RecordingUi ui;
};

TEST(SheetCellTest, EveryCellLiesInItsSheetAndNoTwoPicturesShareOne) {
    for (int seat = 0; seat < 4; ++seat) {
        const int sheetW = (seat & 1) ? 286 : 112;
        const int sheetH = (seat & 1) ? 112 : 286;
        std::set<std::tuple<int, int>> faces;
        std::set<std::tuple<int, int>> backs;
        for (int v = 0; v < 4; ++v) {
            for (int code = 1; code <= 12; ++code) {
                const SpriteCell c = SheetCell(seat, v, code, true);
                EXPECT_EQ(c.sheet, seat);
                EXPECT_TRUE(c.faceUp);
                EXPECT_EQ(c.width, PieceImageWidth(seat));
                EXPECT_EQ(c.height, PieceImageHeight(seat));
                EXPECT_GE(c.left, 0);
                EXPECT_GE(c.top, 0);
                EXPECT_LE(c.left + c.width, sheetW);
                EXPECT_LE(c.top + c.height, sheetH);
                EXPECT_TRUE(faces.insert({c.left, c.top}).second) << seat << " " << v << " " << code;
            }
            const SpriteCell b = SheetCell(seat, v, 5, false);
            EXPECT_FALSE(b.faceUp);
            EXPECT_EQ(b, SheetCell(seat, v, 12, false));  // every back of a variant is one cell
            backs.insert({b.left, b.top});
        }
        EXPECT_EQ(backs.size(), 4u);
        for (const auto& b : backs) EXPECT_EQ(faces.count(b), 0u);
    }
}

TEST(SheetCellTest, CodesWithoutAFaceShowTheBack) {
    for (int code : {0, -1, 13, 1000}) {
        for (int seat = 0; seat < 4; ++seat) {
            const SpriteCell c = SheetCell(seat, 2, code, true);
            EXPECT_FALSE(c.faceUp);
            EXPECT_EQ(c, SheetCell(seat, 2, kFlag, false));
        }
    }
}

// Cells read off the sheet layouts: upright sheets by (variant column,
// picture row), turned sheets by (picture column, variant row), seat 3's
// columns running from the engineer (0) to the back (12).
TEST(SheetCellTest, CellsOfTheFourSheets) {
    struct Row {
        int seat, variant, code;
        bool faceUp;
        int left, top, width, height;
    };
    const Row rows[] = {
        {0, 0, 1, true, 0, 22, 28, 22},      {0, 1, 5, false, 28, 0, 28, 22},
        {0, 3, 12, true, 84, 264, 28, 22},   {2, 2, 4, true, 56, 88, 28, 22},
        {2, 0, 9, false, 0, 0, 28, 22},      {1, 0, 1, true, 22, 0, 22, 28},
        {1, 3, 12, true, 264, 84, 22, 28},   {1, 2, 7, false, 0, 56, 22, 28},
        {3, 0, 12, true, 0, 0, 22, 28},      {3, 2, 12, true, 0, 56, 22, 28},
        {3, 2, 12, false, 264, 56, 22, 28},  {3, 1, 1, true, 242, 28, 22, 28},
        {3, 3, 4, true, 176, 84, 22, 28},
    };
    for (const Row& r : rows) {
        const SpriteCell c = SheetCell(r.seat, r.variant, r.code, r.faceUp);
        EXPECT_EQ(c.sheet, r.seat);
        EXPECT_EQ(c.left, r.left) << r.seat << " v" << r.variant << " code " << r.code << " up " << r.faceUp;
        EXPECT_EQ(c.top, r.top) << r.seat << " v" << r.variant << " code " << r.code << " up " << r.faceUp;
        EXPECT_EQ(c.width, r.width);
        EXPECT_EQ(c.height, r.height);
        EXPECT_EQ(c.faceUp, r.faceUp);
    }
}

TEST(ColourVariantTest, FollowsTheTurnsOfTheView) {
    EXPECT_EQ(ColourVariant(1, 0), 1);
    EXPECT_EQ(ColourVariant(1, 3), 0);
    EXPECT_EQ(ColourVariant(6, 0), 2);
    EXPECT_EQ(ColourVariant(6, 2), 0);
    EXPECT_EQ(ColourVariant(2147483647, 1), 0);  // no overflow when the count is huge
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
            EXPECT_EQ(RuleCell(g, PieceOf(s, 16)).faceUp, r.up[s]);
        }
    }
}

TEST_F(FaceTest, RuleCellUsesTheColourOfTheAbsoluteSeat) {
    g.myNetSeat = 1;
    EXPECT_EQ(RuleCell(g, PieceOf(0, 0)).left, 28);  // column 1 of seat 0's sheet
    EXPECT_EQ(RuleCell(g, PieceOf(3, 0)).top, 0);    // row 0 of seat 3's sheet
    g.myNetSeat = 6;
    EXPECT_EQ(RuleCell(g, PieceOf(0, 0)).left, 56);
    g.viewOtherFormations = 1;
    EXPECT_EQ(RuleCell(g, PieceOf(2, 0)).left, 0);
}

TEST_F(FaceTest, RevealedFlagShowsTheOtherFace) {
    const int flag1 = PieceOf(1, 21);
    // Hidden seat: the revealed flag shows its face.
    FlagDrawing d = FlagCell(g, PieceOf(1, 16), true);
    ASSERT_EQ(d.turn, FlagTurn::kDraw);
    EXPECT_EQ(d.piece, flag1);
    EXPECT_EQ(d.cell, SheetCell(1, 1, kFlag, true));
    // Shown seat: the revealed flag shows the back.
    g.viewOtherFormations = 1;
    d = FlagCell(g, PieceOf(1, 16), true);
    EXPECT_EQ(d.cell, SheetCell(1, 1, kFlag, false));
    // Seat 0 is always face up, so its revealed flag is the back.
    d = FlagCell(g, 3, true);
    EXPECT_EQ(d.piece, PieceOf(0, 21));
    EXPECT_FALSE(d.cell.faceUp);
    // Concealing gives the face rule's picture back.
    EXPECT_EQ(FlagCell(g, 3, false).cell, RuleCell(g, PieceOf(0, 21)));
}

// The revealed flag of every seat in every viewing mode: the face the rule
// does not give, in the seat's own colour.
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

TEST_F(FaceTest, OnlyTheFirstFlagOfASeatIsTurned) {
    g.pieces[PieceOf(2, 3)].code = kFlag;  // a second flag, at a lower index
    g.pieces[PieceOf(2, 3)].alive = 0;     // dead or alive alike
    EXPECT_EQ(FlagCell(g, PieceOf(2, 21), true).piece, PieceOf(2, 3));
}

TEST_F(FaceTest, MissingFlagIsReportedOnlyForALaidOutSeat) {
    g.pieces[PieceOf(3, 21)].code = kEngineer;
    EXPECT_EQ(FlagCell(g, PieceOf(3, 0), true).turn, FlagTurn::kNoFlag);
    for (int k = 0; k < 25; ++k) g.pieces[PieceOf(3, k)].code = 0;
    EXPECT_EQ(FlagCell(g, PieceOf(3, 0), true).turn, FlagTurn::kSkip);
    EXPECT_EQ(FlagCell(g, -2, true).turn, FlagTurn::kSkip);
    EXPECT_EQ(FlagCell(g, 100, false).turn, FlagTurn::kSkip);
}

TEST_F(FaceTest, PlacePieceAtOffTheBoardStoresAndTells) {
    PlacePieceAt(g, 7, 12, 12);  // a corner of the grid without a point
    EXPECT_EQ(g.pieces[7].x, 12);
    EXPECT_EQ(g.pieces[7].y, 12);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], Gb("该位置不存在！      "));
}

}  // namespace
}  // namespace jq
