#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace morva {

// The one error type of the program. It is thrown where a fault is found and
// carries a message meant for the user; only the session's runs and main()
// catch it and show it (message box in the window, stderr in every mode).
class MorvaError : public std::runtime_error {
public:
    explicit MorvaError(const std::string& message) : std::runtime_error(message) {}
};

// Text from outside the program (a field, an argument, a file name) as a
// message quotes it: in double quotes, with control bytes written as \r, \n,
// \t or \xNN and the quote and backslash escaped, so that nothing in it can
// cut a message short (a NUL ends the text of a message box) or move the
// terminal's cursor (a CR overwrites the line). Other bytes, UTF-8 included,
// are kept.
std::string Quoted(std::string_view text);

// Text as one word of a command line that a user may paste into a POSIX
// shell: as it is when no shell gives any of its characters a meaning, else
// in single quotes (a quote inside as \'), control bytes as $'\xNN' so that
// none reaches the terminal. Nothing in it is expanded or run.
std::string ShellQuoted(std::string_view text);

// A message as the program prints it: "morva: ", the message, and one line
// end unless the message already ends with one.
std::string ErrorLine(std::string_view message);

}  // namespace morva
