#include "view/ui/boardview.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstring>

#include "core/text.h"
#include "platform/toolkit.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "view/deployment.h"
#include "view/face.h"
#include "view/rotation.h"

namespace jq {
namespace {

using test::PieceOf;

using test::RecordingUi;

class RotationTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.ShowEverything();
        test::LayOutBattle(g);
        for (int s = 0; s < 4; ++s) ui.labels[s] = Gb("位置") + std::to_string(s + 1);
    }
    GameState g;
    RecordingUi ui;
};

// Anchors of the sheet layouts: the mirrored seats, the back, and codes without a face.
TEST(SheetCellTest, CellsOfTheFourSheets) {
    const struct {
        int seat, variant, code;
        bool faceUp;
        int left, top;
    } rows[] = {
        {0, 3, 12, true, 84, 264}, {2, 0, 9, false, 0, 0}, {1, 3, 12, true, 264, 84},
        {1, 2, 7, false, 0, 56},   {3, 0, 12, true, 0, 0}, {3, 2, 12, false, 264, 56},
        {3, 0, 13, true, 264, 0},  {0, 1, 0, true, 28, 0},  // codes without a face show the back
    };
    for (const auto& r : rows) {
        EXPECT_EQ(SheetCell(r.seat, r.variant, r.code, r.faceUp),
                  (SpriteCell{r.seat, r.left, r.top, PieceImageWidth(r.seat), PieceImageHeight(r.seat),
                              r.faceUp && r.code >= 1 && r.code <= 12}))
            << r.seat << " v" << r.variant << " code " << r.code;
    }
    EXPECT_EQ(ColourVariant(6, 2), 0);
    EXPECT_EQ(ColourVariant(2147483647, 1), 0);  // no overflow when the turns are many
    EXPECT_EQ(ColourVariant(-1, 0), 3);
}

// Which seats show face up, and the revealed flag of every seat in every viewing mode: the face the
// rule does not give, in the seat's own colour; concealed, the rule's picture.
TEST_F(RotationTest, FaceRuleAndRevealedFlagPerSeatAndMode) {
    const struct {
        int viewOther, net, myNetSeat;
        bool up[4];
    } modes[] = {
        {0, 0, 0, {true, false, false, false}}, {1, 0, 0, {true, true, true, true}},
        {1, 1, 0, {true, false, true, false}},  // LAN: the partner only
        {0, 1, 2, {true, false, false, false}}, {1, 0, 5, {true, true, true, true}},
    };
    for (const auto& m : modes) {
        g.viewOtherFormations = m.viewOther;
        g.netConnected = m.net;
        g.myNetSeat = m.myNetSeat;
        for (int s = 0; s < 4; ++s) {
            SCOPED_TRACE(::testing::Message() << "seat " << s << " view " << m.viewOther << " net " << m.net
                                              << " turns " << m.myNetSeat);
            EXPECT_EQ(FaceUpByRule(g, s), m.up[s]);
            EXPECT_EQ(RuleCell(g, PieceOf(s, 15)).faceUp, m.up[s]);
            const int variant = (m.myNetSeat + s) % 4;
            const FlagDrawing shown = FlagCell(g, PieceOf(s, 7), true);
            ASSERT_EQ(shown.turn, FlagTurn::kDraw);
            EXPECT_EQ(shown.piece, PieceOf(s, 21));
            EXPECT_EQ(shown.cell, SheetCell(s, variant, kFlag, !m.up[s]));
            const FlagDrawing back = FlagCell(g, PieceOf(s, 24), false);
            EXPECT_EQ(back.cell, SheetCell(s, variant, kFlag, m.up[s]));
            EXPECT_EQ(back.cell, RuleCell(g, PieceOf(s, 21)));
        }
    }
}

TEST_F(RotationTest, FirstFlagOfASeatIsTurnedAndAMissingOneReportedOnlyWhenLaidOut) {
    g.pieces[PieceOf(2, 3)].code = kFlag;  // a second flag, at a lower index
    g.pieces[PieceOf(2, 3)].alive = 0;     // dead or alive alike
    EXPECT_EQ(FlagCell(g, PieceOf(2, 21), true).piece, PieceOf(2, 3));
    g.pieces[PieceOf(3, 21)].code = kEngineer;
    EXPECT_EQ(FlagCell(g, PieceOf(3, 0), true).turn, FlagTurn::kNoFlag);
    for (int k = 0; k < 25; ++k) g.pieces[PieceOf(3, k)].code = 0;
    for (int p : {PieceOf(3, 0), -2, 100}) EXPECT_EQ(FlagCell(g, p, true).turn, FlagTurn::kSkip) << p;
}

TEST_F(RotationTest, OneTurnPassesEverySeatDown) {
    g.pieces[PieceOf(1, 0)].beliefs[1][3] = 42.0f;  // seat 1's view of its own piece
    g.pieces[PieceOf(1, 4)].alive = 0;
    ui.visible[PieceOf(1, 4)] = false;
    g.selectedPiece = 3;
    ui.visible[3] = false;  // caught by the blink
    g.moveHistory[0] = MoveRec{23, 18, 24, 18};
    g.moveHistory[1] = MoveRec{255, 255, 255, 255};
    g.eliminatedPieces[1][0] = 30;
    g.eliminatedPieces[0][0] = 10;
    g.curSeat = 0;
    RotateView(g);
    // Seat 1's slot 0 on (23, 18) becomes index 0 on (18, 17), and observes as seat 0.
    EXPECT_EQ((GridPoint{g.pieces[0].startX, g.pieces[0].startY}), (GridPoint{18, 17}));
    EXPECT_EQ(g.pieces[0].beliefs[0][3], 42.0f);
    // The selection ends shown; a taken piece stays hidden under its new number.
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_TRUE(ui.visible[3 + 75]);
    EXPECT_FALSE(ui.visible[PieceOf(0, 4)]);
    const MoveRec& m = g.moveHistory[0];
    EXPECT_EQ((std::array{m.fromX, m.fromY, m.toX, m.toY, g.moveHistory[1].fromX}),
              (std::array{18, 17, 18, 16, 255}));
    EXPECT_EQ((std::array{g.eliminatedPieces[0][0], g.eliminatedPieces[3][0], g.eliminatedPieces[1][0]}),
              (std::array<int8_t, 3>{5, 85, kNoPiece}));
    EXPECT_EQ((std::array{ui.labels[0], ui.labels[3], g.seatNames[0]}),
              (std::array{Gb("位置2"), Gb("位置1"), Gb("位置2")}));
    EXPECT_EQ((std::array{g.curSeat, g.myNetSeat}), (std::array{3, 1}));
    EXPECT_EQ(std::memcmp(&g.deployedPieces, &g.pieces, sizeof g.pieces), 0);
}

TEST_F(RotationTest, StepRecordsTurn) {
    const StepRec before[] = {
        {30, 57, 23, 18, 24, 18, 1},     {-2, -2, 22, 22, 22, 22, 0},  // a surrender: the seat turns
        {-2, -2, 255, 255, 255, 255, 2}, {10, -2, 18, 17, 18, 18, 1},
        {12, 34, 0, 5, 6, 7, 8},     // empty: fromX 0
        {5, 60, 22, 22, 22, 23, 0},  // from the centre: an ordinary move
    };
    const StepRec after[] = {{5, 32, 18, 17, 18, 16, 1},      {-2, -2, 22, 22, 22, 22, 3},
                             {-2, -2, 255, 255, 255, 255, 1}, {85, -2, 17, 22, 18, 22, 1},
                             {12, 34, 0, 5, 6, 7, 8},         {80, 35, 22, 18, 23, 18, 0}};
    std::copy(std::begin(before), std::end(before), g.stepRecords);
    RotateStepRecords(g);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(g.stepRecords[k], after[k]) << k;
}

TEST_F(RotationTest, FourTurnsComeBackToTheStart) {
    g.pieces[PieceOf(2, 5)].x = 20;  // a piece that moved into the centre
    g.pieces[PieceOf(2, 5)].y = 20;
    g.pieces[PieceOf(3, 7)].alive = 0;
    g.pieces[PieceOf(1, 1)].beliefs[2][4] = 13.0f;
    g.stepRecords[0] = StepRec{30, 57, 23, 18, 24, 18, 1};
    g.stepRecords[1] = StepRec{-2, -2, 22, 22, 22, 22, 2};
    g.moveHistory[0] = MoveRec{23, 18, 24, 18};
    g.eliminatedPieces[2][0] = 55;
    g.curSeat = 1;
    g.myNetSeat = 2;
    const GameState before = g;
    const RecordingUi was = ui;
    for (int t = 0; t < 4; ++t) RotateView(g);
    EXPECT_EQ(std::memcmp(&g.pieces, &before.pieces, sizeof g.pieces), 0);
    EXPECT_EQ(std::memcmp(g.stepRecords, before.stepRecords, sizeof g.stepRecords), 0);
    EXPECT_EQ(std::memcmp(g.moveHistory, before.moveHistory, sizeof g.moveHistory), 0);
    EXPECT_EQ(std::memcmp(g.eliminatedPieces, before.eliminatedPieces, sizeof g.eliminatedPieces), 0);
    EXPECT_EQ(g.curSeat, 1);
    EXPECT_EQ(g.myNetSeat, 6);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(ui.labels[s], was.labels[s]);
}

TEST_F(RotationTest, UnplacedPiecesTurnWithoutComplaintAndTheViewSwitchToggles) {
    GameState fresh;
    RecordingUi quiet;
    fresh.ui = &quiet;
    for (int t = 0; t < 4; ++t) RotateView(fresh);
    EXPECT_TRUE(quiet.messages.empty());
    EXPECT_TRUE(quiet.placed.empty());
    EXPECT_EQ((GridPoint{fresh.pieces[0].x, fresh.pieces[0].y}), (GridPoint{0, 0}));

    EXPECT_EQ(ToggleViewOtherFormations(g), Gb("不看棋了"));
    EXPECT_EQ(g.viewOtherFormations, 1);
    EXPECT_EQ(ToggleViewOtherFormations(g), Gb("看别人棋"));
    EXPECT_EQ(g.viewOtherFormations, 0);
    EXPECT_EQ(ui.redraws, 2);
}

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
    // The board view on the shipped pictures, with stand-ins for the window's controls.
    void SetUp() override {
        g.ui = &ui;
        g.optionsRecord.soundOn = 1;
        view =
            std::make_unique<BoardView>(g, &panel, nullptr, QStringLiteral(JQ_SOURCE_DIR "/assets/images"));
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
    QImage Shown(int piece) const {
        return view->pieceImages[piece]->Picture().convertToFormat(QImage::Format_RGB32);
    }
    QImage Cell(const SpriteCell& c) const {
        return view->Sheet(c.sheet)
            .copy(c.left, c.top, c.width, c.height)
            .convertToFormat(QImage::Format_RGB32);
    }
    int HiddenDeployControls() const {
        const BoardView::Controls& c = view->controls;
        return c.btnChangeQz->isHidden() + c.btnSaveZf->isHidden() + c.btnLoadZf->isHidden() +
               c.btnOtherKbt->isHidden() + c.Shape1->isHidden() + c.Shape2->isHidden() +
               c.Label20->isHidden();
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

// The board picture: the chosen tile repeated from the top-left corner, the line picture laid over
// it but for its key colour, so its last row and column (the lines are a pixel short) show the tile.
// A background out of range draws tile 0 and is kept as 0.
TEST_F(BoardViewTest, BackgroundTileUnderTheLines) {
    const QString images = QStringLiteral(JQ_SOURCE_DIR "/assets/images/");
    const QImage lines = QImage(images + "gezi.png").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(lines.size(), QSize(524, 524));
    const QRgb key = lines.pixel(5, 5);
    auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
               std::abs(qBlue(a) - qBlue(b)) <= 2;
    };
    for (auto [chosen, used] : {std::pair{7, 7}, {12, 0}, {-1, 0}}) {
        g.optionsRecord.boardBackground = chosen;
        view->ApplyBoardBackground();
        EXPECT_EQ(g.optionsRecord.boardBackground, used);
        const QImage tile = QImage(images + QStringLiteral("bg%1.png").arg(used)).convertToFormat(QImage::Format_RGB32);
        const QImage board = view->qipan->Picture().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(board.size(), QSize(525, 525));
        int wrong = 0, onLines = 0;
        for (int y = 0; y < 525; ++y)
            for (int x = 0; x < 525; ++x) {
                const bool line = x < 524 && y < 524 && lines.pixel(x, y) != key;
                onLines += line;
                wrong += !near(board.pixel(x, y), line ? lines.pixel(x, y) : tile.pixel(x % 16, y % 16));
            }
        EXPECT_EQ(wrong, 0) << "background " << chosen;
        EXPECT_GT(onLines, 10000);
    }
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

// Outside the deployment "完毕" only opens adjust mode; there it shows a broken rule and stays; once
// the rules hold it ends the deployment, keeping it before other handlers run.
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
        keptBeforePump =
            std::memcmp(&g.deployedPieces, &g.pieces, sizeof g.pieces) == 0 && g.seatNames[3] == Gb("位置4");
    };
    view->btnChangeQzClick();
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.deployPhase, 0);
    EXPECT_EQ(HiddenDeployControls(), 7);
    EXPECT_TRUE(keptBeforePump);
    EXPECT_EQ(ui.sounds, (std::vector<std::string>{"select.wav", "ok.wav"}));
    EXPECT_EQ(ui.slept, 800);
}

// "完毕" takes no own deployment that is not one whole army, whatever put it
// there, and says so before any rule about places.
TEST_F(BoardViewTest, DoneRefusesAnOwnArmyThatIsNotWhole) {
    const struct {
        const char* what;
        int slot, code;  // own slot `slot` becomes `code`; slot -1: every slot
    } rows[] = {{"second commander", 13, kCommander}, {"all flags", -1, kFlag}, {"a bomb short", 19, kEngineer},
                {"a missing piece", 7, kCodeNone}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        LayOut();
        g.deployPhase = 1;
        for (int k = 0; k < 25; ++k)
            if (r.slot == -1 || k == r.slot) g.pieces[PieceOf(0, k)].code = r.code;
        QStringList boxes;
        standardBoxShownHook = [&](QMessageBox& box) {
            boxes << box.windowTitle() + "|" + box.text();
            box.buttons().at(0)->click();
        };
        ui.sounds.clear();
        view->btnChangeQzClick();
        EXPECT_EQ(boxes, QStringList{QStringLiteral("错误|阵法中的棋子不是完整的一套，请换一个阵法！")});
        EXPECT_EQ(g.deployPhase, 1);
        EXPECT_EQ(HiddenDeployControls(), 0);
        EXPECT_TRUE(ui.sounds.empty());
    }
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
