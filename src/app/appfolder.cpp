#include "app/appfolder.h"

#include <QFileInfo>
#include <QString>
#include <filesystem>
#include <system_error>

#include "platform/artwork.h"

std::string GetCurrentFolder() {
    std::error_code error;
    std::string folder = std::filesystem::current_path(error).string();
    if (error || folder.empty()) return {};
    if (folder.back() != '/') folder += '/';
    return folder;
}

void UseWorkingFolderPictures(const std::string& folder) {
    const QString images = QString::fromStdString(folder) + QStringLiteral("images");
    if (QFileInfo(images).isDir()) jq::SetArtworkFolder(images);
}
