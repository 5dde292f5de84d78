#include "platform/files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/error.h"

namespace morva {

namespace {

std::string SystemError(int code) { return std::strerror(code); }

// Closes a descriptor on every path out of a scope unless released.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int Close() {
        int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// What a file of a mode is, for a message that refuses it.
std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISLNK(mode)) return "a symbolic link";
    return "not a regular file";
}

[[noreturn]] void RefuseInput(const std::string& path, mode_t mode) {
    throw MorvaError("Cannot read " + Quoted(path) + ": it is " + KindOf(mode) +
                     ", and only regular files are read");
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

[[noreturn]] void RefuseOutput(const std::string& path, const std::string& reason) {
    throw MorvaError("Cannot write " + Quoted(path) + ": " + reason);
}

// Looks at what stands at an output path before it is written. Returns the
// status of the regular file that will be replaced, or nothing for a new
// file; throws for everything that must not be replaced. Only the last part
// of the path is taken as it stands: a folder reached through a link is
// still that folder.
std::optional<struct stat> InspectTarget(const std::string& path) {
    if (path.empty()) throw MorvaError("Cannot write a file without a name");
    if (path.back() == '/') RefuseOutput(path, "the name ends in \"/\", which names a folder");
    const std::string folder = FolderOf(path);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        const int code = errno;
        if (code == ENOENT) RefuseOutput(path, "the folder " + Quoted(folder) + " does not exist");
        RefuseOutput(path, "cannot reach the folder " + Quoted(folder) + ": " + SystemError(code));
    }
    if (!S_ISDIR(info.st_mode)) RefuseOutput(path, Quoted(folder) + " is not a folder");
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        RefuseOutput(path, "cannot create files in the folder " + Quoted(folder) + ": " + SystemError(errno));
    }
    if (::lstat(path.c_str(), &info) != 0) {
        const int code = errno;
        if (code == ENOENT) return std::nullopt;
        RefuseOutput(path, SystemError(code));
    }
    if (S_ISLNK(info.st_mode)) {
        RefuseOutput(path,
                     "it is a symbolic link, and links are never written through; remove the link or name "
                     "the file it points to");
    }
    if (!S_ISREG(info.st_mode)) {
        RefuseOutput(path, "it is " + KindOf(info.st_mode) + ", and only regular files are replaced");
    }
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        RefuseOutput(path,
                     "this user may not write the file (" + SystemError(errno) + "); it is left as it is");
    }
    return info;
}

// Letters for the unpredictable part of a temporary file's name. The
// exclusive creation is what makes the file safe; the random name keeps
// anyone from reserving it in advance.
std::string RandomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    constexpr std::size_t kLength = 10;
    unsigned char random[kLength] = {};
    if (::getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        // Early in boot: the clock still varies enough for a name that the
        // exclusive creation retries on a clash.
        auto mix = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        for (auto& byte : random) {
            mix = mix * 6364136223846793005ull + 1442695040888963407ull;
            byte = static_cast<unsigned char>(mix >> 56);
        }
    }
    std::string suffix;
    for (const unsigned char byte : random) suffix += kLetters[byte % (sizeof kLetters - 1)];
    return suffix;
}

// A new file beside the target that nobody else can have opened: created
// exclusively, never through a link. Removed when the object goes, unless
// it has taken the target's name.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target,
                           const std::string& failure = "cannot create a temporary file beside it")
        : target_(target) {
        constexpr int kAttempts = 100;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            path_ = target + ".tmp-" + RandomSuffix();
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd_ >= 0) return;
            if (errno != EEXIST) break;
        }
        const int code = errno;
        path_.clear();
        RefuseOutput(target, failure + ": " + SystemError(code));
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }

    [[noreturn]] void Fail(const std::string& what, int code) const {
        RefuseOutput(target_, what + ": " + SystemError(code));
    }

    void CloseAndRename() {
        const int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0) Fail("close failed", errno);
        if (::rename(path_.c_str(), target_.c_str()) != 0) Fail("cannot replace the file", errno);
        path_.clear();
    }

private:
    std::string target_;
    std::string path_;
    int fd_ = -1;
};

}  // namespace

std::string TooLargeToRead() { return "larger than " + std::to_string(kMaxReadSize >> 20) + " MiB"; }

std::optional<std::string> PosixFileSystem::ReadFile(const std::string& path, std::string* error) {
    // Only regular files: a pipe or a device (a link to /dev/zero, say)
    // could hang the program or never end. A look before the open keeps
    // devices unopened; the open does not wait for a pipe's writer, and the
    // look at the open file settles any change in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) RefuseInput(path, info.st_mode);
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        if (error) *error = SystemError(errno);
        return std::nullopt;
    }
    if (::fstat(fd.get(), &info) != 0) {
        if (error) *error = SystemError(errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) RefuseInput(path, info.st_mode);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    if (info.st_size > kMaxReadSize) {
        if (error) *error = TooLargeToRead();
        return std::nullopt;
    }
    std::string content;
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (error) *error = SystemError(errno);
            return std::nullopt;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<std::int64_t>(content.size()) > kMaxReadSize) {
            if (error) *error = TooLargeToRead();
            return std::nullopt;
        }
    }
    return content;
}

void PosixFileSystem::CheckReplaceable(const std::string& path) {
    (void)InspectTarget(path);
    // The permission bits do not settle it: root passes them in /proc and
    // /sys, and so does the client of a network share that maps root to
    // nobody. A file created there, exclusively, and removed again does.
    TemporaryFile probe(path, "cannot create files in the folder " + Quoted(FolderOf(path)));
}

void PosixFileSystem::ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    // Looked at again: the target may have changed since the check before
    // the render.
    const std::optional<struct stat> replaced = InspectTarget(path);
    TemporaryFile temporary(path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(temporary.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            temporary.Fail("write failed", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (replaced) {
        // The owner first, then the permission bits (set-id bits are not
        // carried over to a picture). Only a privileged user may give a file
        // away; for anyone else the file stays theirs, with the old group
        // where they belong to it.
        if (::fchown(temporary.fd(), replaced->st_uid, replaced->st_gid) != 0 &&
            ::fchown(temporary.fd(), static_cast<uid_t>(-1), replaced->st_gid) != 0) {
            // Both owner and group stay this user's.
        }
        if (::fchmod(temporary.fd(), replaced->st_mode & 0777) != 0) {
            temporary.Fail("cannot keep the file's permissions", errno);
        }
    }
    if (::fsync(temporary.fd()) != 0 && errno != EINVAL) temporary.Fail("sync failed", errno);
    temporary.CloseAndRename();
}

std::string OutputFileKey(const std::string& path) {
    struct stat folder {};
    if (!path.empty() && path.back() != '/' && ::stat(FolderOf(path).c_str(), &folder) == 0) {
        return std::to_string(folder.st_dev) + ":" + std::to_string(folder.st_ino) + "/" +
               path.substr(path.rfind('/') + 1);
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

std::string ProgramFolder() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    std::string path(buffer, static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace morva
