#include "platform/error.h"

#include <algorithm>

namespace morva {

std::string Quoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7f) {
                    quoted += "\\x";
                    quoted += kHex[byte >> 4];
                    quoted += kHex[byte & 15];
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

std::string ShellQuoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto plain = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("+,-./:=@_%").find(c) != std::string_view::npos;
    };
    if (!text.empty() && std::all_of(text.begin(), text.end(), plain)) return std::string(text);
    std::string quoted;
    bool open = false;  // inside a single-quoted stretch
    const auto close = [&] {
        if (open) quoted += '\'';
        open = false;
    };
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            close();
            quoted += "$'\\x";
            quoted += kHex[byte >> 4];
            quoted += kHex[byte & 15];
            quoted += '\'';
        } else if (c == '\'') {
            close();
            quoted += "\\'";
        } else {
            if (!open) quoted += '\'';
            open = true;
            quoted += c;
        }
    }
    close();
    return quoted.empty() ? "''" : quoted;
}

std::string ErrorLine(std::string_view message) {
    std::string line = "morva: ";
    line += message;
    if (line.back() != '\n') line += '\n';
    return line;
}

}  // namespace morva
