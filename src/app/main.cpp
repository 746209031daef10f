#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>
#include <QMessageBox>
#include <exception>
#include <memory>

#include "app/appfolder.h"
#include "app/splash.h"
#include "app/tqsform.h"
#include "core/datafiles.h"

int main(int argc, char** argv) {
    // A full disk quota or a size limit makes a save fail with its warning.
    jq::LetWritesFailPastSizeLimit();
    QApplication app(argc, argv);
    // The toolkit's own dialogs (file dialogs, standard buttons) in Chinese.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkitTexts);
    try {
        QFont font(QStringLiteral("WenQuanYi Zen Hei"));
        font.setPixelSize(12);
        QApplication::setFont(font);
        UseWorkingFolderPictures(GetCurrentFolder());

        // The splash stays up while the rest starts, and closes itself after
        // 4 s or on a click, once messages are handled.
        auto splash = std::make_unique<TSplashForm>();
        splash->Timer1->start();
        splash->show();
        splash->repaint();
        QApplication::processEvents();

        QApplication::setApplicationName(QStringLiteral("云岭棋战"));
        TqsForm form;
        form.show();
        splash->raise();
        QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("云岭棋战"), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("云岭棋战"), QStringLiteral("未知错误"));
    }
    return 0;
}
