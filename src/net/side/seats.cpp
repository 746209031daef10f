// The seat table and the start of each round of a LAN battle.
#include <cstring>

#include "core/options.h"
#include "core/text.h"
#include "formations/piecestats.h"
#include "formations/zffile.h"
#include "net/netbattle.h"
#include "records/layout.h"
#include "view/input.h"
#include "view/rotation.h"

namespace jq::net {

namespace {

constexpr size_t kNameBytesKept = 29;

void ViewOtherFormationsOff(GameState& g) {
    const std::string caption = ToggleViewOtherFormations(g);
    g.ui->SetViewOtherButton(false, caption);
}

}  // namespace

void FreeSeatRecord(SeatRec& r) {
    r = SeatRec{};
    PutBoundedText(r.name, sizeof r.name, Gb("计算机"));
}

void ResetSeatNames(GameState& g) {
    for (int s = 0; s < kSeats; ++s) {
        FreeSeatRecord(g.seatTable[s]);
        g.ui->SetSeatLabel(s, Gb("计算机"));
    }
}

void StartNetDeployment(GameState& g) {
    if (g.viewOtherFormations != 0) ViewOtherFormationsOff(g);
    NameTable names;
    // The seat labels come from these names, as the other sides sent them.
    for (int s = 0; s < kSeats; ++s)
        PutNameRow(names, s, ShownText(BoundedText(g.seatTable[s].name, sizeof g.seatTable[s].name)));
    CodeTable codes;
    PickZfFormations(g, codes);
    LayoutBattle(g, g.myNetSeat, codes, names);
    for (int i = 0; i < kPieceCount; ++i) {
        g.pieces[i].alive = i < kPiecesPerSeat ? 1 : 0;
        g.ui->SetPieceVisible(i, i < kPiecesPerSeat);
    }
    g.ui->RedrawPieces();
    LoadPieceStats(g);
    g.netPeaceRequestCount = 0;
    g.netTimeoutCount = 0;
    g.netMyTurn = 1;
    g.aiMoverGuard = -1;
}

void RejoinNetBattle(GameState& g) {
    if (g.netConnected == 0) return;
    // One sanitiser for the running copies: a damaged options record cannot
    // leave a turn direction other than +1 or -1.
    CopyBattleOptions(g);
    g.selectedPiece = kNoPiece;
    g.curSeat = g.mainRandom.Next() % kSeats;
    g.peaceAgreed = 0;
    g.stepLimitReached = 0;
    g.clickStepCount = 1;
    g.autoPlay = 0;
    g.practiceMode = 1;
    ApplyPlayMode(g, PlayMode::kPractice);
    g.ui->SetNextStepEnabled(false);
    g.ui->SelectPlayMode(true);
    g.ui->SetMainTimerEnabled(true);
    g.netState = kNetBetween;
    // The steps of the battle before (a LAN battle's, or one against the
    // computer left half-way) are no part of this one.
    g.stepCount = 0;
    g.ui->SetStatusText(2, Gb("当前已走：0 步"));
    ResetSeatNames(g);
    StartNetDeployment(g);

    SeatRec& own = g.netRecordBuf;
    own = SeatRec{};
    const std::string name = g.myNetName.substr(0, std::min(g.myNetName.size(), kNameBytesKept));
    PutBoundedText(own.name, sizeof own.name, name);
    own.seat = g.myNetSeat;
    ClientLink* link = g.lan != nullptr ? g.lan->client() : nullptr;
    PutBoundedText(own.address, sizeof own.address, link != nullptr ? link->LocalAddress() : std::string());
    own.port = link != nullptr ? link->LocalPort() : -1;
    own.state = 1;
    own.deployed = 0;
    SendNetMessage(g, "Join", g.curSeat);
    g.netState = kNetJoinSent;
}

void UpdatePlayButtons(GameState& g) {
    g.ui->SetSaveEnabled(false);
    g.ui->SetRotateEnabled(false);
    g.ui->SetPrevStepEnabled(false);
    g.ui->SetNextStepEnabled(false);
    bool ownAlive = false;
    for (int i = 0; i < kPiecesPerSeat; ++i) ownAlive = ownAlive || g.pieces[i].alive == 1;
    if (g.viewOtherFormations != 0 && ownAlive) ToggleViewOtherFormations(g);
    g.ui->SetViewOtherButton(false, ViewOtherCaption(g));
}

bool OwnSeatHeldByPlayer(const GameState& g) {
    return IsValidSeat(g.myNetSeat) && g.seatTable[g.myNetSeat].state == 1;
}

bool IsDeployingState(int32_t netState) { return netState >= kNetDeployBegins && netState <= kNetOwnDeploySent; }

bool NetDeploying(const GameState& g) { return g.netConnected != 0 && IsDeployingState(g.netState); }

bool NetRoundUnderWay(const GameState& g) {
    return NetDeploying(g) || (g.netConnected != 0 && (g.netState == kNetAllDeployed || g.netState == kNetBattle));
}

bool TurnDeadlineUnknown(const GameState& g) {
    return g.netConnected != 0 && g.netState == kNetBattle && g.lan != nullptr && g.lan->TurnStartUnknown();
}

}  // namespace jq::net
