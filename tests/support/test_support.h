#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morva::test {

// A fresh, uniquely named folder under the system's temporary folder,
// removed with its content when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteTextFile(const std::string& path, const std::string& content);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace morva::test
