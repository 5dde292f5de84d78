#pragma once

#include <cstdint>

namespace morva {

// Time as the render session reads it.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, wrapping at 2^32.
    virtual std::uint32_t TickCount() = 0;
    // Seconds since local midnight, with their fraction.
    virtual float SecondsSinceMidnight() = 0;
};

// The system's clocks.
class SystemClock final : public Clock {
public:
    std::uint32_t TickCount() override;
    float SecondsSinceMidnight() override;
};

}  // namespace morva
