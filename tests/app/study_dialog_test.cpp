#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/tqsform.h"
#include "support/qt_helpers.h"
#include "formations/formation.h"
#include "formations/ui/studykjq.h"
#include "platform/toolkit.h"
#include "records/battlefile.h"
#include "records/fileio.h"
#include "support/files_support.h"
#include "support/when_shown.h"

namespace {

// The hidden "阵法学习" command: a file chosen among records gives their
// folder a database.
TEST(StudyDialog, HiddenCommandStudiesTheChosenFolder) {
    jq::test::ScratchWorkFolder folder;
    const std::string records = folder.path() + "/records";
    std::filesystem::create_directories(records);
    jq::BattleFile file;
    jq::GameRandom rng;
    for (int n = 0; n < 10; ++n) {
        for (int s = 0; s < 4; ++s) jq::GenerateFormation(rng, file.codes.rows[s]);
        jq::test::WriteBytes(records + "/r" + std::to_string(n) + ".kbt", jq::EncodeBattleFile(file));
    }
    TqsForm form;
    QStringList boxes;
    jq::standardBoxShownHook = [&](QMessageBox& box) {
        boxes << box.windowTitle() + "|" + box.text();
        box.defaultButton()->click();
    };
    bool disabledMeanwhile = false;
    WhenShown<TStudyKjqs>([&](TStudyKjqs& dialog) {
        disabledMeanwhile = !form.Button7->isEnabled();
        WhenShown<QFileDialog>([&](QFileDialog& choose) {
            choose.selectFile(QString::fromStdString(records + "/r3.kbt"));
            static_cast<QDialog&>(choose).accept();
        });
        dialog.BitBtn1->click();
    });
    form.Button7Click();
    jq::standardBoxShownHook = nullptr;

    EXPECT_EQ(boxes, QStringList{QStringLiteral("确认|成功分析10个文件的阵法！")});
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(form.Button7->isEnabled());
    const std::vector<uint8_t> db = jq::test::ReadBytes(records + "/zffile");
    ASSERT_EQ(db.size(), 64004u);
    EXPECT_EQ(jq::GetI32(db.data()), 30);
    EXPECT_FALSE(std::filesystem::exists(folder.path() + "/zffile"));  // the working folder's is not touched
}

}  // namespace
