// The board's line picture "gezi" and the ten background tiles.
//
// gezi is 524 x 524 with 16 colours. Its background is one key colour (the
// colour of pixel (5, 5)); where the board shows that colour, the chosen
// background tile shows through. Everything else is drawn from the board
// tables: each point's picture position is its panel position minus the
// 2-pixel offset of the board picture inside the panel.
#pragma once

#include <set>
#include <utility>

#include "common.h"
#include "core/board.h"
#include "pieces.h"

namespace assetgen {

constexpr int kGeziSize = 524;
constexpr int kPanelOffset = 2;

// The 16 colours of the line picture; entry 0 is the key.
namespace gz {
constexpr QRgb kKey = qRgb(255, 0, 255);
constexpr QRgb kInk = qRgb(24, 20, 16);           // railway body, outlines
constexpr QRgb kRailTie = qRgb(250, 250, 246);    // railway dashes
constexpr QRgb kRoad = qRgb(70, 58, 44);          // roads
constexpr QRgb kPost = qRgb(252, 246, 226);       // post fill
constexpr QRgb kPostEdge = qRgb(60, 48, 36);      // post outline
constexpr QRgb kCampFill = qRgb(236, 248, 230);   // camp fill
constexpr QRgb kCampEdge = qRgb(26, 104, 48);     // camp ring
constexpr QRgb kHqFill = qRgb(255, 232, 224);     // headquarters fill
constexpr QRgb kHqEdge = qRgb(168, 24, 24);       // headquarters outline
constexpr QRgb kFrame = qRgb(96, 58, 26);         // area frame
constexpr QRgb kFrameInner = qRgb(170, 120, 64);  // inner frame line
constexpr QRgb kCentreEdge = qRgb(40, 60, 120);   // centre posts
constexpr QRgb kCentreFill = qRgb(232, 238, 252);
constexpr QRgb kSpare1 = qRgb(128, 128, 128);
constexpr QRgb kSpare2 = qRgb(0, 0, 0);
}  // namespace gz

inline std::vector<QRgb> GeziPalette() {
    return {gz::kKey,        gz::kInk,        gz::kRailTie, gz::kRoad,   gz::kPost,  gz::kPostEdge,
            gz::kCampFill,   gz::kCampEdge,   gz::kHqFill,  gz::kHqEdge, gz::kFrame, gz::kFrameInner,
            gz::kCentreEdge, gz::kCentreFill, gz::kSpare1,  gz::kSpare2};
}

// Picture position of point i.
inline QPointF PointPos(const jq::BoardTables& t, int i) {
    return QPointF(t.boardPoints[i].pixelX - kPanelOffset, t.boardPoints[i].pixelY - kPanelOffset);
}

// Seat of point i, or -1 for the centre.
inline int PointSeat(int i) { return i < 120 ? i / 30 : -1; }

inline bool RailLinked(const jq::BoardTables& t, int a, int b) {
    const jq::BoardPoint& pb = t.boardPoints[b];
    for (const jq::GridPoint& l : t.railLinks[a])
        if (l.x == pb.gridX && l.y == pb.gridY) return true;
    return false;
}

// Pairs of points joined by a railway, each once (lower index first).
inline std::vector<std::pair<int, int>> RailPairs(const jq::BoardTables& t) {
    std::set<std::pair<int, int>> pairs;
    for (int a = 0; a < jq::kPointCount; ++a) {
        for (const jq::GridPoint& l : t.railLinks[a]) {
            if (l.x == 0 || l.y == 0) continue;
            int b = jq::PointIndexAt(t, l.x, l.y);
            if (b < 0) continue;
            pairs.insert({std::min(a, b), std::max(a, b)});
        }
    }
    return {pairs.begin(), pairs.end()};
}

// Pairs of points joined only by a road: orthogonal neighbours one grid cell
// apart, and diagonal neighbours one of which is a camp.
inline std::vector<std::pair<int, int>> RoadPairs(const jq::BoardTables& t) {
    std::vector<std::pair<int, int>> pairs;
    for (int a = 0; a < jq::kPointCount; ++a) {
        for (int b = a + 1; b < jq::kPointCount; ++b) {
            const jq::BoardPoint& pa = t.boardPoints[a];
            const jq::BoardPoint& pb = t.boardPoints[b];
            int dx = std::abs(pa.gridX - pb.gridX), dy = std::abs(pa.gridY - pb.gridY);
            bool road =
                (dx + dy == 1) || (dx == 1 && dy == 1 && (pa.kind == jq::kCamp || pb.kind == jq::kCamp));
            if (road && !RailLinked(t, a, b) && !RailLinked(t, b, a)) pairs.push_back({a, b});
        }
    }
    return pairs;
}

// Bounding rectangle of a seat's 30 points, widened to hold its pieces.
inline QRectF SeatFrame(const jq::BoardTables& t, int seat) {
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (int k = 0; k < 30; ++k) {
        QPointF p = PointPos(t, seat * 30 + k);
        x0 = std::min(x0, p.x());
        y0 = std::min(y0, p.y());
        x1 = std::max(x1, p.x());
        y1 = std::max(y1, p.y());
    }
    const bool upright = (seat % 2 == 0);
    const double mx = upright ? 18 : 14, my = upright ? 14 : 18;
    return QRectF(QPointF(x0 - mx, y0 - my), QPointF(x1 + mx, y1 + my));
}

inline void DrawRail(QPainter& p, QPointF a, QPointF b) {
    p.setPen(QPen(QColor(gz::kInk), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
    QPen ties(QColor(gz::kRailTie), 3, Qt::CustomDashLine, Qt::FlatCap);
    ties.setDashPattern({2.0, 2.0});
    p.setPen(ties);
    p.drawLine(a, b);
}

inline void DrawPost(QPainter& p, const jq::BoardTables& t, int i) {
    const jq::BoardPoint& bp = t.boardPoints[i];
    const QPointF c = PointPos(t, i);
    const int seat = PointSeat(i);
    const bool upright = (seat == 0 || seat == 2);
    switch (bp.kind) {
        case jq::kCamp: {
            p.setPen(QPen(QColor(gz::kCampEdge), 2.2));
            p.setBrush(QColor(gz::kCampFill));
            p.drawEllipse(c, 14.0, 14.0);
            break;
        }
        case jq::kHeadquarters: {
            const double w = upright ? 34 : 26, h = upright ? 26 : 34;
            p.setPen(QPen(QColor(gz::kHqEdge), 2.4));
            p.setBrush(QColor(gz::kHqFill));
            p.drawRoundedRect(QRectF(c.x() - w / 2, c.y() - h / 2, w, h), 10, 10);
            break;
        }
        default: {
            if (seat < 0) {
                p.setPen(QPen(QColor(gz::kCentreEdge), 2.0));
                p.setBrush(QColor(gz::kCentreFill));
                p.drawRect(QRectF(c.x() - 10, c.y() - 10, 20, 20));
            } else {
                const double w = upright ? 22 : 16, h = upright ? 16 : 22;
                p.setPen(QPen(QColor(gz::kPostEdge), 1.6));
                p.setBrush(QColor(gz::kPost));
                p.drawRect(QRectF(c.x() - w / 2, c.y() - h / 2, w, h));
            }
            break;
        }
    }
}

// The line picture, drawn from the board tables.
inline QImage GeziPicture(const jq::BoardTables& t) {
    QImage canvas = Canvas(kGeziSize, kGeziSize);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing, true);

    // Seat areas: a double frame around each.
    for (int s = 0; s < 4; ++s) {
        QRectF r = SeatFrame(t, s);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(gz::kFrame), 2.5));
        p.drawRect(r);
        p.setPen(QPen(QColor(gz::kFrameInner), 1.2));
        p.drawRect(r.adjusted(4, 4, -4, -4));
    }

    // Roads, then railways over them, then the posts on top.
    p.setPen(QPen(QColor(gz::kRoad), 2.0, Qt::SolidLine, Qt::RoundCap));
    for (auto [a, b] : RoadPairs(t)) p.drawLine(PointPos(t, a), PointPos(t, b));
    for (auto [a, b] : RailPairs(t)) DrawRail(p, PointPos(t, a), PointPos(t, b));
    for (int i = 0; i < jq::kPointCount; ++i) DrawPost(p, t, i);
    p.end();

    QImage keyed = KeyedFromAlpha(canvas, gz::kKey);
    return Quantize(keyed, GeziPalette());
}

// ---------------------------------------------------------------------------
// Background tiles: ten 16 x 16 pictures, each seamless when repeated.

inline QImage Tile(int n) {
    QImage img(16, 16, QImage::Format_RGB888);
    Lcg rng(0x5eed0000u + static_cast<uint32_t>(n) * 7919u);
    auto clamp = [](double v) { return std::max(0, std::min(255, static_cast<int>(std::lround(v)))); };
    auto put = [&](int x, int y, double r, double g, double b) {
        img.setPixel(x, y, qRgb(clamp(r), clamp(g), clamp(b)));
    };
    const double tau = 2 * M_PI;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const double u = x / 16.0, v = y / 16.0;
            const double noise = rng.Signed();
            switch (n) {
                case 0: {  // light pine
                    double g = std::sin(tau * (2 * v + 0.18 * std::sin(tau * u))) * 0.5 + 0.5;
                    double k = 14 * g + 4 * noise;
                    put(x, y, 226 - k, 190 - k * 1.1, 140 - k * 1.2);
                    break;
                }
                case 1: {  // parchment
                    double k = 6 * noise + (rng.Unit() < 0.05 ? -18 : 0);
                    put(x, y, 238 + k, 226 + k, 192 + k);
                    break;
                }
                case 2: {  // green baize
                    double k = 10 * noise;
                    put(x, y, 156 + k, 196 + k, 136 + k);
                    break;
                }
                case 3: {  // pale blue tiles
                    bool dark = ((x / 8) + (y / 8)) % 2 == 0;
                    bool grout = (x % 8 == 0) || (y % 8 == 0);
                    double k = grout ? -14 : (dark ? 0 : 10);
                    put(x, y, 202 + k, 222 + k, 240 + k * 0.6);
                    break;
                }
                case 4: {  // cream with diamonds
                    int a = std::abs(x - 8) + std::abs(y - 8);
                    bool line = (a == 8) || (a == 0);
                    double k = line ? -22 : 2 * noise;
                    put(x, y, 246 + k, 236 + k, 210 + k * 1.2);
                    break;
                }
                case 5: {  // grey marble
                    double vein = std::sin(tau * (u + v) + 1.6 * std::sin(tau * 2 * v)) * 0.5 + 0.5;
                    double k = -20 * std::pow(vein, 6) + 4 * noise;
                    put(x, y, 214 + k, 214 + k, 208 + k);
                    break;
                }
                case 6: {  // canvas weave
                    bool warp = ((x / 2) + (y / 2)) % 2 == 0;
                    double k = (warp ? 8 : -8) + 3 * noise;
                    put(x, y, 200 + k, 190 + k, 150 + k);
                    break;
                }
                case 7: {  // peach with dots
                    auto dist2 = [](int ax, int ay, int bx, int by) {
                        return (ax - bx) * (ax - bx) + (ay - by) * (ay - by);
                    };
                    bool dot = dist2(x, y, 4, 4) <= 2 || dist2(x, y, 12, 12) <= 2;
                    double k = dot ? -20 : 2 * noise;
                    put(x, y, 248 + k, 220 + k, 200 + k);
                    break;
                }
                case 8: {  // straw stripes
                    bool stripe = ((x + y) % 8) < 4;
                    double k = (stripe ? 6 : -6) + 2 * noise;
                    put(x, y, 244 + k, 234 + k, 176 + k);
                    break;
                }
                default: {  // teak
                    double g = std::sin(tau * (3 * v + 0.25 * std::sin(tau * u + 1))) * 0.5 + 0.5;
                    double k = 16 * g + 5 * noise;
                    put(x, y, 196 - k, 146 - k, 96 - k * 0.8);
                    break;
                }
            }
        }
    }
    return img;
}

// ---------------------------------------------------------------------------
// The board as the game shows it: a background tile, the line picture over
// it, and the pieces of all four seats on their start points (seat 0 face
// up, the others face up or down). Seat s uses colour variant s. With
// `crossOnly` everything outside the four seat areas and the centre stays
// transparent. With `demo` a few pieces are taken and a move's arrows are
// shown. The result is 525 x 525, in the board picture's coordinates.

inline QImage BoardScene(const jq::BoardTables& t, int tile, bool faceUp, bool crossOnly, bool demo) {
    QImage gezi = GeziPicture(t);
    const int key = gezi.pixelIndex(5, 5);
    QImage scene = Canvas(525, 525);
    QPainter p(&scene);
    if (crossOnly) {
        QPainterPath cross;
        for (int s = 0; s < 4; ++s) cross.addRect(SeatFrame(t, s).adjusted(-1, -1, 1, 1));
        QRectF f0 = SeatFrame(t, 0), f1 = SeatFrame(t, 1);
        cross.addRect(QRectF(QPointF(f0.left(), f1.top()), QPointF(f0.right(), f1.bottom())));
        p.setClipPath(cross.simplified());
    }
    p.fillRect(0, 0, 525, 525, QBrush(Tile(tile)));
    p.setClipping(false);
    for (int y = 0; y < kGeziSize; ++y)
        for (int x = 0; x < kGeziSize; ++x)
            if (gezi.pixelIndex(x, y) != key) scene.setPixel(x, y, gezi.pixel(x, y));

    // A formation that keeps the deployment rules, by slot.
    static const int codes[25] = {6, 12, 10, 7, 11, 9, 8, 12, 5, 3, 6, 10, 4,
                                  3, 11, 12, 2, 7,  2, 9, 10, 1, 2, 8, 11};
    QImage sheets[4];
    for (int s = 0; s < 4; ++s) sheets[s] = PieceSheet(s);
    auto drawPiece = [&](int s, int code, int point) {
        const jq::BoardPoint& bp = t.boardPoints[point];
        QRect src;
        if (s == 0 || s == 2)
            src = QRect(kCellW * s, kCellH * code, kCellW, kCellH);
        else if (s == 1)
            src = QRect(kCellH * code, kCellW * s, kCellH, kCellW);
        else
            src = QRect(kCellH * (12 - code), kCellW * s, kCellH, kCellW);
        p.drawImage(bp.pixelX - kPanelOffset - src.width() / 2, bp.pixelY - kPanelOffset - src.height() / 2,
                    sheets[s], src.x(), src.y(), src.width(), src.height());
    };
    for (int s = 0; s < 4; ++s) {
        for (int k = 0; k < 25; ++k) {
            if (demo && ((s == 1 && (k == 2 || k == 6)) || (s == 0 && (k == 0 || k == 2 || k == 9))))
                continue;
            drawPiece(s, (faceUp || s == 0) ? codes[k] : 0, s * 30 + k);
        }
    }
    if (demo) {
        // Seat 0's bomb moved into a camp, its company into the centre, and
        // its division has just run the railway to (22, 20).
        drawPiece(0, codes[9], 27);
        drawPiece(0, codes[2], 127);
        drawPiece(0, codes[0], 125);
        QImage keyed = ArrowSheet().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < keyed.height(); ++y)
            for (int x = 0; x < keyed.width(); ++x)
                if (keyed.pixel(x, y) == kArrowKey) keyed.setPixel(x, y, 0);
        // Path (18,17) -> (18,18) -> (18,20) -> (20,20) -> (22,20): up, up, right, right.
        const int steps[][2] = {{0, 7}, {126, 7}, {123, 1}, {124, 1}};
        for (auto& st : steps) {
            const jq::BoardPoint& bp = t.boardPoints[st[0]];
            p.drawImage(bp.pixelX - kPanelOffset - 12, bp.pixelY - kPanelOffset - 12, keyed, 24 * st[1], 0,
                        24, 24);
        }
    }
    p.end();
    return scene;
}

}  // namespace assetgen
