#include <gtest/gtest.h>

#include "core/text.h"
#include "records/layout.h"
#include "support/files_support.h"
#include "support/scene.h"

namespace jq {
namespace {

TEST(LayoutBattle, ViewSeatChoosesTheRowsAndLabels) {
    test::TestGame t;
    GameState& g = t.g();
    CodeTable codes;
    NameTable names;
    for (int f = 0; f < 4; ++f) {
        for (int k = 0; k < 25; ++k) codes.rows[f][k] = static_cast<int8_t>(1 + (f * 3 + k) % 12);
        PutNameRow(names, f, std::string(1, static_cast<char>('A' + f)));
    }
    PutNameRow(names, 1, "\t\x01" "  Bob\x1f ");
    PutNameRow(names, 2, "    ");
    codes.rows[3][4] = 13;
    codes.rows[3][5] = static_cast<int8_t>(0xFF);
    codes.rows[3][6] = 0;
    for (PieceRec& p : g.pieces) p.alive = 0;
    g.pieces[3].beliefs[1][2] = 33.0f;
    g.curSeat = 3;
    g.stepCount = 9;

    LayoutBattle(g, 3, codes, names);  // row 3 at the bottom, row 0 on the right
    const std::string labels[4] = {"D", "A", "Bob", ""};
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(t.ui.labels[s], labels[s]) << s;
        for (int k = 0; k < 25; ++k) {
            const PieceRec& p = g.pieces[s * 25 + k];
            const int code = codes.rows[(s + 3) % 4][k];
            EXPECT_EQ(p.code, code >= 1 && code <= 12 ? code : 0) << s << "," << k;
            const GridPoint at = test::SlotPoint(s, k);
            EXPECT_EQ(p.x * 100 + p.y, at.x * 100 + at.y);
            EXPECT_EQ(p.startX * 100 + p.startY, at.x * 100 + at.y);
            EXPECT_EQ(p.alive, 1);
            EXPECT_TRUE(t.ui.visible[s * 25 + k]);
        }
    }
    // What the layout leaves alone.
    EXPECT_EQ(g.pieces[3].beliefs[1][2], 33.0f);
    EXPECT_EQ(g.curSeat, 3);
    EXPECT_EQ(g.stepCount, 9);
    EXPECT_EQ(t.ui.arrowHides, 1);
    EXPECT_EQ(t.ui.redraws, 1);
    EXPECT_EQ(t.ui.placed.size(), 100u);
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
    PutNameRow(names, 3, std::string(27, 'n') + "\x81\x30\x81\x30");  // a four-byte GB18030 character
    EXPECT_EQ(NameRow(names, 3), std::string(27, 'n'));
    PutNameRow(names, 9, "ignored");
    EXPECT_EQ(NameRow(names, 9), "");
}

}  // namespace
}  // namespace jq
