// Checks the shipped pictures, sounds and help file: sizes and cell layout
// the game relies on, that every cell is drawn and tells itself apart, that
// the board picture lines up with the board's points, and that every sound
// is a playable, audible wave file.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTransform>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/board.h"

namespace {

QString SourcePath(const QString& rel) { return QString(JQ_SOURCE_DIR) + "/" + rel; }

QImage LoadImage(const QString& rel) {
    QImage img(SourcePath(rel));
    return img.convertToFormat(QImage::Format_ARGB32);
}

QByteArray LoadBytes(const QString& rel) {
    QFile f(SourcePath(rel));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

int DistinctColours(const QImage& img) {
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) colours.insert(img.pixel(x, y));
    return colours.size();
}

int OpaquePixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += qAlpha(img.pixel(x, y)) >= 128;
    return n;
}

const char* const kSounds[10] = {"move.wav",     "eat.wav",    "beeat.wav",  "die.wav", "Equal.wav",
                                 "showflag.wav", "nomove.wav", "select.wav", "ok.wav",  "attack.wav"};

// ---------------------------------------------------------------------------
// Sizes of every picture the window and the dialogs use.

TEST(AssetPictures, EveryPictureHasItsSize) {
    struct Row {
        const char* file;
        int w, h;
    };
    const Row rows[] = {
        {"allqzimage0.png", 112, 286},     {"allqzimage2.png", 112, 286},
        {"allqzimage1.png", 286, 112},     {"allqzimage3.png", 286, 112},
        {"alljiantouimage.png", 240, 24},  {"gezi.png", 524, 524},
        {"alllightimage.png", 216, 36},    {"splash.png", 402, 252},
        {"msg_icon.png", 32, 32},          {"msg_title.png", 93, 31},
        {"result_win.png", 96, 96},        {"result_lose.png", 96, 96},
        {"result_peace.png", 96, 96},      {"result_title_win.png", 93, 31},
        {"result_title_lose.png", 93, 31}, {"result_title_peace.png", 93, 31},
        {"winrec_icon.png", 32, 32},       {"winrec_title.png", 93, 31},
        {"menu_savezf.png", 16, 16},       {"menu_option.png", 16, 16},
        {"menu_load.png", 16, 16},         {"menu_exit.png", 16, 16},
        {"net_host.png", 48, 48},          {"net_join.png", 48, 48},
    };
    for (const Row& r : rows) {
        QImage img = LoadImage(QString("assets/images/") + r.file);
        ASSERT_FALSE(img.isNull()) << r.file;
        EXPECT_EQ(img.width(), r.w) << r.file;
        EXPECT_EQ(img.height(), r.h) << r.file;
        EXPECT_GE(DistinctColours(img), 4) << r.file << " looks blank";
    }
    for (int n = 0; n < 10; ++n) {
        QImage tile = LoadImage(QString("assets/images/bg%1.png").arg(n));
        ASSERT_FALSE(tile.isNull()) << n;
        EXPECT_EQ(tile.size(), QSize(16, 16)) << n;
    }
}

// The sheets are copied cell by cell onto opaque piece images, so they must
// carry no transparency.
TEST(AssetPictures, PieceAndArrowSheetsAreOpaque) {
    for (const char* f : {"allqzimage0.png", "allqzimage1.png", "allqzimage2.png", "allqzimage3.png",
                          "alljiantouimage.png"}) {
        QImage img(SourcePath(QString("assets/images/") + f));
        ASSERT_FALSE(img.isNull()) << f;
        EXPECT_FALSE(img.hasAlphaChannel()) << f;
    }
}

// ---------------------------------------------------------------------------
// Piece sheets.

// Cell of picture r (0 back, 1..12 faces) in colour variant v of a seat's
// sheet, as the board draws it.
QImage SheetCell(const QImage& sheet, int seat, int picture, int v) {
    switch (seat) {
        case 0:
        case 2:
            return sheet.copy(28 * v, 22 * picture, 28, 22);
        case 1:
            return sheet.copy(22 * picture, 28 * v, 22, 28);
        default:
            return sheet.copy(22 * (12 - picture), 28 * v, 22, 28);
    }
}

TEST(AssetPieces, EveryCellIsDrawnAndDistinct) {
    for (int seat = 0; seat < 4; ++seat) {
        QImage sheet = LoadImage(QString("assets/images/allqzimage%1.png").arg(seat));
        ASSERT_FALSE(sheet.isNull()) << seat;
        std::vector<QImage> cells;
        for (int v = 0; v < 4; ++v) {
            for (int r = 0; r <= 12; ++r) {
                QImage c = SheetCell(sheet, seat, r, v);
                // A face carries a name in anti-aliased text; a back a
                // frame and an emblem: either way many colours.
                EXPECT_GE(DistinctColours(c), 6) << "seat " << seat << " picture " << r << " variant " << v;
                cells.push_back(c);
            }
        }
        for (size_t a = 0; a < cells.size(); ++a)
            for (size_t b = a + 1; b < cells.size(); ++b)
                EXPECT_NE(cells[a], cells[b]) << "seat " << seat << " cells " << a << " and " << b;
    }
}

// Each seat shows the same artwork: the top seat upright like the bottom
// one, the right seat turned a quarter counter-clockwise, the left seat a
// quarter clockwise with its columns in reverse order.
TEST(AssetPieces, SeatSheetsAreTheBottomSheetTurned) {
    QImage s0 = LoadImage("assets/images/allqzimage0.png");
    QImage s1 = LoadImage("assets/images/allqzimage1.png");
    QImage s2 = LoadImage("assets/images/allqzimage2.png");
    QImage s3 = LoadImage("assets/images/allqzimage3.png");
    ASSERT_FALSE(s0.isNull() || s1.isNull() || s2.isNull() || s3.isNull());
    for (int v = 0; v < 4; ++v) {
        for (int r = 0; r <= 12; ++r) {
            QImage up = SheetCell(s0, 0, r, v);
            EXPECT_EQ(SheetCell(s1, 1, r, v), up.transformed(QTransform().rotate(-90)))
                << "right seat, picture " << r << " variant " << v;
            EXPECT_EQ(SheetCell(s2, 2, r, v), up) << "top seat, picture " << r << " variant " << v;
            EXPECT_EQ(SheetCell(s3, 3, r, v), up.transformed(QTransform().rotate(90)))
                << "left seat, picture " << r << " variant " << v;
        }
    }
}

// The four colour variants share one design: backs with the same frame and
// a dark middle unlike any face, and faces whose names sit in the same place.
TEST(AssetPieces, BacksAndFacesKeepOneDesignAcrossVariants) {
    QImage s0 = LoadImage("assets/images/allqzimage0.png");
    ASSERT_FALSE(s0.isNull());
    auto darkMask = [](const QImage& c) {
        std::vector<bool> m;
        for (int y = 0; y < c.height(); ++y)
            for (int x = 0; x < c.width(); ++x) m.push_back(qGray(c.pixel(x, y)) < 110);
        return m;
    };
    // Same frame in every variant: the outer border is the variant's dark
    // colour on all four backs.
    for (int v = 0; v < 4; ++v) {
        QImage back = SheetCell(s0, 0, 0, v);
        EXPECT_EQ(back.pixel(0, 0), back.pixel(27, 21)) << v;
        EXPECT_EQ(back.pixel(0, 0), back.pixel(27, 0)) << v;
        // The middle of a back is far from the light face colour.
        QImage face = SheetCell(s0, 0, 6, v);
        EXPECT_GT(qGray(face.pixel(5, 2)), qGray(back.pixel(5, 6))) << v;
    }
    // Faces keep one layout across variants: the glyph pixels (dark) of a
    // rank nearly coincide between colour variants.
    for (int r = 1; r <= 12; ++r) {
        auto m0 = darkMask(SheetCell(s0, 0, r, 0));
        auto m3 = darkMask(SheetCell(s0, 0, r, 3));
        int same = 0;
        for (size_t i = 0; i < m0.size(); ++i) same += m0[i] == m3[i];
        EXPECT_GT(same, static_cast<int>(m0.size() * 0.85)) << "rank " << r;
    }
}

// ---------------------------------------------------------------------------
// Path arrows.

TEST(AssetArrows, CellsCarryTheKeyAndAShape) {
    QImage sheet(SourcePath("assets/images/alljiantouimage.png"));
    ASSERT_FALSE(sheet.isNull());
    sheet = sheet.convertToFormat(QImage::Format_RGB32);
    const QRgb key = sheet.pixel(0, 23);
    std::vector<QImage> cells;
    for (int d = 0; d < 10; ++d) {
        QImage c = sheet.copy(24 * d, 0, 24, 24);
        EXPECT_EQ(c.pixel(0, 23), key) << "cell " << d << " bottom-left pixel is not the key";
        int drawn = 0, keyed = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) (c.pixel(x, y) == key ? keyed : drawn)++;
        EXPECT_GE(drawn, 40) << "cell " << d;
        EXPECT_GE(keyed, 200) << "cell " << d << " covers too much of the board";
        cells.push_back(c);
    }
    for (int a = 0; a < 10; ++a)
        for (int b = a + 1; b < 10; ++b) EXPECT_NE(cells[a], cells[b]) << a << " " << b;
}

// Arrow d points along path direction d (grid y grows up the screen): the
// wide head of the arrow lies on the side the step goes to.
TEST(AssetArrows, EachArrowPointsAlongItsDirection) {
    QImage sheet(SourcePath("assets/images/alljiantouimage.png"));
    ASSERT_FALSE(sheet.isNull());
    sheet = sheet.convertToFormat(QImage::Format_RGB32);
    const QRgb key = sheet.pixel(0, 23);
    // Screen direction (x right, y down) of each path direction.
    const int dir[9][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    for (int d = 1; d <= 8; ++d) {
        double len = std::hypot(dir[d][0], dir[d][1]);
        double ux = dir[d][0] / len, uy = dir[d][1] / len;
        double sum = 0, weight = 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                if (sheet.pixel(24 * d + x, y) == key) continue;
                double px = x + 0.5 - 12, py = y + 0.5 - 12;
                double along = px * ux + py * uy;
                double across = -px * uy + py * ux;
                sum += along * across * across;
                weight += across * across;
            }
        }
        ASSERT_GT(weight, 0) << d;
        EXPECT_GT(sum / weight, 1.0) << "arrow " << d << " does not point its way";
    }
}

// ---------------------------------------------------------------------------
// Board line picture and background tiles.

TEST(AssetBoard, LinePictureFollowsTheBoardPoints) {
    const jq::BoardTables& t = jq::Board();
    ASSERT_EQ(t.boardPoints[124].gridX, 20);
    QImage raw(SourcePath("assets/images/gezi.png"));
    ASSERT_FALSE(raw.isNull());
    EXPECT_LE(raw.colorCount() == 0 ? DistinctColours(raw) : raw.colorCount(), 16);
    QImage g = raw.convertToFormat(QImage::Format_RGB32);
    EXPECT_LE(DistinctColours(g), 16);
    const QRgb key = g.pixel(5, 5);
    auto at = [&](int panelX, int panelY) { return g.pixel(panelX - 2, panelY - 2); };

    // Every point is drawn, and its centre shows the fill of its kind.
    QRgb kindFill[4] = {0, 0, 0, 0};
    for (int i = 0; i < jq::kPointCount; ++i) {
        const jq::BoardPoint& p = t.boardPoints[i];
        QRgb c = at(p.pixelX, p.pixelY);
        EXPECT_NE(c, key) << "point " << i << " is not drawn";
        if (i < 120) {
            if (kindFill[p.kind] == 0) kindFill[p.kind] = c;
            EXPECT_EQ(c, kindFill[p.kind]) << "point " << i << " differs from others of its kind";
        }
    }
    // Headquarters, camps and posts look different.
    EXPECT_NE(kindFill[jq::kHeadquarters], kindFill[jq::kCamp]);
    EXPECT_NE(kindFill[jq::kHeadquarters], kindFill[jq::kRailway]);
    EXPECT_NE(kindFill[jq::kCamp], kindFill[jq::kRailway]);

    // A railway joins rail-linked points: the middle of each link is drawn.
    int links = 0;
    for (int i = 0; i < jq::kPointCount; ++i) {
        for (const jq::GridPoint& l : t.railLinks[i]) {
            if (l.x == 0) continue;
            int j = jq::PointIndexAt(t, l.x, l.y);
            ASSERT_GE(j, 0);
            const jq::BoardPoint& a = t.boardPoints[i];
            const jq::BoardPoint& b = t.boardPoints[j];
            EXPECT_NE(at((a.pixelX + b.pixelX) / 2, (a.pixelY + b.pixelY) / 2), key)
                << "rail " << i << "-" << j;
            ++links;
        }
    }
    // Each link is listed from both of its ends.
    EXPECT_EQ(links, 52 * 2 + 4 * 3 + 17 * 4);

    // The four corners between the seat areas, where the turn light and the
    // seat labels sit, let the background show.
    for (auto [x, y] : {std::pair{60, 60}, std::pair{460, 60}, std::pair{60, 460}, std::pair{460, 460}})
        EXPECT_EQ(g.pixel(x, y), key) << x << "," << y;
    // So does the space between two posts off any road: (19,17) to (19,18)
    // has no point, and the middle of the gap between the front row and
    // the centre row next to it is plain background.
    const jq::BoardPoint& front = t.boardPoints[1];  // (19, 17)
    EXPECT_EQ(at(front.pixelX, front.pixelY - 18), key);
}

TEST(AssetBoard, BackgroundTilesDifferAndLetTheLinesShow) {
    std::vector<QImage> tiles;
    for (int n = 0; n < 10; ++n) {
        QImage tile = LoadImage(QString("assets/images/bg%1.png").arg(n));
        ASSERT_FALSE(tile.isNull()) << n;
        double lum = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) lum += qGray(tile.pixel(x, y));
        lum /= 256;
        // The railways and roads are drawn in near-black ink.
        EXPECT_GT(lum, 110) << "tile " << n << " is too dark for the board lines";
        EXPECT_GE(DistinctColours(tile), 2) << "tile " << n;
        tiles.push_back(tile);
    }
    for (int a = 0; a < 10; ++a)
        for (int b = a + 1; b < 10; ++b) EXPECT_NE(tiles[a], tiles[b]) << a << " " << b;
}

TEST(AssetPictures, TurnLightFramesAnimate) {
    QImage strip = LoadImage("assets/images/alllightimage.png");
    ASSERT_FALSE(strip.isNull());
    ASSERT_GE(strip.width(), 6 * 36);
    for (int f = 0; f < 6; ++f) {
        QImage frame = strip.copy(36 * f, 0, 36, 36);
        EXPECT_GE(OpaquePixels(frame), 200) << f;
    }
    for (int f = 0; f < 4; ++f)
        EXPECT_NE(strip.copy(36 * f, 0, 36, 36), strip.copy(36 * (f + 1), 0, 36, 36)) << f;
}

TEST(AssetPictures, TitlesAndIconsAreSeeThroughAroundTheirArt) {
    for (const char* f : {"msg_title.png", "result_title_win.png", "result_title_lose.png",
                          "result_title_peace.png", "winrec_title.png", "msg_icon.png", "winrec_icon.png",
                          "result_win.png", "result_lose.png", "result_peace.png"}) {
        QImage img = LoadImage(QString("assets/images/") + f);
        ASSERT_FALSE(img.isNull()) << f;
        EXPECT_EQ(qAlpha(img.pixel(0, img.height() - 1)), 0) << f;
        EXPECT_EQ(qAlpha(img.pixel(img.width() - 1, 0)), 0) << f;
        EXPECT_GE(OpaquePixels(img), img.width() * img.height() / 8) << f;
    }
    EXPECT_NE(LoadImage("assets/images/result_win.png"), LoadImage("assets/images/result_lose.png"));
    EXPECT_NE(LoadImage("assets/images/result_win.png"), LoadImage("assets/images/result_peace.png"));
    EXPECT_NE(LoadImage("assets/images/result_lose.png"), LoadImage("assets/images/result_peace.png"));
}

// ---------------------------------------------------------------------------
// Sounds.

struct Wave {
    std::string error;
    int format = 0, channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
};

uint32_t Le(const QByteArray& b, int at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])) << (8 * i);
    return v;
}

// Reads a RIFF/WAVE file, walking its chunks with every length checked.
Wave ParseWave(const QByteArray& b) {
    Wave w;
    if (b.size() < 12 || b.left(4) != "RIFF" || b.mid(8, 4) != "WAVE") {
        w.error = "no RIFF/WAVE header";
        return w;
    }
    if (Le(b, 4, 4) != static_cast<uint32_t>(b.size() - 8)) {
        w.error = "RIFF size does not match the file";
        return w;
    }
    bool haveFmt = false, haveData = false;
    int at = 12;
    while (at + 8 <= b.size()) {
        const QByteArray id = b.mid(at, 4);
        const uint32_t len = Le(b, at + 4, 4);
        if (len > static_cast<uint32_t>(b.size() - at - 8)) {
            w.error = "chunk runs past the end";
            return w;
        }
        const int body = at + 8;
        if (id == "fmt ") {
            if (len < 16) {
                w.error = "short fmt chunk";
                return w;
            }
            w.format = static_cast<int>(Le(b, body, 2));
            w.channels = static_cast<int>(Le(b, body + 2, 2));
            w.rate = static_cast<int>(Le(b, body + 4, 4));
            const uint32_t byteRate = Le(b, body + 8, 4);
            const int align = static_cast<int>(Le(b, body + 12, 2));
            w.bits = static_cast<int>(Le(b, body + 14, 2));
            if (byteRate != static_cast<uint32_t>(w.rate * w.channels * w.bits / 8) ||
                align != w.channels * w.bits / 8) {
                w.error = "inconsistent fmt chunk";
                return w;
            }
            haveFmt = true;
        } else if (id == "data") {
            if (!haveFmt || w.bits != 16 || len % 2 != 0) {
                w.error = "data before fmt or not 16-bit";
                return w;
            }
            for (uint32_t i = 0; i < len; i += 2)
                w.samples.push_back(static_cast<int16_t>(Le(b, body + static_cast<int>(i), 2)));
            haveData = true;
        }
        at = body + static_cast<int>(len) + static_cast<int>(len & 1);
    }
    if (!haveFmt || !haveData) w.error = "missing fmt or data chunk";
    return w;
}

TEST(AssetSounds, WaveParserRefusesDamagedFiles) {
    QByteArray good = LoadBytes("assets/work/move.wav");
    ASSERT_FALSE(good.isEmpty());
    EXPECT_EQ(ParseWave(good).error, "");
    EXPECT_NE(ParseWave(good.left(30)).error, "");
    QByteArray badLen = good;
    badLen[40] = '\xff';  // data length far beyond the file
    badLen[41] = '\xff';
    badLen[42] = '\xff';
    EXPECT_NE(ParseWave(badLen).error, "");
    QByteArray noWave = good;
    noWave[8] = 'X';
    EXPECT_NE(ParseWave(noWave).error, "");
}

TEST(AssetSounds, TenWaveFilesArePlayableAudibleAndDistinct) {
    std::vector<std::vector<int16_t>> all;
    for (const char* name : kSounds) {
        QByteArray bytes = LoadBytes(QString("assets/work/") + name);
        ASSERT_FALSE(bytes.isEmpty()) << name << " missing";
        Wave w = ParseWave(bytes);
        ASSERT_EQ(w.error, "") << name;
        EXPECT_EQ(w.format, 1) << name << " is not PCM";
        EXPECT_EQ(w.channels, 1) << name;
        EXPECT_EQ(w.rate, 22050) << name;
        EXPECT_EQ(w.bits, 16) << name;
        const double seconds = static_cast<double>(w.samples.size()) / w.rate;
        EXPECT_GE(seconds, 0.04) << name;
        EXPECT_LE(seconds, 1.5) << name << " is too long for an effect";
        double sq = 0;
        int peak = 0;
        for (int16_t s : w.samples) {
            sq += static_cast<double>(s) * s;
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        }
        const double rms = std::sqrt(sq / std::max<size_t>(1, w.samples.size()));
        EXPECT_GT(rms, 1500) << name << " is nearly silent";
        EXPECT_GT(peak, 16000) << name;
        EXPECT_LT(peak, 32767) << name << " clips";
        // No click at the end: the last sample is back near zero.
        ASSERT_FALSE(w.samples.empty());
        EXPECT_LT(std::abs(static_cast<int>(w.samples.back())), 600) << name;
        all.push_back(w.samples);
    }
    for (size_t a = 0; a < all.size(); ++a)
        for (size_t b = a + 1; b < all.size(); ++b)
            EXPECT_NE(all[a], all[b]) << kSounds[a] << " and " << kSounds[b] << " are the same";
}

// ---------------------------------------------------------------------------
// Help file.

TEST(AssetHelp, HelpFileHoldsItsSections) {
    QByteArray bytes = LoadBytes(QString::fromUtf8("assets/work/棋战帮助文件.html"));
    ASSERT_FALSE(bytes.isEmpty());
    const QString html = QString::fromUtf8(bytes);
    EXPECT_EQ(html.toUtf8(), bytes) << "not valid UTF-8";
    EXPECT_TRUE(html.contains("charset=\"utf-8\"") || html.contains("charset=utf-8"));
    EXPECT_TRUE(html.trimmed().endsWith("</html>"));
    const char* const needed[] = {
        // Sections.
        "棋子与军衔",
        "碰子规则",
        "公路",
        "铁路",
        "行营",
        "大本营",
        "夺旗与胜负",
        "布阵",
        "操作说明",
        "级别",
        "复盘",
        "局域网对战",
        // Every rank.
        "司令",
        "军长",
        "师长",
        "旅长",
        "团长",
        "营长",
        "连长",
        "排长",
        "工兵",
        "炸弹",
        "地雷",
        "军旗",
        // The deployment rules and controls by their captions.
        "军旗要放在大本营里",
        "地雷要放在最后两排",
        "炸弹不能放在第一排",
        "完毕",
        "人机对奕",
        "调出战役",
        "保存战役",
        "游戏设置",
        "棋战成绩",
        "联网对战",
        "缴械投降",
        "祈求和平",
        "旋转视角",
        "看别人棋",
        "上一步",
        "下一步",
        "初级",
        "中级",
        "高级",
        "跳转到指定步数",
        "3457",
    };
    for (const char* s : needed) EXPECT_TRUE(html.contains(QString::fromUtf8(s))) << s;
    // Every section named in the contents list exists as an anchor.
    for (const char* id : {"pieces", "combat", "board", "flag", "deploy", "controls", "levels", "replay",
                           "lan", "options", "files"}) {
        EXPECT_TRUE(html.contains(QString("href=\"#%1\"").arg(id))) << id;
        EXPECT_TRUE(html.contains(QString("id=\"%1\"").arg(id))) << id;
    }
}

// ---------------------------------------------------------------------------
// The committed files are what the generator writes now.

TEST(AssetGenerator, CommittedAssetsAreUpToDate) {
    const QString self = QFileInfo(QString::fromLocal8Bit("/proc/self/exe")).canonicalFilePath();
    const QString tool = QFileInfo(self).absolutePath() + "/make_assets";
    if (!QFileInfo::exists(tool)) GTEST_SKIP() << "make_assets is not built";
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess run;
    run.setProgram(tool);
    run.setArguments({out.path()});
    run.start();
    ASSERT_TRUE(run.waitForFinished(120000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    QDir images(out.path() + "/assets/images");
    QDir work(out.path() + "/assets/work");
    int compared = 0;
    for (const QDir& dir : {images, work}) {
        for (const QFileInfo& f : dir.entryInfoList(QDir::Files)) {
            const QString rel = QDir(out.path()).relativeFilePath(f.filePath());
            QFile fresh(f.filePath());
            ASSERT_TRUE(fresh.open(QIODevice::ReadOnly));
            EXPECT_EQ(fresh.readAll(), LoadBytes(rel)) << rel.toStdString() << " is out of date";
            ++compared;
        }
    }
    EXPECT_EQ(compared, 34 + 11);
}

}  // namespace
