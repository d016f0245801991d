#pragma once
// Least-squares fit of a quadratic surface, used to remove the slow trend of a flat field.

#include <cstdint>

namespace vantry {

/// Solves the surface's 6 x 7 augmented normal equations (basis 1, x, y, x^2, x y, y^2) in place
/// by Gauss-Jordan elimination; the coefficients end in column 6.
void solveSurfaceEquations(double (&M)[6][7]);

/// Fits c0 + c1 x + c2 y + c3 x^2 + c4 x y + c5 y^2 to a(x, y), x, y = 0 .. n-1 (x fastest:
/// a[x + n y]), and writes the fitted surface into f. Sums and elimination in double precision.
void LESQ2D(const float* a, float* f, int32_t n);

} // namespace vantry
