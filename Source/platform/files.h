#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace morva {

// The largest text file the program reads; a scene or palette is a few
// kilobytes, and anything near this is a mistake.
inline constexpr std::int64_t kMaxReadSize = std::int64_t{512} << 20;
// The reason ReadFile gives for a file over that size.
std::string TooLargeToRead();

// The file operations of the program, behind a seam that tests replace.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // The whole content of a regular file, or nothing with the reason in
    // *error when it is missing, unreadable or too large. A path that names
    // something else (a folder, a pipe, a device) is refused at once,
    // without waiting for a writer: throws MorvaError naming it.
    virtual std::optional<std::string> ReadFile(const std::string& path, std::string* error) = 0;
    // Refuses, by throwing MorvaError naming the path and the reason, what
    // ReplaceFile would refuse: a folder that is missing or may not be
    // written, a name that is a symbolic link or anything but a regular
    // file, a file this user may not write, a folder that takes no new file
    // whatever its permission bits say. Run before the work for a file
    // starts, so that no render is spent on a file that cannot be written.
    virtual void CheckReplaceable(const std::string& path) = 0;
    // Replaces the file whole after the same checks: the bytes go to a new,
    // exclusively created temporary file of an unpredictable name in the
    // same folder, which then takes the target's name, so a failed write
    // never leaves a half-written file, never harms an existing one and
    // never writes through a link planted in the folder. The new file keeps
    // the permission bits (and, where the system allows, the owner) of the
    // one it replaces. Throws MorvaError naming the file and the reason; no
    // temporary file is left behind.
    virtual void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) = 0;
};

class PosixFileSystem final : public FileSystem {
public:
    std::optional<std::string> ReadFile(const std::string& path, std::string* error) override;
    void CheckReplaceable(const std::string& path) override;
    void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
};

// What the system knows an output's name by: the device and inode of its
// folder and its last part. Two paths with the same key name one file
// however they reach its folder (a link, "..", a bind mount); ReplaceFile
// puts a new file under that name, so a hard link elsewhere is no clash.
// A path whose folder cannot be looked at (it will be refused anyway) gives
// its absolute, lexically normal text.
std::string OutputFileKey(const std::string& path);

// The folder that holds the running program, without a trailing separator.
std::string ProgramFolder();

// Joins a folder and a file name with one separator.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace morva
