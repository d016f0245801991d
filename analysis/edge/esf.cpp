#include "esf.h"

#include "analysis_busy.h"
#include "edge_checks.h"
#include "numtext.h"
#include "prompts.h"
#include "roi_outside.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace vantry {
namespace {

/// The plateau blocks cover samples 45 .. 54 from either end. The edge must lie between them, so
/// that they sit on opposite sides of it: a ROI needs 55 samples on each side of its middle.
constexpr int kBlockInner = 55;
constexpr int kMinSamples = 2 * kBlockInner;
/// Bands at lines 5 .. 15 from either side and N - 20 as the tilt's divisor.
constexpr int kMinLines = 21;
/// Bins are plain arrays; beyond this many a side the pitch and bin width are not a detector's.
constexpr int64_t kMaxBins = 1 << 22;

int32_t nint(double x)
{
    return static_cast<int32_t>(std::nearbyint(x));
}

/// The ROI cut out of the image and oriented, and what the edge search found in it.
struct Edge {
    int16_t L = 0, N = 0;
    std::string dir;
    std::vector<int16_t> raw, img;
    int16_t r0 = 0, c0 = 0;
    float slope = 0;
};

float at(const Edge& e, int32_t r, int32_t c)
{
    return e.img[static_cast<size_t>(r) + static_cast<size_t>(e.L) * c];
}

/// Mean of the 11 lines around `line` at sample r; line + k stays inside 0 .. N-1 by the ROI's
/// minimum size.
float bandMean(const Edge& e, int32_t r, double line)
{
    float s = 0;
    for (int k = -5; k <= 5; ++k) s += at(e, r, nint(line + k));
    return s / 11.0f;
}

/// Whether the band's means from r + 1 up to the high plateau block (the last kBlockInner samples)
/// are all past `mid` (above it, or at least at it when not `strict`). A band mean past the mid
/// level counts as the edge only when it stays past: a hot pixel or a hot row in the band lifts
/// a few samples, an edge all that follow.
bool staysPast(const Edge& e, int32_t r, double line, float mid, bool strict)
{
    for (int32_t n = r + 1; n <= e.L - kBlockInner; ++n) {
        const float s = bandMean(e, n, line);
        if (strict ? !(s > mid) : !(s >= mid)) return false;
    }
    return true;
}

/// Where the band's mean first rises above `mid` to stay, interpolated between samples; prev
/// carries over from one band to the next.
std::optional<float> crossing(const Edge& e, double line, float mid, float& prev)
{
    for (int32_t r = 0; r < e.L; ++r) {
        const float s = bandMean(e, r, line);
        if (s > mid && staysPast(e, r, line, mid, true)) {
            if (s == prev) return std::nullopt;
            const float t = (mid - prev) / (s - prev);
            return static_cast<float>(r - 1) * (1 - t) + static_cast<float>(r) * t;
        }
        prev = s;
    }
    return std::nullopt;
}

std::string orientedCopy(const Korvelf& k, Edge& e)
{
    const Workspace& ws = k.ws;
    const int view = ws.CURSLOT;
    const RoiRecord& roi = k.roi[view];
    const ImageBuffer& img = ws.IMG[view];
    const int32_t x0 = roi.ROIX, y0 = roi.ROIY, W = roi.ROIW, H = roi.ROIH;
    if (x0 < 0 || y0 < 0 || W <= 0 || H <= 0 || x0 + W > img.width || y0 + H > img.height) {
        return roiOutsideMessage(x0, y0, W, H, img.width, img.height);
    }
    const bool vertical = H >= W;
    e.L = static_cast<int16_t>(vertical ? H : W);
    e.N = static_cast<int16_t>(vertical ? W : H);
    e.dir = vertical ? " V" : " H";
    if (e.L < kMinSamples || e.N < kMinLines) {
        return "The ROI is too small for an edge: it needs at least " + std::to_string(kMinSamples) +
               " samples across (so that the plateau blocks 45 .. 54 samples in from either end lie"
               " on opposite sides of the edge) and " + std::to_string(kMinLines) +
               " lines along the edge, and has " + std::to_string(e.L) + " x " +
               std::to_string(e.N) + ".";
    }
    if (!(ws.PIXMM[view] > 0)) return "The image has no pixel pitch: choose a detector entry with one.";
    e.raw.resize(static_cast<size_t>(e.L) * e.N);
    for (int32_t c = 0; c < e.N; ++c) {
        for (int32_t r = 0; r < e.L; ++r) {
            e.raw[static_cast<size_t>(r) + static_cast<size_t>(e.L) * c] =
                vertical ? img.at(x0 + c, y0 + H - 1 - r) : img.at(x0 + r, y0 + c);
        }
    }
    e.img = e.raw;
    return {};
}

/// The mean of the 100 plateau values at samples around r = centre, lines around N / 2 (the level
/// the method works with), and their median and robust spread (what the edge test compares).
struct Plateau {
    float mean = 0;
    RobustLevel level;

    /// The plateau's level: the mean, unless it lies further than the pixels' spread from the
    /// median, which only outliers (a hot pixel or row, a dead column) do; then the median.
    float value() const
    {
        const bool outliers = std::fabs(static_cast<double>(mean) - level.median) > level.spread;
        return outliers ? static_cast<float>(level.median) : mean;
    }
};

/// The 10 x 10 plateau block at samples centre - 5 .. centre + 4, lines around N / 2.
Plateau plateau(const Edge& e, int32_t centre)
{
    Plateau p;
    std::vector<double> values;
    values.reserve(100);
    for (int i = -5; i <= 4; ++i) {
        for (int j = -5; j <= 4; ++j) {
            const float value = at(e, centre + i, nint(e.N / 2.0 + j));
            p.mean += value;
            values.push_back(value);
        }
    }
    p.mean /= 100.0f;
    p.level = robustLevel(std::move(values));
    return p;
}

/// The refusal of an edge that crosses the profile at `position` outside the span between the
/// plateau blocks, or an empty text.
std::string outsideBlocks(int32_t L, float position)
{
    const int32_t lowLast = kBlockInner - 1, highFirst = L - kBlockInner;
    if (position > static_cast<float>(lowLast) && position < static_cast<float>(highFirst)) return {};
    const auto at = static_cast<int32_t>(std::lround(position));
    const int32_t need = position <= static_cast<float>(lowLast) ? L + kBlockInner - at : at + kBlockInner + 1;
    return "The edge crosses the ROI at sample " + std::to_string(at) + " of " + std::to_string(L) +
           ", not between the plateau blocks (samples 45 .. " + std::to_string(lowLast) + " and " +
           std::to_string(highFirst) + " .. " + std::to_string(highFirst + 9) +
           "), so they do not lie on opposite sides of it. Centre the ROI on the edge: a ROI "
           "reaching this edge needs " + std::to_string(need) + " samples across, one centred on it " +
           std::to_string(kMinSamples) + ".";
}

/// When the blocks see no edge but the ROI's two ends differ, the edge lies outside the span
/// between the blocks: the refusal saying where and what length it needs.
std::optional<std::string> edgeBeyondBlocks(const Edge& e)
{
    const Plateau first = plateau(e, 5), last = plateau(e, e.L - 5);
    if (!noEdgeRefusal(first.level, last.level).empty()) return std::nullopt;
    const double mid = (first.level.median + last.level.median) / 2;
    const bool rising = last.level.median > first.level.median;
    for (int32_t r = 0; r < e.L; ++r) {
        const float s = bandMean(e, r, e.N / 2.0);
        if (rising ? s >= mid : s <= mid) return outsideBlocks(e.L, static_cast<float>(r) - 0.5f);
    }
    return std::nullopt;
}

std::string findEdge(Edge& e, std::vector<std::string>& warnings)
{
    const int32_t L = e.L, N = e.N;
    const Plateau low = plateau(e, 50), high = plateau(e, L - 50);
    const float A = low.value(), B = high.value();
    const float mid = (A + B) / 2;
    if (A > B) {
        for (int32_t c = 0; c < N; ++c) {
            for (int32_t r = 0; r < L; ++r) {
                e.img[static_cast<size_t>(r) + static_cast<size_t>(L) * c] =
                    e.raw[static_cast<size_t>(L - 1 - r) + static_cast<size_t>(L) * c];
            }
        }
    }
    // Two medians of 100 pixels of one flat field differ by about a seventh of the pixels'
    // spread; an edge worth measuring differs by many spreads. The medians and the spread from
    // the median absolute deviation ignore a hot pixel, a hot row or a dead column in a block.
    if (std::string why = noEdgeRefusal(low.level, high.level); !why.empty()) {
        return edgeBeyondBlocks(e).value_or(why);
    }
    if (std::string w = lowCnrWarning(contrastToNoise(low.level, high.level)); !w.empty()) {
        warnings.push_back(std::move(w));
    }
    float prev = 0;
    const auto p1 = crossing(e, 10, mid, prev);
    const auto p2 = p1 ? crossing(e, N - 10, mid, prev) : std::nullopt;
    if (!p1 || !p2) {
        return "The edge does not cross the ROI: the mean of lines " +
               std::string(p1 ? "N-15 .. N-5" : "5 .. 15") +
               " never passes the level halfway between the two ends.";
    }
    int32_t r0 = -1;
    for (int32_t r = 0; r < L && r0 < 0; ++r) {
        if (bandMean(e, r, N / 2.0) >= mid && staysPast(e, r, N / 2.0, mid, false)) r0 = r;
    }
    if (r0 < 0) return "The edge does not cross the middle of the ROI.";
    // The edge lies between r0 - 1 and r0.
    for (const float position : {*p1, *p2, static_cast<float>(r0) - 0.5f}) {
        if (std::string why = outsideBlocks(L, position); !why.empty()) return why;
    }
    e.r0 = static_cast<int16_t>(r0);
    e.c0 = static_cast<int16_t>(nint(N / 2.0));
    e.slope = (*p1 - *p2) / static_cast<float>(N - 20);
    return {};
}

} // namespace

void DSPESF(Vylsf& v)
{
    Workspace& ws = v.k.ws;
    const int view = ws.CURSLOT;
    if (ws.LOADED[view] == 0) return;
    VylsfRecord& r = v.r;
    Edge e;
    std::vector<std::string> warnings;
    std::string error = orientedCopy(v.k, e);
    if (error.empty()) error = findEdge(e, warnings);
    const float q = ws.PIXMM[view] / r.BINW;
    const double bins = std::nearbyint(static_cast<double>(q * static_cast<float>(e.L)) * 1.2);
    if (error.empty() && !(bins / 2 <= kMaxBins)) {
        error = "The bin width " + plainTrimmed(r.BINW) + " mm is too small for a pitch of " +
                plainTrimmed(ws.PIXMM[view]) + " mm.";
    }
    if (!error.empty()) {
        v.host().MsgBox(error);
        return;
    }

    if (std::string w = clippedWarning(e.raw.data(), e.raw.size()); !w.empty()) {
        warnings.insert(warnings.begin(), std::move(w));
    }
    r.EDGEWARN = std::move(warnings);
    r.NSAMP = e.L;
    r.NLINE = e.N;
    r.EDGEDIR = e.dir;
    r.ESFRAW = std::move(e.raw);
    r.ESFIMG = std::move(e.img);
    r.EDGER0 = e.r0;
    r.EDGEC0 = e.c0;
    v.canvas().cls();
    const double typed = askNumber(v.host(), " Shift = ", plainNumber(e.slope));
    // A tilt beyond single precision (or "1e999") leaves no tilt to project with.
    r.EDGESLOPE = std::fabs(typed) <= std::numeric_limits<float>::max() ? static_cast<float>(typed) : 0.0f;
    r.ESFMAXV = 0;
    for (int32_t i = 0; i < e.L; ++i) {
        r.ESFMAXV = std::max(r.ESFMAXV, static_cast<float>(r.ESFIMG[i + static_cast<size_t>(e.L) * e.c0]));
    }
    VylsfForm& f = v.form();
    f.CENADJ[0].Visible = f.CENADJ[1].Visible = f.FINESTP.Visible = true;
    f.CENADJ[2].Visible = f.CENADJ[3].Visible = false;
    r.NBIN = static_cast<int32_t>(bins / 2);
    r.BINSUM.assign(2 * static_cast<size_t>(r.NBIN) + 1, 0.0f);
    r.BINCNT.assign(2 * static_cast<size_t>(r.NBIN) + 1, 0);
    r.ESFBIN.clear();
    r.LSF.clear();
    r.NLSF = 0;
    CESFDSP(v);
    r.DSPMODE = 1;
}

void CESFDSP(Vylsf& v)
{
    VylsfRecord& r = v.r;
    if (r.ESFIMG.empty()) return;
    const AnalysisBusy busy(v.k.ws);
    const Workspace& ws = v.k.ws;
    Canvas& c = v.canvas();
    c.scale(-r.ESFWID / 2, 1.1 * r.ESFMAXV, r.ESFWID, -1.2 * r.ESFMAXV);
    c.cls();
    std::fill(r.BINSUM.begin(), r.BINSUM.end(), 0.0f);
    std::fill(r.BINCNT.begin(), r.BINCNT.end(), 0);
    const float q = ws.PIXMM[ws.CURSLOT] / r.BINW;
    const double M = r.NBIN;
    for (int32_t line = 0; line < r.NLINE; ++line) {
        const float across = static_cast<float>(line - r.EDGEC0) * r.EDGESLOPE;
        const int16_t* values = &r.ESFIMG[static_cast<size_t>(r.NSAMP) * line];
        for (int32_t s = 0; s < r.NSAMP; ++s) {
            const float d = across + static_cast<float>(s - r.EDGER0);
            const double k = std::nearbyint(q * d);
            // A pixel whose bin falls outside the bins is still drawn, but not binned.
            if (std::fabs(k) <= M) {
                const auto at = static_cast<size_t>(k + M);
                r.BINSUM[at] += values[s];
                r.BINCNT[at] += 1;
            }
            c.point(d, values[s], kForeColour);
        }
        v.host().DoEvents();
    }
}

} // namespace vantry
