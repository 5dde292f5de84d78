#include "scene/text_file.h"

#include <cstdint>
#include <span>

#include "platform/error.h"
#include "platform/files.h"

namespace morva {

std::string TextFileService::fsoReadFile(const std::string& FileName) const {
    std::string error;
    std::optional<std::string> content = files_.ReadFile(FileName, &error);
    if (content) return std::move(*content);
    // A file the program will not read whole is no missing file: reading
    // it as empty would hide it.
    if (error == TooLargeToRead()) throw MorvaError(FileName + ": cannot read the file: " + error);
    return std::string();
}

bool TextFileService::fsoRecordFile(const std::string& FileName, std::string_view Str,
                                    std::string* error) const {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(Str.data()), Str.size());
    try {
        files_.ReplaceFile(FileName, bytes);
    } catch (const MorvaError& failure) {
        // A lost write must not pass for a saved file; the caller decides
        // whether to tell the user.
        if (error) *error = failure.what();
        return false;
    }
    return true;
}

TextFileService InitFSO(FileSystem& files) { return TextFileService(files); }

}  // namespace morva
