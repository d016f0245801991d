#pragma once
// The precise edge MTF method: the edge's orientation and line found from the pixels, every pixel
// projected onto the edge normal and averaged in eighth-pixel bins, the LSF's transform with the
// bins' and the difference's transfer divided out, and a jackknife standard error at every
// frequency. A pure function of the pixels; refusals and warnings are plain text.

#include <cstdint>
#include <string>
#include <vector>

namespace vantry {

struct PreciseMtfOptions {
    double fmax = 3;   ///< cycles/mm, last frequency of the output grid
    double fint = 0.1; ///< cycles/mm, step of the output grid; points n*fint for n = 0..nint(fmax/fint)
};

struct PreciseMtfResult {
    std::string error;                 ///< empty when measured, else why the edge was refused (one sentence with cause and remedy)
    std::vector<std::string> warnings; ///< each a line starting "warning " (the curve is kept)
    std::string dir;                   ///< " H" when the edge profile runs along x (edge roughly vertical), " V" along y
    /// Tilt of the edge from the nearest image axis, degrees, signed: the angle from the profile
    /// axis to the edge normal, positive when the normal turns towards +y (" H") or +x (" V").
    double angleDeg = 0;
    double cnr = 0;                    ///< contrast-to-noise ratio (infinity when noiseless)
    std::vector<double> freq, mtf, se; ///< the grid (cycles/mm along the edge normal), MTF (1 at 0) and its standard error
    /// Half-widths of the span of the LSF used on either side of the edge, in pixels along the
    /// normal.
    double spanLowPx = 0, spanHighPx = 0;
};

/// Measures the edge inside the ROI (x, y, w, h) of an image of width x height pixels (row-major,
/// pixels[x + width*y]) with pixel pitch pitchMm.
PreciseMtfResult measurePreciseMtf(const int16_t* pixels, int32_t width, int32_t height,
                                   int32_t roiX, int32_t roiY, int32_t roiW, int32_t roiH,
                                   double pitchMm, const PreciseMtfOptions& options);

} // namespace vantry
