// The main window's part in a LAN battle: "联网对战" (hosting or joining),
// what the battle shows (the waiting room, chat lines, the peace question)
// and the chat line's keys.
#include <QColor>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

#include "app/shresult.h"
#include "app/tqsform.h"
#include "core/options.h"
#include "core/text.h"
#include "core/ui/myshowmessage.h"
#include "net/netbattle.h"
#include "net/ui/lansockets.h"
#include "net/ui/netdialogs.h"
#include "platform/toolkit.h"
#include "play/execute.h"
#include "play/turnloop.h"

namespace {

// How long the set-up waits for the server to listen and for the
// connection to the host, with the window live meanwhile.
constexpr int kConnectWaitMs = 40000;
constexpr int kConnectCheckMs = 50;
const QColor kSeatColours[4] = {QColor(0, 0, 255), QColor(128, 0, 128), QColor(255, 0, 255), QColor(0, 128, 0)};

// Keeps the window live until `done`, at most `ms`; the connection's
// settling ends each wait at once, so the join goes as soon as it is up.
bool WaitLive(const std::function<bool()>& done, int ms, jq::net::LanSockets& sockets) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QEventLoop loop;
        QTimer::singleShot(kConnectCheckMs, &loop, &QEventLoop::quit);
        QObject::connect(&sockets, &jq::net::LanSockets::ClientSettled, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

}  // namespace

void TqsForm::CreateLanSession() {
    lanSession_ = std::make_unique<jq::net::LanSession>(*game_);
    lanSession_->SetUi(this);
    game_->lan = lanSession_.get();
    lanSockets_ = std::make_unique<jq::net::LanSockets>(*lanSession_);
}

void TqsForm::btnnetbattleClick() {
    jq::GameState& g = *game_;
    using namespace jq::net;
    if (NetServerActive(g) || NetClientActive(g)) {
        if (ShowMessage(LanBoxText(LanBox::kAskLeaveForNewBattle), true) != 1) return;
        // The player leaves by his own choice: the side is out of the battle
        // before its connection closes, so no tick sends on it or takes the
        // close for the host's going.
        g.netConnected = 0;
        CloseNetSockets(g, true, true);
        ProcessMessages();
    }
    // The notices and the chat of the last LAN battle are not this one's.
    reBulltin->clear();
    SetStatusText(3, jq::IdleStatusText());
    lanSockets_->clientErrorMark = 0;
    lanSockets_->serverErrorMark = 0;
    const QString localAddress = LocalIPv4Address();
    if (localAddress == QStringLiteral("127.0.0.1")) {
        ShowMessage(LanBoxText(LanBox::kNoNetwork), false);
        return;
    }
    g.netConnected = 0;
    g.battleRunning = 0;
    g.peaceAgreed = 0;
    g.stepLimitReached = 0;
    StopAIThread();
    g.replayFileName = "NONE";
    UpdatePlayButtons(g);
    g.deployPhase = 1;
    SetDeploymentControlsVisible(false);
    // Fresh queues: the connection's are emptied when it is replaced.
    for (jq::SeatRec& r : g.seatTable) r = jq::SeatRec{};

    bool joining = true;
    {
        TfmSelectNetType netType(localAddress, this);
        netType.exec();
        joining = netType.rbtJoinOthersBattle->isChecked();
    }
    if (joining) {
        g.isNetHost = 0;
        CloseNetSockets(g, false, true);
    } else {
        g.isNetHost = 1;
        // Every address of this computer, so that the others can reach it;
        // the own side connects through 127.0.0.1.
        if (!lanSockets_->Listen(QHostAddress::AnyIPv4, static_cast<quint16>(lanPort))) {
            ShowMessage(LanBoxText(LanBox::kServerFailed), false);
            AbortNetBattle(g, kLeaveServerFailed);
            return;
        }
        ResetSeatNames(g);
    }

    QString hostAddress = QStringLiteral("127.0.0.1");
    if (!joining) {
        g.myNetSeat = 0;
        g.myNetName = jq::PlayerName(g.optionsRecord, 0);
    } else {
        TfmSelectTheHost details(g, this);
        const bool ok = details.exec() == QDialog::Accepted;
        hostAddress = details.Edit1->text().trimmed();
        g.myNetSeat = details.Seat();
        g.myNetName = jq::GbFromQt(details.Edit2->text());
        if (!ok) {
            AbortNetBattle(g, kLeaveJoinFailed);
            return;
        }
    }

    lanSockets_->ConnectTo(hostAddress, static_cast<quint16>(lanPort));
    WaitLive([this] { return lanSockets_->ClientConnected() || lanSockets_->clientErrorMark != 0; }, kConnectWaitMs,
             *lanSockets_);
    if (lanSockets_->ClientConnected() && lanSockets_->clientErrorMark == 0) {
        g.netConnected = 1;
        RejoinNetBattle(g);
        return;
    }
    ShowMessage(LanBoxText(lanSockets_->clientErrorMark != 0 ? LanBox::kNoHost : LanBox::kConnectTimedOut), false);
    CloseNetSockets(g, true, true);
    lanSockets_->Close();
    AbortNetBattle(g, kLeaveClientFailed);
}

// ---- The chat line ----

void TqsForm::edInputKeyPress(int key) {
    if (key != 13) return;
    jq::net::SendChatLine(*game_, jq::GbFromQt(edInput->currentText()));
    edInput->setEditText(QString());
    reBulltin->setFocus();
}

// ---- jq::net::LanUi ----

void TqsForm::ShowWaitDialog() {
    // The host's result panel of the battle just ended closes by itself; the
    // waiting room, which stays on top, would hide it, so it comes after.
    for (TfmShowResult* panel : findChildren<TfmShowResult*>()) {
        if (panel->Closed()) continue;
        connect(panel, &QDialog::finished, this, [this] { ShowWaitDialog(); });
        return;
    }
    // Only while the room is still due: the side may have left meanwhile.
    const jq::GameState& g = *game_;
    if (g.netConnected == 0 || (g.netState != jq::net::kNetJoinSent && g.netState != jq::net::kNetWaiting)) return;
    for (const TfmWaitBattleStart* open : findChildren<TfmWaitBattleStart*>())
        if (open->isVisible()) return;
    auto* dialog = new TfmWaitBattleStart(*game_, jq::net::LocalIPv4Address(), this);
    dialog->show();
}

void TqsForm::ChatLine(int seat, const std::string& gbLine) {
    reBulltin->setFocus();
    reBulltin->moveCursor(QTextCursor::End);
    reBulltin->setTextColor(seat >= 0 && seat < 4 ? kSeatColours[seat] : kMaroon);
    reBulltin->append(jq::QtFromGb(gbLine));
    edInput->setFocus();
}

void TqsForm::AskPeace(int seat, const std::string& gbQuestion) {
    // Asked without stopping the battle; the answer goes out when given.
    auto* box = new TfmwMyShowMessage(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->StaticText1->setText(jq::QtFromGb(gbQuestion));
    box->BitBtn2->show();
    const int battle = game_->battleSerial;
    connect(box, &QDialog::finished, this, [this, battle](int answer) {
        if (game_->battleSerial == battle) jq::net::AnswerPeace(*game_, answer == TfmwMyShowMessage::kOk);
    });
    box->show();
}

void TqsForm::Notice(const std::string& gbText) {
    reBulltin->setTextColor(kMaroon);
    reBulltin->append(jq::QtFromGb(gbText));
}

void TqsForm::SeatTakenOver(const std::string& gbText) {
    // The host's window hosts on and its computer plays the seat: the box
    // holds nothing up.
    auto* box = new TfmwMyShowMessage(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->StaticText1->setText(jq::QtFromGb(gbText));
    box->show();
}

void TqsForm::ExplainLeaving(const std::string& gbText) {
    // From the event loop once the tick that left is over; the main timer
    // rests while the box is up, so no tick runs inside it.
    QTimer::singleShot(0, this, [this, gbText] {
        const bool ticking = Timer1->isActive();
        Timer1->stop();
        ShowMessage(gbText, false);
        if (ticking) Timer1->start();
    });
}
