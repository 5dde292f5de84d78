#include "session/batch.h"

#include <cstdio>
#include <ostream>

#include "engine/iteration_group.h"

namespace morva {

std::string RenderSummary(std::int64_t groups, double seconds) {
    const double points = static_cast<double>(groups) * kGroupSteps;
    char text[160];
    std::snprintf(text, sizeof text, "morva: %lld groups, %.0f points in %.2f s (%.1f M points/s)\n",
                  static_cast<long long>(groups), points, seconds,
                  seconds > 0 ? points / seconds / 1e6 : 0.0);
    return text;
}

std::string StatusLine(const std::string& label) {
    std::string line = label;
    auto at = line.find("\r\n");
    if (at != std::string::npos) line.replace(at, 2, " | ");
    return line;
}

std::function<void(const std::string&)> BatchProgressPrinter(std::ostream& err, bool terminal) {
    return [&err, terminal](const std::string& label) {
        if (!err) return;
        if (terminal) {
            err << "\r" << StatusLine(label) << "\x1b[K" << std::flush;
        } else {
            std::string text = label;
            auto at = text.find("\r\n");
            if (at != std::string::npos) text.replace(at, 2, "\n");
            err << text << "\n";
        }
    };
}

}  // namespace morva
