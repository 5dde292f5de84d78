#pragma once

// How much of the processors this process may run on stood idle over a
// while, from the kernel's time counters per processor (/proc/stat): what
// tells a renderer whether another program holds the cores its threads
// would need. Where the system does not tell, the answer is unknown.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace morva {

// Ticks of the processors whose numbers are listed (all of them when the
// list is empty): idle (or waiting for a disk), and in all.
struct ProcessorTicks {
    std::uint64_t idle = 0;
    std::uint64_t total = 0;
    int processors = 0;
};

// The "cpuN" lines of /proc/stat's text; processors = 0 when it has none.
ProcessorTicks ParseProcessorTicks(std::string_view text, const std::vector<int>& allowed);

class IdleProcessors {
public:
    IdleProcessors();
    // The average number of this process's processors that stood idle since
    // the window began; the first call only begins it. Unknown while the
    // window is shorter than the counters can measure (then it goes on
    // growing), or where there are no counters.
    std::optional<double> SincePrevious();

    // A window spans at least this many ticks per processor (the kernel
    // counts a hundred a second): below that, one tick is a large share.
    static constexpr std::uint64_t kMinTicksPerProcessor = 5;

private:
    std::vector<int> allowed_;
    std::optional<ProcessorTicks> start_;
};

}  // namespace morva
