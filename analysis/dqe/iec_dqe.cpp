#include "iec_dqe.h"

#include "dqe.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace vantry {
namespace {

/// The index of frequency f on the MTF's grid, or -1 when the grid does not hold it. A curve
/// stored in single precision is off its grid by some 1e-7 cycles/mm.
long gridIndex(const PreciseMtfResult& m, double f)
{
    if (m.freq.size() < 2) return -1;
    const double step = m.freq[1] - m.freq[0];
    const long k = std::lround(f / step);
    if (k < 0 || static_cast<size_t>(k) >= m.freq.size() || std::fabs(m.freq[static_cast<size_t>(k)] - f) > 1e-3 * step) {
        return -1;
    }
    return k;
}

std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

/// Relative standard error of MTF^2 / NNPS from those of its parts.
double dqeError(double dqe, double mtf, double seMtf, double nnps, double seNnps)
{
    const double a = mtf != 0 ? 2 * seMtf / mtf : 0;
    const double b = nnps != 0 ? seNnps / nnps : 0;
    return std::fabs(dqe) * std::sqrt(a * a + b * b);
}

} // namespace

IecDqeResult combineIecDqe(const PreciseMtfResult& edgeH, const PreciseMtfResult& edgeV,
                           const IecNnpsResult& nnps, double q, double kerma)
{
    IecDqeResult out;
    if (edgeH.dir != " H" || edgeV.dir != " V") {
        out.error = std::string("The H edge must have its profile along x and the V edge along y, but ") +
                    "the H edge's runs along " + (edgeH.dir == " H" ? "x" : "y") + " and the V edge's along " +
                    (edgeV.dir == " V" ? "y" : "x") + ": swap the edges or their ROIs.";
        return out;
    }
    if (!(kerma >= kMinKerma && kerma <= kMaxKerma)) {
        out.error = "The air kerma " + number(kerma) + " uGy lies outside 0.001 .. 100000 uGy.";
        return out;
    }
    if (!(q >= kMinQ && q <= kMaxQ)) {
        out.error = "q = " + number(q) + " lies outside 1000 .. 1000000 per mm^2 and uGy.";
        return out;
    }
    // The row of each direction whose DQE lies furthest above 1 beyond twice its standard error.
    struct Excess {
        double z = 0, dqe = 0, se = 0, f = 0;
        void take(double d, double e, double at)
        {
            if (!(d > 1 + 2 * e)) return;
            const double score = e > 0 ? (d - 1) / e : std::numeric_limits<double>::infinity();
            if (score <= z) return;
            *this = {score, d, e, at};
        }
    } excessH, excessV;
    for (size_t i = 0; i < nnps.freq.size(); ++i) {
        const double f = nnps.freq[i];
        const long kh = gridIndex(edgeH, f), kv = gridIndex(edgeV, f);
        if (kh < 0 || kv < 0) {
            out.error = "The MTF of the " + std::string(kh < 0 ? "H" : "V") + " edge has no value at " +
                        number(f) + " cycles/mm: measure it on the NNPS's grid.";
            return out;
        }
        IecDqeRow row;
        row.f = f;
        row.mtfH = edgeH.mtf[static_cast<size_t>(kh)];
        row.mtfV = edgeV.mtf[static_cast<size_t>(kv)];
        row.nnpsH = nnps.nnpsH[i];
        row.nnpsV = nnps.nnpsV[i];
        const DqePoint h = dqeAt(row.mtfH, row.nnpsH, q, kerma);
        const DqePoint v = dqeAt(row.mtfV, row.nnpsV, q, kerma);
        if (!std::isfinite(h.neq) || !std::isfinite(v.neq) || !std::isfinite(h.dqe) || !std::isfinite(v.dqe)) {
            out.error = "The NEQ or DQE at " + number(f) +
                        " cycles/mm is not a finite number (an NNPS of 0?): no DQE.";
            return out;
        }
        row.dqeH = h.dqe;
        row.dqeV = v.dqe;
        row.seDqeH = dqeError(h.dqe, row.mtfH, edgeH.se[static_cast<size_t>(kh)], row.nnpsH, nnps.seH[i]);
        row.seDqeV = dqeError(v.dqe, row.mtfV, edgeV.se[static_cast<size_t>(kv)], row.nnpsV, nnps.seV[i]);
        excessH.take(row.dqeH, row.seDqeH, f);
        excessV.take(row.dqeV, row.seDqeV, f);
        out.rows.push_back(row);
    }
    for (const auto& [name, e] : {std::pair{"H", excessH}, std::pair{"V", excessV}}) {
        if (e.z == 0) continue;
        char buf[260];
        std::snprintf(buf, sizeof buf,
                      "warning the DQE %s reaches %.3f (standard error %.3f) at %g cycles/mm: above 1 "
                      "by more than two standard errors, which no detector reaches; check the kerma, "
                      "the beam's q and the conversion function",
                      name, e.dqe, e.se, e.f);
        out.warnings.emplace_back(buf);
    }
    return out;
}

std::vector<std::string> iecMethodStatement()
{
    return {
        "IEC-style measurement, after IEC 62220-1-1 as it is publicly described (Illers et al. "
        "2005; Ranger et al. 2007, Med. Phys. 34). The standard's text was not at hand: this is "
        "not a statement of conformance.",
        "Linearisation: every pixel of the edge and flat-field images is converted to air kerma "
        "with the conversion function before anything else: K = (v - I) / S (linear) or "
        "K = exp((v - I) / S) (log). An affine conversion leaves the MTF as it is and scales the "
        "noise spectrum, which is then formed from the pixels with the mean taken less I.",
        "MTF: the precise edge method. The edge's angle and line are fitted to the pixels, every "
        "pixel of the ROI is projected onto the edge normal into eighth-pixel bins, the ESF is "
        "differentiated, and the transfer of the bins and of the difference is divided out of the "
        "LSF's transform. The standard error comes from a jackknife over groups of lines. The H "
        "edge is the one whose profile runs along x; its MTF is paired with the NNPS along x.",
        "NNPS: in the analysis area (the central 125 x 125 mm, or the whole image where smaller, "
        "unless a ROI is given) ROIs of 256 x 256 pixels overlap by half in both directions. One "
        "second-order polynomial surface is fitted over the whole area and subtracted. The "
        "periodograms of the ROIs, without a window, are averaged and divided by the squared mean "
        "linearised signal. The NNPS along each axis averages the 7 lines of the spectrum on "
        "either side of the axis, the axis itself left out, each sample at its radial frequency, "
        "in bins as wide as the frequency step and centred on its multiples. The standard error of "
        "each bin is the spread of the ROIs' values, with the correlation between overlapping ROIs "
        "measured from the ROIs themselves.",
        "DQE(f) = MTF(f)^2 / (NNPS(f) q K), with K the stated air kerma and q the photon fluence "
        "per air kerma of the beam quality from the chosen edition's table, or as typed.",
        "Departures: the bin width is the frequency step, not a fixed width; the kerma is the one "
        "stated, not measured from the images; a logarithmic edge image is linearised into 16-bit "
        "values scaled to its largest kerma; the beam's filtration, the detector's lag and its "
        "dose range are not checked; fewer than 4 million independent pixels give a warning, not a "
        "refusal.",
    };
}

} // namespace vantry
