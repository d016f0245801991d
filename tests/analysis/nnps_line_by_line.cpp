#include "nnps_line_by_line.h"

#include "nnps.h"
#include "nnps_blocks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vantry {
namespace {

constexpr int32_t kSamples = kBlock * kBlock;

} // namespace

std::string radinpsLineByLine(Vylsf& v, int raw)
{
    if (std::string why = prepareRadinps(v, raw); !why.empty()) return why;
    VylsfRecord& r = v.r;
    Workspace& ws = v.k.ws;
    const int view = ws.CURSLOT;
    const RoiRecord roi = v.k.roi[view];
    const ImageBuffer& img = ws.IMG[view];
    for (int32_t j = 0; j < roi.ROIH; ++j) {
        for (int32_t i = 0; i < roi.ROIW; ++i) {
            r.ROIDAT[i + static_cast<size_t>(roi.ROIW) * j] = img.at(roi.ROIX + i, roi.ROIY + j);
        }
    }
    const float pitch = ws.PIXMM[view];
    const float df = 1.0f / (pitch * static_cast<float>(kBlock));
    const float w = df * 5.12f;
    const int32_t nx = roi.ROIW / kBlock, ny = roi.ROIH / kBlock, blocks = nx * ny;
    const float s = pitch * pitch / static_cast<float>(kSamples);
    std::fill(r.NPSSUM.begin(), r.NPSSUM.end(), 0.0f);
    const auto power = [&](int32_t a, int32_t c) {
        const size_t at = static_cast<size_t>(a) + static_cast<size_t>(c) * kBlock;
        return (r.NPSRE[at] * r.NPSRE[at] + r.NPSIM[at] * r.NPSIM[at]) * s;
    };
    for (int32_t b = 0; b < blocks; ++b) {
        const int32_t bx = b % nx, by = b / nx;
        showBlockProgress(v, b, blocks);
        std::fill(r.NPSBIN.begin(), r.NPSBIN.end(), 0.0f);
        std::fill(r.NPSCNT.begin(), r.NPSCNT.end(), 0);
        for (int32_t j = 0; j < kBlock; ++j) {
            const float* from =
                &r.ROIDAT[static_cast<size_t>(kBlock) * bx +
                          static_cast<size_t>(roi.ROIW) * (static_cast<size_t>(kBlock) * by + j)];
            std::copy_n(from, kBlock, &r.NPSRE[static_cast<size_t>(j) * kBlock]);
        }
        float rows = 0;
        for (int32_t j = 0; j < kBlock; ++j) {
            float sj = 0;
            for (int32_t i = 0; i < kBlock; ++i) sj += r.NPSRE[i + static_cast<size_t>(j) * kBlock];
            rows += sj / 256.0f;
        }
        float m = rows / 256.0f;
        TREND2D(v);
        if (raw == 1) m = 1.0f;
        if (m == 0)
            return "Block " + std::to_string(b) + " has a mean of 0: it cannot be normalised.";
        for (int32_t i = 0; i < kSamples; ++i) {
            r.NPSRE[i] /= m;
            r.NPSIM[i] = 0;
        }
        FFT2D256(v, 1);
        for (int32_t u = 1; u <= r.NPSU; ++u) {
            for (int32_t vv = 1; vv <= r.NPSV; ++vv) {
                const float fu = static_cast<float>(u) * df, fv = static_cast<float>(vv) * df;
                const float radius = std::sqrt(fu * fu + fv * fv);
                const auto k = static_cast<size_t>(std::nearbyint(radius / w));
                r.NPSBIN[k] += power(u, vv);
                r.NPSBIN[k] += power(kBlock - u, vv);
                r.NPSBIN[k] += power(u, kBlock - vv);
                r.NPSCNT[k] += 3;
            }
        }
        for (int32_t k = 0; k <= r.NBINS; ++k) {
            if (r.NPSCNT[k] > 0) r.NPSBIN[k] /= static_cast<float>(r.NPSCNT[k]);
            r.NPSSUM[k] += r.NPSBIN[k];
        }
    }
    for (int32_t k = 0; k <= r.NBINS; ++k) r.NPSBIN[k] = r.NPSSUM[k] / static_cast<float>(blocks);
    return noPowerRefusal(r);
}

} // namespace vantry
