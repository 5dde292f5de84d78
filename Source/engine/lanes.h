#pragma once

// Two doubles that the fast loop computes side by side: lane 0 holds a
// point's x, lane 1 its y, or a pair of coefficients, one per coordinate.
// Every operation here is the IEEE operation of each lane on its own, so a
// kernel written with them gives the same bits as scalar code performing the
// same operations in the same order (the build forbids fused multiply-adds).
// With SSE2 a pair is one register; without it, or with MORVA_NO_SIMD (the
// CMake option MORVA_SIMD=OFF), it is two plain doubles, and the very same
// kernels compile to scalar code.

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(MORVA_NO_SIMD)
#define MORVA_SIMD 1
#include <emmintrin.h>
#else
#define MORVA_SIMD 0
#endif

namespace morva {

#if MORVA_SIMD

struct Lanes {
    __m128d v;
};

inline Lanes MakeLanes(double lane0, double lane1) { return {_mm_set_pd(lane1, lane0)}; }
inline double Lane0(Lanes a) { return _mm_cvtsd_f64(a.v); }
inline double Lane1(Lanes a) { return _mm_cvtsd_f64(_mm_unpackhi_pd(a.v, a.v)); }
inline Lanes operator+(Lanes a, Lanes b) { return {_mm_add_pd(a.v, b.v)}; }
inline Lanes operator*(Lanes a, Lanes b) { return {_mm_mul_pd(a.v, b.v)}; }
inline Lanes operator/(Lanes a, Lanes b) { return {_mm_div_pd(a.v, b.v)}; }
// [a0, a0], [a1, a1] and [a1, a0].
inline Lanes Broadcast0(Lanes a) { return {_mm_unpacklo_pd(a.v, a.v)}; }
inline Lanes Broadcast1(Lanes a) { return {_mm_unpackhi_pd(a.v, a.v)}; }
inline Lanes Swapped(Lanes a) { return {_mm_shuffle_pd(a.v, a.v, 1)}; }

// All ones in each lane whose denominator is neither zero (of either sign)
// nor NaN: 0 < |denominator|.
inline __m128d DivisibleMask(Lanes denominator) {
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFll));
    return _mm_cmplt_pd(_mm_setzero_pd(), _mm_and_pd(denominator.v, magnitude));
}

// Lane by lane: the quotient where the denominator is neither zero nor NaN,
// the kept value elsewhere.
inline Lanes WhereDivisible(Lanes denominator, Lanes quotient, Lanes kept) {
    const __m128d usable = DivisibleMask(denominator);
    return {_mm_or_pd(_mm_and_pd(usable, quotient.v), _mm_andnot_pd(usable, kept.v))};
}

// Both lanes' denominators are neither zero nor NaN.
inline bool BothDivisible(Lanes denominator) { return _mm_movemask_pd(DivisibleMask(denominator)) == 3; }

// Every bit of both lanes set, or none.
inline Lanes MaskOf(bool all) { return {_mm_castsi128_pd(_mm_set1_epi64x(all ? -1 : 0))}; }

// a's bits where the mask's are set, b's elsewhere.
inline Lanes Choose(Lanes mask, Lanes a, Lanes b) {
    return {_mm_or_pd(_mm_and_pd(mask.v, a.v), _mm_andnot_pd(mask.v, b.v))};
}

// low < a < high in both lanes; false for NaN.
inline bool StrictlyInside(Lanes low, Lanes a, Lanes high) {
    return _mm_movemask_pd(_mm_and_pd(_mm_cmplt_pd(low.v, a.v), _mm_cmplt_pd(a.v, high.v))) == 3;
}

// Both lanes of a finite, and both lanes of b finite and not zero (v - v is
// zero just when v is finite; no constant but zero to load).
inline bool FiniteAndFiniteNonZero(Lanes a, Lanes b) {
    const __m128d zero = _mm_setzero_pd();
    const __m128d usable = _mm_and_pd(
        _mm_and_pd(_mm_cmpeq_pd(_mm_sub_pd(a.v, a.v), zero), _mm_cmpeq_pd(_mm_sub_pd(b.v, b.v), zero)),
        _mm_cmpneq_pd(b.v, zero));
    return _mm_movemask_pd(usable) == 3;
}

inline bool SameBits(Lanes a, Lanes b) {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_castpd_si128(a.v), _mm_castpd_si128(b.v))) == 0xFFFF;
}

// A table's columns and its pixel offsets, as the cell below needs them.
struct CellLayout {
    __m128i offsets;  // 32-bit [OffsetX, OffsetY, 0, 0]
    __m128i stride;   // 16-bit [1, width, 0, ...]
};

inline CellLayout MakeCellLayout(std::int32_t offsetX, std::int32_t offsetY, int width) {
    return {_mm_set_epi32(0, 0, offsetY, offsetX),
            _mm_set_epi16(0, 0, 0, 0, 0, 0, static_cast<short>(width), 1)};
}

// low <= a < high in both lanes; false for NaN.
inline bool WithinRange(Lanes low, Lanes a, Lanes high) {
    return _mm_movemask_pd(_mm_and_pd(_mm_cmple_pd(low.v, a.v), _mm_cmplt_pd(a.v, high.v))) == 3;
}

// The cell (floor(y) + OffsetY) * width + floor(x) + OffsetX of a product
// whose lanes are below 2^31 in magnitude and whose pixels lie in the table
// (width below 2^15): truncation is exact there, one less where it rounded
// up; the pixels fit 16 bits and one multiply-add gives the cell.
inline std::uint32_t CellOf(Lanes product, const CellLayout& layout) {
    const __m128i truncated = _mm_cvttpd_epi32(product.v);
    const __m128i roundedUp =
        _mm_shuffle_epi32(_mm_castpd_si128(_mm_cmplt_pd(product.v, _mm_cvtepi32_pd(truncated))), 0x08);
    const __m128i pixels = _mm_add_epi32(_mm_add_epi32(truncated, roundedUp), layout.offsets);
    return static_cast<std::uint32_t>(
        _mm_cvtsi128_si32(_mm_madd_epi16(_mm_packs_epi32(pixels, pixels), layout.stride)));
}

#else

struct Lanes {
    double lane0, lane1;
};

inline Lanes MakeLanes(double lane0, double lane1) { return {lane0, lane1}; }
inline double Lane0(Lanes a) { return a.lane0; }
inline double Lane1(Lanes a) { return a.lane1; }
inline Lanes operator+(Lanes a, Lanes b) { return {a.lane0 + b.lane0, a.lane1 + b.lane1}; }
inline Lanes operator*(Lanes a, Lanes b) { return {a.lane0 * b.lane0, a.lane1 * b.lane1}; }
inline Lanes operator/(Lanes a, Lanes b) { return {a.lane0 / b.lane0, a.lane1 / b.lane1}; }
inline Lanes Broadcast0(Lanes a) { return {a.lane0, a.lane0}; }
inline Lanes Broadcast1(Lanes a) { return {a.lane1, a.lane1}; }
inline Lanes Swapped(Lanes a) { return {a.lane1, a.lane0}; }

inline bool Divisible(double denominator) { return denominator != 0.0 && denominator == denominator; }

inline Lanes WhereDivisible(Lanes denominator, Lanes quotient, Lanes kept) {
    return {Divisible(denominator.lane0) ? quotient.lane0 : kept.lane0,
            Divisible(denominator.lane1) ? quotient.lane1 : kept.lane1};
}

inline bool BothDivisible(Lanes denominator) {
    return Divisible(denominator.lane0) && Divisible(denominator.lane1);
}

inline Lanes MaskOf(bool all) {
    const std::uint64_t bits = all ? ~std::uint64_t{0} : 0;
    Lanes mask;
    std::memcpy(&mask.lane0, &bits, sizeof bits);
    std::memcpy(&mask.lane1, &bits, sizeof bits);
    return mask;
}

inline Lanes Choose(Lanes mask, Lanes a, Lanes b) {
    auto choose = [](double m, double x, double y) {
        std::uint64_t mb, xb, yb;
        std::memcpy(&mb, &m, sizeof m);
        std::memcpy(&xb, &x, sizeof x);
        std::memcpy(&yb, &y, sizeof y);
        const std::uint64_t bits = (mb & xb) | (~mb & yb);
        double r;
        std::memcpy(&r, &bits, sizeof r);
        return r;
    };
    return {choose(mask.lane0, a.lane0, b.lane0), choose(mask.lane1, a.lane1, b.lane1)};
}

inline bool StrictlyInside(Lanes low, Lanes a, Lanes high) {
    return low.lane0 < a.lane0 && a.lane0 < high.lane0 && low.lane1 < a.lane1 && a.lane1 < high.lane1;
}

inline bool FiniteAndFiniteNonZero(Lanes a, Lanes b) {
    auto finite = [](double v) { return v - v == 0.0; };  // false for infinities and NaN
    return finite(a.lane0) && finite(a.lane1) && finite(b.lane0) && finite(b.lane1) && b.lane0 != 0.0 &&
           b.lane1 != 0.0;
}

inline bool SameBits(Lanes a, Lanes b) { return std::memcmp(&a, &b, sizeof(Lanes)) == 0; }

struct CellLayout {
    std::int32_t offsetX, offsetY;
    int width;
};

inline CellLayout MakeCellLayout(std::int32_t offsetX, std::int32_t offsetY, int width) {
    return {offsetX, offsetY, width};
}

inline bool WithinRange(Lanes low, Lanes a, Lanes high) {
    return low.lane0 <= a.lane0 && a.lane0 < high.lane0 && low.lane1 <= a.lane1 && a.lane1 < high.lane1;
}

inline std::uint32_t CellOf(Lanes product, const CellLayout& layout) {
    auto pixel = [](double p, std::int32_t offset) {
        std::int32_t whole = static_cast<std::int32_t>(p);
        whole -= static_cast<double>(whole) > p;
        return whole + offset;
    };
    return static_cast<std::uint32_t>(pixel(product.lane1, layout.offsetY) * layout.width +
                                      pixel(product.lane0, layout.offsetX));
}

#endif

}  // namespace morva
