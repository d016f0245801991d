#include "iec_nnps.h"

#include "numtext.h"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>

namespace vantry {
namespace {

constexpr int32_t kSide = kIecRoiSide;
constexpr int32_t kHalf = kSide / 2 + 1; // columns of the half-plane spectrum
constexpr int32_t kSamples = kSide * kSide;
/// Side of the default analysis area, mm.
constexpr double kDefaultAreaMm = 125;

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

/// One spectrum position that feeds a frequency bin, with its weight in the full plane: a
/// position of the half-plane stands for itself and its mirror (-u, -v), except on the columns
/// u = 0 and u = 128, which hold both.
struct BinSample {
    int32_t position; ///< v kHalf + u in the half-plane spectrum
    int32_t bin;      ///< index into the grid, 0 for the first grid frequency
    float weight;
};

/// The positions of one direction's band whose radial frequency rounds to a grid frequency.
std::vector<BinSample> bandSamples(bool alongY, double df, double fint, int32_t bins)
{
    std::vector<BinSample> out;
    const auto add = [&](int32_t u, int32_t v) {
        const int32_t signedV = v < kSide / 2 ? v : v - kSide;
        const double f = std::hypot(static_cast<double>(u), static_cast<double>(signedV)) * df;
        const auto k = static_cast<int32_t>(std::floor(f / fint + 0.5)) - 1;
        if (k < 0 || k >= bins) return;
        const float weight = (u == 0 || u == kSide / 2) ? 1.0f : 2.0f;
        out.push_back({v * kHalf + u, k, weight});
    };
    if (alongY) {
        // V: frequencies along y, from the columns u = 1 .. 7 beside the v axis (with their
        // mirrors, the columns -1 .. -7).
        for (int32_t v = 0; v < kSide; ++v) {
            for (int32_t u = 1; u <= kIecAxisLines; ++u) add(u, v);
        }
    } else {
        // H: frequencies along x, from the rows v = +-1 .. +-7 beside the u axis.
        for (int32_t line = 1; line <= kIecAxisLines; ++line) {
            for (int32_t u = 0; u < kHalf; ++u) {
                add(u, line);
                add(u, kSide - line);
            }
        }
    }
    return out;
}

/// The least-squares surface c0 + c1 u + c2 w + c3 u^2 + c4 u w + c5 w^2 in the area's
/// coordinates u, w scaled to -1 .. 1, with the statistics of the linearised pixels.
struct AreaFit {
    std::array<double, 6> c{};
    double mean = 0, sd = 0;
    double lowest = 0, highest = 0; ///< linearised extremes
    bool solved = false;
};

/// Solves the 6 x 6 system in place by elimination with partial pivoting.
bool solve6(std::array<std::array<double, 7>, 6>& m, std::array<double, 6>& x)
{
    for (int col = 0; col < 6; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 6; ++r) {
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        }
        if (!(std::fabs(m[pivot][col]) > 1e-300)) return false;
        std::swap(m[col], m[pivot]);
        for (int r = col + 1; r < 6; ++r) {
            const double f = m[r][col] / m[col][col];
            for (int c = col; c < 7; ++c) m[r][c] -= f * m[col][c];
        }
    }
    for (int r = 5; r >= 0; --r) {
        double s = m[r][6];
        for (int c = r + 1; c < 6; ++c) s -= m[r][c] * x[c];
        x[r] = s / m[r][r];
    }
    return true;
}

/// Coordinates of an area axis of n pixels scaled to -1 .. 1.
std::vector<double> scaledAxis(int32_t n)
{
    const double centre = (n - 1) / 2.0;
    const double scale = std::max(centre, 1.0);
    std::vector<double> u(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) u[static_cast<size_t>(i)] = (i - centre) / scale;
    return u;
}

/// A pixel as the spectrum works on it: the raw value when the conversion is affine (the NNPS
/// of an affine image is that of its kerma, with the mean taken from the intercept), else its
/// linearised value from a table of every Int16.
struct RawValue {
    float operator()(int16_t v) const { return static_cast<float>(v); }
};
struct TableValue {
    const float* table; ///< 65536 entries, Int16 value + 32768 as index
    float operator()(int16_t v) const { return table[static_cast<size_t>(v + 0x8000)]; }
};

template <class Value>
AreaFit fitArea(const FlatField& f, const IecArea& a, const Value& value,
                const std::vector<double>& ux, const std::vector<double>& uy)
{
    AreaFit fit;
    // Per row the sums of z, u z and u^2 z; then the basis sums over the rows.
    std::array<double, 6> rhs{};
    double squares = 0, sum = 0;
    float lowest = value(f.pixels[static_cast<size_t>(a.y) * f.width + a.x]);
    float highest = lowest;
    for (int32_t y = 0; y < a.h; ++y) {
        const int16_t* row = f.pixels + static_cast<size_t>(a.y + y) * f.width + a.x;
        double s0 = 0, s1 = 0, s2 = 0, sq = 0;
        for (int32_t x = 0; x < a.w; ++x) {
            const float z = value(row[x]);
            const double u = ux[static_cast<size_t>(x)];
            s0 += z;
            s1 += u * z;
            s2 += u * u * z;
            sq += static_cast<double>(z) * z;
            lowest = std::min(lowest, z);
            highest = std::max(highest, z);
        }
        const double w = uy[static_cast<size_t>(y)];
        rhs[0] += s0;
        rhs[1] += s1;
        rhs[2] += w * s0;
        rhs[3] += s2;
        rhs[4] += w * s1;
        rhs[5] += w * w * s0;
        squares += sq;
        sum += s0;
    }
    const double n = static_cast<double>(a.w) * a.h;
    fit.mean = sum / n;
    fit.sd = std::sqrt(std::max(0.0, squares / n - fit.mean * fit.mean));
    fit.lowest = lowest;
    fit.highest = highest;

    // Normal equations from the separable power sums of the coordinates.
    std::array<double, 5> px{}, py{};
    for (double u : ux) {
        for (int p = 0; p < 5; ++p) px[p] += std::pow(u, p);
    }
    for (double w : uy) {
        for (int p = 0; p < 5; ++p) py[p] += std::pow(w, p);
    }
    constexpr std::array<std::array<int, 2>, 6> powers = {{{0, 0}, {1, 0}, {0, 1}, {2, 0}, {1, 1}, {0, 2}}};
    std::array<std::array<double, 7>, 6> m{};
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            m[i][j] = px[powers[i][0] + powers[j][0]] * py[powers[i][1] + powers[j][1]];
        }
        m[i][6] = rhs[i];
    }
    fit.solved = solve6(m, fit.c);
    return fit;
}

/// A direction's band with the per-ROI bin values of every ROI, in the order the ROIs are
/// measured (field by field, row by row of the grid), bins fastest.
struct BandValues {
    std::vector<BinSample> band;
    std::vector<double> weight; ///< total weight of each bin
    std::vector<double> values;
};

/// Adds one ROI's periodogram, scaled to NNPS units, as one more row of per-ROI bin values.
void addRoi(const fftwf_complex* spectrum, double scale, BandValues& b)
{
    const size_t bins = b.weight.size();
    const size_t first = b.values.size();
    b.values.resize(first + bins, 0.0);
    double* row = b.values.data() + first;
    for (const BinSample& s : b.band) {
        const float re = spectrum[s.position][0], im = spectrum[s.position][1];
        row[s.bin] += s.weight * (static_cast<double>(re) * re + static_cast<double>(im) * im);
    }
    for (size_t k = 0; k < bins; ++k) {
        if (b.weight[k] > 0) row[k] *= scale / b.weight[k];
    }
}

/// The mean of each bin over the ROIs and its standard error. Neighbouring ROIs overlap by half,
/// so their values are correlated, the more so the wider a bin spans the spectrum; the
/// correlation at each neighbour shift is measured from the ROIs themselves (pooled over the
/// bins) and enters the variance of the mean.
void binStatistics(const BandValues& b, int32_t nx, int32_t ny, int64_t fields,
                   std::vector<double>& mean, std::vector<double>& se)
{
    const size_t bins = b.weight.size();
    const size_t perField = static_cast<size_t>(nx) * static_cast<size_t>(ny);
    const size_t rois = perField * static_cast<size_t>(fields);
    mean.assign(bins, 0);
    se.assign(bins, 0);
    const auto at = [&](size_t field, int32_t rx, int32_t ry, size_t k) {
        return b.values[(field * perField + static_cast<size_t>(ry) * nx + rx) * bins + k];
    };
    for (size_t r = 0; r < rois; ++r) {
        for (size_t k = 0; k < bins; ++k) mean[k] += b.values[r * bins + k];
    }
    for (double& m : mean) m /= static_cast<double>(rois);
    std::vector<double> var(bins, 0);
    for (size_t r = 0; r < rois; ++r) {
        for (size_t k = 0; k < bins; ++k) {
            const double d = b.values[r * bins + k] - mean[k];
            var[k] += d * d;
        }
    }
    if (rois < 2) {
        // One ROI: periodogram values are exponential, one distinct value per two weights.
        for (size_t k = 0; k < bins; ++k) {
            se[k] = b.weight[k] > 0 ? mean[k] / std::sqrt(b.weight[k] / 2) : 0;
        }
        return;
    }
    for (double& v : var) v /= static_cast<double>(rois - 1);
    // Shifts of one ROI step: right, down, down-right, down-left.
    constexpr std::array<std::array<int32_t, 2>, 4> shifts = {{{1, 0}, {0, 1}, {1, 1}, {-1, 1}}};
    std::array<double, shifts.size()> measured{}; // pooled correlation as the ROIs show it
    std::array<double, shifts.size()> pairs{};
    for (size_t s = 0; s < shifts.size(); ++s) {
        const auto& shift = shifts[s];
        size_t used = 0;
        for (size_t k = 0; k < bins; ++k) {
            if (!(var[k] > 0)) continue;
            double cov = 0;
            int64_t n = 0;
            for (size_t field = 0; field < static_cast<size_t>(fields); ++field) {
                for (int32_t ry = 0; ry + shift[1] < ny; ++ry) {
                    for (int32_t rx = std::max(0, -shift[0]); rx < nx && rx + shift[0] < nx; ++rx) {
                        cov += (at(field, rx, ry, k) - mean[k]) *
                               (at(field, rx + shift[0], ry + shift[1], k) - mean[k]);
                        ++n;
                    }
                }
            }
            if (n == 0) break;
            pairs[s] = static_cast<double>(n);
            measured[s] += cov / static_cast<double>(n) / var[k];
            ++used;
        }
        if (used > 0) measured[s] /= static_cast<double>(used);
    }
    // Variance of the mean = sigma^2 F / M with F = 1 + 2 sum(pairs rho) / M. Removing the sample
    // mean biases the variance by (M - F) / (M - 1) and each covariance by -F / M, which for a few
    // dozen ROIs is no small part of rho: undo both, by a few rounds of substitution.
    const auto m = static_cast<double>(rois);
    double factor = 1;
    for (int round = 0; round < 20; ++round) {
        double sum = 0;
        for (size_t s = 0; s < shifts.size(); ++s) {
            const double rho = measured[s] * (m - factor) / (m - 1) + factor / m;
            sum += pairs[s] * std::clamp(rho, 0.0, 1.0);
        }
        factor = std::min(1 + 2 * sum / m, m / 2);
    }
    const double unbiased = (m - 1) / (m - factor);
    for (size_t k = 0; k < bins; ++k) {
        se[k] = std::sqrt(var[k] * unbiased * factor / m);
    }
}

/// One ROI of the field less the area's surface, into a 256 x 256 block.
template <class Value>
void fillRoi(const FlatField& f, const IecArea& area, int32_t x0, int32_t y0, const Value& value,
             const std::array<double, 6>& c, const std::vector<double>& uy,
             const std::vector<float>& cx1, const std::vector<float>& cx2, float* block)
{
    for (int32_t y = 0; y < kSide; ++y) {
        const double w = uy[static_cast<size_t>(y0 + y)];
        const auto base = static_cast<float>(c[0] + c[2] * w + c[5] * w * w);
        const auto slope = static_cast<float>(c[1] + c[4] * w);
        const int16_t* row = f.pixels + static_cast<size_t>(area.y + y0 + y) * f.width + area.x + x0;
        const float* u1 = &cx1[static_cast<size_t>(x0)];
        const float* u2 = &cx2[static_cast<size_t>(x0)];
        float* dst = block + static_cast<size_t>(y) * kSide;
        for (int32_t x = 0; x < kSide; ++x) dst[x] = value(row[x]) - (base + slope * u1[x] + u2[x]);
    }
}

std::string number(double v)
{
    return plainNumberTrimmed(v);
}

/// ROIs along an area side of n pixels.
int32_t roisAlong(int32_t n)
{
    return 1 + (n - kSide) / kIecRoiStep;
}

} // namespace

IecArea defaultIecArea(int32_t width, int32_t height, double pitchMm)
{
    const auto side = [&](int32_t n) {
        const double wanted = std::floor(kDefaultAreaMm / pitchMm + 1e-9);
        return static_cast<int32_t>(std::min<double>(n, wanted));
    };
    IecArea a;
    a.w = pitchMm > 0 ? side(width) : width;
    a.h = pitchMm > 0 ? side(height) : height;
    a.x = (width - a.w) / 2;
    a.y = (height - a.h) / 2;
    return a;
}

IecNnpsResult measureIecNnps(const std::vector<FlatField>& fields, const IecArea& area,
                             double pitchMm, const IecNnpsOptions& options)
{
    IecNnpsResult out;
    if (fields.empty()) {
        out.error = "No flat field was given.";
        return out;
    }
    if (!(pitchMm > 0) || !std::isfinite(pitchMm)) {
        out.error = "The image has no pixel pitch: the spectrum's frequencies need one.";
        return out;
    }
    if (area.w < kSide || area.h < kSide) {
        out.error = "The analysis area of " + std::to_string(area.w) + " x " + std::to_string(area.h) +
                    " pixels is smaller than one ROI of 256 x 256.";
        return out;
    }
    for (const FlatField& f : fields) {
        if (f.pixels == nullptr || area.x < 0 || area.y < 0 ||
            static_cast<int64_t>(area.x) + area.w > f.width ||
            static_cast<int64_t>(area.y) + area.h > f.height) {
            out.error = "The analysis area (" + std::to_string(area.x) + ", " + std::to_string(area.y) +
                        ", " + std::to_string(area.w) + " x " + std::to_string(area.h) +
                        ") reaches outside the image of " + std::to_string(f.width) + " x " +
                        std::to_string(f.height) + " pixels.";
            return out;
        }
    }
    const double nyquist = 1 / (2 * pitchMm);
    const double fmax = options.fmax > 0 ? options.fmax : nyquist;
    if (!(options.fint > 0) || !std::isfinite(options.fint) || !std::isfinite(fmax) ||
        fmax < options.fint) {
        out.error = "The frequency grid (step " + number(options.fint) + ", last " + number(fmax) +
                    " cycles/mm) holds no frequency.";
        return out;
    }
    // A step typed in single precision (0.1f) still reaches the last frequency it names.
    const auto bins = static_cast<int32_t>(std::floor(fmax / options.fint * (1 + 1e-6)));
    out.binWidth = options.fint;
    const double df = 1 / (kSide * pitchMm);
    BandValues bandH{bandSamples(false, df, options.fint, bins), {}, {}};
    BandValues bandV{bandSamples(true, df, options.fint, bins), {}, {}};
    for (BandValues* b : {&bandH, &bandV}) {
        b->weight.assign(static_cast<size_t>(bins), 0);
        for (const BinSample& s : b->band) b->weight[static_cast<size_t>(s.bin)] += s.weight;
    }

    // An affine conversion only scales the spectrum and moves the mean: the raw pixels serve.
    // Any other is applied to every Int16 value once.
    const ConversionFunction& conversion = options.conversion;
    const bool affine = conversion.model != ConversionFunction::Model::Log;
    std::vector<float> lut;
    if (!affine) {
        lut.resize(65536);
        for (int32_t v = -32768; v <= 32767; ++v) {
            lut[static_cast<size_t>(v + 0x8000)] = static_cast<float>(conversion.toKerma(v));
        }
    }

    const int32_t nx = roisAlong(area.w), ny = roisAlong(area.h);
    const int32_t spanX = (nx - 1) * kIecRoiStep + kSide, spanY = (ny - 1) * kIecRoiStep + kSide;
    // The ROIs' grid centred in the area.
    const int32_t offX = (area.w - spanX) / 2, offY = (area.h - spanY) / 2;
    const std::vector<double> ux = scaledAxis(area.w), uy = scaledAxis(area.h);

    auto block = fftwBuffer<float>(kSamples);
    auto spectrum = fftwBuffer<fftwf_complex>(static_cast<size_t>(kSide) * kHalf);
    const fftwf_plan& plan = roiPlan();
    std::vector<float> cx1(static_cast<size_t>(area.w)), cx2(static_cast<size_t>(area.w));
    double meanSum = 0;

    for (size_t i = 0; i < fields.size(); ++i) {
        const FlatField& f = fields[i];
        const AreaFit fit = affine ? fitArea(f, area, RawValue{}, ux, uy)
                                   : fitArea(f, area, TableValue{lut.data()}, ux, uy);
        // The mean and spread in kerma (or pixel values without a conversion); the normaliser is
        // the mean less the intercept, in the units the spectrum is formed in.
        const double mean = affine ? conversion.toKerma(fit.mean) : fit.mean;
        const double gain = conversion.model == ConversionFunction::Model::Linear ? conversion.slope : 1.0;
        const double normaliser = mean * gain;
        const double sd = fit.sd / std::fabs(gain);
        const std::string which = fields.size() > 1 ? "Flat field " + std::to_string(i + 1) + ": the " : "The ";
        if (!std::isfinite(fit.lowest) || !std::isfinite(fit.highest) || !fit.solved ||
            !std::isfinite(mean)) {
            out.error = which + "linearised pixels are not finite numbers (" +
                        options.conversion.text() + "): check the conversion function.";
            return out;
        }
        const double tenErrors = 10 * sd / std::sqrt(static_cast<double>(area.w) * area.h);
        if (!(mean > 0) || !(mean > tenErrors)) {
            out.error = which + "area's mean signal, " + number(mean) +
                        ", is not clearly above zero (ten standard errors of the mean are " +
                        number(tenErrors) +
                        "): a normalised spectrum divides by the signal. Measure a flat field, or "
                        "check the conversion function.";
            return out;
        }
        if (!(fit.sd > 0)) {
            out.error = which + "area holds no noise: every pixel has the same value.";
            return out;
        }
        meanSum += mean;
        const auto& c = fit.c;
        for (int32_t x = 0; x < area.w; ++x) {
            const double u = ux[static_cast<size_t>(x)];
            cx1[static_cast<size_t>(x)] = static_cast<float>(u);
            cx2[static_cast<size_t>(x)] = static_cast<float>(c[3] * u * u);
        }
        // |DFT|^2 a^2 / (256 x 256) is the periodogram in (signal)^2 mm^2; over mean^2 the NNPS.
        const double scale = pitchMm * pitchMm / kSamples / (normaliser * normaliser);
        for (int32_t ry = 0; ry < ny; ++ry) {
            for (int32_t rx = 0; rx < nx; ++rx) {
                const int32_t x0 = offX + rx * kIecRoiStep, y0 = offY + ry * kIecRoiStep;
                if (affine) {
                    fillRoi(f, area, x0, y0, RawValue{}, c, uy, cx1, cx2, block.get());
                } else {
                    fillRoi(f, area, x0, y0, TableValue{lut.data()}, c, uy, cx1, cx2, block.get());
                }
                fftwf_execute_dft_r2c(plan, block.get(), spectrum.get());
                addRoi(spectrum.get(), scale, bandH);
                addRoi(spectrum.get(), scale, bandV);
                ++out.rois;
            }
        }
        out.independentPixels += static_cast<int64_t>(spanX) * spanY;
    }
    out.meanSignal = meanSum / static_cast<double>(fields.size());

    std::vector<double> meanH, meanV, errorH, errorV;
    const auto count = static_cast<int64_t>(fields.size());
    binStatistics(bandH, nx, ny, count, meanH, errorH);
    binStatistics(bandV, nx, ny, count, meanV, errorV);
    int32_t empty = 0;
    for (size_t k = 0; k < static_cast<size_t>(bins); ++k) {
        if (bandH.weight[k] == 0 || bandV.weight[k] == 0) {
            ++empty;
            continue;
        }
        out.freq.push_back(static_cast<double>(k + 1) * options.fint);
        out.nnpsH.push_back(meanH[k]);
        out.nnpsV.push_back(meanV[k]);
        out.seH.push_back(errorH[k]);
        out.seV.push_back(errorV[k]);
    }
    if (out.freq.empty()) {
        out.error = "No spectrum sample falls on the frequency grid (step " + number(options.fint) +
                    " cycles/mm, samples " + number(df) + " cycles/mm apart): widen the step.";
        return out;
    }
    if (empty > 0) {
        out.warnings.push_back("warning " + std::to_string(empty) +
                               " frequencies of the grid hold no spectrum sample (samples lie " +
                               number(df) + " cycles/mm apart) and are left out");
    }
    if (out.independentPixels < kIecPixelsAskedFor) {
        out.warnings.push_back("warning the NNPS rests on " + std::to_string(out.independentPixels) +
                               " independent pixels, fewer than the 4 million a detector NNPS asks for");
    }
    return out;
}

} // namespace vantry
