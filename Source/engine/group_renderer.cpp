#include "engine/group_renderer.h"

namespace morva {

namespace {

class ReferenceRenderer final : public GroupRenderer {
public:
    ReferenceRenderer(const Scene& scene, UniformRandom& uniform, std::optional<PicturePlan> picture)
        : scene_(scene), uniform_(uniform), plan_(std::move(picture)) {
        if (plan_) counts_.emplace(plan_->MakeCounts());
    }
    void DrawGroups(EngineState& state, Raster& raster, int count) override {
        for (int g = 0; g < count; ++g) {
            if (plan_) {
                DrawFrameFr(scene_, state, raster, uniform_,
                            [&](const PointState& point, int k) { PlotPicture(*plan_, *counts_, point, k); });
            } else {
                DrawFrameFr(scene_, state, raster, uniform_);
            }
        }
    }
    PictureCounts* Picture() override {
        if (!counts_) return nullptr;
        counts_->Settle();
        return &*counts_;
    }

private:
    const Scene& scene_;
    UniformRandom& uniform_;
    std::optional<PicturePlan> plan_;
    std::optional<PictureCounts> counts_;
};

}  // namespace

std::unique_ptr<GroupRenderer> MakeReferenceRenderer(const Scene& scene, UniformRandom& uniform,
                                                     std::optional<PicturePlan> picture) {
    return std::make_unique<ReferenceRenderer>(scene, uniform, std::move(picture));
}

}  // namespace morva
