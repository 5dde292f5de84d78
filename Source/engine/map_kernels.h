#pragma once

// The three maps on a point held as one pair of lanes [X, Y]. Each lane
// computes its own coordinate's expression with exactly the operations of
// the scalar map (transforms.h), operand for operand and in the same order,
// so both lanes get the bits the scalar map gets: the affine map and the
// quadratic map share their shape between the coordinates; the projective
// map computes both denominators at once with their terms in each one's own
// order, divides both lanes at once, and keeps a coordinate whose own
// denominator is zero or NaN, as the scalar map does. (The coefficients are
// finite and the point starts at the origin, so the only NaN a render can
// make is the machine's default NaN: which of two NaN operands an add
// returns, which a compiler may swap, cannot show in the result.)

#include <cstdint>
#include <vector>

#include "engine/lanes.h"
#include "engine/transforms.h"
#include "scene/scene_contract.h"

namespace morva {

// The fast loop's state: the current point in lanes. PointState's other
// fields (the point before the latest map, the latest denominator) are
// written by every map before it reads them, so no later step and no
// output depends on them: the fast loop does not carry them, and two states
// with the same point are the same state.
struct MapState {
    Lanes xy;
};

inline MapState ToMapState(const PointState& p) { return {MakeLanes(p.X, p.Y)}; }

// The point of s into p; p's other fields stay as they were.
inline void StorePoint(const MapState& s, PointState& p) {
    p.X = Lane0(s.xy);
    p.Y = Lane1(s.xy);
}

// The same state, bit for bit.
inline bool SameState(const MapState& a, const MapState& b) { return SameBits(a.xy, b.xy); }

// A map's coefficients as pairs, one lane per coordinate:
//   affine:     [A, D], [B, C], [E, F]
//   quadratic:  [A1, A2], [B1, B2], [C1, C2], [D1, D2], [E1, E2], [F1, F2]
//   projective: [A1, B2], [B1, A2], [C1, C2], [E1, D2], [D1, E2], [F1, F2]
// (the x denominator is E1*y + D1*x + F1, the y denominator D2*x + E2*y + F2).
struct PackedMap {
    Lanes c[6];
};

PackedMap PackMap(const TransformRec& record);

// X = (B*y0 + A*x0) + E, Y = (D*y0 + C*x0) + F: lane 0 adds B*y0 to A*x0,
// lane 1 C*x0 to D*y0, the same sums (an add does not care for the order
// of its operands), with one shuffle of the point in place of two.
[[gnu::always_inline]] inline void ApplyAffine(const Lanes* c, MapState& s) {
    s.xy = (c[1] * Swapped(s.xy) + c[0] * s.xy) + c[2];
}

// ((((B*x0)*y0 + (A*x0)*x0) + (C*y0)*y0) + D*x0) + E*y0) + F per lane.
[[gnu::always_inline]] inline void ApplyQuadratic(const Lanes* c, MapState& s) {
    const Lanes xx = Broadcast0(s.xy), yy = Broadcast1(s.xy);
    s.xy = (((((c[1] * xx) * yy + (c[0] * xx) * xx) + (c[2] * yy) * yy) + c[3] * xx) + c[4] * yy) + c[5];
}

// The quadratic map without the terms whose pairs are zero in both lanes
// (terms: the bits of the sum above, (B*x0)*y0 first; first is the lowest
// bit, rest the others; never none). While the point is finite, such a term
// is a zero of either sign, and adding a zero to a partial sum changes
// nothing unless that sum is a zero too; a zero partial sum is gone, sign
// and all, once a non-zero term is added. So leaving them out can change
// only a result that is zero, and a point that is not finite or a result
// that is zero, infinite or NaN takes the formula as written.
[[gnu::always_inline]] inline void ApplySparseQuadratic(const Lanes* c, int first, unsigned rest,
                                                        MapState& s) {
    const Lanes xx = Broadcast0(s.xy), yy = Broadcast1(s.xy);
    Lanes sum;
    switch (first) {
        case 0:
            sum = (c[1] * xx) * yy;
            break;
        case 1:
            sum = (c[0] * xx) * xx;
            break;
        case 2:
            sum = (c[2] * yy) * yy;
            break;
        case 3:
            sum = c[3] * xx;
            break;
        case 4:
            sum = c[4] * yy;
            break;
        default:
            sum = c[5];
            break;
    }
    if (rest & 2) sum = sum + (c[0] * xx) * xx;
    if (rest & 4) sum = sum + (c[2] * yy) * yy;
    if (rest & 8) sum = sum + c[3] * xx;
    if (rest & 16) sum = sum + c[4] * yy;
    if (rest & 32) sum = sum + c[5];
    if (FiniteAndFiniteNonZero(s.xy, sum)) [[likely]] {
        s.xy = sum;
    } else {
        ApplyQuadratic(c, s);
    }
}

// The terms of a quadratic map's sum whose pairs are not zero in both lanes
// (bit 0 for (B*x0)*y0, in the order of the sum).
unsigned QuadraticTerms(const PackedMap& map);

// Numerators (A*x0 + B*y0) + C (lane 1 adds A2*x0 to B2*y0, the same sum);
// denominators (E1*y0 + D1*x0) + F1 in lane 0 and (D2*x0 + E2*y0) + F2 in
// lane 1. The point and its swap are all the lanes need.
[[gnu::always_inline]] inline void ApplyProjective(const Lanes* c, MapState& s) {
    const Lanes swapped = Swapped(s.xy);
    const Lanes den = (c[3] * swapped + c[4] * s.xy) + c[5];
    const Lanes quotient = ((c[0] * s.xy + c[1] * swapped) + c[2]) / den;
    // Nearly always both lanes divide: a jump that goes one way keeps the
    // lane-by-lane choice off the chain of steps.
    if (BothDivisible(den)) [[likely]] {
        s.xy = quotient;
    } else {
        s.xy = WhereDivisible(den, quotient, s.xy);
    }
}

// The number of coefficient pairs a kind's map reads.
constexpr int PairsOf(TransformKind kind) { return kind == kAffine ? 3 : 6; }

// A kind's map on the lanes.
template <TransformKind Kind>
[[gnu::always_inline]] inline void ApplyKind(const Lanes* c, MapState& s) {
    if constexpr (Kind == kAffine) {
        ApplyAffine(c, s);
    } else if constexpr (Kind == kProjective) {
        ApplyProjective(c, s);
    } else {
        ApplyQuadratic(c, s);
    }
}

// The kind of every record in use, or -1 where they differ, one is of no
// kind the loop knows, or there are none.
int OneKind(const Scene& scene);

// Maps of a scene in which every record in use is of one kind: no dispatch,
// and each map takes only the pairs its kind reads. Empty for a scene of any
// other kinds.
template <TransformKind Kind>
class OneKindMaps {
public:
    explicit OneKindMaps(const Scene& scene) {
        const int used = OneKind(scene) == Kind ? UsedTransforms(scene.settings) : 0;
        unsigned terms = 0;
        for (int k = 0; k < used; ++k) {
            const PackedMap m = PackMap(scene.transforms[static_cast<std::size_t>(k)]);
            Packed p{};
            for (int i = 0; i < PairsOf(Kind); ++i) p.c[i] = m.c[i];
            maps_.push_back(p);
            if constexpr (Kind == kQuadratic) terms |= QuadraticTerms(m);
        }
        // Quadratic maps leave out the terms that are zero in every map of
        // the scene: the same terms at every step, so the tests of which
        // ones are there always go the same way. One term left out saves
        // less than the tests and the guard cost; two shorten the chain of
        // a step by two multiplies and two adds.
        if (terms != 0 && __builtin_popcount(terms) <= 4) {
            first_ = __builtin_ctz(terms);
            rest_ = terms & (terms - 1);
        }
    }
    // An affine map's three pairs take the room of four: 64 bytes, so that
    // the loop finds a map with one shift of its index.
    struct Packed {
        Lanes c[Kind == kAffine ? 4 : PairsOf(Kind)];
    };
    // What the loop reads, as a value the compiler can keep in registers.
    struct View {
        const Packed* maps;
        int first;  // -1: every term
        unsigned rest;
        [[gnu::always_inline]] void Apply(int k, MapState& s) const {
            if constexpr (Kind == kQuadratic) {
                if (first >= 0) {
                    ApplySparseQuadratic(maps[k].c, first, rest, s);
                    return;
                }
            }
            ApplyKind<Kind>(maps[k].c, s);
        }
    };
    View Hot() const { return {maps_.data(), first_, rest_}; }
    void Apply(int k, MapState& s) const { Hot().Apply(k, s); }

private:
    std::vector<Packed> maps_;
    int first_ = -1;
    unsigned rest_ = 0;
};

using AffineMaps = OneKindMaps<kAffine>;

// Maps of any kinds; a kind the scene file cannot write applies nothing, as
// in the reference loop. The kinds follow one another at random, so a jump
// on each map's kind is mispredicted at about as many steps as the most
// common kind leaves to the others. Where no kind holds more than
// kMostToJump of the selection's bands, every kind the scene has is applied
// instead, each to the point as it was, and the map's own kind's result is
// chosen bit for bit by masks: that costs every kind's instructions at every
// step, and measured against the jump it gained 13 to 30 % where no kind
// held more than 0.44 of the bands, nothing at 0.57 to 0.64, and lost 42 %
// at 0.91. Which way either test goes is the same at every step.
class MixedMaps {
public:
    static constexpr double kMostToJump = 0.5;

    explicit MixedMaps(const Scene& scene);
    struct Packed {
        PackedMap map;
        Lanes is[3];  // all ones for the map's kind: affine, quadratic, projective
        int kind;
    };
    struct View {
        const Packed* maps;
        unsigned kinds;  // to choose from, bit 0 affine, 1 quadratic, 2 projective; none: jump
        [[gnu::always_inline]] void Apply(int k, MapState& s) const {
            const Packed& m = maps[k];
            if (kinds == 0) {
                Jump(m, s);
                return;
            }
            Lanes out = s.xy;
            // The projective map's division is the longest way: its choice
            // comes last.
            if (kinds & 1) {
                MapState a = s;
                ApplyAffine(m.map.c, a);
                out = Choose(m.is[0], a.xy, out);
            }
            if (kinds & 2) {
                MapState q = s;
                ApplyQuadratic(m.map.c, q);
                out = Choose(m.is[1], q.xy, out);
            }
            if (kinds & 4) {
                MapState p = s;
                ApplyProjective(m.map.c, p);
                out = Choose(m.is[2], p.xy, out);
            }
            s.xy = out;
        }
        [[gnu::always_inline]] static void Jump(const Packed& m, MapState& s) {
            switch (m.kind) {
                case kAffine:
                    ApplyAffine(m.map.c, s);
                    break;
                case kProjective:
                    ApplyProjective(m.map.c, s);
                    break;
                case kQuadratic:
                    ApplyQuadratic(m.map.c, s);
                    break;
                default:
                    break;
            }
        }
    };
    View Hot() const { return {maps_.data(), kinds_}; }
    void Apply(int k, MapState& s) const { Hot().Apply(k, s); }
    // Whether the maps are chosen by masks rather than by a jump.
    bool Chooses() const { return kinds_ != 0; }

private:
    std::vector<Packed> maps_;
    unsigned kinds_ = 0;
};

}  // namespace morva
