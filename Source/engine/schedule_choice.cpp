#include "engine/schedule_choice.h"

#include <algorithm>

namespace morva {

namespace {

std::size_t Index(Schedule s) { return static_cast<std::size_t>(s); }

constexpr Schedule kAll[] = {Schedule::Segments, Schedule::Pipeline, Schedule::OneThread};

}  // namespace

bool ScheduleChoice::Usable(Schedule s) const {
    switch (s) {
        case Schedule::Segments:
            return segmentsUsable_;
        case Schedule::Pipeline:
            return pipelineUsable_;
        case Schedule::OneThread:
            break;
    }
    return true;
}

Schedule ScheduleChoice::Fastest() const {
    Schedule best = Schedule::OneThread;
    for (Schedule s : kAll) {
        if (Usable(s) && estimates_[Index(s)].stepsPerSecond > estimates_[Index(best)].stepsPerSecond)
            best = s;
    }
    return best;
}

Schedule ScheduleChoice::Next(bool segmentsUsable, bool pipelineUsable) {
    if (last_ && (segmentsUsable != segmentsUsable_ || pipelineUsable != pipelineUsable_)) {
        // What was measured against a schedule that is no longer usable (or
        // while a usable one was not) may be old: measure again soon.
        probeInterval_ = kFirstProbeInterval;
        nextProbe_ = std::min(nextProbe_, batches_);
    }
    segmentsUsable_ = segmentsUsable;
    pipelineUsable_ = pipelineUsable;
    if (settling_ && Usable(*last_)) return *last_;
    settling_ = false;
    probeRound_ = false;
    probing_ = false;
    // First the shared schedule most likely to win (segments where the
    // scene allows them), then one thread; the rest only when probed.
    const Schedule shared = segmentsUsable_ ? Schedule::Segments : Schedule::Pipeline;
    for (Schedule s : {shared, Schedule::OneThread}) {
        if (Usable(s) && !estimates_[Index(s)].known) return s;
    }
    const Schedule best = Fastest();
    if (batches_ < nextProbe_) return best;
    // Measure again the schedule measured longest ago.
    probeRound_ = true;
    Schedule stalest = best;
    for (Schedule s : kAll) {
        if (s == best || !Usable(s)) continue;
        if (stalest == best || estimates_[Index(s)].measuredAt < estimates_[Index(stalest)].measuredAt)
            stalest = s;
    }
    probing_ = stalest != best;
    return stalest;
}

void ScheduleChoice::Measured(Schedule s, std::int64_t steps, std::chrono::nanoseconds elapsed,
                              double callerStepsPerSecond) {
    if (last_ != s) {
        last_ = s;
        settling_ = true;
        return;
    }
    settling_ = false;
    const double seconds = std::max(std::chrono::duration<double>(elapsed).count(), 1e-9);
    const double rate = static_cast<double>(steps) / seconds;
    Estimate& e = estimates_[Index(s)];
    // Half the weight on the newest batch: a change of load shows within a
    // few batches, a single disturbed batch does not decide alone.
    e.stepsPerSecond = e.known ? (e.stepsPerSecond + rate) / 2 : rate;
    e.known = true;
    e.measuredAt = batches_++;
    if (probeRound_) {
        // A probe that won is followed by another soon (of the schedule it
        // displaced); one that lost, ever later.
        probeInterval_ = probing_ && Fastest() == s ? kFirstProbeInterval
                                                    : std::min(2 * probeInterval_, kLongestProbeInterval);
        nextProbe_ = batches_ + static_cast<std::uint64_t>(probeInterval_);
    }
    Estimate& one = estimates_[Index(Schedule::OneThread)];
    if (s == Schedule::OneThread) oneThreadMeasured_ = true;
    // The caller's share runs beside the other threads (and, on a busy
    // machine, is descheduled now and then), so it only stands in for one
    // thread until one thread is measured; and only a real measurement
    // shows that segments clearly win.
    if (callerStepsPerSecond > 0.0 && !one.known) one = {callerStepsPerSecond, true, e.measuredAt};
    if (s == Schedule::Segments && !probing_ && oneThreadMeasured_ &&
        e.stepsPerSecond >= kClearWin * one.stepsPerSecond) {
        probeInterval_ = kLongestProbeInterval;
        nextProbe_ = std::max(nextProbe_, batches_ + static_cast<std::uint64_t>(kLongestProbeInterval));
    }
    probeRound_ = false;
    probing_ = false;
}

}  // namespace morva
