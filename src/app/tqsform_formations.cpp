// The main window's formation commands: saving and loading seat 0's
// formation during a deployment, and the hidden formation study.
#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <QToolButton>

#include "app/tqsform.h"
#include "formations/formationfile.h"
#include "formations/ui/studykjq.h"

namespace {

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

// "调出阵法": a ".kjq" or ".jqs" file replaces seat 0's codes.
// The dialog is shared with the battle-record opener, which finds its own
// choice of file type as it left it.
void TqsForm::btnLoadZfClick() {
    const QString recordFilter = OpenDialog1->selectedNameFilter();
    for (const QString& filter : OpenDialog1->nameFilters())
        if (filter.contains(QStringLiteral("*.kjq"))) OpenDialog1->selectNameFilter(filter);
    const QStringList chosen = OpenDialog1->exec() == QDialog::Accepted ? OpenDialog1->selectedFiles() : QStringList();
    OpenDialog1->selectNameFilter(recordFilter);
    if (!chosen.isEmpty()) jq::LoadFormationByExtension(*game_, LocalPath(chosen.first()));
}

// "保存阵法" (also the popup's "保存阵法(东)", at any time): seat 0's codes
// as they stand. A name typed without an extension gets ".kjq"; an existing
// file is replaced without a question.
void TqsForm::btnSaveZfClick() {
    const QStringList filters = {QStringLiteral("阵法文件 (*.kjq)"), QStringLiteral("战役文件 (*.kbt)"),
                                 QStringLiteral("所有文件 (*)")};
    SaveDialog1->setNameFilters(filters);
    SaveDialog1->selectNameFilter(filters[0]);
    SaveDialog1->setDefaultSuffix(QStringLiteral("kjq"));
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, true);
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty()) return;
    jq::SaveFormationFile(*game_, LocalPath(SaveDialog1->selectedFiles().first()));
}

// "阵法学习": the study dialog, with its (hidden) command disabled meanwhile.
void TqsForm::Button7Click() {
    Button7->setEnabled(false);
    {
        TStudyKjqs dialog(*this, this);
        dialog.exec();
    }
    Button7->setEnabled(true);
}
