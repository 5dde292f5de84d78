#include "engine/fast_scene.h"

#include <algorithm>

namespace morva {

FastScene::FastScene(const Scene& s)
    : scene(s),
      highSpeed(s.settings.HighSpeed),
      hiRes(s.settings.HiRes),
      hitValue(s.settings.HitValue),
      scaleX(s.settings.ScaleX),
      scaleY(s.settings.ScaleY),
      offsetX(s.settings.OffsetX),
      offsetY(s.settings.OffsetY),
      scale4X(static_cast<double>(std::int64_t{kHiResFactor} * s.settings.ScaleX)),
      scale4Y(static_cast<double>(std::int64_t{kHiResFactor} * s.settings.ScaleY)),
      offset4X(std::int64_t{kHiResFactor} * s.settings.OffsetX),
      offset4Y(std::int64_t{kHiResFactor} * s.settings.OffsetY) {
    const int used = std::clamp(s.settings.TransformCount, 0, kTransformSlots);
    for (int k = 0; k < used; ++k) {
        Record record{s.transforms[k].Kind, {}};
        std::copy(s.transforms[k].Coef.begin(), s.transforms[k].Coef.end(), record.c);
        records.push_back(record);
    }
    allAffine =
        std::all_of(records.begin(), records.end(), [](const Record& r) { return r.kind == kAffine; });
    if (highSpeed && s.settings.WeightTotal727 >= 1) {
        weightTotal = static_cast<std::uint32_t>(s.settings.WeightTotal727);
        fastModMultiplier = ~std::uint64_t{0} / weightTotal + 1;
        if (weightTotal <= kDrawTableLimit) {
            drawTable.resize(weightTotal);
            for (std::uint32_t draw = 0; draw < weightTotal; ++draw) {
                drawTable[draw] = static_cast<std::int16_t>(SelectFast(s, static_cast<std::int32_t>(draw)));
            }
        } else {
            std::int64_t acc = 0, best = INT64_MIN;
            for (int k = 0; k < used; ++k) {
                acc += WeightBand(s.transforms[k].Weight).value_or(0);
                best = std::max(best, acc);
                bandPrefixMax.push_back(best);
            }
        }
    }
}

int FastScene::SelectByBands(std::uint32_t draw) const {
    auto at = std::upper_bound(bandPrefixMax.begin(), bandPrefixMax.end(), static_cast<std::int64_t>(draw));
    return at == bandPrefixMax.end() ? -1 : static_cast<int>(at - bandPrefixMax.begin());
}

}  // namespace morva
