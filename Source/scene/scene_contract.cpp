#include "scene/scene_contract.h"

#include <limits>

#include "raster/picture.h"

namespace morva {

namespace {

bool FitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

SceneRefusal Refusal(SceneRefusal::Concerns concerns, std::string reason, std::size_t slot = 0) {
    return SceneRefusal{concerns, slot, std::move(reason)};
}

// The fast selection walks acc += band(k) over the slots in use and takes
// the first k with draw < acc, for draws 0 to WeightTotal727 - 1. Every band
// must convert to 32 bits, and the running sum must not leave 32 bits at any
// slot that some draw reaches.
std::optional<SceneRefusal> CheckWeights(Scene& scene, std::size_t count) {
    SceneSettings& s = scene.settings;
    const std::optional<std::int32_t> total = WeightTotal727(s.WeightSum);
    if (!total) {
        return Refusal(SceneRefusal::Concerns::WholeFile,
                       "overflow: the weights of the transforms in use add up to " +
                           FormatReal(s.WeightSum, 6) +
                           ", too much for the fast selection (727 times the sum must fit in 32 bits)");
    }
    s.WeightTotal727 = *total;
    if (s.WeightTotal727 < 1) {
        return Refusal(
            SceneRefusal::Concerns::WholeFile,
            "the weights of the transforms in use add up to " + FormatReal(s.WeightSum, 6) +
                ", too little for the fast selection (727 times the sum must round to at least 1)");
    }
    const std::int64_t lastDraw = s.WeightTotal727 - 1;
    std::int64_t acc = 0;
    std::int64_t highest = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const double weight = scene.transforms[k].Weight;
        const std::optional<std::int32_t> band = WeightBand(weight);
        if (!band) {
            return Refusal(
                SceneRefusal::Concerns::Transform,
                "overflow: the weight " + FormatReal(weight, 6) +
                    " is too large for the fast selection (727 times the weight must fit in 32 bits)",
                k);
        }
        const bool reached = highest <= lastDraw;
        acc += *band;
        if (reached && !FitsInt32(acc)) {
            return Refusal(SceneRefusal::Concerns::Transform,
                           "overflow: the weights up to this transform add up to more than the fast "
                           "selection can count (727 times the running sum must fit in 32 bits)",
                           k);
        }
        highest = std::max(highest, acc);
    }
    return std::nullopt;
}

// The high-resolution table is addressed with four times the scales and
// offsets, and its window divides by the scales.
std::optional<SceneRefusal> CheckHiResMapping(const SceneSettings& s) {
    if (s.ScaleX == 0 || s.ScaleY == 0) {
        return Refusal(SceneRefusal::Concerns::Header,
                       std::string("the ") + (s.ScaleX == 0 ? "x scale (field 1)" : "y scale (field 2)") +
                           " is 0, which the high-resolution mode (\"D\" line) cannot divide by");
    }
    struct Value {
        std::int32_t value;
        const char* name;
    };
    const Value values[] = {{s.ScaleX, "x scale (field 1)"},
                            {s.ScaleY, "y scale (field 2)"},
                            {s.OffsetX, "x offset (field 3)"},
                            {s.OffsetY, "y offset (field 4)"}};
    for (const Value& v : values) {
        if (!FitsInt32(std::int64_t{kHiResFactor} * v.value)) {
            return Refusal(SceneRefusal::Concerns::Header,
                           std::string("overflow: the ") + v.name + " " + std::to_string(v.value) +
                               " is too large for the high-resolution mode (4 times it must fit in 32 bits)");
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<SceneRefusal> DeriveSceneValues(Scene& scene) {
    SceneSettings& s = scene.settings;
    if (s.Exposure < 1) {
        return Refusal(SceneRefusal::Concerns::Header,
                       "the exposure (field 6) is " + std::to_string(s.Exposure) + "; it must be at least 1");
    }
    if (s.TransformCount < 1 || s.TransformCount > kTransformSlots) {
        return Refusal(SceneRefusal::Concerns::Header,
                       "the number of transforms (field 8) is " + std::to_string(s.TransformCount) +
                           "; it must be 1 to " + std::to_string(kTransformSlots));
    }
    const auto count = static_cast<std::size_t>(s.TransformCount);

    s.WeightSum = 0.0;
    for (std::size_t k = 0; k < count; ++k) s.WeightSum += scene.transforms[k].Weight;

    if (s.HighSpeed) {
        if (auto refusal = CheckWeights(scene, count)) return refusal;
    }

    if (s.HiRes) {
        if (auto refusal = CheckHiResMapping(s)) return refusal;
        s.HiResXMin = -static_cast<double>(s.OffsetX) / s.ScaleX;
        s.HiResXMax = static_cast<double>(kPictureWidth - s.OffsetX) / s.ScaleX;
        s.HiResYMin = -static_cast<double>(s.OffsetY) / s.ScaleY;
        s.HiResYMax = static_cast<double>(kPictureHeight - s.OffsetY) / s.ScaleY;
    }

    s.InitialSeed = s.RandSeed;
    return std::nullopt;
}

}  // namespace morva
