#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace morva {

std::uint32_t SystemClock::TickCount() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<std::uint32_t>(ms);  // wraps at 2^32 like a tick counter
}

float SystemClock::SecondsSinceMidnight() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    localtime_r(&ts.tv_sec, &local);
    double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + ts.tv_nsec / 1e9;
    return static_cast<float>(seconds);
}

}  // namespace morva
