#include "platform/files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

}  // namespace

std::optional<std::string> PosixFileSystem::ReadFile(const std::string& path, std::string* error) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (error) *error = SystemError(errno);
        return std::nullopt;
    }
    // Only regular files: a pipe or a device (a link to /dev/zero, say)
    // could hang the program or never end.
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        if (error) *error = SystemError(errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        if (error) *error = S_ISDIR(info.st_mode) ? SystemError(EISDIR) : "not a regular file";
        return std::nullopt;
    }
    if (info.st_size > kMaxReadSize) {
        if (error) *error = "larger than " + std::to_string(kMaxReadSize >> 20) + " MiB";
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
            if (error) *error = "larger than " + std::to_string(kMaxReadSize >> 20) + " MiB";
            return std::nullopt;
        }
    }
    return content;
}

void PosixFileSystem::ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string temporary = path + ".tmp-" + std::to_string(::getpid());
    auto fail = [&](const std::string& what, int code) {
        ::unlink(temporary.c_str());
        throw MorvaError("Cannot write \"" + path + "\": " + what + ": " + SystemError(code));
    };
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0) fail("cannot create a temporary file", errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("write failed", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0 && errno != EINVAL) fail("sync failed", errno);
    if (fd.Close() != 0) fail("close failed", errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) fail("cannot replace the file", errno);
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
