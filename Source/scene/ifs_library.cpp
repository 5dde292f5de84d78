#include "scene/ifs_library.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/error.h"
#include "scene/fields.h"
#include "scene/number_reader.h"
#include "scene/scene_contract.h"

namespace morva {

namespace {

struct Token {
    std::string_view text;
    std::size_t line = 0;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The words of the text, "{" and "}" always words of their own, comments
// (from ";" to the line end) left out.
std::vector<Token> Tokens(std::string_view text) {
    std::vector<Token> tokens;
    for (LineCursor cursor(text); const std::optional<NumberedLine> raw = cursor.Next();) {
        const std::string_view line = raw->text.substr(0, raw->text.find(';'));
        std::size_t i = 0;
        while (i < line.size()) {
            if (IsSpace(line[i])) {
                ++i;
                continue;
            }
            std::size_t end = i + 1;
            if (line[i] != '{' && line[i] != '}') {
                while (end < line.size() && !IsSpace(line[end]) && line[end] != '{' && line[end] != '}')
                    ++end;
            }
            tokens.push_back({line.substr(i, end - i), raw->number});
            i = end;
        }
    }
    return tokens;
}

// A plain decimal number: an optional sign, digits with an optional point
// and exponent. Nothing for anything else, infinities and NaN included.
std::optional<double> Number(std::string_view text) {
    std::string_view digits = text;
    if (digits.starts_with('+')) digits.remove_prefix(1);
    if (digits.empty() || digits.starts_with('+')) return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
        return std::nullopt;
    const char first = digits.front() == '-' ? (digits.size() > 1 ? digits[1] : '\0') : digits.front();
    if (!(first == '.' || (first >= '0' && first <= '9'))) return std::nullopt;  // "inf", "nan"
    return value;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

class LibraryParser {
public:
    explicit LibraryParser(std::string_view fileName) : fileName_(fileName) {}

    IfsLibrary Parse(std::string_view text) {
        const std::vector<Token> tokens = Tokens(text);
        std::size_t i = 0;
        while (i < tokens.size()) {
            const Token& name = tokens[i++];
            if (name.text == "{") Refuse(name.line, "expected an entry name before \"{\"");
            if (name.text == "}") Refuse(name.line, "\"}\" outside an entry");
            IfsEntry entry;
            entry.name = std::string(name.text);
            entry.line = name.line;
            if (i < tokens.size() && EqualsIgnoringCase(tokens[i].text, "(3D)")) {
                entry.threeD = true;
                ++i;
            }
            if (i >= tokens.size() || tokens[i].text != "{") {
                const std::string found =
                    i < tokens.size() ? "found " + Quoted(tokens[i].text) : "found the end of the file";
                Refuse(i < tokens.size() ? tokens[i].line : name.line,
                       "expected \"{\" after the entry name " + Quoted(name.text) + ", " + found);
            }
            ++i;
            i = ReadNumbers(tokens, i, entry);
            library_.entries.push_back(std::move(entry));
        }
        if (library_.entries.empty())
            throw MorvaError(std::string(fileName_) +
                             ": no entries; an entry is a name, \"{\", the numbers of its maps and \"}\"");
        return std::move(library_);
    }

private:
    [[noreturn]] void Refuse(std::size_t line, const std::string& reason) const {
        throw MorvaError(std::string(fileName_) + ", line " + std::to_string(line) + ": " + reason);
    }

    // Reads the numbers of the entry up to its "}" and cuts them into maps;
    // returns the index after the brace.
    std::size_t ReadNumbers(const std::vector<Token>& tokens, std::size_t i, IfsEntry& entry) const {
        std::vector<Token> numbers;
        std::vector<double> values;
        for (;; ++i) {
            if (i >= tokens.size()) {
                Refuse(entry.line, "the entry " + Quoted(entry.name) +
                                       " is not closed: expected \"}\" before the end of the file");
            }
            if (tokens[i].text == "}") break;
            const std::optional<double> value = Number(tokens[i].text);
            if (!value) {
                Refuse(tokens[i].line, "expected a number or \"}\" in the entry " + Quoted(entry.name) +
                                           ", found " + Quoted(tokens[i].text));
            }
            numbers.push_back(tokens[i]);
            values.push_back(*value);
        }
        const std::size_t closing = tokens[i].line;
        entry.numbers = numbers.size();
        if (numbers.empty()) Refuse(closing, "the entry " + Quoted(entry.name) + " has no maps");
        const std::size_t perMap = NumbersPerMap(numbers, entry);
        if (perMap == 0) {
            Refuse(closing,
                   "the entry " + Quoted(entry.name) + " holds " + std::to_string(numbers.size()) +
                       " numbers, not a whole number of maps: expected " +
                       (entry.threeD ? "13 a map" : "7 a map (a b c d e f p), or 6 without probabilities"));
        }
        if (entry.threeD) return i + 1;
        entry.hasProbabilities = perMap == kIfsMapNumbers;
        for (std::size_t first = 0; first < numbers.size(); first += perMap) {
            IfsMap map;
            for (std::size_t k = 0; k < 6; ++k) {
                map.coef[k] = values[first + k];
                map.text[k] = std::string(numbers[first + k].text);
            }
            if (entry.hasProbabilities) {
                map.probability = values[first + 6];
                if (map.probability < 0.0) {
                    Refuse(numbers[first + 6].line, "the probability " + Quoted(numbers[first + 6].text) +
                                                        " of map " + std::to_string(first / perMap + 1) +
                                                        " of the entry " + Quoted(entry.name) +
                                                        " is negative; expected 0 or more");
                }
            }
            entry.maps.push_back(map);
        }
        return i + 1;
    }

    // 13 for a 3-D entry. For a 2-D one, 7 or 6 as every line of numbers
    // holds when they agree (one map a line); else 7 when the count allows,
    // then 6 when no line holds more than 6 (a line of 7 is a map with its
    // probability, and a missing number must not turn the entry into maps
    // without). 0 when no count fits.
    static std::size_t NumbersPerMap(const std::vector<Token>& numbers, const IfsEntry& entry) {
        if (entry.threeD) return numbers.size() % kIfs3DMapNumbers == 0 ? kIfs3DMapNumbers : 0;
        std::vector<std::size_t> perLine;
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            if (k == 0 || numbers[k].line != numbers[k - 1].line) perLine.push_back(0);
            ++perLine.back();
        }
        for (const std::size_t n : {kIfsMapNumbers, kIfsUnweightedNumbers}) {
            if (std::all_of(perLine.begin(), perLine.end(), [n](std::size_t count) { return count == n; }))
                return n;
        }
        if (numbers.size() % kIfsMapNumbers == 0) return kIfsMapNumbers;
        const std::size_t longest = *std::max_element(perLine.begin(), perLine.end());
        if (numbers.size() % kIfsUnweightedNumbers == 0 && longest <= kIfsUnweightedNumbers)
            return kIfsUnweightedNumbers;
        return 0;
    }

    std::string_view fileName_;
    IfsLibrary library_;
};

// The largest sum of whole-number weights whose total band (sum x 727)
// stays within 32 bits.
constexpr std::int64_t kLargestWeightSum = std::numeric_limits<std::int32_t>::max() / kWeightScale;
// Parts that weights without a short decimal form are rounded to.
constexpr double kWeightParts = 100000.0;

// The weights as multiples of 10^k for the smallest k that holds every one
// exactly (to rounding noise), when their sum stays in range.
std::optional<std::vector<std::int64_t>> DecimalWeights(const std::vector<double>& weights) {
    double scale = 1.0;
    for (int digits = 0; digits <= 6; ++digits, scale *= 10.0) {
        std::vector<std::int64_t> whole;
        std::int64_t sum = 0;
        bool exact = true;
        for (const double weight : weights) {
            const double scaled = weight * scale;
            const double rounded = std::nearbyint(scaled);
            if (std::abs(scaled - rounded) > 1e-9 * std::max(1.0, scaled) ||
                (weight > 0.0 && rounded < 1.0) || rounded > static_cast<double>(kLargestWeightSum)) {
                exact = false;
                break;
            }
            whole.push_back(static_cast<std::int64_t>(rounded));
            sum += whole.back();
        }
        if (exact && sum <= kLargestWeightSum) return whole;
    }
    return std::nullopt;
}

// The shortest text that reads back as the value.
std::string ShortestText(double value) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

}  // namespace

IfsLibrary ParseIfsLibrary(std::string_view text, std::string_view fileName) {
    return LibraryParser(fileName).Parse(text);
}

const IfsEntry& FindIfsEntry(const IfsLibrary& library, std::string_view name, std::string_view fileName) {
    const IfsEntry* found = library.entries.empty() ? nullptr : &library.entries.front();
    if (!name.empty()) {
        found = nullptr;
        for (const IfsEntry& entry : library.entries) {
            if (EqualsIgnoringCase(entry.name, name)) {
                found = &entry;
                break;
            }
        }
    }
    if (!found) {
        throw MorvaError(std::string(fileName) + ": no entry named " + Quoted(name) + "; 'morva --list " +
                         std::string(fileName) + "' lists them");
    }
    if (found->threeD) {
        throw MorvaError(std::string(fileName) + ", line " + std::to_string(found->line) + ": the entry " +
                         Quoted(found->name) +
                         " is a 3-D system (13 numbers a map); only 2-D entries render");
    }
    return *found;
}

std::vector<std::int64_t> IfsWeights(const IfsEntry& entry, std::string_view fileName) {
    std::vector<double> weights;
    for (const IfsMap& map : entry.maps) {
        if (entry.hasProbabilities) {
            weights.push_back(map.probability);
        } else {
            const auto& c = map.coef;
            weights.push_back(std::abs(c[0] * c[3] - c[1] * c[2]));
        }
    }
    double total = 0.0;
    for (const double weight : weights) total += weight;
    if (!entry.hasProbabilities) {
        // A map that flattens the plane (area 0) still draws its line; all
        // flat, the maps weigh the same.
        for (double& weight : weights) weight = total > 0.0 ? std::max(weight, kIfsAreaFloor * total) : 1.0;
        total = 0.0;
        for (const double weight : weights) total += weight;
    }
    if (!(total > 0.0) || !std::isfinite(total)) {
        throw MorvaError(std::string(fileName) + ", line " + std::to_string(entry.line) +
                         ": no map of the entry " + Quoted(entry.name) +
                         " has a probability above 0, so none would ever be chosen");
    }
    if (entry.hasProbabilities) {
        if (std::optional<std::vector<std::int64_t>> whole = DecimalWeights(weights)) return *whole;
    }
    std::vector<std::int64_t> whole;
    for (const double weight : weights) {
        const double parts = std::nearbyint(weight / total * kWeightParts);
        whole.push_back(weight > 0.0 ? std::max<std::int64_t>(1, static_cast<std::int64_t>(parts)) : 0);
    }
    return whole;
}

std::string IfsSceneText(const IfsEntry& entry, std::string_view fileName, std::string_view header) {
    const std::vector<std::int64_t> weights = IfsWeights(entry, fileName);
    std::string text = "# " + entry.name + ": the entry at line " + std::to_string(entry.line) + " of " +
                       std::string(fileName) + "\n";
    if (!entry.hasProbabilities)
        text += "# The entry gives no probabilities: each map weighs the area it covers, |ad - bc|.\n";
    text += "# header: scaleX scaleY offsetX offsetY hit exposure groups-per-exposure transforms\n";
    text += std::string(header) + "\n";
    text += "# maps: weight a b c d e f, for x' = a x + b y + e, y' = c x + d y + f\n";
    for (std::size_t k = 0; k < entry.maps.size(); ++k) {
        const IfsMap& map = entry.maps[k];
        text += "a " + std::to_string(weights[k]);
        for (std::size_t c = 0; c < 6; ++c) {
            // The library's own spelling where the scene reader reads it as
            // the same number; else the shortest exact form.
            const RealReading reading = ParseLenientReal(map.text[c]);
            const bool same = reading.fault == NumberFault::kNone && reading.end == map.text[c].size() &&
                              reading.value == map.coef[c] &&
                              !std::signbit(reading.value) == !std::signbit(map.coef[c]);
            text += " " + (same ? map.text[c] : ShortestText(map.coef[c]));
        }
        text += "\n";
    }
    text += "_setseed " + std::to_string(kIfsSeed) + "\n";
    return text;
}

std::string IfsListText(const IfsLibrary& library) {
    std::size_t width = 0;
    for (const IfsEntry& entry : library.entries) width = std::max(width, entry.name.size());
    std::string text;
    for (const IfsEntry& entry : library.entries) {
        text += entry.name + std::string(width - entry.name.size() + 2, ' ');
        if (entry.threeD) {
            text += std::to_string(entry.numbers / kIfs3DMapNumbers) +
                    (entry.numbers == kIfs3DMapNumbers ? " map" : " maps") + ", 3-D (not rendered)\n";
            continue;
        }
        text += std::to_string(entry.maps.size()) + (entry.maps.size() == 1 ? " map" : " maps");
        if (!entry.hasProbabilities) text += ", no probabilities (weighted by area)";
        text += "\n";
    }
    return text;
}

}  // namespace morva
