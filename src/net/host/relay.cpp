#include "net/host/relay.h"

#include <algorithm>
#include <array>

#include "core/text.h"
#include "net/netbattle.h"

namespace jq::net {

namespace {

constexpr int kStepLimit = 500;

}  // namespace

HostRelay::HostRelay(GameState& host, ServerLinks& links)
    : g_(host),
      referee_(host),
      conns_(links, *this),
      times_(SanitizedLanTimes(host.optionsRecord)),
      chat_(StampMs(host.ui->Now())) {
}

int64_t HostRelay::NowMs() const { return StampMs(g_.ui->Now()); }

void HostRelay::Connected(ConnId id, const std::string& address, int port) {
    ++depth_;
    auto player = std::make_unique<MatchRecord>();
    for (SeatRec& r : player->told) FreeSeatRecord(r);
    conns_.Open(id, address, port, std::move(player));
    --depth_;
    Sweep();
}

void HostRelay::SetOwnConnection(ConnId id) { conns_.SetOwn(id); }

void HostRelay::Received(ConnId id, const uint8_t* data, size_t size) {
    if (!conns_.Reachable(id)) return;
    ++depth_;
    conns_.Feed(id, data, size);
    // A connection closed or a seat freed on the way may make room for a
    // sender that waits.
    conns_.ResumeSenders();
    conns_.Flush();
    --depth_;
    Sweep();
}

void HostRelay::Take(ConnId id, const Packet& p, int64_t firstByteMs) {
    if (MatchRecord* c = PlayerOf(id)) Handle(id, *c, p, firstByteMs);
}

void HostRelay::Lost(ConnId id, const std::string& gbStatus) {
    // Closed by the host or not, the seat is free for anybody (its player
    // after his address's pause).
    const int s = SeatOfConnection(id);
    if (s > 0) FreeSeat(s);
    chat_.Forget(id);
    owed_.Forget(id);
    gate_.Forget(id);
    if (!gbStatus.empty()) g_.ui->SetStatusText(3, gbStatus);
}

bool HostRelay::Seated(ConnId id) const { return Own(id) || SeatOfConnection(id) >= 0; }

bool HostRelay::Engaged(ConnId id) const { return Seated(id) || gate_.Waiting(id) != nullptr; }

int HostRelay::SeatsLastHeld(const std::string& address) const { return gate_.SeatsLastHeld(address); }

std::vector<Packet> HostRelay::SyncPoint(ConnId id, uint64_t stamp) {
    const MatchRecord* c = PlayerOf(id);
    return c == nullptr ? std::vector<Packet>{} : holds_.SyncPoint(c->told, stamp, Own(id), referee_.Deploying());
}

void HostRelay::Sent(ConnId id, const Packet& p) {
    if (MatchRecord* c = PlayerOf(id)) SeatTable::Sent(c->told, p, Own(id));
}

bool HostRelay::Accepting(ConnId id) const { return conns_.Accepting(id); }

void HostRelay::Writable(ConnId id) {
    if (!conns_.Reachable(id)) return;
    ++depth_;
    conns_.Writable(id);
    conns_.ResumeSenders();
    --depth_;
    Sweep();
}

void HostRelay::Closed(ConnId id) {
    if (!conns_.Reachable(id)) return;
    ++depth_;
    conns_.HungUp(id);
    conns_.ResumeSenders();
    conns_.Flush();
    --depth_;
    Sweep();
}

bool HostRelay::Pending() const { return conns_.Pending(); }

void HostRelay::Tick() {
    ++depth_;
    conns_.CloseStuckAndIdle(times_.disconnect);
    // A move that waited for room is taken before the seat's time is
    // judged.
    conns_.ResumeSenders();
    CheckTimeouts();
    gate_.Tick(NowMs());
    AdmitWaitingJoins();
    SendOwedAnswers(-1);
    ReleaseChat();
    conns_.ResumeSenders();
    Flush();
    --depth_;
    Sweep();
}

void HostRelay::CheckTimeouts() {
    const int64_t now = NowMs();
    if (referee_.Deploying()) {
        // A remote player who has not deployed by his deploy time and the
        // grace gives his seat to the computer. The host's own player has no
        // deploy time-out.
        for (int s = 1; s < kSeats; ++s) {
            const Holding& h = holds_[s];
            if (h.rec.state != 1 || h.rec.deployed == 2) continue;
            if (now >= clock_.EndMs(s)) HandOverSeat(s);
        }
    } else if (referee_.Running()) {
        // A person's turn ends when its time and the grace have run out: as
        // his time-out, or, when he has said nothing in it for longer than
        // the disconnect time, by handing his seat over. The computer's turn
        // ends as its time-out at the bound of every turn: its side moves for
        // a seat once it has heard the seat is the computer's, and the host's
        // own side may be that far behind on what it was sent.
        const int s = referee_.Game().curSeat;
        if (!IsValidSeat(s)) return;
        if (holds_[s].rec.state != 1) {
            if (now >= clock_.BoundMs()) TimeOutTurn(s);
            return;
        }
        if (now < clock_.EndMs(s)) return;
        if (now - std::max(clock_.PhaseStartMs(), holds_[s].heardMs) > times_.disconnect * int64_t{1000})
            HandOverSeat(s);
        else
            TimeOutTurn(s);
    }
}

void HostRelay::TimeOutTurn(int s) {
    // The packet the seat's own side sends (its count is written as it is
    // relayed).
    MoveQzBody b{MoveCand{}, s};
    MakeTimeoutMove(b.move, 0);
    TakeStep(s, EncodeMoveQz(b));
}

void HostRelay::OweAnswer(ConnId id) {
    owed_.Owe(id);
    SendOwedAnswers(id);
}

void HostRelay::SendOwedAnswers(ConnId only) {
    owed_.Pay(
        NowMs(), only, [this](ConnId id) { return referee_.Running() && Seated(id); },
        [this](ConnId id) { QueueTo(id, BuildJoinLast()); });
}

void HostRelay::Flush() { conns_.Flush(); }

void HostRelay::Sweep() {
    if (depth_ > 0) return;
    conns_.Sweep();
}

bool HostRelay::HasConnections() const { return conns_.AnyOpen(); }

void HostRelay::StopListening() {
    conns_.Stop();
    Sweep();
}

void HostRelay::AdmitWaitingJoins() {
    for (ConnId id : gate_.InTurn()) {
        MatchRecord* c = PlayerOf(id);
        const Packet* waiting = gate_.Waiting(id);
        if (c == nullptr || waiting == nullptr || !conns_.Reachable(id)) continue;
        // Its turn comes when the queues have room.
        if (!conns_.RoomFor(id)) continue;
        const Packet join = *waiting;
        const ConnId before = conns_.SetSender(id);
        HandleJoin(id, *c, join);
        conns_.SetSender(before);
    }
}

std::string HostRelay::PlayerAddress(int s) const {
    const Holding& h = holds_[s];
    return h.rec.state == 1 && h.conn >= 0 ? conns_.Address(h.conn) : std::string();
}

int HostRelay::SeatOfConnection(ConnId id) const {
    for (int s = 0; s < kSeats; ++s)
        if (holds_[s].conn == id && id >= 0) return s;
    return -1;
}

void HostRelay::QueueToOccupied(const Packet& p) {
    for (int s = 0; s < kSeats; ++s) {
        if (!Occupied(s)) continue;
        if (!conns_.Reachable(holds_[s].conn)) {
            g_.ui->SetStatusText(3, Gb("找不到主机或端口，封包扔掉了！"));
            continue;
        }
        QueueTo(holds_[s].conn, p);
    }
}

void HostRelay::Changed(int s) {
    const uint64_t stamp = holds_.Changed(s);
    for (const Holding& h : holds_)
        if (h.conn >= 0) conns_.QueueSyncPoint(h.conn, stamp);
}

void HostRelay::FreeSeat(int s) {
    Holding& h = holds_[s];
    const ConnId holder = h.conn;
    FreeSeatRecord(h.rec);
    h.conn = -1;
    // Its lines go with its seat.
    if (holder >= 0 && !Own(holder)) chat_.Forget(holder);
    // Nobody comes and goes on one address without pause, however many
    // connections he opens.
    if (holder >= 0 && !Own(holder)) gate_.Pause(conns_.Address(holder), NowMs());
    Changed(s);
    ComputerAnswersPeace(s);
}

void HostRelay::HandOverSeat(int s) {
    if (s == 0) {
        // The host's seat stays the host side's: its computer plays it.
        if (holds_[0].rec.state != 1) return;
        PutBoundedText(holds_[0].rec.name, sizeof holds_[0].rec.name, Gb("计算机"));
        holds_[0].rec.state = 2;
        Changed(0);
        ComputerAnswersPeace(0);
        return;
    }
    const ConnId holder = holds_[s].conn;
    if (holder < 0) return;
    // What stops a player who sits out his time is bound to him: the seat
    // he had, from his address. Another address takes it at once.
    if (!Own(holder) && conns_.Exists(holder)) timeouts_.HandOver(conns_.Address(holder), s);
    FreeSeat(s);
    if (Own(holder) || !conns_.Exists(holder)) return;
    conns_.CloseAfter(holder, EncodeSeatWord(Word::kJoinCancel, s));
}

std::optional<int32_t> HostRelay::AllowedSeat(ConnId id, const Packet& p) const {
    std::optional<int32_t> seat = SeatNamed(p);
    if (!seat) return seat;
    // The host's own side: its own seat, and the seats the computer holds
    // now (what it sent for a seat a person has taken since is not its word).
    if (Own(id)) return *seat == 0 || holds_[*seat].conn < 0 ? seat : std::nullopt;
    if (SeatOfConnection(id) != *seat) return std::nullopt;
    return seat;
}

void HostRelay::ReleaseChat() {
    const auto hasRoom = [this](ConnId sender) { return conns_.RoomFor(sender); };
    while (auto line = chat_.Next(NowMs(), hasRoom)) {
        const auto& [sender, p] = *line;
        // Said for a seat the sender no longer speaks for: it goes nowhere.
        if (!conns_.Reachable(sender) || !AllowedSeat(sender, p)) continue;
        // Its copies count against its sender's share.
        const ConnId before = conns_.SetSender(sender);
        QueueToOccupied(p);
        conns_.SetSender(before);
    }
}

void HostRelay::Handle(ConnId id, MatchRecord& c, const Packet& p, int64_t firstByteMs) {
    const Word w = *PacketWord(p);
    if (w == Word::kJoin) {
        HandleJoin(id, c, p);
        return;
    }
    const bool carriesSeat = w == Word::kJoinOk || w == Word::kJoinCancel || w == Word::kSwitchEnd ||
                             w == Word::kMoveQz || w == Word::kPeaceRequest || w == Word::kPeaceOk ||
                             w == Word::kPeaceAbort || w == Word::kChatMessage;
    if (!carriesSeat) {
        // A word only the host sends.
        g_.ui->SetStatusText(3, Gb("未知封包，请记录发生情况，便于工程师处理!"));
        return;
    }
    if (w == Word::kSwitchEnd && Own(id)) {
        HandleOwnFormation(id, c, p);
        return;
    }
    const std::optional<int32_t> seat = AllowedSeat(id, p);
    if (!seat) {
        // A move for a seat the connection does not hold: the side is told
        // where the battle stands.
        if (w == Word::kMoveQz)
            if (auto b = DecodeMoveQz(p)) {
                g_.ui->SetStatusText(3, HostReferee::VerdictText(HostReferee::Verdict::kNotToMove, b->seat));
                OweAnswer(id);
            }
        return;
    }
    const int s = *seat;
    // Peace words mean something only while the battle runs.
    const bool peaceWord = w == Word::kPeaceRequest || w == Word::kPeaceOk || w == Word::kPeaceAbort;
    if (peaceWord && !referee_.Running()) {
        g_.ui->SetStatusText(3, Gb("位置") + std::to_string(s + 1) + Gb(" 的和棋封包不在战役中，此包作废！"));
        return;
    }
    switch (w) {
        case Word::kJoinOk:
            // Only the host's own player starts a battle, from the waiting
            // room its own side has joined.
            if (Own(id) && c.joinedRound == round_ && !referee_.Deploying() && !referee_.BattleBegun()) StartRound(p);
            break;
        case Word::kJoinCancel: HandleJoinCancel(id, s); break;
        case Word::kSwitchEnd:
            // Only while the seats deploy: one sent in the waiting room or
            // once the battle runs counts for nothing.
            if (referee_.Deploying()) HandleSwitchEnd(p);
            break;
        case Word::kMoveQz: HandleMove(id, c, s, p, firstByteMs); break;
        case Word::kPeaceRequest: HandlePeaceRequest(s, p); break;
        case Word::kPeaceOk:
        case Word::kPeaceAbort: HandlePeaceAnswer(s, w); break;
        case Word::kChatMessage:
            // It waits at its sender; beyond the sender's list it goes
            // nowhere.
            if (!chat_.Arrive(id, p)) break;
            Heard(s);
            ReleaseChat();
            break;
        default: break;
    }
}

void HostRelay::HandleOwnFormation(ConnId id, MatchRecord& c, const Packet& p) {
    const std::optional<int32_t> seat = SeatNamed(p);
    if (!seat) return;
    // Its own seat's or the computer's, while the seats deploy.
    if (AllowedSeat(id, p) && referee_.Deploying()) HandleSwitchEnd(p);
    // That side holds the computer's seat deployed from when it sent its
    // formation: whether it was taken or not, a sync point behind what it
    // caused tells that side how the seat stands, if otherwise (its computer
    // deploys the seat again when it is free and not deployed).
    SeatTable::FormationSent(c.told, *seat);
    conns_.QueueSyncPoint(id, holds_.Changes());
}

void HostRelay::StartRound(const Packet& joinOk) {
    // Every seat's deploy time counts from here.
    const int64_t now = NowMs();
    clock_.DeploymentBegins(now);
    for (Holding& h : holds_) h.heardMs = now;
    peace_.NewBattle();
    QueueToOccupied(joinOk);
    referee_.DeploymentBegins();
    NewPhase();
}

void HostRelay::HandleJoinCancel(ConnId id, int s) {
    if (Own(id)) {
        // The host's player gives up its seat: the computer plays it.
        if (s == 0) HandOverSeat(0);
        return;
    }
    // Given up once its time is over with its player's time-outs passed, the
    // seat is lost at his fourth time-out, as when the host ends the turn:
    // whichever side noticed it first, his address takes it no more in this
    // round.
    if (referee_.Running() && referee_.Game().curSeat == s &&
        timeouts_.Passed(PlayerAddress(s), s) >= kTimeoutsPassed && NowMs() >= clock_.TimeOverMs(s)) {
        g_.ui->SetStatusText(3, HostReferee::VerdictText(HostReferee::Verdict::kHandOver, s));
        HandOverSeat(s);
        return;
    }
    // Its connection holds it no longer (and its address takes none for a
    // while).
    FreeSeat(s);
}

void HostRelay::HandleMove(ConnId id, MatchRecord& c, int s, const Packet& p, int64_t firstByteMs) {
    // A move belongs to the turn it was sent in: one begun before this turn
    // of its seat is refused, however late it was completed.
    if (referee_.Running() && referee_.Game().curSeat == s && firstByteMs < clock_.PhaseStartMs()) {
        g_.ui->SetStatusText(3, HostReferee::VerdictText(HostReferee::Verdict::kEarlierTurn, s));
        OweAnswer(id);
        return;
    }
    // The side gave up its turn when it sent the move: when it is refused,
    // the side is told where the battle stands, and has its turn back if it
    // is to move.
    if (!TakeStep(s, p)) OweAnswer(id);
}

bool HostRelay::TakeStep(int s, const Packet& p) {
    MoveQzBody b = *DecodeMoveQz(p);
    using Verdict = HostReferee::Verdict;
    const bool running = referee_.Running();
    const std::string player = PlayerAddress(s);
    const Verdict v = referee_.Judge(b, running && IsValidSeat(s) && NowMs() >= clock_.TimeOverMs(s),
                                     timeouts_.Passed(player, s));
    if (v != Verdict::kNoBattle && v != Verdict::kNotToMove && referee_.Game().stepCount >= kStepLimit) {
        // The seat to move finds the step limit reached: the battle ends drawn.
        QueueToOccupied(EncodeBare(Word::kMaxStepLimited));
        referee_.EndsDrawn();
        return true;
    }
    if (v != Verdict::kRelay) g_.ui->SetStatusText(3, HostReferee::VerdictText(v, s));
    if (v == Verdict::kHandOver) {
        // Its fourth time-out: the seat goes to the computer, as its own
        // side would give it up, and its connection is closed.
        HandOverSeat(s);
        return true;
    }
    if (v != Verdict::kRelay) return false;
    if (b.move.mover == kNoPiece && IsTimeoutMove(b.move.fromX, b.move.fromY, b.move.toX, b.move.toY)) {
        // It carries its player's count (net/host/timeouts.h), whatever its
        // sender counted.
        MakeTimeoutMove(b.move, timeouts_.Count(player, s));
        QueueToOccupied(EncodeMoveQz(b));
    } else {
        QueueToOccupied(p);
    }
    referee_.Apply(b);
    Heard(s);
    // A new turn, and the step gives every side its turn back: no answer is
    // owed any more.
    NewPhase();
    owed_.StepTaken();
    return true;
}

void HostRelay::NewPhase() {
    PhaseHolder holders[kSeats];
    for (int s = 0; s < kSeats; ++s) {
        const MatchRecord* c = holds_[s].conn >= 0 ? PlayerOf(holds_[s].conn) : nullptr;
        holders[s] = {holds_[s].rec.state == 1 && c != nullptr, c != nullptr && c->joinedRound == round_};
    }
    clock_.NewPhase(holders);
}

bool HostRelay::MustWait(ConnId id, int s, bool holder) const {
    const int64_t now = NowMs();
    // In the seat's turn or in the deployment a join brings the seat's whole
    // time, or waits (net/host/phaseclock.h): the holder's own join for the
    // new round too. Besides, a join for a seat its connection does not hold
    // waits while its address pauses.
    const bool clockWaits = clock_.JoinWaits(s, now);
    return holder ? clockWaits : gate_.MustWait(conns_.Address(id), clockWaits, now);
}

void HostRelay::HandleJoin(ConnId id, MatchRecord& c, const Packet& p) {
    std::optional<SeatRec> rec = DecodeJoin(p);
    if (!rec) return;
    // The record names the connection it came on.
    PutBoundedText(rec->address, sizeof rec->address, conns_.Address(id));
    rec->port = conns_.Port(id);
    if (Own(id)) {
        HandleOwnJoin(id, c, *rec);
        return;
    }
    const int s = rec->seat;
    // Once the battle has ended on the copy, "JoinLast" would tell of a
    // battle that runs no more (after a draw the joiner would wait for moves
    // for ever): the join, a seat's own for the next round or a new one,
    // waits until the host's side opens the next round.
    if (referee_.BattleBegun() && !referee_.Running()) {
        PutOff(id, p);
        return;
    }
    const bool holder = holds_[s].conn == id;
    // Taken already in this round: nothing new to tell anybody.
    if (holder && c.joinedRound == round_) {
        gate_.Forget(id);
        return;
    }
    const std::string& address = conns_.Address(id);
    if (JoinGate::Refuses(s, SeatOfConnection(id), !holder && holds_[s].conn >= 0, timeouts_.HandedOver(address, s))) {
        Refuse(id, c);
        return;
    }
    // One way in: a join for a seat goes behind the joins for it that came
    // before it and still wait.
    if (MustWait(id, s, holder) || (!holder && gate_.Behind(id, s))) {
        PutOff(id, p);
        return;
    }
    gate_.Forget(id);
    const int64_t now = NowMs();
    if (!holder) gate_.Taken(address, s);
    // A person's seat, not deployed yet, whatever the record says.
    rec->state = 1;
    rec->deployed = 0;
    Holding& h = holds_[s];
    h.rec = *rec;
    h.conn = id;
    h.heardMs = now;
    c.joinedRound = round_;
    // Taken in its turn or in the deployment: the seat's time from here.
    clock_.Joined(s, now);
    // The joiner learns everything from its "JoinLast"; the others from the
    // sync point behind what was relayed before.
    QueueTo(id, BuildJoinLast());
    Changed(s);
}

void HostRelay::Refuse(ConnId id, MatchRecord& c) {
    gate_.Forget(id);
    // An honest side leaves on the first refusal; one that keeps asking is
    // closed.
    if (++c.refusals > kMaxRefusals)
        conns_.Drop(id, std::string());
    else
        QueueTo(id, EncodeBare(Word::kJoinRefuse));
}

void HostRelay::PutOff(ConnId id, const Packet& join) {
    // A join that may wait always waits, never refused for others' load;
    // when the places are too few, the one that gives way (net/host/places.h)
    // is closed.
    const std::optional<ConnId> displaced =
        gate_.Wait(id, conns_.Address(id), join, SeatOfConnection(id) >= 0);
    if (displaced) conns_.Drop(*displaced, Gb("等待入座的联接太多，一个等待的联接已关闭！"));
}

void HostRelay::Heard(int s) { holds_[s].heardMs = NowMs(); }

void HostRelay::HandleOwnJoin(ConnId id, MatchRecord& c, SeatRec rec) {
    // The host's side sits at seat 0 and joins at the start of each round:
    // the copy starts afresh, at step 0, and the seats held stay held.
    if (rec.seat != 0) return;
    ++round_;
    referee_.NewRound();
    std::array<std::string, kSeats> holders;
    for (int s = 1; s < kSeats; ++s)
        if (holds_[s].conn >= 0 && !Own(holds_[s].conn)) holders[s] = conns_.Address(holds_[s].conn);
    gate_.NewRound(holders);
    timeouts_.NewRound();
    peace_.Drop();
    // The round's times and turn order, from the host's options as they
    // stand now, and a first seat drawn for it.
    const OptionsRec& o = g_.optionsRecord;
    times_ = SanitizedLanTimes(o);
    turnDirection_ = o.turnDirectionOption == -1 ? -1 : 1;
    firstSeat_ = static_cast<int32_t>(g_.mainRandom.Next() % kSeats);
    for (int s = 1; s < kSeats; ++s)
        if (holds_[s].rec.deployed != 0) {
            holds_[s].rec.deployed = 0;
            Changed(s);
        }
    rec.deployed = 0;
    rec.state = 1;
    holds_[0].rec = rec;
    holds_[0].conn = id;
    holds_[0].heardMs = NowMs();
    c.joinedRound = round_;
    QueueTo(id, BuildJoinLast());
    Changed(0);
}

void HostRelay::HandleSwitchEnd(const Packet& p) {
    const SwitchEndBody b = *DecodeSwitchEnd(p);
    Holding& h = holds_[b.seat];
    // A seat deploys once (again only when somebody else takes it).
    if (h.rec.deployed == 2) return;
    // The packet itself tells every side (the seat's holder is told at the
    // sync point its last change queued, before this).
    h.rec.deployed = 2;
    QueueToOccupied(p);
    referee_.Deployed(b);
    Heard(b.seat);
    if (!std::all_of(std::begin(holds_), std::end(holds_), [](const Holding& e) { return e.rec.deployed == 2; }))
        return;
    // The battle starts: no draw offer or join's time carries over into it.
    peace_.NewBattle();
    const AllSwitchEndBody start{firstSeat_, turnDirection_, times_.move, times_.deploy, times_.disconnect};
    QueueToOccupied(EncodeAllSwitchEnd(start));
    referee_.BattleBegins(start);
    NewPhase();
}

void HostRelay::HandlePeaceRequest(int seat, const Packet& p) {
    bool occupied[kSeats];
    for (int i = 0; i < kSeats; ++i) occupied[i] = Occupied(i);
    const PeaceVote::Result r = peace_.Offer(seat, occupied);
    if (r == PeaceVote::Result::kTooOften) {
        QueueTo(holds_[seat].conn, EncodeSeatWord(Word::kPeaceFinalAbort, 0));
        return;
    }
    Heard(seat);
    for (int i = 0; i < kSeats; ++i)
        if (occupied[i] && i != seat) QueueTo(holds_[i].conn, p);
    if (r == PeaceVote::Result::kAgreed) DecidePeace(false);
}

void HostRelay::HandlePeaceAnswer(int a, Word w) {
    const PeaceVote::Result r = peace_.Answer(a, w == Word::kPeaceOk);
    if (r == PeaceVote::Result::kIgnored) return;
    Heard(a);
    if (r != PeaceVote::Result::kOpen) DecidePeace(r == PeaceVote::Result::kRefused);
}

void HostRelay::ComputerAnswersPeace(int seat) {
    if (!referee_.Running()) return;
    const PeaceVote::Result r = peace_.ComputerTakes(seat);
    if (r == PeaceVote::Result::kAgreed || r == PeaceVote::Result::kRefused) DecidePeace(r == PeaceVote::Result::kRefused);
}

void HostRelay::DecidePeace(bool refused) {
    QueueToOccupied(EncodeSeatWord(refused ? Word::kPeaceFinalAbort : Word::kPeaceFinalOk, 0));
    if (!refused) referee_.EndsDrawn();
}

Packet HostRelay::BuildJoinLast() const {
    // Everything relayed so far is on the copy; the host's own side may not
    // have applied it yet.
    const GameState& copy = referee_.Game();
    JoinLastBody b;
    for (int s = 0; s < kSeats; ++s) b.seats[s] = holds_[s].rec;
    for (int k = 0; k < kPieceCount; ++k) {
        const PieceRec& pc = copy.pieces[k];
        b.x[k] = static_cast<int8_t>(pc.x);
        b.y[k] = static_cast<int8_t>(pc.y);
        b.code[k] = static_cast<int8_t>(pc.code);
        b.alive[k] = static_cast<int8_t>(pc.alive);
    }
    const bool battle = referee_.Running();
    const int n = battle ? std::clamp(copy.stepCount, 0, kMaxSteps) : 0;
    b.steps.assign(copy.stepRecords, copy.stepRecords + n);
    b.curSeat = battle ? copy.curSeat : firstSeat_;
    b.turnDirection = battle ? (copy.turnDirection == -1 ? -1 : 1) : turnDirection_;
    b.netState = battle ? kNetBattle : referee_.Deploying() ? kNetDeployBegins : kNetWaiting;
    b.moveTime = times_.move;
    b.deployTime = times_.deploy;
    b.disconnectTime = times_.disconnect;
    return EncodeJoinLast(b);
}

}  // namespace jq::net
