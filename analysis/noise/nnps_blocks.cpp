#include "nnps_blocks.h"

#include "analysis_busy.h"
#include "cpu_features.h"
#include "noise_basics.h"
#include "nnps_passes.h"
#include "numtext.h"
#include "roi_outside.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantry {
namespace {

constexpr int32_t kBits = 8;
constexpr int32_t kSamples = kBlock * kBlock;

std::string refusal(const Vylsf& v)
{
    const VylsfRecord& r = v.r;
    const Workspace& ws = v.k.ws;
    const int view = ws.CURSLOT;
    const RoiRecord& roi = v.k.roi[view];
    const ImageBuffer& img = ws.IMG[view];
    if (roi.ROIX < 0 || roi.ROIY < 0 || roi.ROIX + roi.ROIW > img.width ||
        roi.ROIY + roi.ROIH > img.height) {
        return roiOutsideMessage(roi.ROIX, roi.ROIY, roi.ROIW, roi.ROIH, img.width, img.height);
    }
    if (!(ws.PIXMM[view] > 0))
        return "The image has no pixel pitch: choose a detector entry with one.";
    if (r.NPSU < 1 || r.NPSU > 128 || r.NPSV < 1 || r.NPSV > 128) {
        return "The band must take 1 to 128 lines beside the axis.";
    }
    return {};
}

/// A normalised spectrum divides by the signal: a ROI whose mean is not clearly above zero (a dark
/// frame, an image read with the wrong offset) would give any NNPS at all. The mean and spread are
/// taken over every eighth row, which is plenty for ten standard errors and costs an eighth of a
/// pass; the text of the refusal, or an empty one.
std::string darkRefusal(const Vylsf& v)
{
    const Workspace& ws = v.k.ws;
    const RoiRecord& roi = v.k.roi[ws.CURSLOT];
    const ImageBuffer& img = ws.IMG[ws.CURSLOT];
    constexpr int32_t kRowStep = 8;
    double sum = 0, squares = 0, n = 0;
    for (int32_t y = roi.ROIY; y < roi.ROIY + roi.ROIH; y += kRowStep) {
        const int16_t* row = &img.pixels[static_cast<size_t>(y) * img.width + roi.ROIX];
        double rowSum = 0, rowSquares = 0;
        for (int32_t x = 0; x < roi.ROIW; ++x) {
            rowSum += row[x];
            rowSquares += static_cast<double>(row[x]) * row[x];
        }
        sum += rowSum;
        squares += rowSquares;
        n += roi.ROIW;
    }
    const double mean = sum / n;
    const double sd = std::sqrt(std::max(0.0, squares / n - mean * mean));
    const double allPixels = static_cast<double>(roi.ROIW) * roi.ROIH;
    const double tenErrors = 10 * sd / std::sqrt(allPixels);
    if (mean > tenErrors && mean > 0) return {};
    return "The ROI's mean signal, " + plainNumberTrimmed(mean) +
           ", is not clearly above zero (ten standard errors of the mean are " +
           plainNumberTrimmed(tenErrors) +
           "): a normalised spectrum divides by the signal, so a dark frame or an image read with "
           "the wrong offset cannot give one. Measure a flat field, or its \"2D-NPS\".";
}

} // namespace

std::string noPowerRefusal(const VylsfRecord& r)
{
    for (int32_t k = 1; k <= r.NBINS; ++k) {
        if (!(r.NPSBIN[k] > 0)) {
            return "Bin " + std::to_string(k) + " of the spectrum has " +
                   std::string(r.NPSCNT[k] == 0 ? "no samples" : "no power") +
                   " (a constant ROI, or blocks that are exact quadratic surfaces): there is no "
                   "noise to "
                   "measure.";
        }
    }
    return {};
}

void showBlockProgress(Vylsf& v, int32_t b, int32_t blocks)
{
    v.form().Caption =
        plainNumber(static_cast<double>(b)) + "/" + plainNumber(static_cast<double>(blocks - 1));
    v.host().DoEvents();
}

namespace {

/// The power of every position summed over the blocks, binned once.
///
/// Each block's bin is the mean of its samples, and the bins are averaged over the blocks; as
/// every block has the same samples in each bin, that is the sum over the blocks and positions
/// of a bin divided once by its samples and the blocks. A real block's transform is conjugate
/// symmetric, so of the three positions the method takes for (u, v), (256 - u, v) and
/// (u, 256 - v) have the same power: P(u, v) + 2 P(256 - u, v), and only the rows v = 1 .. 128
/// of the spectrum are needed.
std::string summed(Vylsf& v, int raw, const nps::Passes& passes)
{
    VylsfRecord& r = v.r;
    Workspace& ws = v.k.ws;
    const int view = ws.CURSLOT;
    const RoiRecord roi = v.k.roi[view];
    const ImageBuffer& img = ws.IMG[view];
    const float pitch = ws.PIXMM[view];
    const float df = 1.0f / (pitch * static_cast<float>(kBlock));
    const float w = df * 5.12f;
    const int32_t nx = roi.ROIW / kBlock, ny = roi.ROIH / kBlock, blocks = nx * ny;
    const float s = pitch * pitch / static_cast<float>(kSamples);

    // The bins, formed as in each block of the written loop.
    std::fill(r.NPSCNT.begin(), r.NPSCNT.end(), 0);
    std::vector<int32_t> binOf(static_cast<size_t>(r.NPSU) * r.NPSV);
    for (int32_t u = 1; u <= r.NPSU; ++u) {
        for (int32_t vv = 1; vv <= r.NPSV; ++vv) {
            const float fu = static_cast<float>(u) * df, fv = static_cast<float>(vv) * df;
            const float radius = std::sqrt(fu * fu + fv * fv);
            const auto k = static_cast<int32_t>(std::nearbyint(radius / w));
            binOf[static_cast<size_t>(u - 1) * r.NPSV + (vv - 1)] = k;
            r.NPSCNT[k] += 3;
        }
    }

    const auto tables = std::make_unique<nps::Tables>();
    nps::buildTables(*tables, ws.PI2);
    const auto work = std::make_unique<nps::Work>();
    const auto sums = std::make_unique<nps::RowSums>();
    const auto surface = std::make_unique<nps::Surface>();
    const int32_t rowGroups = (r.NPSV + nps::kLanes - 1) / nps::kLanes;
    // The copy is stored in aligned pieces of at least 16 bytes; ROIW is a multiple of 256
    // floats, so every row is aligned when the array is (operator new gives 16).
    const nps::CopyPass copyRows = reinterpret_cast<std::uintptr_t>(r.ROIDAT.data()) % 16 == 0
                                       ? passes.copy
                                       : nps::portablePasses().copy;
    const auto blockAt = [&](int32_t b) {
        const int32_t x0 = roi.ROIX + kBlock * (b % nx), y0 = roi.ROIY + kBlock * (b / nx);
        return &img.pixels[static_cast<size_t>(y0) * img.width + x0];
    };
    for (int32_t b = 0; b < blocks; ++b) {
        showBlockProgress(v, b, blocks);
        const int16_t* block = blockAt(b);
        if (b % nx == 0) {
            // The ROI copy of a whole row of blocks goes in long runs, which memory takes best;
            // it also brings the row's pixels into the cache for its blocks.
            copyRows(block, img.width, roi.ROIW, kBlock,
                     &r.ROIDAT[static_cast<size_t>(roi.ROIW) * kBlock * (b / nx)], roi.ROIW);
        }
        passes.rowSums(block, img.width, *sums);
        float m = nps::blockMean(*sums);
        nps::fitSurface(*sums, *surface);
        if (raw == 1) m = 1.0f;
        if (m == 0)
            return "Block " + std::to_string(b) + " has a mean of 0: it cannot be normalised.";
        surface->scale = 1.0f / m;
        passes.columns(block, img.width, *surface, *tables,
                       b + 1 < blocks ? blockAt(b + 1) : nullptr, *work);
        passes.rows(*tables, rowGroups, *work);
    }

    std::vector<double> total(static_cast<size_t>(r.NBINS) + 1);
    for (int32_t u = 1; u <= r.NPSU; ++u) {
        const int32_t at = tables->position[u], mirror = tables->position[kBlock - u];
        for (int32_t vv = 1; vv <= r.NPSV; ++vv) {
            const int32_t k = binOf[static_cast<size_t>(u - 1) * r.NPSV + (vv - 1)];
            if (k > r.NBINS) continue;
            const float* row =
                work->power + static_cast<size_t>((vv - 1) / nps::kLanes) * kBlock * nps::kLanes;
            const int32_t lane = (vv - 1) % nps::kLanes;
            total[k] += static_cast<double>(row[at * nps::kLanes + lane]) +
                        2.0 * static_cast<double>(row[mirror * nps::kLanes + lane]);
        }
    }
    std::fill(r.NPSBIN.begin(), r.NPSBIN.end(), 0.0f);
    std::fill(r.NPSSUM.begin(), r.NPSSUM.end(), 0.0f);
    for (int32_t k = 0; k <= r.NBINS; ++k) {
        if (r.NPSCNT[k] == 0) continue;
        // The split pairs carry a factor 2, so their power a factor 4.
        const double perBlock = total[k] * static_cast<double>(s) / 4.0 / r.NPSCNT[k];
        r.NPSSUM[k] = static_cast<float>(perBlock);
        r.NPSBIN[k] = static_cast<float>(perBlock / blocks);
    }
    return noPowerRefusal(r);
}

} // namespace

bool npsSummedUsesAvx2()
{
    return vantry_kernels::cpuHasAvx2();
}

std::string prepareRadinps(Vylsf& v, int raw)
{
    if (std::string why = refusal(v); !why.empty()) return why;
    if (raw != 1) {
        if (std::string why = darkRefusal(v); !why.empty()) return why;
    }
    VylsfRecord& r = v.r;
    Workspace& ws = v.k.ws;
    const RoiRecord& roi = v.k.roi[ws.CURSLOT];
    r.ROIDAT.resize(static_cast<size_t>(roi.ROIW) * roi.ROIH);
    ws.NFFT = kBlock;
    ws.NFFTBIT = kBits;
    for (int32_t i = 0; i <= 128; ++i) {
        ws.SINTB[i] = static_cast<float>(
            std::sin(static_cast<double>(static_cast<float>(i) * ws.PI2 / 256.0f)));
        ws.COSTB[i] = static_cast<float>(
            std::cos(static_cast<double>(static_cast<float>(i) * ws.PI2 / 256.0f)));
    }
    r.NPSRE.assign(kSamples, 0.0f);
    r.NPSIM.assign(kSamples, 0.0f);
    r.NPSFIT.assign(kSamples, 0.0f);
    return {};
}

std::string radinpsWith(Vylsf& v, int raw, NpsReading reading)
{
    // The blocks are read from the image between yields: it and its ROI must stay put.
    const AnalysisBusy busy(v.k.ws);
    if (std::string why = prepareRadinps(v, raw); !why.empty()) return why;
    switch (reading) {
    case NpsReading::SummedPortable:
        return summed(v, raw, nps::portablePasses());
    case NpsReading::Summed:
        break;
    }
    return summed(v, raw, npsSummedUsesAvx2() ? nps::avx2Passes() : nps::portablePasses());
}

} // namespace vantry
