#pragma once

#include <cstdint>
#include <string>

namespace morva {

// "morva: N groups, P points in S s (R M points/s)" and a line end.
std::string RenderSummary(std::int64_t groups, double seconds);

}  // namespace morva
