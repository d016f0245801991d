#pragma once
// The analysis window's context: its state record, the working curve of the spline, and the
// workspace it measures. Each test builds a fresh one.

#include "korvelf.h"
#include "mtf_summary.h"
#include "curve_source.h"
#include "dqe_report.h"
#include "iec_nnps.h"
#include "precise_mtf.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vantry {

/// Data numbers 1..7 are usable; the store has room for 8 curves of 512 points.
constexpr int kCurveSlots = 8;
constexpr int kCurvePoints = 512;
constexpr int kColours = 16;
/// Radial bins of a noise spectrum held per block (those beyond NBINS are not averaged).
constexpr int kNpsBins = 256;

/// The analysis window's state record: settings, what is on display, the MTF curve store and the
/// ESF / LSF working arrays. Frequencies in cycles/mm, widths in mm.
struct VylsfRecord {
    int16_t DSPMODE = 0; ///< 0 nothing, 1 ESF reprojection, 2 LSF, 3 MTF chart, 4 NNPS chart
    float FMAX = 3.0f;   ///< MTF "Freq max"
    float FINT = 0.1f;   ///< MTF "Freq interval"
    float NFMAX = 3.0f;  ///< NPS "Freq max"
    float NFINT = 0.1f;  ///< NPS "Freq interval"
    float BINW = 0.03f;  ///< ESF bin width
    float ESFWID = 20;   ///< horizontal span of the ESF display, in samples
    float LSFWID = 10;   ///< horizontal span of the LSF display
    float LSFYSC = 1.0f; ///< vertical scale of the LSF display, 0.025 .. 2
    float XMAX = 0;      ///< frequency at the right end of the chart's axis
    float YMAX = 0;      ///< y range of the MTF chart (at most 2), 4 decades on the NNPS chart
    float LOGBASE = -8;  ///< lowest decade of the NNPS chart
    std::string XMAXLBL, YMAXLBL; ///< axis end labels of the MTF chart
    std::string EDGEDIR;          ///< " H" or " V": direction of the edge profile
    std::string CURVELBL;         ///< label of the last computed MTF curve
    int16_t DATANO = 0;           ///< data number (1..7) of the curve stored last
    /// Curves in the last chart + 1 (8 becomes 7); a new curve is offered the first free number.
    int16_t NEXTNO = 1;
    std::vector<int32_t> CHARTLIST; ///< the curves (data number - 1) of the last MTF or NNPS chart
    /// Palette colour of each data number d, at d - 1.
    std::array<int16_t, kColours> COLTAB{10, 11, 12, 13, 14, 15, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0};
    std::array<std::string, kColours> DATALBL; ///< curve label per data number, at d - 1
    std::array<int16_t, kCurveSlots> MTFNUM{}; ///< points of each stored MTF curve
    std::array<std::array<float, kCurvePoints>, kCurveSlots> MTFFRQ{}, MTFVAL{};
    /// Standard error of each stored MTF point, for curves of the precise method (MTFHASERR 1).
    std::array<std::array<float, kCurvePoints>, kCurveSlots> MTFERR{};
    std::array<int16_t, kCurveSlots> MTFHASERR{};
    /// Pixel pitch (mm) of the image each stored MTF curve was measured on; 0 when not known.
    std::array<float, kCurveSlots> MTFPITCH{};
    /// The image, preset, pitch and ROI each precise MTF curve was measured on (for its report).
    std::array<ReportFile, kCurveSlots> MTFSOURCE{};
    /// What the last "Precise MTF..." measured (its angle, contrast-to-noise ratio, curve with
    /// standard errors and warnings).
    PreciseMtfResult PRECISE;
    int16_t VFON = 0; ///< last answer to the V-filter prompt
    /// MTF50, MTF10 and the MTF at Nyquist of each stored MTF curve.
    std::array<MtfSummary, kCurveSlots> MTFSUM{};
    /// What each stored MTF curve was measured from (image, ROI, method and settings, date).
    std::array<CurveSource, kCurveSlots> MTFFROM{};
    /// The curve indexes the MTF chart and the NNPS chart last showed, for a redraw (resize).
    std::vector<int32_t> SHOWNMTF, SHOWNNPS;

    // The edge, from "ESF reprojection"
    int16_t NSAMP = 0; ///< L: samples across the edge (the longer side of the ROI)
    int16_t NLINE = 0; ///< N: lines along the edge
    /// L x N ROI pixels, r across the edge fastest: ESFRAW[r + L c]; ESFIMG rises with r.
    std::vector<int16_t> ESFRAW, ESFIMG;
    int16_t EDGER0 = 0;    ///< edge centre on the middle band
    int16_t EDGEC0 = 0;    ///< middle line, nint(N / 2)
    float EDGESLOPE = 0;   ///< tilt in samples of r per line of c
    float ESFMAXV = 0;     ///< largest value on the middle line
    /// Why the last edge's curve may be doubtful, one "warning ..." line each; the curve is kept.
    std::vector<std::string> EDGEWARN;
    int32_t NBIN = 0;      ///< M: bins run from -M to M
    std::vector<float> BINSUM;   ///< bin k at k + M
    std::vector<int32_t> BINCNT; ///< bin k at k + M

    // The LSF, from "ESF OK"
    std::vector<float> ESFBIN; ///< mean per bin, k at k + M
    std::vector<float> LSF;    ///< LSF sample k at k + M, peak 1
    int32_t NLSF = 0;          ///< the LSF is used for k = -NLSF .. NLSF
    float LSFCTR = 0;          ///< LSF centre in bins

    // The noise spectra
    int16_t NPSU = 0, NPSV = 0; ///< highest horizontal and vertical frequency index averaged
    std::string NPSDIR;         ///< " H", " V" or " R"
    int16_t NBINS = 25;         ///< radial bins stored
    std::vector<float> NPSBIN = std::vector<float>(kNpsBins); ///< power per radial bin
    std::vector<float> NPSSUM = std::vector<float>(kNpsBins); ///< sum of NPSBIN over blocks
    std::vector<int32_t> NPSCNT = std::vector<int32_t>(kNpsBins); ///< samples per bin in a block
    std::vector<float> ROIDAT; ///< the ROI's pixels, x fastest: ROIDAT[i + ROIW j]
    std::array<std::array<float, kCurvePoints>, kCurveSlots> NPSFRQ{}; ///< stored frequencies
    std::array<std::array<float, kCurvePoints>, kCurveSlots> NPSVAL{}; ///< log10 of the power
    std::array<int16_t, kCurveSlots> NPSNUM{}; ///< points of each stored noise curve
    int16_t NPSLAST = 0; ///< 1 after a noise curve was stored, 0 after an MTF
    std::array<int16_t, kCurveSlots> NPSRAW{}; ///< 1 for an absolute "2D-NPS" curve
    std::string IECCONV = "none"; ///< conversion function last given to "IEC NNPS"
    IecNnpsResult IECNPS;         ///< what the last "IEC NNPS" measured, with standard errors
    ReportFile IECSOURCE;         ///< the flat field, preset, pitch and area it was measured on
    /// Pixel pitch (mm) of the image each stored noise curve was measured on; 0 when not known.
    std::array<float, kCurveSlots> NPSPITCH{};
    /// What each stored noise curve was measured from (image, ROI, method and settings, date).
    std::array<CurveSource, kCurveSlots> NPSFROM{};
    /// 256 x 256 work arrays of a block, x fastest: NPSRE[x + 256 y].
    std::vector<float> NPSRE, NPSIM, NPSFIT;

    // DQE and NEQ of a stored MTF and NNPS
    int16_t LASTMTFNO = 0; ///< data number of the MTF curve stored last
    /// Data number of the normalised noise curve stored last: never an absolute "2D-NPS" one (0
    /// when none is stored, or an absolute curve has since taken its place).
    int16_t LASTNPSNO = 0;
    std::string DQEBEAM = "RQA5";         ///< beam quality last typed
    std::string DQEEDITION = "2015";      ///< edition of the beam list of the last DQE
    float DQEKERMA = 2.5f;                ///< air kerma at the detector last typed, uGy
    double DQEQ = 0;                      ///< photons per mm^2 and uGy of the last DQE
    int16_t DQEMTFNO = 0, DQENPSNO = 0;   ///< the curves of the last DQE
    /// The last DQE on the NNPS curve's frequencies: f, MTF, NNPS, NEQ, DQE.
    std::vector<double> DQEFRQ, DQEMTF, DQENPS, DQENEQ, DQEVAL;

    // The curves file
    /// 1 when a curve was stored since the curves were last saved to or opened from a file.
    int16_t CURVESCHANGED = 0;
    /// The recovery file this session wrote (empty: none); it is removed once the curves are saved.
    std::string RECOVERYWRITTEN;
    /// 1 once the kept curves of an earlier session were offered (or there were none).
    int16_t RECOVERYOFFERED = 0;

    /// Real and imaginary work arrays of the transforms.
    std::vector<float> FFTRE = std::vector<float>(kTrigEntries);
    std::vector<float> FFTIM = std::vector<float>(kTrigEntries);
};

/// The working curve of the spline, shared by every chart and table (one caller at a time).
constexpr int kWorkingPoints = kCurvePoints;
struct WorkingCurve {
    int32_t NPTS = 0;
    std::array<float, kWorkingPoints> CURVEX{}; ///< strictly increasing
    std::array<float, kWorkingPoints> CURVEY{};
    std::array<std::array<float, 4>, kWorkingPoints> SPLCOEF{}; ///< a, b, c, d of interval i
};

/// The analysis window's context. The form model lives in the workspace's context, which shows
/// and hides the window.
struct Vylsf {
    explicit Vylsf(Korvelf& workspace) : k(workspace) {}

    Korvelf& k;
    VylsfRecord r;
    WorkingCurve curve;

    VylsfForm& form() { return k.vylsf; }
    Canvas& canvas() { return k.host.analysisCanvas(); }
    Host& host() { return k.host; }
};

/// Window creation: start values, buttons and check boxes hidden, the caption "Vantry ver." and
/// the version.
void Form_Load(Vylsf& v);

} // namespace vantry
