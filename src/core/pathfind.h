// Move legality and path finding on roads and railways.
#pragma once

#include <cstdint>

#include "core/board.h"
#include "core/types.h"

namespace jq {

class GameUi;

// Path directions of one step; also the cell of the arrow sprite.
enum PathDirection : int32_t {
    kDirNone = 0,
    kDirRight = 1,      // +x
    kDirRightDown = 2,  // +x -y
    kDirDown = 3,       // -y
    kDirLeftDown = 4,   // -x -y
    kDirLeft = 5,       // -x
    kDirLeftUp = 6,     // -x +y
    kDirUp = 7,         // +y
    kDirRightUp = 8,    // +x +y
};

// A path: the points a move passes, start first and target last.
struct PathBuffer {
    int32_t x[kPathCapacity] = {};
    int32_t y[kPathCapacity] = {};
    int32_t dirs[kPathCapacity] = {};
    int32_t length = 0;  // below 1: the move is not possible
};

// Everything one caller of the path finder owns: the output path and the
// work areas of the searches. Each thread and each game has its own, so the
// path finder can run in several places at once.
struct PathFinder;

}  // namespace jq
