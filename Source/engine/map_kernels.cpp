#include "engine/map_kernels.h"

#include <algorithm>

namespace morva {

PackedMap PackMap(const TransformRec& record) {
    const auto& c = record.Coef;
    PackedMap m{};
    switch (record.Kind) {
        case kAffine:
            m.c[0] = MakeLanes(c[0], c[3]);
            m.c[1] = MakeLanes(c[1], c[2]);
            m.c[2] = MakeLanes(c[4], c[5]);
            break;
        case kProjective:
            m.c[0] = MakeLanes(c[0], c[7]);
            m.c[1] = MakeLanes(c[1], c[6]);
            m.c[2] = MakeLanes(c[2], c[8]);
            m.c[3] = MakeLanes(c[4], c[9]);
            m.c[4] = MakeLanes(c[3], c[10]);
            m.c[5] = MakeLanes(c[5], c[11]);
            break;
        default:
            for (int i = 0; i < 6; ++i) m.c[i] = MakeLanes(c[static_cast<std::size_t>(i)], c[6 + i]);
            break;
    }
    return m;
}

unsigned QuadraticTerms(const PackedMap& map) {
    // The pairs of the terms, in the order of the sum: B, A, C, D, E, F.
    constexpr int kPairOfTerm[6] = {1, 0, 2, 3, 4, 5};
    unsigned terms = 0;
    for (int t = 0; t < 6; ++t) {
        const Lanes pair = map.c[kPairOfTerm[t]];
        if (Lane0(pair) != 0.0 || Lane1(pair) != 0.0) terms |= 1u << t;
    }
    return terms;
}

MixedMaps::MixedMaps(const Scene& scene) {
    const int used = UsedTransforms(scene.settings);
    constexpr TransformKind kOrder[3] = {kAffine, kQuadratic, kProjective};
    double bands[3] = {}, total = 0;
    unsigned kinds = 0;
    for (int k = 0; k < used; ++k) {
        const TransformRec& record = scene.transforms[static_cast<std::size_t>(k)];
        Packed p{PackMap(record), {}, record.Kind};
        // The projective map, applied to every map, then divides an affine
        // map's point by one (pairs it does not read) and does not jump.
        if (record.Kind == kAffine) p.map.c[5] = MakeLanes(1.0, 1.0);
        const double band = std::max(0, WeightBand(record.Weight).value_or(0));
        total += band;
        for (int i = 0; i < 3; ++i) {
            p.is[i] = MaskOf(record.Kind == kOrder[i]);
            if (record.Kind != kOrder[i]) continue;
            kinds |= 1u << i;
            bands[i] += band;
        }
        maps_.push_back(p);
    }
    const double most = *std::max_element(bands, bands + 3);
    if (most <= total * kMostToJump) kinds_ = kinds;
}

int OneKind(const Scene& scene) {
    const int used = UsedTransforms(scene.settings);
    int kind = -1;
    for (int k = 0; k < used; ++k) {
        const int own = scene.transforms[static_cast<std::size_t>(k)].Kind;
        if (own > kQuadratic || (k > 0 && own != kind)) return -1;
        kind = own;
    }
    return kind;
}

}  // namespace morva
