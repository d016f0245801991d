#pragma once
// The IEC-style normalised noise power spectrum of flat fields: an analysis area cut into
// 256 x 256 ROIs that overlap by half in both directions, one second-order surface fitted over
// the whole area and subtracted, the unwindowed periodogram of every ROI averaged, divided by the
// squared mean (linearised) signal, and read off along each axis from the 7 spectrum lines on
// either side of it, the axis itself left out, in bins of radial frequency. A pure function of the
// pixels; refusals and warnings are plain text.

#include "conversion.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantry {

/// Side of a ROI of the IEC-style spectrum and the step between ROIs.
inline constexpr int32_t kIecRoiSide = 256;
inline constexpr int32_t kIecRoiStep = 128;
/// Spectrum lines averaged on each side of an axis.
inline constexpr int32_t kIecAxisLines = 7;
/// Independent pixels a detector NNPS is asked to rest on.
inline constexpr int64_t kIecPixelsAskedFor = 4000000;

/// How the ROIs are transformed: with the passes of the 2D-NNPS (AVX2 where the processor has
/// it) on the raw pixels, or with FFTW. Both give the same spectrum within float rounding; a
/// logarithmic conversion always takes FFTW, which reads linearised values.
enum class IecReading { Passes, Fftw };

struct IecNnpsOptions {
    double fmax = 0;    ///< cycles/mm, last frequency of the grid; 0 for the Nyquist frequency
    double fint = 0.05; ///< cycles/mm, grid step; bin k is centred on k fint, k = 1, 2, ...
    ConversionFunction conversion; ///< applied to every pixel before anything else
    IecReading reading = IecReading::Passes;
};

/// One flat field: width x height Int16 pixels, row-major.
struct FlatField {
    const int16_t* pixels = nullptr;
    int32_t width = 0, height = 0;
};

/// The analysis area in image pixels.
struct IecArea {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

struct IecNnpsResult {
    std::string error;                 ///< empty when measured, else why not
    std::vector<std::string> warnings; ///< each a line starting "warning "
    int64_t rois = 0;                  ///< ROIs averaged over all flat fields
    int64_t independentPixels = 0;     ///< pixels the ROIs cover, each counted once, all fields
    double meanSignal = 0;             ///< mean linearised signal (uGy with a conversion)
    double binWidth = 0;               ///< cycles/mm, width of each frequency bin
    /// The grid frequencies that hold samples (cycles/mm), the NNPS along x (H) and y (V) in mm^2,
    /// and the standard error of each.
    std::vector<double> freq, nnpsH, nnpsV, seH, seV;
};

/// The central 125 x 125 mm of the image, or the whole image along an axis where it is smaller.
IecArea defaultIecArea(int32_t width, int32_t height, double pitchMm);

/// The NNPS of the area over all fields (each normalised by its own mean signal, the ROIs of all
/// fields averaged). Every field must hold the area; pitchMm is the pixel pitch of all of them.
IecNnpsResult measureIecNnps(const std::vector<FlatField>& fields, const IecArea& area,
                             double pitchMm, const IecNnpsOptions& options);

} // namespace vantry
