#include "platform/FileIo.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
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

NewFileStatus
CreateNewFile(const std::string& path, std::span<const uint8_t> bytes, std::string* error) {
    std::string temporary;
    const int fd = CreateTemporaryBeside(path, &temporary);
    if (fd < 0) {
        SetError(error, "open " + FolderOf(path) + " (temporary file)");
        return NewFileStatus::Failed;
    }
    const auto fail = [&](const std::string& call) {
        SetError(error, call);
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return NewFileStatus::Failed;
    };
    if (!WriteAll(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return fail("write " + temporary);
    }
    if (::close(fd) != 0) {
        return fail("close " + temporary);
    }
    // link() refuses an existing name, where rename() would replace it.
    if (::link(temporary.c_str(), path.c_str()) != 0) {
        if (errno == EEXIST) {
            ::unlink(temporary.c_str());
            return NewFileStatus::Exists;
        }
        return fail("link " + temporary + " to " + path);
    }
    ::unlink(temporary.c_str());
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return NewFileStatus::Created;
}

bool RemoveFile(const std::string& path, std::string* error) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
        return true;
    }
    SetError(error, "unlink " + path);
    return false;
}

bool MakeFolders(const std::string& path, std::string* error) {
    if (path.empty()) {
        errno = ENOENT;
        SetError(error, "mkdir");
        return false;
    }
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            SetError(error, "mkdir " + part);
            return false;
        }
        if (end == std::string::npos) {
            break;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        SetError(error, "mkdir " + path);
        return false;
    }
    return true;
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string UserDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.local/share";
    }
    return {};
}

} // namespace platform
