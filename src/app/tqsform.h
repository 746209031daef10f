// The main window: owns one game and the components that show it. It is
// also the game's surroundings (jq::GameUi): boxes, sounds, the clock, the
// status bar and the board on screen.
#pragma once

// The components' classes come with this header, so that every part of the
// program can switch the window's controls through it alone.
#include <QAction>
#include <QColor>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPoint>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QString>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/gameui.h"
#include "core/qipan.h"
#include "net/lan.h"

namespace jq {
class ImageControl;
}

class BoardView;

namespace jq {
class AIDominate;
namespace net {
class LanSockets;
}
}

class TqsForm : public QMainWindow, public jq::GameUi, public jq::net::LanUi {
    Q_OBJECT
public:
    // Window colours and sizes of the design.
    static constexpr int kClientWidth = 644;
    static constexpr int kClientHeight = 547;
    static inline const QColor kCream{255, 251, 240};
    static inline const QColor kNavy{0, 0, 128};
    static inline const QColor kHoverRed{255, 0, 0};
    static inline const QColor kTeal{0, 128, 128};
    static inline const QColor kMaroon{128, 0, 0};
    // Where the turn light stands for seats 0..3.
    static constexpr QPoint kTurnLightPositions[4] = {{353, 449}, {459, 120}, {141, 40}, {33, 126}};
    static constexpr int kTurnLightSize = 36;

    explicit TqsForm(QWidget* parent = nullptr);
    ~TqsForm() override;

    jq::GameState& game() { return *game_; }

    // The title the window carries while no battle record is open.
    static QString StartupTitle();
    // The help file, in the working folder.
    static QString HelpFileName();

    // ---- Components of the window ----
    QWidget* panQiPan = nullptr;  // the board panel, 529 x 528 at the left
    // The board picture `qipan`, the piece and arrow images on panQiPan.
    std::unique_ptr<BoardView> boardView;

    // Side panel and its commands.
    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;  // picture at the top of the side panel
    QToolButton* btnNewBattle = nullptr;
    QToolButton* btnLoadFile = nullptr;
    QToolButton* btnsavefile = nullptr;
    QToolButton* btnSetOption = nullptr;
    QToolButton* btnShowResult = nullptr;
    QToolButton* btnShowHelp = nullptr;
    QToolButton* btnAbout = nullptr;
    QToolButton* btnExit = nullptr;
    QToolButton* btnnetbattle = nullptr;
    QToolButton* Button7 = nullptr;  // "阵法学习", never shown
    QToolButton* Button5 = nullptr;  // "子力分布", never shown
    QToolButton* SpeedButton1 = nullptr;  // "人机对奕", also a new battle
    QFrame* Bevel1 = nullptr;
    QLabel* Label21 = nullptr;
    QLabel* Label22 = nullptr;
    QLabel* Label23 = nullptr;
    QLabel* Label24 = nullptr;
    // The nine commands that take part in the highlighting, in reset order.
    std::array<QToolButton*, 9> sidePanelButtons{};

    // Commands on the board panel.
    QPushButton* btnViewOtherQz = nullptr;
    QPushButton* bRotate = nullptr;
    QPushButton* btnProvStep = nullptr;
    QPushButton* btnNextStep = nullptr;
    QPushButton* bpeace = nullptr;
    QPushButton* bgiveup = nullptr;
    // Deployment controls.
    QPushButton* btnChangeQz = nullptr;
    QPushButton* btnLoadZf = nullptr;
    QPushButton* btnSaveZf = nullptr;
    QPushButton* btnOtherKbt = nullptr;
    QFrame* Shape1 = nullptr;
    QFrame* Shape2 = nullptr;
    QLabel* Label20 = nullptr;
    // Chat.
    QTextEdit* reBulltin = nullptr;
    QComboBox* edInput = nullptr;
    // Labels: move clock, seats 0..3 (bottom, right, top, left), slogans.
    QLabel* lbShowTimeRemain = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    std::array<QLabel*, 4> slogans{};
    // Turn light and its frames (36 x 36 cells side by side).
    jq::ImageControl* light1 = nullptr;
    jq::ImageControl* alllightimage = nullptr;
    int light1Tag = 0;
    // Mode switches in a group that is never shown.
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* rbtDps = nullptr;       // "复盘", replay mode
    QRadioButton* rbtPractice = nullptr;  // "下棋", play against the computer
    // The computer player's timing labels, in a group that is never shown.
    QGroupBox* GroupBox3 = nullptr;
    std::array<QLabel*, 5> lbmsg{};  // lbmsg1 .. lbmsg5

    // Status bar: panel 0 fixed text, 1 mode and level, 2 step counter,
    // 3 status and LAN texts.
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 4> statusPanels{};

    // The main timer (32 ms) and its counter of ticks since the last
    // auto-replay step.
    QTimer* Timer1 = nullptr;
    int timer1Tag = 0;

    // File dialogs, starting in the battle-record folder.
    QFileDialog* OpenDialog1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;

    // The board's popup menu.
    QMenu* PopupMenu1 = nullptr;
    QAction* mpopLoadFile = nullptr;
    QMenu* mpopRecentFile = nullptr;
    std::array<QAction*, 10> mnFna{};  // mnFna1 .. mnFna10
    QAction* N15 = nullptr;
    QAction* mpopAutoPlay = nullptr;
    QAction* mpopPlayStop = nullptr;
    QAction* mpopGotoStart = nullptr;
    QAction* mpopGotoLine = nullptr;
    QAction* N12 = nullptr;
    QAction* mpopOption = nullptr;
    QAction* N4 = nullptr;
    QAction* mpopSaveKjp = nullptr;
    QAction* mpopSaveBattle = nullptr;
    QAction* N8 = nullptr;
    QAction* N10 = nullptr;

    // The TCP port of LAN battles (hosting and joining).
    int lanPort = jq::net::kDefaultPort;
    jq::net::LanSockets* lanSockets() { return lanSockets_.get(); }

    // ---- Hooks the other parts of the program install ----
    // Runs after the computer player has been stopped (tests count stops).
    std::function<void(TqsForm&)> stopAIThreadHook;

    // ---- Handlers ----
    // One tick of the turn loop.
    void Timer1Timer();
    // Switches the main timer off and stops the computer player.
    void StopAIThread();

    // Side-panel highlighting.
    void btnMouseMove(QAbstractButton* sender);
    void Panel1MouseMove();
    const std::string& HoverCaption() const { return game_->hoverCaption; }

    void btnAboutClick();
    void btnShowHelpClick();
    void btnSetOptionClick();
    void N10Click();

    // Opens the board's popup menu at a screen position.
    void ShowBoardMenu(const QPoint& globalPos);

    // Handlers written with the commands they start.
    void btnNewBattleClick();
    void btnLoadFileClick();
    void btnLoadFileMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void btnsavefileClick();
    void btnShowResultClick();
    void btnExitClick();
    void btnnetbattleClick();
    void Button5Click();
    void Button7Click();
    void btnViewOtherQzClick();
    void bRotateClick();
    void btnNextStepClick();
    void btnNextStepMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void btnProvStepClick();
    void btnProvStepMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void btnChangeQzClick();
    void rbtSelectChanged();
    void btnLoadZfClick();
    void btnSaveZfClick();
    void btnOtherKbtClick();
    void bgiveupClick();
    void bpeaceClick();
    void mpopAutoPlayClick();
    void mpopPlayStopClick();
    void mpopGotoStartClick();
    void mpopGotoLineClick();
    void PopupMenu1Popup();
    void qipanClick();
    void mnFna1Click(QAction* sender);
    void edInputKeyPress(int key);
    void reBulltinKeyPress(int key);
    void FormKeyDown(int key, Qt::KeyboardModifiers modifiers);

    // ---- jq::GameUi ----
    int ShowMessage(const std::string& gbText, bool withCancel) override;
    void ShowStandardBox(const std::string& gbText, const std::string& gbCaption) override;
    void ShowStandardBoxWhenFree(const std::string& gbText, const std::string& gbCaption) override;
    void PlaySound(const std::string& fileName, bool sync) override;
    jq::ClockStamp Now() override;
    void SleepMs(int ms) override;
    void WaitKeepingWindowLive(int ms) override;
    void ProcessMessages() override;
    void PlacePiece(int piece) override;
    void SetPieceVisible(int piece, bool visible) override;
    void RevealFlag(int piece) override;
    void RedrawPieces() override;
    void HideArrows() override;
    void ShowArrow(int index, int pointIndex, int direction) override;
    void RepaintNow() override;
    void SetStatusText(int panel, const std::string& gbText) override;
    void SetTimeRemaining(const std::string& text) override;
    bool PieceVisible(int piece) override;
    void SwapPiecePictures(int a, int b) override;
    void ConcealFlag(int piece) override;
    std::string SeatLabel(int seat) override;
    void SetSeatLabel(int seat, const std::string& gbText) override;
    void SetMainTimerEnabled(bool on) override;
    void SetSaveEnabled(bool on) override;
    void SetGiveUpAndPeaceEnabled(bool on) override;
    void SetNextStepEnabled(bool on) override;
    void SetChatVisible(bool visible) override;
    void ShowTurnLight(int seat, int frame) override;
    void CloseMainWindow() override;
    bool NextStepEnabled() override;
    void DrawOwnPieces() override;
    void SetDeploymentControlsVisible(bool visible) override;
    void SetRotateEnabled(bool on) override;
    void SetPrevStepEnabled(bool on) override;
    void SetViewOtherButton(bool enabled, const std::string& gbCaption) override;
    void SelectPlayMode(bool practice) override;
    void ShowStartupTitle() override;
    void ShowRecordTitle(const std::string& path) override;
    void ShowBattleResult(int result, bool modeless) override;
    void WinRecordChanged() override;
    void SetDiagnosticLabel(int index, const std::string& text) override;

    // ---- jq::net::LanUi ----
    void ShowWaitDialog() override;
    void ChatLine(int seat, const std::string& gbLine) override;
    void AskPeace(int seat, const std::string& gbQuestion) override;
    void Notice(const std::string& gbText) override;
    void ExplainLeaving(const std::string& gbText) override;
    void SeatTakenOver(const std::string& gbText) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildSidePanel(QWidget* central);
    void BuildBoardPanel(QWidget* central);
    void BuildStatusBar();
    void BuildPopupMenu();
    void BuildDialogs();
    void ConnectHandlers();
    void CreateBoardView();
    void CreateLanSession();
    void DrawLightFrame(int frame);
    QLabel* SeatLabelControl(int seat) const;
    bool IsArrowImage(const QObject* watched) const;
    // Shows the boxes waiting for the game to be free, or looks again shortly.
    void ShowWaitingBoxes();

    std::unique_ptr<jq::GameState> game_;
    // The computer player's worker; declared after the game so that it is
    // stopped and joined before the game goes.
    std::unique_ptr<jq::AIDominate> aiThread;
    // The LAN battle's connections and queues; the sockets go first.
    std::unique_ptr<jq::net::LanSession> lanSession_;
    std::unique_ptr<jq::net::LanSockets> lanSockets_;
    // The controls laid on the board panel before the board itself; they
    // are raised above the board picture once it exists.
    std::vector<QWidget*> boardPanelControls_;
    // Boxes waiting for the game to be free (text, caption), and the timer
    // that looks again.
    std::vector<std::pair<std::string, std::string>> waitingBoxes_;
    QTimer* waitingBoxTimer_ = nullptr;
    // The host's duties run on a timer of their own: a box its player keeps
    // open, which holds up the main tick, never holds up the others' battle.
    QTimer* hostDutiesTimer_ = nullptr;
};
