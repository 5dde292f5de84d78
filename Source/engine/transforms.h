#pragma once

#include <cmath>
#include <cstring>

namespace morva {

// The point of the chaos game: the current point, the point before the
// latest transform, and the latest denominator of the projective map.
struct PointState {
    double X = 0.0;
    double Y = 0.0;
    double XOld = 0.0;
    double YOld = 0.0;
    double Den = 0.0;
};

// The same point, bit for bit. Every map writes the previous point and the
// denominator before it reads them, so they are no part of what a render
// leaves: a fast loop need not carry them.
inline bool SamePoint(const PointState& a, const PointState& b) {
    return std::memcmp(&a.X, &b.X, sizeof a.X) == 0 && std::memcmp(&a.Y, &b.Y, sizeof a.Y) == 0;
}

// Every map computes from copies of the entry point and evaluates its terms
// in exactly the grouping written: the order of the roundings is part of the
// rendered result (the build forbids contraction into fused multiply-adds).

// x' = A*x + B*y + E, y' = C*x + D*y + F.
inline void ConvertAff2(PointState& state, double& X, double& Y, double A, double B, double C, double D,
                        double E, double F) {
    const double x0 = X, y0 = Y;
    state.XOld = x0;
    state.YOld = y0;
    X = (B * y0 + A * x0) + E;
    Y = (D * y0 + C * x0) + F;
}

// x' = (A1*x + B1*y + C1) / (D1*x + E1*y + F1), likewise y' with the second
// six; a coordinate whose denominator is zero or not a number keeps its value.
inline void ConvertProj2(PointState& state, double& X, double& Y, double A1, double B1, double C1, double D1,
                         double E1, double F1, double A2, double B2, double C2, double D2, double E2,
                         double F2) {
    const double x0 = X, y0 = Y;
    state.XOld = x0;
    state.YOld = y0;
    state.Den = (E1 * y0 + D1 * x0) + F1;
    if (state.Den != 0.0 && !std::isnan(state.Den)) X = ((A1 * x0 + B1 * y0) + C1) / state.Den;
    state.Den = (D2 * x0 + E2 * y0) + F2;
    if (state.Den != 0.0 && !std::isnan(state.Den)) Y = ((A2 * x0 + B2 * y0) + C2) / state.Den;
}

// x' = A1*x^2 + B1*x*y + C1*y^2 + D1*x + E1*y + F1, likewise y'.
inline void ConvertSqr2(PointState& state, double& X, double& Y, double A1, double B1, double C1, double D1,
                        double E1, double F1, double A2, double B2, double C2, double D2, double E2,
                        double F2) {
    const double x0 = X, y0 = Y;
    state.XOld = x0;
    state.YOld = y0;
    X = (((((B1 * x0) * y0 + (A1 * x0) * x0) + (C1 * y0) * y0) + D1 * x0) + E1 * y0) + F1;
    Y = (((((B2 * x0) * y0 + (A2 * x0) * x0) + (C2 * y0) * y0) + D2 * x0) + E2 * y0) + F2;
}

}  // namespace morva
