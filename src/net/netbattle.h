// A side's LAN battle: applying what the host sends (the dispatcher), the
// seat table and the rounds of a LAN battle, and the pump that the main
// timer runs last on every tick.
#pragma once

#include <string>

#include "core/qipan.h"
#include "net/lan.h"
#include "net/wire/packet.h"

namespace jq::net {

// ---- Views ----
// Packets name absolute seats (the host is seat 0); the local view draws
// the own seat at the bottom as seat 0.
int LocalSeat(int absoluteSeat, int myNetSeat);
// A move that seat `senderSeat` made, given in its own view (its pieces
// 0..24), as seen from seat `viewSeat`. The special steps (mover -2) stay as
// they are.
MoveCand MoveToView(const MoveCand& m, int senderSeat, int viewSeat);

// ---- Dispatcher ----
// Applies the received packets, oldest first, up to and including the first
// that changes the battle: 1 when one did, 0 when none waited. Chat lines,
// seats taken or given up and packets dropped whole (failing a check) do not
// count, so they never pile up behind one packet a tick. A move is
// applied only in a running battle, only for the seat to move and only when
// its outcome is the one the pieces give; a deployment or a battle start
// that comes again once the battle runs changes nothing; a draw offer is
// not asked while another is open. netMyTurn becomes 1 only when a step is
// made, the battle begins, or a joining side takes the host's state: the own
// side sends at most one move per step, whatever else arrives meanwhile.
int ProcessClientMessage(GameState& g);

// ---- Seats and rounds ----
// A freed seat's record: zero (no address, port or state left of its last
// holder) and named "计算机".
void FreeSeatRecord(SeatRec& r);
// Every seat record zero, named "计算机", and the board labels with them.
void ResetSeatNames(GameState& g);
// Prepares the next LAN battle (the options' running copies through the one
// sanitiser, a drawn first seat, a fresh own deployment) and sends "Join"
// with the own record; netState 11. Nothing without a connection.
void RejoinNetBattle(GameState& g);
// Lays out the own deployment from the formation database, the other seats
// hidden until their "SwitchEnd".
void StartNetDeployment(GameState& g);
// The controls of LAN play: no saving, turning or stepping (give-up and
// peace follow OwnSeatHeldByPlayer, on the main timer's tick).
void UpdatePlayButtons(GameState& g);
// A person (this side's player) holds the own seat, as the host has told.
bool OwnSeatHeldByPlayer(const GameState& g);
// The LAN deployment is under way on this side: from the host's "JoinOk"
// (or a join in the deployment) until the battle starts, the own seat's
// formation sent or not.
bool NetDeploying(const GameState& g);
// A LAN state (the own side's, or the host's as a packet gives it) of the
// deployment: from its beginning until the battle starts.
bool IsDeployingState(int32_t netState);
// The round's deployment or its battle is under way on this side: its clock
// counts from turnStarted, and a host silent meanwhile is told.
bool NetRoundUnderWay(const GameState& g);
// In the running battle the side cannot tell when the turn began on the
// host (LanSession::TurnStartUnknown): its clock shows no deadline.
bool TurnDeadlineUnknown(const GameState& g);

// ---- The pump ----
// The host's duties (HostRelay::Tick), whatever its own side is doing; a
// side that does not host has none. The pump does them first on every tick,
// and a window runs them besides on a timer of their own, so that a box its
// player keeps open (which holds the pump up) holds up nobody else.
void DoHostDuties(GameState& g);
// A joining side's own "Join" waits for the host's answer (the host may keep
// it waiting for a while): its window says so, and shows neither the
// waiting room nor a clock until the answer comes.
bool AwaitsHostAnswer(const GameState& g);

// One tick of the LAN battle. On the host the relay's duties come first,
// whatever arrived: connections that hold the battle back, the time-outs,
// the joins that waited (HostRelay::Tick). Then received packets are applied
// (ProcessClientMessage); the host's side deploys and moves for the seats the
// computer holds once its own connection has taken everything sent to it
// (and each remote seat has, or has had a second to); and netState takes its
// next step. While the battle start is due (netState 25) no packet is
// applied before it.
void HandleNetBattle(GameState& g);

// Ends the own deployment as it stands, as "完毕" does (for a side without
// a player at the board): the own "SwitchEnd" goes out on the next tick.
// False while deploying is not under way, the host still owes a computer
// seat its formation, or the deployment breaks a rule.
bool FinishOwnDeployment(GameState& g);

// ---- Leaving ----
// Why a side leaves its LAN battle.
enum LeaveReason : int {
    kLeaveTooManyTimeouts = 0,
    kLeaveRefused = 1,
    kLeaveHostSilent = 2,
    kLeaveJoinFailed = 3,
    kLeaveServerFailed = 4,
    kLeaveClientFailed = 5,
    kLeaveFromWaitingRoom = 6,
    kLeaveQueueFault = 7,
    // The host gave the own seat to the computer: its deploy time ran out,
    // it was silent on its turn, or for no reason the side can tell.
    kLeaveDeployTimeout = 8,
    kLeaveSilentTurn = 9,
    kLeaveHandedOver = 10,
};
// The status-bar text of a reason; an unknown reason reads as an unknown
// fault.
std::string AbortReasonText(int reason);
// Why the host has given the own seat to the computer, as the side can tell:
// in the deployment its deploy time ran out; in the battle, after three
// time-outs of the seat the fourth, before them its silence on its turn.
int HandOverReason(const GameState& g);
// What the box says about a seat the host gave to the computer (GB2312).
std::string HandOverText(int reason);
// What the box says when the host refuses a join (GB2312). A refusal carries
// no reason, and a side knows nothing of rounds before its program started:
// the text holds whatever the reason was (a player in the seat, the host's
// seat, a second seat, the seat this address was handed over from in the
// round still running).
std::string JoinRefusedText();
// The other boxes a LAN battle shows (GB2312). Every text the LAN code puts
// in the window's box, these and the ones above, fits it whole.
enum class LanBox {
    kAskLeaveForNewBattle,  // "联网对战" while in a LAN battle: a question
    kNoNetwork,
    kServerFailed,
    kNoHost,
    kConnectTimedOut,
    kHostSilent,
    kResultNotSent,
    kUnknownWord,
};
std::string LanBoxText(LanBox box);
// The question of a draw offer from the player called `gbName`.
std::string PeaceQuestionText(const std::string& gbName);
// The host's own seat has gone to its computer: its player is told why, as a
// side is (HandOverReason), and stays in the battle.
void TellHostSeatTakenOver(GameState& g);
// The one way back from a LAN battle: closes the connection to the host
// (hosting stops only if the player agrees to the new battle's question),
// shows the reason in the status bar, and starts a battle against the
// computer.
void AbortNetBattle(GameState& g, int reason);

// The chat line: sends the typed line, cut to 250 bytes, as the own seat's.
void SendChatLine(GameState& g, const std::string& gbText);

// The host's player presses "开始战役" in the wait dialog.
void HostStartsBattle(GameState& g);
// A joining player presses "退出网战": leaves once the host has seated him
// (OwnSeatHeldByPlayer).
void LeaveWaitingRoom(GameState& g);

}  // namespace jq::net
