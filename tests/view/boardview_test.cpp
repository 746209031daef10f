#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>

#include "core/text.h"
#include "platform/toolkit.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "view/deployment.h"
#include "view/face.h"
#include "view/ui/boardview.h"

namespace jq {
namespace {

using test::PieceOf;

// The window's part: board requests go to the board view.
class BoardUi : public test::RecordingUi {
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

class BoardViewTest : public ::testing::Test {
protected:
    // The board view on the shipped pictures, with stand-ins for the
    // window's controls.
    void SetUp() override {
        g.ui = &ui;
        g.optionsRecord.soundOn = 1;
        view = std::make_unique<BoardView>(g, &panel, nullptr, QStringLiteral(JQ_SOURCE_DIR "/assets/images"));
        ui.view = view.get();
        auto b = [this] { return new QPushButton(&panel); };
        auto w = [this] { return new QLabel(&panel); };
        auto l = [this](int s) { return new QLabel(QStringLiteral("位置%1").arg(s), &panel); };
        view->controls = {b(), b(), b(), b(), w(), w(), w(), b(), b(), b(), b(), b(), l(1), l(2), l(3), l(4)};
    }
    void TearDown() override { standardBoxShownHook = nullptr; }

    // Lays out a battle on the screen, as the battle set-up does.
    void LayOut() {
        test::LayOutBattle(g);
        for (int i = 0; i < kPieceCount; ++i) view->PlacePieceAt(i, g.pieces[i].x, g.pieces[i].y);
        view->RedrawPieces();
    }
    QImage Shown(int piece) const { return view->pieceImages[piece]->Picture().convertToFormat(QImage::Format_RGB32); }
    QImage Cell(const SpriteCell& c) const {
        return view->Sheet(c.sheet).copy(c.left, c.top, c.width, c.height).convertToFormat(QImage::Format_RGB32);
    }
    int HiddenDeployControls() const {
        const BoardView::Controls& c = view->controls;
        return c.btnChangeQz->isHidden() + c.btnSaveZf->isHidden() + c.btnLoadZf->isHidden() +
               c.btnOtherKbt->isHidden() + c.Shape1->isHidden() + c.Shape2->isHidden() + c.Label20->isHidden();
    }
    static PointerEvent At(int x, int y, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        return {x, y, Qt::LeftButton, Qt::LeftButton, mods};
    }
    void PressPiece(int piece) { view->PieceMouseDown(*view->pieceImages[piece], At(4, 4)); }

    QWidget panel;
    GameState g;
    BoardUi ui;
    std::unique_ptr<BoardView> view;
};

TEST_F(BoardViewTest, MissingPicturesGetStandIns) {
    QWidget other;
    GameState g2;
    test::RecordingUi quiet;
    g2.ui = &quiet;
    QTemporaryDir empty;
    BoardView bare(g2, &other, nullptr, empty.path());
    test::LayOutBattle(g2);
    bare.RedrawPieces();
    EXPECT_EQ(bare.pieceImages[30]->Picture().size(), QSize(22, 28));
    bare.ShowArrow(1, 0, 3);
    EXPECT_FALSE(bare.pathArrowImages[1]->isHidden());
}

// Every image shows the face rule's cell and stands on its piece's point,
// also after the view turned (a taken piece stays hidden).
TEST_F(BoardViewTest, RedrawAndRotationShowEachPieceByTheFaceRule) {
    LayOut();
    for (int i = 0; i < kPieceCount; ++i) EXPECT_EQ(Shown(i), Cell(RuleCell(g, i))) << i;
    g.pieces[30].alive = 0;
    view->SetPieceVisible(30, false);
    view->bRotateClick();
    EXPECT_TRUE(view->pieceImages[5]->isHidden());
    EXPECT_FALSE(view->pieceImages[30]->isHidden());
    for (int i = 0; i < kPieceCount; ++i) {
        const ImagePlace p = PieceImagePlace(*g.board, i, SeatOf(i) * 30 + i % 25);
        EXPECT_EQ(view->pieceImages[i]->pos(), QPoint(p.left, p.top)) << i;
        EXPECT_EQ(Shown(i), Cell(RuleCell(g, i))) << i;
    }
    EXPECT_EQ(view->controls.Label1->text(), QStringLiteral("位置2"));
    EXPECT_EQ(view->controls.Label4->text(), QStringLiteral("位置1"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BoardViewTest, FallenCommanderTurnsTheFlagOver) {
    LayOut();
    const QImage hidden = Shown(PieceOf(1, 21));
    g.pieces[PieceOf(1, 15)].alive = 0;
    view->RedrawPieces();
    EXPECT_EQ(Shown(PieceOf(1, 21)), Cell(SheetCell(1, 1, kFlag, true)));
    view->ConcealFlag(PieceOf(1, 3));
    EXPECT_EQ(Shown(PieceOf(1, 21)), hidden);
    g.pieces[PieceOf(2, 21)].code = kEngineer;  // a laid-out seat without a flag
    view->RevealFlag(PieceOf(2, 0));
    EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("敌人的军棋不见了？！      ")});
}

TEST_F(BoardViewTest, ImagesStayOffThePointlessGridAndArrowsShowTheirCell) {
    view->PlacePieceAt(0, 18, 17);
    const QPoint before = view->pieceImages[0]->pos();
    view->PlacePieceAt(0, 12, 12);  // no point there: told, the image stays
    EXPECT_EQ(view->pieceImages[0]->pos(), before);
    EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("该位置不存在！      ")});

    view->ShowArrow(3, 126, 2);
    const BoardPoint& c = g.board->boardPoints[126];
    EXPECT_EQ(view->pathArrowImages[3]->pos(), QPoint(c.pixelX - 12, c.pixelY - 12));
    EXPECT_EQ(view->pathArrowImages[3]->Picture().convertToFormat(QImage::Format_RGB32),
              view->alljiantouimage.copy(48, 0, 24, 24).convertToFormat(QImage::Format_RGB32));
    view->ShowArrow(4, -1, 2);  // no point, no direction, no arrow: nothing shown
    view->ShowArrow(5, 126, 12);
    view->ShowArrow(30, 126, 1);
    EXPECT_TRUE(view->pathArrowImages[4]->isHidden() && view->pathArrowImages[5]->isHidden());
    view->HideArrows();
    EXPECT_TRUE(view->pathArrowImages[3]->isHidden());
}

// Outside the deployment "完毕" only opens adjust mode; there it shows a
// broken rule and stays; once the rules hold it ends the deployment,
// keeping it before other handlers run.
TEST_F(BoardViewTest, DoneShowsABrokenRuleThenEndsTheDeploymentBeforeOtherHandlersRun) {
    LayOut();
    view->btnChangeQzClick();
    SwapDeployedPieces(g, PieceOf(0, 16), PieceOf(0, 14));  // a mine one row too far forward
    QStringList boxes;
    standardBoxShownHook = [&](QMessageBox& box) {
        boxes << box.windowTitle() + "|" + box.text();
        box.buttons().at(0)->click();
    };
    view->btnChangeQzClick();
    EXPECT_EQ(boxes, QStringList{QStringLiteral("错误|地雷要放在最后两排！")});
    EXPECT_EQ(g.deployPhase, 1);
    EXPECT_EQ(HiddenDeployControls(), 0);
    EXPECT_TRUE(ui.sounds.empty());

    SwapDeployedPieces(g, PieceOf(0, 16), PieceOf(0, 14));
    PressPiece(3);
    g.deployedPieces = PieceTable{};
    bool keptBeforePump = false;
    ui.onPump = [&] {
        keptBeforePump = std::memcmp(&g.deployedPieces, &g.pieces, sizeof g.pieces) == 0 &&
                         g.seatNames[3] == Gb("位置4");
    };
    view->btnChangeQzClick();
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.deployPhase, 0);
    EXPECT_EQ(HiddenDeployControls(), 7);
    EXPECT_TRUE(keptBeforePump);
    EXPECT_EQ(ui.sounds, (std::vector<std::string>{"select.wav", "ok.wav"}));
    EXPECT_EQ(ui.slept, 800);
}

// A LAN host with a computer seat not yet dealt only loses the selection;
// once dealt, the deployment is handed over, not taken here.
TEST_F(BoardViewTest, DoneForAWaitingHostAndInALanBattle) {
    LayOut();
    g.deployPhase = g.netConnected = g.isNetHost = 1;
    g.seatTable[0] = SeatRec{.state = 1, .deployed = 2};
    PressPiece(2);
    view->btnChangeQzClick();
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.netState, 0);
    for (SeatRec& s : g.seatTable) s.deployed = 2;
    g.deployedPieces = PieceTable{};
    int updates = 0;
    view->updatePlayButtons = [&] { updates += g.netState == 23; };
    view->btnChangeQzClick();
    EXPECT_EQ(g.deployPhase, 0);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(g.deployedPieces[0].code, 0);  // taken when all deployments are in
}

// A press on an arrow acts on the board below it; a move in a LAN battle
// goes to the send hook; a press with a key held asks for ten replay steps.
TEST_F(BoardViewTest, PressesOnArrowsAndTheBoardReachTheInputRules) {
    LayOut();
    g.netConnected = g.seatTable[0].state = 1;
    int sent = 0;
    view->sendMoveQz = [&] { sent += g.netMoveRecord.mover == 0; };
    PressPiece(0);
    const BoardPoint& p = g.board->boardPoints[126];  // (18, 18)
    view->qipanMouseDown(*view->qipan, At(p.pixelX - 2, p.pixelY - 2));
    EXPECT_EQ(sent, 1);
    g.netConnected = 0;
    PressPiece(0);
    ImageControl& arrow = *view->pathArrowImages[7];
    arrow.move(p.pixelX - 12, p.pixelY - 12);
    view->ArrowImageMouseDown(arrow, At(10, 10));
    EXPECT_EQ((GridPoint{g.pieces[0].x, g.pieces[0].y}), (GridPoint{18, 18}));
    EXPECT_EQ(view->pieceImages[0]->pos(), QPoint(p.pixelX - 14, p.pixelY - 11));
    EXPECT_FALSE(view->controls.btnNextStep->isEnabled());
    EXPECT_FALSE(view->pathArrowImages[1]->isHidden());  // the move's own arrow
    g.battleRunning = 0;
    g.replayFileName = "x.kbt";
    view->qipanMouseDown(*view->qipan, At(3, 3, Qt::ShiftModifier));
    EXPECT_EQ(g.clickStepCount, 10);
}

}  // namespace
}  // namespace jq
