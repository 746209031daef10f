// Shared pieces of the fuzz targets that read their input as a file of the
// game's working folder.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline void Require(bool ok) {
    if (!ok) std::abort();
}

// A folder of this process's own (in memory where the system offers it) for
// the one file named `fileName`; both are removed at exit. Returns the
// folder with a trailing '/'.
inline std::string ScratchFolder(const char* fileName) {
    static char folder[64];
    static std::string file;
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::snprintf(folder, sizeof folder, "%s/jq-fuzz-XXXXXX", base);
    Require(mkdtemp(folder) != nullptr);
    file = std::string(folder) + "/" + fileName;
    std::atexit([] {
        std::remove(file.c_str());
        rmdir(folder);
    });
    return std::string(folder) + "/";
}

}  // namespace fuzz
