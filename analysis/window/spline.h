#pragma once
// The natural cubic spline through the working curve.

#include "vylsf.h"

namespace vantry {

/// mode 1: builds the spline of the working curve (x and y unused); mode 2: y = its value at x
/// (extrapolated on the first or last cubic outside the curve); other modes do nothing. Needs
/// strictly increasing CURVEX and at least 2 points (callers pass 4 or more).
void SPLINE(WorkingCurve& w, float& x, float& y, int mode);

/// Copies points 0 .. npts-1 of a stored curve into the working curve and builds its spline.
void loadWorkingCurve(WorkingCurve& w, const float* freq, const float* value, int32_t npts);
/// The spline's value at x.
float splineAt(WorkingCurve& w, float x);

} // namespace vantry
