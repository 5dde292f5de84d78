#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace morva {

bool ErrorStreamIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int ErrorStreamColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

}  // namespace morva
