#include "scene/palette.h"

#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "scene/fields.h"
#include "scene/number_reader.h"
#include "scene/text_file.h"

namespace morva {

PaletteReading ReadPalette(std::string_view text, const NumberFormat& format, std::string_view fileName,
                           ReadingReport* report) {
    PaletteReading reading;
    std::array<std::uint8_t, kPaletteEntries>* const tables[] = {
        &reading.palette.PaletteR, &reading.palette.PaletteG, &reading.palette.PaletteB};
    // The entries sit at fixed line numbers; a short file simply ends early.
    // Lines are taken only as far as the last entry, and only the three
    // fields that are read are cut out of each.
    for (LineCursor cursor(text); const std::optional<NumberedLine> raw = cursor.Next();) {
        // Without a report nothing after the first fault is of use.
        if (reading.refusal && !report) break;
        const std::size_t lineIndex = raw->number - 1;
        if (lineIndex >= kPaletteFirstEntryLine + kPaletteEntries) break;
        if (lineIndex < kPaletteFirstEntryLine) continue;
        const std::optional<std::string_view> line = UsableLine(raw->text);
        if (!line) continue;
        const std::vector<std::string_view> fields = SplitFields(*line, kPaletteEntryFields);
        for (std::size_t c = 0; c < kPaletteEntryFields && c < fields.size(); ++c) {
            const IntegerReading byte = ParseIntegerText(fields[c], format, 0, 255);
            if (report) report->OnField({raw->number, c + 1, fields[c], FieldType::Byte, byte, {}});
            if (byte.fault == NumberFault::None) {
                (*tables[c])[lineIndex - kPaletteFirstEntryLine] = static_cast<std::uint8_t>(byte.value);
            } else if (!reading.refusal) {
                reading.refusal =
                    IntegerFaultMessage(byte, fields[c], PlaceInFile(fileName, raw->number, c + 1), 0, 255);
            }
        }
    }
    return reading;
}

PaletteRGB ParsePalette(std::string_view text, const NumberFormat& format, std::string_view fileName) {
    PaletteReading reading = ReadPalette(text, format, fileName, nullptr);
    if (reading.refusal) throw MorvaError(*reading.refusal);
    return reading.palette;
}

PaletteRGB LoadPalette(FileSystem& files, const std::string& folder, const NumberFormat& format) {
    const std::string path = JoinPath(folder, kPaletteFileName);
    return ParsePalette(InitFSO(files).fsoReadFile(path), format, path);
}

}  // namespace morva
