#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <array>
#include <cstring>

#include "app/goption.h"
#include "core/options.h"
#include "core/text.h"
#include "support/qt_helpers.h"
#include "support/recording_ui.h"
#include "support/when_shown.h"

namespace {

template <class T>
T* Find(QWidget& root, const char* name) {
    return root.findChild<T*>(QString::fromLatin1(name));
}
void Ok(Twoption& d) { Find<QPushButton>(d, "BitBtn1")->click(); }

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.appFolder = folder.Folder();
        g.ui = &ui;
    }
    // The dialog as the window runs it, acted on by `act`.
    bool Run(std::function<void(Twoption&)> act) {
        WhenShown<Twoption>(std::move(act));
        return RunOptionsDialog(nullptr, g, [this] { ++redraws; }, QString::fromStdString(folder.Plain()));
    }

    jq::test::ScratchFolder folder;
    jq::test::RecordingUi ui;
    jq::GameState g;
    Twoption::Tiles tiles;  // none: thumbnails without their pictures
    int redraws = 0;
};

// OK with nothing touched keeps the record; values out of range show at the
// nearest choice and go back there.
TEST_F(OptionsDialogTest, OkKeepsTheRecordAndMendsOutOfRangeValues) {
    const jq::OptionsRec defaults = g.optionsRecord;
    ASSERT_TRUE(Run(Ok));
    EXPECT_EQ(std::memcmp(&g.optionsRecord, &defaults, sizeof defaults), 0);

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
    Ok(d);
    EXPECT_EQ((std::array{o.aiLevel, o.turnDirectionOption, o.styleAttack, o.styleCaution, o.netDisconnectTimeOption}),
              (std::array<int32_t, 5>{1, -1, 10, 0, 120}));
}

// The controls go back into the record (and its file) on OK; the bytes after
// a name's NUL, the counters and the reserved bytes are kept.
TEST_F(OptionsDialogTest, ControlsGoBackIntoTheRecordOnOk) {
    jq::OptionsRec& o = g.optionsRecord;
    std::memset(o.playerNames[0], 'x', sizeof o.playerNames[0]);
    std::memset(o.reserved, 0x5A, sizeof o.reserved);
    o.winRecord[2][1] = 17;
    ASSERT_TRUE(Run([](Twoption& d) {
        Find<QLineEdit>(d, "Edit1")->setText(QStringLiteral("abcdefghijklmnopqrstu"));  // 21 characters
        Find<QLineEdit>(d, "Edit3")->setText(QStringLiteral("李四"));
        Find<QCheckBox>(d, "CheckBox1")->setChecked(true);
        Find<QCheckBox>(d, "cbStudyKbt")->setChecked(true);
        Find<QRadioButton>(d, "RadioButton3")->setChecked(true);
        Find<QSlider>(d, "tbAutoStep")->setValue(25);
        Find<QSlider>(d, "tbGetReadyTime")->setValue(72);
        Ok(d);
    }));
    EXPECT_EQ(std::string(o.playerNames[0]), "abcdefghijklmnopqrstu");
    EXPECT_EQ(o.playerNames[0][22], 'x');
    EXPECT_EQ(jq::PlayerName(o, 2), jq::Gb("李四"));
    EXPECT_EQ((std::array{o.soundOn, o.recordLatestFormations, o.aiLevel, o.autoPlayInterval, o.winRecord[2][1]}),
              (std::array<int32_t, 5>{1, 1, 2, 25, 17}));
    EXPECT_EQ(ui.status[1], jq::Gb("级别：高级"));
    EXPECT_EQ(o.reserved[63], 0x5A);
    EXPECT_EQ(jq::DecodeOptions(folder.Read("oprec")).netDeployTimeOption, 72);
}

TEST_F(OptionsDialogTest, TypedNamesStopAtTwentyOneBytes) {
    Twoption d(g, tiles);
    auto* edit = Find<QLineEdit>(d, "Edit2");
    auto type = [edit](const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
        }
    };
    type(QStringLiteral("一二三四五六七八九十百千"));  // 12 characters, 24 bytes
    EXPECT_EQ(edit->text(), QStringLiteral("一二三四五六七八九十"));
    type(QStringLiteral("ab"));
    EXPECT_EQ(edit->text(), QStringLiteral("一二三四五六七八九十a"));
}

// A thumbnail takes effect at once, so cancel keeps it but nothing else;
// the board is redrawn only when OK changes the background.
TEST_F(OptionsDialogTest, ThumbnailThenCancelKeepsTheChoiceButNotTheRest) {
    const int attack = g.optionsRecord.styleAttack;
    EXPECT_FALSE(Run([](Twoption& d) {
        jq::test::LeftClick(Find<QWidget>(d, "Image4"));
        Find<QCheckBox>(d, "CheckBox1")->setChecked(true);
        Find<QSlider>(d, "tbsf1")->setValue(10);
        Find<QPushButton>(d, "BitBtn2")->click();
    }));
    EXPECT_EQ((std::array{g.optionsRecord.boardBackground, g.optionsRecord.soundOn, g.optionsRecord.styleAttack}),
              (std::array<int32_t, 3>{3, 0, attack}));
    EXPECT_TRUE(folder.Read("oprec").empty());
    EXPECT_TRUE(Run(Ok));
    EXPECT_EQ(redraws, 0);
    EXPECT_TRUE(Run([](Twoption& d) {
        jq::test::LeftClick(Find<QWidget>(d, "Image2"));
        Ok(d);
    }));
    EXPECT_EQ(g.optionsRecord.boardBackground, 1);
    EXPECT_EQ(redraws, 1);
}

}  // namespace
