#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "scene/scene.h"

namespace morva {

struct SessionConfig;

enum class CheckLevel : std::uint8_t {
    Warning,  // the render accepts it, but does something the writer likely did not mean
    Refusal,  // the render refuses the file
};

// One thing the checker found. A refusal carries the render's own message
// in what and no place of its own.
struct CheckFinding {
    CheckLevel level = CheckLevel::Warning;
    std::string place;  // "<file>, line <n>, field <k>"; the file alone for the whole file
    std::size_t line = 0;
    std::size_t field = 0;
    std::string what;  // what the program will actually do
    std::string fix;   // how to say what was meant
};

// Lints scene text: judges what the render's own reader (ReadScene) reports
// of each line and field, for userFormat, the number format the render
// reads integer fields in. The refusal, when there is one, is the reader's
// own (every scene the render accepts is accepted here too). Findings come
// refusal first, then by line and field, those of the whole file last.
std::vector<CheckFinding> CheckSceneText(std::string_view text, const NumberFormat& userFormat,
                                         std::string_view fileName = kSceneFileName);

// Lints palette text: judges what ReadPalette reports of each entry field.
std::vector<CheckFinding> CheckPaletteText(std::string_view text, const NumberFormat& userFormat,
                                           std::string_view fileName);

// "<place>: warning: <what>" and an indented "fix: <fix>" line; a refusal
// is "<message> (the render refuses this)".
std::string FormatFinding(const CheckFinding& finding);

// 0 when nothing was found, 1 with warnings only, 2 when a file is refused.
int CheckExitCode(const std::vector<CheckFinding>& findings);

// morva --check: lints MORVA.TXT and MORVA.pal of the folder without
// rendering; warnings on out, a refusal on err. A file the render will not
// read at all (a folder, a pipe, a device, one over the size limit) is a
// refusal. Only the first 100 warnings are printed, and only those are
// held; the rest are counted. Returns the exit code.
int RunCheck(const SessionConfig& config, std::ostream& out, std::ostream& err);

}  // namespace morva
