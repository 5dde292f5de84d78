#include "scene/palette.h"

#include <vector>

#include "platform/files.h"
#include "scene/fields.h"
#include "scene/number_reader.h"
#include "scene/text_file.h"

namespace morva {

namespace {

// The three header lines of the format (tag, version, count) before the
// first entry.
constexpr std::size_t kFirstEntryLine = 3;
constexpr std::size_t kEntries = 256;

}  // namespace

PaletteRGB ParsePalette(std::string_view text, const NumberFormat& format, std::string_view fileName) {
    PaletteRGB palette;
    std::array<std::uint8_t, kEntries>* const tables[] = {&palette.PaletteR, &palette.PaletteG,
                                                          &palette.PaletteB};
    // The entries sit at fixed line numbers; a short file simply ends early.
    // Lines are cut as CutLines cuts them, but only as far as the last entry
    // and only into the three fields that are read.
    std::size_t start = 0;
    for (std::size_t lineIndex = 0; lineIndex < kFirstEntryLine + kEntries && start < text.size();
         ++lineIndex) {
        const std::size_t feed = text.find('\n', start);
        const std::string_view raw = text.substr(start, feed == std::string_view::npos ? feed : feed - start);
        start = feed == std::string_view::npos ? text.size() + 1 : feed + 1;
        if (lineIndex < kFirstEntryLine) continue;
        const std::size_t entry = lineIndex - kFirstEntryLine;
        const std::optional<std::string_view> line = UsableLine(raw);
        if (!line) continue;
        const std::vector<std::string_view> fields = SplitFields(*line, 3);
        for (std::size_t c = 0; c < 3 && c < fields.size(); ++c) {
            const std::string where = std::string(fileName) + ", line " + std::to_string(lineIndex + 1) +
                                      ", field " + std::to_string(c + 1);
            (*tables[c])[entry] = ReadByteField(fields[c], format, where);
        }
    }
    return palette;
}

PaletteRGB LoadPalette(FileSystem& files, const std::string& folder, const NumberFormat& format) {
    const std::string path = JoinPath(folder, kPaletteFileName);
    return ParsePalette(InitFSO(files).fsoReadFile(path), format, path);
}

}  // namespace morva
