#include "engine/schedule_choice.h"

#include <algorithm>
#include <utility>

namespace morva {

namespace {

std::size_t Index(Schedule s) { return static_cast<std::size_t>(s); }

constexpr Schedule kAll[] = {Schedule::Segments, Schedule::Pipeline, Schedule::OneThread};

}  // namespace

ScheduleChoice::ScheduleChoice(IdleReading idle) : idle_(std::move(idle)) {
    // On a machine that has no processor to spare when the render starts,
    // one thread goes first and the shared schedules wait for a probe: a
    // render of a second or less is over before two slow batches pay back.
    startedAlone_ = NoProcessorToSpare();
}

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

bool ScheduleChoice::NoProcessorToSpare() {
    if (!idle_) return false;
    const std::optional<double> idle = idle_();
    return idle && *idle < kSpareProcessor;
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
    // scene allows them), then one thread, unless the render started alone;
    // the rest only when probed.
    const Schedule shared = segmentsUsable_ ? Schedule::Segments : Schedule::Pipeline;
    for (Schedule s : {shared, Schedule::OneThread}) {
        if (startedAlone_ && s != Schedule::OneThread) continue;
        if (Usable(s) && !estimates_[Index(s)].known) return s;
    }
    const Schedule best = Fastest();
    if (batches_ < nextProbe_) return best;
    // Measure again the schedule measured longest ago.
    Schedule stalest = best;
    for (Schedule s : kAll) {
        if (s == best || !Usable(s)) continue;
        if (stalest == best || estimates_[Index(s)].measuredAt < estimates_[Index(stalest)].measuredAt)
            stalest = s;
    }
    if (best == Schedule::OneThread && stalest != best &&
        batches_ - estimates_[Index(stalest)].measuredAt < kRareProbeInterval && NoProcessorToSpare()) {
        probeInterval_ = std::min(2 * probeInterval_, kLongestProbeInterval);
        nextProbe_ = batches_ + static_cast<std::uint64_t>(probeInterval_);
        return best;
    }
    probeRound_ = true;
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
    const Schedule leader = Fastest();
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
    if (!probeRound_ && Fastest() != leader) {
        // The schedule that led fell behind as it ran: the load changed, so
        // what the others were measured to do is old.
        probeInterval_ = kFirstProbeInterval;
        nextProbe_ = batches_ + static_cast<std::uint64_t>(kFirstProbeInterval);
    }
    Estimate& one = estimates_[Index(Schedule::OneThread)];
    if (s == Schedule::OneThread) oneThreadMeasured_ = true;
    // The caller's share of segments runs about as fast as one thread alone
    // (a little slower: its warm-ups count no steps, and the other threads
    // compete for memory), so one thread is at least that fast. It stands
    // in until one thread is measured, and lifts a measurement made just
    // after segments ran, when one thread's first batches are slow (half
    // the speed here, which kept segments running on a busy machine long
    // after one thread would have won). It cannot show that segments
    // clearly win, since it slows with them: one thread measured can, or
    // else its single groups.
    if (callerStepsPerSecond > 0.0 && (!one.known || callerStepsPerSecond > one.stepsPerSecond)) {
        one = {callerStepsPerSecond, true, e.measuredAt};
    }
    const double alone = oneThreadMeasured_ ? one.stepsPerSecond : SingleGroupSpeed();
    if (s == Schedule::Segments && !probing_ && alone > 0.0 && e.stepsPerSecond >= kClearWin * alone) {
        probeInterval_ = kRareProbeInterval;
        nextProbe_ = std::max(nextProbe_, batches_ + static_cast<std::uint64_t>(kRareProbeInterval));
    }
    probeRound_ = false;
    probing_ = false;
}

void ScheduleChoice::SingleGroups(std::int64_t steps, std::chrono::nanoseconds elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    if (seconds <= 0.0) return;
    singleGroups_[singleGroupCount_++ % kSingleGroupSamples] = static_cast<double>(steps) / seconds;
}

double ScheduleChoice::SingleGroupSpeed() const {
    if (singleGroupCount_ < kSingleGroupSamples) return 0.0;
    std::array<double, kSingleGroupSamples> sorted = singleGroups_;
    std::nth_element(sorted.begin(), sorted.begin() + kSingleGroupSamples / 2, sorted.end());
    return sorted[kSingleGroupSamples / 2];
}

}  // namespace morva
