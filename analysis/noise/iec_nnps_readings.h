#pragma once
// The two readings of a ROI of the IEC-style NNPS: the surface fitted over the area subtracted,
// the ROI transformed, its power taken on the bands beside the axes. The passes of the 2D-NNPS
// (AVX2 where the processor has it) read Int16 pixels; FFTW reads any linearised values.

#include "iec_nnps_bands.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantry::iec {

/// The surface c0 + c1 u + c2 w + c3 u^2 + c4 u w + c5 w^2 over the area, with u = (x - cx) /
/// scaleX and w likewise the area's coordinates scaled to -1 .. 1 (ux, uy per area column and row).
struct AreaSurface {
    std::array<double, 6> c{};
    std::vector<double> ux, uy;
    double scaleX = 1;
};

/// Coordinates of an area axis of n pixels scaled to -1 .. 1, and the scale (pixels per unit).
std::vector<double> scaledAxis(int32_t n, double& scale);

class RoiReading {
public:
    virtual ~RoiReading() = default;
    /// The band power of the ROI whose top left pixel is `roi` (rows `stride` apart) at (x0, y0)
    /// of the area, less the surface; `next` is the next ROI to be read (or nullptr), which the
    /// reading may ask into the cache.
    virtual void read(const int16_t* roi, int32_t stride, int32_t x0, int32_t y0, const int16_t* next,
                      BandPower& out) = 0;
};

/// FFTW's real transform of the pixels, or of table[pixel + 32768] when a table is given (the
/// table must outlive the reading).
std::unique_ptr<RoiReading> fftwReading(const AreaSurface& surface, const float* table);
/// The column and row passes of the 2D-NNPS on the raw pixels.
std::unique_ptr<RoiReading> passesReading(const AreaSurface& surface);

} // namespace vantry::iec
