#pragma once

// How much of the processors this process may run on stood idle over a
// while, from the kernel's time counters per processor (/proc/stat), or at
// this moment, from the count of threads ready to run (/proc/loadavg): what
// tells a renderer whether another program holds the cores its threads
// would need. Where the system does not tell, the answer is unknown.

#include <chrono>
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

// How many processors this process may run on (its affinity), at least one:
// a render runs no more threads than that, since a thread without a
// processor of its own only waits for one.
int UsableProcessors();

// The "cpuN" lines of /proc/stat's text; processors = 0 when it has none.
ProcessorTicks ParseProcessorTicks(std::string_view text, const std::vector<int>& allowed);

// The threads ready to run at this moment, running ones included: the
// numerator of the fourth field of /proc/loadavg's text ("0.52 0.58 0.59
// 2/467 12345").
std::optional<int> ParseRunnableThreads(std::string_view text);

class IdleProcessors {
public:
    IdleProcessors();
    // The average number of this process's processors that stood idle over
    // a window that the first call begins and each answer from it ends (the
    // next begins there). Now() while the window is shorter than the
    // counters can measure (it goes on growing), or where there are no
    // counters; unknown where the system tells neither.
    std::optional<double> SincePrevious();
    // The processors that no thread but the caller's is ready to take at
    // this moment: the processors less the threads ready to run, the
    // caller's among them, at the least busy of a few readings a little
    // apart, never below zero. (A reading is one instant, and the system's
    // own short jobs come and go: read back to back, one in six of the
    // least busy of three readings on an idle machine found a second thread
    // ready; a tenth of a millisecond apart, one in a thousand.)
    std::optional<double> Now() const;

    // A window spans at least this many ticks per processor (the kernel
    // counts a hundred a second): below that, one tick is a large share.
    static constexpr std::uint64_t kMinTicksPerProcessor = 5;
    static constexpr int kNowReadings = 3;
    static constexpr std::chrono::microseconds kNowSpacing{100};

private:
    std::vector<int> allowed_;
    std::optional<ProcessorTicks> start_;
};

}  // namespace morva
