#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/files.h"

namespace morva::test {

// Files held in memory; writes can be made to fail, as a full disk would.
class MemoryFileSystem final : public FileSystem {
public:
    std::map<std::string, std::string> files;
    bool failWrites = false;

    std::optional<std::string> ReadFile(const std::string& path, std::string* error) override {
        auto found = files.find(path);
        if (found == files.end()) {
            if (error) *error = "No such file or directory";
            return std::nullopt;
        }
        return found->second;
    }

    void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) override {
        if (failWrites) throw MorvaError("Cannot write \"" + path + "\": No space left on device");
        files[path] = std::string(bytes.begin(), bytes.end());
    }
};

}  // namespace morva::test
