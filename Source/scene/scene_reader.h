#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "scene/number_reader.h"
#include "scene/scene.h"
#include "scene/scene_lines.h"

namespace morva {

// "<file>, line <n>, field <k>" for the user; line 0 means the whole file,
// field 0 the whole line.
std::string PlaceInFile(std::string_view fileName, std::size_t line, std::size_t field = 0);

// How a field is converted: a signed 32-bit integer, a byte (0 to 255), or
// a real read leniently.
enum class FieldType : std::uint8_t { Integer, Byte, Real };

// One field as a reader saw it: its text and what it became.
struct FieldSeen {
    std::size_t line = 0;   // counted from 1
    std::size_t field = 0;  // counted from 1 after the keyword
    std::string_view text;
    FieldType type = FieldType::Real;
    IntegerReading integer;  // Integer and Byte fields
    RealReading real;        // Real fields
};

// One line as the scene reader saw it.
struct LineSeen {
    std::size_t number = 0;  // counted from 1
    std::string_view raw;    // as cut, with its carriage return
    // The line less its carriage return; nothing when it holds one character
    // or none and so takes no part.
    std::optional<std::string_view> usable;
    SceneLine kind = SceneLine::Comment;  // of the usable line, or of the raw one when it is skipped
};

// Receives what a reader saw, in file order: each line, then its fields.
// The palette reader reports its fields only.
class ReadingReport {
public:
    virtual ~ReadingReport() = default;
    virtual void OnLine(const LineSeen& /*line*/) {}
    virtual void OnField(const FieldSeen& field) = 0;
};

// A whole reading of scene text.
struct SceneReading {
    Scene scene;
    // The render's message for the first fault; the scene is then of no use.
    std::optional<std::string> refusal;
    std::size_t headerLine = 0;  // the last header line; 0 when there is none
    std::size_t seedLine = 0;    // the last "_setseed" line; 0 when there is none
    std::size_t transformLines = 0;
    std::array<std::size_t, kTransformSlots> slotLine{};  // the line that filled each slot
};

// Reads scene text as the render does, with its derived values. report, when
// given, hears of every line and field, also after a fault: the first fault
// is kept as the refusal, and the rest of the text is still read (and
// reported) without it. Without a report the reading ends at the first
// fault.
SceneReading ReadScene(std::string_view text, std::int32_t startSeed, const NumberFormat& format,
                       std::string_view fileName, ReadingReport* report);

}  // namespace morva
