#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
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

void Click(QWidget* w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    const QPointF global = w->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
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
        // Our own tiles: bg0 is solid blue, bg3 solid green, the rest missing.
        QImage blue(16, 16, QImage::Format_RGB32);
        blue.fill(QColor(0, 0, 200));
        blue.save(folder.filePath("bg0.png"));
        QImage green(16, 16, QImage::Format_RGB32);
        green.fill(QColor(0, 180, 0));
        green.save(folder.filePath("bg3.png"));
        tiles = Twoption::LoadBackgroundTiles(folder.path());
    }

    bool OptionsFileExists() const { return std::filesystem::exists(g.appFolder + "oprec"); }

    QTemporaryDir folder;
    jq::test::RecordingUi ui;
    GameState g;
    Twoption::Tiles tiles;
};

TEST_F(OptionsDialogTest, SevenTabsWithTheirControlsAndRanges) {
    Twoption d(g, tiles);
    EXPECT_EQ(d.windowTitle(), U("游戏设置"));
    EXPECT_EQ(d.size(), QSize(426, 285));
    EXPECT_FALSE(d.windowFlags().testFlag(Qt::WindowCloseButtonHint));

    auto* tabs = Find<QTabWidget>(d, "PageControl1");
    ASSERT_NE(tabs, nullptr);
    const char* names[7] = {"棋手", "音效", "棋盘", "级别", "棋风", "演播", "网战"};
    ASSERT_EQ(tabs->count(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(tabs->tabText(i), U(names[i])) << i;
    EXPECT_EQ(tabs->currentIndex(), 0);

    auto onTab = [&](int tab, const char* name) {
        QWidget* w = d.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_TRUE(tabs->widget(tab)->isAncestorOf(w)) << name;
    };
    for (const char* edit : {"Edit1", "Edit2", "Edit3", "Edit4"}) {
        onTab(0, edit);
        EXPECT_EQ(Find<QLineEdit>(d, edit)->maxLength(), 21);
    }
    onTab(1, "CheckBox1");
    EXPECT_EQ(Find<QCheckBox>(d, "CheckBox1")->text(), U("打开音效"));
    for (int i = 1; i <= 10; ++i) {
        const QByteArray name = "Image" + QByteArray::number(i);
        onTab(2, name.constData());
        EXPECT_EQ(Find<QWidget>(d, name.constData())->size(), QSize(49, 49));
    }
    const char* radios[5][2] = {{"RadioButton1", "初级"}, {"RadioButton2", "中级"}, {"RadioButton3", "高级"},
                                {"RadioButton4", "逆时针"}, {"RadioButton5", "顺时针"}};
    for (int i = 0; i < 5; ++i) {
        onTab(i < 3 ? 3 : 6, radios[i][0]);
        EXPECT_EQ(Find<QRadioButton>(d, radios[i][0])->text(), U(radios[i][1]));
    }
    onTab(3, "cbStudyKbt");
    EXPECT_EQ(Find<QCheckBox>(d, "cbStudyKbt")->text(), U("记录最新的阵法"));

    struct SliderRow {
        const char* name;
        int tab, max, tick;
    };
    const SliderRow sliders[] = {{"tbsf1", 4, 10, 1},           {"tbsf2", 4, 10, 1},          {"tbsf3", 4, 10, 1},
                                 {"tbAutoStep", 5, 60, 5},      {"tbMoveShortTime", 6, 10, 1}, {"tbMoveThinkTime", 6, 60, 6},
                                 {"tbGetReadyTime", 6, 80, 8},  {"tbCutLinkTime", 6, 120, 12}};
    for (const SliderRow& row : sliders) {
        onTab(row.tab, row.name);
        auto* s = Find<QSlider>(d, row.name);
        EXPECT_EQ(s->minimum(), 0) << row.name;
        EXPECT_EQ(s->maximum(), row.max) << row.name;
        EXPECT_EQ(s->tickInterval(), row.tick) << row.name;
        s->setValue(row.max + 50);
        EXPECT_EQ(s->value(), row.max) << row.name;
        s->setValue(-3);
        EXPECT_EQ(s->value(), 0) << row.name;
    }
    EXPECT_EQ(Find<QSlider>(d, "tbAutoStep")->pageStep(), 12);

    // Every caption of the tabs is on its page.
    QStringList texts;
    for (QLabel* l : d.findChildren<QLabel*>()) texts << l->text();
    for (const char* t : {"位置1：", "位置4：", "各棋手的姓名（限10字）。", "下棋的时候发出各种声音。", "棋盘背景帖图。",
                          "如果你经常下输，不防将级别设低一级。", "级别设低后，下棋的速度会相应加快。", "强攻系数（sf1）",
                          "小心程度（sf2）", "防守重要（sf3）", "下棋的风格。", "每两步之间间隔的秒数：", "(6秒)",
                          "用于自动演播，最长6秒。", "行棋方向:", "两步棋最短间隔:", "(10秒)", "每步棋思考时长:", "(60秒)",
                          "允许布阵时长:", "(80秒)", "判定断线时长:", "(120秒)"})
        EXPECT_TRUE(texts.contains(U(t))) << t;
    EXPECT_EQ(Find<QPushButton>(d, "BitBtn1")->text(), U("确定"));
    EXPECT_EQ(Find<QPushButton>(d, "BitBtn2")->text(), U("取消"));
}

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
    EXPECT_TRUE(Find<QRadioButton>(d, "RadioButton2")->isChecked());
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

TEST_F(OptionsDialogTest, ThumbnailsShowTilesAndMarkTheChoice) {
    g.optionsRecord.boardBackground = 3;
    Twoption d(g, tiles);
    auto* image1 = Find<QWidget>(d, "Image1");
    auto* image4 = Find<QWidget>(d, "Image4");
    auto* image9 = Find<QWidget>(d, "Image9");
    EXPECT_EQ(PixelOf(image4, 0, 0), QColor(255, 0, 0));
    EXPECT_EQ(PixelOf(image4, 48, 48), QColor(255, 0, 0));
    EXPECT_EQ(PixelOf(image4, 20, 20), QColor(0, 180, 0));
    EXPECT_EQ(PixelOf(image1, 0, 0), QColor(0, 0, 0));
    EXPECT_EQ(PixelOf(image1, 30, 30), QColor(0, 0, 200));
    EXPECT_EQ(PixelOf(image9, 0, 0), QColor(0, 0, 0));  // missing picture: plain fill
    EXPECT_NE(PixelOf(image9, 20, 20), QColor(0, 0, 0));

    Click(image9);
    EXPECT_EQ(g.optionsRecord.boardBackground, 8);
    EXPECT_EQ(PixelOf(image9, 0, 0), QColor(255, 0, 0));
    EXPECT_EQ(PixelOf(image4, 0, 0), QColor(0, 0, 0));

    d.MarkBackground(10);
    for (int i = 1; i <= 10; ++i) {
        const QByteArray name = "Image" + QByteArray::number(i);
        EXPECT_EQ(PixelOf(Find<QWidget>(d, name.constData()), 0, 0), QColor(0, 0, 0)) << i;
    }
}

TEST_F(OptionsDialogTest, ThumbnailThenCancelKeepsTheChoiceButNotTheRest) {
    int redraws = 0;
    auto redraw = [&] { ++redraws; };

    WhenDialogShown([](Twoption& d) {
        Click(d.findChild<QWidget*>("Image4"));
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
        Click(d.findChild<QWidget*>("Image2"));
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

TEST_F(OptionsDialogTest, UnknownLevelShowsAsMiddleAndIsStoredSo) {
    g.optionsRecord.aiLevel = 7;
    WhenDialogShown([](Twoption& d) {
        EXPECT_TRUE(d.findChild<QRadioButton*>("RadioButton2")->isChecked());
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    ASSERT_TRUE(RunOptionsDialog(nullptr, g, {}, folder.path()));
    EXPECT_EQ(g.optionsRecord.aiLevel, 1);
    EXPECT_EQ(ui.status[1], jq::Gb("级别：中级"));
}

TEST_F(OptionsDialogTest, CoefficientsAfterOkAndAfterARestart) {
    WhenDialogShown([](Twoption& d) {
        for (const char* name : {"tbsf1", "tbsf2", "tbsf3"}) d.findChild<QSlider*>(name)->setValue(5);
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    ASSERT_TRUE(RunOptionsDialog(nullptr, g, {}, folder.path()));
    EXPECT_NEAR(g.styleCoefAttack, 0.618, 1e-9);
    EXPECT_NEAR(g.styleCoefCaution, 0.8, 1e-9);
    EXPECT_NEAR(g.styleCoefDefence, 0.382, 1e-9);
    EXPECT_EQ(ui.status[1], jq::Gb("级别：初级"));

    GameState restarted;
    restarted.appFolder = g.appFolder;
    jq::LoadOptionsAtStartup(restarted);
    EXPECT_NEAR(restarted.styleCoefAttack, 0.618, 1e-9);
    EXPECT_NEAR(restarted.styleCoefCaution, 0.7, 1e-9);
    EXPECT_NEAR(restarted.styleCoefDefence, 0.382, 1e-9);

    WhenDialogShown([](Twoption& d) {
        d.findChild<QSlider*>("tbsf1")->setValue(0);
        d.findChild<QSlider*>("tbsf3")->setValue(10);
        d.findChild<QRadioButton*>("RadioButton2")->setChecked(true);
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    ASSERT_TRUE(RunOptionsDialog(nullptr, g, {}, folder.path()));
    EXPECT_NEAR(g.styleCoefAttack, 0.427, 1e-9);
    EXPECT_NEAR(g.styleCoefDefence, 0.191, 1e-9);
    EXPECT_EQ(ui.status[1], jq::Gb("级别：中级"));

    // Cancel leaves the coefficients alone.
    WhenDialogShown([](Twoption& d) {
        d.findChild<QSlider*>("tbsf1")->setValue(10);
        d.findChild<QPushButton*>("BitBtn2")->click();
    });
    EXPECT_FALSE(RunOptionsDialog(nullptr, g, {}, folder.path()));
    EXPECT_NEAR(g.styleCoefAttack, 0.427, 1e-9);
    EXPECT_EQ(g.optionsRecord.styleAttack, 0);
}

}  // namespace
