#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace morva {

bool ErrorStreamIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool ErrorTerminalTakesEscapes() {
    const char* term = std::getenv("TERM");
    return term && *term && std::strcmp(term, "dumb") != 0;
}

int ErrorStreamColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

}  // namespace morva
