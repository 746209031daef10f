// The main window at work: its handlers, the side-panel highlighting, the
// main tick and what the game asks of its surroundings.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "app/about.h"
#include "app/goption.h"
#include "app/helpwindow.h"
#include "app/tqsform.h"

#include <QEventLoop>
#include "core/ui/myshowmessage.h"
#include "core/ui/sound.h"
#include "platform/artwork.h"
#include "platform/imagecontrol.h"
#include "platform/toolkit.h"
#include "play/turnloop.h"
#include "view/ui/boardview.h"

namespace {

// The character a key press stands for, as the chat handlers read it:
// Enter 13, Esc 27, otherwise the first character typed (0 for none).
int KeyChar(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Escape:
            return 27;
        default:
            return event.text().isEmpty() ? 0 : event.text().at(0).unicode();
    }
}

}  // namespace

void TqsForm::ConnectHandlers() {
    // Side panel: the commands, and the highlighting of the one under the
    // pointer. A move over a command stays with it; a move over the bare
    // panel (or its decoration) reaches the panel.
    Panel1->setMouseTracking(true);
    Panel1->installEventFilter(this);
    for (QToolButton* button : sidePanelButtons) {
        button->setMouseTracking(true);
        button->setAttribute(Qt::WA_NoMousePropagation);
        button->installEventFilter(this);
    }
    connect(btnNewBattle, &QToolButton::clicked, this, [this] { btnNewBattleClick(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { btnNewBattleClick(); });
    connect(btnLoadFile, &QToolButton::clicked, this, [this] { btnLoadFileClick(); });
    connect(btnsavefile, &QToolButton::clicked, this, [this] { btnsavefileClick(); });
    connect(btnSetOption, &QToolButton::clicked, this, [this] { btnSetOptionClick(); });
    connect(btnShowResult, &QToolButton::clicked, this, [this] { btnShowResultClick(); });
    connect(btnShowHelp, &QToolButton::clicked, this, [this] { btnShowHelpClick(); });
    connect(btnAbout, &QToolButton::clicked, this, [this] { btnAboutClick(); });
    connect(btnExit, &QToolButton::clicked, this, [this] { btnExitClick(); });
    connect(btnnetbattle, &QToolButton::clicked, this, [this] { btnnetbattleClick(); });
    connect(Button7, &QToolButton::clicked, this, [this] { Button7Click(); });
    connect(Button5, &QToolButton::clicked, this, [this] { Button5Click(); });

    // Board panel.
    connect(btnViewOtherQz, &QPushButton::clicked, this, [this] { btnViewOtherQzClick(); });
    connect(bRotate, &QPushButton::clicked, this, [this] { bRotateClick(); });
    connect(btnProvStep, &QPushButton::clicked, this, [this] { btnProvStepClick(); });
    connect(btnNextStep, &QPushButton::clicked, this, [this] { btnNextStepClick(); });
    connect(bpeace, &QPushButton::clicked, this, [this] { bpeaceClick(); });
    connect(bgiveup, &QPushButton::clicked, this, [this] { bgiveupClick(); });
    connect(btnChangeQz, &QPushButton::clicked, this, [this] { btnChangeQzClick(); });
    connect(btnLoadZf, &QPushButton::clicked, this, [this] { btnLoadZfClick(); });
    connect(btnSaveZf, &QPushButton::clicked, this, [this] { btnSaveZfClick(); });
    connect(btnOtherKbt, &QPushButton::clicked, this, [this] { btnOtherKbtClick(); });
    // The mode buttons sit in a hidden group; a click on either sets the mode.
    for (QRadioButton* b : {rbtDps, rbtPractice})
        connect(b, &QRadioButton::clicked, this, [this] { rbtSelectChanged(); });
    // Mouse-down handlers read the modifier keys before the click.
    for (QWidget* w : std::initializer_list<QWidget*>{btnLoadFile, btnNextStep, btnProvStep})
        w->installEventFilter(this);
    // Chat keys; a right click on the board picture opens the popup menu.
    edInput->installEventFilter(this);
    edInput->lineEdit()->installEventFilter(this);
    reBulltin->installEventFilter(this);

    // Popup menu.
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
    connect(mpopLoadFile, &QAction::triggered, this, [this] { btnLoadFileClick(); });
    for (QAction* item : mnFna)
        connect(item, &QAction::triggered, this, [this, item] { mnFna1Click(item); });
    connect(mpopAutoPlay, &QAction::triggered, this, [this] { mpopAutoPlayClick(); });
    connect(mpopPlayStop, &QAction::triggered, this, [this] { mpopPlayStopClick(); });
    connect(mpopGotoStart, &QAction::triggered, this, [this] { mpopGotoStartClick(); });
    connect(mpopGotoLine, &QAction::triggered, this, [this] { mpopGotoLineClick(); });
    connect(mpopOption, &QAction::triggered, this, [this] { btnSetOptionClick(); });
    connect(mpopSaveKjp, &QAction::triggered, this, [this] { btnSaveZfClick(); });
    connect(mpopSaveBattle, &QAction::triggered, this, [this] { btnsavefileClick(); });
    connect(N10, &QAction::triggered, this, [this] { N10Click(); });

    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

bool TqsForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove:
            if (watched == Panel1) {
                Panel1MouseMove();
            } else if (auto* button = qobject_cast<QToolButton*>(watched)) {
                if (std::find(sidePanelButtons.begin(), sidePanelButtons.end(), button) !=
                    sidePanelButtons.end())
                    btnMouseMove(button);
            }
            break;
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (watched == btnLoadFile)
                btnLoadFileMouseDown(mouse->button(), mouse->modifiers());
            else if (watched == btnNextStep)
                btnNextStepMouseDown(mouse->button(), mouse->modifiers());
            else if (watched == btnProvStep)
                btnProvStepMouseDown(mouse->button(), mouse->modifiers());
            break;
        }
        case QEvent::KeyPress: {
            const int key = KeyChar(*static_cast<QKeyEvent*>(event));
            // The combo box has the focus and hands its keys to its line.
            if (key != 0 && (watched == edInput || watched == edInput->lineEdit())) {
                edInputKeyPress(key);
                if (key == 13) return true;
            } else if (key != 0 && watched == reBulltin) {
                reBulltinKeyPress(key);
            }
            break;
        }
        case QEvent::ContextMenu:
            // The board picture (and the path arrows lying on it) only.
            if (boardView && (watched == boardView->qipan || IsArrowImage(watched))) {
                ShowBoardMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
                return true;
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TqsForm::IsArrowImage(const QObject* watched) const {
    for (const jq::ImageControl* arrow : boardView->pathArrowImages)
        if (arrow == watched) return true;
    return false;
}

void TqsForm::keyPressEvent(QKeyEvent* event) {
    // Only keys that reach the window itself, with no control focused.
    QWidget* focus = focusWidget();
    if (focus == nullptr || focus == this) {
        FormKeyDown(event->key(), event->modifiers());
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TqsForm::closeEvent(QCloseEvent* event) {
    StopAIThread();
    QMainWindow::closeEvent(event);
}

// ---- Side-panel highlighting ----

void TqsForm::btnMouseMove(QAbstractButton* sender) {
    if (sender == nullptr) return;
    const std::string caption = jq::GbFromQt(sender->text());
    if (caption == game_->hoverCaption) return;
    Panel1MouseMove();
    jq::SetFontColor(*sender, kHoverRed);
    QFont font = sender->font();
    font.setBold(true);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    sender->setFont(font);
    game_->hoverCaption = caption;
}

void TqsForm::Panel1MouseMove() {
    game_->hoverCaption.clear();
    for (QToolButton* button : sidePanelButtons) jq::SetFontColor(*button, kNavy);
    for (QToolButton* button : sidePanelButtons) {
        QFont font = button->font();
        font.setBold(false);
        font.setItalic(false);
        font.setUnderline(false);
        font.setStrikeOut(false);
        button->setFont(font);
    }
}

// ---- Shell commands ----

void TqsForm::btnAboutClick() {
    ShowAboutWindow(this);
}

void TqsForm::btnShowHelpClick() {
    // A missing help file is not reported.
    ShowHelpWindow(this, QString::fromStdString(game_->appFolder) + HelpFileName());
}

void TqsForm::btnSetOptionClick() {
    RunOptionsDialog(this, *game_, [this] {
        if (boardView) boardView->ApplyBoardBackground();
    });
}

void TqsForm::N10Click() {
    StopAIThread();
    close();
}

void TqsForm::ShowBoardMenu(const QPoint& globalPos) {
    PopupMenu1->popup(globalPos);
}

// ---- Main tick and the computer player's thread ----

void TqsForm::Timer1Timer() {
    // The tick blinks the selected piece itself.
    jq::TickMainTimer(*game_);
}

void TqsForm::StopAIThread() {
    jq::StopAIThread(*game_);
    if (stopAIThreadHook) stopAIThreadHook(*this);
}

// ---- jq::GameUi ----

int TqsForm::ShowMessage(const std::string& gbText, bool withCancel) {
    return jq::MyShowMessage(gbText, withCancel ? 1 : 0);
}

void TqsForm::ShowStandardBox(const std::string& gbText, const std::string& gbCaption) {
    jq::StandardBox(gbText, gbCaption, jq::BoxButtons::Ok);
}

void TqsForm::ShowStandardBoxWhenFree(const std::string& gbText, const std::string& gbCaption) {
    const std::pair<std::string, std::string> box{gbText, gbCaption};
    if (std::find(waitingBoxes_.begin(), waitingBoxes_.end(), box) == waitingBoxes_.end())
        waitingBoxes_.push_back(box);
    ShowWaitingBoxes();
}

// Free: no move, battle end or question is being handled, and no box or
// dialog is open (a box shown from inside one would hold up what waits for it).
void TqsForm::ShowWaitingBoxes() {
    while (!waitingBoxes_.empty()) {
        if (game_->gameLogicDepth > 0 || QApplication::activeModalWidget() != nullptr) {
            if (waitingBoxTimer_ == nullptr) {
                waitingBoxTimer_ = new QTimer(this);
                waitingBoxTimer_->setSingleShot(true);
                waitingBoxTimer_->setInterval(100);
                connect(waitingBoxTimer_, &QTimer::timeout, this, [this] { ShowWaitingBoxes(); });
            }
            waitingBoxTimer_->start();
            return;
        }
        const auto [text, caption] = waitingBoxes_.front();
        waitingBoxes_.erase(waitingBoxes_.begin());
        ShowStandardBox(text, caption);
    }
}

void TqsForm::PlaySound(const std::string& fileName, bool sync) {
    jq::PlayGameSound(game_->appFolder, fileName, !sync, game_->optionsRecord.soundOn, game_->clickStepCount);
}

jq::ClockStamp TqsForm::Now() { return jq::MonotonicNow(); }

void TqsForm::SleepMs(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

void TqsForm::WaitKeepingWindowLive(int ms) {
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void TqsForm::ProcessMessages() {
    jq::ProcessMessages();
}

void TqsForm::PlacePiece(int piece) {
    if (boardView) boardView->PlacePiece(piece);
}

void TqsForm::SetPieceVisible(int piece, bool visible) {
    if (boardView) boardView->SetPieceVisible(piece, visible);
}

bool TqsForm::PieceVisible(int piece) {
    return boardView && boardView->PieceVisible(piece);
}

void TqsForm::SwapPiecePictures(int a, int b) {
    if (boardView) boardView->SwapPiecePictures(a, b);
}

void TqsForm::RevealFlag(int piece) {
    if (boardView) boardView->RevealFlag(piece);
}

void TqsForm::ConcealFlag(int piece) {
    if (boardView) boardView->ConcealFlag(piece);
}

void TqsForm::RedrawPieces() {
    if (boardView) boardView->RedrawPieces();
}

void TqsForm::HideArrows() {
    if (boardView) boardView->HideArrows();
}

void TqsForm::ShowArrow(int index, int pointIndex, int direction) {
    if (boardView) boardView->ShowArrow(index, pointIndex, direction);
}

void TqsForm::RepaintNow() {
    if (boardView) boardView->RepaintNow();
}

void TqsForm::SetStatusText(int panel, const std::string& gbText) {
    if (panel < 0 || panel >= static_cast<int>(statusPanels.size())) return;
    statusPanels[panel]->setText(jq::QtFromGb(gbText));
}

void TqsForm::SetTimeRemaining(const std::string& text) {
    lbShowTimeRemain->setText(QString::fromStdString(text));
}

std::string TqsForm::SeatLabel(int seat) {
    QLabel* label = SeatLabelControl(seat);
    return label ? jq::GbFromQt(label->text()) : std::string();
}

void TqsForm::SetSeatLabel(int seat, const std::string& gbText) {
    if (QLabel* label = SeatLabelControl(seat)) label->setText(jq::QtFromGb(gbText));
}

QLabel* TqsForm::SeatLabelControl(int seat) const {
    switch (seat) {
        case 0: return Label1;
        case 1: return Label2;
        case 2: return Label3;
        case 3: return Label4;
        default: return nullptr;
    }
}

void TqsForm::SetMainTimerEnabled(bool on) {
    if (on)
        Timer1->start();
    else
        Timer1->stop();
}

void TqsForm::SetSaveEnabled(bool on) {
    btnsavefile->setEnabled(on);
    mpopSaveBattle->setEnabled(on);
}

void TqsForm::SetGiveUpAndPeaceEnabled(bool on) {
    bgiveup->setEnabled(on);
    bpeace->setEnabled(on);
}

void TqsForm::SetNextStepEnabled(bool on) {
    btnNextStep->setEnabled(on);
}

void TqsForm::SetChatVisible(bool visible) {
    reBulltin->setVisible(visible);
    edInput->setVisible(visible);
}

void TqsForm::ShowTurnLight(int seat, int frame) {
    if (seat < 0 || seat > 3) {
        light1->hide();
        return;
    }
    light1->move(kTurnLightPositions[seat]);
    light1->show();
    if (frame >= 0) DrawLightFrame(frame);
}

void TqsForm::CloseMainWindow() {
    close();
}

bool TqsForm::NextStepEnabled() {
    return btnNextStep->isEnabled();
}

void TqsForm::DrawOwnPieces() {
    if (boardView) boardView->DrawOwnPieces();
}

void TqsForm::SetDeploymentControlsVisible(bool visible) {
    for (QWidget* w : std::initializer_list<QWidget*>{btnChangeQz, btnSaveZf, btnLoadZf, btnOtherKbt, Shape1,
                                                       Shape2, Label20})
        w->setVisible(visible);
}

void TqsForm::SetRotateEnabled(bool on) {
    bRotate->setEnabled(on);
}

void TqsForm::SetPrevStepEnabled(bool on) {
    btnProvStep->setEnabled(on);
}

void TqsForm::SetViewOtherButton(bool enabled, const std::string& gbCaption) {
    btnViewOtherQz->setEnabled(enabled);
    btnViewOtherQz->setText(jq::QtFromGb(gbCaption));
}

void TqsForm::SelectPlayMode(bool practice) {
    (practice ? rbtPractice : rbtDps)->setChecked(true);
}

void TqsForm::ShowStartupTitle() {
    setWindowTitle(StartupTitle());
}

// ---- Board buttons ----

void TqsForm::btnViewOtherQzClick() {
    if (boardView) boardView->btnViewOtherQzClick();
}

void TqsForm::bRotateClick() {
    if (boardView) boardView->bRotateClick();
}

void TqsForm::btnChangeQzClick() {
    if (boardView) boardView->btnChangeQzClick();
}

void TqsForm::rbtSelectChanged() {
    if (boardView) boardView->rbtSelectChanged();
}
