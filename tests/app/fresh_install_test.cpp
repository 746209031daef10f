// What a player meets on a fresh install: the options dialog showing the
// style in force, and the help window.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTextBrowser>
#include <fstream>
#include <vector>

#include "app/goption.h"
#include "app/helpwindow.h"
#include "app/tqsform.h"
#include "core/options.h"
#include "core/text.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"

namespace {

using jq::test::LeftClick;
using jq::test::ScratchWorkFolder;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

TEST(FreshInstall, OptionsShowTheNeutralStyleAndOkKeepsIt) {
    ScratchWorkFolder folder;
    jq::NullUi ui;
    jq::GameState g;
    g.ui = &ui;
    g.appFolder = folder.path() + "/";
    jq::LoadOptionsAtStartup(g);  // no "oprec" yet

    std::vector<int> shown;
    WhenShown<Twoption>([&shown](Twoption& d) {
        for (const char* name : {"tbsf1", "tbsf2", "tbsf3"}) shown.push_back(d.findChild<QSlider*>(name)->value());
        d.findChild<QLineEdit*>("Edit1")->setText(U("张\U0001F600"));  // the emoji is outside the code page
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    ASSERT_TRUE(RunOptionsDialog(nullptr, g, {}, QString()));
    EXPECT_EQ(shown, std::vector<int>(3, 5));
    EXPECT_DOUBLE_EQ(g.styleCoefAttack, 0.618);
    EXPECT_DOUBLE_EQ(g.styleCoefCaution, 0.8);
    EXPECT_DOUBLE_EQ(g.styleCoefDefence, 0.382);
    EXPECT_EQ(g.optionsRecord.styleDefence, 5);  // level 2's defence boost stays at its full 2.0
    EXPECT_EQ(jq::PlayerName(g.optionsRecord, 0), "\xD5\xC5?");
}

// A missing help file opens nothing; once it is there the help window shows
// it, and a second press brings back the same window.
TEST(FreshInstall, HelpButtonShowsTheHelpFileInOneWindow) {
    ScratchWorkFolder folder;
    TqsForm form;
    LeftClick(form.btnShowHelp);
    EXPECT_EQ(form.findChild<HelpWindow*>(), nullptr);
    std::ofstream(folder.path() + "/" + TqsForm::HelpFileName().toStdString())
        << "<html><head><meta charset=\"utf-8\"><title>帮助</title></head><body><h1>棋子</h1>"
           "<p>工兵可以在铁路上拐弯。</p></body></html>";
    LeftClick(form.btnShowHelp);
    HelpWindow* help = form.findChild<HelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), U("帮助"));
    EXPECT_TRUE(help->browser()->toPlainText().contains(U("工兵可以在铁路上拐弯。")));
    LeftClick(form.btnShowHelp);
    EXPECT_EQ(form.findChildren<HelpWindow*>().size(), 1);
}

}  // namespace
