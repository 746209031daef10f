// The working folder: where the program finds its options, data, sounds,
// pictures and help. It is the current directory at start-up, not the
// folder of the executable.
#pragma once

#include <string>

// The current directory followed by '/', exactly one at the end (the root
// gives "/"). Empty when the current directory cannot be found.
std::string GetCurrentFolder();

// Pictures come from the "images" folder of the working folder when it has
// one; otherwise the artwork search of the platform layer stays in force.
void UseWorkingFolderPictures(const std::string& folder);
