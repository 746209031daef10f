// The main window's part in a battle against the computer: starting one,
// the deployment commands, saving, the statistics builder, the ways out of
// a battle, its result and the win/loss record.
#include <QLabel>
#include <QToolButton>

#include "app/shresult.h"
#include "app/tqsform.h"

#include "core/options.h"
#include "app/winrec.h"
#include "core/text.h"
#include "formations/newbattle.h"
#include "formations/piecestats.h"
#include "platform/toolkit.h"
#include "play/execute.h"
#include "play/peace.h"
#include "records/ui/savebattle.h"

// "人机对奕" (also the large button below the side panel).
void TqsForm::btnNewBattleClick() {
    jq::GameState& g = *game_;
    if (!jq::NewBattleAgainstComputer(g)) return;
    // The counter and the notice of the last battle are not this one's.
    SetStatusText(2, jq::Gb("当前已走：") + std::to_string(g.stepCount) + jq::Gb(" 步"));
    SetStatusText(3, jq::IdleStatusText());
}

// "其它阵法": another formation for the player's seat while deploying.
void TqsForm::btnOtherKbtClick() {
    jq::OtherFormationForSeat0(*game_);
}

// "保存战役", from the side panel and from the board's popup menu.
void TqsForm::btnsavefileClick() {
    jq::SaveBattleWithDialog(this, *game_);
}

// "子力分布": builds the piece statistics from the battle records. The
// command stays disabled while it works.
void TqsForm::Button5Click() {
    Button5->setEnabled(false);
    jq::BuildPieceStatsFile(*game_);
    Button5->setEnabled(true);
}

void TqsForm::bpeaceClick() {
    jq::OfferPeace(*game_);
}

void TqsForm::bgiveupClick() {
    jq::GiveUp(*game_);
}

void TqsForm::btnExitClick() {
    jq::ExitProgram(*game_);
}

// "棋战成绩": the win/loss record; the options are saved when it closes.
void TqsForm::btnShowResultClick() {
    ShowWinRecordDialog(this, *game_);
}

// ---- jq::GameUi: the end of a battle ----

void TqsForm::ShowBattleResult(int result, bool modeless) {
    ShowResultPanel(this, *game_, result, modeless);
}

void TqsForm::WinRecordChanged() {
    // The counters reach "oprec" at once, so quitting right after a battle
    // loses nothing. A failed save warns once the battle's end is over.
    jq::SaveOptions(*game_);
    // A record dialog open now shows the new counters.
    for (Twr* dialog : findChildren<Twr*>())
        if (dialog->isVisible()) dialog->FormCreate();
}

void TqsForm::SetDiagnosticLabel(int index, const std::string& text) {
    if (index < 1 || index > static_cast<int>(lbmsg.size())) return;
    lbmsg[static_cast<size_t>(index - 1)]->setText(jq::QtFromGb(text));
}
