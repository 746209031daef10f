// One side's part in a LAN battle: its connection to the host, the packets
// waiting to go out on it, the packets received and not yet applied (the
// inbox), and, on the host, the relay. The sockets live outside the model
// (net/ui/) and reach it through the two link interfaces below; everything
// here runs on the main thread. A game reaches its session through
// GameState::lan (null: no LAN battle was ever set up).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/qipan.h"
#include "net/wire/framer.h"
#include "net/wire/packet.h"

namespace jq::net {

class HostRelay;

// A side's connection to the host.
class ClientLink {
public:
    virtual ~ClientLink() = default;
    virtual bool Connected() const = 0;
    // Hands bytes to the connection; returns how many it took (0..size).
    virtual size_t Write(const uint8_t* data, size_t size) = 0;
    virtual void Close() = 0;
    // The session has room for received bytes again
    // (LanSession::ClientAccepting): hand over what waits, later, from the
    // event loop.
    virtual void Resume() {}
    // The connection's own end: dotted IPv4 text (empty when none) and port
    // (-1 when none).
    virtual std::string LocalAddress() const = 0;
    virtual int LocalPort() const = 0;
};

// The host's listening socket and the connections it accepted, each known
// by an id the socket layer chooses.
using ConnId = int;
class ServerLinks {
public:
    virtual ~ServerLinks() = default;
    virtual bool Listening() const = 0;
    virtual size_t Write(ConnId id, const uint8_t* data, size_t size) = 0;
    // Whether a write would take the next packet now; when it would not, the
    // connection is reported writable once it would.
    virtual bool Ready(ConnId) { return true; }
    virtual void Close(ConnId id) = 0;
    // The relay takes this connection's bytes again (HostRelay::Accepting):
    // hand over what waits, later, from the event loop.
    virtual void Resume(ConnId) {}
    // Hand over the bytes that have come for this connection now, before
    // returning (HostRelay::Received, as far as it accepts them): a
    // connection is judged idle only once it has been read.
    virtual void ReadNow(ConnId) {}
    // Closes every connection and stops listening.
    virtual void Stop() = 0;
};

// What a LAN battle shows besides the board and the status bar. No call
// waits for the player.
class LanUi {
public:
    virtual ~LanUi() = default;
    // netState became 12: the wait dialog appears (modeless); it closes
    // itself once netState is above 12.
    virtual void ShowWaitDialog() {}
    // A chat line ("name：text", GB2312) from absolute seat `seat`, in that
    // seat's colour.
    virtual void ChatLine(int seat, const std::string& gbLine) {}
    // Another player offers a draw. The answer, whenever given, goes through
    // AnswerPeace. Without an answer nothing is sent.
    virtual void AskPeace(int seat, const std::string& gbQuestion) {}
    // A notice for the bulletin (GB2312).
    virtual void Notice(const std::string& gbText) {}
    // The side has left the LAN battle (AbortNetBattle), for the reason
    // given; its text is in the status bar.
    virtual void LeftBattle(int reason, const std::string& gbText) {}
    // After leaving: why, for a box (GB2312, line breaks as they stand). The
    // box waits until the tick that left is over.
    virtual void ExplainLeaving(const std::string& gbText) {}
    // The host's own seat has gone to its computer, which plays it from now
    // on; the window stays in the battle: why, in a box the battle does not
    // wait for (GB2312).
    virtual void SeatTakenOver(const std::string& gbText) {}
};

// A turn's (and the deployment's) time belongs to the seat: it counts from
// the turn's start on the host, whoever holds the seat. The host waits
// kTurnGraceSeconds beyond it for the seat's own time-out (the grace covers
// the trip), then ends the turn itself. A join taken in the seat's turn (in
// the deployment) brings the whole move (deploy) time from the host's
// taking it, or it waits until the turn is over: which joins bring it is
// the host's phase clock's rule (net/host/phaseclock.h). Every side counts the
// seat's time again from where it learns of such a join: the joiner from
// its "JoinLast", the others from the seat's "Join", but for a side still
// deploying, whose clock stays with its own seat's deployment until it has
// deployed. A side that joins in another seat's turn cannot tell when it
// began, and shows no deadline until the next step.
constexpr int kTurnGraceSeconds = 3;
// Time-outs a player may pass on a seat in one battle; his next hands the
// seat to the computer. Whose they are is the host's count
// (net/host/timeouts.h).
constexpr int kTimeoutsPassed = 3;

// Packets waiting in one direction, first in, first out.
constexpr size_t kInboxLimit = 256;
constexpr size_t kOutboxLimit = 256;
// Received bytes a side holds beyond a full inbox; the socket layer reads
// no more while the inbox is full, so only a broken one comes near it.
constexpr size_t kClientBacklogBytes = 64 * 1024;

class LanSession {
public:
    explicit LanSession(GameState& g);
    ~LanSession();
    LanSession(const LanSession&) = delete;
    LanSession& operator=(const LanSession&) = delete;

    GameState& game() { return g_; }
    LanUi* ui() { return ui_ != nullptr ? ui_ : &nullUi_; }
    void SetUi(LanUi* ui) { ui_ = ui; }

    // ---- The connection to the host (every side, the host's included) ----
    // The socket layer attaches its link once connected (null detaches).
    void AttachClient(ClientLink* link);
    ClientLink* client() { return client_; }
    bool ClientActive() const;
    // Bytes arrived: cut into packets and queued in the inbox, each with the
    // time it arrived. Every read restarts lastActivity (GameState). What a
    // full inbox cannot take waits in the framer and moves in as the inbox
    // empties.
    void ClientReceived(const uint8_t* data, size_t size);
    // Whether the socket layer should read now: the inbox has room and every
    // whole packet received is in it. When it turns true again the session
    // calls ClientLink::Resume.
    bool ClientAccepting() const { return !inboxFull_; }
    // The link can take bytes again.
    void ClientWritable();
    // The host closed the connection, or it broke.
    void ClientClosed();
    // Queues a packet for the host and sends what the link takes.
    void SendToHost(Packet p);
    bool ClientOutboxEmpty() const { return out_.empty(); }

    // The next received packet, oldest first.
    std::optional<Packet> TakeReceived();
    // When the packet TakeReceived gave last reached this side: a step
    // applied later (a box was open, or packets queued before it) began its
    // turn here all the same.
    ClockStamp TakenArrival() const { return takenArrival_; }
    size_t InboxSize() const { return inbox_.size(); }

    // The waiting room of the round that the own last "Join" began is still
    // to be shown: once a round, whatever state the host's "JoinLast" gave.
    bool WaitDialogDue() const { return waitDialogDue_; }
    void WaitDialogShown() { waitDialogDue_ = false; }
    // The own last "Join" has had no answer ("JoinLast" or "JoinRefuse")
    // taken from the inbox yet.
    bool JoinAnswerAwaited() const { return joinAnswerAwaited_; }
    // The player has been told that the host cannot be reached (a packet
    // found no connection); counts for this connection only.
    bool HostGoneTold() const { return hostGoneTold_; }
    void NoteHostGoneTold() { hostGoneTold_ = true; }

    // The side took a running battle from its "JoinLast" in another seat's
    // turn: when that turn began on the host it cannot tell, so its clock
    // shows no deadline until the next step (or a join of the seat to move)
    // starts one it knows.
    bool TurnStartUnknown() const { return turnStartUnknown_; }
    void SetTurnStartUnknown(bool unknown) { turnStartUnknown_ = unknown; }
    // A player took another seat in the deployment while the own seat was
    // still deploying (the host gives him the whole deploy time from then):
    // when the own seat has deployed, the side shows his deadline, as a side
    // deployed before his join does. The latest such join of the round.
    void NoteJoinInDeployment(const ClockStamp& at) { deploymentJoin_ = at; }
    std::optional<ClockStamp> TakeJoinInDeployment() { return std::exchange(deploymentJoin_, std::nullopt); }

    // A draw offer is being asked (LanUi::AskPeace) and not yet answered.
    bool PeaceQuestionOpen() const { return peaceQuestionOpen_; }
    void SetPeaceQuestionOpen(bool open) { peaceQuestionOpen_ = open; }

    // ---- Hosting ----
    // Makes this side the host, relaying through `links` (null: stops).
    void StartHosting(ServerLinks* links);
    HostRelay* relay() { return relay_.get(); }
    bool ServerActive() const;

private:
    void SendQueued();
    void LeaveOnFault(const std::string& gbStatus);
    // Moves framed packets into the inbox while it has room.
    void FillInbox();

    GameState& g_;
    LanUi* ui_ = nullptr;
    LanUi nullUi_;
    ClientLink* client_ = nullptr;
    PacketFramer framer_;
    std::deque<Packet> inbox_;
    // Beside each packet of the inbox: when it arrived.
    std::deque<ClockStamp> arrivals_;
    ClockStamp lastRead_;
    ClockStamp takenArrival_;
    bool inboxFull_ = false;
    std::deque<Packet> out_;
    size_t sentOfFront_ = 0;
    bool peaceQuestionOpen_ = false;
    bool waitDialogDue_ = false;
    bool joinAnswerAwaited_ = false;
    bool hostGoneTold_ = false;
    bool turnStartUnknown_ = false;
    std::optional<ClockStamp> deploymentJoin_;
    std::unique_ptr<HostRelay> relay_;

};

// ---- Services the rest of the game calls ----

// Sends one packet to the host: "Join" (netRecordBuf), "JoinOk",
// "JoinCancel", "PeaceRequest", "PeaceOk", "PeaceAbort" (seat), "SwitchEnd"
// (netDeployCodes, seat), "MoveQz" (netMoveRecord, seat; clears netMyTurn;
// sent only in a running battle for the seat to move, and for the own seat
// only while its time is not over (OwnTurnTimeOver) unless it is its
// time-out), "ChatMessage" (seat, chatText). A peace request is not sent
// either once the own time is over. What is not sent for being too late
// says so in the status line and in the bulletin (LanUi::Notice), where the
// turn's time-out does not cover it. Not connected: nothing is sent, and the
// player is told that the host cannot be reached, unless packets received
// before the close still wait: the host's last word (the own seat handed
// to the computer, say) is the reason, told when it is applied, and the
// host's going only if it says nothing (HandleNetBattle). Any other word
// is refused with a message. True when the packet was queued.
bool SendNetMessage(GameState& g, const std::string& word, int seat);
// What the player made too late did not go (GB2312): the status line says
// so, and the bulletin too, where it stays when the turn's time-out, which
// comes next, takes the status line.
void TellNotSent(GameState& g, const std::string& gbText);
// The own seat, a person's, is to move in the running battle and its clock
// has run out (OwnNetTimeLeft): what its player makes for the turn now is
// too late, and is not sent.
bool OwnTurnTimeOver(GameState& g);
// What the player is told when the host cannot be reached (GB2312).
std::string HostGoneText();
// The answer to the draw offer shown through LanUi::AskPeace; the next offer
// may be asked from now on.
void AnswerPeace(GameState& g, bool agree);

bool NetClientActive(const GameState& g);
bool NetServerActive(const GameState& g);
// Closes the connection to the host and/or stops hosting.
void CloseNetSockets(GameState& g, bool client, bool server);
// The host has packets not yet taken by their connections.
bool ServerOutboxPending(const GameState& g);
// The host gives its queues 20 passes of pumping, sending and 100 ms at
// most; true once every seat has taken what was sent.
bool DrainServerQueues(GameState& g);
// The host's computer seats wait for the queues (HostRelay::ComputerWaits).
bool ComputerSeatsWait(const GameState& g);

}  // namespace jq::net
