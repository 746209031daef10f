// Piece sprite sheets and the path-arrow sheet.
//
// Sheet layout (cells are 28 x 22 for the upright sheets of seats 0 and 2,
// 22 x 28 for the turned sheets of seats 1 and 3):
//   allqzimage0/2: 4 columns (colour variant) x 13 rows; row 0 the back,
//                  row c the face of piece code c.
//   allqzimage1:   13 columns x 4 rows (colour variant); column 0 the back,
//                  column c the face of code c.
//   allqzimage3:   like allqzimage1 with the columns reversed: column 12 the
//                  back, column 12 - c the face of code c.
// Seats 0 and 2 show upright pictures, so the player reads the partner's
// pieces without turning the view; the side seats' pictures are turned
// towards their owners: seat 1 (right) a quarter counter-clockwise, seat 3
// (left) a quarter clockwise.
#pragma once

#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include "common.h"

namespace assetgen {

constexpr int kCellW = 28;
constexpr int kCellH = 22;

// The twelve ranks by piece code 1..12.
inline const char* const kPieceNames[12] = {"军旗", "地雷", "炸弹", "司令", "军长", "师长",
                                            "旅长", "团长", "营长", "连长", "排长", "工兵"};

// One player's colours.
struct Variant {
    QColor base;  // back fill and accents
    QColor dark;  // border and text
    QColor face;  // face fill
};

inline Variant VariantColours(int v) {
    switch (v) {
        case 0:
            return {QColor(200, 38, 32), QColor(124, 12, 10), QColor(255, 238, 230)};
        case 1:
            return {QColor(30, 132, 62), QColor(8, 76, 30), QColor(232, 248, 234)};
        case 2:
            return {QColor(222, 156, 10), QColor(112, 66, 0), QColor(255, 246, 214)};
        default:
            return {QColor(40, 88, 200), QColor(12, 40, 124), QColor(232, 240, 255)};
    }
}

// The bevelled tile shared by faces and backs.
inline void DrawTile(QPainter& p, const QColor& fill, const QColor& border, const QColor& light,
                     const QColor& shade) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(0, 0, kCellW, kCellH, fill);
    p.setPen(border);
    p.drawRect(0, 0, kCellW - 1, kCellH - 1);
    p.setPen(light);
    p.drawLine(1, 1, kCellW - 3, 1);
    p.drawLine(1, 1, 1, kCellH - 3);
    p.setPen(shade);
    p.drawLine(2, kCellH - 2, kCellW - 2, kCellH - 2);
    p.drawLine(kCellW - 2, 2, kCellW - 2, kCellH - 2);
}

// Face of piece code 1..12 in colour variant v, upright, drawn `scale`
// times the board size (scale 1 for the sheets).
inline QImage FaceCell(int code, int v, int scale = 1) {
    const Variant c = VariantColours(v);
    QImage img(kCellW * scale, kCellH * scale, QImage::Format_RGB32);
    QPainter p(&img);
    p.scale(scale, scale);
    DrawTile(p, c.face, c.dark, QColor(255, 255, 255), Mix(c.face, c.dark, 0.35));
    // The flag, the mines and the bombs carry a coloured bar under their
    // name, so they stand out from the officers at a glance.
    if (code <= 3) p.fillRect(3, kCellH - 4, kCellW - 6, 1, Mix(c.face, c.base, 0.7));
    p.resetTransform();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(CjkFont(12 * scale, false));
    p.setPen(c.dark);
    const QString name = QString::fromUtf8(kPieceNames[code - 1]);
    // Two characters side by side, each in its own 12-pixel box.
    p.drawText(QRect(2 * scale, 3 * scale, 12 * scale, 14 * scale), Qt::AlignCenter, name.mid(0, 1));
    p.drawText(QRect(14 * scale, 3 * scale, 12 * scale, 14 * scale), Qt::AlignCenter, name.mid(1, 1));
    p.end();
    return img;
}

// Five-pointed star centred on (cx, cy).
inline QPolygonF Star(double cx, double cy, double outer, double inner) {
    QPolygonF poly;
    for (int i = 0; i < 10; ++i) {
        double r = (i % 2 == 0) ? outer : inner;
        double a = -M_PI / 2 + i * M_PI / 5;
        poly << QPointF(cx + r * std::cos(a), cy + r * std::sin(a));
    }
    return poly;
}

// Back (face-down picture) in colour variant v, upright.
inline QImage BackCell(int v, int scale = 1) {
    const Variant c = VariantColours(v);
    QImage img(kCellW * scale, kCellH * scale, QImage::Format_RGB32);
    QPainter p(&img);
    p.scale(scale, scale);
    DrawTile(p, c.base, c.dark, Mix(c.base, QColor(255, 255, 255), 0.45), Mix(c.base, c.dark, 0.6));
    p.setPen(Mix(c.base, QColor(255, 255, 255), 0.55));
    p.drawRect(3, 3, kCellW - 7, kCellH - 7);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(Mix(c.base, QColor(255, 255, 255), 0.75));
    p.drawPolygon(Star(kCellW / 2.0, kCellH / 2.0 + 0.5, 6.5, 2.7));
    p.end();
    return img;
}

// Picture r of a seat (0 = back, 1..12 = faces), upright.
inline QImage UprightCell(int picture, int v) { return picture == 0 ? BackCell(v) : FaceCell(picture, v); }

// A quarter or half turn of a cell; exact for multiples of 90 degrees.
inline QImage Turned(const QImage& img, int degrees) {
    return img.transformed(QTransform().rotate(degrees), Qt::FastTransformation);
}

// Sheet of seat 0..3.
inline QImage PieceSheet(int seat) {
    const bool turned = (seat == 1 || seat == 3);
    QImage sheet(turned ? 13 * kCellH : 4 * kCellW, turned ? 4 * kCellW : 13 * kCellH, QImage::Format_RGB888);
    sheet.fill(Qt::black);
    QPainter p(&sheet);
    for (int v = 0; v < 4; ++v) {
        for (int picture = 0; picture <= 12; ++picture) {
            QImage cell = UprightCell(picture, v);
            switch (seat) {
                case 0:
                case 2:
                    p.drawImage(kCellW * v, kCellH * picture, cell);
                    break;
                case 1:
                    p.drawImage(kCellH * picture, kCellW * v, Turned(cell, -90));
                    break;
                default:
                    p.drawImage(kCellH * (12 - picture), kCellW * v, Turned(cell, 90));
                    break;
            }
        }
    }
    p.end();
    return sheet;
}

// ---------------------------------------------------------------------------
// Path arrows: 10 cells of 24 x 24 in one row; cell d shows the arrow of path
// direction d (grid y grows up the screen):
//   0 none, 1 +x, 2 +x-y, 3 -y, 4 -x-y, 5 -x, 6 -x+y, 7 +y, 8 +x+y, 9 spare.
// The see-through colour is the key colour of every cell's bottom-left pixel.

constexpr QRgb kArrowKey = 0xFFFF00FF;  // magenta
constexpr int kArrowCell = 24;

// Screen angle in degrees (0 = right, 90 = down) of direction d.
inline double ArrowAngle(int d) {
    switch (d) {
        case 1:
            return 0;  // right
        case 2:
            return 45;  // right and down
        case 3:
            return 90;  // down
        case 4:
            return 135;  // left and down
        case 5:
            return 180;  // left
        case 6:
            return 225;  // left and up
        case 7:
            return 270;  // up
        default:
            return 315;  // 8: right and up
    }
}

inline void DrawArrowShape(QPainter& p, double angle) {
    QPainterPath arrow;
    // Pointing right, centred on the origin.
    arrow.moveTo(10.5, 0);
    arrow.lineTo(1.5, -8);
    arrow.lineTo(1.5, -3.2);
    arrow.lineTo(-9.5, -3.2);
    arrow.lineTo(-9.5, 3.2);
    arrow.lineTo(1.5, 3.2);
    arrow.lineTo(1.5, 8);
    arrow.closeSubpath();
    p.save();
    p.translate(12, 12);
    p.rotate(angle);
    p.setPen(QPen(QColor(96, 30, 0), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient g(0, -8, 0, 8);
    g.setColorAt(0, QColor(255, 236, 90));
    g.setColorAt(1, QColor(255, 150, 0));
    p.setBrush(g);
    p.drawPath(arrow);
    p.restore();
}

inline QImage ArrowCell(int d) {
    QImage canvas = Canvas(kArrowCell, kArrowCell);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (d >= 1 && d <= 8) {
        DrawArrowShape(p, ArrowAngle(d));
    } else if (d == 0) {
        // No direction: a ring marking the point.
        p.setPen(QPen(QColor(96, 30, 0), 1.6));
        p.setBrush(QColor(255, 200, 40));
        p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
        p.setBrush(QColor(96, 30, 0));
        p.drawEllipse(QPointF(12, 12), 2, 2);
    } else {
        // Spare cell: a target cross.
        p.setPen(QPen(QColor(96, 30, 0), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        p.setPen(QPen(QColor(255, 190, 30), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
    }
    p.end();
    QImage cell = KeyedFromAlpha(canvas, kArrowKey);
    cell.setPixel(0, kArrowCell - 1, kArrowKey);
    return cell;
}

inline QImage ArrowSheet() {
    QImage sheet(10 * kArrowCell, kArrowCell, QImage::Format_RGB888);
    QPainter p(&sheet);
    for (int d = 0; d < 10; ++d) p.drawImage(d * kArrowCell, 0, ArrowCell(d));
    p.end();
    return sheet;
}

}  // namespace assetgen
