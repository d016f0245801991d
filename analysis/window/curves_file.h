#pragma once
// The curves file: every stored curve of the analysis window as JSON text, with its data number,
// kind, label, colour, points, pitch and what it was measured from; and the reading of such a
// text back into the store, all or nothing.

#include "curve_source.h"
#include "vylsf.h"

#include <array>
#include <string>
#include <vector>

namespace vantry {

constexpr const char* kCurvesFormat = "vantry-curves";
constexpr int kCurvesFormatVersion = 1;

/// One curve as a curves file holds it. Noise values are powers (not their logarithms).
struct FileCurve {
    int number = 0;     ///< data number 1..7
    std::string kind;   ///< "mtf", "nnps" (normalised) or "nps" (absolute, "2D-NPS")
    std::string label;
    int colour = 0;     ///< palette colour 0..15
    float pitch = 0;    ///< mm; 0 when not known
    std::vector<float> freq;
    std::vector<double> value;
    std::vector<float> se; ///< empty, or one per point (MTF only)
    CurveSource source;
};

/// A curves file read and checked, not yet in the store.
struct CurvesFile {
    std::vector<FileCurve> curves;
    int lastMtf = 0;  ///< data number of the MTF curve stored last, 0 when not given
    int lastNnps = 0; ///< data number of the normalised noise curve stored last, 0 when not given
};

/// The JSON text of every stored curve of `r`.
std::string curvesFileText(const VylsfRecord& r);

/// Reads and checks `text` into `out`. Returns an empty text, or what is wrong, naming the line
/// and the field at fault ("line 7: curves[0].points[3][1] is not a number").
std::string readCurvesFile(const std::string& text, CurvesFile& out);

/// Puts the curves into the store under their data numbers; stored curves of other numbers stay.
void applyCurvesFile(const CurvesFile& file, VylsfRecord& r);

/// readCurvesFile, then applyCurvesFile when it succeeded: on an error `r` is left exactly as it
/// was. Returns the error, or an empty text.
std::string openCurvesFile(const std::string& text, VylsfRecord& r);

} // namespace vantry
