#pragma once
// What a stored curve was measured from: the image (path and SHA-256 of its bytes), the detector
// entry, the pitch and where it came from, the ROI, the method with its settings, when, and with
// which version of the program. Kept per data number beside the curve and written with it to a
// curves file.

#include <string>
#include <utility>
#include <vector>

namespace vantry {

struct CurveSource {
    /// The curve's label when it was measured. The window shows one label per data number (the
    /// curve stored last under it), so an MTF and a noise curve of one number keep theirs here.
    std::string label;
    std::string path;      ///< the image as it was read; empty for a curve of unknown origin
    std::string sha256;    ///< of the image's bytes, hexadecimal; "unreadable", or empty when not computed
    std::string preset;    ///< detector entry the image was read with
    double pitchMm = 0;    ///< pixel pitch used
    std::string pitchFrom; ///< "preset", "imager-pixel-spacing" or "pixel-spacing"
    std::string roi;       ///< "X,Y,W,H" in image pixels
    /// "written", "precise", "1D-NNPS", "2D-NNPS", "2D-NPS" or "IEC NNPS".
    std::string method;
    /// The method's settings as name and value text, in order (bin width, V-filter, tilt, FMAX,
    /// FINT, NFMAX, NFINT, ...).
    std::vector<std::pair<std::string, std::string>> settings;
    std::string date;    ///< of the measurement, ISO 8601 in UTC
    std::string version; ///< program version that measured it
};

} // namespace vantry
