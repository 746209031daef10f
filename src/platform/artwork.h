// The program's pictures, read from the artwork folder.
#pragma once

#include <QImage>
#include <QString>

namespace jq {

// The folder that holds the pictures: the one set last, else the first that
// exists of "assets/images" in the current folder, the source tree's
// pictures (a path the build sets, the same for every build folder) and
// "assets/images" beside the program.
QString ArtworkFolder();
void SetArtworkFolder(const QString& folder);  // empty: back to the search

// Loads a picture of the artwork folder; a null image when it is missing or
// unreadable, so the caller can draw a stand-in.
QImage LoadArtwork(const QString& fileName);

}  // namespace jq
