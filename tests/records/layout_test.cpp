#include <gtest/gtest.h>

#include "core/text.h"
#include "records/layout.h"
#include "support/files_support.h"

namespace jq {
namespace {

using test::TestGame;

TEST(LayoutBattle, ViewSeatChoosesTheRows) {
    TestGame t;
    GameState& g = t.g();
    CodeTable codes;
    NameTable names;
    for (int f = 0; f < 4; ++f) {
        for (int k = 0; k < 25; ++k) codes.rows[f][k] = static_cast<int8_t>(1 + (f * 3 + k) % 12);
        PutNameRow(names, f, std::string(1, static_cast<char>('A' + f)));
    }
    codes.rows[2][4] = 13;
    codes.rows[2][5] = static_cast<int8_t>(0xFF);
    codes.rows[2][6] = 0;
    codes.rows[0][7] = static_cast<int8_t>(0x80);
    for (PieceRec& p : g.pieces) p.alive = 0;
    g.pieces[3].beliefs[1][2] = 33.0f;
    g.curSeat = 3;
    g.stepCount = 9;

    LayoutBattle(g, 2, codes, names);
    // Row 2 at the bottom, row 0 at the top.
    EXPECT_EQ(t.ui.labels[0], "C");
    EXPECT_EQ(t.ui.labels[1], "D");
    EXPECT_EQ(t.ui.labels[2], "A");
    EXPECT_EQ(t.ui.labels[3], "B");
    EXPECT_EQ(g.pieces[0].code, codes.rows[2][0]);
    EXPECT_EQ(g.pieces[4].code, 0);
    EXPECT_EQ(g.pieces[5].code, 0);
    EXPECT_EQ(g.pieces[6].code, 0);
    EXPECT_EQ(g.pieces[57].code, 0);
    EXPECT_EQ(g.pieces[25].code, codes.rows[3][0]);
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 25; ++k) {
            const PieceRec& p = g.pieces[s * 25 + k];
            const BoardPoint& q = Board().boardPoints[s * 30 + k];
            EXPECT_EQ(p.x, q.gridX);
            EXPECT_EQ(p.y, q.gridY);
            EXPECT_EQ(p.startX, p.x);
            EXPECT_EQ(p.startY, p.y);
            EXPECT_EQ(p.alive, 1);
            EXPECT_TRUE(t.ui.visible[s * 25 + k]);
        }
    // What the layout leaves alone.
    EXPECT_EQ(g.pieces[3].beliefs[1][2], 33.0f);
    EXPECT_EQ(g.curSeat, 3);
    EXPECT_EQ(g.stepCount, 9);
    EXPECT_EQ(t.ui.arrowHides, 1);
    EXPECT_EQ(t.ui.redraws, 1);
    EXPECT_EQ(t.ui.placed.size(), 100u);
}

TEST(LayoutBattle, LabelsAreTrimmed) {
    TestGame t;
    CodeTable codes;
    NameTable names;
    PutNameRow(names, 0, "  Bob   ");
    PutNameRow(names, 1, "\t\x01" "Eve\x1f ");
    PutNameRow(names, 2, "    ");
    LayoutBattle(t.g(), 0, codes, names);
    EXPECT_EQ(t.ui.labels[0], "Bob");
    EXPECT_EQ(t.ui.labels[1], "Eve");
    EXPECT_EQ(t.ui.labels[2], "");
    EXPECT_EQ(t.ui.labels[3], "");
}

TEST(NameRows, LongNamesAreCutOnACharacterBoundary) {
    NameTable names;
    const std::string chinese = Gb("一二三四五六七八九十壹贰叁肆伍");  // 30 bytes
    PutNameRow(names, 0, chinese);
    EXPECT_EQ(NameRow(names, 0), chinese.substr(0, 28));
    PutNameRow(names, 1, "x" + chinese);
    EXPECT_EQ(NameRow(names, 1), "x" + chinese.substr(0, 28));
    PutNameRow(names, 2, std::string(40, 'n'));
    EXPECT_EQ(NameRow(names, 2), std::string(29, 'n'));
    EXPECT_EQ(names.rows[2][29], '\0');
    PutNameRow(names, 9, "ignored");
    EXPECT_EQ(NameRow(names, 9), "");
}

}  // namespace
}  // namespace jq
