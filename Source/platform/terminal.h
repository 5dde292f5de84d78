#pragma once

namespace morva {

// Whether standard error goes to a terminal (and not to a pipe or a file).
bool ErrorStreamIsTerminal();

// Whether that terminal understands the usual escape sequences (clearing to
// the end of a line): not where TERM is unset, empty or "dumb", as in an
// editor's shell buffer.
bool ErrorTerminalTakesEscapes();

// The width in columns of the terminal behind standard error as it is now
// (it follows resizes), or 0 when there is none or it does not say.
int ErrorStreamColumns();

}  // namespace morva
