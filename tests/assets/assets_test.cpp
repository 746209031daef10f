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

#include "core/board.h"

namespace {

QString SourcePath(const QString& rel) { return QString(JQ_SOURCE_DIR) + "/" + rel; }

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
            QFile fresh(f.filePath()), committed(SourcePath(QDir(out.path()).relativeFilePath(f.filePath())));
            ASSERT_TRUE(fresh.open(QIODevice::ReadOnly) && committed.open(QIODevice::ReadOnly))
                << f.fileName().toStdString();
            EXPECT_EQ(fresh.readAll(), committed.readAll())
                << f.fileName().toStdString() << " is out of date";
            ++compared;
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
