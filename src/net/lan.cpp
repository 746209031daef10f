#include "net/lan.h"

#include <cstring>

#include "core/text.h"
#include "net/host/relay.h"
#include "net/netbattle.h"
#include "play/turnloop.h"

namespace jq::net {

LanSession::LanSession(GameState& g) : g_(g) {}

LanSession::~LanSession() {
    if (g_.lan == this) g_.lan = nullptr;
}

void LanSession::AttachClient(ClientLink* link) {
    client_ = link;
    framer_ = PacketFramer{};
    inboxFull_ = false;
    out_.clear();
    sentOfFront_ = 0;
    peaceQuestionOpen_ = false;
    waitDialogDue_ = false;
    joinAnswerAwaited_ = false;
    hostGoneTold_ = false;
    turnStartUnknown_ = false;
    deploymentJoin_.reset();
    if (link == nullptr) {
        inbox_.clear();
        arrivals_.clear();
    }
}

bool LanSession::ClientActive() const { return client_ != nullptr && client_->Connected(); }

void LanSession::ClientReceived(const uint8_t* data, size_t size) {
    if (client_ == nullptr) return;
    g_.lastActivity = lastRead_ = g_.ui->Now();
    framer_.Feed(data, size);
    FillInbox();
    if (framer_.Broken()) {
        LeaveOnFault(Gb("未知封包，连接已断开：") + framer_.Fault());
        return;
    }
    // Only a socket layer that reads on while the inbox is full gets here.
    if (framer_.Buffered() > kClientBacklogBytes) LeaveOnFault(Gb("客户端消息存储空间不足!"));
}

void LanSession::FillInbox() {
    inboxFull_ = false;
    while (!framer_.Broken()) {
        if (inbox_.size() >= kInboxLimit) {
            inboxFull_ = true;
            return;
        }
        std::optional<Packet> p = framer_.Next();
        if (!p) return;
        inbox_.push_back(std::move(*p));
        // Bytes that waited in the framer came with the last read or before.
        arrivals_.push_back(lastRead_);
    }
}

void LanSession::ClientWritable() { SendQueued(); }

void LanSession::ClientClosed() {
    // What was received before the close is still applied (what waits in
    // the framer too, as the inbox empties).
    client_ = nullptr;
    out_.clear();
    sentOfFront_ = 0;
}

void LanSession::SendToHost(Packet p) {
    // Every round begins with the own "Join".
    if (PacketWord(p) == Word::kJoin) waitDialogDue_ = joinAnswerAwaited_ = true;
    out_.push_back(std::move(p));
    if (out_.size() > kOutboxLimit) {
        LeaveOnFault(Gb("封包无法发送...请退出棋战重新联接再试。"));
        return;
    }
    SendQueued();
}

void LanSession::SendQueued() {
    if (client_ == nullptr) return;
    while (!out_.empty()) {
        const Packet& front = out_.front();
        const size_t n = client_->Write(front.data() + sentOfFront_, front.size() - sentOfFront_);
        sentOfFront_ += std::min(n, front.size() - sentOfFront_);
        if (sentOfFront_ < front.size()) return;  // the rest when it is writable again
        out_.pop_front();
        sentOfFront_ = 0;
    }
}

void LanSession::LeaveOnFault(const std::string& gbStatus) {
    if (client_ != nullptr) client_->Close();
    client_ = nullptr;
    inbox_.clear();
    arrivals_.clear();
    framer_ = PacketFramer{};
    inboxFull_ = false;
    out_.clear();
    sentOfFront_ = 0;
    AbortNetBattle(g_, kLeaveQueueFault);
    g_.ui->SetStatusText(3, gbStatus);
}

std::optional<Packet> LanSession::TakeReceived() {
    if (inbox_.empty()) return std::nullopt;
    Packet p = std::move(inbox_.front());
    inbox_.pop_front();
    takenArrival_ = arrivals_.front();
    arrivals_.pop_front();
    const std::optional<Word> w = PacketWord(p);
    if (w == Word::kJoinLast || w == Word::kJoinRefuse) joinAnswerAwaited_ = false;
    if (inboxFull_) {
        FillInbox();
        if (!inboxFull_ && client_ != nullptr) client_->Resume();
    }
    return p;
}

void LanSession::StartHosting(ServerLinks* links) {
    if (relay_ != nullptr && links == nullptr) relay_->StopListening();
    relay_.reset();
    if (links != nullptr) relay_ = std::make_unique<HostRelay>(g_, *links);
}

bool LanSession::ServerActive() const { return relay_ != nullptr && relay_->HasConnections(); }

// ---- Services ----

void TellNotSent(GameState& g, const std::string& gbText) {
    g.ui->SetStatusText(3, gbText);
    if (g.lan != nullptr) g.lan->ui()->Notice(gbText);
}

bool OwnTurnTimeOver(GameState& g) {
    return g.battleRunning != 0 && g.netState == kNetBattle && g.curSeat == 0 && OwnSeatHeldByPlayer(g) &&
           !OwnNetTimeLeft(g);
}

bool SendNetMessage(GameState& g, const std::string& word, int seat) {
    LanSession* lan = g.lan;
    if (lan == nullptr || !lan->ClientActive()) {
        // The host closes a connection after its last word, the own seat
        // handed to the computer: that word, still to be applied, says why.
        // That the host has gone is told only once it has said nothing.
        if (lan != nullptr && lan->InboxSize() > 0) return false;
        g.ui->ShowMessage(HostGoneText(), false);
        if (lan != nullptr) lan->NoteHostGoneTold();
        return false;
    }
    const std::optional<Word> w = WordFromText(word);
    Packet p;
    switch (w ? *w : Word::kJoinLast) {
        case Word::kJoin: p = EncodeJoin(g.netRecordBuf); break;
        case Word::kPeaceRequest:
            // Asked in the own turn (the button is live only then): once its
            // time is over, the turn is the host's to end.
            if (OwnTurnTimeOver(g)) {
                TellNotSent(g, Gb("走棋时间已到，和棋请求没有发出！"));
                return false;
            }
            p = EncodeSeatWord(*w, seat);
            break;
        case Word::kJoinOk:
        case Word::kJoinCancel:
        case Word::kPeaceOk:
        case Word::kPeaceAbort: p = EncodeSeatWord(*w, seat); break;
        case Word::kSwitchEnd: {
            SwitchEndBody b;
            std::memcpy(b.codes, g.netDeployCodes, kPiecesPerSeat);
            b.seat = seat;
            p = EncodeSwitchEnd(b);
            break;
        }
        case Word::kMoveQz:
            // Only a move of the seat to move in a running battle goes out:
            // one chosen for a battle that has ended stays here, and so does
            // one for a battle that a step applied since the last tick has
            // decided. One move per step: netMyTurn comes back only with the
            // next step.
            if (g.battleRunning == 0 || g.netState != kNetBattle ||
                LocalSeat(seat, g.myNetSeat) != g.curSeat || g.netMyTurn == 0 || BattleResultByRules(g) >= 0)
                return false;
            // A person's own seat moves only with time left on its clock (the
            // host takes what comes by then); once it has run out, only its
            // time-out goes. The host's seat that its computer plays has no
            // clock.
            if (seat == g.myNetSeat && OwnTurnTimeOver(g) &&
                !IsTimeoutMove(g.netMoveRecord.fromX, g.netMoveRecord.fromY, g.netMoveRecord.toX,
                               g.netMoveRecord.toY)) {
                TellNotSent(g, Gb("走棋时间已到，此步没有发出！"));
                return false;
            }
            g.netMyTurn = 0;
            p = EncodeMoveQz(MoveQzBody{g.netMoveRecord, seat});
            break;
        case Word::kChatMessage: p = EncodeChat(ChatBody{seat, g.chatText}); break;
        default:
            // The host's own words are never sent by a side.
            g.ui->ShowMessage(LanBoxText(LanBox::kUnknownWord), false);
            return false;
    }
    lan->SendToHost(std::move(p));
    return true;
}

std::string HostGoneText() {
    return Gb("主机（东家）已退出！（或其它原因无法联接）") + std::string(11, ' ') + Gb("\n数据无法发送。");
}

void AnswerPeace(GameState& g, bool agree) {
    if (g.lan == nullptr) return;
    g.lan->SetPeaceQuestionOpen(false);
    if (g.netConnected == 0) return;
    SendNetMessage(g, agree ? "PeaceOk" : "PeaceAbort", g.myNetSeat);
}

bool NetClientActive(const GameState& g) { return g.lan != nullptr && g.lan->ClientActive(); }

bool NetServerActive(const GameState& g) {
    if (g.lan == nullptr || g.lan->relay() == nullptr) return false;
    return true;
}

void CloseNetSockets(GameState& g, bool client, bool server) {
    LanSession* lan = g.lan;
    if (lan == nullptr) return;
    if (client && lan->client() != nullptr) {
        ClientLink* link = lan->client();
        lan->AttachClient(nullptr);
        link->Close();
    }
    if (server) lan->StartHosting(nullptr);
}

bool ServerOutboxPending(const GameState& g) {
    return g.lan != nullptr && g.lan->relay() != nullptr && g.lan->relay()->Pending();
}

bool DrainServerQueues(GameState& g) {
    constexpr int kPasses = 20;
    constexpr int kPauseMs = 100;
    for (int pass = 0; pass < kPasses; ++pass) {
        if (!ServerOutboxPending(g)) return true;
        // The player may stop hosting meanwhile: nothing is left to drain.
        g.ui->ProcessMessages();
        if (g.lan == nullptr || g.lan->relay() == nullptr) return true;
        g.lan->relay()->Flush();
        g.ui->WaitKeepingWindowLive(kPauseMs);
    }
    return !ServerOutboxPending(g);
}

bool ComputerSeatsWait(const GameState& g) {
    return g.lan != nullptr && g.lan->relay() != nullptr && g.lan->relay()->ComputerWaits();
}

}  // namespace jq::net
