#include "core/datafiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace jq {
namespace {

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Opens the temporary file `temp` for writing, creating it or taking over
// what an interrupted write left there, and locks it: another writer of the
// same file, in this process or another, waits until this one has renamed
// or removed it. Returns -1 when it cannot be had.
int OpenLockedTempFile(const std::string& temp) {
    bool removedLeftover = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Never through a link, and never waiting on a named pipe.
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
        if (fd < 0) {
            // A leftover that may not be written (it had taken a read-only
            // file's mode) makes room once.
            if (errno == EACCES && !removedLeftover && ::unlink(temp.c_str()) == 0) {
                removedLeftover = true;
                continue;
            }
            return -1;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            return -1;
        }
        int locked;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        // Where locks are not to be had, the write goes on unguarded.
        if (locked != 0 && errno != ENOLCK && errno != EOPNOTSUPP && errno != EINVAL) {
            ::close(fd);
            return -1;
        }
        // While this one waited, the writer holding the lock may have renamed
        // or removed the file; the name then stands for another file, or none,
        // and the open starts again.
        struct stat named {};
        if (::lstat(temp.c_str(), &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            return fd;
        ::close(fd);
    }
    return -1;
}

// A new file is readable and writable by the user, whatever mode a reused
// leftover had.
mode_t NewFileMode(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return S_IRUSR | S_IWUSR;
    return (st.st_mode & 07777) | S_IRUSR | S_IWUSR;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t maxBytes) {
    // Non-blocking, so that a named pipe in place of a file cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(maxBytes);
    size_t got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(fd, bytes.data() + got, maxBytes - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

bool ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (path.empty()) return false;
    struct stat st {};
    bool keepMode = false;
    mode_t mode = 0;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return false;
        keepMode = true;
        mode = st.st_mode & 07777;
    }
    const std::string temp = TempFileName(path);
    const int fd = OpenLockedTempFile(temp);
    if (fd < 0) return false;
    bool ok = ::ftruncate(fd, 0) == 0 && WriteAll(fd, bytes.data(), bytes.size());
    if (ok) ok = ::fchmod(fd, keepMode ? mode : NewFileMode(fd)) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    // Closing lets the next writer of this file in.
    ::close(fd);
    return ok;
}

std::string TempFileName(const std::string& path) { return path + ".tmp"; }

void LetWritesFailPastSizeLimit() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

std::string InFolder(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

}  // namespace jq
