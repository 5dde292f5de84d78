#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace morva {

class FileSystem;
struct SessionConfig;

// The text with line lineNumber (counted from 1, cut at line feeds as the
// scene reader cuts them) replaced by newLine; its carriage return, its
// line feed and every other byte are kept. The text as it is when there is
// no such line.
std::string ReplaceLine(std::string_view text, std::size_t lineNumber, std::string_view newLine);

inline std::span<const std::uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Writes scene text to path through the file system's safe replacement and
// says so on log. Throws MorvaError when it cannot be written.
void SaveSceneText(FileSystem& files, const std::string& path, std::string_view text, std::ostream& log);

// morva --save-scene FILE: writes the scene of the run exactly as the render
// would read it (a library entry with its framed header) to FILE, so that
// 'morva FILE' renders the same picture. Returns 0, or 1 with the reason on
// err when the scene cannot be read or FILE not written.
int RunSaveScene(const SessionConfig& config, const std::string& path, std::ostream& err);

}  // namespace morva
