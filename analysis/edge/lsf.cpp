#include "lsf.h"

#include "edge_checks.h"
#include "esf.h"
#include "prompts.h"
#include "numtext.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantry {
namespace {

/// The centre search looks this many bins either side of bin 0 for the peak.
constexpr int32_t kCentreSearch = 200;

float& lsfAt(VylsfRecord& r, int32_t k)
{
    return r.LSF[static_cast<size_t>(k + r.NBIN)];
}

/// The shortest LSF, in samples either side of the edge, that the span may be cut to when the
/// edge lies off the middle of the ROI.
constexpr float kMinReachSamples = 20;
/// Fewer pixel positions than this within a pixel means the tilt itself is the fault.
constexpr int kMinPhases = 8;

/// The widest gap, in samples, between the positions within a pixel at which the lines put their
/// pixels: every bin narrower than it may stay empty whatever the ROI.
float widestPhaseGap(const VylsfRecord& r)
{
    std::vector<float> phase;
    phase.reserve(static_cast<size_t>(r.NLINE));
    for (int32_t line = 0; line < r.NLINE; ++line) {
        const float across = static_cast<float>(line - r.EDGEC0) * r.EDGESLOPE;
        phase.push_back(across - std::floor(across));
    }
    std::sort(phase.begin(), phase.end());
    float gap = phase.front() + 1 - phase.back();
    for (size_t i = 1; i < phase.size(); ++i) gap = std::max(gap, phase[i] - phase[i - 1]);
    return gap;
}

/// Why bins inside the span are empty although the data reaches past them: the tilt, or the
/// pitch against the bin width.
std::string emptyBinsRefusal(const VylsfRecord& r, float pitch, int32_t k)
{
    const float gap = widestPhaseGap(r);
    const std::string where = "The ESF bin " + std::to_string(k) + " inside the span the LSF uses is empty";
    if (gap * kMinPhases > 1) {
        return where + ": the tilt (shift " + plainTrimmed(r.EDGESLOPE) +
               ") is too small or too close to a simple fraction such as 1/2 or 1, so the lines put"
               " their pixels at only " + std::to_string(static_cast<int>(std::lround(1 / gap))) +
               " places within a pixel. Tilt the edge by 2 to 10 degrees, or type another shift.";
    }
    const float needed = std::ceil(gap * pitch * 1.1f * 1000) / 1000;
    return where + ": the pitch " + plainTrimmed(pitch) + " mm is too coarse for the bin width " +
           plainTrimmed(r.BINW) + " mm (the lines leave gaps of " + plainTrimmed(gap) +
           " pixel). Widen the bin in Setting to at least " + plainTrimmed(needed) + " mm.";
}

/// The half length of the LSF: the method's 0.45 NSAMP pitches, cut to the bins the data fills
/// when the edge lies off the middle of the ROI (the bins past the data would read as 0 and put
/// a false step into the LSF); the refusal text when bins inside it are empty, or an empty text.
std::string lsfHalfLength(const VylsfRecord& r, float q, int32_t nominal, int32_t& nlsf)
{
    const int32_t M = r.NBIN;
    const auto filled = [&](int32_t k) { return r.BINCNT[static_cast<size_t>(k + M)] != 0; };
    // The span of distances every line covers: between these every bin holds pixels unless the
    // lines' positions within a pixel leave gaps.
    float coveredLo = -std::numeric_limits<float>::max(), coveredHi = std::numeric_limits<float>::max();
    for (int32_t line : {0, r.NLINE - 1}) {
        const float across = static_cast<float>(line - r.EDGEC0) * r.EDGESLOPE;
        coveredLo = std::max(coveredLo, across - static_cast<float>(r.EDGER0));
        coveredHi = std::min(coveredHi, across + static_cast<float>(r.NSAMP - 1 - r.EDGER0));
    }
    int32_t lo = 0, hi = 1; // the first empty bins either side, or the span's ends
    while (lo >= -nominal && filled(lo)) --lo;
    while (hi <= nominal + 1 && filled(hi)) ++hi;
    nlsf = nominal;
    if (lo < -nominal && hi > nominal + 1) return {};
    const float pitch = q * r.BINW;
    for (const int32_t k : {lo, hi}) {
        const float d = static_cast<float>(k) / q;
        if (k >= -nominal && k <= nominal + 1 && d > coveredLo && d < coveredHi) {
            return emptyBinsRefusal(r, pitch, k);
        }
    }
    nlsf = std::min(-lo - 1, hi - 2);
    if (static_cast<float>(nlsf) < kMinReachSamples * q) {
        const int32_t off = static_cast<int32_t>(std::lround(r.EDGER0 - (r.NSAMP - 1) / 2.0));
        return "The edge lies " + std::to_string(std::abs(off)) +
               " samples from the middle of the ROI, so the LSF would reach only " +
               plainTrimmed(static_cast<float>(nlsf) / q) +
               " samples to one side. Centre the ROI on the edge.";
    }
    return {};
}

/// Bin means, forward difference and normalisation to a peak of 1; an empty text or the reason
/// the bins hold no usable edge.
std::string differentiate(Vylsf& v)
{
    VylsfRecord& r = v.r;
    const int32_t M = r.NBIN;
    r.ESFBIN.assign(2 * static_cast<size_t>(M) + 1, 0.0f);
    r.LSF.assign(2 * static_cast<size_t>(M) + 1, 0.0f);
    for (size_t i = 0; i < r.ESFBIN.size(); ++i) {
        if (r.BINCNT[i] != 0) r.ESFBIN[i] = r.BINSUM[i] / static_cast<float>(r.BINCNT[i]);
    }
    const float q = v.k.ws.PIXMM[v.k.ws.CURSLOT] / r.BINW;
    const double span = std::nearbyint(static_cast<double>(q * static_cast<float>(r.NSAMP)) * 0.9);
    if (!(span / 2 < M)) {
        return "The LSF would reach past the ESF's bins: measure again with \"ESF reprojection\".";
    }
    if (span / 2 < 1) return "The ROI is too short across the edge for an LSF.";
    if (std::string why = lsfHalfLength(r, q, static_cast<int32_t>(span / 2), r.NLSF); !why.empty()) {
        return why;
    }
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) {
        lsfAt(r, k) = r.ESFBIN[static_cast<size_t>(k + 1 + M)] - r.ESFBIN[static_cast<size_t>(k + M)];
    }
    float peak = 0;
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) peak = std::max(peak, lsfAt(r, k));
    if (peak == 0) return "The ESF never rises from one bin to the next: there is no edge to measure.";
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) lsfAt(r, k) /= peak;
    return {};
}

/// The warnings the ESF over the LSF's span gives: not levelled off at its ends, or no one
/// dominant step.
void esfWarnings(VylsfRecord& r, float q)
{
    const auto first = static_cast<size_t>(r.NBIN - r.NLSF);
    const std::vector<double> esf(r.ESFBIN.begin() + static_cast<std::ptrdiff_t>(first),
                                  r.ESFBIN.begin() + static_cast<std::ptrdiff_t>(first + 2 * r.NLSF + 2));
    // The noise of one bin mean: the pixels' robust spread over the square root of the bins' mean
    // count.
    double pixels = 0;
    for (size_t i = first; i < first + esf.size(); ++i) pixels += r.BINCNT[i];
    std::vector<double> lowEnd, highEnd;
    for (int32_t s = 0; s < std::min<int32_t>(40, r.NSAMP); ++s) {
        for (int32_t line = 0; line < r.NLINE; ++line) {
            lowEnd.push_back(r.ESFIMG[static_cast<size_t>(s) + static_cast<size_t>(r.NSAMP) * line]);
            highEnd.push_back(
                r.ESFIMG[static_cast<size_t>(r.NSAMP - 1 - s) + static_cast<size_t>(r.NSAMP) * line]);
        }
    }
    const double spread = (robustLevel(lowEnd).spread + robustLevel(highEnd).spread) / 2;
    const double noise = spread / std::sqrt(std::max(1.0, pixels / static_cast<double>(esf.size())));
    for (std::string w : {truncationWarning(esf, noise), stepShapeWarning(esf, q)}) {
        if (!w.empty()) r.EDGEWARN.push_back(std::move(w));
    }
}

} // namespace

void ESFOK(Vylsf& v)
{
    VylsfRecord& r = v.r;
    if (r.DSPMODE != 1) return;
    v.canvas().cls();
    const std::vector<float> keptBins = r.ESFBIN, keptLsf = r.LSF;
    const int32_t keptNlsf = r.NLSF;
    const std::vector<std::string> keptWarnings = r.EDGEWARN;
    std::string error = differentiate(v);
    if (error.empty()) esfWarnings(r, v.k.ws.PIXMM[v.k.ws.CURSLOT] / r.BINW);
    if (error.empty()) {
        v.canvas().cls();
        const double answer = askNumber(v.host(), "V-filter 0..off 1..on = ", plainNumber(static_cast<double>(r.VFON)));
        r.VFON = static_cast<int16_t>(std::clamp(nearestInt(answer, 0), -32768, 32767));
        if (r.VFON == 1) error = VFILTER(v, 0.97f);
    }
    if (!error.empty()) {
        r.ESFBIN = keptBins;
        r.LSF = keptLsf;
        r.NLSF = keptNlsf;
        r.EDGEWARN = keptWarnings;
        v.host().MsgBox(error);
        CESFDSP(v); // the ESF stays on display, ready for another try
        return;
    }
    r.DSPMODE = 2;
    LSFDSP(v);
    VylsfForm& f = v.form();
    for (Control& b : f.CENADJ) b.Visible = true;
    f.LOGLSFCK.Visible = true;
    f.FINESTP.Visible = false;
}

std::string CENTER(Vylsf& v)
{
    VylsfRecord& r = v.r;
    if (r.NLSF < kCentreSearch) {
        return "The LSF is too short for the centre search: it needs " + std::to_string(kCentreSearch) +
               " bins either side of the edge and has " + std::to_string(r.NLSF) +
               "; use a longer ROI across the edge or a smaller bin width.";
    }
    float peak = 0;
    int32_t kp = 0;
    for (int32_t k = -kCentreSearch; k <= kCentreSearch; ++k) {
        if (lsfAt(r, k) > peak) {
            peak = lsfAt(r, k);
            kp = k;
        }
    }
    if (peak == 0) return "The LSF has no peak near the edge.";
    const auto firstBelow = [&](float level) {
        int32_t k = kp;
        while (k >= -r.NLSF && !(lsfAt(r, k) < level)) --k;
        return k;
    };
    const int32_t k1 = firstBelow(0.3f * peak), k2 = firstBelow(0.7f * peak);
    if (k1 < -r.NLSF) return "The LSF's rising flank never falls below 30 % of its peak.";
    float sum = 0;
    for (int32_t j = k1; j <= k2; ++j) {
        const float y = lsfAt(r, j);
        int32_t m = j + 1;
        while (m <= r.NLSF && lsfAt(r, m) >= y) ++m;
        if (m > r.NLSF) return "The LSF's falling flank never falls below 30 % of its peak.";
        const float xr = static_cast<float>(m - 1) + (y - lsfAt(r, m - 1)) / (lsfAt(r, m) - lsfAt(r, m - 1));
        sum += (static_cast<float>(j) + xr) / 2;
    }
    r.LSFCTR = sum / static_cast<float>(k2 - k1 + 1);
    return {};
}

void LSFDSP(Vylsf& v)
{
    VylsfRecord& r = v.r;
    if (r.LSF.empty()) return;
    Canvas& c = v.canvas();
    c.scale(-r.LSFWID / 2, 1.2 * r.LSFYSC, r.LSFWID, -1.4 * r.LSFYSC);
    c.cls();
    const bool logDisplay = v.form().LOGLSFCK.Value == 1;
    if (logDisplay) {
        c.scale(-r.LSFWID / 2, 0.1, r.LSFWID, -4.2);
        c.setDrawStyle(kDotted);
        for (int d = 0; d >= -3; --d) c.line(-r.LSFWID, d, r.LSFWID, d, kForeColour);
        c.setDrawStyle(kSolid);
    }
    c.setDrawWidth(1);
    constexpr int kLsfColour = 13;
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) {
        float value = lsfAt(r, k);
        if (logDisplay) value = std::log10(std::max(value, 0.0001f));
        const float x = static_cast<float>(k) * r.BINW;
        if (k == -r.NLSF) {
            c.point(x, value, kLsfColour);
        } else {
            c.line(c.currentX(), c.currentY(), x, value, kLsfColour);
        }
    }
    c.line(-r.LSFWID / 2, 0, r.LSFWID / 2, 0, kForeColour);
}

} // namespace vantry
