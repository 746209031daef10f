#include "ai/workspace.h"

#include <chrono>
#include <cstring>

#include "core/qipan.h"

namespace jq {

void TakeSnapshot(const GameState& g, AiSnapshot& out) {
    out.pieces = g.pieces;
    out.curSeat = g.curSeat;
    out.stepCount = g.stepCount;
    out.aiLevel = g.optionsRecord.aiLevel;
    out.styleCoefAttack = g.styleCoefAttack;
    out.styleCoefCaution = g.styleCoefCaution;
    out.styleCoefDefence = g.styleCoefDefence;
    out.aiPlanStepOffset = g.aiPlanStepOffset;
    out.aiPlanScale = g.aiPlanScale;
    out.styleDefence = g.optionsRecord.styleDefence;
    std::memcpy(out.pieceValues, g.pieceValues, sizeof out.pieceValues);
    std::memcpy(out.slotCorrelation, g.slotCorrelation, sizeof out.slotCorrelation);
}

AiWorkspace::AiWorkspace(const BoardTables& b)
    : board(&b),
      random(&ownRandom),
      aiMoveList(b),
      threatMoveList(b),
      replyMoveList(b),
      searchMoveList(b),
      sideStepMoveList(b),
      pathWork(b),
      playoutMoveList(b),
      counterMoveList(b),
      reachMoveList(b),
      mobilityMoveList(b) {}

}  // namespace jq
