// The main window's construction: its components as the design lays them
// out, then the game's start-up in its fixed order.
#include "app/tqsform.h"

#include "ai/aithread.h"
#include "ai/ui/aihandover.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include "app/appfolder.h"
#include "core/options.h"
#include "net/netbattle.h"
#include "net/ui/lansockets.h"
#include "platform/artwork.h"
#include "platform/imagecontrol.h"
#include "platform/toolkit.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "view/ui/boardview.h"

namespace {

const QString kFontFamily = QStringLiteral("WenQuanYi Zen Hei");

QFont PixelFont(int pixelSize, bool bold = false) {
    QFont font(kFontFamily);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void SetTextColor(QWidget* widget, const QColor& color) { jq::SetFontColor(*widget, color); }

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry, const QColor& color) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    SetTextColor(label, color);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    return button;
}

// The ready phrases of the chat line.
constexpr const char* kChatPhrases[14] = {
    "啦啦啦~~~，啦啦啦...，啦啦啦:)",
    "大家好，很高兴见到各位！",
    "快点快点，我等到花儿也谢了。",
    "GG，MM？你是谁？",
    "咱们聊聊好吗？",
    "这里没有我的对手。",
    "快投降吧。",
    "敌人太强大，咱们扯呼了~~",
    "那是39，不，是40，唉，还是你自已小心。",
    "不要吵了，有什么好吵的，专心下棋吧。",
    "你的棋真臭啊！",
    "同你合作太愉快了~",
    "哈哈，灭你象灭一盘菜一样...",
    "怎么又断线了，网络太差了啊！",
};

}  // namespace

QString TqsForm::StartupTitle() {
    return QStringLiteral("运筹帷幄/决胜千里/四国争雄/以棋会友。。。");
}

QString TqsForm::HelpFileName() {
    return QStringLiteral("棋战帮助文件.html");
}

TqsForm::TqsForm(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      game_(std::make_unique<jq::GameState>()) {
    jq::GameState& g = *game_;
    g.ui = this;
    // No box may open underneath the LAN waiting room, and no dialog leaves
    // a list of names over the board.
    jq::KeepDialogsAboveOwnTopWindows();
    jq::ClosePopupsWithTheirWindows();
    // The computer player's worker waits until the turn loop wakes it.
    aiThread = jq::CreateWindowComputerPlayer(this, g);
    g.computer = aiThread.get();
    CreateLanSession();
    // The pictures of the design come from the working folder as well.
    UseWorkingFolderPictures(GetCurrentFolder());

    // The window and every component of its design.
    setWindowTitle(StartupTitle());
    setFont(PixelFont(12));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    BuildBoardPanel(central);
    BuildSidePanel(central);
    BuildStatusBar();
    BuildPopupMenu();
    BuildDialogs();
    Timer1 = new QTimer(this);
    Timer1->setInterval(2);
    hostDutiesTimer_ = new QTimer(this);
    hostDutiesTimer_->setInterval(jq::kMainTimerMs);
    connect(hostDutiesTimer_, &QTimer::timeout, this, [this] { jq::net::DoHostDuties(*game_); });
    ConnectHandlers();
    setFixedSize(kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // The clocks start now; the game state set the rest of its start values.
    g.lastActivity = Now();
    for (jq::ClockStamp& stamp : g.aiPhaseTimes) stamp = Now();

    // The working folder, then the options read from it.
    g.appFolder = GetCurrentFolder();
    jq::LoadOptionsAtStartup(g);

    // The file dialogs start in the battle-record folder.
    const QString recordFolder = QString::fromStdString(g.appFolder) + QStringLiteral("kbtfiles/");
    OpenDialog1->setDirectory(recordFolder);
    SaveDialog1->setDirectory(recordFolder);

    Timer1->setInterval(32);
    g.viewOtherFormations = 0;
    btnViewOtherQz->setText(QStringLiteral("看别人棋"));
    g.deployPhase = 0;
    g.path.length = 0;
    lbShowTimeRemain->setText(QStringLiteral("0"));
    // The time of day seeds the generator; every clock of play is monotonic.
    g.mainRandom.Seed(static_cast<uint32_t>(QDateTime::currentMSecsSinceEpoch() / 1000));
    g.battleFileName = "default.kbt";
    g.replayFileName = "NONE";

    // The board: its picture in the chosen background, then the piece and
    // arrow images above it.
    CreateBoardView();

    Timer1->start();
    hostDutiesTimer_->start();
}

TqsForm::~TqsForm() {
    Timer1->stop();
    hostDutiesTimer_->stop();
    game_->computer = nullptr;
    aiThread.reset();
    lanSockets_.reset();
    lanSession_.reset();
    boardView.reset();
    game_->ui = &game_->nullUi;
}

void TqsForm::BuildBoardPanel(QWidget* central) {
    auto* panel = new QFrame(central);
    panel->setObjectName(QStringLiteral("panQiPan"));
    panel->setGeometry(0, 0, 529, 528);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panQiPan = panel;

    auto keep = [this](QWidget* w) {
        boardPanelControls_.push_back(w);
        return w;
    };

    // Upper left: the slogans.
    const char* sloganTexts[4] = {"超级人工智慧", "强大复盘功能", "联网对战杀敌", "四国练兵基地"};
    for (int i = 0; i < 4; ++i) {
        slogans[i] = MakeLabel(panQiPan, QString::fromUtf8(sloganTexts[i]), QRect(10, 8 + 18 * i, 90, 16),
                               QColor(0, 0, 255));
        keep(slogans[i]);
    }

    // The turn light and the seat labels: bottom, right, top, left.
    alllightimage = new jq::ImageControl(panQiPan);
    alllightimage->hide();
    alllightimage->SetPicture(jq::LoadArtwork(QStringLiteral("alllightimage.png")));
    light1 = new jq::ImageControl(panQiPan);
    light1->setGeometry(QRect(kTurnLightPositions[0], QSize(kTurnLightSize, kTurnLightSize)));
    light1->SetTransparent(true);
    keep(light1);
    DrawLightFrame(0);

    Label1 = MakeLabel(panQiPan, QStringLiteral("位置1"), QRect(341, 490, 68, 18), kTeal);
    Label2 = MakeLabel(panQiPan, QStringLiteral("位置2"), QRect(447, 160, 78, 18), kTeal);
    Label3 = MakeLabel(panQiPan, QStringLiteral("位置3"), QRect(129, 80, 56, 18), kTeal);
    Label4 = MakeLabel(panQiPan, QStringLiteral("位置4"), QRect(21, 166, 78, 18), kTeal);
    for (QLabel* label : {Label1, Label2, Label3, Label4}) {
        label->setFont(PixelFont(13, true));
        keep(label);
    }

    // The move clock above seat 0's light.
    lbShowTimeRemain = MakeLabel(panQiPan, QStringLiteral("30"), QRect(341, 408, 60, 32), QColor(255, 0, 0));
    lbShowTimeRemain->setFont(PixelFont(24, true));
    lbShowTimeRemain->setAlignment(Qt::AlignCenter);
    keep(lbShowTimeRemain);

    // Upper right: viewing, replay and battle commands.
    btnProvStep = MakeButton(panQiPan, QStringLiteral("上一步"), QRect(347, 10, 80, 25));
    btnProvStep->setToolTip(QStringLiteral("Ctrl = 回到起点"));
    btnNextStep = MakeButton(panQiPan, QStringLiteral("下一步"), QRect(432, 10, 80, 25));
    btnNextStep->setToolTip(QStringLiteral("Ctrl = 10步 Alt = 自动"));
    btnViewOtherQz = MakeButton(panQiPan, QStringLiteral("看别人棋"), QRect(347, 40, 80, 25));
    bRotate = MakeButton(panQiPan, QStringLiteral("旋转视角"), QRect(432, 40, 80, 25));
    bpeace = MakeButton(panQiPan, QStringLiteral("祈求和平"), QRect(347, 70, 80, 25));
    bgiveup = MakeButton(panQiPan, QStringLiteral("缴械投降"), QRect(432, 70, 80, 25));
    for (QPushButton* b : {btnProvStep, btnNextStep, btnViewOtherQz, bRotate, bgiveup}) b->setEnabled(false);
    for (QPushButton* b : {btnProvStep, btnNextStep, btnViewOtherQz, bRotate, bpeace, bgiveup}) keep(b);

    // In the middle of the board: the deployment box, shown while the seats
    // deploy. Shape1 is Shape2's shadow, 10 px right and 8 px lower.
    Shape1 = new QFrame(panQiPan);
    Shape1->setGeometry(210, 190, 119, 141);
    Shape1->setFrameStyle(QFrame::NoFrame);
    Shape1->setAutoFillBackground(true);
    {
        QPalette pal = Shape1->palette();
        pal.setColor(QPalette::Window, QColor(191, 205, 219));
        Shape1->setPalette(pal);
    }
    Shape2 = new QFrame(panQiPan);
    Shape2->setGeometry(200, 182, 119, 141);
    Shape2->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape2->setLineWidth(1);
    Shape2->setAutoFillBackground(true);
    {
        QPalette pal = Shape2->palette();
        pal.setColor(QPalette::Window, QColor(255, 255, 225));
        pal.setColor(QPalette::WindowText, QColor(0, 0, 0));
        Shape2->setPalette(pal);
    }
    Label20 = MakeLabel(panQiPan, QStringLiteral("请布阵"), QRect(228, 188, 60, 20), QColor(255, 0, 0));
    Label20->setFont(PixelFont(19, true));
    Label20->setAlignment(Qt::AlignCenter);
    btnLoadZf = MakeButton(panQiPan, QStringLiteral("调出阵法"), QRect(224, 216, 69, 21));
    btnSaveZf = MakeButton(panQiPan, QStringLiteral("保存阵法"), QRect(224, 238, 69, 21));
    btnOtherKbt = MakeButton(panQiPan, QStringLiteral("其它阵法"), QRect(224, 260, 69, 21));
    btnChangeQz = MakeButton(panQiPan, QStringLiteral("完毕"), QRect(224, 288, 69, 24));
    jq::SetOkGlyph(*btnChangeQz);
    for (QPushButton* b : {btnLoadZf, btnSaveZf, btnOtherKbt, btnChangeQz}) b->setFont(PixelFont(12));
    // Raised above the board in this order: shadow, box, then its contents.
    for (QWidget* w : std::initializer_list<QWidget*>{Shape1, Shape2, Label20, btnLoadZf, btnSaveZf,
                                                       btnOtherKbt, btnChangeQz}) {
        w->hide();
        keep(w);
    }

    // Lower left: the chat, shown while a LAN battle is connected.
    reBulltin = new QTextEdit(panQiPan);
    reBulltin->setGeometry(6, 340, 170, 161);
    reBulltin->setReadOnly(true);
    reBulltin->setFocusPolicy(Qt::StrongFocus);
    {
        QPalette palette = reBulltin->palette();
        palette.setColor(QPalette::Base, QColor(255, 255, 225));
        palette.setColor(QPalette::Text, kMaroon);
        reBulltin->setPalette(palette);
    }
    edInput = new QComboBox(panQiPan);
    edInput->setGeometry(6, 503, 170, 22);
    edInput->setEditable(true);
    edInput->setInsertPolicy(QComboBox::NoInsert);
    edInput->setMaxVisibleItems(20);
    for (const char* phrase : kChatPhrases) edInput->addItem(QString::fromUtf8(phrase));
    edInput->setCurrentIndex(-1);
    edInput->setEditText(QString());
    for (QWidget* w : std::initializer_list<QWidget*>{reBulltin, edInput}) {
        w->hide();
        keep(w);
    }

    // The mode switches and the computer player's timing labels, never shown.
    GroupBox2 = new QGroupBox(QStringLiteral("类型"), panQiPan);
    GroupBox2->setGeometry(10, 200, 90, 60);
    rbtDps = new QRadioButton(QStringLiteral("复盘"), GroupBox2);
    rbtDps->setGeometry(8, 16, 70, 18);
    rbtPractice = new QRadioButton(QStringLiteral("下棋"), GroupBox2);
    rbtPractice->setGeometry(8, 36, 70, 18);
    rbtDps->setChecked(true);
    GroupBox2->hide();

    GroupBox3 = new QGroupBox(QStringLiteral("Times"), panQiPan);
    GroupBox3->setGeometry(10, 270, 120, 110);
    const char* timingCaptions[5] = {"ATK:", "DEF:", "REB:", "GOM:", "TTV:"};
    const int kTimingCaptionNumbers[5] = {11, 12, 15, 17, 18};
    for (int i = 0; i < 5; ++i) {
        auto* caption = new QLabel(QString::fromLatin1(timingCaptions[i]), GroupBox3);
        caption->setObjectName(QStringLiteral("Label%1").arg(kTimingCaptionNumbers[i]));
        caption->setGeometry(6, 16 + 18 * i, 50, 16);
        lbmsg[i] = new QLabel(QStringLiteral("0"), GroupBox3);
        lbmsg[i]->setGeometry(60, 16 + 18 * i, 50, 16);
    }
    GroupBox3->hide();
}

void TqsForm::BuildSidePanel(QWidget* central) {
    Panel1 = new QFrame(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(530, 0, 111, 529);
    Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel1->setAutoFillBackground(true);
    {
        QPalette palette = Panel1->palette();
        palette.setColor(QPalette::Window, kCream);
        Panel1->setPalette(palette);
    }

    Image1 = new QLabel(Panel1);
    Image1->setGeometry(8, 6, 95, 40);
    Image1->setAlignment(Qt::AlignCenter);
    const QImage logo = jq::LoadArtwork(QStringLiteral("msg_title.png"));
    if (logo.isNull()) {
        Image1->setText(QStringLiteral("云岭棋战"));
        Image1->setFont(PixelFont(18, true));
        SetTextColor(Image1, kNavy);
    } else {
        Image1->setPixmap(QPixmap::fromImage(logo));
    }

    auto speedButton = [this](const QString& caption, int top) {
        auto* button = new QToolButton(Panel1);
        button->setText(caption);
        button->setGeometry(18, top, 73, 22);
        button->setAutoRaise(true);
        button->setFont(PixelFont(12));
        SetTextColor(button, kNavy);
        return button;
    };
    btnNewBattle = speedButton(QStringLiteral("人机对奕"), 52);
    btnLoadFile = speedButton(QStringLiteral("调出战役"), 82);
    btnLoadFile->setToolTip(QStringLiteral("右键激活演播菜单"));
    btnsavefile = speedButton(QStringLiteral("保存战役"), 112);
    btnSetOption = speedButton(QStringLiteral("游戏设置"), 142);
    btnShowResult = speedButton(QStringLiteral("棋战成绩"), 172);
    btnShowHelp = speedButton(QStringLiteral("帮  助"), 202);
    btnAbout = speedButton(QStringLiteral("关  于"), 232);
    btnExit = speedButton(QStringLiteral("退  出"), 292);
    btnnetbattle = speedButton(QStringLiteral("联网对战"), 328);
    Button7 = speedButton(QStringLiteral("阵法学习"), 262);
    Button5 = speedButton(QStringLiteral("子力分布"), 358);
    Button7->hide();
    Button5->hide();
    sidePanelButtons = {btnNewBattle, btnLoadFile,  btnsavefile, btnSetOption, btnShowResult,
                        btnShowHelp,  btnAbout,     btnExit,     btnnetbattle};

    Bevel1 = new QFrame(Panel1);
    Bevel1->setGeometry(10, 270, 91, 2);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setText(QStringLiteral("人机对奕"));
    SpeedButton1->setGeometry(14, 392, 81, 34);
    SpeedButton1->setFont(PixelFont(14, true));
    SetTextColor(SpeedButton1, QColor(128, 0, 0));

    Label21 = MakeLabel(Panel1, QStringLiteral("云岭棋战"), QRect(4, 444, 103, 20), kNavy);
    Label21->setFont(PixelFont(15, true));
    Label22 = MakeLabel(Panel1, QStringLiteral("四国军棋"), QRect(4, 466, 103, 16), kTeal);
    Label23 = MakeLabel(Panel1, QStringLiteral("人机 · 联网 · 复盘"), QRect(4, 484, 103, 16), kTeal);
    Label24 = MakeLabel(Panel1, QStringLiteral("版本 1.0"), QRect(4, 502, 103, 16), QColor(96, 96, 96));
    for (QLabel* label : {Label21, Label22, Label23, Label24}) label->setAlignment(Qt::AlignCenter);
}

void TqsForm::BuildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(19);
    setStatusBar(StatusBar1);
    // Panel 3 shows the same idle text as after every ordinary move.
    const QString texts[4] = {QStringLiteral("云岭棋战"), QStringLiteral("级别：无"),
                              QStringLiteral("当前已走：0 步"), jq::QtFromGb(jq::IdleStatusText())};
    const int widths[4] = {88, 82, 120, 50};
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(texts[i], StatusBar1);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < 3)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(widths[i]);
        StatusBar1->addWidget(panel, i < 3 ? 0 : 1);
        statusPanels[i] = panel;
    }
}

void TqsForm::BuildPopupMenu() {
    // Item pictures: save formation, options, load battle, exit.
    const char* iconFiles[4] = {"menu_savezf.png", "menu_option.png", "menu_load.png", "menu_exit.png"};
    QIcon icons[4];
    for (int i = 0; i < 4; ++i) {
        const QImage picture = jq::LoadArtwork(QString::fromLatin1(iconFiles[i]));
        if (!picture.isNull()) icons[i] = QIcon(QPixmap::fromImage(picture));
    }

    PopupMenu1 = new QMenu(this);
    mpopLoadFile = PopupMenu1->addAction(icons[2], QStringLiteral("调出战役"));
    mpopRecentFile = PopupMenu1->addMenu(QStringLiteral("最近复盘战役"));
    for (QAction*& item : mnFna) item = mpopRecentFile->addAction(QStringLiteral("DEFAULT"));
    N15 = PopupMenu1->addSeparator();
    mpopAutoPlay = PopupMenu1->addAction(QStringLiteral("自动演播(单击棋盘)"));
    mpopPlayStop = PopupMenu1->addAction(QStringLiteral("停止演播"));
    mpopGotoStart = PopupMenu1->addAction(QStringLiteral("回到起点"));
    mpopGotoLine = PopupMenu1->addAction(QStringLiteral("跳转到指定步数"));
    // Replay items act only while a battle record is open.
    for (QAction* item : {mpopAutoPlay, mpopPlayStop, mpopGotoStart, mpopGotoLine}) item->setEnabled(false);
    N12 = PopupMenu1->addSeparator();
    mpopOption = PopupMenu1->addAction(icons[1], QStringLiteral("游戏设置"));
    N4 = PopupMenu1->addSeparator();
    mpopSaveKjp = PopupMenu1->addAction(icons[0], QStringLiteral("保存阵法(东)"));
    mpopSaveBattle = PopupMenu1->addAction(QStringLiteral("保存战役"));
    N8 = PopupMenu1->addSeparator();
    N10 = PopupMenu1->addAction(icons[3], QStringLiteral("退出"));
}

void TqsForm::BuildDialogs() {
    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = {QStringLiteral("阵法文件 (*.kjq *.jqs)"), QStringLiteral("战役文件 (*.kbt)"),
                                 QStringLiteral("战役文件 (*.jqg)"), QStringLiteral("战役文件 (*.jqh)"),
                                 QStringLiteral("所有文件 (*.*)")};
    OpenDialog1->setNameFilters(filters);
    OpenDialog1->selectNameFilter(filters[1]);
    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
}

void TqsForm::CreateBoardView() {
    // The board picture in the chosen background, then the 100 piece images
    // and the 30 arrow images above it.
    boardView = std::make_unique<BoardView>(*game_, panQiPan, this);
    boardView->qipan->onClick = [this](jq::ImageControl&) { qipanClick(); };
    // A move in a LAN battle goes to the host; it is carried out when the
    // host relays it back.
    boardView->sendMoveQz = [this] { jq::net::SendNetMessage(*game_, "MoveQz", game_->myNetSeat); };
    boardView->updatePlayButtons = [this] { jq::net::UpdatePlayButtons(*game_); };
    // A right click on the board picture opens the popup menu.
    boardView->qipan->installEventFilter(this);
    for (jq::ImageControl* arrow : boardView->pathArrowImages) arrow->installEventFilter(this);
    // The controls laid on the board panel stay above the board picture.
    for (QWidget* w : boardPanelControls_) w->raise();
}

void TqsForm::DrawLightFrame(int frame) {
    const QImage& strip = alllightimage->Picture();
    const QRect source(kTurnLightSize * frame, 0, kTurnLightSize, kTurnLightSize);
    if (strip.isNull() || !strip.rect().contains(source)) return;
    light1->CopyRect(QRect(0, 0, kTurnLightSize, kTurnLightSize), *alllightimage, source);
}
