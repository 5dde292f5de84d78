#include "session/scene_check.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <ostream>
#include <tuple>

#include "platform/error.h"
#include "platform/files.h"
#include "scene/fields.h"
#include "scene/number_reader.h"
#include "scene/palette.h"
#include "scene/scene_contract.h"
#include "scene/scene_lines.h"
#include "scene/text_file.h"
#include "session/frm_morva.h"
#include "session/scene_source.h"

namespace morva {

namespace {

// Warnings printed before the rest are only counted: a file of a million
// broken lines must not bury the terminal.
constexpr std::size_t kMostPrinted = 100;

constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool HasNonBlank(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return !IsBlank(c); });
}

// A tab between two other characters, where a separator was likely meant.
bool HoldsInnerTab(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
    return first != std::string_view::npos &&
           text.substr(first, last - first).find('\t') != std::string_view::npos;
}

std::string Real(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

std::string Place(std::string_view fileName, std::size_t line, std::size_t field = 0) {
    std::string place(fileName);
    if (line > 0) place += ", line " + std::to_string(line);
    if (field > 0) place += ", field " + std::to_string(field);
    return place;
}

// What a line kind does, for "... so it is read as <this>".
std::string KindEffect(SceneLine kind) {
    switch (kind) {
        case SceneLine::kHeader:
            return "a header line, which replaces the scene's scales, offsets, exposure and counts";
        case SceneLine::kHiRes:
            return "a \"D\" line: high resolution on and 16 times the groups";
        case SceneLine::kStandardSpeed:
            return "an \"S\" line: the standard-speed selection, which no seed makes reproducible";
        case SceneLine::kAffine:
            return "an affine map, which takes the next slot of the transform table";
        case SceneLine::kProjective:
            return "a projective map, which takes the next slot of the transform table";
        case SceneLine::kQuadratic:
            return "a quadratic map, which takes the next slot of the transform table";
        default:
            return "a command";
    }
}

bool IsCommand(SceneLine kind) {
    return kind == SceneLine::kHeader || kind == SceneLine::kHiRes || kind == SceneLine::kStandardSpeed ||
           IsTransform(kind);
}

std::string FormatName(const NumberFormat& format) {
    return "decimal point \"" + format.decimalPoint + "\", grouping " +
           (format.groupingSeparator.empty() ? std::string("none") : "\"" + format.groupingSeparator + "\"");
}

std::string ReadingText(const IntegerReading& reading) {
    switch (reading.fault) {
        case NumberFault::kTypeMismatch:
            return "not a number";
        case NumberFault::kOverflow:
            return "out of range";
        case NumberFault::kNone:
            break;
    }
    return std::to_string(reading.value);
}

class Checker {
public:
    Checker(std::string_view fileName, const NumberFormat& userFormat)
        : fileName_(fileName), userFormat_(userFormat) {}

    std::vector<CheckFinding> TakeFindings() {
        std::stable_sort(
            findings_.begin(), findings_.end(), [](const CheckFinding& a, const CheckFinding& b) {
                // Lines in order, then what concerns the whole file.
                const auto key = [](const CheckFinding& f) {
                    return std::make_tuple(f.level == CheckLevel::kWarning, f.line == 0, f.line, f.field);
                };
                return key(a) < key(b);
            });
        return std::move(findings_);
    }

    void Warn(std::size_t line, std::size_t field, std::string what, std::string fix) {
        findings_.push_back({CheckLevel::kWarning, Place(fileName_, line, field), line, field,
                             std::move(what), std::move(fix)});
    }

    void Refuse(const std::string& message) {
        findings_.push_back({CheckLevel::kRefusal, "", 0, 0, message, ""});
    }

    // A whole-number field as the render reads it (userFormat) and as a
    // reader in the C locale would.
    void CheckInteger(std::string_view text, std::size_t line, std::size_t field, std::int32_t minimum,
                      std::int32_t maximum) {
        if (HoldsInnerTab(text)) {
            Warn(line, field, "a tab is no field separator: " + QuotedField(text) + " is one field",
                 "separate the fields by single spaces");
        }
        const IntegerReading user = ParseIntegerText(text, userFormat_, minimum, maximum);
        if (user.fault == NumberFault::kNone && user.unrounded != static_cast<double>(user.value)) {
            Warn(line, field,
                 QuotedField(text) + " is not a whole number: it is rounded to " +
                     std::to_string(user.value) + " (a half goes to the even neighbour)",
                 "write the whole number meant, such as \"" + std::to_string(user.value) + "\"");
        }
        const NumberFormat c{};
        if (userFormat_.decimalPoint == c.decimalPoint &&
            userFormat_.groupingSeparator == c.groupingSeparator)
            return;
        const IntegerReading inC = ParseIntegerText(text, c, minimum, maximum);
        if (user.fault != inC.fault || user.value != inC.value) {
            Warn(line, field,
                 QuotedField(text) + " reads as " + ReadingText(user) + " in your locale (" +
                     FormatName(userFormat_) + ") but as " + ReadingText(inC) +
                     " in the C locale: the scene renders differently for someone else",
                 "write whole numbers as plain digits, with no decimal point or separator");
        }
    }

    // A real field, which is read leniently: as much of a number as stands
    // at its start, or 0.
    void CheckReal(std::string_view text, std::size_t line, std::size_t field) {
        const RealReading reading = ParseLenientReal(text);
        if (HoldsInnerTab(text)) {
            Warn(line, field,
                 "a tab is no field separator, and blanks inside a number are skipped: " + QuotedField(text) +
                     " is one field and reads as " + Real(reading.value),
                 "separate the fields by single spaces");
            return;
        }
        const std::string_view rest = text.substr(reading.end);
        if (!HasNonBlank(rest)) return;
        std::string what = reading.end == 0
                               ? QuotedField(text) + " does not begin with a number: it reads as 0"
                               : "only " + QuotedField(text.substr(0, reading.end)) + " of " +
                                     QuotedField(text) + " is read: it reads as " + Real(reading.value);
        std::string fix;
        const std::string_view junk = rest.substr(rest.find_first_not_of(" \t"));
        if (junk.front() == ',') {
            std::string meant(text);
            std::replace(meant.begin(), meant.end(), ',', '.');
            fix = "the decimal point is \".\" whatever the locale: write " + QuotedField(meant);
        } else if (junk.find_first_of("oO") == 0 || (reading.end == 0 && text.find_first_of("oO") <= 1)) {
            std::string meant(text);
            std::replace(meant.begin(), meant.end(), 'O', '0');
            std::replace(meant.begin(), meant.end(), 'o', '0');
            fix = "a letter O where a zero belongs? write " + QuotedField(meant);
        } else {
            fix = "write the number alone, such as \"0.5\", \"-1.25\" or \"2e-3\"";
        }
        Warn(line, field, std::move(what), std::move(fix));
    }

    void CheckEmpty(std::size_t line, std::size_t field, bool wholeNumber) {
        Warn(line, field,
             "the field is empty (two spaces in a row, or a space at the end of the line): " +
                 std::string(wholeNumber
                                 ? "the render refuses an empty whole-number field"
                                 : "it reads as 0, and every later value is read one field further on"),
             "separate the fields by single spaces");
    }

private:
    std::string_view fileName_;
    const NumberFormat& userFormat_;
    std::vector<CheckFinding> findings_;
};

// How the lines of a scene were laid out, as far as the checks after the
// last line need it.
struct SceneLayout {
    std::size_t headerLine = 0;
    std::size_t seedLine = 0;
    std::vector<std::size_t> transformLines;
};

void CheckSceneLine(Checker& checker, std::string_view line, std::size_t number, SceneLayout& layout) {
    const SceneLine kind = KindOfSceneLine(line);
    const std::string_view keyword = line.substr(0, line.find(' '));

    if (kind == SceneLine::kComment && IsBlank(line.front())) {
        const std::string_view trimmed = line.substr(std::min(line.find_first_not_of(" \t"), line.size()));
        if (!trimmed.empty() && KindOfSceneLine(trimmed) != SceneLine::kComment) {
            checker.Warn(number, 0,
                         "the line begins with a blank, so it is a comment and the \"" +
                             std::string(1, trimmed.front()) + "\" line is ignored",
                         "remove the blank at the start of the line");
        }
    }
    if (kind == SceneLine::kIgnoredDirective && keyword.size() > 8) {
        std::string lower(keyword.substr(0, 8));
        for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (lower == "_setseed") {
            checker.Warn(number, 0,
                         QuotedField(keyword) +
                             " is not the keyword \"_setseed\": the line is ignored and the "
                             "seed is not set",
                         "put a space between \"_setseed\" and the number");
        }
    }
    if (IsCommand(kind) && keyword.size() > 1) {
        const bool word = keyword.size() >= 2 && IsLetter(keyword[1]);
        checker.Warn(number, 0,
                     "the line begins with \"" + std::string(1, line.front()) + "\", so it is read as " +
                         KindEffect(kind) + "; the rest of " + QuotedField(keyword) + " is not looked at",
                     word ? "begin comment lines with a character that is no command, such as \"#\""
                          : "put a space after the keyword \"" + std::string(1, line.front()) + "\"");
    }

    switch (kind) {
        case SceneLine::kHeader:
            layout.headerLine = number;
            break;
        case SceneLine::kSeed:
            layout.seedLine = number;
            break;
        case SceneLine::kStandardSpeed:
            checker.Warn(
                number, 0,
                "the \"S\" line switches to the standard-speed selection, which draws from a generator "
                "seeded from the clock: no two renders are alike, even with \"_setseed\"",
                "remove the line for a reproducible render (the fast selection is the default)");
            break;
        default:
            if (IsTransform(kind)) layout.transformLines.push_back(number);
            break;
    }

    const std::size_t read = FieldsRead(kind);
    if (read == 0) return;
    const std::vector<std::string_view> fields = SplitFields(line, read + 1);
    const bool wholeNumbers = !IsTransform(kind);
    for (std::size_t k = 1; k < fields.size(); ++k) {
        if (fields[k].empty()) {
            checker.CheckEmpty(number, k, wholeNumbers);
        } else if (!wholeNumbers) {
            checker.CheckReal(fields[k], number, k);
        } else if (kind == SceneLine::kHeader && k == 5) {
            checker.CheckInteger(fields[k], number, k, 0, 255);  // the hit value is a byte
        } else {
            checker.CheckInteger(fields[k], number, k, kInt32Min, kInt32Max);
        }
    }
}

// The checks that need the whole scene as the render reads it.
void CheckSceneAsRead(Checker& checker, const Scene& scene, const SceneLayout& layout) {
    const SceneSettings& s = scene.settings;
    const std::size_t lines =
        std::min(layout.transformLines.size(), static_cast<std::size_t>(kTransformSlots));
    const auto count = static_cast<std::size_t>(s.TransformCount);
    if (count != lines) {
        const std::string counts = "the header says " + std::to_string(count) +
                                   " transforms (field 8) and the file has " + std::to_string(lines) +
                                   " transform lines: ";
        checker.Warn(
            layout.headerLine, 8,
            counts + (count < lines
                          ? "only the first " + std::to_string(count) + " are used, the lines from line " +
                                std::to_string(layout.transformLines[count]) + " on never are"
                          : "slots " + std::to_string(lines) + " to " + std::to_string(count - 1) +
                                " are empty maps of weight 0, never chosen"),
            "write " + std::to_string(lines) + " in field 8");
    }

    const std::size_t checked = std::min(count, lines);
    if (s.HighSpeed) {
        std::int64_t acc = 0;
        std::int64_t reach = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const std::int64_t band = WeightBand(scene.transforms[k].Weight).value_or(0);
            acc += band;
            reach = std::max(reach, acc);
            if (band <= 0 && k < checked) {
                checker.Warn(layout.transformLines[k], 1,
                             "the weight " + Real(scene.transforms[k].Weight) + " gives the selection band " +
                                 std::to_string(band) +
                                 " (727 times the weight, rounded): the map is never chosen",
                             "give it a weight of at least 0.0007, so that its band is 1 or more");
            }
        }
        // The walk stops at the first running sum above the draw, so draws
        // from the highest running sum up to the total choose nothing.
        const std::int64_t idle = s.WeightTotal727 - std::min<std::int64_t>(reach, s.WeightTotal727);
        if (idle > 0) {
            checker.Warn(0, 0,
                         "the selection bands of the weights, each rounded on its own, cover " +
                             std::to_string(s.WeightTotal727 - idle) + " of the " +
                             std::to_string(s.WeightTotal727) + " draws: " + std::to_string(idle) +
                             (idle == 1 ? " draw chooses" : " draws choose") +
                             " no map and plots the point again unchanged",
                         "use weights that 727 times make whole numbers, such as whole-number weights");
        }
    } else {
        for (std::size_t k = 0; k < checked; ++k) {
            if (scene.transforms[k].Weight > 0.0) continue;
            checker.Warn(
                layout.transformLines[k], 1,
                "the weight " + Real(scene.transforms[k].Weight) + " is not above 0: the map is never chosen",
                "give it a positive weight");
        }
    }

    if (layout.seedLine == 0) {
        checker.Warn(0, 0,
                     "there is no \"_setseed\" line: each run draws its seed from the clock, so no two "
                     "renders are alike",
                     "add a line such as \"_setseed 12345\"");
    }
}

}  // namespace

std::vector<CheckFinding> CheckSceneText(std::string_view text, const NumberFormat& userFormat,
                                         std::string_view fileName) {
    Checker checker(fileName, userFormat);
    std::optional<Scene> scene;
    try {
        scene = ParseScene(text, 0, userFormat, fileName);
    } catch (const MorvaError& error) {
        checker.Refuse(error.what());
    }
    SceneLayout layout;
    for (LineCursor cursor(text); const std::optional<NumberedLine> raw = cursor.Next();) {
        if (raw->text.size() == 1 && IsCommand(KindOfSceneLine(raw->text))) {
            const char letter = raw->text.front();
            std::string effect = letter == 'D'   ? ": high resolution stays off"
                                 : letter == 'S' ? ": the fast selection stays on"
                                                 : "";
            checker.Warn(
                raw->number, 0,
                "a lone \"" + std::string(1, letter) +
                    "\" is skipped, since a line of one character takes part only with the carriage "
                    "return of a CR LF line end" +
                    effect,
                "write \"" + std::string(1, letter) + " \" with a trailing space, or use CR LF line ends");
        }
        if (const std::optional<std::string_view> line = UsableLine(raw->text))
            CheckSceneLine(checker, *line, raw->number, layout);
    }
    if (scene) CheckSceneAsRead(checker, *scene, layout);
    return checker.TakeFindings();
}

std::vector<CheckFinding> CheckPaletteText(std::string_view text, const NumberFormat& userFormat,
                                           std::string_view fileName) {
    Checker checker(fileName, userFormat);
    try {
        ParsePalette(text, userFormat, fileName);
    } catch (const MorvaError& error) {
        checker.Refuse(error.what());
    }
    for (LineCursor cursor(text); const std::optional<NumberedLine> raw = cursor.Next();) {
        const std::size_t index = raw->number - 1;
        if (index >= kPaletteFirstEntryLine + kPaletteEntries) break;
        if (index < kPaletteFirstEntryLine) continue;
        const std::optional<std::string_view> line = UsableLine(raw->text);
        if (!line) continue;
        const std::vector<std::string_view> fields = SplitFields(*line, kPaletteEntryFields);
        for (std::size_t c = 0; c < fields.size(); ++c) {
            if (fields[c].empty())
                checker.CheckEmpty(raw->number, c + 1, true);
            else
                checker.CheckInteger(fields[c], raw->number, c + 1, 0, 255);
        }
    }
    return checker.TakeFindings();
}

std::string FormatFinding(const CheckFinding& finding) {
    if (finding.level == CheckLevel::kRefusal) return finding.what + " (the render refuses this)\n";
    return finding.place + ": warning: " + finding.what + "\n  fix: " + finding.fix + "\n";
}

int CheckExitCode(const std::vector<CheckFinding>& findings) {
    int code = 0;
    for (const CheckFinding& finding : findings)
        code = std::max(code, finding.level == CheckLevel::kRefusal ? 2 : 1);
    return code;
}

int RunCheck(const SessionConfig& config, std::ostream& out, std::ostream& err) {
    PosixFileSystem files;
    std::vector<CheckFinding> findings;
    const SceneSource source = SessionSceneSource(config);
    try {
        findings = CheckSceneText(ReadSceneText(files, source), config.numberFormat, source.scenePath);
    } catch (const MorvaError& error) {
        findings.push_back({CheckLevel::kRefusal, "", 0, 0, error.what(), ""});
    }
    // The palette as the render reads it: a missing one reads as empty.
    const std::string& palettePath = source.palettePath;
    const std::vector<CheckFinding> palette =
        CheckPaletteText(InitFSO(files).fsoReadFile(palettePath), config.numberFormat, palettePath);
    findings.insert(findings.end(), palette.begin(), palette.end());

    std::size_t warnings = 0;
    for (const CheckFinding& finding : findings) {
        if (finding.level == CheckLevel::kRefusal) {
            err << "morva: " << FormatFinding(finding);
        } else if (++warnings <= kMostPrinted) {
            out << FormatFinding(finding);
        }
    }
    if (warnings > kMostPrinted) out << "... and " << warnings - kMostPrinted << " more warnings\n";
    const int code = CheckExitCode(findings);
    out << "morva: "
        << (warnings == 0 ? std::string("no warnings")
                          : std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings"))
        << (code == 2 ? "; the render refuses these files\n" : "\n");
    return code;
}

}  // namespace morva
