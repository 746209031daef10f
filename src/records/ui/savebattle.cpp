#include "records/ui/savebattle.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>

#include "formations/piecestats.h"
#include "records/battlefile.h"
#include "core/datafiles.h"
#include "view/selection.h"

namespace jq {

QString SaveBattleWithDialog(QWidget* parent, GameState& g) {
    ClearSelection(g);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = {QStringLiteral("阵法文件 (*.kjq)"), QStringLiteral("战役文件 (*.kbt)"),
                                 QStringLiteral("所有文件 (*)")};
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters[1]);
    dialog.setDefaultSuffix(QStringLiteral("kbt"));
    dialog.setDirectory(QFile::decodeName(InFolder(g.appFolder, kBattleRecordFolder).c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().first();
    if (!SaveBattleFile(g, QFile::encodeName(path).toStdString())) return {};
    return path;
}

}  // namespace jq
