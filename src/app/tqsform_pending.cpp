// Handlers of the main window whose commands are written elsewhere. Each
// does nothing until its command exists; whoever writes a command defines
// its handler in the command's own file and deletes the empty one here.
#include <QAction>

#include "app/tqsform.h"

void TqsForm::btnLoadFileClick() {}
void TqsForm::btnLoadFileMouseDown(Qt::MouseButton, Qt::KeyboardModifiers) {}
void TqsForm::btnNextStepClick() {}
void TqsForm::btnNextStepMouseDown(Qt::MouseButton, Qt::KeyboardModifiers) {}
void TqsForm::btnProvStepClick() {}
void TqsForm::btnProvStepMouseDown(Qt::MouseButton, Qt::KeyboardModifiers) {}
void TqsForm::mpopAutoPlayClick() {}
void TqsForm::mpopPlayStopClick() {}
void TqsForm::mpopGotoStartClick() {}
void TqsForm::mpopGotoLineClick() {}
void TqsForm::PopupMenu1Popup() {}
void TqsForm::mnFna1Click(QAction*) {}
void TqsForm::qipanClick() {}
void TqsForm::FormKeyDown(int, Qt::KeyboardModifiers) {}
