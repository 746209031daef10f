// Pictures of the window and the dialogs: the turn light, the splash and
// About picture, the message box icon and title, the result panel, the
// win/loss record dialog, the board menu icons and the LAN dialogs.
#pragma once

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "board.h"
#include "common.h"
#include "pieces.h"

namespace assetgen {

inline const char* kProductName = "云岭棋战";

// ---------------------------------------------------------------------------
// Turn light: six 36 x 36 frames side by side; frames 0..4 brighten and
// fade, frame 5 (shown for one tick) matches frame 0.

constexpr int kLightCell = 36;
constexpr int kLightFrames = 6;

inline QImage TurnLightFrame(int f) {
    static const double glow[kLightFrames] = {0.35, 0.65, 1.0, 0.65, 0.35, 0.35};
    const double g = glow[f];
    QImage img = Canvas(kLightCell, kLightCell);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(18, 18);
    // Halo.
    QRadialGradient halo(c, 18);
    halo.setColorAt(0.0, QColor(255, 230, 90, static_cast<int>(200 * g)));
    halo.setColorAt(0.55, QColor(255, 170, 30, static_cast<int>(110 * g)));
    halo.setColorAt(1.0, QColor(255, 150, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(c, 18, 18);
    // Bezel.
    QLinearGradient bezel(0, 6, 0, 30);
    bezel.setColorAt(0, QColor(200, 200, 196));
    bezel.setColorAt(1, QColor(90, 86, 80));
    p.setBrush(bezel);
    p.setPen(QPen(QColor(50, 46, 40), 1.2));
    p.drawEllipse(c, 11.5, 11.5);
    // Lamp glass.
    QRadialGradient lamp(QPointF(16, 15), 10);
    lamp.setColorAt(0.0, Mix(QColor(150, 120, 60), QColor(255, 255, 220), g));
    lamp.setColorAt(0.6, Mix(QColor(120, 70, 20), QColor(255, 200, 40), g));
    lamp.setColorAt(1.0, Mix(QColor(80, 40, 10), QColor(230, 120, 0), g));
    p.setBrush(lamp);
    p.setPen(Qt::NoPen);
    p.drawEllipse(c, 8.5, 8.5);
    // Highlight.
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QPointF(15, 14), 3, 2);
    p.end();
    return img;
}

inline QImage TurnLightStrip() {
    QImage strip = Canvas(kLightCell * kLightFrames, kLightCell);
    QPainter p(&strip);
    for (int f = 0; f < kLightFrames; ++f) p.drawImage(f * kLightCell, 0, TurnLightFrame(f));
    p.end();
    return strip;
}

// ---------------------------------------------------------------------------
// Title pictures: 93 x 31, transparent, a short text in gold with a dark
// outline.

inline QImage TitlePicture(const QString& text, const QColor& top, const QColor& bottom) {
    QImage img = Canvas(93, 31);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QFont f = CjkFont(text.size() <= 2 ? 23 : 20, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, text.size() <= 2 ? 8 : 1);
    QPainterPath path;
    QFontMetricsF fm(f);
    double w = fm.horizontalAdvance(text);
    path.addText(QPointF((93 - w) / 2 + (text.size() <= 2 ? 4 : 0), 23.5), f, text);
    QLinearGradient g(0, 5, 0, 27);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(QColor(60, 20, 10), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(path);
    p.end();
    return img;
}

inline QImage ProductTitle() {
    return TitlePicture(QString::fromUtf8(kProductName), QColor(255, 226, 120), QColor(214, 110, 10));
}

// ---------------------------------------------------------------------------
// Message box icon: a 32 x 32 sheet of paper with a folded corner.

inline QImage MessageIcon() {
    QImage img = Canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath sheet;
    sheet.moveTo(6.5, 2.5);
    sheet.lineTo(20.5, 2.5);
    sheet.lineTo(27.5, 9.5);
    sheet.lineTo(27.5, 29.5);
    sheet.lineTo(6.5, 29.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(70, 70, 80), 1.2));
    QLinearGradient g(6, 2, 28, 30);
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(1, QColor(220, 226, 236));
    p.setBrush(g);
    p.drawPath(sheet);
    QPainterPath fold;
    fold.moveTo(20.5, 2.5);
    fold.lineTo(20.5, 9.5);
    fold.lineTo(27.5, 9.5);
    fold.closeSubpath();
    p.setBrush(QColor(196, 204, 218));
    p.drawPath(fold);
    p.setPen(QPen(QColor(90, 110, 160), 1.4));
    for (int i = 0; i < 5; ++i) {
        double y = 13.5 + i * 3.4;
        p.drawLine(QPointF(10, y), QPointF(i == 4 ? 18 : 24, y));
    }
    // Red seal in the corner.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(QPointF(23, 25), 4.2, 4.2);
    p.setBrush(QColor(255, 230, 230));
    p.drawPolygon(Star(23, 25.3, 3.0, 1.2));
    p.end();
    return img;
}

// ---------------------------------------------------------------------------
// Splash and About picture, 402 x 252.

// `board` is the board scene (see BoardScene), shown small and turned.
inline QImage SplashPicture(const QImage& board) {
    QImage img(402, 252, QImage::Format_RGB888);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    QLinearGradient sky(0, 0, 0, 252);
    sky.setColorAt(0, QColor(20, 52, 40));
    sky.setColorAt(1, QColor(6, 22, 16));
    p.fillRect(img.rect(), sky);

    // The board, turned a little, with a soft shadow.
    QImage small = board.scaled(200, 200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage shadow = small;
    {
        QPainter sp(&shadow);
        sp.setCompositionMode(QPainter::CompositionMode_SourceIn);
        sp.fillRect(shadow.rect(), QColor(0, 0, 0, 120));
    }
    p.save();
    p.translate(98, 120);
    p.rotate(-10);
    p.drawImage(QPointF(-100 + 5, -100 + 6), shadow);
    p.drawImage(QPointF(-100, -100), small);
    p.restore();

    // Two pieces close up.
    auto piece = [&](const QImage& cell, double x, double y, double angle) {
        p.save();
        p.translate(x, y);
        p.rotate(angle);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 110));
        p.drawRect(QRectF(-25, -18, 56, 44));
        p.drawImage(QRectF(-28, -22, 56, 44), cell);
        p.restore();
    };
    piece(FaceCell(4, 0, 2), 146, 214, 8);
    piece(FaceCell(1, 0, 2), 44, 212, -6);

    // Title and lines.
    QFont titleFont = CjkFont(46, true);
    QPainterPath title;
    title.addText(QPointF(210, 100), titleFont, QString::fromUtf8(kProductName));
    p.setPen(QPen(QColor(60, 20, 0), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(title);
    QLinearGradient gold(0, 56, 0, 106);
    gold.setColorAt(0, QColor(255, 240, 150));
    gold.setColorAt(1, QColor(224, 130, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(gold);
    p.drawPath(title);

    p.setFont(CjkFont(20, false));
    p.setPen(QColor(236, 226, 196));
    p.drawText(QRect(212, 118, 186, 28), Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8("四国军棋"));
    p.setPen(QPen(QColor(200, 160, 80), 1));
    p.drawLine(212, 150, 390, 150);
    p.setFont(CjkFont(14, false));
    p.setPen(QColor(190, 214, 196));
    const char* lines[] = {"阵法随心而换", "招法随机而动", "人机对弈 · 联网对战"};
    for (int i = 0; i < 3; ++i)
        p.drawText(QRect(212, 160 + i * 22, 186, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8(lines[i]));
    p.setPen(QPen(QColor(200, 160, 80), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3, 3, 396, 246));
    p.end();
    return img;
}

// ---------------------------------------------------------------------------
// Result panel pictures (96 x 96): won, lost, drawn.

inline void DrawFlag(QPainter& p, QPointF foot, double h, const QColor& cloth, double droop, double lean) {
    p.save();
    p.translate(foot);
    p.rotate(lean);
    p.setPen(QPen(QColor(90, 60, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, 0), QPointF(0, -h));
    QPainterPath c;
    c.moveTo(1.5, -h + 2);
    c.cubicTo(QPointF(18, -h - 4 + droop), QPointF(30, -h + 8 + droop), QPointF(44, -h + 2 + droop * 1.6));
    c.lineTo(44, -h + 28 + droop * 2.2);
    c.cubicTo(QPointF(30, -h + 34 + droop), QPointF(18, -h + 22 + droop), QPointF(1.5, -h + 28));
    c.closeSubpath();
    p.setPen(QPen(cloth.darker(170), 1.4));
    p.setBrush(cloth);
    p.drawPath(c);
    p.restore();
}

inline QImage ResultPicture(int kind) {
    QImage img = Canvas(96, 96);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    // A ground shadow.
    QRadialGradient ground(QPointF(48, 84), 44);
    ground.setColorAt(0, QColor(150, 120, 70, 200));
    ground.setColorAt(1, QColor(150, 120, 70, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawEllipse(QPointF(48, 84), 44, 10);
    if (kind == 0) {
        // Won: the flag raised high in a burst of light, marked 胜.
        p.setPen(QPen(QColor(255, 200, 40, 170), 2.2, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 12; ++i) {
            double a = i * M_PI / 6 + M_PI / 12;
            p.drawLine(QPointF(50 + 22 * std::cos(a), 30 + 22 * std::sin(a)),
                       QPointF(50 + 40 * std::cos(a), 30 + 40 * std::sin(a)));
        }
        DrawFlag(p, QPointF(28, 86), 76, QColor(214, 30, 30), 0, 0);
        QPainterPath word;
        word.addText(QPointF(39, 30), CjkFont(20, true), QString::fromUtf8("胜"));
        p.setPen(QPen(QColor(120, 40, 0), 1.2));
        p.setBrush(QColor(255, 222, 60));
        p.drawPath(word);
    } else if (kind == 1) {
        // Lost: a grey flag hanging limp from a leaning, broken pole.
        p.save();
        p.translate(36, 86);
        p.rotate(-14);
        p.scale(1.3, 1.3);
        p.setPen(QPen(QColor(90, 70, 50), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, 0), QPointF(0, -56));
        p.drawLine(QPointF(0, -56), QPointF(7, -64));
        QPainterPath cloth;
        cloth.moveTo(1.5, -54);
        cloth.cubicTo(QPointF(10, -50), QPointF(14, -52), QPointF(20, -47));
        cloth.lineTo(18, -26);
        cloth.lineTo(14, -30);
        cloth.lineTo(11, -22);
        cloth.lineTo(7, -27);
        cloth.cubicTo(QPointF(5, -24), QPointF(3, -24), QPointF(1.5, -22));
        cloth.closeSubpath();
        p.setPen(QPen(QColor(80, 80, 86), 1.3));
        p.setBrush(QColor(150, 150, 156));
        p.drawPath(cloth);
        p.restore();
        // The broken-off top lies on the ground.
        p.setPen(QPen(QColor(90, 70, 50), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(60, 85), QPointF(86, 80));
    } else {
        // Drawn: the flags of the two sides crossed.
        DrawFlag(p, QPointF(32, 86), 66, QColor(214, 40, 36), 2, 14);
        p.save();
        p.translate(96, 0);
        p.scale(-1, 1);
        DrawFlag(p, QPointF(32, 86), 66, QColor(40, 90, 200), 2, 14);
        p.restore();
    }
    p.end();
    return img;
}

// ---------------------------------------------------------------------------
// Win/loss record dialog icon, 32 x 32: a gold cup.

inline QImage RecordIcon() {
    QImage img = Canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient gold(6, 0, 26, 0);
    gold.setColorAt(0, QColor(200, 130, 10));
    gold.setColorAt(0.45, QColor(255, 230, 120));
    gold.setColorAt(1, QColor(190, 120, 10));
    const QPen edge(QColor(110, 60, 0), 1.2);
    p.setPen(QPen(QColor(110, 60, 0), 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2, 6, 10, 11), 90 * 16, 180 * 16);
    p.drawArc(QRectF(20, 6, 10, 11), -90 * 16, 180 * 16);
    QPainterPath cup;
    cup.moveTo(7, 4);
    cup.lineTo(25, 4);
    cup.cubicTo(QPointF(25, 15), QPointF(21, 19), QPointF(16, 20));
    cup.cubicTo(QPointF(11, 19), QPointF(7, 15), QPointF(7, 4));
    p.setPen(edge);
    p.setBrush(gold);
    p.drawPath(cup);
    p.drawRect(QRectF(14, 20, 4, 5));
    p.drawRoundedRect(QRectF(9, 25, 14, 4.5), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawPolygon(Star(16, 11, 4, 1.7));
    p.end();
    return img;
}

// ---------------------------------------------------------------------------
// Board popup menu icons, 16 x 16: save formation, options, open battle, exit.

inline QImage MenuIcon(int n) {
    QImage img = Canvas(16, 16);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPen ink(QColor(40, 40, 60), 1.1);
    switch (n) {
        case 0: {  // save: a floppy disk
            p.setPen(ink);
            p.setBrush(QColor(60, 100, 190));
            p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
            p.setBrush(QColor(240, 240, 240));
            p.drawRect(QRectF(4, 2, 8, 5));
            p.setBrush(QColor(200, 200, 210));
            p.drawRect(QRectF(4, 9.5, 8, 5));
            break;
        }
        case 1: {  // options: a gear
            p.setPen(ink);
            p.setBrush(QColor(150, 150, 160));
            p.save();
            p.translate(8, 8);
            for (int i = 0; i < 8; ++i) {
                p.drawRect(QRectF(-1.6, -7.2, 3.2, 3.4));
                p.rotate(45);
            }
            p.drawEllipse(QPointF(0, 0), 5.2, 5.2);
            p.setBrush(QColor(255, 255, 255));
            p.drawEllipse(QPointF(0, 0), 2, 2);
            p.restore();
            break;
        }
        case 2: {  // open: a folder
            p.setPen(ink);
            p.setBrush(QColor(230, 180, 60));
            p.drawRect(QRectF(1.5, 3.5, 6, 3));
            p.drawRect(QRectF(1.5, 5, 13, 9));
            p.setBrush(QColor(250, 214, 110));
            QPolygonF front;
            front << QPointF(3.5, 8) << QPointF(15, 8) << QPointF(13, 14) << QPointF(1.5, 14);
            p.drawPolygon(front);
            break;
        }
        default: {  // exit: a door with an arrow
            p.setPen(ink);
            p.setBrush(QColor(170, 110, 60));
            p.drawRect(QRectF(2.5, 1.5, 7, 13));
            p.setPen(QPen(QColor(200, 30, 30), 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 8), QPointF(14.5, 8));
            p.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
            p.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
            break;
        }
    }
    p.end();
    return img;
}

// ---------------------------------------------------------------------------
// LAN dialog pictures, 48 x 48: the host (a computer with a crown of links)
// and a joining player (a computer with a plug).

inline void DrawComputer(QPainter& p, QRectF screen) {
    p.setPen(QPen(QColor(50, 50, 60), 1.4));
    p.setBrush(QColor(210, 210, 214));
    p.drawRoundedRect(screen, 2, 2);
    QLinearGradient glass(screen.topLeft(), screen.bottomLeft());
    glass.setColorAt(0, QColor(90, 160, 230));
    glass.setColorAt(1, QColor(30, 80, 160));
    p.setBrush(glass);
    p.drawRect(screen.adjusted(3, 3, -3, -3));
    p.setBrush(QColor(180, 180, 186));
    QPointF base(screen.center().x(), screen.bottom());
    p.drawRect(QRectF(base.x() - 3, base.y(), 6, 4));
    p.drawRoundedRect(QRectF(base.x() - 10, base.y() + 4, 20, 3.5), 1, 1);
}

inline QImage NetPicture(int n) {
    QImage img = Canvas(48, 48);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (n == 0) {
        // Host: one computer in the middle linked to three others.
        p.setPen(QPen(QColor(40, 120, 60), 2));
        p.drawLine(QPointF(24, 26), QPointF(7, 8));
        p.drawLine(QPointF(24, 26), QPointF(41, 8));
        p.drawLine(QPointF(24, 26), QPointF(24, 44));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 150, 70));
        for (QPointF c : {QPointF(7, 8), QPointF(41, 8), QPointF(24, 44)}) p.drawEllipse(c, 4, 4);
        DrawComputer(p, QRectF(12, 12, 24, 18));
    } else {
        // Joining: a computer with a cable running off to the right.
        p.setPen(QPen(QColor(60, 60, 70), 2.2, Qt::SolidLine, Qt::RoundCap));
        QPainterPath cable;
        cable.moveTo(24, 38);
        cable.cubicTo(QPointF(26, 46), QPointF(40, 46), QPointF(42, 34));
        cable.lineTo(42, 24);
        p.setBrush(Qt::NoBrush);
        p.drawPath(cable);
        p.setPen(QPen(QColor(50, 50, 60), 1.2));
        p.setBrush(QColor(230, 180, 40));
        p.drawRect(QRectF(38.5, 17, 7, 7));
        p.drawLine(QPointF(40.5, 17), QPointF(40.5, 13));
        p.drawLine(QPointF(43.5, 17), QPointF(43.5, 13));
        DrawComputer(p, QRectF(4, 8, 30, 22));
    }
    p.end();
    return img;
}

}  // namespace assetgen
