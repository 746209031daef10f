#include <gtest/gtest.h>

#include <QFile>
#include <QSlider>
#include <filesystem>
#include <memory>

#include "support/qt_helpers.h"
#include "app/tqsform.h"
#include "records/loadcmd.h"
#include "records/replay_support.h"
#include "records/ui/jumpw.h"
#include "support/when_shown.h"
#include "view/ui/boardview.h"

namespace {

using jq::test::LeftClick;
using jq::test::SendMouse;

// A record opened in the window, then steered by the board's clicks, its
// popup menu, the go-to-step dialog and the step buttons.
TEST(ReplayWindow, BoardClicksMenuAndDialogSteerTheReplay) {
    jq::test::ScratchWorkFolder folder;
    std::filesystem::copy_file(JQ_SOURCE_DIR "/assets/work/statfile", folder.path() + "/statfile");
    auto form = std::make_unique<TqsForm>();
    jq::GameState& g = form->game();
    const std::string path = folder.path() + "/a&b.kbt";
    jq::test::WriteBytes(path, jq::replaytest::PlayRandomBattle(5, -1, -1).kbt);
    jq::LoadChosenRecord(g, path);
    EXPECT_EQ(form->windowTitle(), QFile::decodeName(path.c_str()));
    EXPECT_TRUE(form->btnNextStep->isEnabled());

    form->PopupMenu1Popup();
    EXPECT_EQ(form->mnFna[0]->text(), QFile::decodeName(path.c_str()).replace("&", "&&"));
    EXPECT_TRUE(form->mpopGotoLine->isEnabled());
    EXPECT_FALSE(form->mpopPlayStop->isEnabled());

    // A plain click on the board starts automatic replay, the next stops it.
    jq::ImageControl* board = form->boardView->qipan;
    LeftClick(board);
    EXPECT_EQ(g.autoPlay, 1);
    form->PopupMenu1Popup();
    EXPECT_EQ(form->mpopPlayStop->text(), QStringLiteral("停止演播(单击棋盘)"));
    LeftClick(board);
    EXPECT_EQ(g.autoPlay, 0);

    // With Ctrl the click asks for a step.
    WhenShown<TJumpPara>([](TJumpPara& d) {
        d.TrackBar1->setValue(7);
        d.BitBtn1->click();
    });
    SendMouse(board, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(-1, -1), Qt::ControlModifier);
    SendMouse(board, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(-1, -1), Qt::ControlModifier);
    EXPECT_EQ(g.stepCount, 7);
    EXPECT_EQ(g.clickStepCount, 1);

    form->btnProvStepClick();
    EXPECT_EQ(g.stepCount, 6);
    form->btnNextStepMouseDown(Qt::LeftButton, Qt::ControlModifier);
    form->btnNextStepClick();
    EXPECT_EQ(g.stepCount, 16);
    // The recent item opens the record again at step 0.
    form->mnFna1Click(form->mnFna[0]);
    EXPECT_EQ(g.stepCount, 0);
}

}  // namespace
