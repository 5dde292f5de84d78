#pragma once

namespace morva {

// Whether standard error goes to a terminal (and not to a pipe or a file).
bool ErrorStreamIsTerminal();

// The width in columns of the terminal behind standard error as it is now
// (it follows resizes), or 0 when there is none or it does not say.
int ErrorStreamColumns();

}  // namespace morva
