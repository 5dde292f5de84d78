#pragma once

#include <memory>

#include "engine/group_renderer.h"

namespace morva {

class UniformRandom;

// The fast loop, on one thread or several. Several threads run speculative
// segments: each starts a warm-up ahead of its segment from a guessed point,
// with its generator placed by jump-ahead, and plots into tables of its own;
// the segments are then checked in order against the true end point of the
// segment before, and a segment that started wrong is replayed from the true
// point, adding the true plots and taking back the wrong ones, until the two
// trajectories coincide. The counts are sums, so the result is the same, byte
// for byte, as one thread's. Scenes whose trajectories never coincide fall
// back to one thread.
std::unique_ptr<GroupRenderer> MakeFastRenderer(const Scene& scene, UniformRandom& uniform, int threads);

}  // namespace morva
