#include "engine/extent.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/iteration_group.h"
#include "engine/random_long.h"
#include "engine/selection.h"
#include "platform/uniform_random.h"

namespace morva {

namespace {

// The share of points below the core's lower bound and above its upper
// bound, on each axis.
constexpr double kCoreTail = 0.005;
// The fence around the core, as a share of the core's width on either side.
// The thin tips of the attractors drawn so far reach up to a quarter of it
// (the trunk of the tree), a far throw's way back runs through many widths.
constexpr double kFenceWidening = 0.5;
// More points than this share that are not finite mean the maps diverge.
constexpr double kMostNonFinite = 0.01;
// The halves of a sample are in one place when their core bounds differ by
// no more than this share of their joint width.
constexpr double kMostDrift = 0.1;

struct Interval {
    double low = 0.0, high = 0.0;
    double Width() const { return high - low; }
};

// The core of values[first, last): its kCoreTail and 1 - kCoreTail
// quantiles (by rank, on a copy).
Interval Core(const std::vector<double>& values, std::size_t first, std::size_t last) {
    std::vector<double> v(values.begin() + static_cast<std::ptrdiff_t>(first),
                          values.begin() + static_cast<std::ptrdiff_t>(last));
    if (v.empty()) return {};
    const auto rank = [&](double share) {
        return v.begin() + static_cast<std::ptrdiff_t>(share * static_cast<double>(v.size() - 1));
    };
    const auto low = rank(kCoreTail), high = rank(1.0 - kCoreTail);
    std::nth_element(v.begin(), low, v.end());
    const double lowValue = *low;
    std::nth_element(v.begin(), high, v.end());
    return {lowValue, *high};
}

bool SameRegion(const Interval& a, const Interval& b) {
    const double joint = std::max(a.high, b.high) - std::min(a.low, b.low);
    return std::abs(a.low - b.low) <= kMostDrift * joint && std::abs(a.high - b.high) <= kMostDrift * joint;
}

}  // namespace

AttractorSample SampleAttractor(const Scene& scene, std::int64_t warmUp, std::int64_t points) {
    const SceneSettings& s = scene.settings;
    AttractorSample sample;
    sample.x.reserve(static_cast<std::size_t>(points));
    sample.y.reserve(static_cast<std::size_t>(points));
    // The reader bounds the bands of a fast-selection scene only.
    std::optional<FastSelection> fast;
    if (s.HighSpeed && s.WeightTotal727 >= 1) fast.emplace(scene);
    UniformRandom uniform;
    uniform.Seed(static_cast<std::uint32_t>(s.RandSeed));
    std::int32_t seed = s.RandSeed;
    PointState point;
    for (std::int64_t i = 0; i < warmUp + points; ++i) {
        int k = -1;
        if (s.HighSpeed) {
            const std::int32_t v = RandomLong(seed);
            if (fast) k = fast->Pick(v);
        } else {
            k = SelectStandard(scene, uniform.Next() * s.WeightSum);
        }
        if (k >= 0) ApplyTransform(point, scene.transforms[k]);
        if (i < warmUp) continue;
        ++sample.traced;
        if (std::isfinite(point.X) && std::isfinite(point.Y)) {
            sample.x.push_back(point.X);
            sample.y.push_back(point.Y);
        } else {
            ++sample.nonFinite;
        }
    }
    return sample;
}

AttractorExtent RobustExtent(const AttractorSample& sample) {
    AttractorExtent result;
    result.traced = sample.traced;
    const std::size_t n = sample.x.size();
    if (n == 0 ||
        static_cast<double>(sample.nonFinite) > kMostNonFinite * static_cast<double>(sample.traced)) {
        result.state = AttractorState::kDiverges;
        return result;
    }
    const std::size_t half = n / 2;
    if (!SameRegion(Core(sample.x, 0, half), Core(sample.x, half, n)) ||
        !SameRegion(Core(sample.y, 0, half), Core(sample.y, half, n))) {
        result.state = AttractorState::kDrifts;
    }

    const Interval coreX = Core(sample.x, 0, n), coreY = Core(sample.y, 0, n);
    const auto fence = [](const Interval& core) {
        return Interval{core.low - kFenceWidening * core.Width(), core.high + kFenceWidening * core.Width()};
    };
    const Interval fenceX = fence(coreX), fenceY = fence(coreY);
    Extent& e = result.extent;
    e = {coreX.low, coreX.high, coreY.low, coreY.high};
    for (std::size_t i = 0; i < n; ++i) {
        const double x = sample.x[i], y = sample.y[i];
        if (x < fenceX.low || x > fenceX.high || y < fenceY.low || y > fenceY.high) continue;
        ++result.inside;
        e.xMin = std::min(e.xMin, x);
        e.xMax = std::max(e.xMax, x);
        e.yMin = std::min(e.yMin, y);
        e.yMax = std::max(e.yMax, y);
    }
    return result;
}

}  // namespace morva
