#include "iec_nnps_readings.h"

#include "cpu_features.h"
#include "nnps_passes.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>

namespace vantry::iec {
namespace {

constexpr int32_t kHalf = kSide / 2 + 1; // columns of FFTW's half-plane spectrum
constexpr int32_t kSamples = kSide * kSide;

struct FftwFree {
    void operator()(void* p) const { fftwf_free(p); }
};
template <class T> using FftwBuffer = std::unique_ptr<T[], FftwFree>;

template <class T> FftwBuffer<T> fftwBuffer(size_t count)
{
    return FftwBuffer<T>(static_cast<T*>(fftwf_malloc(count * sizeof(T))));
}

/// The one plan of a 256 x 256 real transform, made once (FFTW's planner is not thread-safe;
/// executing a plan on other arrays of the same alignment is).
const fftwf_plan& roiPlan()
{
    static std::once_flag once;
    static fftwf_plan plan = nullptr;
    std::call_once(once, [] {
        auto in = fftwBuffer<float>(kSamples);
        auto out = fftwBuffer<fftwf_complex>(static_cast<size_t>(kSide) * kHalf);
        plan = fftwf_plan_dft_r2c_2d(kSide, kSide, in.get(), out.get(), FFTW_ESTIMATE);
    });
    return plan;
}

float power(const fftwf_complex& z)
{
    return z[0] * z[0] + z[1] * z[1];
}

class FftwReading final : public RoiReading {
public:
    FftwReading(const AreaSurface& s, const float* table)
        : s_(s), table_(table), block_(fftwBuffer<float>(kSamples)),
          spectrum_(fftwBuffer<fftwf_complex>(static_cast<size_t>(kSide) * kHalf)),
          u1_(s.ux.size()), u2_(s.ux.size())
    {
        for (size_t x = 0; x < s.ux.size(); ++x) {
            u1_[x] = static_cast<float>(s.ux[x]);
            u2_[x] = static_cast<float>(s.ux[x] * s.ux[x]);
        }
    }

    void read(const int16_t* roi, int32_t stride, int32_t x0, int32_t y0, const int16_t*, BandPower& out) override
    {
        // The surface is read at every ROI: a reading serves field after field.
        const auto& c = s_.c;
        const auto c3 = static_cast<float>(c[3]);
        for (int32_t y = 0; y < kSide; ++y) {
            const double w = s_.uy[static_cast<size_t>(y0 + y)];
            const auto base = static_cast<float>(c[0] + c[2] * w + c[5] * w * w);
            const auto slope = static_cast<float>(c[1] + c[4] * w);
            const int16_t* row = roi + static_cast<std::ptrdiff_t>(y) * stride;
            const float* u1 = &u1_[static_cast<size_t>(x0)];
            const float* u2 = &u2_[static_cast<size_t>(x0)];
            float* dst = block_.get() + static_cast<size_t>(y) * kSide;
            if (table_ == nullptr) {
                for (int32_t x = 0; x < kSide; ++x) dst[x] = static_cast<float>(row[x]) - (base + slope * u1[x] + c3 * u2[x]);
            } else {
                for (int32_t x = 0; x < kSide; ++x) {
                    dst[x] = table_[static_cast<size_t>(row[x] + 0x8000)] - (base + slope * u1[x] + c3 * u2[x]);
                }
            }
        }
        fftwf_execute_dft_r2c(roiPlan(), block_.get(), spectrum_.get());
        // The half-plane holds u = 0 .. 128; X(-u, -v) is the conjugate of X(u, v).
        const fftwf_complex* z = spectrum_.get();
        const auto at = [&](int32_t u, int32_t v) {
            const int32_t vv = (v % kSide + kSide) % kSide;
            if (u >= 0 && u <= kSide / 2) return power(z[vv * kHalf + u]);
            return power(z[((kSide - vv) % kSide) * kHalf + (-u % kSide + kSide) % kSide]);
        };
        for (int32_t l = 0; l < kLines; ++l) {
            for (int32_t u = 0; u < kSide; ++u) out.h[l][u] = at(u < kSide / 2 ? u : u - kSide, l + 1);
        }
        for (int32_t m = 0; m < 2 * kLines; ++m) {
            const int32_t u = m < kLines ? m + 1 : -(m - kLines + 1);
            for (int32_t v = 0; v < kHalfRows; ++v) out.v[m][v] = at(u, v);
        }
    }

private:
    const AreaSurface& s_;
    const float* table_;
    FftwBuffer<float> block_;
    FftwBuffer<fftwf_complex> spectrum_;
    std::vector<float> u1_, u2_; ///< u and u^2 of every area column
};

class PassesReading final : public RoiReading {
public:
    explicit PassesReading(const AreaSurface& s)
        : s_(s), passes_(vantry_kernels::cpuHasAvx2() ? nps::avx2Passes() : nps::portablePasses()),
          tables_(std::make_unique<nps::Tables>()), work_(std::make_unique<nps::Work>()),
          surface_(std::make_unique<nps::Surface>())
    {
        nps::buildTables(*tables_, static_cast<float>(2 * std::numbers::pi));
        surface_->scale = 1;
        std::memset(work_->power, 0, sizeof work_->power);
        for (int32_t k = 1; k <= kLines; ++k) {
            for (int32_t x = 0; x < kSide; ++x) {
                const double a = -2 * std::numbers::pi * k * x / kSide;
                twiddle_[k - 1][x][0] = std::cos(a);
                twiddle_[k - 1][x][1] = std::sin(a);
            }
        }
    }

    void read(const int16_t* roi, int32_t stride, int32_t x0, int32_t y0, const int16_t* next,
              BandPower& out) override
    {
        // The area's surface in the ROI's own coordinates x = 0 .. 255: u = alpha + beta x, so
        // the surface is q(y) + x (b(y) + c3 beta^2 x).
        const auto& c = s_.c;
        const double alpha = s_.ux[static_cast<size_t>(x0)], beta = 1 / s_.scaleX;
        nps::Surface& f = *surface_;
        for (int32_t y = 0; y < kSide; ++y) {
            const double w = s_.uy[static_cast<size_t>(y0 + y)];
            f.q[y] = c[0] + c[2] * w + c[5] * w * w + alpha * (c[1] + c[3] * alpha + c[4] * w);
            f.b[y] = beta * (c[1] + 2 * c[3] * alpha + c[4] * w);
            f.c3x[y] = c[3] * beta * beta * y;
        }
        nps::Work& w = *work_;
        passes_.columns(roi, stride, f, *tables_, next, w);
        passes_.rows(*tables_, nps::kRowGroups, w);
        const int16_t* position = tables_->position;
        // The passes leave 4 |X|^2 (the split pairs are not halved); row v of the spectrum is
        // lane (v - 1) % 8 of row group (v - 1) / 8.
        const auto at = [&](int32_t u, int32_t v) {
            const int32_t p = position[(u + kSide) % kSide];
            return w.power[(static_cast<size_t>((v - 1) / nps::kLanes) * kSide + p) * nps::kLanes + (v - 1) % nps::kLanes] /
                   4;
        };
        for (int32_t l = 0; l < kLines; ++l) {
            for (int32_t u = 0; u < kSide; ++u) out.h[l][u] = at(u, l + 1);
        }
        // Row v = 0 from the column sums, the transforms' first element: lane l of group g holds
        // the sums of columns 16 g + l (real part) and 16 g + 8 + l (imaginary part).
        double sums[kSide];
        for (int32_t g = 0; g < nps::kColumnGroups; ++g) {
            const float* e = w.columns + (static_cast<size_t>(g) * kSide + position[0]) * nps::kElement;
            for (int32_t o = 0; o < 2 * nps::kLanes; ++o) sums[16 * g + o] = e[o];
        }
        for (int32_t k = 1; k <= kLines; ++k) {
            double re = 0, im = 0;
            for (int32_t x = 0; x < kSide; ++x) {
                re += sums[x] * twiddle_[k - 1][x][0];
                im += sums[x] * twiddle_[k - 1][x][1];
            }
            out.v[k - 1][0] = out.v[kLines + k - 1][0] = static_cast<float>(re * re + im * im);
        }
        for (int32_t m = 0; m < 2 * kLines; ++m) {
            const int32_t u = m < kLines ? m + 1 : -(m - kLines + 1);
            for (int32_t v = 1; v < kHalfRows; ++v) out.v[m][v] = at(u, v);
        }
        // The row pass adds into the power: the positions read are cleared for the next ROI (the
        // others are never read): row group 0 whole, and the columns u = +-1 .. +-7 of the others.
        std::memset(w.power, 0, sizeof(float) * kSide * nps::kLanes);
        for (int32_t j = 1; j < nps::kRowGroups; ++j) {
            for (int32_t k = 1; k <= kLines; ++k) {
                for (const int32_t p : {position[k], position[kSide - k]}) {
                    std::memset(&w.power[(static_cast<size_t>(j) * kSide + p) * nps::kLanes], 0, sizeof(float) * nps::kLanes);
                }
            }
        }
    }

private:
    const AreaSurface& s_;
    nps::Passes passes_;
    std::unique_ptr<nps::Tables> tables_;
    std::unique_ptr<nps::Work> work_;
    std::unique_ptr<nps::Surface> surface_;
    double twiddle_[kLines][kSide][2];
};

} // namespace

std::vector<double> scaledAxis(int32_t n, double& scale)
{
    const double centre = (n - 1) / 2.0;
    scale = std::max(centre, 1.0);
    std::vector<double> u(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) u[static_cast<size_t>(i)] = (i - centre) / scale;
    return u;
}

std::unique_ptr<RoiReading> fftwReading(const AreaSurface& surface, const float* table)
{
    return std::make_unique<FftwReading>(surface, table);
}

std::unique_ptr<RoiReading> passesReading(const AreaSurface& surface)
{
    return std::make_unique<PassesReading>(surface);
}

} // namespace vantry::iec
