#pragma once
// Images of a straight, slightly tilted edge with a known MTF: the ideal step blurred by a
// Gaussian and integrated exactly over the square aperture of each pixel, then rounded to 16 bits.
// The blurred edge depends only on the distance u from the edge line, so the aperture integral
// over the pixel square is the Gaussian ESF convolved with the square's projection onto the edge
// normal, two boxes of widths |cos theta| and |sin theta| pixels, which has a closed form.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

namespace edgeimage {

/// The image axis the edge profile runs along: x gives a ROI wider than tall (" H"), y one taller
/// than wide (" V").
enum class Profile { AlongX, AlongY };

/// An edge image. Pixel (x, y) covers [x, x + 1) x [y, y + 1) in pixel units.
struct EdgeSpec {
    int32_t width = 320;
    int32_t height = 148;
    double sigmaPx = 0.5; ///< standard deviation of the Gaussian blur, in pixels
    /// Angle between the edge normal and the profile axis, in degrees; the sign turns the edge
    /// one way or the other.
    double tiltDeg = 3;
    Profile profile = Profile::AlongX;
    bool rising = true; ///< low -> high towards +x (AlongX) or +y (AlongY)
    double low = 100, high = 900;
    /// A point of the edge line, in pixel units; the image centre when not given.
    std::optional<double> edgeX{}, edgeY{};
    double noiseSd = 0; ///< standard deviation of white Gaussian noise added before rounding
    uint32_t seed = 1;  ///< of the noise
};

/// sin(x) / x, 1 at 0.
inline double sinc(double x)
{
    return std::abs(x) < 1e-8 ? 1.0 : std::sin(x) / x;
}

/// The standard normal distribution function.
inline double normalCdf(double x)
{
    return 0.5 * std::erfc(-x / std::numbers::sqrt2);
}

/// The second antiderivative of normalCdf, zero at -infinity.
inline double normalCdf2(double x)
{
    const double density = std::exp(-0.5 * x * x) / std::sqrt(2 * std::numbers::pi);
    return ((x * x + 1) * normalCdf(x) + x * density) / 2;
}

/// The mean of the Gaussian edge normalCdf(t / sigma) over a pixel whose centre lies at distance
/// u from the edge line, with a = |cos theta| and b = |sin theta| (all lengths in pixels).
inline double apertureEsf(double u, double sigma, double a, double b)
{
    // The second differences of normalCdf2 cancel badly for large positive arguments; the
    // aperture is symmetric, so the right half is taken from the left one.
    if (u > 0) return 1 - apertureEsf(-u, sigma, a, b);
    if (b < 1e-9) {
        // One box: the first antiderivative, x Phi(x) + phi(x).
        const auto f1 = [](double x) {
            return x * normalCdf(x) + std::exp(-0.5 * x * x) / std::sqrt(2 * std::numbers::pi);
        };
        return sigma / a * (f1((u + a / 2) / sigma) - f1((u - a / 2) / sigma));
    }
    const auto f2 = [sigma](double t) { return normalCdf2(t / sigma); };
    return sigma * sigma / (a * b) *
           (f2(u + a / 2 + b / 2) - f2(u + a / 2 - b / 2) - f2(u - a / 2 + b / 2) +
            f2(u - a / 2 - b / 2));
}

/// The signed distance, in pixels, of the centre of pixel (x, y) from the edge line, growing
/// from the low side to the high side.
inline double edgeDistance(const EdgeSpec& e, int32_t x, int32_t y)
{
    const double theta = e.tiltDeg * std::numbers::pi / 180;
    const double ex = e.edgeX.value_or(e.width / 2.0), ey = e.edgeY.value_or(e.height / 2.0);
    const double dx = x + 0.5 - ex, dy = y + 0.5 - ey;
    const double u = e.profile == Profile::AlongX ? dx * std::cos(theta) + dy * std::sin(theta)
                                                  : dy * std::cos(theta) + dx * std::sin(theta);
    return e.rising ? u : -u;
}

/// The pixels of the edge image, row after row, rounded to the nearest value and clamped to 16
/// bits.
inline std::vector<int16_t> edgeImage(const EdgeSpec& e)
{
    const double theta = e.tiltDeg * std::numbers::pi / 180;
    const double a = std::abs(std::cos(theta)), b = std::abs(std::sin(theta));
    std::mt19937 random(e.seed);
    // Box-Muller from 32-bit draws: the library's normal distribution may differ between
    // standard libraries, this does not.
    const auto gaussian = [&random] {
        const double u1 = (static_cast<double>(random()) + 1) / 4294967296.0;
        const double u2 = static_cast<double>(random()) / 4294967296.0;
        return std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
    };
    std::vector<int16_t> pixels(static_cast<size_t>(e.width) * e.height);
    for (int32_t y = 0; y < e.height; ++y) {
        for (int32_t x = 0; x < e.width; ++x) {
            double value =
                e.low + (e.high - e.low) * apertureEsf(edgeDistance(e, x, y), e.sigmaPx, a, b);
            if (e.noiseSd > 0) value += e.noiseSd * gaussian();
            pixels[static_cast<size_t>(y) * e.width + x] =
                static_cast<int16_t>(std::clamp(std::nearbyint(value), -32768.0, 32767.0));
        }
    }
    return pixels;
}

/// The MTF of the edge image at f cycles/mm along the edge normal: the Gaussian times the pixel
/// aperture projected onto the normal.
inline double edgeMtf(double f, double pitchMm, double sigmaPx, double tiltDeg)
{
    const double theta = tiltDeg * std::numbers::pi / 180;
    const double pi = std::numbers::pi;
    const double sigmaMm = sigmaPx * pitchMm;
    return std::exp(-2 * pi * pi * sigmaMm * sigmaMm * f * f) *
           sinc(pi * f * pitchMm * std::abs(std::cos(theta))) *
           sinc(pi * f * pitchMm * std::abs(std::sin(theta)));
}

} // namespace edgeimage
