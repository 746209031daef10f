#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>

#include "app/goption.h"
#include "core/options.h"
#include "core/qipan.h"
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

QColor PixelOf(QWidget* w, int x, int y) { return w->grab().toImage().pixelColor(x, y); }

void WhenDialogShown(std::function<void(Twoption&)> act) { WhenShown<Twoption>(std::move(act)); }

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        g.appFolder = folder.path().toStdString() + "/";
        g.ui = &ui;
    }

    bool OptionsFileExists() const { return std::filesystem::exists(g.appFolder + "oprec"); }

    QTemporaryDir folder;
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
    EXPECT_EQ(Find<QSlider>(d, "tbsf1")->value(), 0);
    EXPECT_EQ(Find<QLineEdit>(d, "Edit1")->text(), QString());
    Find<QPushButton>(d, "BitBtn1")->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(g.optionsRecord.turnDirectionOption, 1);
    EXPECT_EQ(g.optionsRecord.netMoveTimeOption, 30);
}

TEST_F(OptionsDialogTest, ZeroRecordShowsClockwiseAndOkStoresMinusOne) {
    g.optionsRecord = jq::DecodeOptions(nullptr, 0);
    Twoption d(g, tiles);
    EXPECT_TRUE(Find<QRadioButton>(d, "RadioButton5")->isChecked());
    EXPECT_EQ(Find<QSlider>(d, "tbMoveThinkTime")->value(), 0);
    Find<QPushButton>(d, "BitBtn1")->click();
    EXPECT_EQ(g.optionsRecord.turnDirectionOption, -1);
}

TEST_F(OptionsDialogTest, OutOfRangeValuesShowAtTheNearestChoice) {
    jq::OptionsRec& o = g.optionsRecord;
    o.aiLevel = 7;
    o.boardBackground = 12;
    o.styleAttack = 99;
    o.styleCaution = -4;
    o.autoPlayInterval = 500;
    o.netDisconnectTimeOption = 1000;
    Twoption d(g, tiles);
    EXPECT_EQ(o.boardBackground, 0);  // reset as the dialog opens
    EXPECT_TRUE(Find<QRadioButton>(d, "RadioButton2")->isChecked());  // an unknown level shows as the middle
    EXPECT_EQ(Find<QSlider>(d, "tbsf1")->value(), 10);
    EXPECT_EQ(Find<QSlider>(d, "tbsf2")->value(), 0);
    Find<QPushButton>(d, "BitBtn1")->click();
    EXPECT_EQ(o.aiLevel, 1);
    EXPECT_EQ(o.styleAttack, 10);
    EXPECT_EQ(o.styleCaution, 0);
    EXPECT_EQ(o.autoPlayInterval, 60);
    EXPECT_EQ(o.netDisconnectTimeOption, 120);
}

TEST_F(OptionsDialogTest, ControlsGoBackIntoTheRecordOnOk) {
    jq::OptionsRec& o = g.optionsRecord;
    std::memset(o.playerNames[0], 'x', sizeof o.playerNames[0]);
    std::memset(o.reserved, 0x5A, sizeof o.reserved);
    o.winRecord[2][1] = 17;
    Twoption d(g, tiles);
    Find<QLineEdit>(d, "Edit1")->setText(QStringLiteral("abcdefghijklmnopqrstu"));  // 21 characters
    Find<QLineEdit>(d, "Edit3")->setText(U("李四"));
    Find<QCheckBox>(d, "CheckBox1")->setChecked(true);
    Find<QCheckBox>(d, "cbStudyKbt")->setChecked(true);
    Find<QRadioButton>(d, "RadioButton3")->setChecked(true);
    Find<QRadioButton>(d, "RadioButton5")->setChecked(true);
    Find<QSlider>(d, "tbAutoStep")->setValue(25);
    Find<QSlider>(d, "tbMoveShortTime")->setValue(0);
    Find<QSlider>(d, "tbGetReadyTime")->setValue(72);
    Find<QPushButton>(d, "BitBtn1")->click();

    EXPECT_EQ(std::string(o.playerNames[0]), "abcdefghijklmnopqrstu");
    EXPECT_EQ(o.playerNames[0][22], 'x');  // bytes after the NUL are kept
    EXPECT_EQ(jq::PlayerName(o, 2), jq::Gb("李四"));
    EXPECT_EQ(o.soundOn, 1);
    EXPECT_EQ(o.recordLatestFormations, 1);
    EXPECT_EQ(o.aiLevel, 2);
    EXPECT_EQ(o.turnDirectionOption, -1);
    EXPECT_EQ(o.autoPlayInterval, 25);
    EXPECT_EQ(o.netMinMoveIntervalOption, 0);
    EXPECT_EQ(o.netDeployTimeOption, 72);
    EXPECT_EQ(o.winRecord[2][1], 17);
    EXPECT_EQ(o.reserved[63], 0x5A);
}

TEST_F(OptionsDialogTest, TypedNamesStopAtTwentyOneBytes) {
    Twoption d(g, tiles);
    auto* edit = Find<QLineEdit>(d, "Edit2");
    Type(edit, U("一二三四五六七八九十百千"));  // 12 characters, 24 bytes
    EXPECT_EQ(edit->text(), U("一二三四五六七八九十"));
    Type(edit, QStringLiteral("ab"));
    EXPECT_EQ(edit->text(), U("一二三四五六七八九十") + "a");
}

TEST_F(OptionsDialogTest, ThumbnailThenCancelKeepsTheChoiceButNotTheRest) {
    int redraws = 0;
    auto redraw = [&] { ++redraws; };

    WhenDialogShown([](Twoption& d) {
        jq::test::LeftClick(d.findChild<QWidget*>("Image4"));
        d.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
        d.findChild<QPushButton*>("BitBtn2")->click();
    });
    EXPECT_FALSE(RunOptionsDialog(nullptr, g, redraw, folder.path()));
    EXPECT_EQ(g.optionsRecord.boardBackground, 3);
    EXPECT_EQ(g.optionsRecord.soundOn, 0);
    EXPECT_EQ(redraws, 0);
    EXPECT_FALSE(OptionsFileExists());

    // Opened again: thumbnail 4 is marked; OK without a change does not redraw.
    QColor marked;
    WhenDialogShown([&](Twoption& d) {
        marked = PixelOf(d.findChild<QWidget*>("Image4"), 0, 0);
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    EXPECT_TRUE(RunOptionsDialog(nullptr, g, redraw, folder.path()));
    EXPECT_EQ(marked, QColor(255, 0, 0));
    EXPECT_EQ(redraws, 0);
    EXPECT_TRUE(OptionsFileExists());

    // A different thumbnail and OK redraws the board once.
    WhenDialogShown([](Twoption& d) {
        jq::test::LeftClick(d.findChild<QWidget*>("Image2"));
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    EXPECT_TRUE(RunOptionsDialog(nullptr, g, redraw, folder.path()));
    EXPECT_EQ(g.optionsRecord.boardBackground, 1);
    EXPECT_EQ(redraws, 1);
}

TEST_F(OptionsDialogTest, ReadOnlyFileKeepsItsOldContentsAfterOk) {
    const std::string path = g.appFolder + "oprec";
    const std::vector<uint8_t> old = jq::EncodeOptions(jq::DefaultOptions());
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(old.data()), static_cast<std::streamsize>(old.size()));
    }
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);

    WhenDialogShown([](Twoption& d) {
        d.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
        d.findChild<QRadioButton*>("RadioButton3")->setChecked(true);
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    EXPECT_TRUE(RunOptionsDialog(nullptr, g, {}, folder.path()));
    EXPECT_EQ(g.optionsRecord.soundOn, 1);  // memory has the new settings
    EXPECT_EQ(g.optionsRecord.aiLevel, 2);
    EXPECT_EQ(ui.status[1], jq::Gb("级别：高级"));
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(now, old);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

// OK applies the style coefficients and shows the level; cancel changes nothing.
TEST_F(OptionsDialogTest, OkAppliesTheCoefficientsAndTheLevelCancelDoesNot) {
    WhenDialogShown([](Twoption& d) {
        d.findChild<QSlider*>("tbsf1")->setValue(5);
        d.findChild<QRadioButton*>("RadioButton2")->setChecked(true);
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    ASSERT_TRUE(RunOptionsDialog(nullptr, g, {}, folder.path()));
    EXPECT_NEAR(g.styleCoefAttack, 0.618, 1e-9);
    EXPECT_EQ(ui.status[1], jq::Gb("级别：中级"));
    WhenDialogShown([](Twoption& d) {
        d.findChild<QSlider*>("tbsf1")->setValue(10);
        d.findChild<QRadioButton*>("RadioButton3")->setChecked(true);
        d.findChild<QPushButton*>("BitBtn2")->click();
    });
    EXPECT_FALSE(RunOptionsDialog(nullptr, g, {}, folder.path()));
    EXPECT_NEAR(g.styleCoefAttack, 0.618, 1e-9);
    EXPECT_EQ(g.optionsRecord.aiLevel, 1);
}

}  // namespace
