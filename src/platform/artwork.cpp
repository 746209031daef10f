#include "platform/artwork.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace jq {

namespace {
QString chosenFolder;  // main thread only
}  // namespace

QString ArtworkFolder() {
    if (!chosenFolder.isEmpty()) {
        return chosenFolder;
    }
    QStringList candidates;
    candidates << QDir::currentPath() + QStringLiteral("/assets/images");
#ifdef JQ_ARTWORK_DIR
    candidates << QString::fromUtf8(JQ_ARTWORK_DIR);
#endif
    if (QCoreApplication::instance() != nullptr)
        candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/assets/images");
    for (const QString& folder : candidates) {
        if (QFileInfo(folder).isDir()) {
            return QDir::cleanPath(folder);
        }
    }
    return QString();
}

void SetArtworkFolder(const QString& folder) {
    chosenFolder = folder;
}

QImage LoadArtwork(const QString& fileName) {
    const QString folder = ArtworkFolder();
    if (folder.isEmpty()) {
        return QImage();
    }
    return QImage(QDir(folder).filePath(fileName));
}

}  // namespace jq
