#include "core/pathfind.h"

#include <cstring>

namespace jq {

PathWork::PathWork(const BoardTables& b) : board(&b) {
    std::memcpy(railLinks, b.railLinks, sizeof railLinks);
}

int FindMovePath(PathWork& work, int piece, int x1, int y1, int x2, int y2, PathBuffer& out,
                 const PieceTable& table, const PieceGrid* grid) {
    out.length = -1;
    return -1;
}

int CheckStepBlocked(PathWork& work, int x1, int y1, int x2, int y2, PathBuffer& out, int length,
                     const PieceTable& table) {
    return 0;
}

}  // namespace jq
