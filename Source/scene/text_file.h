#pragma once

#include <string>
#include <string_view>

namespace morva {

class FileSystem;

// The whole-file text service through which the scene and the palette are
// read. Text is handled as bytes; every character the readers look at is
// ASCII.
class TextFileService {
public:
    explicit TextFileService(FileSystem& files) : files_(files) {}

    // The whole content of the file with its line ends as they stand, or the
    // empty string when the file is missing, unreadable or empty. A path
    // that is not a regular file (a folder, a pipe), or a file larger than
    // the program reads (kMaxReadSize), is refused: MorvaError.
    std::string fsoReadFile(const std::string& FileName) const;

    // Replaces the file whole with exactly the bytes of Str (no line end is
    // added). Returns false, with the reason in *error when given, if the
    // file could not be written; an existing file is then left unharmed.
    bool fsoRecordFile(const std::string& FileName, std::string_view Str, std::string* error = nullptr) const;

private:
    FileSystem& files_;
};

// The text-file service of the session, over the given file operations.
TextFileService InitFSO(FileSystem& files);

}  // namespace morva
