// Battles against the computer on the real main window, each command
// clicked once: the model does the rest, the window shows it.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <array>
#include <cstring>
#include <memory>

#include "ai/movegen.h"
#include "app/shresult.h"
#include "app/tqsform.h"
#include "app/winrec.h"
#include "core/options.h"
#include "core/rng.h"
#include "core/ui/myshowmessage.h"
#include "formations/piecestats.h"
#include "platform/toolkit.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "records/battlefile.h"
#include "support/fake_computer.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"
#include "view/ui/boardview.h"

namespace {

using jq::test::LeftClick;
using jq::test::ReadBytes;
using jq::test::WaitFor;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// The computer player as the window sees it: woken by the main timer, it
// hands a legal move (or a surrender) to the main thread as a queued call,
// and counts as busy until that move has been carried out or dropped by a
// stop.
struct ScriptedComputer : jq::test::FakeComputer {
    explicit ScriptedComputer(jq::GameState& g) {
        rng.Seed(7);
        busyAfterResume = true;
        play = [this, &g] {
            const int wake = resumes + stops;
            QMetaObject::invokeMethod(&context, [this, &g, wake] {
                if (idle || wake != resumes + stops) return;  // stopped meanwhile
                const int seat = g.curSeat;
                if (!jq::IsValidSeat(seat) || g.computerSeat[seat] == 0) ++wrongSeat;
                const int n = jq::GenerateMoves(work, g.pieces, seat);
                jq::MoveCand m{.outcome = seat};  // a surrender
                m.fromX = m.fromY = m.toX = m.toY = jq::kSurrenderCoord;
                if (!givesUp[seat] && n > 0) m = work.list[rng.Next() % n];
                jq::ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
                ++moves;
                idle = true;
            }, Qt::QueuedConnection);
        };
    }
    bool givesUp[jq::kSeats] = {};  // seats that give up instead of moving
    int moves = 0;
    int wrongSeat = 0;  // moves asked for a seat the computer does not play
    QObject context;    // a hand-over still queued goes with the player
    jq::MoveGenWork work;
    jq::GameRandom rng;
};

class BattleWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder.path() + "/kbtfiles");
        options.netMinMoveIntervalOption = 0;  // the computer answers at once
        TfmwMyShowMessage::shownHook = [this](TfmwMyShowMessage& box) {
            ownBoxes.push_back(box.StaticText1->text());
            (ownAnswerCancel ? box.BitBtn2 : box.BitBtn1)->click();
        };
        jq::standardBoxShownHook = [this](QMessageBox& box) {
            standardBoxes.push_back(box.windowTitle() + U("|") + box.text());
            if (onStandardBox) onStandardBox();
            box.defaultButton()->click();
        };
    }
    void TearDown() override {
        form.reset();
        TfmwMyShowMessage::shownHook = nullptr;
        jq::standardBoxShownHook = nullptr;
    }

    // The window, with the scripted computer in place of the real one; every
    // result panel is closed by a click and recorded (0 won, 1 lost, 2 drawn).
    void OpenWindow() {
        jq::test::WriteBytes(folder.path() + "/oprec", jq::EncodeOptions(options));
        form = std::make_unique<TqsForm>();
        computer = std::make_unique<ScriptedComputer>(form->game());
        form->game().computer = computer.get();
        form->show();
        QObject::connect(&panelWatch, &QTimer::timeout, [this] {
            for (TfmShowResult* panel : form->findChildren<TfmShowResult*>()) {
                if (!panel->isVisible() || panel->Closed()) continue;
                ResultPanelFrame* frames[3] = {panel->PanelWin, panel->PanelLose, panel->PanelPeace};
                const int shown = !frames[0]->isHidden() ? 0 : !frames[1]->isHidden() ? 1 : 2;
                panelsShown.push_back(shown);
                panel->timer1Tag = std::max(panel->timer1Tag, 50);
                LeftClick(frames[shown]);
            }
        });
        panelWatch.start(20);
    }
    jq::GameState& game() { return form->game(); }
    bool PlayersTurn() { return game().battleRunning != 0 && game().curSeat == 0 && computer->IsIdle(); }
    bool BattleOver() { return game().battleRunning == 0 && !panelsShown.empty(); }
    void PressPieceImage(int piece) { LeftClick(form->boardView->pieceImages[piece]); }

    // Seat 0 makes `count` legal moves with the pointer: a press on the piece,
    // then one on the point or the enemy piece it goes to.
    void PlayerMoves(int count) {
        for (int made = 0; made < count; ++made) {
            ASSERT_TRUE(WaitFor([this] { return PlayersTurn(); }, 20000)) << "seat 0 never got the move";
            const int n = jq::GenerateMoves(moveWork, game().pieces, 0);
            ASSERT_GT(n, 0);
            const jq::MoveCand m = moveWork.list[(made * 7) % n];
            const int before = game().stepCount;
            PressPieceImage(m.mover);
            if (m.target != jq::kNoPiece) {
                PressPieceImage(m.target);
            } else {
                const jq::BoardPoint& p = game().board->boardPoints[jq::PointIndexAt(*game().board, m.toX, m.toY)];
                LeftClick(form->boardView->qipan, QPoint(p.pixelX - 2, p.pixelY - 2));
            }
            ASSERT_EQ(game().stepCount, before + 1);
            const jq::StepRec& step = game().stepRecords[before];
            EXPECT_EQ((std::array<int, 4>{step.mover, step.target, step.toX, step.toY}),
                      (std::array<int, 4>{m.mover, m.target, m.toX, m.toY}));
            EXPECT_EQ(form->statusPanels[2]->text(), U("当前已走：%1 步").arg(before + 1));
        }
    }

    jq::test::ScratchWorkFolder folder;
    jq::OptionsRec options = jq::DefaultOptions();
    std::unique_ptr<ScriptedComputer> computer;  // outlives the window
    std::unique_ptr<TqsForm> form;
    QTimer panelWatch;
    jq::MoveGenWork moveWork;
    QStringList ownBoxes;
    QStringList standardBoxes;
    std::function<void()> onStandardBox;
    bool ownAnswerCancel = false;
    std::vector<int> panelsShown;
};

// From "人机对奕" through the deployment, moves, a peace question and giving
// up to the result panel: the loss is shown once, counted once and saved at
// once; the battle is then saved and feeds the statistics builder.
TEST_F(BattleWindowTest, BattlePlayedToTheEndIsShownCountedAndSaved) {
    options.winRecord[0][0] = 3;
    options.winRecord[0][1] = 1;
    OpenWindow();
    LeftClick(form->SpeedButton1);
    jq::GameState& g = game();
    ASSERT_EQ(g.deployPhase, 1);
    // Without a formation database the player is told, and gets an army.
    EXPECT_TRUE(standardBoxes.value(0).startsWith(U("警告|没有默认的阵法数据库(zffile)！！")));
    EXPECT_TRUE(form->rbtPractice->isChecked());
    // Another formation for the own seat, its pictures following the codes;
    // then two pieces exchanged with the pointer, and "完毕".
    const jq::PieceTable dealt = g.pieces;
    for (int round = 0; round < 5 && std::memcmp(&dealt, &g.pieces, sizeof dealt) == 0; ++round)
        LeftClick(form->btnOtherKbt);
    ASSERT_NE(std::memcmp(&dealt, &g.pieces, sizeof dealt), 0);
    BoardView& view = *form->boardView;
    for (int k = 1; k < 25; ++k)
        EXPECT_EQ(view.pieceImages[0]->Picture() == view.pieceImages[k]->Picture(),
                  g.pieces[0].code == g.pieces[k].code) << k;
    const int a = 5;
    int b = 6;
    while (g.pieces[b].code == g.pieces[a].code) ++b;
    const int codeA = g.pieces[a].code;
    const QImage pictureA = view.pieceImages[a]->Picture();
    PressPieceImage(a);
    PressPieceImage(b);
    EXPECT_EQ(view.pieceImages[b]->Picture(), pictureA);
    LeftClick(form->btnChangeQz);
    ASSERT_EQ(g.deployPhase, 0);
    EXPECT_EQ(g.deployedPieces[b].code, codeA);

    PlayerMoves(4);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_GE(computer->moves, 8);
    EXPECT_EQ(computer->wrongSeat, 0);
    // Peace is asked (and taken back); then the player and the partner give up.
    ASSERT_TRUE(WaitFor([this] { return PlayersTurn() && form->bgiveup->isEnabled(); }, 20000));
    ownAnswerCancel = true;
    LeftClick(form->bpeace);
    ownAnswerCancel = false;
    EXPECT_EQ(ownBoxes.last(), U("真的不想再战下去了?             "));
    EXPECT_EQ(g.peaceAgreed, 0);
    const int before = g.stepCount;
    computer->givesUp[2] = true;
    LeftClick(form->bgiveup);
    EXPECT_EQ(ownBoxes.last(), U("您真的要缴械投降?           "));
    EXPECT_EQ(g.stepRecords[before].fromX, jq::kSurrenderCoord);
    ASSERT_TRUE(WaitFor([this] { return BattleOver(); }, 20000));
    WaitFor([] { return false; }, 300);  // a few more ticks change nothing
    EXPECT_EQ(panelsShown, std::vector<int>{jq::kBattleLost});
    const int32_t* level0 = g.optionsRecord.winRecord[0];
    EXPECT_EQ((std::vector<int>(level0, level0 + 4)), (std::vector<int>{4, 1, 1, 0}));
    EXPECT_EQ(jq::DecodeOptions(ReadBytes(folder.path() + "/oprec")).winRecord[0][2], 1);
    EXPECT_FALSE(form->bgiveup->isEnabled());
    EXPECT_EQ(form->btnViewOtherQz->text(), U("不看棋了"));  // the rest is watched face up

    // Saved through the file dialog, from the menu and from the button.
    auto saveAs = [](const std::string& path, const std::function<void()>& command) {
        WhenShown<QFileDialog>([path](QFileDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(path));
            static_cast<QDialog&>(dialog).accept();
        });
        command();
    };
    const std::string saved = folder.path() + "/kbtfiles/a.kbt";
    saveAs(saved, [this] { form->mpopSaveBattle->trigger(); });
    const jq::BattleDecodeResult read = jq::DecodeBattleFile(ReadBytes(saved));
    ASSERT_EQ(read.error, jq::BattleFileError::kNone);
    EXPECT_EQ(static_cast<int>(read.file.moves.size()), g.stepCount);
    EXPECT_EQ(read.file.codes.rows[0][b], codeA);
    saveAs(folder.path() + "/missing/c.kbt", [this] { LeftClick(form->btnsavefile); });
    EXPECT_EQ(standardBoxes.last(), U("警告|保存结果文件不成功！！！"));
    // "子力分布": disabled while it works, it counts the record.
    bool disabledMeanwhile = false;
    onStandardBox = [&] { disabledMeanwhile = !form->Button5->isEnabled(); };
    form->Button5Click();
    EXPECT_EQ(standardBoxes.last(), U("确认|成功分析1个文件！"));
    EXPECT_TRUE(disabledMeanwhile && form->Button5->isEnabled());
    EXPECT_EQ(ReadBytes(folder.path() + "/statfile").size(), static_cast<size_t>(jq::kStatFileBytes));
}

TEST_F(BattleWindowTest, RecordDialogFollowsACountWhileOpenAndIsSaved) {
    OpenWindow();
    std::filesystem::remove(folder.path() + "/oprec");
    QStringList totals;
    WhenShown<Twr>([&](Twr& dialog) {
        totals << dialog.counters[0][0]->text();
        jq::CountBattleResult(game(), jq::kBattleWon);  // a battle ends meanwhile
        totals << dialog.counters[0][0]->text();
        LeftClick(dialog.BitBtn1);
    });
    LeftClick(form->btnShowResult);
    EXPECT_EQ(totals, (QStringList{U("0"), U("1")}));
    EXPECT_EQ(jq::DecodeOptions(ReadBytes(folder.path() + "/oprec")).winRecord[0][0], 1);
}

}  // namespace
