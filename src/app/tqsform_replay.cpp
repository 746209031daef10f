// The main window's part in replay: the load commands and the recent
// files, the step buttons, the board's popup menu and its click, the
// go-to-step dialog, and the small window handlers.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>

#include "app/tqsform.h"
#include "core/options.h"
#include "core/text.h"
#include "records/loadcmd.h"
#include "records/replay.h"
#include "records/ui/jumpw.h"
#include "view/selection.h"

namespace {

bool AnyModifier(Qt::KeyboardModifiers m) {
    return (m & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier)) != 0;
}

// A path as a menu shows it: '&' is no accelerator mark.
QString MenuText(const std::string& path) {
    QString text = QFile::decodeName(QByteArray::fromStdString(path));
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text;
}

}  // namespace

void TqsForm::btnLoadFileMouseDown(Qt::MouseButton, Qt::KeyboardModifiers modifiers) {
    jq::LoadFileMouseDown(*game_, AnyModifier(modifiers));
}

// "调出战役": a record from the open dialog, or after a modifier press the
// battle on the board saved and replayed from its start.
void TqsForm::btnLoadFileClick() {
    jq::GameState& g = *game_;
    if (g.clickStepCount != 1) {
        jq::ReloadCurrentBattle(g);
        return;
    }
    if (!jq::MayLoadRecord(g)) return;
    OpenDialog1->selectFile(QStringLiteral("*.*"));
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) return;
    jq::LoadChosenRecord(g, QFile::encodeName(OpenDialog1->selectedFiles().first()).toStdString());
}

void TqsForm::mnFna1Click(QAction* sender) {
    if (sender == nullptr) return;
    jq::LoadRecentRecord(*game_, sender->data().toByteArray().toStdString());
}

void TqsForm::PopupMenu1Popup() {
    const jq::GameState& g = *game_;
    for (int i = 0; i < jq::kRecentFileCount; ++i) {
        const std::string path = jq::RecentFile(g.optionsRecord, i);
        mnFna[static_cast<size_t>(i)]->setText(MenuText(path));
        mnFna[static_cast<size_t>(i)]->setData(QByteArray::fromStdString(path));
    }
    const jq::ReplayMenuState m = jq::ReplayMenu(g);
    mpopGotoStart->setEnabled(m.gotoEnabled);
    mpopGotoLine->setEnabled(m.gotoEnabled);
    mpopAutoPlay->setEnabled(m.autoPlayEnabled);
    mpopPlayStop->setEnabled(m.playStopEnabled);
    if (m.changeCaptions) {
        mpopAutoPlay->setText(QString::fromStdString(m.autoPlayCaption));
        mpopPlayStop->setText(QString::fromStdString(m.playStopCaption));
    }
}

void TqsForm::btnNextStepMouseDown(Qt::MouseButton, Qt::KeyboardModifiers modifiers) {
    jq::NextStepMouseDown(*game_, modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier,
                          modifiers & Qt::AltModifier);
}

void TqsForm::btnNextStepClick() {
    jq::ReplayNextSteps(*game_);
}

void TqsForm::btnProvStepMouseDown(Qt::MouseButton, Qt::KeyboardModifiers modifiers) {
    // Alt has no part here: only Ctrl and Shift send the replay to its start.
    jq::PrevStepMouseDown(*game_, modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier);
}

void TqsForm::btnProvStepClick() {
    jq::ReplayStepBack(*game_);
}

void TqsForm::mpopAutoPlayClick() {
    game_->autoPlay = 1;
}

void TqsForm::mpopPlayStopClick() {
    jq::StopAutoReplay(*game_);
}

void TqsForm::mpopGotoStartClick() {
    jq::GotoReplayStart(*game_);
}

void TqsForm::mpopGotoLineClick() {
    jq::GameState& g = *game_;
    int result = -1;
    TJumpPara dialog(this, &result, jq::RecordLength(g), g.stepCount);
    dialog.exec();
    if (result < 1 || result > jq::kMaxSteps) return;
    jq::GotoReplayStart(g);
    jq::ClearSelection(g);
    jq::ReplayToStep(g, result);
}

void TqsForm::qipanClick() {
    if (jq::ReplayBoardClick(*game_)) mpopGotoLineClick();
}

void TqsForm::reBulltinKeyPress(int key) {
    if (key == '.' || key == 27) reBulltin->clear();
}

void TqsForm::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    ShowMessage(jq::Gb("大家好！"), false);
    // Keypad 9, multiply, add and separator greet twice.
    const bool keypad = (modifiers & Qt::KeypadModifier) != 0;
    if (keypad && (key == Qt::Key_9 || key == Qt::Key_Asterisk || key == Qt::Key_Plus || key == Qt::Key_Comma))
        ShowMessage(jq::Gb("大家好！"), false);
}

void TqsForm::ShowRecordTitle(const std::string& path) {
    setWindowTitle(QFile::decodeName(QByteArray::fromStdString(path)));
}
