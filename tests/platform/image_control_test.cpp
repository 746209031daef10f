#include <gtest/gtest.h>

#include <QPainter>
#include <QWidget>

#include "platform/imagecontrol.h"
#include "platform/imagelist.h"
#include "platform/toolkit.h"
#include "support/qt_helpers.h"

namespace jq {
namespace {

// A picture whose every pixel tells where it is.
QImage Gradient(int width, int height, int salt = 0) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, salt & 0xFF));
    return image;
}

// A new surface is white and of control size; pixels outside it are
// neither read nor written. The board background's tiles are anchored at
// the surface's corner, whatever part is filled, and cut at its edge.
TEST(ImageControl, CopyAndPatternFillStayOnTheSurface) {
    const QImage sheet = Gradient(112, 286, 7);
    ImageControl piece;
    piece.resize(40, 40);
    piece.CopyRect(QRect(10, 5, 28, 22), sheet, QRect(28, 66, 28, 22));
    EXPECT_EQ(piece.Pixel(37, 26), sheet.pixel(55, 87));
    EXPECT_EQ(piece.Pixel(9, 5), qRgb(255, 255, 255));
    piece.SetPixel(40, 0, qRgb(9, 9, 9));
    piece.SetPixel(-1, 3, qRgb(9, 9, 9));
    for (const QPoint p : {QPoint(40, 0), QPoint(-1, 3), QPoint(0, 40), QPoint(9, -1)})
        EXPECT_EQ(piece.Pixel(p.x(), p.y()), ImageControl::kNoPixel);
    EXPECT_EQ(ImageControl().Pixel(0, 0), ImageControl::kNoPixel);  // nothing drawn yet

    ImageControl board;
    board.resize(525, 525);
    const QImage tile = Gradient(16, 16, 99);
    board.SetBrushColor(Qt::black);
    board.FillRect(QRect(0, 0, 525, 525));
    board.SetBrushPattern(tile);
    board.FillRect(QRect(5, 7, 600, 600));
    ASSERT_EQ(board.Picture().size(), QSize(525, 525));
    for (const QPoint p : {QPoint(5, 7), QPoint(20, 20), QPoint(37, 250), QPoint(524, 524)})
        EXPECT_EQ(board.Pixel(p.x(), p.y()), tile.pixel(p.x() % 16, p.y() % 16)) << p.x() << "," << p.y();
    EXPECT_EQ(board.Pixel(4, 7), qRgb(0, 0, 0));
}

// What a parent with a red background shows with `image` on it.
QImage Composite(ImageControl& image) {
    QWidget parent;
    parent.resize(image.size());
    parent.setPalette(QPalette(Qt::red));  // the window colour too
    parent.setAutoFillBackground(true);
    image.setParent(&parent);
    image.show();
    const QImage shown = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
    image.setParent(nullptr);
    return shown;
}

// A transparent control leaves out the colour of its bottom-left pixel;
// see-through parts of a copied picture show what lies below.
TEST(ImageControl, TransparentLeavesOutTheColourOfTheBottomLeftPixel) {
    ImageControl arrow;
    arrow.resize(24, 24);
    arrow.SetBrushColor(QColor(0, 255, 0));
    arrow.FillRect(QRect(0, 0, 24, 24));
    arrow.SetPixel(12, 12, qRgb(0, 0, 255));
    arrow.SetTransparent(true);
    QImage shown = Composite(arrow);
    EXPECT_EQ(shown.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(12, 12), qRgb(0, 0, 255));
    arrow.SetPixel(0, 23, qRgb(0, 0, 255));  // the key follows the bottom-left pixel
    EXPECT_EQ(Composite(arrow).pixel(5, 5), qRgb(0, 255, 0));

    QImage lamp(24, 24, QImage::Format_ARGB32);
    lamp.fill(Qt::transparent);
    QPainter(&lamp).fillRect(8, 8, 8, 8, QColor(255, 255, 0));
    ImageControl source;
    source.SetPicture(lamp);
    ImageControl light;
    light.resize(24, 24);
    light.SetBrushColor(QColor(0, 0, 255));
    light.FillRect(QRect(0, 0, 24, 24));
    light.CopyRect(QRect(0, 0, 24, 24), source, QRect(0, 0, 24, 24));
    shown = Composite(light);
    EXPECT_EQ(shown.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(10, 10), qRgb(255, 255, 0));
}

// A press reports position and modifiers (the keypad flag left out); a
// left press released outside is no click.
TEST(ImageControl, PointerEventsCarryModifiersAndAClickEndsInside) {
    ImageControl image;
    image.resize(28, 22);
    std::vector<PointerEvent> downs;
    int clicks = 0;
    image.onMouseDown = [&](ImageControl&, const PointerEvent& e) { downs.push_back(e); };
    image.onClick = [&](ImageControl&) { ++clicks; };
    test::SendMouse(&image, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {3, 4},
                    Qt::ShiftModifier | Qt::KeypadModifier);
    test::SendMouse(&image, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {40, 4});
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ((QPoint(downs[0].x, downs[0].y)), QPoint(3, 4));
    EXPECT_EQ(downs[0].modifiers, Qt::ShiftModifier);
    EXPECT_EQ(clicks, 0);
}

// Background tiles are cut or padded to the cell.
TEST(ImageList, HandsOutCellsOfItsSizeAndNothingOutOfRange) {
    ImageList tiles(16, 16);
    EXPECT_EQ(tiles.Add(Gradient(8, 8)), 0);
    EXPECT_EQ(tiles.Add(Gradient(30, 30)), 1);
    EXPECT_EQ(tiles.Bitmap(0).pixel(10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(tiles.Bitmap(1).pixel(15, 15), qRgb(15, 15, 0));
    EXPECT_TRUE(tiles.Bitmap(-1).isNull());
    EXPECT_TRUE(tiles.Bitmap(2).isNull());
}

}  // namespace
}  // namespace jq
