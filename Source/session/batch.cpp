#include "session/batch.h"

#include <cstdio>

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

}  // namespace morva
