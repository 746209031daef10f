// junqi-lan: one side of a LAN battle without a screen. It hosts on
// 127.0.0.1 or joins a host, plays its own seat with the computer player as
// a person's seat is played, and prints one line per event. It runs the
// game's own LAN code (dispatch, pump, time-outs, leaving) in the current
// folder, reading "oprec", "zffile" and "statfile" there.
//
//   junqi-lan --host --port P [--start-after N] [--seed S] [--out FILE]
//             [--timeout SECONDS] [--peace agree] [--chat-each-move]
//             [--chat-every MS]
//   junqi-lan --join HOST:P --name NAME --seat S [--seed S] [--out FILE]
//             [--timeout SECONDS] [--peace agree] [--chat-each-move]
//             [--chat-every MS]
//
// --chat-each-move says a chat line ("move N") with each move of its own
// seat; --chat-every says one ("line N") every MS milliseconds while it
// holds its seat in a round. A host on --port 0 takes a port the system
// picks and names it on its "hosting:" line.
// Ends with "result: won|lost|draw steps N" (exit 0) when the battle ends,
// otherwise with the reason (exit 1); 2 for a bad command line. A --out
// record that could not be written makes the exit 1 after the result line.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "ai/aithread.h"
#include "ai/workspace.h"
#include "core/datafiles.h"
#include "core/options.h"
#include "core/qipan.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "net/side/ownmove.h"
#include "net/ui/lansockets.h"
#include "play/turnloop.h"
#include "records/battlefile.h"

namespace {

using namespace jq;

// Nothing paces a side without a screen, so it ticks faster than the
// window's main timer; every wait in the game is measured by the clock.
constexpr int kTickMs = 4;
constexpr int kConnectWaitMs = 40000;
constexpr int kCloseWaitMs = 3000;

void Say(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

struct Args {
    bool host = false;
    int port = -1;
    int startAfter = 1;
    std::string joinAddress;
    std::string name;
    int seat = -1;
    uint32_t seed = 1;
    std::string out;
    int timeoutSeconds = 600;
    bool agreePeace = false;
    bool chatEachMove = false;
    int chatEveryMs = 0;
};

bool ParseInt(const std::string& text, long lo, long hi, long& out) {
    if (text.empty() || text.size() > 10) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

// A dotted IPv4 address and a port.
bool ParseHostPort(const std::string& text, std::string& address, int& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    address = text.substr(0, colon);
    QHostAddress a;
    if (!a.setAddress(QString::fromStdString(address)) || a.protocol() != QAbstractSocket::IPv4Protocol) return false;
    long p = 0;
    if (!ParseInt(text.substr(colon + 1), 1, 65535, p)) return false;
    port = static_cast<int>(p);
    return true;
}

bool ParseArgs(int argc, char** argv, Args& a) {
    bool joining = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long v = 0;
        if (arg == "--host") {
            a.host = true;
        } else if (arg == "--port" && hasValue) {
            if (!ParseInt(argv[++i], 0, 65535, v)) return false;
            a.port = static_cast<int>(v);
        } else if (arg == "--start-after" && hasValue) {
            if (!ParseInt(argv[++i], 0, 3, v)) return false;
            a.startAfter = static_cast<int>(v);
        } else if (arg == "--join" && hasValue) {
            joining = true;
            if (!ParseHostPort(argv[++i], a.joinAddress, a.port)) return false;
        } else if (arg == "--name" && hasValue) {
            a.name = argv[++i];
        } else if (arg == "--seat" && hasValue) {
            if (!ParseInt(argv[++i], 0, 3, v)) return false;
            a.seat = static_cast<int>(v);
        } else if (arg == "--seed" && hasValue) {
            if (!ParseInt(argv[++i], 0, 4294967295L, v)) return false;
            a.seed = static_cast<uint32_t>(v);
        } else if (arg == "--out" && hasValue) {
            a.out = argv[++i];
        } else if (arg == "--timeout" && hasValue) {
            if (!ParseInt(argv[++i], 1, 86400, v)) return false;
            a.timeoutSeconds = static_cast<int>(v);
        } else if (arg == "--peace" && hasValue) {
            if (std::string(argv[++i]) != "agree") return false;
            a.agreePeace = true;
        } else if (arg == "--chat-each-move") {
            a.chatEachMove = true;
        } else if (arg == "--chat-every" && hasValue) {
            if (!ParseInt(argv[++i], 1, 3600000, v)) return false;
            a.chatEveryMs = static_cast<int>(v);
        } else {
            return false;
        }
    }
    if (a.host == joining) return false;
    if (a.host) return a.port >= 0;
    return a.seat >= 0 && !a.name.empty();
}

void Usage() {
    std::fprintf(stderr,
                 "usage: junqi-lan --host --port P [--start-after N] [--seed S] [--out FILE] [--timeout SECONDS]"
                 " [--peace agree] [--chat-each-move] [--chat-every MS]\n"
                 "       junqi-lan --join HOST:P --name NAME --seat S [--seed S] [--out FILE] [--timeout SECONDS]"
                 " [--peace agree] [--chat-each-move] [--chat-every MS]\n");
}

const char* ResultWord(int r) {
    switch (r) {
        case 0: return "won";
        case 1: return "lost";
        default: return "draw";
    }
}

// The hand-overs of the host's computer seats, taken on the main thread.
class Mailbox {
public:
    void Post(const MoveCand& m, uint64_t t) {
        std::lock_guard lock(mutex_);
        items_.push_back({m, t});
    }
    bool Take(MoveCand& m, uint64_t& t) {
        std::lock_guard lock(mutex_);
        if (items_.empty()) return false;
        m = items_.front().first;
        t = items_.front().second;
        items_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::deque<std::pair<MoveCand, uint64_t>> items_;
};

// The side's surroundings: no screen, no sound; boxes answered with OK;
// the seat labels kept (the record takes its names from them).
class Side : public NullUi, public net::LanUi {
public:
    Side(GameState& g, const Args& a) : g_(g), args_(a) {}

    ClockStamp Now() override { return MonotonicNow(); }
    void ProcessMessages() override { QCoreApplication::processEvents(); }
    // Pauses between the frames of a move's animation: nothing to show.
    void SleepMs(int) override {}
    void WaitKeepingWindowLive(int ms) override {
        if (ms <= 0) return;
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    int ShowMessage(const std::string& text, bool) override {
        Say("notice: " + Utf8FromGb(text));
        return 1;
    }
    std::string SeatLabel(int seat) override { return IsValidSeat(seat) ? labels_[seat] : std::string(); }
    void SetSeatLabel(int seat, const std::string& text) override {
        if (IsValidSeat(seat)) labels_[seat] = text;
    }
    void SetMainTimerEnabled(bool on) override { timerOn = on; }
    void SetStatusText(int panel, const std::string& text) override {
        if (panel == 3 && text == Gb("有人不同意和棋,战争还得继续!")) Say("peace: refused");
    }
    void ShowBattleResult(int r, bool) override {
        if (result >= 0) return;
        if (beforeResult) beforeResult();
        result = r;
        steps = std::min(g_.stepCount, kMaxSteps);
        // The record is written before the next round is laid out.
        SaveRecord();
    }
    // The --out record of the battle played, once: at its result, or on the
    // way out of one that had begun.
    void SaveRecord() {
        if (saved_ || args_.out.empty()) return;
        saved_ = true;
        if (SaveBattleFile(g_, args_.out)) return;
        saveFailed = true;
        Say("error: cannot write " + args_.out);
    }

    // ---- net::LanUi ----
    void ChatLine(int seat, const std::string& line) override {
        Say("chat: seat " + std::to_string(seat) + " " + Utf8FromGb(line));
    }
    void AskPeace(int seat, const std::string&) override {
        Say("peace: seat " + std::to_string(seat) + " asks, " + (args_.agreePeace ? "agreed" : "refused"));
        peaceAnswers.push_back(args_.agreePeace);
    }
    // Printed last, once the side has stopped.
    // The battle is still on the board here: a battle against the computer
    // replaces it next.
    void LeftBattle(int reason, const std::string& text) override {
        if (left) return;
        left = true;
        leftText = Utf8FromGb(text);
        if (battlePlayed) SaveRecord();
    }

    bool timerOn = true;
    std::function<void()> beforeResult;
    int result = -1;
    int steps = 0;
    bool left = false;
    std::string leftText;
    std::deque<bool> peaceAnswers;
    bool battlePlayed = false;
    // The --out record was asked for and could not be written.
    bool saveFailed = false;

private:
    GameState& g_;
    const Args& args_;
    bool saved_ = false;
    std::string labels_[kSeats];
};

// Prints what changed since the last look: seats taken and freed,
// deployments, steps.
class EventLog {
public:
    explicit EventLog(const GameState& g) : g_(g) {}

    void Look() {
        for (int s = 0; s < kSeats; ++s) {
            const SeatRec& r = g_.seatTable[s];
            const std::string name = Utf8FromGb(ShownText(BoundedText(r.name, sizeof r.name)));
            if (r.state == 1 && state_[s] != 1) Say("joined: seat " + std::to_string(s) + " " + name);
            if (r.state != 1 && state_[s] == 1) Say("left: seat " + std::to_string(s) + " to the computer");
            // The host knows every deployment from its seat table; a joining
            // side sees the pieces of a seat appear (its own once sent).
            const int local = (s - g_.myNetSeat + kSeats) % kSeats;
            const bool inRound = g_.netState >= net::kNetDeployBegins && g_.netState <= net::kNetBattle;
            const bool deployed = r.deployed == 2 || (inRound && (local == 0 ? g_.netState >= net::kNetOwnDeploySent
                                                                            : g_.pieces[local * kPiecesPerSeat].alive == 1));
            if (deployed && !deployed_[s]) Say("deployed: seat " + std::to_string(s));
            state_[s] = r.state;
            deployed_[s] = deployed;
        }
        if (g_.netState < net::kNetDeployBegins) std::fill(std::begin(deployed_), std::end(deployed_), false);
        if (g_.battleRunning != 0 && g_.stepCount == 0) printed_ = 0;
        while (printed_ < g_.stepCount && printed_ < kMaxSteps) {
            const StepRec& st = g_.stepRecords[printed_];
            const int seat = (lastCurSeat_ + g_.myNetSeat) % kSeats;
            const std::string head = "step " + std::to_string(printed_ + 1) + " seat " + std::to_string(seat);
            if (IsTimeoutMove(st))
                Say("time-out: " + head);
            else if (IsGiveUpMove(st))
                Say("move: " + head + " gives up");
            else
                Say("move: " + head + " (" + std::to_string(st.fromX) + "," + std::to_string(st.fromY) + ")-(" +
                    std::to_string(st.toX) + "," + std::to_string(st.toY) + ")");
            ++printed_;
        }
        if (g_.peaceAgreed != 0 && !peace_) Say("peace: agreed by all");
        peace_ = g_.peaceAgreed != 0;
        lastCurSeat_ = IsValidSeat(g_.curSeat) ? g_.curSeat : 0;
    }

private:
    const GameState& g_;
    int state_[kSeats] = {};
    bool deployed_[kSeats] = {};
    int printed_ = 0;
    int lastCurSeat_ = 0;
    bool peace_ = false;
};

// Runs the event loop until `done` or `ms` have passed.
bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

int Run(const Args& args) {
    // The time-out counts from the start, connecting included.
    QElapsedTimer clock;
    clock.start();
    const qint64 timeoutMs = static_cast<qint64>(args.timeoutSeconds) * 1000;
    auto g = std::make_unique<GameState>();
    Side side(*g, args);
    g->ui = &side;
    g->appFolder = std::filesystem::current_path().string() + "/";
    LoadOptionsAtStartup(*g);
    g->mainRandom.Seed(args.seed);

    net::LanSession lan(*g);
    lan.SetUi(&side);
    g->lan = &lan;
    auto sockets = std::make_unique<net::LanSockets>(lan);
    auto work = std::make_unique<AiWorkspace>();
    work->ownRandom.Seed(args.seed);
    Mailbox mailbox;
    std::unique_ptr<AIDominate> worker;
    auto teardown = [&] {
        if (worker) worker->Shutdown();
        g->computer = nullptr;
        sockets.reset();
        g->lan = nullptr;
    };

    QString hostAddress = QStringLiteral("127.0.0.1");
    int port = args.port;
    if (args.host) {
        g->isNetHost = 1;
        g->myNetSeat = 0;
        g->myNetName = PlayerName(g->optionsRecord, 0);
        worker = std::make_unique<AIDominate>(*g, [&mailbox](MoveCand m, uint64_t t) { mailbox.Post(m, t); });
        worker->SetSeed(args.seed);
        g->computer = worker.get();
        if (!sockets->Listen(QHostAddress(QStringLiteral("127.0.0.1")), static_cast<quint16>(args.port))) {
            Say("error: cannot listen on 127.0.0.1:" + std::to_string(args.port));
            teardown();
            return 1;
        }
        net::ResetSeatNames(*g);
        port = sockets->ListeningPort();
        Say("hosting: 127.0.0.1:" + std::to_string(port));
    } else {
        g->isNetHost = 0;
        g->myNetSeat = args.seat;
        g->myNetName = Gb(args.name);
        hostAddress = QString::fromStdString(args.joinAddress);
    }
    sockets->ConnectTo(hostAddress, static_cast<quint16>(port));
    const bool up = WaitFor([&] { return lan.ClientActive() || sockets->clientErrorMark != 0; },
                            static_cast<int>(std::min<qint64>(kConnectWaitMs, timeoutMs)));
    if (side.left) {
        teardown();
        Say("left: " + side.leftText);
        return 1;
    }
    if (!up || !lan.ClientActive()) {
        Say("error: host " + hostAddress.toStdString() + ":" + std::to_string(port) + " unreachable");
        teardown();
        return 1;
    }
    g->netConnected = 1;
    net::RejoinNetBattle(*g);

    EventLog log(*g);
    side.beforeResult = [&log] { log.Look(); };
    bool started = false;
    bool timedOut = false;
    int chatLines = 0;
    qint64 nextChatMs = 0;
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        // The side may have left, or the battle ended, between two ticks (in
        // a read): every way out ends the loop.
        if (side.result >= 0 || side.left || g->netConnected == 0) {
            loop.quit();
            return;
        }
        if (clock.elapsed() > timeoutMs) {
            timedOut = true;
            loop.quit();
            return;
        }
        if (g->battleRunning != 0 && g->netState == net::kNetBattle) side.battlePlayed = true;
        if (side.timerOn) TickMainTimer(*g);
        // A host that has closed the connection never answers again: once
        // what it sent before is applied, and a battle its last step decided
        // has been booked, the side leaves. The LAN pump in the tick above
        // does so first; this stays for a tick that did not reach it.
        if (!args.host && side.result < 0 && !side.left && g->netConnected != 0 && !lan.ClientActive() &&
            lan.InboxSize() == 0 && BattleResultByRules(*g) < 0) {
            net::AbortNetBattle(*g, net::kLeaveHostSilent);
            loop.quit();
            return;
        }
        while (!side.peaceAnswers.empty() && g->netConnected != 0) {
            net::AnswerPeace(*g, side.peaceAnswers.front());
            side.peaceAnswers.pop_front();
        }
        if (side.result < 0 && !side.left && g->netConnected != 0) {
            net::FinishOwnDeployment(*g);
            const bool myTurn = g->netMyTurn != 0;
            net::SendOwnComputerMove(*g, *work);
            if (args.chatEachMove && myTurn && g->netMyTurn == 0 && g->netConnected != 0)
                net::SendChatLine(*g, "move " + std::to_string(++chatLines));
            if (args.chatEveryMs > 0 && g->netState >= net::kNetWaiting && g->netConnected != 0 &&
                clock.elapsed() >= nextChatMs) {
                nextChatMs = clock.elapsed() + args.chatEveryMs;
                net::SendChatLine(*g, "line " + std::to_string(++chatLines));
            }
            if (args.host && !started && g->netState == net::kNetWaiting) {
                int joined = 0;
                for (int s = 1; s < kSeats; ++s) joined += g->seatTable[s].state == 1 ? 1 : 0;
                if (joined >= args.startAfter) {
                    net::HostStartsBattle(*g);
                    started = true;
                    Say("start: " + std::to_string(joined) + " joined");
                }
            }
            MoveCand m;
            uint64_t t = 0;
            while (mailbox.Take(m, t)) ExecuteComputerMove(*g, m, t);
        }
        if (side.result < 0) log.Look();
        if (side.result >= 0 || side.left || g->netConnected == 0) loop.quit();
    });
    tick.start(kTickMs);
    loop.exec();
    tick.stop();

    if (side.result < 0) {
        if (side.battlePlayed) side.SaveRecord();
        teardown();
        if (timedOut)
            Say("error: no result within " + std::to_string(args.timeoutSeconds) + " s");
        else
            Say("left: " + (side.left ? side.leftText : std::string("the battle ended without a result")));
        return 1;
    }
    // The host lets everything queued go out, then closes its connections;
    // every side closes its connection to the host.
    if (worker) worker->Shutdown();
    if (args.host) {
        WaitFor([&] { return !net::ServerOutboxPending(*g); }, kCloseWaitMs);
        sockets->Stop();
    }
    sockets->Close();
    WaitFor([&] { return sockets->ConnectionsGone(); }, kCloseWaitMs);
    teardown();
    Say(std::string("result: ") + ResultWord(side.result) + " steps " + std::to_string(side.steps));
    return side.saveFailed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    jq::LetWritesFailPastSizeLimit();
    Args args;
    if (!ParseArgs(argc, argv, args)) {
        Usage();
        return 2;
    }
    QCoreApplication app(argc, argv);
    return Run(args);
}
