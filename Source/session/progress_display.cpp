#include "session/progress_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "engine/iteration_group.h"

namespace morva {

namespace {

// Bar widths, brackets included.
constexpr int kBarMin = 12;
constexpr int kBarMax = 42;
constexpr char kFieldGap[] = "  ";
constexpr int kDefaultColumns = 80;
constexpr std::int32_t kTerminalIntervalMs = 100;
constexpr std::int32_t kLogIntervalMs = 5000;

int WholePercent(const ProgressInputs& in) {
    return static_cast<int>(std::floor(PercentDone(in.GroupsDone, in.GroupTarget)));
}

// Minutes and seconds, with the hours in front once there are any.
std::string ShortTime(std::int32_t ms) {
    const std::int64_t seconds = std::max<std::int32_t>(ms, 0) / 1000;
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

// Millions of points per second over the whole render so far.
std::string Speed(const ProgressInputs& in) {
    const double points = static_cast<double>(in.GroupsDone) * kGroupSteps;
    const double rate = in.ElapsedMs > 0 ? points / in.ElapsedMs / 1000.0 : 0.0;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f M points/s", rate);
    return text;
}

std::string Bar(const ProgressInputs& in, int width) {
    const int inside = width - 2;
    const double done = in.GroupTarget > 0 ? static_cast<double>(in.GroupsDone) / in.GroupTarget : 0.0;
    const int filled = std::clamp(static_cast<int>(done * inside), 0, inside);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(inside - filled), '.') + "]";
}

}  // namespace

std::string TerminalProgressLine(const ProgressInputs& in, int columns) {
    const int room = std::max(columns, 1) - 1;
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3d%%", WholePercent(in));
    struct Field {
        std::string text;  // empty for the bar
        int priority;      // 0 is the last to go
        bool shown = false;
    };
    // In the order of the line.
    Field fields[] = {
        {"", 2},
        {percent, 0},
        {std::to_string(in.GroupsDone) + "/" + std::to_string(in.GroupTarget) + " groups", 4},
        {Speed(in), 3},
        {ShortTime(in.ElapsedMs) + " elapsed", 5},
        {ShortTime(RemainingMs(in.ElapsedMs, in.GroupsDone, in.GroupTarget)) + " left", 1},
        {"seed " + std::to_string(in.InitialSeed), 6},
    };
    Field& bar = fields[0];
    const int gap = static_cast<int>(sizeof kFieldGap) - 1;
    int used = 0;
    int shown = 0;
    for (int priority = 0; priority <= 6; ++priority) {
        for (Field& field : fields) {
            if (field.priority != priority) continue;
            const int width = &field == &bar ? kBarMin : static_cast<int>(field.text.size());
            const int needed = used + width + (shown > 0 ? gap : 0);
            if (needed > room) continue;
            field.shown = true;
            used = needed;
            ++shown;
        }
    }
    if (bar.shown) bar.text = Bar(in, std::min(kBarMax, kBarMin + room - used));
    std::string line;
    for (const Field& field : fields) {
        if (!field.shown) continue;
        if (!line.empty()) line += kFieldGap;
        line += field.text;
    }
    if (line.empty()) line = std::string(percent).substr(0, static_cast<std::size_t>(room));
    return line;
}

std::string LogProgressLine(const ProgressInputs& in) {
    return "morva: " + std::to_string(WholePercent(in)) + "%, " + std::to_string(in.GroupsDone) + " of " +
           std::to_string(in.GroupTarget) + " groups, " + Speed(in) + ", " + ShortTime(in.ElapsedMs) +
           " elapsed, " + ShortTime(RemainingMs(in.ElapsedMs, in.GroupsDone, in.GroupTarget)) +
           " left, seed " + std::to_string(in.InitialSeed);
}

ProgressDisplay::ProgressDisplay(std::ostream& out, ProgressStyle style, std::function<int()> columns)
    : out_(out), style_(style), columns_(std::move(columns)) {}

void ProgressDisplay::Update(const ProgressInputs& in) {
    if (style_ == ProgressStyle::Quiet) return;
    latest_ = in;
    latestShown_ = false;
    const std::int64_t since = std::int64_t{in.ElapsedMs} - shownAtMs_;
    const bool last = in.GroupsDone >= in.GroupTarget;
    if (OnTerminal()) {
        if (!shownAny_ || last || since >= kTerminalIntervalMs) Show(in);
    } else if (since >= kLogIntervalMs && WholePercent(in) / 10 > shownTenth_) {
        Show(in);
    }
}

bool ProgressDisplay::OnTerminal() const {
    return style_ == ProgressStyle::Terminal || style_ == ProgressStyle::DumbTerminal;
}

void ProgressDisplay::Show(const ProgressInputs& in) {
    if (OnTerminal()) {
        const int reported = columns_ ? columns_() : 0;
        const int columns = reported > 0 ? reported : kDefaultColumns;
        std::string line = TerminalProgressLine(in, columns);
        const std::size_t width = line.size();
        if (style_ == ProgressStyle::Terminal) {
            line += "\x1b[K";
        } else {
            // Spaces over the rest of the old line, never into the last
            // column (which makes some terminals wrap).
            const std::size_t cover = std::min(shownWidth_, static_cast<std::size_t>(columns - 1));
            if (cover > width) line.append(cover - width, ' ');
        }
        shownWidth_ = width;
        // Back to the start of the line, the new text, then what clears the
        // rest of the old one; in one write, so that the terminal never
        // shows half of it.
        out_ << ('\r' + line) << std::flush;
    } else {
        out_ << LogProgressLine(in) << std::endl;
    }
    shownAny_ = true;
    latestShown_ = true;
    shownAtMs_ = in.ElapsedMs;
    shownTenth_ = WholePercent(in) / 10;
}

void ProgressDisplay::Finish() {
    if (style_ == ProgressStyle::Quiet || finished_) return;
    finished_ = true;
    if (latest_ && !latestShown_) Show(*latest_);
    if (OnTerminal() && shownAny_) out_ << '\n' << std::flush;
}

}  // namespace morva
