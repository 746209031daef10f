// The game state: everything one game holds, apart from the window's own
// components. Several games can live in one process; nothing here is global.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/board.h"
#include "core/gameui.h"
#include "core/options.h"
#include "core/pathfind.h"
#include "core/rng.h"
#include "core/types.h"

namespace jq {

class ComputerPlayer;
namespace net {
class LanSession;
}

// One LAN seat; 128 bytes on the wire.
struct SeatRec {
    char name[32] = {};
    int32_t seat = 0;
    char address[16] = {};
    int32_t port = 0;
    int32_t state = 0;     // 0 computer or empty, 1 a person, 2 released
    int32_t deployed = 0;  // 2 = deployment finished
    uint8_t reserved[64] = {};
};

struct GameState {
    GameState();

    // The window (or a test's fake). Never null.
    GameUi* ui = &nullUi;
    NullUi nullUi;

    OptionsRec optionsRecord;

    // Running copies of the battle options.
    int32_t turnDirection = 0;
    int32_t netMinMoveInterval = 0;
    int32_t netMoveTime = 0;
    int32_t netDeployTime = 0;
    int32_t netDisconnectTime = 0;

    int32_t zfChosenIndex[4] = {};
    MoveRec move;  // moveFromX, moveFromY, moveToX, moveToY
    float pieceValues[15] = {};

    int32_t battleRunning = 0;
    int32_t autoPlay = 0;
    int32_t clickStepCount = 0;
    std::string battleFileName;
    std::string replayFileName;

    PathBuffer path;  // pathX, pathY, pathDirs, pathLength
    PathWork pathWork{Board()};  // the main thread's path-finder work areas
    int32_t viewOtherFormations = 0;
    int32_t deployPhase = 0;

    const BoardTables* board = nullptr;  // railLinks, railLines, boardPoints, pointAtGrid, deploySlotLinks

    MoveCand netMoveRecord;  // the move handed on (slot 0 of the candidate list)

    PieceTable pieces = {};
    PieceTable deployedPieces = {};
    PieceGrid pieceGrid;
    MoveRec moveHistory[kStepSlots] = {};
    StepRec stepRecords[kStepSlots] = {};
    StepRec lastStepRecord;
    std::string hoverCaption;
    std::string seatNames[4];
    int8_t eliminatedPieces[4][30] = {};
    int32_t stepCount = 0;
    int32_t selectedPiece = 0;
    int32_t selectionBlink = 0;  // blink counter of the selected piece (see view/selection.h)
    int32_t curSeat = 0;
    int32_t computerSeat[4] = {};
    // The computer player's worker, owned by the window; null: none.
    ComputerPlayer* computer = nullptr;
    // Turn loop.
    int32_t practiceMode = 0;    // 1 while play ("下棋") is selected, 0 in replay ("复盘")
    int32_t autoPlayTicks = 0;   // main-timer ticks since the last automatic replay decision
    int32_t turnLightTick = 0;   // position in the turn light's animation, 0..80
    int32_t gameLogicDepth = 0;  // > 0 while a move, a battle end or a question is being handled
    // Counts the battles begun; a wait that spans a new battle sees it.
    int32_t battleSerial = 0;
    std::string appFolder;
    float slotCorrelation[25][12][3][12] = {};

    // When the battle last showed life: a step executed (or refused), the
    // computer set to think, a read from the host. A LAN side tells a silent
    // host from it, and a battle against the computer shows its clock from
    // it; no LAN turn's time counts from it (that is turnStarted).
    ClockStamp lastActivity;
    // When the current turn (or the LAN deployment) began: restarted only by
    // an executed step or the start of a phase, never by a packet that
    // changes neither, so a side that keeps talking cannot hold its turn for
    // ever. A LAN side takes the time the step (the battle's start, the
    // deployment's, its own join) reached it, however much later it applies
    // it.
    ClockStamp turnStarted;
    ClockStamp aiPhaseTimes[3];
    double styleCoefAttack = 0.0;
    double styleCoefCaution = 0.0;
    double styleCoefDefence = 0.0;
    double aiPlanStepOffset = 0.0;
    double aiPlanScale = 0.0;

    // LAN battle.
    SeatRec seatTable[4];
    SeatRec netRecordBuf;
    std::string myNetName;
    int32_t peaceVotes[4] = {};
    int32_t netPeaceRequestCount = 0;
    int32_t netTimeoutCount = 0;
    int32_t netMyTurn = 0;
    int32_t myNetSeat = 0;
    int8_t netDeployCodes[32] = {};
    int32_t aiMoverGuard = 0;
    int32_t peaceAgreed = 0;
    int32_t stepLimitReached = 0;
    int32_t netConnected = 0;
    int32_t isNetHost = 0;
    int32_t netState = 0;
    std::string chatText;
    // The LAN battle's connections and queues, owned by whoever set the
    // battle up; null: none.
    net::LanSession* lan = nullptr;

    // The main thread's random generator.
    GameRandom mainRandom;
};

}  // namespace jq
