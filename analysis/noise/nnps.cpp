#include "nnps.h"

#include "curve_numbers.h"
#include "measured_from.h"
#include "lesq2d.h"
#include "nnps_blocks.h"
#include "nnps_chart.h"
#include "numtext.h"
#include "prompts.h"
#include "spline.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vantry {
namespace {

constexpr int32_t kBits = 8;
constexpr int32_t kSamples = kBlock * kBlock;

/// Whether the menu entries act at all: an image, and a ROI of whole blocks.
bool wholeBlocks(const Vylsf& v)
{
    const Workspace& ws = v.k.ws;
    if (ws.LOADED[ws.CURSLOT] != 1) return false;
    const RoiRecord& roi = v.k.roi[ws.CURSLOT];
    return roi.ROIW > 0 && roi.ROIH > 0 && roi.ROIW % kBlock == 0 && roi.ROIH % kBlock == 0;
}

/// RADINPS over the current image and then over each of `others` in its place (the same ROI),
/// leaving in NPSBIN the mean over all their blocks.
std::string spectrumOver(Vylsf& v, int raw, const std::vector<ImageBuffer>& others)
{
    VylsfRecord& r = v.r;
    if (std::string error = RADINPS(v, raw); !error.empty()) return error;
    if (others.empty()) return {};
    std::vector<double> total(r.NPSBIN.begin(), r.NPSBIN.end());
    ImageBuffer& current = v.k.ws.IMG[v.k.ws.CURSLOT];
    for (const ImageBuffer& other : others) {
        ImageBuffer kept = std::exchange(current, other);
        std::string error = RADINPS(v, raw);
        current = std::move(kept);
        if (!error.empty()) return error;
        for (size_t k = 0; k < total.size(); ++k) total[k] += r.NPSBIN[k];
    }
    // Every image has the same blocks, so the mean over all blocks is the mean of the images'.
    for (size_t k = 0; k < total.size(); ++k) {
        r.NPSBIN[k] = static_cast<float>(total[k] / static_cast<double>(others.size() + 1));
    }
    return {};
}

void computeAndStore(Vylsf& v, int raw, const std::vector<ImageBuffer>& others = {})
{
    VylsfRecord& r = v.r;
    Host& host = v.host();
    std::fill(r.NPSSUM.begin(), r.NPSSUM.end(), 0.0f);
    std::fill(r.NPSBIN.begin(), r.NPSBIN.end(), 0.0f);
    std::fill(r.NPSCNT.begin(), r.NPSCNT.end(), 0);
    r.NBINS = 25;
    const Workspace& ws = v.k.ws;
    const float df = 1.0f / (ws.PIXMM[ws.CURSLOT] * static_cast<float>(kBlock));
    const float w = df * 5.12f;
    const std::string caption = v.form().Caption;
    if (std::string error = spectrumOver(v, raw, others); !error.empty()) {
        v.form().Caption = caption; // the progress of a refused run is no status
        host.MsgBox(error);
        return;
    }
    const auto stored = askNewCurveSlot(v, "Data No.= ", CurveKind::Nnps, ws.PRESETNAME[ws.CURSLOT] + r.NPSDIR);
    if (!stored) return;
    const size_t slot = *stored;
    const int16_t d = r.DATANO;
    for (int32_t k = 1; k <= r.NBINS; ++k) {
        r.NPSFRQ[slot][k - 1] = static_cast<float>(k) * w;
        r.NPSVAL[slot][k - 1] = static_cast<float>(std::log(static_cast<double>(r.NPSBIN[k])) / std::log(10.0));
    }
    loadWorkingCurve(v.curve, r.NPSFRQ[slot].data(), r.NPSVAL[slot].data(), r.NBINS);
    std::string text = r.DATALBL[slot] + "\r\n";
    const int32_t last = nearestInt(r.NFMAX / r.NFINT + 1, 0);
    for (int32_t i = 1; i <= last; ++i) {
        const float f = static_cast<float>(i) * r.NFINT;
        if (f > r.NPSFRQ[slot][r.NBINS - 1]) break;
        text += noiseText(std::pow(10.0, static_cast<double>(splineAt(v.curve, f))), 4) + "\r\n";
    }
    host.setClipboardText(text);
    VylsfForm& form = v.form();
    for (Control& b : form.CENADJ) b.Visible = false;
    form.FINESTP.Visible = false;
    r.NPSNUM[slot] = r.NBINS;
    r.NPSRAW[slot] = static_cast<int16_t>(raw);
    r.NPSPITCH[slot] = ws.PIXMM[ws.CURSLOT];
    const char* method = raw != 0 ? "2D-NPS" : r.NPSDIR == " R" ? "2D-NNPS" : "1D-NNPS";
    r.NPSFROM[slot] = measuredFrom(v, ws.CURSLOT, r.DATALBL[slot], method,
                                   {{"direction", r.NPSDIR.empty() ? "" : r.NPSDIR.substr(1)},
                                    {"u max", std::to_string(r.NPSU)},
                                    {"v max", std::to_string(r.NPSV)},
                                    {"images", std::to_string(others.size() + 1)},
                                    {"NFMAX", settingText(r.NFMAX)},
                                    {"NFINT", settingText(r.NFINT)}});
    r.CURVESCHANGED = 1;
    // "DQE calc." offers the last normalised curve: an absolute one is no NNPS.
    if (raw == 0) {
        r.LASTNPSNO = d;
    } else if (r.LASTNPSNO == d) {
        r.LASTNPSNO = 0;
    }
    WSDSP(v, 0, DecadeFit::ToCurves);
    r.DSPMODE = 4;
    r.NPSLAST = 1;
    form.Caption = r.DATALBL[slot];
}

} // namespace

void NNPS1D_Click(Vylsf& v)
{
    if (!wholeBlocks(v)) return;
    VylsfRecord& r = v.r;
    const double direction = std::clamp(askNumber(v.host(), "Direction 0..H  1..V = ", " 0"), 0.0, 1.0);
    const double lines = askNumber(v.host(), "Average line number = ", " 7");
    const int32_t n = nearestInt(lines, -1);
    if (n < 1 || n > kBlock / 2) {
        v.host().MsgBox("Average line number" + plainNumber(lines) +
                        " is outside 1 .. 128: the band takes 1 to 128 lines beside the axis.");
        return;
    }
    const bool vertical = std::nearbyint(direction) == 1;
    r.NPSU = static_cast<int16_t>(vertical ? n : 128);
    r.NPSV = static_cast<int16_t>(vertical ? 128 : n);
    r.NPSDIR = vertical ? " V" : " H";
    NNPSCLC(v);
}

void NNPS2D_Click(Vylsf& v)
{
    if (!wholeBlocks(v)) return;
    v.r.NPSU = v.r.NPSV = 128;
    v.r.NPSDIR = " R";
    NNPSCLC(v);
}

void NPS2D_Click(Vylsf& v)
{
    if (!wholeBlocks(v)) return;
    v.r.NPSU = v.r.NPSV = 128;
    v.r.NPSDIR = " R";
    NPSCLC(v);
}

void NNPSCLC(Vylsf& v)
{
    computeAndStore(v, 0);
}

void NPSCLC(Vylsf& v)
{
    computeAndStore(v, 1);
}

void nnpsOverImages(Vylsf& v, int raw, const std::vector<ImageBuffer>& others)
{
    if (!wholeBlocks(v)) return;
    for (const ImageBuffer& other : others) {
        const ImageBuffer& current = v.k.ws.IMG[v.k.ws.CURSLOT];
        if (other.width != current.width || other.height != current.height) {
            v.host().MsgBox("The flat fields differ in size (" + std::to_string(other.width) + " x " +
                            std::to_string(other.height) + " against " + std::to_string(current.width) +
                            " x " + std::to_string(current.height) + "): they are not one detector's.");
            return;
        }
    }
    computeAndStore(v, raw, others);
}

void TREND2D(Vylsf& v)
{
    VylsfRecord& r = v.r;
    LESQ2D(r.NPSRE.data(), r.NPSFIT.data(), kBlock);
    for (int32_t i = 0; i < kSamples; ++i) r.NPSRE[i] -= r.NPSFIT[i];
}

void FFT2D256(Vylsf& v, int sign)
{
    VylsfRecord& r = v.r;
    Workspace& ws = v.k.ws;
    const auto fft4 = FOUREL(v.k.kernels, fft4);
    float* re = r.FFTRE.data();
    float* im = r.FFTIM.data();
    for (int32_t y = 0; y < kBlock; ++y) {
        std::copy_n(&r.NPSRE[static_cast<size_t>(y) * kBlock], kBlock, re);
        std::copy_n(&r.NPSIM[static_cast<size_t>(y) * kBlock], kBlock, im);
        fft4(kBlock, kBits, re, im, ws.SINTB.data(), ws.COSTB.data(), static_cast<int16_t>(sign));
        std::copy_n(re, kBlock, &r.NPSRE[static_cast<size_t>(y) * kBlock]);
        std::copy_n(im, kBlock, &r.NPSIM[static_cast<size_t>(y) * kBlock]);
    }
    for (int32_t x = 0; x < kBlock; ++x) {
        for (int32_t y = 0; y < kBlock; ++y) {
            re[y] = r.NPSRE[x + static_cast<size_t>(y) * kBlock];
            im[y] = r.NPSIM[x + static_cast<size_t>(y) * kBlock];
        }
        fft4(kBlock, kBits, re, im, ws.SINTB.data(), ws.COSTB.data(), static_cast<int16_t>(sign));
        for (int32_t y = 0; y < kBlock; ++y) {
            r.NPSRE[x + static_cast<size_t>(y) * kBlock] = re[y];
            r.NPSIM[x + static_cast<size_t>(y) * kBlock] = im[y];
        }
    }
}

std::string RADINPS(Vylsf& v, int raw)
{
    return radinpsWith(v, raw, NpsReading::Summed);
}

} // namespace vantry
