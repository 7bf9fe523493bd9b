#include "platform/FileIo.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

void SetError(std::string* error, const std::string& what) {
    if (error != nullptr) {
        *error = what + ": " + std::strerror(errno);
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// Opens a new, uniquely named file beside target; the name is stored in *name.
int CreateTemporaryBeside(const std::string& target, std::string* name) {
    static std::atomic<uint32_t> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = target + ".tmp" + std::to_string(::getpid()) + "-" +
                std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
        // 0666 so that the umask decides a new file's permissions, as for any
        // file the user creates.
        const int fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

} // namespace

FileReadStatus ReadWholeFile(const std::string& path,
                             std::vector<uint8_t>& out,
                             size_t maxBytes,
                             std::string* error) {
    out.clear();
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return FileReadStatus::NotFound;
        }
        SetError(error, "open " + path);
        return FileReadStatus::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        SetError(error, "fstat " + path);
        ::close(fd);
        return FileReadStatus::Failed;
    }
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        SetError(error, "open " + path);
        ::close(fd);
        return FileReadStatus::Failed;
    }
    if (st.st_size > 0 && static_cast<uint64_t>(st.st_size) > maxBytes) {
        errno = EFBIG;
        SetError(error, "read " + path);
        ::close(fd);
        return FileReadStatus::Failed;
    }
    uint8_t buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetError(error, "read " + path);
            ::close(fd);
            out.clear();
            return FileReadStatus::Failed;
        }
        if (n == 0) {
            break;
        }
        // The size may have grown since fstat (or is unknown for a pipe).
        if (out.size() + static_cast<size_t>(n) > maxBytes) {
            errno = EFBIG;
            SetError(error, "read " + path);
            ::close(fd);
            out.clear();
            return FileReadStatus::Failed;
        }
        out.insert(out.end(), buffer, buffer + n);
    }
    ::close(fd);
    return FileReadStatus::Ok;
}

bool ReplaceFileContents(const std::string& path,
                         std::span<const uint8_t> bytes,
                         std::string* error) {
    std::string target = path;
    struct stat st {};
    bool exists = false;
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // Renaming over the link would turn it into a plain file.
            char resolved[PATH_MAX];
            if (::realpath(path.c_str(), resolved) != nullptr) {
                target = resolved;
            }
        }
        exists = ::stat(target.c_str(), &st) == 0;
        if (exists && S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            SetError(error, "open " + path);
            return false;
        }
    }

    std::string temporary;
    const int fd = CreateTemporaryBeside(target, &temporary);
    if (fd < 0) {
        SetError(error, "open " + FolderOf(target) + " (temporary file)");
        return false;
    }
    const auto fail = [&](const std::string& call) {
        SetError(error, call);
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return false;
    };
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) {
        ::close(fd);
        return fail("fchmod " + temporary);
    }
    if (!WriteAll(fd, bytes.data(), bytes.size())) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return fail("write " + temporary);
    }
    if (::fsync(fd) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return fail("fsync " + temporary);
    }
    if (::close(fd) != 0) {
        return fail("close " + temporary);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail("rename " + temporary + " to " + target);
    }
    // Make the rename itself durable; a failure here loses nothing already
    // visible, so it is not reported.
    const int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace platform
