#include "session/progress.h"

#include <cmath>
#include <limits>

#include "platform/window.h"

namespace morva {

std::string PCStr(std::int32_t number, std::int32_t minLen) {
    std::string s = std::to_string(number);
    if (static_cast<std::int64_t>(s.size()) < minLen)
        s.insert(0, static_cast<std::size_t>(minLen) - s.size(), '0');
    return s;
}

std::string GetTimeForm(std::int32_t number) {
    const std::int32_t hours = number / 3600000;
    const std::int32_t minutes = (number / 60000) % 60;
    const std::int32_t seconds = (number / 1000) % 60;
    const std::int32_t milliseconds = number % 1000;
    return PCStr(hours, 2) + ":" + PCStr(minutes, 2) + ":" + PCStr(seconds, 2) + ":" + PCStr(milliseconds, 3);
}

float PercentDone(std::int32_t groupsDone, std::int32_t groupTarget) {
    if (groupTarget == 0) return 0.0f;  // only a run with a single, unreported group gets here
    return static_cast<float>(static_cast<double>(groupsDone) / groupTarget * 100.0);
}

std::int32_t RemainingMs(std::int32_t elapsedMs, std::int32_t groupsDone, std::int32_t groupTarget) {
    const auto groupsLeft = static_cast<std::int32_t>(static_cast<std::uint32_t>(groupTarget) -
                                                      static_cast<std::uint32_t>(groupsDone));
    const double estimate = static_cast<double>(elapsedMs) / groupsDone * groupsLeft;
    const double rounded = std::nearbyint(estimate);
    if (std::isnan(rounded)) return 0;
    if (rounded >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (rounded <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(rounded);
}

std::optional<std::string> ProgressText(const ProgressInputs& in) {
    if (in.ElapsedMs == 0 || in.GroupsDone == 0) return std::nullopt;
    const float percent = PercentDone(in.GroupsDone, in.GroupTarget);
    const std::int32_t remaining = RemainingMs(in.ElapsedMs, in.GroupsDone, in.GroupTarget);
    std::string text = std::to_string(in.GroupsDone) + " of " + std::to_string(in.GroupTarget) +
                       " groups traced; " + std::to_string(static_cast<long long>(std::floor(percent))) +
                       "%; Speed: " + std::to_string(in.GroupsPerSecond) + " gps";
    if (in.HiRes) text += "; HiRes Output";
    if (in.HighSpeed) text += "; High Speed";
    text += "\r\nBuilding time: " + GetTimeForm(in.ElapsedMs) +
            "; estimated time remaining: " + GetTimeForm(remaining) +
            "; seed: " + std::to_string(in.InitialSeed);
    return text;
}

void ProgressReport::Step(const ProgressInputs& in) {
    PercentDone_ = morva::PercentDone(in.GroupsDone, in.GroupTarget);
    if (auto text = ProgressText(in)) {
        window_.SetLabel(*text);
        if (listener_) listener_(in);
    }
}

}  // namespace morva
