// The help window: the program's own viewer for the HTML help file, so the
// help opens on every machine, whatever the desktop offers.
#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    HelpWindow(const QString& helpFile, QWidget* owner);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_ = nullptr;
};

// Shows the help file in the owner's help window, opening it when none is
// open yet (it stays beside the board until closed). A missing help file is
// not reported: nothing opens and the result is null.
HelpWindow* ShowHelpWindow(QWidget* owner, const QString& helpFile);
