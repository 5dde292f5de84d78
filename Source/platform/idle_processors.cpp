#include "platform/idle_processors.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <string>
#include <thread>

namespace morva {

namespace {

// The start of a file of the kernel's, up to where stop is found.
std::string ReadStart(const char* path, std::string_view stop) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (!stop.empty() && text.find(stop) != std::string::npos) break;
    }
    ::close(fd);
    return text;
}

// The numbers of the processors this process may run on; none where the
// system does not tell.
std::vector<int> AllowedProcessors() {
    std::vector<int> allowed;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &set)) allowed.push_back(cpu);
        }
    }
    return allowed;
}

std::optional<ProcessorTicks> Read(const std::vector<int>& allowed) {
    // The processors' lines come first; the rest is long and not needed.
    const ProcessorTicks ticks = ParseProcessorTicks(ReadStart("/proc/stat", "\nintr"), allowed);
    if (ticks.processors == 0) return std::nullopt;
    return ticks;
}

}  // namespace

ProcessorTicks ParseProcessorTicks(std::string_view text, const std::vector<int>& allowed) {
    ProcessorTicks ticks;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        // "cpuN user nice system idle iowait irq softirq steal guest ...":
        // the guests' time is counted in user and nice already.
        if (line.size() < 4 || line.substr(0, 3) != "cpu" || line[3] < '0' || line[3] > '9') continue;
        line.remove_prefix(3);
        int number = 0;
        auto [p, ec] = std::from_chars(line.data(), line.data() + line.size(), number);
        if (ec != std::errc{}) continue;
        if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), number) == allowed.end()) continue;
        std::uint64_t fields[8] = {};
        const char* last = line.data() + line.size();
        int read = 0;
        for (; read < 8; ++read) {
            while (p < last && *p == ' ') ++p;
            auto [next, error] = std::from_chars(p, last, fields[read]);
            if (error != std::errc{}) break;
            p = next;
        }
        if (read < 5) continue;
        ticks.idle += fields[3] + fields[4];
        for (std::uint64_t f : fields) ticks.total += f;
        ++ticks.processors;
    }
    return ticks;
}

int UsableProcessors() {
    const std::size_t allowed = AllowedProcessors().size();
    if (allowed > 0) return static_cast<int>(allowed);
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::optional<int> ParseRunnableThreads(std::string_view text) {
    // Three load averages, then "running/all".
    for (int field = 0; field < 3; ++field) {
        const std::size_t space = text.find(' ');
        if (space == std::string_view::npos) return std::nullopt;
        text.remove_prefix(space + 1);
    }
    int running = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), running);
    if (error != std::errc{} || end == text.data() + text.size() || *end != '/' || running < 0)
        return std::nullopt;
    return running;
}

IdleProcessors::IdleProcessors() : allowed_(AllowedProcessors()) {}

std::optional<double> IdleProcessors::SincePrevious() {
    const std::optional<ProcessorTicks> now = Read(allowed_);
    if (!now) return Now();
    if (!start_ || now->processors != start_->processors || now->total < start_->total ||
        now->idle < start_->idle) {
        start_ = now;
        return Now();
    }
    const std::uint64_t total = now->total - start_->total;
    if (total < kMinTicksPerProcessor * static_cast<std::uint64_t>(now->processors)) return Now();
    const double idle =
        static_cast<double>(now->idle - start_->idle) / static_cast<double>(total) * now->processors;
    start_ = now;
    return idle;
}

std::optional<double> IdleProcessors::Now() const {
    if (allowed_.empty()) return std::nullopt;
    std::optional<int> fewest;
    for (int reading = 0; reading < kNowReadings; ++reading) {
        if (reading > 0) std::this_thread::sleep_for(kNowSpacing);
        const std::optional<int> running = ParseRunnableThreads(ReadStart("/proc/loadavg", {}));
        if (!running) return std::nullopt;
        if (!fewest || *running < *fewest) fewest = running;
    }
    return std::max(0.0, static_cast<double>(allowed_.size()) - *fewest);
}

}  // namespace morva
