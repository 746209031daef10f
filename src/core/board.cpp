#include "core/board.h"

namespace jq {

namespace {

// Road neighbours of each deployment slot among the slots (-2 none). The
// relation is deliberately one-sided for 13 -> 17 and 14 -> 19: the belief
// spreading of the computer player reads it exactly like this.
constexpr int8_t kDeploySlotLinks[kPiecesPerSeat][3] = {
    {1, 5, -2},   {0, 2, -2},   {1, 3, 6},    {2, 4, -2},   {3, 7, -2},
    {0, 8, -2},   {2, -2, -2},  {4, 11, -2},  {5, 9, 12},   {8, -2, -2},
    {11, -2, -2}, {7, 10, 14},  {8, 15, -2},  {17, -2, -2}, {11, 19, -2},
    {12, 16, 20}, {15, 17, 21}, {16, 18, 22}, {17, 23, 19}, {18, 24, -2},
    {15, 21, -2}, {16, 20, 22}, {17, 21, 23}, {18, 22, 24}, {19, 23, -2},
};

struct StoredPoint {
    int32_t x, y, px, py, kind;
};

// Seat 0's 30 points (25 deployment slots, then the 5 camps) as drawn on the
// board picture, before the picture's offset inside its panel.
constexpr StoredPoint kSeatPoints[30] = {
    {18, 17, 199, 357, kRailway}, {19, 17, 229, 357, kRailway}, {20, 17, 259, 357, kRailway},
    {21, 17, 289, 357, kRailway}, {22, 17, 319, 357, kRailway}, {18, 16, 199, 387, kRailway},
    {20, 16, 259, 387, kRoad},    {22, 16, 319, 387, kRailway}, {18, 15, 199, 417, kRailway},
    {19, 15, 229, 417, kRoad},    {21, 15, 289, 417, kRoad},    {22, 15, 319, 417, kRailway},
    {18, 14, 199, 446, kRailway}, {20, 14, 259, 446, kRoad},    {22, 14, 319, 446, kRailway},
    {18, 13, 199, 476, kRailway}, {19, 13, 229, 476, kRailway}, {20, 13, 259, 476, kRailway},
    {21, 13, 289, 476, kRailway}, {22, 13, 319, 476, kRailway}, {18, 12, 199, 507, kRoad},
    {19, 12, 229, 507, kHeadquarters}, {20, 12, 259, 507, kRoad},
    {21, 12, 289, 507, kHeadquarters}, {22, 12, 319, 507, kRoad},
    {19, 16, 229, 387, kCamp},    {21, 16, 289, 387, kCamp},    {20, 15, 259, 417, kCamp},
    {19, 14, 229, 446, kCamp},    {21, 14, 289, 446, kCamp},
};

// The 3 x 3 centre, points 120..128.
constexpr StoredPoint kCentrePoints[9] = {
    {18, 22, 199, 204, kRailway}, {20, 22, 259, 204, kRailway}, {22, 22, 319, 204, kRailway},
    {18, 20, 199, 263, kRailway}, {20, 20, 259, 263, kRailway}, {22, 20, 319, 263, kRailway},
    {18, 18, 199, 322, kRailway}, {20, 18, 259, 322, kRailway}, {22, 18, 319, 322, kRailway},
};

// Railway neighbours of seat 0's points, in search order; (0,0) none.
constexpr GridPoint kSeatRailLinks[30][4] = {
    {{17, 18}, {18, 18}, {18, 16}, {19, 17}},  // 0
    {{18, 17}, {20, 17}, {0, 0}, {0, 0}},      // 1
    {{19, 17}, {21, 17}, {20, 18}, {0, 0}},    // 2
    {{20, 17}, {22, 17}, {0, 0}, {0, 0}},      // 3
    {{22, 18}, {23, 18}, {21, 17}, {22, 16}},  // 4
    {{18, 17}, {18, 15}, {0, 0}, {0, 0}},      // 5
    {},                                        // 6
    {{22, 17}, {22, 15}, {0, 0}, {0, 0}},      // 7
    {{18, 16}, {18, 14}, {0, 0}, {0, 0}},      // 8
    {},                                        // 9
    {},                                        // 10
    {{22, 16}, {22, 14}, {0, 0}, {0, 0}},      // 11
    {{18, 15}, {18, 13}, {0, 0}, {0, 0}},      // 12
    {},                                        // 13
    {{22, 15}, {22, 13}, {0, 0}, {0, 0}},      // 14
    {{18, 14}, {19, 13}, {0, 0}, {0, 0}},      // 15
    {{18, 13}, {20, 13}, {0, 0}, {0, 0}},      // 16
    {{19, 13}, {21, 13}, {0, 0}, {0, 0}},      // 17
    {{20, 13}, {22, 13}, {0, 0}, {0, 0}},      // 18
    {{21, 13}, {22, 14}, {0, 0}, {0, 0}},      // 19
    {}, {}, {}, {}, {},                        // 20..24
    {}, {}, {}, {}, {},                        // camps 25..29
};

constexpr GridPoint kCentreRailLinks[9][4] = {
    {{18, 23}, {17, 22}, {18, 20}, {20, 22}},  // 120
    {{18, 22}, {22, 22}, {20, 20}, {20, 23}},  // 121
    {{20, 22}, {23, 22}, {22, 23}, {22, 20}},  // 122
    {{17, 20}, {20, 20}, {18, 22}, {18, 18}},  // 123
    {{18, 20}, {22, 20}, {20, 22}, {20, 18}},  // 124
    {{22, 22}, {22, 18}, {20, 20}, {23, 20}},  // 125
    {{17, 18}, {20, 18}, {18, 20}, {18, 17}},  // 126
    {{20, 20}, {20, 17}, {18, 18}, {22, 18}},  // 127
    {{20, 18}, {23, 18}, {22, 20}, {22, 17}},  // 128
};

// The four railway lines, each turning the corner between two seats.
constexpr GridPoint kRailLines[4][10] = {
    {{22, 13}, {22, 14}, {22, 15}, {22, 16}, {22, 17},
     {23, 18}, {24, 18}, {25, 18}, {26, 18}, {27, 18}},
    {{27, 22}, {26, 22}, {25, 22}, {24, 22}, {23, 22},
     {22, 23}, {22, 24}, {22, 25}, {22, 26}, {22, 27}},
    {{18, 27}, {18, 26}, {18, 25}, {18, 24}, {18, 23},
     {17, 22}, {16, 22}, {15, 22}, {14, 22}, {13, 22}},
    {{13, 18}, {14, 18}, {15, 18}, {16, 18}, {17, 18},
     {18, 17}, {18, 16}, {18, 15}, {18, 14}, {18, 13}},
};

constexpr int kPictureOffset = 2;  // the board picture lies at (2, 2) in its panel

int Wrap4(int n) { return ((n % 4) + 4) % 4; }

}  // namespace

void BuildBoardTables(BoardTables& t) {
    t = BoardTables{};

    for (int k = 0; k < kPiecesPerSeat; ++k)
        for (int j = 0; j < 3; ++j) t.deploySlotLinks[k][j] = kDeploySlotLinks[k][j];

    for (int s = 0; s < kSeats; ++s) {
        for (int k = 0; k < 30; ++k) {
            for (int j = 0; j < 4; ++j) {
                const GridPoint l = kSeatRailLinks[k][j];
                if (l.x != 0 && l.y != 0) t.railLinks[s * 30 + k][j] = SeatMap(l, s);
            }
        }
    }
    for (int c = 0; c < 9; ++c)
        for (int j = 0; j < 4; ++j) t.railLinks[120 + c][j] = kCentreRailLinks[c][j];

    for (int l = 0; l < 4; ++l)
        for (int i = 0; i < 10; ++i) t.railLines[l][i] = kRailLines[l][i];

    for (int k = 0; k < 30; ++k) {
        const StoredPoint& p = kSeatPoints[k];
        t.boardPoints[k] = BoardPoint{p.x, p.y, p.px, p.py, p.kind};
        // The pixel maps turn the picture about the centre point (259, 263).
        t.boardPoints[30 + k] = BoardPoint{40 - p.y, p.x, p.py - 4, 522 - p.px, p.kind};
        t.boardPoints[60 + k] = BoardPoint{40 - p.x, 40 - p.y, 518 - p.px, 526 - p.py, p.kind};
        t.boardPoints[90 + k] = BoardPoint{p.y, 40 - p.x, 522 - p.py, p.px + 4, p.kind};
    }
    for (int c = 0; c < 9; ++c) {
        const StoredPoint& p = kCentrePoints[c];
        t.boardPoints[120 + c] = BoardPoint{p.x, p.y, p.px, p.py, p.kind};
    }
    for (int i = 0; i < kPointCount; ++i) {
        t.boardPoints[i].pixelX += kPictureOffset;
        t.boardPoints[i].pixelY += kPictureOffset;
    }

    for (auto& col : t.pointAtGrid)
        for (auto& c : col) c = kNoPoint;
    for (int i = 0; i < kPointCount; ++i) {
        const BoardPoint& p = t.boardPoints[i];
        t.pointAtGrid[p.gridX - kGridMin][p.gridY - kGridMin] = i;
    }
}

const BoardTables& Board() {
    static const BoardTables tables = [] {
        BoardTables t;
        BuildBoardTables(t);
        return t;
    }();
    return tables;
}

int PointIndexAt(const BoardTables& t, int x, int y) {
    if (x < kGridMin || x > kGridMax || y < kGridMin || y > kGridMax) return kNoPoint;
    return t.pointAtGrid[x - kGridMin][y - kGridMin];
}

int PieceAtPoint(int x, int y, const PieceTable& pieces) {
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& p = pieces[i];
        if (p.x == x && p.y == y && p.alive == 1) return i;
    }
    return kNoPiece;
}

void PieceGrid::Fill(const PieceTable& pieces) {
    for (auto& col : cell)
        for (auto& c : col) c = kNoPiece;
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& p = pieces[i];
        if (p.alive != 1) continue;
        // A live piece off the grid (a damaged record) is left out rather
        // than written outside the array.
        if (p.x < kGridMin || p.x > kGridMax || p.y < kGridMin || p.y > kGridMax) continue;
        cell[p.x - kGridMin][p.y - kGridMin] = i;
    }
}

int PieceGrid::At(int x, int y) const {
    if (x < kGridMin || x > kGridMax || y < kGridMin || y > kGridMax) return kNoPoint;
    return cell[x - kGridMin][y - kGridMin];
}

GridPoint TurnGridPoint(GridPoint p, int turns) {
    turns = Wrap4(turns);
    for (int i = 0; i < turns; ++i) p = GridPoint{p.y, 40 - p.x};
    return p;
}

GridPoint SeatMap(GridPoint p, int seat) {
    switch (Wrap4(seat)) {
        case 1: return GridPoint{40 - p.y, p.x};
        case 2: return GridPoint{40 - p.x, 40 - p.y};
        case 3: return GridPoint{p.y, 40 - p.x};
        default: return p;
    }
}

}  // namespace jq
