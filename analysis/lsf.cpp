#include "lsf.h"

#include "esf.h"
#include "prompts.h"
#include "numtext.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

/// The centre search looks this many bins either side of bin 0 for the peak.
constexpr int32_t kCentreSearch = 200;

float& lsfAt(VylsfRecord& r, int32_t k)
{
    return r.LSF[static_cast<size_t>(k + r.NBIN)];
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
    r.NLSF = static_cast<int32_t>(span / 2);
    if (r.NLSF < 1) return "The ROI is too short across the edge for an LSF.";
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) {
        lsfAt(r, k) = r.ESFBIN[static_cast<size_t>(k + 1 + M)] - r.ESFBIN[static_cast<size_t>(k + M)];
    }
    float peak = 0;
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) peak = std::max(peak, lsfAt(r, k));
    if (peak == 0) return "The ESF never rises from one bin to the next: there is no edge to measure.";
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) lsfAt(r, k) /= peak;
    return {};
}

} // namespace

void ESFOK(Vylsf& v)
{
    VylsfRecord& r = v.r;
    if (r.DSPMODE != 1) return;
    v.canvas().cls();
    const std::vector<float> keptBins = r.ESFBIN, keptLsf = r.LSF;
    const int32_t keptNlsf = r.NLSF;
    std::string error = differentiate(v);
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
