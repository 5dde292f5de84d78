#pragma once

#include <stdexcept>
#include <string>

namespace morva {

// The one error type of the program. It is thrown where a fault is found and
// carries a message meant for the user; only the session and main() catch it
// and show it (message box in the window, stderr in batch runs).
class MorvaError : public std::runtime_error {
public:
    explicit MorvaError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace morva
