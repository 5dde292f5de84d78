#pragma once

namespace morva {

// How many processors this process may run on (its affinity), at least one:
// a render runs no more threads than that, since a thread without a
// processor of its own only waits for one.
int UsableProcessors();

}  // namespace morva
