#pragma once

#include <map>
#include <new>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"

namespace morva::test {

// Files in memory; writes can be made to fail, as a full disk or a locked
// file would make them, and the checks before a render are recorded.
class FakeFileSystem final : public FileSystem {
public:
    std::map<std::string, std::string> files;
    std::vector<std::string> checks;
    std::vector<std::string> writes;
    bool failWrites = false;
    std::string refusedPath;      // the check refuses this one
    std::string outOfMemoryPath;  // its write fails as an allocation would

    std::optional<std::string> ReadFile(const std::string& path, std::string* error) override {
        auto found = files.find(path);
        if (found == files.end()) {
            if (error) *error = "No such file or directory";
            return std::nullopt;
        }
        return found->second;
    }
    void CheckReplaceable(const std::string& path) override {
        checks.push_back(path);
        if (path == refusedPath) throw MorvaError("Cannot write \"" + path + "\": it is a folder");
    }
    void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) override {
        writes.push_back(path);
        if (path == outOfMemoryPath) throw std::bad_alloc();
        if (failWrites) throw MorvaError("Cannot write \"" + path + "\": No space left on device");
        files[path] = std::string(bytes.begin(), bytes.end());
    }
};

}  // namespace morva::test
