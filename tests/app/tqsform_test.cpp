#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <memory>

#include "app/appfolder.h"
#include "app/goption.h"
#include "app/tqsform.h"
#include "core/options.h"
#include "core/text.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"
#include "view/ui/boardview.h"

namespace {

using jq::test::MoveOver;
using jq::test::ScratchWorkFolder;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder.path() + "/kbtfiles");
        form = std::make_unique<TqsForm>();
    }
    void TearDown() override { form.reset(); }

    ScratchWorkFolder folder;
    std::unique_ptr<TqsForm> form;
};

TEST_F(MainWindowTest, GameLivesInTheWorkingFolderAndTheCommandsLieAboveTheBoard) {
    jq::GameState& g = form->game();
    EXPECT_EQ(g.ui, static_cast<jq::GameUi*>(form.get()));
    EXPECT_EQ(g.appFolder, folder.path() + "/");
    EXPECT_TRUE(form->Timer1->isActive());
    const QString records = QString::fromStdString(folder.path() + "/kbtfiles");
    EXPECT_EQ(QDir(form->OpenDialog1->directory()).absolutePath(), records);
    EXPECT_EQ(QDir(form->SaveDialog1->directory()).absolutePath(), records);
    form->show();  // a control the board picture covered could not be clicked
    form->SetDeploymentControlsVisible(true);
    for (QWidget* w : std::initializer_list<QWidget*>{form->bpeace, form->Label1, form->lbShowTimeRemain,
                                                       form->btnChangeQz, form->btnLoadZf})
        EXPECT_EQ(form->panQiPan->childAt(w->geometry().center()), w) << w->metaObject()->className();
}

TEST(MainWindowStartup, ReadsTheOptionsOfTheWorkingFolder) {
    ScratchWorkFolder folder;
    jq::OptionsRec rec = jq::DefaultOptions();
    rec.soundOn = 1;
    rec.turnDirectionOption = -1;
    rec.netMoveTimeOption = 45;
    jq::test::WriteBytes(folder.path() + "/oprec", jq::EncodeOptions(rec));
    TqsForm form;
    EXPECT_EQ(form.game().optionsRecord.soundOn, 1);
    EXPECT_EQ(form.game().turnDirection, -1);
    EXPECT_EQ(form.game().netMoveTime, 45);
    std::filesystem::current_path("/");
    EXPECT_EQ(GetCurrentFolder(), "/");  // one trailing slash, never two
}

// The popup menu opens on the board picture only: not on the load command,
// a piece or the panel.
TEST_F(MainWindowTest, PopupMenuOpensOnTheBoardPictureOnly) {
    form->show();
    for (QWidget* w : std::initializer_list<QWidget*>{form->boardView->qipan, form->btnLoadFile,
                                                       form->boardView->pieceImages[0], form->panQiPan}) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w, &event);
        EXPECT_EQ(form->PopupMenu1->isVisible(), w == form->boardView->qipan) << w->metaObject()->className();
        form->PopupMenu1->hide();
    }
}

TEST_F(MainWindowTest, ExitCommandAndItemStopTheComputerPlayerAndClose) {
    int stops = 0;
    form->stopAIThreadHook = [&stops](TqsForm&) { ++stops; };
    form->show();
    jq::test::LeftClick(form->btnExit);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_GE(stops, 1);
    stops = 0;
    form->show();
    form->N10->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_GE(stops, 1);
}

TEST_F(MainWindowTest, OptionsItemOpensTheOptionsDialog) {
    bool seen = false;
    WhenShown<Twoption>([&](Twoption& d) {
        seen = true;
        d.reject();
    });
    form->mpopOption->trigger();
    EXPECT_TRUE(seen);
}

// The command under the pointer is marked, until the pointer reaches the
// bare panel; the stand-alone button takes no part.
TEST_F(MainWindowTest, MarkingFollowsThePointerOverTheSidePanel) {
    MoveOver(form->btnAbout);
    MoveOver(form->btnExit);
    EXPECT_FALSE(form->btnAbout->font().bold());
    EXPECT_TRUE(form->btnExit->font().bold());
    MoveOver(form->SpeedButton1);
    EXPECT_EQ(form->HoverCaption(), jq::Gb("退  出"));
    for (QPoint bare : {QPoint(4, 270), QPoint(50, 78)}) {  // a margin, and the gap between two commands
        MoveOver(form->btnnetbattle);
        MoveOver(form->Panel1, bare);
        for (QToolButton* b : form->sidePanelButtons) EXPECT_FALSE(b->font().bold());
        EXPECT_TRUE(form->HoverCaption().empty());
    }
}

// What the game asks of the window reaches the right control; indexes off
// the end are ignored.
TEST_F(MainWindowTest, GameRequestsReachTheirControls) {
    form->SetStatusText(2, jq::Gb("当前已走：5 步"));
    EXPECT_EQ(form->statusPanels[2]->text(), U("当前已走：5 步"));
    form->SetStatusText(4, "x");
    form->SetStatusText(-1, "x");
    form->SetSeatLabel(2, jq::Gb("张三"));
    EXPECT_EQ(form->Label3->text(), U("张三"));
    EXPECT_EQ(form->SeatLabel(4), "");
    form->SetSaveEnabled(false);
    EXPECT_FALSE(form->mpopSaveBattle->isEnabled());
    form->ShowTurnLight(3, 2);
    EXPECT_EQ(form->light1->pos(), TqsForm::kTurnLightPositions[3]);
    EXPECT_EQ(form->light1->Picture().pixel(18, 18), form->alllightimage->Picture().pixel(2 * 36 + 18, 18));
    form->ShowTurnLight(-1, 0);
    EXPECT_FALSE(form->light1->isVisibleTo(form.get()));
}

TEST_F(MainWindowTest, EachTickBlinksTheSelectionOnce) {
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

