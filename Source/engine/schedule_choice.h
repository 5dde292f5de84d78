#pragma once

// Which way the fast renderer runs a long batch, chosen from what each way
// has been measured to deliver on this machine, now: another program that
// keeps a core busy can make threads slower than one thread, and the choice
// follows. Every schedule gives the same bytes, so the choice changes only
// the speed.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace morva {

enum class Schedule : std::uint8_t {
    OneThread,  // the calling thread alone
    Segments,   // speculative segments on every thread
    Pipeline,   // one thread draws and maps, the caller plots
};

class ScheduleChoice {
public:
    // How many processors stood idle since it was last asked (at first: at
    // this moment), where known. The first reading is taken here, before
    // the threads that the choice is among start (they would count as
    // busy): with no processor to spare then, the render starts on one
    // thread. While one thread leads and no processor stood idle, another
    // program holds the core that the threads would need, and a shared
    // schedule is measured again only rarely (each measurement costs two
    // batches at about half speed). Without it, or while it does not know,
    // the shared schedules are measured as often as on an idle machine.
    using IdleReading = std::function<std::optional<double>()>;
    explicit ScheduleChoice(IdleReading idle = {});

    // The schedule for the next long batch among those usable now (one
    // thread always is). The likeliest shared schedule and one thread are
    // measured first; after that the fastest runs, and now and then another
    // is measured again, less often while it keeps losing. The first batch
    // after a change of schedule is not measured (its tables are cold, or
    // not even made yet): the schedule runs a second batch, and that one
    // counts.
    Schedule Next(bool segmentsUsable, bool pipelineUsable);
    // The speed of a batch run with the schedule that Next returned. For
    // segments, callerStepsPerSecond is the speed of the caller's own share,
    // about what one thread alone would do, and one thread is taken to be at
    // least that fast. While segments run clearly faster than one thread
    // was measured to, one thread is measured again only rarely.
    void Measured(Schedule schedule, std::int64_t steps, std::chrono::nanoseconds elapsed,
                  double callerStepsPerSecond = 0.0);
    // The speed of a few groups the caller ran alone between two batches
    // (the render loop runs one at every poll): one thread, measured for
    // free. Too short to stand for a long batch on their own, the middle of
    // the latest few shows soon whether segments clearly win, so that one
    // thread need not be measured at the start of a render just for that.
    void SingleGroups(std::int64_t steps, std::chrono::nanoseconds elapsed);
    static constexpr double kClearWin = 1.5;

    static constexpr int kFirstProbeInterval = 8;
    static constexpr int kLongestProbeInterval = 64;
    // One thread is measured again this rarely while segments clearly win,
    // and a shared schedule this rarely while no processor stands idle.
    static constexpr int kRareProbeInterval = 256;
    // Less than this many idle processors: none to spare.
    static constexpr double kSpareProcessor = 0.5;
    // How many of the latest single groups the middle speed is taken from.
    static constexpr int kSingleGroupSamples = 5;

private:
    struct Estimate {
        double stepsPerSecond = 0.0;
        bool known = false;
        std::uint64_t measuredAt = 0;  // batch number
    };
    bool Usable(Schedule schedule) const;
    // The middle speed of the latest single groups; 0 while too few ran.
    double SingleGroupSpeed() const;
    bool NoProcessorToSpare();
    Schedule Fastest() const;

    IdleReading idle_;
    std::array<Estimate, 3> estimates_{};
    bool segmentsUsable_ = false;
    bool pipelineUsable_ = false;
    std::uint64_t batches_ = 0;
    std::uint64_t nextProbe_ = kFirstProbeInterval;
    int probeInterval_ = kFirstProbeInterval;
    std::optional<Schedule> last_;  // of the latest batch
    bool settling_ = false;         // the latest batch changed schedule
    bool oneThreadMeasured_ = false;
    bool startedAlone_ = false;                               // no processor to spare at the start
    std::array<double, kSingleGroupSamples> singleGroups_{};  // steps per second
    std::uint64_t singleGroupCount_ = 0;
    bool probeRound_ = false;  // the next measurement decides the next probe
    bool probing_ = false;     // and is of a schedule other than the fastest
};

}  // namespace morva
