#include "formations/newbattle.h"

#include <cstring>

#include "core/options.h"
#include "core/text.h"
#include "formations/piecestats.h"
#include "formations/zffile.h"
#include "net/lan.h"
#include "play/turnloop.h"
#include "records/layout.h"
#include "view/input.h"
#include "view/rotation.h"

namespace jq {
namespace {

void EnterPlayMode(GameState& g, bool practice) {
    g.practiceMode = practice ? 1 : 0;
    ApplyPlayMode(g, practice ? PlayMode::kPractice : PlayMode::kReplay);
    if (practice) g.ui->SetNextStepEnabled(false);
    g.ui->SelectPlayMode(practice);
    g.ui->SetMainTimerEnabled(true);
}

}  // namespace

bool NewBattleAgainstComputer(GameState& g) {
    const bool server = net::NetServerActive(g);
    const bool client = net::NetClientActive(g);
    if (server || client) {
        const std::string question = Gb("加入新的网战将复位正在进行的网络战役！") + std::string(13, ' ') + Gb("\n是否继续？");
        if (g.ui->ShowMessage(question, true) != 1) return false;
    }
    StopAIThread(g);
    ++g.battleSerial;
    // Boxes below run the message loop; the main timer must not step or wake
    // the computer player in the half-reset state.
    GameLogicGuard guard(g);
    g.battleRunning = 0;
    if (server || client) net::CloseNetSockets(g, client, server);
    EnterPlayMode(g, false);
    g.ui->ShowStartupTitle();

    g.replayFileName = "NONE";
    g.clickStepCount = 1;
    g.netConnected = 0;
    g.autoPlay = 0;
    g.peaceAgreed = 0;
    g.stepLimitReached = 0;

    NameTable names;
    for (int s = 0; s < kSeats; ++s) PutNameRow(names, s, PlayerName(g.optionsRecord, s));
    CopyBattleOptions(g);
    g.ui->SetStatusText(1, LevelStatusText(g.optionsRecord.aiLevel));

    CodeTable codes;
    PickZfFormations(g, codes);
    LayoutBattle(g, 0, codes, names);
    // What a save before the end of the deployment writes.
    g.deployedPieces = g.pieces;
    for (int s = 0; s < kSeats; ++s) g.seatNames[s] = TrimLabelText(NameRow(names, s));

    g.selectedPiece = kNoPiece;
    g.curSeat = g.mainRandom.Next() % kSeats;
    g.stepCount = 0;
    for (MoveRec& m : g.moveHistory) m = MoveRec{};
    for (int i = 0; i < kStepSlots; ++i) {
        g.stepRecords[i] = StepRec{};
        if (i >= kMaxSteps) g.stepRecords[i].mover = g.stepRecords[i].target = 0;
    }
    std::memset(g.eliminatedPieces, -2, sizeof g.eliminatedPieces);

    g.deployPhase = 1;
    g.ui->SetDeploymentControlsVisible(true);
    g.ui->SetSaveEnabled(true);
    g.ui->SetRotateEnabled(false);
    g.ui->SetPrevStepEnabled(false);
    g.ui->SetNextStepEnabled(false);
    if (g.viewOtherFormations == 1) ToggleViewOtherFormations(g);
    g.ui->SetViewOtherButton(false, ViewOtherCaption(g));
    g.ui->SetGiveUpAndPeaceEnabled(true);
    EnterPlayMode(g, true);

    LoadPieceStats(g);
    g.battleRunning = 1;
    return true;
}

void OtherFormationForSeat0(GameState& g) {
    if (g.deployPhase != 1) return;
    CodeTable codes;
    PickZfFormations(g, codes);
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        const int code = codes.rows[0][k];
        g.pieces[k].code = IsValidCode(code) ? code : kCodeNone;
    }
    g.ui->DrawOwnPieces();
}

}  // namespace jq
