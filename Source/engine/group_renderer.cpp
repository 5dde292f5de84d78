#include "engine/group_renderer.h"

namespace morva {

namespace {

class ReferenceRenderer final : public GroupRenderer {
public:
    ReferenceRenderer(const Scene& scene, UniformRandom& uniform) : scene_(scene), uniform_(uniform) {}
    void DrawGroups(EngineState& state, Raster& raster, int count) override {
        for (int g = 0; g < count; ++g) DrawFrameFr(scene_, state, raster, uniform_);
    }

private:
    const Scene& scene_;
    UniformRandom& uniform_;
};

}  // namespace

std::unique_ptr<GroupRenderer> MakeReferenceRenderer(const Scene& scene, UniformRandom& uniform) {
    return std::make_unique<ReferenceRenderer>(scene, uniform);
}

}  // namespace morva
