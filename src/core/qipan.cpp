#include "core/qipan.h"

namespace jq {

namespace {
constexpr float kPieceValues[15] = {2000, 50, 130, 220, 170, 90, 70, 50, 40, 30, 20, 40, 0, 0, 0};
}

GameState::GameState() {
    board = &Board();
    // The path finder's notices of this game go to whatever window the game
    // has at that moment.
    pathWork.notify = [this](const std::string& gbText) { ui->ShowMessage(gbText, false); };
    clickStepCount = 1;
    for (int i = 0; i < 15; ++i) pieceValues[i] = kPieceValues[i];
    styleCoefAttack = 0.618;
    styleCoefCaution = 0.8;
    styleCoefDefence = 0.382;
    aiPlanScale = 1.0;
    aiPlanStepOffset = 3.0;
    // Without an options record the running copies take these values.
    netMinMoveInterval = 1;
    turnDirection = 1;
    netMoveTime = 30;
    netDeployTime = 40;
    netDisconnectTime = 60;
    battleFileName = "default.kbt";
    replayFileName = "NONE";
}

}  // namespace jq
