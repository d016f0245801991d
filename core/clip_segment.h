#pragma once
// Clipping a line segment to a rectangle, for the surfaces that draw the charts.

namespace vantry {

/// Clips the segment (x1, y1) - (x2, y2) to the rectangle loX .. hiX, loY .. hiY (Liang-Barsky)
/// in place; false when nothing of it lies inside, or when its ends are too far apart for a
/// double. Keeps far-off user coordinates away from a rasteriser.
bool clipSegment(double& x1, double& y1, double& x2, double& y2, double loX, double loY,
                 double hiX, double hiY);

} // namespace vantry
