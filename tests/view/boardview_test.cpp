#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>

#include "core/text.h"
#include "platform/toolkit.h"
#include "view/face.h"
#include "view/deployment.h"
#include "view/ui/boardview.h"
#include "view_support.h"

namespace jq {
namespace {

using testing::LayOutBattle;
using testing::PieceOf;

// The window's part: board requests go to the board view.
class BoardUi : public testing::RecordingUi {
public:
    BoardView* view = nullptr;
    void PlacePiece(int p) override { view->PlacePiece(p); }
    void SetPieceVisible(int p, bool v) override { view->SetPieceVisible(p, v); }
    bool PieceVisible(int p) override { return view->PieceVisible(p); }
    void RevealFlag(int p) override { view->RevealFlag(p); }
    void ConcealFlag(int p) override { view->ConcealFlag(p); }
    void RedrawPieces() override { view->RedrawPieces(); }
    void HideArrows() override { view->HideArrows(); }
    void ShowArrow(int i, int j, int d) override { view->ShowArrow(i, j, d); }
    void SwapPiecePictures(int a, int b) override { view->SwapPiecePictures(a, b); }
    std::string SeatLabel(int s) override { return view->SeatLabel(s); }
    void SetSeatLabel(int s, const std::string& t) override { view->SetSeatLabel(s, t); }
};

// Pictures in which every cell has a colour of its own.
void WritePictures(const QString& dir) {
    for (int seat = 0; seat < 4; ++seat) {
        const bool turned = seat & 1;
        QImage sheet(turned ? 286 : 112, turned ? 112 : 286, QImage::Format_RGB32);
        const int cw = turned ? 22 : 28;
        const int ch = turned ? 28 : 22;
        for (int y = 0; y < sheet.height(); ++y)
            for (int x = 0; x < sheet.width(); ++x)
                sheet.setPixel(x, y, qRgb(60 * seat + 10, (x / cw) * 18 + 5, (y / ch) * 18 + 5));
        ASSERT_TRUE(sheet.save(dir + QString("/allqzimage%1.png").arg(seat)));
    }
    QImage arrows(240, 24, QImage::Format_RGB32);
    for (int x = 0; x < 240; ++x)
        for (int y = 0; y < 24; ++y) arrows.setPixel(x, y, qRgb(200, (x / 24) * 20, y == 23 ? 0 : 50));
    ASSERT_TRUE(arrows.save(dir + "/alljiantouimage.png"));
}

class BoardViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        WritePictures(dir.path());
        panel.resize(529, 528);
        g.ui = &ui;
        g.optionsRecord.soundOn = 1;
        view = std::make_unique<BoardView>(g, &panel, nullptr, dir.path());
        ui.view = view.get();
        WireControls();
    }
    void TearDown() override { standardBoxShownHook = nullptr; }

    void WireControls() {
        BoardView::Controls& c = view->controls;
        c.btnChangeQz = new QPushButton(QStringLiteral("完毕"), &panel);
        c.btnSaveZf = new QPushButton(&panel);
        c.btnLoadZf = new QPushButton(&panel);
        c.btnOtherKbt = new QPushButton(&panel);
        c.Shape1 = new QWidget(&panel);
        c.Shape2 = new QWidget(&panel);
        c.Label20 = new QLabel(&panel);
        c.btnNextStep = new QPushButton(&panel);
        c.btnsavefile = new QPushButton(&panel);
        c.btnViewOtherQz = new QPushButton(QStringLiteral("看别人棋"), &panel);
        c.rbtDps = new QRadioButton(&panel);
        c.rbtPractice = new QRadioButton(&panel);
        c.Label1 = new QLabel(QStringLiteral("位置1"), &panel);
        c.Label2 = new QLabel(QStringLiteral("位置2"), &panel);
        c.Label3 = new QLabel(QStringLiteral("位置3"), &panel);
        c.Label4 = new QLabel(QStringLiteral("位置4"), &panel);
        c.Timer1 = new QTimer(&panel);
        c.Timer1->setInterval(10000);
    }

    // Lays out a battle on the screen, as the battle set-up does.
    void LayOut() {
        LayOutBattle(g);
        for (int i = 0; i < kPieceCount; ++i) view->PlacePieceAt(i, g.pieces[i].x, g.pieces[i].y);
        view->RedrawPieces();
    }
    QRgb ShownColour(int piece) const { return view->pieceImages[piece]->Pixel(3, 3); }
    QRgb CellColour(const SpriteCell& c) const { return view->Sheet(c.sheet).pixel(c.left + 3, c.top + 3); }
    std::vector<QWidget*> DeployControls() const {
        const BoardView::Controls& c = view->controls;
        return {c.btnChangeQz, c.btnSaveZf, c.btnLoadZf, c.btnOtherKbt, c.Shape1, c.Shape2, c.Label20};
    }
    PointerEvent At(int x, int y, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        PointerEvent e;
        e.x = x;
        e.y = y;
        e.button = Qt::LeftButton;
        e.modifiers = mods;
        return e;
    }
    void PressPiece(int piece) { view->PieceMouseDown(*view->pieceImages[piece], At(4, 4)); }

    QTemporaryDir dir;
    QWidget panel;
    GameState g;
    BoardUi ui;
    std::unique_ptr<BoardView> view;
};

TEST_F(BoardViewTest, MissingPicturesGetStandIns) {
    QWidget other;
    GameState g2;
    testing::RecordingUi quiet;
    g2.ui = &quiet;
    BoardView bare(g2, &other, nullptr, dir.path() + "/nowhere");
    LayOutBattle(g2);
    bare.RedrawPieces();
    EXPECT_EQ(bare.pieceImages[30]->Picture().size(), QSize(22, 28));
    bare.ShowArrow(1, 0, 3);
    EXPECT_FALSE(bare.pathArrowImages[1]->isHidden());
}

TEST_F(BoardViewTest, RedrawShowsEachPieceByTheFaceRule) {
    LayOut();
    for (int i = 0; i < kPieceCount; ++i) EXPECT_EQ(ShownColour(i), CellColour(RuleCell(g, i))) << i;
    g.myNetSeat = 3;
    g.viewOtherFormations = 1;
    view->RedrawPieces();
    for (int i = 0; i < kPieceCount; ++i) EXPECT_EQ(ShownColour(i), CellColour(RuleCell(g, i))) << i;
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BoardViewTest, FallenCommanderTurnsTheFlagOver) {
    view->RedrawPieces();  // nothing laid out: no seat has a commander or a flag, and no box
    EXPECT_TRUE(ui.messages.empty());
    LayOut();
    const int flag1 = PieceOf(1, 21);
    const QRgb hidden = ShownColour(flag1);
    g.pieces[PieceOf(1, 16)].alive = 0;
    view->RedrawPieces();
    EXPECT_EQ(ShownColour(flag1), CellColour(SheetCell(1, 1, kFlag, true)));
    view->ConcealFlag(PieceOf(1, 3));
    EXPECT_EQ(ShownColour(flag1), hidden);
    // The own flag shows its back; DrawOwnPieces shows it face up again.
    g.pieces[PieceOf(0, 16)].alive = 0;
    view->RedrawPieces();
    EXPECT_EQ(ShownColour(PieceOf(0, 21)), CellColour(SheetCell(0, 0, kFlag, false)));
    view->DrawOwnPieces();
    EXPECT_EQ(ShownColour(PieceOf(0, 21)), CellColour(SheetCell(0, 0, kFlag, true)));
    g.pieces[PieceOf(2, 21)].code = kEngineer;  // a laid-out seat without a flag
    view->RevealFlag(PieceOf(2, 0));
    EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("敌人的军棋不见了？！      ")});
}

TEST_F(BoardViewTest, PlacePieceAtCentresTheImageOnlyOnAPoint) {
    view->PlacePieceAt(25, 18, 17);  // a seat-1 image on a seat-0 point keeps its shape
    const BoardPoint& p = g.board->boardPoints[0];
    EXPECT_EQ(view->pieceImages[25]->pos(), QPoint(p.pixelX - 11, p.pixelY - 14));
    view->PlacePieceAt(0, 18, 17);
    const QPoint before = view->pieceImages[0]->pos();
    EXPECT_EQ(before, QPoint(p.pixelX - 14, p.pixelY - 11));
    view->PlacePieceAt(0, 12, 12);
    EXPECT_EQ(view->pieceImages[0]->pos(), before);
    view->PlacePieceAt(-2, 18, 17);
    view->PlacePieceAt(100, 18, 17);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(BoardViewTest, ArrowsShowTheirCellOnTheirPoint) {
    view->ShowArrow(3, 126, 2);
    ImageControl* a = view->pathArrowImages[3];
    const BoardPoint& p = g.board->boardPoints[126];
    EXPECT_FALSE(a->isHidden());
    EXPECT_EQ(a->pos(), QPoint(p.pixelX - 12, p.pixelY - 12));
    EXPECT_EQ(a->Pixel(5, 5), view->alljiantouimage.pixel(48 + 5, 5));
    view->ShowArrow(4, -1, 2);
    view->ShowArrow(5, 126, 12);
    view->ShowArrow(30, 126, 1);
    EXPECT_TRUE(view->pathArrowImages[4]->isHidden());
    EXPECT_TRUE(view->pathArrowImages[5]->isHidden());
    view->HideArrows();
    EXPECT_TRUE(a->isHidden());
}

TEST_F(BoardViewTest, DeploymentExchangeSwapsPicturesAndCodes) {
    LayOut();
    g.deployPhase = 1;
    const QRgb flagFace = ShownColour(PieceOf(0, 21));
    const QRgb frontFace = ShownColour(PieceOf(0, 0));
    PressPiece(PieceOf(0, 21));
    EXPECT_EQ(g.selectedPiece, PieceOf(0, 21));
    PressPiece(PieceOf(0, 0));
    EXPECT_EQ(ShownColour(PieceOf(0, 21)), frontFace);
    EXPECT_EQ(ShownColour(PieceOf(0, 0)), flagFace);
    EXPECT_EQ(g.pieces[0].code, kFlag);
    EXPECT_FALSE(view->controls.btnNextStep->isEnabled());
    EXPECT_TRUE(view->controls.btnsavefile->isEnabled());
    // Each image stays on its point.
    const BoardPoint& p = g.board->boardPoints[0];
    EXPECT_EQ(view->pieceImages[0]->pos(), QPoint(p.pixelX - 14, p.pixelY - 11));
}

TEST_F(BoardViewTest, DoneShowsABrokenRuleThenEndsTheDeploymentBeforeOtherHandlersRun) {
    LayOut();
    g.deployPhase = 1;
    SwapDeployedPieces(g, PieceOf(0, 15), PieceOf(0, 14));  // a mine one row too far forward
    QStringList boxes;
    standardBoxShownHook = [&](QMessageBox& box) {
        boxes << box.windowTitle() + "|" + box.text();
        box.buttons().at(0)->click();
    };
    view->btnChangeQzClick();
    EXPECT_EQ(boxes, QStringList{QStringLiteral("错误|地雷要放在最后两排！")});
    EXPECT_EQ(g.deployPhase, 1);
    for (QWidget* w : DeployControls()) EXPECT_FALSE(w->isHidden());
    EXPECT_TRUE(ui.sounds.empty());

    SwapDeployedPieces(g, PieceOf(0, 15), PieceOf(0, 14));
    PressPiece(3);
    bool keptBeforePump = false;
    ui.onPump = [&] {
        keptBeforePump = std::memcmp(&g.deployedPieces, &g.pieces, sizeof g.pieces) == 0 &&
                         g.seatNames[3] == Gb("位置4");
    };
    view->btnChangeQzClick();
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.deployPhase, 0);
    for (QWidget* w : DeployControls()) EXPECT_TRUE(w->isHidden());
    EXPECT_EQ(ui.pumps, 1);
    EXPECT_TRUE(keptBeforePump);
    EXPECT_EQ(ui.sounds, (std::vector<std::string>{"select.wav", "ok.wav"}));
    EXPECT_EQ(ui.slept, 800);
}

TEST_F(BoardViewTest, DoneOutsideTheDeploymentForAWaitingHostAndInALanBattle) {
    LayOut();
    // Not deploying: the click only opens adjust mode, nothing is shown.
    for (QWidget* w : DeployControls()) w->hide();
    view->btnChangeQzClick();
    EXPECT_EQ(g.deployPhase, 1);
    for (QWidget* w : DeployControls()) EXPECT_TRUE(w->isHidden());
    EXPECT_TRUE(ui.sounds.empty());

    // A host with a computer seat not yet dealt: the selection goes, nothing else.
    g.netConnected = 1;
    g.isNetHost = 1;
    g.seatTable[0].state = 1;
    g.seatTable[0].deployed = 2;
    g.seatTable[1].state = 0;
    PressPiece(2);
    view->btnChangeQzClick();
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.deployPhase, 1);
    EXPECT_EQ(g.netState, 0);
    // Once that seat is dealt, the deployment is handed over, not taken here.
    for (SeatRec& s : g.seatTable) s.deployed = 2;
    int updates = 0;
    view->updatePlayButtons = [&] {
        EXPECT_EQ(g.netState, 23);
        ++updates;
    };
    view->btnChangeQzClick();
    EXPECT_EQ(g.deployPhase, 0);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(g.deployedPieces[0].code, 0);
    EXPECT_EQ(ui.sounds.back(), "ok.wav");
}

TEST_F(BoardViewTest, RotationMovesImagesVisibilityAndLabels) {
    LayOut();
    g.pieces[30].alive = 0;
    view->SetPieceVisible(30, false);
    view->bRotateClick();
    EXPECT_TRUE(view->pieceImages[5]->isHidden());
    EXPECT_FALSE(view->pieceImages[30]->isHidden());
    for (int i = 0; i < kPieceCount; ++i) {
        const ImagePlace p = PieceImagePlace(*g.board, i, SeatOf(i) * 30 + i % 25);
        EXPECT_EQ(view->pieceImages[i]->pos(), QPoint(p.left, p.top)) << i;
        EXPECT_EQ(ShownColour(i), CellColour(RuleCell(g, i))) << i;
    }
    EXPECT_EQ(view->controls.Label1->text(), QStringLiteral("位置2"));
    EXPECT_EQ(view->controls.Label4->text(), QStringLiteral("位置1"));
    EXPECT_EQ(g.seatNames[0], Gb("位置2"));
    EXPECT_EQ(g.myNetSeat, 1);
}

TEST_F(BoardViewTest, PressOnAnArrowActsOnTheBoardBelow) {
    LayOut();
    g.battleRunning = 1;
    PressPiece(0);
    ASSERT_EQ(g.selectedPiece, 0);
    // An arrow lying over the centre point (18, 18); the press is 10 pixels into it.
    const BoardPoint& p = g.board->boardPoints[126];
    ImageControl& arrow = *view->pathArrowImages[7];
    arrow.move(p.pixelX - 12, p.pixelY - 12);
    view->ArrowImageMouseDown(arrow, At(10, 10));
    EXPECT_EQ(g.pieces[0].x, 18);
    EXPECT_EQ(g.pieces[0].y, 18);
    EXPECT_EQ(view->pieceImages[0]->pos(), QPoint(p.pixelX - 14, p.pixelY - 11));
    EXPECT_FALSE(view->controls.btnNextStep->isEnabled());
    EXPECT_FALSE(view->pathArrowImages[1]->isHidden());  // the move's own arrow
}

TEST_F(BoardViewTest, ModeSwitchSetsComputerSeatsAndAlwaysStartsTheTimer) {
    QTimer* timer = view->controls.Timer1;
    view->controls.btnNextStep->setEnabled(true);
    view->controls.rbtPractice->setChecked(true);
    view->rbtSelectChanged();
    EXPECT_EQ(g.computerSeat[3], 1);
    EXPECT_FALSE(view->controls.btnNextStep->isEnabled());
    EXPECT_TRUE(timer->isActive());
    // Neither switch on: no seat changes, the timer still runs.
    timer->stop();
    view->controls.rbtPractice->setAutoExclusive(false);
    view->controls.rbtPractice->setChecked(false);
    view->rbtSelectChanged();
    EXPECT_EQ(g.computerSeat[3], 1);
    EXPECT_TRUE(timer->isActive());
}

TEST_F(BoardViewTest, BoardPressCarriesModifiersAndLanMovesGoToTheSendHook) {
    LayOut();
    g.battleRunning = 1;
    g.netConnected = 1;
    g.seatTable[0].state = 1;
    int sent = 0;
    view->sendMoveQz = [&] { ++sent; };
    PressPiece(0);
    const BoardPoint& p = g.board->boardPoints[126];
    view->qipanMouseDown(*view->qipan, At(p.pixelX - 2, p.pixelY - 2));
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(g.netMoveRecord.mover, 0);
    EXPECT_EQ(g.pieces[0].y, 17);
    // While a record is open, a press with a key held asks for ten steps.
    g.netConnected = 0;
    g.battleRunning = 0;
    g.replayFileName = "x.kbt";
    view->qipanMouseDown(*view->qipan, At(3, 3, Qt::ShiftModifier));
    EXPECT_EQ(g.clickStepCount, 10);
}

}  // namespace
}  // namespace jq
