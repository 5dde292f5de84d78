#include "platform/error.h"

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

std::string ErrorLine(std::string_view message) {
    std::string line = "morva: ";
    line += message;
    if (line.back() != '\n') line += '\n';
    return line;
}

}  // namespace morva
