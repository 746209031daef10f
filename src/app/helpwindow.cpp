#include "app/helpwindow.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(const QString& helpFile, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window);
    resize(700, 560);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenExternalLinks(true);
    browser_->setSource(QUrl::fromLocalFile(helpFile), QTextDocument::HtmlResource);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("帮助") : title);
}

HelpWindow* ShowHelpWindow(QWidget* owner, const QString& helpFile) {
    if (!QFileInfo(helpFile).isFile()) return nullptr;
    HelpWindow* help = owner != nullptr ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (help == nullptr) help = new HelpWindow(helpFile, owner);
    help->show();
    help->raise();
    help->activateWindow();
    return help;
}
