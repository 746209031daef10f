#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include "platform/imagecontrol.h"
#include "platform/imagelist.h"
#include "platform/toolkit.h"

namespace jq {
namespace {

// A picture whose every pixel tells where it is.
QImage Gradient(int width, int height, int salt = 0) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, salt & 0xFF));
        }
    }
    return image;
}

TEST(ImageControl, CopyRectCopiesPixelForPixelOntoNewSurfaceOfControlSize) {
    ImageControl piece;
    piece.resize(28, 22);
    EXPECT_TRUE(piece.Picture().isNull());

    // Column 1, row 3 of a 112 x 286 sheet of 28 x 22 cells.
    const QImage sheet = Gradient(112, 286, 7);
    piece.CopyRect(QRect(0, 0, 28, 22), sheet, QRect(28, 66, 28, 22));
    ASSERT_EQ(piece.Picture().size(), QSize(28, 22));
    for (int y = 0; y < 22; ++y) {
        for (int x = 0; x < 28; ++x) {
            ASSERT_EQ(piece.Pixel(x, y), sheet.pixel(28 + x, 66 + y)) << x << "," << y;
        }
    }

    // From one control to another, into part of the target.
    ImageControl other;
    other.resize(40, 40);
    other.CopyRect(QRect(10, 5, 28, 22), piece, QRect(0, 0, 28, 22));
    EXPECT_EQ(other.Pixel(10, 5), sheet.pixel(28, 66));
    EXPECT_EQ(other.Pixel(37, 26), sheet.pixel(55, 87));
    EXPECT_EQ(other.Pixel(9, 5), qRgb(255, 255, 255));  // the new surface is white
}

TEST(ImageControl, PatternFillTilesFromTheSurfaceCornerAndIsCutAtItsEdge) {
    ImageControl board;
    board.resize(525, 525);
    const QImage tile = Gradient(16, 16, 99);
    board.SetBrushPattern(tile);
    board.FillRect(QRect(0, 0, 600, 600));
    ASSERT_EQ(board.Picture().size(), QSize(525, 525));
    for (const QPoint p : {QPoint(0, 0), QPoint(15, 15), QPoint(16, 0), QPoint(37, 250),
                           QPoint(524, 524), QPoint(523, 17)}) {
        EXPECT_EQ(board.Pixel(p.x(), p.y()), tile.pixel(p.x() % 16, p.y() % 16)) << p.x() << "," << p.y();
    }

    // A part fill keeps the tiling anchored at the surface's corner, not the
    // rectangle's, and leaves the rest alone.
    board.SetBrushColor(Qt::black);
    board.SetBrushPattern(QImage());
    board.FillRect(QRect(0, 0, 525, 525));
    board.SetBrushPattern(tile);
    board.FillRect(QRect(5, 7, 20, 20));
    EXPECT_EQ(board.Pixel(5, 7), tile.pixel(5, 7));
    EXPECT_EQ(board.Pixel(20, 20), tile.pixel(4, 4));
    EXPECT_EQ(board.Pixel(4, 7), qRgb(0, 0, 0));
    EXPECT_EQ(board.Pixel(25, 7), qRgb(0, 0, 0));
}

TEST(ImageControl, PixelsReadAndWriteInsideAndAreIgnoredOutside) {
    ImageControl image;
    image.resize(10, 8);
    EXPECT_EQ(image.Pixel(0, 0), ImageControl::kNoPixel);  // nothing drawn yet

    image.SetPixel(3, 4, qRgb(1, 2, 3));
    EXPECT_EQ(image.Pixel(3, 4), qRgb(1, 2, 3));
    EXPECT_EQ(image.Pixel(4, 4), qRgb(255, 255, 255));

    image.SetPixel(10, 0, qRgb(9, 9, 9));
    image.SetPixel(-1, 3, qRgb(9, 9, 9));
    image.SetPixel(0, 8, qRgb(9, 9, 9));
    for (const QPoint p : {QPoint(10, 0), QPoint(-1, 3), QPoint(0, 8), QPoint(9, -1)}) {
        EXPECT_EQ(image.Pixel(p.x(), p.y()), ImageControl::kNoPixel);
    }
    EXPECT_EQ(image.Picture().size(), QSize(10, 8));
}

// What a parent with a red background shows with `image` on it.
QImage Composite(ImageControl& image) {
    QWidget parent;
    parent.resize(image.size());
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::red);
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    image.setParent(&parent);
    image.move(0, 0);
    image.show();
    const QImage shown = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
    image.setParent(nullptr);
    return shown;
}

TEST(ImageControl, TransparentLeavesOutTheColourOfTheBottomLeftPixel) {
    ImageControl arrow;
    arrow.resize(24, 24);
    arrow.SetBrushColor(QColor(0, 255, 0));  // key colour, also at bottom-left
    arrow.FillRect(QRect(0, 0, 24, 24));
    arrow.SetPixel(12, 12, qRgb(0, 0, 255));
    arrow.SetTransparent(true);

    QImage shown = Composite(arrow);
    EXPECT_EQ(shown.pixel(0, 23), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(12, 12), qRgb(0, 0, 255));
    // The picture itself keeps its pixels.
    EXPECT_EQ(arrow.Pixel(5, 5), qRgb(0, 255, 0));

    // The key follows the bottom-left pixel when it changes.
    arrow.SetPixel(0, 23, qRgb(0, 0, 255));
    shown = Composite(arrow);
    EXPECT_EQ(shown.pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(12, 12), qRgb(255, 0, 0));

    // Opaque again: everything shows.
    arrow.SetTransparent(false);
    shown = Composite(arrow);
    EXPECT_EQ(shown.pixel(12, 12), qRgb(0, 0, 255));
    EXPECT_EQ(shown.pixel(5, 5), qRgb(0, 255, 0));
}

TEST(ImageControl, SeeThroughPartsOfAPictureShowWhatLiesBelowAndCopyAsTheyAre) {
    QImage lamp(24, 24, QImage::Format_ARGB32);
    lamp.fill(Qt::transparent);
    QPainter(&lamp).fillRect(8, 8, 8, 8, QColor(255, 255, 0));

    ImageControl source;
    source.SetPicture(lamp);
    ImageControl light;
    light.resize(24, 24);
    light.SetBrushColor(QColor(0, 0, 255));
    light.FillRect(QRect(0, 0, 24, 24));
    light.CopyRect(QRect(0, 0, 24, 24), source, QRect(0, 0, 24, 24));  // replaces, no blending
    EXPECT_EQ(qAlpha(light.Pixel(2, 2)), 0);
    EXPECT_EQ(light.Pixel(10, 10), qRgb(255, 255, 0));

    const QImage shown = Composite(light);
    EXPECT_EQ(shown.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(10, 10), qRgb(255, 255, 0));
}

void SendMouse(QWidget& target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    QMouseEvent event(type, QPointF(pos), target.mapToGlobal(QPointF(pos)), button, buttons, modifiers);
    QCoreApplication::sendEvent(&target, &event);
}

TEST(ImageControl, PointerEventsCarryPositionButtonsModifiersAndSender) {
    QWidget panel;
    auto* image = new ImageControl(&panel);
    image->setGeometry(50, 60, 28, 22);
    EXPECT_FALSE(image->isHidden());  // visible unless hidden
    image->SetTag(5);

    std::vector<PointerEvent> downs;
    std::vector<PointerEvent> moves;
    int clicks = 0;
    ImageControl* sender = nullptr;
    image->onMouseDown = [&](ImageControl& c, const PointerEvent& e) {
        sender = &c;
        downs.push_back(e);
    };
    image->onMouseMove = [&](ImageControl&, const PointerEvent& e) { moves.push_back(e); };
    image->onClick = [&](ImageControl&) { ++clicks; };

    SendMouse(*image, QEvent::MouseMove, {7, 8}, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    SendMouse(*image, QEvent::MouseButtonPress, {3, 4}, Qt::LeftButton, Qt::LeftButton,
              Qt::ShiftModifier | Qt::KeypadModifier);
    SendMouse(*image, QEvent::MouseButtonRelease, {3, 4}, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(sender, image);
    EXPECT_EQ(sender->Tag(), 5);
    EXPECT_EQ(downs[0].x, 3);
    EXPECT_EQ(downs[0].y, 4);
    EXPECT_EQ(downs[0].button, Qt::LeftButton);
    EXPECT_EQ(downs[0].buttons, Qt::LeftButton);
    EXPECT_EQ(downs[0].modifiers, Qt::ShiftModifier);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].x, 7);
    EXPECT_EQ(moves[0].y, 8);
    EXPECT_EQ(clicks, 1);

    // A right press, or a left press released outside, is no click.
    SendMouse(*image, QEvent::MouseButtonPress, {3, 4}, Qt::RightButton, Qt::RightButton, Qt::ControlModifier);
    SendMouse(*image, QEvent::MouseButtonRelease, {3, 4}, Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    SendMouse(*image, QEvent::MouseButtonPress, {3, 4}, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    SendMouse(*image, QEvent::MouseButtonRelease, {40, 4}, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_EQ(downs[1].button, Qt::RightButton);
    EXPECT_EQ(downs[1].modifiers, Qt::ControlModifier);

    SetPointerShape(*image, PointerShape::HandPoint);
    EXPECT_EQ(image->cursor().shape(), Qt::PointingHandCursor);
    SetPointerShape(*image, PointerShape::Default);
    EXPECT_FALSE(image->testAttribute(Qt::WA_SetCursor));
}

TEST(ImageList, HandsOutCellsOfItsSizeAndNothingOutOfRange) {
    QImage strip(48, 16, QImage::Format_RGB32);
    const QRgb colours[3] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)};
    for (int n = 0; n < 3; ++n) {
        QPainter(&strip).fillRect(16 * n, 0, 16, 16, QColor(colours[n]));
    }
    strip.setPixel(20, 3, qRgb(1, 1, 1));  // a mark in cell 1 at (4, 3)

    const ImageList list = ImageList::FromStrip(strip, 16, 16);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.CellSize(), QSize(16, 16));
    const QImage cell = list.Bitmap(1);
    EXPECT_EQ(cell.size(), QSize(16, 16));
    EXPECT_EQ(cell.pixel(0, 0), colours[1]);
    EXPECT_EQ(cell.pixel(4, 3), qRgb(1, 1, 1));
    EXPECT_EQ(list.Bitmap(2).pixel(15, 15), colours[2]);
    EXPECT_TRUE(list.Bitmap(-1).isNull());
    EXPECT_TRUE(list.Bitmap(3).isNull());

    // A strip of two rows, with a part cell at the right edge left out.
    const ImageList grid = ImageList::FromStrip(Gradient(40, 32), 16, 16);
    ASSERT_EQ(grid.Count(), 4);
    EXPECT_EQ(grid.Bitmap(3).pixel(0, 0), qRgb(16, 16, 0));

    // Added pictures are cut or padded to the cell.
    ImageList tiles(16, 16);
    EXPECT_EQ(tiles.Add(Gradient(8, 8)), 0);
    EXPECT_EQ(tiles.Add(Gradient(30, 30)), 1);
    EXPECT_EQ(tiles.Bitmap(0).size(), QSize(16, 16));
    EXPECT_EQ(tiles.Bitmap(0).pixel(10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(tiles.Bitmap(1).pixel(15, 15), qRgb(15, 15, 0));
}

}  // namespace
}  // namespace jq
