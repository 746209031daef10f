// The shipped pictures against the code that uses them: the committed files
// are what the generator writes now, and the board picture lines up with the
// points.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>

#include "core/board.h"

namespace {

QString SourcePath(const QString& rel) { return QString(JQ_SOURCE_DIR) + "/" + rel; }

// How a freshly drawn picture differs from the committed one. The raster
// engine picks code paths by processor, so anti-aliased edges may come out a
// level or two apart, and a pixel that the key colour or the palette rounds
// one way here may round the other way there (seen between two processors:
// at most 2 levels on up to 2% of a picture, and 4 keyed end pixels of the
// board's centre lines). A change to the drawing moves more pixels, or moves
// them further.
struct PictureDifference {
    bool sameSize = true;
    int touched = 0;  // pixels that differ at all
    int stray = 0;    // pixels that differ by more than kNoiseLevels in a channel
    int largest = 0;  // the largest difference of a channel
};

constexpr int kNoiseLevels = 3;

PictureDifference Compare(const QImage& freshImage, const QImage& committedImage) {
    PictureDifference d;
    if (freshImage.size() != committedImage.size()) {
        d.sameSize = false;
        return d;
    }
    const QImage a = freshImage.convertToFormat(QImage::Format_ARGB32);
    const QImage b = committedImage.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (pa[x] == pb[x] || (qAlpha(pa[x]) == 0 && qAlpha(pb[x]) == 0)) continue;
            const int level = std::max({std::abs(qRed(pa[x]) - qRed(pb[x])), std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                                        std::abs(qBlue(pa[x]) - qBlue(pb[x])), std::abs(qAlpha(pa[x]) - qAlpha(pb[x]))});
            ++d.touched;
            if (level > kNoiseLevels) ++d.stray;
            d.largest = std::max(d.largest, level);
        }
    }
    return d;
}

// A picture is the same drawing when no more than a handful of pixels stray
// beyond the noise, and the noise stays on edges rather than over a whole
// area (a colour moved by a level or two across a fill is a redrawn picture).
bool SameDrawing(const PictureDifference& d, const QSize& size) {
    constexpr int kStrayPixels = 8;
    return d.sameSize && d.stray <= kStrayPixels && d.touched * 16 <= size.width() * size.height();
}

TEST(AssetGenerator, CommittedAssetsAreUpToDate) {
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString tool = QFileInfo(self).absolutePath() + "/make_assets";
    if (!QFileInfo::exists(tool)) GTEST_SKIP() << "make_assets is not built";
    QTemporaryDir out;
    QProcess run;
    run.start(tool, {out.path()});
    ASSERT_TRUE(run.waitForFinished(120000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    int compared = 0;
    for (const QString sub : {"/assets/images", "/assets/work"}) {
        for (const QFileInfo& f : QDir(out.path() + sub).entryInfoList(QDir::Files)) {
            const QString committedPath = SourcePath(QDir(out.path()).relativeFilePath(f.filePath()));
            const std::string name = f.fileName().toStdString();
            ++compared;
            if (f.suffix() == "png") {
                const QImage fresh(f.filePath()), committed(committedPath);
                ASSERT_FALSE(fresh.isNull() || committed.isNull()) << name;
                const PictureDifference d = Compare(fresh, committed);
                EXPECT_TRUE(SameDrawing(d, committed.size()))
                    << name << " is out of date: " << d.touched << " pixels differ, " << d.stray << " by more than "
                    << kNoiseLevels << " levels, at most by " << d.largest;
                continue;
            }
            // Sounds and the help file are computed without the raster engine.
            QFile fresh(f.filePath()), committed(committedPath);
            ASSERT_TRUE(fresh.open(QIODevice::ReadOnly) && committed.open(QIODevice::ReadOnly)) << name;
            EXPECT_TRUE(fresh.readAll() == committed.readAll()) << name << " is out of date";
        }
    }
    EXPECT_EQ(compared, 34 + 11);
}

// Every point is drawn with the fill of its kind, and every railway link is
// drawn halfway between its two ends.
TEST(AssetBoard, LinePictureFollowsTheBoardPoints) {
    const jq::BoardTables& t = jq::Board();
    const QImage lines = QImage(SourcePath("assets/images/gezi.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(lines.size(), QSize(524, 524));
    const QRgb background = lines.pixel(5, 5);
    auto at = [&](int panelX, int panelY) { return lines.pixel(panelX - 2, panelY - 2); };
    QRgb kindFill[4] = {};
    for (int i = 0; i < jq::kPointCount; ++i) {
        const jq::BoardPoint& p = t.boardPoints[i];
        const QRgb c = at(p.pixelX, p.pixelY);
        EXPECT_NE(c, background) << "point " << i << " is not drawn";
        if (i >= 120) continue;  // the centre crossing points
        if (kindFill[p.kind] == 0) kindFill[p.kind] = c;
        EXPECT_EQ(c, kindFill[p.kind]) << "point " << i << " differs from others of its kind";
    }
    EXPECT_NE(kindFill[jq::kHeadquarters], kindFill[jq::kCamp]);
    EXPECT_NE(kindFill[jq::kCamp], kindFill[jq::kRailway]);
    for (int i = 0; i < jq::kPointCount; ++i) {
        for (const jq::GridPoint& l : t.railLinks[i]) {
            if (l.x == 0) continue;
            const jq::BoardPoint& a = t.boardPoints[i];
            const jq::BoardPoint& b = t.boardPoints[jq::PointIndexAt(t, l.x, l.y)];
            EXPECT_NE(at((a.pixelX + b.pixelX) / 2, (a.pixelY + b.pixelY) / 2), background)
                << i << "-" << l.x;
        }
    }
    // Between a front post and the centre row there is no road.
    const jq::BoardPoint& front = t.boardPoints[1];
    EXPECT_EQ(at(front.pixelX, front.pixelY - 18), background);
}

}  // namespace
