#include "scene/fields.h"

namespace morva {

std::string GetField(std::string_view text, std::int32_t n, std::string_view delimiter) {
    if (delimiter.empty()) return n == 1 ? std::string(text) : std::string();
    if (n < 1) return {};
    const char separator = delimiter.front();
    std::int32_t count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == separator) {
            if (++count == n) return std::string(text.substr(start, i - start));
            start = i + 1;
        }
        // The end of the text closes the last field, which is empty when the
        // text ends in a delimiter.
        if (i + 1 == text.size()) {
            if (++count == n) return std::string(text.substr(start));
            start = i + 1;
        }
    }
    return {};
}

std::string CutRight(std::string_view text, std::int32_t n) {
    if (n <= 0) return std::string(text);
    const auto cut = static_cast<std::size_t>(n);
    if (cut >= text.size()) return {};
    return std::string(text.substr(0, text.size() - cut));
}

std::optional<NumberedLine> LineCursor::Next() {
    if (done_) return std::nullopt;
    const std::size_t feed = text_.find('\n', start_);
    NumberedLine line{++number_, text_.substr(start_, feed == std::string_view::npos ? feed : feed - start_)};
    if (feed == std::string_view::npos)
        done_ = true;
    else
        start_ = feed + 1;
    return line;
}

std::vector<std::string_view> CutLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (LineCursor cursor(text); const std::optional<NumberedLine> line = cursor.Next();)
        lines.push_back(line->text);
    return lines;
}

std::optional<std::string_view> UsableLine(std::string_view rawLine) {
    if (rawLine.size() <= 1) return std::nullopt;
    if (rawLine.back() == '\r') rawLine.remove_suffix(1);
    return rawLine;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    return SplitFields(line, line.size() + 1);
}

std::vector<std::string_view> SplitFields(std::string_view line, std::size_t maxFields) {
    std::vector<std::string_view> fields;
    if (line.empty()) return fields;
    std::size_t start = 0;
    while (fields.size() < maxFields) {
        const std::size_t space = line.find(' ', start);
        if (space == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, space - start));
        start = space + 1;
    }
    return fields;
}

}  // namespace morva
