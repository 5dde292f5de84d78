#include "scene/palette.h"

#include <vector>

#include "platform/files.h"
#include "scene/fields.h"
#include "scene/number_reader.h"
#include "scene/text_file.h"

namespace morva {

PaletteRGB ParsePalette(std::string_view text, const NumberFormat& format, std::string_view fileName) {
    PaletteRGB palette;
    std::array<std::uint8_t, kPaletteEntries>* const tables[] = {&palette.PaletteR, &palette.PaletteG,
                                                                 &palette.PaletteB};
    // The entries sit at fixed line numbers; a short file simply ends early.
    // Lines are taken only as far as the last entry, and only the three
    // fields that are read are cut out of each.
    for (LineCursor cursor(text); const std::optional<NumberedLine> raw = cursor.Next();) {
        const std::size_t lineIndex = raw->number - 1;
        if (lineIndex >= kPaletteFirstEntryLine + kPaletteEntries) break;
        if (lineIndex < kPaletteFirstEntryLine) continue;
        const std::optional<std::string_view> line = UsableLine(raw->text);
        if (!line) continue;
        const std::vector<std::string_view> fields = SplitFields(*line, kPaletteEntryFields);
        for (std::size_t c = 0; c < kPaletteEntryFields && c < fields.size(); ++c) {
            const std::string where = std::string(fileName) + ", line " + std::to_string(raw->number) +
                                      ", field " + std::to_string(c + 1);
            (*tables[c])[lineIndex - kPaletteFirstEntryLine] = ReadByteField(fields[c], format, where);
        }
    }
    return palette;
}

PaletteRGB LoadPalette(FileSystem& files, const std::string& folder, const NumberFormat& format) {
    const std::string path = JoinPath(folder, kPaletteFileName);
    return ParsePalette(InitFSO(files).fsoReadFile(path), format, path);
}

}  // namespace morva
