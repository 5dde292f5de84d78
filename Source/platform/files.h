#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace morva {

// The largest text file the program reads; a scene or palette is a few
// kilobytes, and anything near this is a mistake.
inline constexpr std::int64_t kMaxReadSize = std::int64_t{512} << 20;

// The file operations of the program, behind a seam that tests replace.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // The whole content of a file, or nothing with the reason in *error.
    virtual std::optional<std::string> ReadFile(const std::string& path, std::string* error) = 0;
    // Replaces the file whole: the bytes go to a temporary file in the same
    // folder, which is then renamed over the target, so a failed write never
    // leaves a half-written file and never harms an existing one. Throws
    // MorvaError naming the file and the system's reason.
    virtual void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) = 0;
};

class PosixFileSystem final : public FileSystem {
public:
    std::optional<std::string> ReadFile(const std::string& path, std::string* error) override;
    void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
};

// The folder that holds the running program, without a trailing separator.
std::string ProgramFolder();

// Joins a folder and a file name with one separator.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace morva
