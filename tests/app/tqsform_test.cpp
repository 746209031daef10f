#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <memory>

#include "app/appfolder.h"
#include "app/goption.h"
#include "app/tqsform.h"
#include "core/text.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"
#include "view/ui/boardview.h"

namespace {

using jq::test::MoveOver;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder.path() + "/kbtfiles");
        form = std::make_unique<TqsForm>();
        form->show();
    }
    void TearDown() override { form.reset(); }

    jq::test::ScratchWorkFolder folder;
    std::unique_ptr<TqsForm> form;
};

// The game lives in the working folder (one trailing slash, never two), the
// record dialogs open on its records, and no control the board picture
// covers is out of the pointer's reach.
TEST_F(MainWindowTest, GameLivesInTheWorkingFolderAndTheCommandsLieAboveTheBoard) {
    EXPECT_EQ(form->game().ui, static_cast<jq::GameUi*>(form.get()));
    EXPECT_EQ(form->game().appFolder, folder.path() + "/");
    EXPECT_EQ(QDir(form->OpenDialog1->directory()).absolutePath(), QString::fromStdString(folder.path() + "/kbtfiles"));
    form->SetDeploymentControlsVisible(true);
    for (QWidget* w : std::initializer_list<QWidget*>{form->bpeace, form->Label1, form->lbShowTimeRemain,
                                                       form->btnChangeQz, form->btnLoadZf})
        EXPECT_EQ(form->panQiPan->childAt(w->geometry().center()), w) << w->metaObject()->className();
    std::filesystem::current_path("/");
    EXPECT_EQ(GetCurrentFolder(), "/");
}

// The popup menu opens on the board picture only; the options item opens
// the options dialog; the exit command and item stop the computer player
// and close.
TEST_F(MainWindowTest, PopupMenuOptionsAndExit) {
    for (QWidget* w : std::initializer_list<QWidget*>{form->boardView->qipan, form->btnLoadFile,
                                                       form->boardView->pieceImages[0], form->panQiPan}) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w, &event);
        EXPECT_EQ(form->PopupMenu1->isVisible(), w == form->boardView->qipan) << w->metaObject()->className();
        form->PopupMenu1->hide();
    }
    bool seen = false;
    WhenShown<Twoption>([&](Twoption& d) {
        seen = true;
        d.reject();
    });
    form->mpopOption->trigger();
    EXPECT_TRUE(seen);

    int stops = 0;
    form->stopAIThreadHook = [&stops](TqsForm&) { ++stops; };
    jq::test::LeftClick(form->btnExit);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Timer1->isActive());
    form->show();
    form->N10->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_GE(stops, 2);
}

// The command under the pointer is marked, until the pointer reaches the
// bare panel (a margin, or the gap between two commands); the stand-alone
// button takes no part.
TEST_F(MainWindowTest, MarkingFollowsThePointerOverTheSidePanel) {
    MoveOver(form->btnAbout);
    MoveOver(form->btnExit);
    EXPECT_FALSE(form->btnAbout->font().bold());
    EXPECT_TRUE(form->btnExit->font().bold());
    MoveOver(form->SpeedButton1);
    EXPECT_EQ(form->HoverCaption(), jq::Gb("退  出"));
    for (QPoint bare : {QPoint(4, 270), QPoint(50, 78)}) {
        MoveOver(form->btnnetbattle);
        MoveOver(form->Panel1, bare);
        for (QToolButton* b : form->sidePanelButtons) EXPECT_FALSE(b->font().bold());
        EXPECT_TRUE(form->HoverCaption().empty());
    }
}

// What the game asks of the window reaches the right control; indexes off
// the end are ignored; each tick blinks the selection once.
TEST_F(MainWindowTest, GameRequestsReachTheirControls) {
    form->SetStatusText(2, jq::Gb("当前已走：5 步"));
    EXPECT_EQ(form->statusPanels[2]->text(), QStringLiteral("当前已走：5 步"));
    form->SetStatusText(4, "x");
    form->SetStatusText(-1, "x");
    form->SetSeatLabel(2, jq::Gb("张三"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("张三"));
    EXPECT_EQ(form->SeatLabel(4), "");
    form->ShowTurnLight(3, 2);
    EXPECT_EQ(form->light1->pos(), TqsForm::kTurnLightPositions[3]);
    EXPECT_EQ(form->light1->Picture().pixel(18, 18), form->alllightimage->Picture().pixel(2 * 36 + 18, 18));
    form->ShowTurnLight(-1, 0);
    EXPECT_FALSE(form->light1->isVisibleTo(form.get()));

    jq::GameState& g = form->game();
    g.pieces[5].alive = 1;
    g.selectedPiece = 5;
    g.selectionBlink = 0;
    form->Timer1Timer();
    EXPECT_FALSE(form->PieceVisible(5));
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_EQ(g.selectionBlink, 3);
    EXPECT_TRUE(form->PieceVisible(5));
}

}  // namespace
