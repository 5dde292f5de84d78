#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morva {

// Field n (counted from 1) of text, the fields being the pieces between
// occurrences of the first character of delimiter. Two adjacent delimiters
// enclose an empty field and a trailing delimiter gives an empty last field.
// A number outside the fields, or an empty text, gives the empty string; an
// empty delimiter makes the whole text field 1.
std::string GetField(std::string_view text, std::int32_t n, std::string_view delimiter);

// The text less its last n characters; n of 0 or less keeps it whole, n
// beyond its length leaves nothing.
std::string CutRight(std::string_view text, std::int32_t n);

// One line of a text as CutLines cuts it, with its number counted from 1.
struct NumberedLine {
    std::size_t number = 0;
    std::string_view text;
};

// The lines of a text one at a time, exactly as CutLines cuts them, for
// readers that need not hold a table of every line (a table of a large file
// costs far more than the text itself).
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : text_(text), done_(text.empty()) {}
    // The next line, or nothing after the last one.
    std::optional<NumberedLine> Next();

private:
    std::string_view text_;
    std::size_t start_ = 0;
    std::size_t number_ = 0;
    bool done_;
};

// The text cut at every line feed, in file order; the line feeds belong to no
// line. Text without a line feed is one line, empty text has no lines, and a
// line feed at the very end yields an empty last line.
std::vector<std::string_view> CutLines(std::string_view text);

// A raw line as the scene and palette readers take it: nothing when it holds
// one character or none (counted with its carriage return, so a one-letter
// line takes part in a CR LF file and not in a bare LF file), otherwise the
// line less one trailing carriage return.
std::optional<std::string_view> UsableLine(std::string_view rawLine);

// The line cut at every single space into fields numbered from 0, with the
// same rules as GetField: adjacent spaces give an empty field, a trailing
// space an empty last field, and a tab is an ordinary character.
std::vector<std::string_view> SplitFields(std::string_view line);
// The first maxFields fields of SplitFields(line), or all of them when the
// line has fewer; the rest of the line is not looked at.
std::vector<std::string_view> SplitFields(std::string_view line, std::size_t maxFields);

}  // namespace morva
