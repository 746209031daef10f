#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <cstring>

#include "app/goption.h"
#include "core/options.h"
#include "core/text.h"
#include "support/recording_ui.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"

namespace {

using jq::GameState;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

template <class T>
T* Find(QWidget& root, const char* name) {
    T* w = root.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}


void Type(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.appFolder = folder.Folder();
        g.ui = &ui;
    }

    jq::test::ScratchFolder folder;
    jq::test::RecordingUi ui;
    GameState g;
    Twoption::Tiles tiles;  // none: thumbnails without their pictures
};

TEST_F(OptionsDialogTest, FreshRecordOpensWithTheDefaults) {
    Twoption d(g, tiles);
    EXPECT_FALSE(Find<QCheckBox>(d, "CheckBox1")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(d, "RadioButton1")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(d, "RadioButton4")->isChecked());
    EXPECT_EQ(Find<QSlider>(d, "tbMoveShortTime")->value(), 1);
    EXPECT_EQ(Find<QSlider>(d, "tbMoveThinkTime")->value(), 30);
    EXPECT_EQ(Find<QSlider>(d, "tbGetReadyTime")->value(), 40);
    EXPECT_EQ(Find<QSlider>(d, "tbCutLinkTime")->value(), 60);
    EXPECT_EQ(Find<QSlider>(d, "tbsf1")->value(), 5);
    EXPECT_EQ(Find<QLineEdit>(d, "Edit1")->text(), QString());
    Find<QPushButton>(d, "BitBtn1")->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(g.optionsRecord.turnDirectionOption, 1);
    EXPECT_EQ(g.optionsRecord.netMoveTimeOption, 30);
}

TEST_F(OptionsDialogTest, OutOfRangeValuesShowAtTheNearestChoice) {
    jq::OptionsRec& o = g.optionsRecord;
    o = jq::DecodeOptions(nullptr, 0);  // a zero record: turning direction 0 shows as clockwise
    o.aiLevel = 7;
    o.boardBackground = 12;
    o.styleAttack = 99;
    o.styleCaution = -4;
    o.netDisconnectTimeOption = 1000;
    Twoption d(g, tiles);
    EXPECT_EQ(o.boardBackground, 0);  // reset as the dialog opens
    EXPECT_TRUE(Find<QRadioButton>(d, "RadioButton2")->isChecked());  // an unknown level shows as the middle
    EXPECT_TRUE(Find<QRadioButton>(d, "RadioButton5")->isChecked());
    Find<QPushButton>(d, "BitBtn1")->click();
    EXPECT_EQ(o.aiLevel, 1);
    EXPECT_EQ(o.turnDirectionOption, -1);
    EXPECT_EQ(o.styleAttack, 10);
    EXPECT_EQ(o.styleCaution, 0);
    EXPECT_EQ(o.netDisconnectTimeOption, 120);
}

TEST_F(OptionsDialogTest, ControlsGoBackIntoTheRecordOnOk) {
    jq::OptionsRec& o = g.optionsRecord;
    std::memset(o.playerNames[0], 'x', sizeof o.playerNames[0]);
    std::memset(o.reserved, 0x5A, sizeof o.reserved);
    o.winRecord[2][1] = 17;
    WhenShown<Twoption>([](Twoption& d) {
        Find<QLineEdit>(d, "Edit1")->setText(QStringLiteral("abcdefghijklmnopqrstu"));  // 21 characters
        Find<QLineEdit>(d, "Edit3")->setText(U("李四"));
        Find<QCheckBox>(d, "CheckBox1")->setChecked(true);
        Find<QCheckBox>(d, "cbStudyKbt")->setChecked(true);
        Find<QRadioButton>(d, "RadioButton3")->setChecked(true);
        Find<QSlider>(d, "tbsf1")->setValue(5);
        Find<QSlider>(d, "tbAutoStep")->setValue(25);
        Find<QSlider>(d, "tbGetReadyTime")->setValue(72);
        Find<QPushButton>(d, "BitBtn1")->click();
    });
    ASSERT_TRUE(RunOptionsDialog(nullptr, g, {}, QString::fromStdString(folder.Plain())));
    EXPECT_EQ(std::string(o.playerNames[0]), "abcdefghijklmnopqrstu");
    EXPECT_EQ(o.playerNames[0][22], 'x');  // bytes after the NUL are kept
    EXPECT_EQ(jq::PlayerName(o, 2), jq::Gb("李四"));
    EXPECT_EQ(o.soundOn, 1);
    EXPECT_EQ(o.recordLatestFormations, 1);
    EXPECT_EQ(o.aiLevel, 2);
    EXPECT_EQ(ui.status[1], jq::Gb("级别：高级"));
    EXPECT_NEAR(g.styleCoefAttack, 0.618, 1e-9);
    EXPECT_EQ(o.autoPlayInterval, 25);
    EXPECT_EQ(o.netDeployTimeOption, 72);
    EXPECT_EQ(o.winRecord[2][1], 17);
    EXPECT_EQ(o.reserved[63], 0x5A);
    EXPECT_EQ(jq::DecodeOptions(folder.Read("oprec")).netDeployTimeOption, 72);
}

TEST_F(OptionsDialogTest, TypedNamesStopAtTwentyOneBytes) {
    Twoption d(g, tiles);
    auto* edit = Find<QLineEdit>(d, "Edit2");
    Type(edit, U("一二三四五六七八九十百千"));  // 12 characters, 24 bytes
    EXPECT_EQ(edit->text(), U("一二三四五六七八九十"));
    Type(edit, QStringLiteral("ab"));
    EXPECT_EQ(edit->text(), U("一二三四五六七八九十") + "a");
}

// A thumbnail takes effect at once, so cancel keeps it but nothing else;
// the board is redrawn only when OK changes the background.
TEST_F(OptionsDialogTest, ThumbnailThenCancelKeepsTheChoiceButNotTheRest) {
    const QString at = QString::fromStdString(folder.Plain());
    int redraws = 0;
    auto redraw = [&] { ++redraws; };
    const int attack = g.optionsRecord.styleAttack;
    WhenShown<Twoption>([](Twoption& d) {
        jq::test::LeftClick(d.findChild<QWidget*>("Image4"));
        d.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
        d.findChild<QSlider*>("tbsf1")->setValue(10);
        d.findChild<QPushButton*>("BitBtn2")->click();
    });
    EXPECT_FALSE(RunOptionsDialog(nullptr, g, redraw, at));
    EXPECT_EQ(g.optionsRecord.boardBackground, 3);
    EXPECT_EQ(g.optionsRecord.soundOn, 0);
    EXPECT_EQ(g.optionsRecord.styleAttack, attack);
    EXPECT_EQ(redraws, 0);
    EXPECT_TRUE(folder.Read("oprec").empty());

    QColor marked;  // opened again, thumbnail 4 is marked
    WhenShown<Twoption>([&](Twoption& d) {
        marked = d.findChild<QWidget*>("Image4")->grab().toImage().pixelColor(0, 0);
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    EXPECT_TRUE(RunOptionsDialog(nullptr, g, redraw, at));
    EXPECT_EQ(marked, QColor(255, 0, 0));
    EXPECT_EQ(redraws, 0);
    WhenShown<Twoption>([](Twoption& d) {
        jq::test::LeftClick(d.findChild<QWidget*>("Image2"));
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    EXPECT_TRUE(RunOptionsDialog(nullptr, g, redraw, at));
    EXPECT_EQ(g.optionsRecord.boardBackground, 1);
    EXPECT_EQ(redraws, 1);
}

}  // namespace
