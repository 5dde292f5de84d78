#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace morva {

class Window;

// Zero-padded decimal text: at least minLen characters, never cut.
std::string PCStr(std::int32_t number, std::int32_t minLen);

// Milliseconds as hours:minutes:seconds:milliseconds, hours not reduced
// modulo 24.
std::string GetTimeForm(std::int32_t number);

struct ProgressInputs {
    std::int32_t GroupsDone = 0;
    std::int32_t GroupTarget = 0;
    std::int32_t GroupsPerSecond = 0;
    std::int32_t ElapsedMs = 0;
    std::int32_t InitialSeed = 0;
    bool HiRes = false;
    bool HighSpeed = false;
};

// GroupsDone / GroupTarget * 100, stored in single precision.
float PercentDone(std::int32_t groupsDone, std::int32_t groupTarget);

// The remaining time estimate, rounded half to even; an estimate beyond the
// 32-bit range is clamped to it.
std::int32_t RemainingMs(std::int32_t elapsedMs, std::int32_t groupsDone, std::int32_t groupTarget);

// The two-line status text, or nothing when there is no completed group or
// no elapsed time to estimate from (the label keeps its previous text).
std::optional<std::string> ProgressText(const ProgressInputs& in);

// The progress step's report: the status label's two lines, and the same
// figures to a listener (a batch run's progress display).
class ProgressReport {
public:
    explicit ProgressReport(Window& window) : window_(window) {}

    // Called with the figures of every step that writes the label.
    void SetListener(std::function<void(const ProgressInputs&)> listener) { listener_ = std::move(listener); }
    // The percentage done; then, when there is a completed group and
    // building time to estimate from, the label and the listener. Otherwise
    // the label keeps its previous text.
    void Step(const ProgressInputs& in);
    // Tells the listener of the figures at the end of the render; the
    // label keeps the text of the last step.
    void Finish(const ProgressInputs& in) {
        if (listener_) listener_(in);
    }
    float PercentDone() const { return PercentDone_; }

private:
    Window& window_;
    float PercentDone_ = 0.0f;
    std::function<void(const ProgressInputs&)> listener_;
};

}  // namespace morva
