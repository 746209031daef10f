#include "core/datafiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

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

// Locks the temporary file open at `fd`, waiting while another writer holds
// it, and tells whether `temp` still names that file: while this one waited,
// the writer holding the lock may have renamed the file away or removed it.
bool LockAndStillNamed(int fd, const std::string& temp) {
    int locked;
    while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    // Where locks are not to be had, the write goes on unguarded.
    if (locked != 0 && errno != ENOLCK && errno != EOPNOTSUPP && errno != EINVAL) return false;
    struct stat opened {}, named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(temp.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
           named.st_ino == opened.st_ino;
}

// Removes what stands at the temporary name: the name only, never what it
// links to. A file that another writer is still writing (it holds its lock)
// is waited for instead. False when the name cannot be cleared (a folder,
// or no right to remove it).
bool RemoveLeftover(const std::string& temp) {
    struct stat named {};
    if (::lstat(temp.c_str(), &named) != 0) return errno == ENOENT;
    if (S_ISDIR(named.st_mode)) return false;
    // A writer's file has no other name; one linked elsewhere goes at once.
    if (S_ISREG(named.st_mode) && named.st_nlink == 1) {
        // Read-only, so that nothing written can reach the file.
        const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd >= 0) {
            const bool leftover = LockAndStillNamed(fd, temp);
            const bool removed = !leftover || ::unlink(temp.c_str()) == 0 || errno == ENOENT;
            ::close(fd);
            return removed;
        }
        if (errno == ENOENT) return true;
        // A file that may not even be read is none of a writer's.
    }
    return ::unlink(temp.c_str()) == 0 || errno == ENOENT;
}

// Creates the temporary file `temp` afresh, never taking over a file that
// is there, and locks it: another writer of the same file, in this process
// or another, waits until this one has renamed or removed it. Returns -1
// when it cannot be had.
int CreateLockedTempFile(const std::string& temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // Another writer may have taken it for a leftover before the lock.
            if (LockAndStillNamed(fd, temp)) return fd;
            ::close(fd);
        } else if (errno != EEXIST || !RemoveLeftover(temp)) {
            return -1;
        }
    }
    return -1;
}

// The longest name the folder of `path` takes; the usual limit where the
// folder cannot be asked (it is missing, and the write will fail anyway).
size_t NameMaxOfFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    errno = 0;
    const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (max > 0) return static_cast<size_t>(max);
    return errno == 0 ? SIZE_MAX : NAME_MAX;  // -1 without an error: no limit
}

// FNV-1a, 64 bits: the same name always gives the same temporary name.
uint64_t NameHash(std::string_view name) {
    uint64_t h = 14695981039346656037ull;
    for (const char c : name) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    return h;
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
    if (path.empty() || path.back() == '/') return false;
    struct stat st {};
    bool keepMode = false;
    mode_t mode = 0;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return false;
        keepMode = true;
        mode = st.st_mode & 0777;
    } else if (errno == ENAMETOOLONG) {
        return false;  // a name longer than the folder takes
    }
    const std::string temp = TempFileName(path);
    int fd = CreateLockedTempFile(temp);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    if (ok && keepMode) ok = ::fchmod(fd, mode) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (ok) {
        // Closing reports what the file system could not write; a second
        // descriptor keeps the lock until the name is renamed away.
        const int keeper = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        ok = keeper >= 0 && ::close(fd) == 0;
        if (keeper >= 0) fd = keeper;
    }
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    // Closing lets the next writer of this file in.
    ::close(fd);
    return ok;
}

std::string TempFileName(const std::string& path) { return TempFileName(path, NameMaxOfFolder(path)); }

std::string TempFileName(const std::string& path, size_t nameMax) {
    static constexpr std::string_view kSuffix = ".jq-save";
    const size_t start = path.rfind('/') + 1;  // 0 without a folder
    const std::string_view name = std::string_view(path).substr(start);
    std::string temp = path.substr(0, start) + ".";
    if (1 + name.size() + kSuffix.size() <= nameMax) return temp.append(name).append(kSuffix);
    // Too long with the marks added: the head of the name, cut between
    // characters of UTF-8, and a hash of the whole name, which keeps the
    // temporary names of two long names with one head apart.
    char hash[18];
    std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(NameHash(name)));
    const size_t marks = 1 + (sizeof hash - 1) + kSuffix.size();
    size_t head = nameMax > marks ? std::min(name.size(), nameMax - marks) : 0;
    while (head > 0 && head < name.size() && (static_cast<uint8_t>(name[head]) & 0xC0) == 0x80) --head;
    return temp.append(name.substr(0, head)).append(hash).append(kSuffix);
}

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
