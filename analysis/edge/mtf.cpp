#include "mtf.h"

#include "curve_numbers.h"
#include "measured_from.h"
#include "edge_checks.h"
#include "lsf.h"
#include "mtf_chart.h"
#include "numtext.h"
#include "prompts.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vantry {
namespace {

/// Frequencies summed side by side: independent recurrences keep the processor's units busy. Two
/// lanes keep every lane's state in registers; four spill it, and the spills lengthen each step.
constexpr int kLanes = 2;

} // namespace

std::vector<double> lsfTransformModulus(const float* lsf, int32_t count, float pi2, float binw,
                                        float fint, int32_t npts)
{
    std::vector<double> modulus(static_cast<size_t>(std::max(npts, 0)));
    for (int32_t n0 = 0; n0 < npts; n0 += kLanes) {
        // The method's phase is the single-precision product pi2 f m binw, whose rounding d
        // reaches 3e-5 rad at 850 rad (8e-5 over its three products). Per lane a phasor
        // exp(i w m) advances in double (its own rounding stays near 1e-13) and is turned by d to
        // first order: the d^2 / 2 left out, below 4e-9, is under a single's rounding of a term.
        std::array<float, kLanes> a{};
        std::array<double, kLanes> w{}, zr{}, zi{}, wr{}, wi{};
        std::array<float, kLanes> re{}, im{}; // the method's single-precision sums
        for (int l = 0; l < kLanes; ++l) {
            a[l] = pi2 * (static_cast<float>(n0 + l) * fint);
            w[l] = static_cast<double>(a[l]) * static_cast<double>(binw);
            zr[l] = 1.0;
            wr[l] = std::cos(w[l]);
            wi[l] = std::sin(w[l]);
        }
        for (int32_t m = 0; m < count; ++m) {
            const float x = lsf[m];
            const auto fm = static_cast<float>(m);
            for (int l = 0; l < kLanes; ++l) {
                const float phase = a[l] * fm * binw;
                const double d = static_cast<double>(phase) - w[l] * m;
                re[l] += x * static_cast<float>(zr[l] - zi[l] * d);
                im[l] += x * static_cast<float>(zi[l] + zr[l] * d);
                const double nr = zr[l] * wr[l] - zi[l] * wi[l];
                zi[l] = zr[l] * wi[l] + zi[l] * wr[l];
                zr[l] = nr;
            }
        }
        for (int l = 0; l < kLanes && n0 + l < npts; ++l) {
            const double r = re[l], i = im[l];
            modulus[static_cast<size_t>(n0 + l)] = std::sqrt(r * r + i * i);
        }
    }
    return modulus;
}

int32_t askMtfGrid(Vylsf& v)
{
    VylsfRecord& r = v.r;
    Host& host = v.host();
    r.FMAX = std::clamp(static_cast<float>(askNumber(host, "Freq. max=", plainNumber(r.FMAX))), 1.0f, 5.0f);
    r.FINT = std::clamp(static_cast<float>(askNumber(host, "Fint=", plainNumber(r.FINT))), 0.01f, 0.3f);
    return nearestInt(r.FMAX / r.FINT, 0) + 1;
}

std::optional<size_t> askMtfSlot(Vylsf& v)
{
    VylsfRecord& r = v.r;
    const auto slot = askNewCurveSlot(v, "Data No.=", CurveKind::Mtf, r.CURVELBL);
    if (!slot) return std::nullopt;
    r.LASTMTFNO = r.DATANO;
    r.NPSLAST = 0;
    return slot;
}

void MTFCLC(Vylsf& v)
{
    VylsfRecord& r = v.r;
    if (r.DSPMODE != 2) return;
    Host& host = v.host();
    const int32_t npts = askMtfGrid(v);

    const std::vector<double> modulus =
        lsfTransformModulus(&r.LSF[static_cast<size_t>(r.NBIN - r.NLSF)], 2 * r.NLSF + 1,
                            v.k.ws.PI2, r.BINW, r.FINT, npts);
    const double A0 = modulus[0];
    if (A0 == 0) {
        host.MsgBox("The LSF sums to zero: there is no MTF to compute.");
        return;
    }
    WorkingCurve& w = v.curve;
    w.NPTS = npts;
    for (int32_t n = 0; n < npts; ++n) {
        w.CURVEY[n] = static_cast<float>(modulus[n] / A0);
        w.CURVEX[n] = static_cast<float>(n) * r.FINT;
    }
    const Workspace& ws = v.k.ws;
    r.CURVELBL = ws.PRESETNAME[ws.CURSLOT] + r.EDGEDIR;
    v.canvas().cls();

    const auto stored = askMtfSlot(v);
    if (!stored) {
        LSFDSP(v);
        return;
    }
    const size_t slot = *stored;
    r.MTFNUM[slot] = static_cast<int16_t>(npts);
    r.MTFHASERR[slot] = 0;
    r.MTFPITCH[slot] = v.k.ws.PIXMM[v.k.ws.CURSLOT];
    r.MTFFROM[slot] = measuredFrom(v, v.k.ws.CURSLOT, r.DATALBL[slot], "written",
                                   {{"edge", r.EDGEDIR.empty() ? "" : r.EDGEDIR.substr(1)},
                                    {"bin width", settingText(r.BINW)},
                                    {"V-filter", std::to_string(r.VFON)},
                                    {"tilt", settingText(r.EDGESLOPE)},
                                    {"FMAX", settingText(r.FMAX)},
                                    {"FINT", settingText(r.FINT)}});
    r.CURVESCHANGED = 1;
    std::string clip = r.DATALBL[slot] + "\r\n";
    for (int32_t n = 0; n < npts; ++n) {
        r.MTFVAL[slot][n] = w.CURVEY[n];
        r.MTFFRQ[slot][n] = w.CURVEX[n];
        clip += fixed3(w.CURVEY[n]) + "\r\n";
    }
    r.MTFSUM[slot] = summarizeMtf(r.MTFFRQ[slot].data(), r.MTFVAL[slot].data(), npts,
                                  v.k.ws.PIXMM[v.k.ws.CURSLOT]);
    host.setClipboardText(clip);
    r.YMAX = 1.0f;
    MTFDSP(v, 0);
    r.DSPMODE = 3;
    v.form().Caption = r.DATALBL[slot];
    showEdgeWarnings(v, std::vector<double>(w.CURVEX.begin(), w.CURVEX.begin() + npts),
                     std::vector<double>(w.CURVEY.begin(), w.CURVEY.begin() + npts));
}

void showEdgeWarnings(Vylsf& v, const std::vector<double>& freq, const std::vector<double>& mtf)
{
    std::vector<std::string> warnings = v.r.EDGEWARN;
    const float pitch = v.k.ws.PIXMM[v.k.ws.CURSLOT];
    if (std::string w = overshootWarning(freq, mtf, 0.5 / pitch); !w.empty()) warnings.push_back(std::move(w));
    showWarnings(v.host(), warnings);
}

void showWarnings(Host& host, const std::vector<std::string>& warnings)
{
    if (warnings.empty()) return;
    std::string text;
    for (const std::string& w : warnings) text += (text.empty() ? "" : "\n") + w;
    host.MsgBox(text);
}

} // namespace vantry
