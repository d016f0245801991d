#include "spline.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

void build(WorkingCurve& w)
{
    const int32_t n = std::clamp(w.NPTS, 0, kWorkingPoints);
    if (n < 2) return;
    const auto& X = w.CURVEX;
    const auto& a = w.CURVEY;
    std::array<float, kWorkingPoints> h{}, s{}, diag{}, rhs{}, m{};
    for (int32_t i = 1; i < n; ++i) {
        h[i] = X[i] - X[i - 1];
        s[i] = (a[i] - a[i - 1]) / h[i];
    }
    if (n == 2) {
        m[0] = m[1] = s[1];
    } else {
        // Rows 1 .. n-2 with m_0 and m_(n-1) taken from the two end rows (second derivative 0).
        for (int32_t i = 1; i <= n - 2; ++i) {
            diag[i] = 2.0f * (h[i] + h[i + 1]);
            rhs[i] = 3.0f * (h[i + 1] * s[i] + h[i] * s[i + 1]);
        }
        diag[1] -= 0.5f * h[2];
        rhs[1] -= 1.5f * h[2] * s[1];
        diag[n - 2] -= 0.5f * h[n - 2];
        rhs[n - 2] -= 1.5f * h[n - 2] * s[n - 1];
        // Row i has h_(i+1) left of the diagonal and h_i right of it.
        for (int32_t i = 2; i <= n - 2; ++i) {
            const float factor = h[i + 1] / diag[i - 1];
            diag[i] -= factor * h[i - 1];
            rhs[i] -= factor * rhs[i - 1];
        }
        m[n - 2] = rhs[n - 2] / diag[n - 2];
        for (int32_t i = n - 3; i >= 1; --i) m[i] = (rhs[i] - h[i] * m[i + 1]) / diag[i];
        m[0] = 1.5f * s[1] - m[1] / 2.0f;
        m[n - 1] = 1.5f * s[n - 1] - m[n - 2] / 2.0f;
    }
    for (int32_t i = 0; i <= n - 2; ++i) {
        const float hi = h[i + 1], si = s[i + 1];
        const float t = m[i] + m[i + 1] - 2.0f * si;
        w.SPLCOEF[i] = {a[i], m[i], (si - m[i] - t) / hi, t / (hi * hi)};
    }
}

int32_t nearest(double v)
{
    return static_cast<int32_t>(std::nearbyint(v));
}

float evaluate(const WorkingCurve& w, float x)
{
    const int32_t n = std::clamp(w.NPTS, 0, kWorkingPoints);
    if (n < 2) return 0.0f;
    int32_t lo = 0, hi = n - 1;
    int32_t mid = nearest(hi / 2.0 + 0.1);
    if (hi != 1) {
        do {
            if (x < w.CURVEX[mid]) {
                hi = mid;
            } else {
                lo = mid;
            }
            mid = nearest((lo + hi) / 2.0 + 0.1);
        } while (hi - lo != 1);
    }
    const auto& c = w.SPLCOEF[lo];
    const float dx = x - w.CURVEX[lo];
    return c[0] + dx * (c[1] + dx * (c[2] + dx * c[3]));
}

} // namespace

void SPLINE(WorkingCurve& w, float& x, float& y, int mode)
{
    if (mode == 1) build(w);
    if (mode == 2) y = evaluate(w, x);
}

void loadWorkingCurve(WorkingCurve& w, const float* freq, const float* value, int32_t npts)
{
    w.NPTS = std::clamp(npts, 0, kWorkingPoints);
    std::copy(freq, freq + w.NPTS, w.CURVEX.begin());
    std::copy(value, value + w.NPTS, w.CURVEY.begin());
    float unused = 0;
    SPLINE(w, unused, unused, 1);
}

float splineAt(WorkingCurve& w, float x)
{
    float y = 0;
    SPLINE(w, x, y, 2);
    return y;
}

} // namespace vantry
