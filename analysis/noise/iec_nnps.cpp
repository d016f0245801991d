#include "iec_nnps.h"

#include "iec_nnps_bands.h"
#include "iec_nnps_readings.h"
#include "numtext.h"
#include "roi_outside.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>

namespace vantry {
namespace {

using iec::kSide;
/// Side of the default analysis area, mm.
constexpr double kDefaultAreaMm = 125;

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

/// Sums over one row of the area: z, u z, u^2 z and z^2, and the extreme values of z.
struct RowMoments {
    double s0 = 0, s1 = 0, s2 = 0, sq = 0;
    float lowest = 0, highest = 0;
};

RowMoments rowMoments(const int16_t* row, int32_t n, const TableValue& value, const std::vector<double>& ux)
{
    RowMoments m;
    m.lowest = m.highest = value(row[0]);
    for (int32_t x = 0; x < n; ++x) {
        const float z = value(row[x]);
        const double u = ux[static_cast<size_t>(x)];
        m.s0 += z;
        m.s1 += u * z;
        m.s2 += u * u * z;
        m.sq += static_cast<double>(z) * z;
        m.lowest = std::min(m.lowest, z);
        m.highest = std::max(m.highest, z);
    }
    return m;
}

/// Raw pixels: exact integer sums over x (the compiler vectorises integer sums, not those of
/// doubles), turned into sums over u = (x - centre) / scale once per row.
RowMoments rowMoments(const int16_t* row, int32_t n, const RawValue&, const std::vector<double>& ux)
{
    int64_t z = 0, xz = 0, xxz = 0, zz = 0;
    for (int32_t x = 0; x < n; ++x) {
        const int64_t v = row[x];
        z += v;
        xz += x * v;
        xxz += static_cast<int64_t>(x) * x * v;
        zz += v * v;
    }
    const double centre = (n - 1) / 2.0;
    const double scale = n > 1 ? 1 / (ux[1] - ux[0]) : 1.0;
    const auto dz = static_cast<double>(z), dxz = static_cast<double>(xz);
    RowMoments m;
    m.s0 = dz;
    m.s1 = (dxz - centre * dz) / scale;
    m.s2 = (static_cast<double>(xxz) - 2 * centre * dxz + centre * centre * dz) / (scale * scale);
    m.sq = static_cast<double>(zz);
    m.lowest = m.highest = 0; // Int16 values are finite
    return m;
}

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
        const RowMoments r = rowMoments(row, a.w, value, ux);
        lowest = std::min(lowest, r.lowest);
        highest = std::max(highest, r.highest);
        const double w = uy[static_cast<size_t>(y)];
        rhs[0] += r.s0;
        rhs[1] += r.s1;
        rhs[2] += w * r.s0;
        rhs[3] += r.s2;
        rhs[4] += w * r.s1;
        rhs[5] += w * w * r.s0;
        squares += r.sq;
        sum += r.s0;
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
            out.error = roiOutsideMessage(area.x, area.y, area.w, area.h, f.width, f.height);
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
    const auto allRois = static_cast<int64_t>(nx) * ny * static_cast<int64_t>(fields.size());
    iec::BandValues bandH(false, df, options.fint, bins, allRois), bandV(true, df, options.fint, bins, allRois);
    iec::AreaSurface surface;
    double scaleY = 1;
    surface.ux = iec::scaledAxis(area.w, surface.scaleX);
    surface.uy = iec::scaledAxis(area.h, scaleY);
    const std::vector<double>& ux = surface.ux;
    const std::vector<double>& uy = surface.uy;
    // The passes read Int16 pixels; a table of linearised values needs FFTW's transform.
    const auto reading = affine && options.reading == IecReading::Passes ? iec::passesReading(surface)
                                                                           : iec::fftwReading(surface, affine ? nullptr : lut.data());
    auto band = std::make_unique<iec::BandPower>();
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
        surface.c = fit.c;
        // |DFT|^2 a^2 / (256 x 256) is the periodogram in (signal)^2 mm^2; over mean^2 the NNPS.
        const double scale = pitchMm * pitchMm / (kSide * kSide) / (normaliser * normaliser);
        for (int32_t ry = 0; ry < ny; ++ry) {
            for (int32_t rx = 0; rx < nx; ++rx) {
                const int32_t x0 = offX + rx * kIecRoiStep, y0 = offY + ry * kIecRoiStep;
                const auto roiAt = [&](int32_t rx0, int32_t ry0) {
                    return f.pixels + static_cast<size_t>(area.y + ry0) * f.width + area.x + rx0;
                };
                const int32_t nextX = rx + 1 < nx ? x0 + kIecRoiStep : offX;
                const int32_t nextY = rx + 1 < nx ? y0 : y0 + kIecRoiStep;
                const int16_t* next = ry + 1 < ny || rx + 1 < nx ? roiAt(nextX, nextY) : nullptr;
                reading->read(roiAt(x0, y0), f.width, x0, y0, next, *band);
                bandH.addRoi(&band->h[0][0], scale);
                bandV.addRoi(&band->v[0][0], scale);
                ++out.rois;
            }
        }
        out.independentPixels += static_cast<int64_t>(spanX) * spanY;
    }
    out.meanSignal = meanSum / static_cast<double>(fields.size());

    std::vector<double> meanH, meanV, errorH, errorV;
    const auto count = static_cast<int64_t>(fields.size());
    iec::binStatistics(bandH, nx, ny, count, meanH, errorH);
    iec::binStatistics(bandV, nx, ny, count, meanV, errorV);
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
