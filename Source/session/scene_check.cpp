#include "session/scene_check.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <numeric>
#include <optional>
#include <ostream>
#include <tuple>

#include "platform/error.h"
#include "platform/files.h"
#include "scene/number_reader.h"
#include "scene/palette.h"
#include "scene/scene_contract.h"
#include "scene/scene_lines.h"
#include "scene/scene_reader.h"
#include "scene/text_file.h"
#include "session/scene_source.h"
#include "session/session_config.h"

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

// What a line kind does, for "... so it is read as <this>".
std::string KindEffect(SceneLine kind) {
    switch (kind) {
        case SceneLine::Header:
            return "a header line, which replaces the scene's scales, offsets, exposure and counts";
        case SceneLine::HiRes:
            return "a \"D\" line: high resolution on and 16 times the groups";
        case SceneLine::StandardSpeed:
            return "an \"S\" line: the standard-speed selection, which no seed makes reproducible";
        case SceneLine::Affine:
            return "an affine map, which takes the next slot of the transform table";
        case SceneLine::Projective:
            return "a projective map, which takes the next slot of the transform table";
        case SceneLine::Quadratic:
            return "a quadratic map, which takes the next slot of the transform table";
        default:
            return "a command";
    }
}

bool IsCommand(SceneLine kind) {
    return kind == SceneLine::Header || kind == SceneLine::HiRes || kind == SceneLine::StandardSpeed ||
           IsTransform(kind);
}

std::string FormatName(const NumberFormat& format) {
    return "decimal point \"" + format.decimalPoint + "\", grouping " +
           (format.groupingSeparator.empty() ? std::string("none") : "\"" + format.groupingSeparator + "\"");
}

std::string ReadingText(const IntegerReading& reading) {
    switch (reading.fault) {
        case NumberFault::TypeMismatch:
            return "not a number";
        case NumberFault::Overflow:
            return "out of range";
        case NumberFault::None:
            break;
    }
    return std::to_string(reading.value);
}

// The findings of a check in the order they are printed: refusals first,
// then the warnings file by file, by line and field, those that concern a
// whole file last. Only the first keptWarnings of that order are kept; the
// others are counted, so that a file of a million broken lines costs the
// check no more memory than its text.
class FindingList {
public:
    explicit FindingList(std::size_t keptWarnings) : kept_(keptWarnings) {}

    // The findings added from now on come after those added before.
    void NextFile() { ++file_; }

    void Add(CheckFinding finding) {
        if (finding.level == CheckLevel::Refusal) {
            refusals_.push_back(std::move(finding));
            return;
        }
        const Key key{file_, finding.line == 0, finding.line, finding.field, warnings_++};
        if (kept_ == 0) return;
        // A heap whose top is the last kept warning in print order.
        const auto later = [](const Kept& x, const Kept& y) { return x.key < y.key; };
        if (warnings_kept_.size() == kept_) {
            if (!(key < warnings_kept_.front().key)) return;
            std::pop_heap(warnings_kept_.begin(), warnings_kept_.end(), later);
            warnings_kept_.pop_back();
        }
        warnings_kept_.push_back({key, std::move(finding)});
        std::push_heap(warnings_kept_.begin(), warnings_kept_.end(), later);
    }

    std::size_t Warnings() const { return warnings_; }
    bool Refused() const { return !refusals_.empty(); }

    std::vector<CheckFinding> Take() && {
        std::sort_heap(warnings_kept_.begin(), warnings_kept_.end(),
                       [](const Kept& x, const Kept& y) { return x.key < y.key; });
        std::vector<CheckFinding> findings = std::move(refusals_);
        for (Kept& kept : warnings_kept_) findings.push_back(std::move(kept.finding));
        return findings;
    }

private:
    // File, whole file, line, field, then the order of finding.
    using Key = std::tuple<std::size_t, bool, std::size_t, std::size_t, std::size_t>;
    struct Kept {
        Key key;
        CheckFinding finding;
    };
    std::size_t kept_;
    std::size_t file_ = 0;
    std::size_t warnings_ = 0;
    std::vector<CheckFinding> refusals_;
    std::vector<Kept> warnings_kept_;
};

// Judges what a reader saw, field by field: what a field became against
// what its writer likely meant.
class Checker {
public:
    Checker(FindingList& findings, std::string_view fileName, const NumberFormat& userFormat)
        : findings_(findings), fileName_(fileName), userFormat_(userFormat) {}

    void Warn(std::size_t line, std::size_t field, std::string what, std::string fix) {
        findings_.Add({CheckLevel::Warning, PlaceInFile(fileName_, line, field), line, field, std::move(what),
                       std::move(fix)});
    }

    void Refuse(const std::string& message) { findings_.Add({CheckLevel::Refusal, "", 0, 0, message, ""}); }

    void CheckField(const FieldSeen& seen) {
        if (seen.text.empty()) {
            CheckEmpty(seen.line, seen.field, seen.type != FieldType::Real);
        } else if (seen.type == FieldType::Real) {
            CheckReal(seen.text, seen.real, seen.line, seen.field);
        } else {
            CheckInteger(seen, seen.type == FieldType::Byte ? 0 : kInt32Min,
                         seen.type == FieldType::Byte ? 255 : kInt32Max);
        }
    }

private:
    // A whole-number field as the render read it (userFormat) and as a
    // reader in the C locale would.
    void CheckInteger(const FieldSeen& seen, std::int32_t minimum, std::int32_t maximum) {
        const std::string_view text = seen.text;
        const std::size_t line = seen.line, field = seen.field;
        if (HoldsInnerTab(text)) {
            Warn(line, field, "a tab is no field separator: " + QuotedField(text) + " is one field",
                 "separate the fields by single spaces");
        }
        const IntegerReading& user = seen.integer;
        if (user.fault == NumberFault::None && user.unrounded != static_cast<double>(user.value)) {
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
    void CheckReal(std::string_view text, const RealReading& reading, std::size_t line, std::size_t field) {
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

    FindingList& findings_;
    std::string_view fileName_;
    const NumberFormat& userFormat_;
};

// Judges each line of a scene as the reader reports it.
class SceneJudge final : public ReadingReport {
public:
    explicit SceneJudge(Checker& checker) : checker_(checker) {}

    void OnField(const FieldSeen& field) override { checker_.CheckField(field); }

    void OnLine(const LineSeen& seen) override {
        const std::size_t number = seen.number;
        if (!seen.usable) {
            if (seen.raw.size() == 1 && IsCommand(seen.kind)) {
                const char letter = seen.raw.front();
                std::string effect = letter == 'D'   ? ": high resolution stays off"
                                     : letter == 'S' ? ": the fast selection stays on"
                                                     : "";
                checker_.Warn(number, 0,
                              "a lone \"" + std::string(1, letter) +
                                  "\" is skipped, since a line of one character takes part only with the "
                                  "carriage return of a CR LF line end" +
                                  effect,
                              "write \"" + std::string(1, letter) +
                                  " \" with a trailing space, or use CR LF line ends");
            }
            return;
        }
        const std::string_view line = *seen.usable;
        const SceneLine kind = seen.kind;
        const std::string_view keyword = line.substr(0, line.find(' '));

        if (kind == SceneLine::Comment && IsBlank(line.front())) {
            const std::string_view trimmed =
                line.substr(std::min(line.find_first_not_of(" \t"), line.size()));
            if (!trimmed.empty() && KindOfSceneLine(trimmed) != SceneLine::Comment) {
                checker_.Warn(number, 0,
                              "the line begins with a blank, so it is a comment and the \"" +
                                  std::string(1, trimmed.front()) + "\" line is ignored",
                              "remove the blank at the start of the line");
            }
        }
        if (kind == SceneLine::IgnoredDirective && keyword.size() > 8) {
            std::string lower(keyword.substr(0, 8));
            for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            if (lower == "_setseed") {
                checker_.Warn(number, 0,
                              QuotedField(keyword) +
                                  " is not the keyword \"_setseed\": the line is ignored and the "
                                  "seed is not set",
                              "put a space between \"_setseed\" and the number");
            }
        }
        if (IsCommand(kind) && keyword.size() > 1) {
            const bool word = keyword.size() >= 2 && IsLetter(keyword[1]);
            checker_.Warn(number, 0,
                          "the line begins with \"" + std::string(1, line.front()) + "\", so it is read as " +
                              KindEffect(kind) + "; the rest of " + QuotedField(keyword) +
                              " is not looked at",
                          word ? "begin comment lines with a character that is no command, such as \"#\""
                               : "put a space after the keyword \"" + std::string(1, line.front()) + "\"");
        }
        if (kind == SceneLine::StandardSpeed) {
            checker_.Warn(
                number, 0,
                "the \"S\" line switches to the standard-speed selection, which draws from a generator "
                "seeded from the clock: no two renders are alike, even with \"_setseed\"",
                "remove the line for a reproducible render (the fast selection is the default)");
        }
    }

private:
    Checker& checker_;
};

// Line numbers for a message: "line 4", "lines 2 to 4", "lines 2, 5 and 7
// to 9"; after a few runs the rest are counted.
std::string LineList(const std::vector<std::size_t>& lines) {
    constexpr std::size_t kRunsNamed = 6;
    std::vector<std::string> runs;
    std::size_t named = 0;
    for (std::size_t i = 0; i < lines.size() && runs.size() < kRunsNamed;) {
        std::size_t j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) ++j;
        runs.push_back(std::to_string(lines[i]) + (j > i ? " to " + std::to_string(lines[j]) : ""));
        named = j + 1;
        i = j + 1;
    }
    std::string text = lines.size() == 1 ? "line " : "lines ";
    for (std::size_t r = 0; r < runs.size(); ++r)
        text += (r == 0 ? "" : r + 1 == runs.size() && named == lines.size() ? " and " : ", ") + runs[r];
    if (named < lines.size()) text += " and " + std::to_string(lines.size() - named) + " more";
    return text;
}

// What to write instead of weights whose bands leave draws idle: whole
// numbers in the shares the maps have now (727 times each weight,
// rounded, over their common divisor), as long as the maps are few enough
// to list and the new weights fit the fast selection.
std::string WholeWeights(const std::vector<std::int64_t>& bands) {
    constexpr std::size_t kMostListed = 8;
    std::int64_t divisor = 0, sum = 0;
    for (const std::int64_t band : bands) {
        if (band < 0) return {};
        divisor = std::gcd(divisor, band);
        sum += band;
    }
    if (bands.size() > kMostListed || divisor == 0 || sum / divisor * kWeightScale > kInt32Max) return {};
    std::string text;
    for (std::size_t k = 0; k < bands.size(); ++k)
        text += (k == 0 ? "" : k + 1 == bands.size() ? " and " : ", ") + std::to_string(bands[k] / divisor);
    return text;
}

// The checks that need the whole scene as the render reads it.
void CheckSceneAsRead(Checker& checker, const SceneReading& reading) {
    const Scene& scene = reading.scene;
    const SceneSettings& s = scene.settings;
    const std::size_t lines = reading.transformLines;
    const auto count = static_cast<std::size_t>(s.TransformCount);
    if (count != lines) {
        const std::string counts = "the header says " + std::to_string(count) +
                                   " transforms (field 8) and the file has " + std::to_string(lines) +
                                   " transform lines: ";
        checker.Warn(
            reading.headerLine, 8,
            counts + (count < lines
                          ? "only the first " + std::to_string(count) + " are used, the lines from line " +
                                std::to_string(reading.slotLine[count]) + " on never are"
                          : "slots " + std::to_string(lines) + " to " + std::to_string(count - 1) +
                                " are empty maps of weight 0, never chosen"),
            "write " + std::to_string(lines) + " in field 8");
    }

    const std::size_t checked = std::min(count, lines);
    if (s.HighSpeed) {
        std::int64_t acc = 0;
        std::int64_t reach = 0;
        std::vector<std::int64_t> bands;
        for (std::size_t k = 0; k < count; ++k) {
            const std::int64_t band = WeightBand(scene.transforms[k].Weight).value_or(0);
            bands.push_back(band);
            acc += band;
            reach = std::max(reach, acc);
            if (band <= 0 && k < checked) {
                checker.Warn(reading.slotLine[k], 1,
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
            const std::vector<std::size_t> weightLines(reading.slotLine.begin(),
                                                       reading.slotLine.begin() + checked);
            const std::string weights = "the weights on " + LineList(weightLines);
            const std::string whole = WholeWeights(bands);
            checker.Warn(weightLines.empty() ? 0 : weightLines.front(), weightLines.empty() ? 0 : 1,
                         "the selection bands of " + weights + " (field 1), each rounded on its own, cover " +
                             std::to_string(s.WeightTotal727 - idle) + " of the " +
                             std::to_string(s.WeightTotal727) + " draws: " + std::to_string(idle) +
                             (idle == 1 ? " draw chooses" : " draws choose") +
                             " no map and plots the point again unchanged",
                         whole.empty()
                             ? "write weights that 727 times make whole numbers, such as whole-number weights"
                             : "write the weights as the whole numbers " + whole +
                                   ", which keep each map's share and leave no draw idle");
        }
    } else {
        for (std::size_t k = 0; k < checked; ++k) {
            if (scene.transforms[k].Weight > 0.0) continue;
            checker.Warn(
                reading.slotLine[k], 1,
                "the weight " + Real(scene.transforms[k].Weight) + " is not above 0: the map is never chosen",
                "give it a positive weight");
        }
    }

    if (reading.seedLine == 0) {
        checker.Warn(0, 0,
                     "there is no \"_setseed\" line: each run draws its seed from the clock, so no two "
                     "renders are alike",
                     "add a line such as \"_setseed 12345\"");
    }
}

void CheckScene(FindingList& findings, std::string_view text, const NumberFormat& userFormat,
                std::string_view fileName) {
    Checker checker(findings, fileName, userFormat);
    SceneJudge judge(checker);
    const SceneReading reading = ReadScene(text, 0, userFormat, fileName, &judge);
    if (reading.refusal) {
        checker.Refuse(*reading.refusal);
    } else {
        CheckSceneAsRead(checker, reading);
    }
}

// Judges each entry field of a palette as the reader reports it.
class PaletteJudge final : public ReadingReport {
public:
    explicit PaletteJudge(Checker& checker) : checker_(checker) {}
    void OnField(const FieldSeen& field) override { checker_.CheckField(field); }

private:
    Checker& checker_;
};

void CheckPalette(FindingList& findings, std::string_view text, const NumberFormat& userFormat,
                  std::string_view fileName) {
    Checker checker(findings, fileName, userFormat);
    PaletteJudge judge(checker);
    const PaletteReading reading = ReadPalette(text, userFormat, fileName, &judge);
    if (reading.refusal) checker.Refuse(*reading.refusal);
}

}  // namespace

std::vector<CheckFinding> CheckSceneText(std::string_view text, const NumberFormat& userFormat,
                                         std::string_view fileName) {
    FindingList findings(std::numeric_limits<std::size_t>::max());
    CheckScene(findings, text, userFormat, fileName);
    return std::move(findings).Take();
}

std::vector<CheckFinding> CheckPaletteText(std::string_view text, const NumberFormat& userFormat,
                                           std::string_view fileName) {
    FindingList findings(std::numeric_limits<std::size_t>::max());
    CheckPalette(findings, text, userFormat, fileName);
    return std::move(findings).Take();
}

std::string FormatFinding(const CheckFinding& finding) {
    if (finding.level == CheckLevel::Refusal) return finding.what + " (the render refuses this)\n";
    return finding.place + ": warning: " + finding.what + "\n  fix: " + finding.fix + "\n";
}

int CheckExitCode(const std::vector<CheckFinding>& findings) {
    int code = 0;
    for (const CheckFinding& finding : findings)
        code = std::max(code, finding.level == CheckLevel::Refusal ? 2 : 1);
    return code;
}

int RunCheck(const SessionConfig& config, std::ostream& out, std::ostream& err) {
    PosixFileSystem files;
    FindingList findings(kMostPrinted);
    // Both files as the render reads them; what the render refuses to read
    // at all (a folder, a pipe, a file over the size limit) is a refusal.
    const SceneSource source = SessionSceneSource(config);
    try {
        CheckScene(findings, ReadSceneText(files, source), config.numberFormat, source.scenePath);
    } catch (const MorvaError& error) {
        findings.Add({CheckLevel::Refusal, "", 0, 0, error.what(), ""});
    }
    findings.NextFile();
    const std::string& palettePath = source.palettePath;
    try {
        CheckPalette(findings, InitFSO(files).fsoReadFile(palettePath), config.numberFormat, palettePath);
    } catch (const MorvaError& error) {
        findings.Add({CheckLevel::Refusal, "", 0, 0, error.what(), ""});
    }

    const std::size_t warnings = findings.Warnings();
    const bool refused = findings.Refused();
    for (const CheckFinding& finding : std::move(findings).Take())
        (finding.level == CheckLevel::Refusal ? err << "morva: " : out) << FormatFinding(finding);
    if (warnings > kMostPrinted) out << "... and " << warnings - kMostPrinted << " more warnings\n";
    const int code = refused ? 2 : warnings > 0 ? 1 : 0;
    out << "morva: "
        << (warnings == 0 ? std::string("no warnings")
                          : std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings"))
        << (code == 2 ? "; the render refuses these files\n" : "\n");
    return code;
}

}  // namespace morva
