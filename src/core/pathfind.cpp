#include "core/pathfind.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text.h"

namespace jq {

namespace {

constexpr int kSearchStart = 999;   // parent mark of the search's start point
constexpr int kMaxRailPath = 29;    // longer engineer paths are refused
constexpr int kLinePoints = 10;     // points used of each corner line

int Sign(int v) { return (v > 0) - (v < 0); }

// |a - b| without overflow, whatever coordinates a damaged record holds.
int64_t Gap(int a, int b) { return std::llabs(static_cast<int64_t>(a) - b); }

int KindAt(const BoardTables& b, int point) { return b.boardPoints[point].kind; }

// The piece on (x, y): from the grid when one is given, else the first live
// piece of the table there. Anything that is not a piece index reads as
// empty.
int Occupant(int x, int y, const PieceTable& table, const PieceGrid* grid) {
    if (grid == nullptr) return PieceAtPoint(x, y, table);
    const int v = grid->At(x, y);
    return IsValidPiece(v) ? v : kNoPiece;
}

void Notify(const PathWork& work, const std::string& gbText) {
    if (work.notify) work.notify(gbText);
}

int Refuse(PathBuffer& out) {
    out.length = -1;
    return -1;
}

}  // namespace

PathWork::PathWork(const BoardTables& b) : board(&b) {
    std::memcpy(railLinks, b.railLinks, sizeof railLinks);
}

int StepDirection(int dx, int dy) {
    const int sx = Sign(dx);
    const int sy = Sign(dy);
    if (sx > 0) return sy < 0 ? kDirRightDown : (sy > 0 ? kDirRightUp : kDirRight);
    if (sx < 0) return sy < 0 ? kDirLeftDown : (sy > 0 ? kDirLeftUp : kDirLeft);
    return sy < 0 ? kDirDown : (sy > 0 ? kDirUp : kDirNone);
}

int FindStraightRailPath(const PathWork& work, int x1, int y1, int x2, int y2, PathBuffer& out,
                         int& length, const PieceTable& table, const PieceGrid* grid) {
    const BoardTables& b = *work.board;
    if (x1 != x2 && y1 != y2) return 0;
    if (x1 == x2 && y1 == y2) return 0;
    if (PointIndexAt(b, x1, y1) < 0 || PointIndexAt(b, x2, y2) < 0) return 0;

    const int sx = Sign(x2 - x1);
    const int sy = Sign(y2 - y1);
    const int cells = std::abs(x2 - x1) + std::abs(y2 - y1) + 1;
    int n = 0;
    int gap = 0;
    for (int i = 0; i < cells; ++i) {
        const int cx = x1 + i * sx;
        const int cy = y1 + i * sy;
        const int p = PointIndexAt(b, cx, cy);
        if (p < 0) {
            // One missing cell between two points is the centre's gap; two
            // or more in a row separate two areas that no rail joins.
            if (++gap >= 2) return 0;
            continue;
        }
        gap = 0;
        if (n >= kPathCapacity) return 0;
        out.x[n] = cx;
        out.y[n] = cy;
        ++n;
        if (KindAt(b, p) != kRailway) return 0;
        const bool between = i > 0 && i < cells - 1;
        if (between && Occupant(cx, cy, table, grid) != kNoPiece) return 0;
    }
    length = n;
    return n;
}

int FindRailLinePath(const PathWork& work, int x1, int y1, int x2, int y2, PathBuffer& out,
                     int& length, const PieceTable& table, const PieceGrid* grid) {
    const BoardTables& b = *work.board;
    if (Gap(x1, 20) != Gap(y2, 20) && Gap(y1, 20) != Gap(x2, 20)) return 0;

    int from = -1;
    int to = -1;
    const GridPoint* line = nullptr;
    for (int l = 0; l < 4 && line == nullptr; ++l) {
        int i = -1;
        int j = -1;
        for (int k = 0; k < kLinePoints; ++k) {
            const GridPoint p = b.railLines[l][k];
            if (i < 0 && p.x == x1 && p.y == y1) i = k;
            if (j < 0 && p.x == x2 && p.y == y2) j = k;
        }
        if (i >= 0 && j >= 0) {
            line = b.railLines[l];
            from = i;
            to = j;
        }
    }
    if (line == nullptr || from == to) return 0;

    const int step = to > from ? 1 : -1;
    const int count = std::abs(to - from) + 1;
    for (int k = 0; k < count; ++k) {
        const GridPoint p = line[from + k * step];
        out.x[k] = p.x;
        out.y[k] = p.y;
        const bool between = k > 0 && k < count - 1;
        if (between && Occupant(p.x, p.y, table, grid) != kNoPiece) return 0;
    }
    length = count;
    return count;
}

void SortRailLinksByDistance(PathWork& work, int x, int y) {
    auto dist = [x, y](const GridPoint& l) {
        const uint64_t dx = static_cast<uint64_t>(Gap(l.x, x));
        const uint64_t dy = static_cast<uint64_t>(Gap(l.y, y));
        return dx * dx + dy * dy;  // exact for any int target: each gap < 2^32
    };
    for (int p = 0; p < kPointCount; ++p) {
        GridPoint* links = work.railLinks[p];
        if (links[0].x == 0) continue;
        for (int a = 0; a < 3; ++a) {
            for (int b = a + 1; b < 4; ++b) {
                if (links[b].x != 0 && dist(links[b]) < dist(links[a])) {
                    const GridPoint t = links[a];
                    links[a] = links[b];
                    links[b] = t;
                }
            }
        }
    }
}

int FindEngineerRailPath(PathWork& work, int& length, PathBuffer& out, int x1, int y1, int x2,
                         int y2, const PieceTable& table) {
    const BoardTables& b = *work.board;
    int* parent = work.railSearchParent;
    int* level = work.railSearchLevel;
    int* next = work.railSearchNext;
    for (int i = 0; i < kPointCount; ++i) parent[i] = kNoPiece;

    const int s = PointIndexAt(b, x1, y1);
    if (s < 0) {
        Notify(work, Gb("2.工兵起始位置不可思议！"));
        return 0;
    }
    if (KindAt(b, s) != kRailway) return 0;

    // Which points hold a live piece: one pass over the table instead of a
    // scan per link.
    bool occupied[kPointSlots] = {};
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& pc = table[i];
        if (pc.alive != 1) continue;
        const int q = PointIndexAt(b, pc.x, pc.y);
        if (q >= 0) occupied[q] = true;
    }

    parent[s] = kSearchStart;
    next[0] = s;
    int nextCount = 1;
    int levels = 0;
    bool found = false;
    while (!found && nextCount > 0) {
        const int levelCount = nextCount;
        std::memcpy(level, next, sizeof(int) * levelCount);
        nextCount = 0;
        ++levels;
        for (int i = 0; i < levelCount && !found; ++i) {
            const int p = level[i];
            for (int j = 0; j < 4; ++j) {
                const GridPoint l = work.railLinks[p][j];
                if (l.x == 0 || l.y == 0) continue;
                const int q = PointIndexAt(b, l.x, l.y);
                if (q < 0) continue;
                if (l.x == x2 && l.y == y2) {
                    parent[q] = p;
                    found = true;
                    break;
                }
                if (parent[q] != kNoPiece) continue;
                if (occupied[q]) continue;
                parent[q] = p;
                next[nextCount++] = q;
            }
        }
    }
    if (!found) return 0;
    int t = PointIndexAt(b, x2, y2);
    if (t < 0) return 0;

    const int n = levels + 1;
    if (n > kPathCapacity) {
        length = 0;
        return 0;
    }
    for (int k = levels; k >= 0; --k) {
        if (t < 0 || t >= kPointCount) return 0;
        out.x[k] = b.boardPoints[t].gridX;
        out.y[k] = b.boardPoints[t].gridY;
        t = parent[t];
    }
    length = n;
    if (n > kMaxRailPath) {
        length = 0;
        return 0;
    }
    return n;
}

int FindMovePath(PathWork& work, int piece, int x1, int y1, int x2, int y2, PathBuffer& out,
                 const PieceTable& table, const PieceGrid* grid) {
    const BoardTables& b = *work.board;
    if (!IsValidPiece(piece)) return Refuse(out);
    const int seat = SeatOf(piece);
    const bool engineer = table[piece].code == kEngineer;

    // A target held by the mover's own team is never reachable.
    const int occupant = Occupant(x2, y2, table, grid);
    if (occupant != kNoPiece) {
        const int os = SeatOf(occupant);
        if (os == seat || PartnerOf(os) == seat) return Refuse(out);
    }

    const int64_t dx = Gap(x1, x2);
    const int64_t dy = Gap(y1, y2);
    if (dx == 0 && dy == 0) return Refuse(out);

    int n = 0;
    int length = 0;
    if (dx <= 1 && dy <= 1) {
        out.x[0] = x1;
        out.y[0] = y1;
        out.x[1] = x2;
        out.y[1] = y2;
        const int t = PointIndexAt(b, x2, y2);
        if (t < 0) return Refuse(out);
        if (KindAt(b, t) == kCamp && occupant != kNoPiece) return Refuse(out);
        if (dx + dy == 1) {
            n = 2;
        } else {
            const int s = PointIndexAt(b, x1, y1);
            if (s < 0) return Refuse(out);
            if (KindAt(b, s) == kCamp || KindAt(b, t) == kCamp) {
                n = 2;
            } else if (Gap(x1, 20) == Gap(y2, 20) && Gap(x2, 20) == Gap(y1, 20)) {
                n = 2;  // the diagonal joint between two seats' front corners
            } else if (engineer) {
                SortRailLinksByDistance(work, x2, y2);
                n = FindEngineerRailPath(work, length, out, x1, y1, x2, y2, table);
            }
        }
    } else {
        n = FindStraightRailPath(work, x1, y1, x2, y2, out, length, table, grid);
        if (n == 0) n = FindRailLinePath(work, x1, y1, x2, y2, out, length, table, grid);
        if (n == 0 && engineer) {
            SortRailLinksByDistance(work, x2, y2);
            n = FindEngineerRailPath(work, length, out, x1, y1, x2, y2, table);
        }
    }
    if (n <= 0) return Refuse(out);

    for (int k = 0; k + 1 < n; ++k) out.dirs[k] = StepDirection(out.x[k + 1] - out.x[k], out.y[k + 1] - out.y[k]);
    out.length = n;
    return n;
}

int CheckStepBlocked(PathWork& work, int x1, int y1, int x2, int y2, PathBuffer& out, int length,
                     const PieceTable& table) {
    const BoardTables& b = *work.board;
    if (FindRailLinePath(work, x1, y1, x2, y2, out, length, table, nullptr) > 0) return 0;
    if (FindStraightRailPath(work, x1, y1, x2, y2, out, length, table, nullptr) > 0) return 0;

    const int64_t dx = Gap(x1, x2);
    const int64_t dy = Gap(y1, y2);
    if (dx > 1 || dy > 1) return 1;
    if (dx != 1 || dy != 1) return 0;

    const int s = PointIndexAt(b, x1, y1);
    const int t = PointIndexAt(b, x2, y2);
    if (s < 0 || t < 0) Notify(work, Gb("不可思意的起点或终点！") + std::string(10, ' '));
    const bool camp = (s >= 0 && KindAt(b, s) == kCamp) || (t >= 0 && KindAt(b, t) == kCamp);
    return camp ? 0 : 1;
}

}  // namespace jq
