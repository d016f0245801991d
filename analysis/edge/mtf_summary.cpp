#include "mtf_summary.h"

namespace vantry {
namespace {

std::optional<float> fallsTo(const float* freq, const float* mtf, int32_t n, float level)
{
    for (int32_t i = 1; i < n; ++i) {
        if (mtf[i] <= level && mtf[i - 1] > level) {
            const float t = (mtf[i - 1] - level) / (mtf[i - 1] - mtf[i]);
            return freq[i - 1] + t * (freq[i] - freq[i - 1]);
        }
    }
    return std::nullopt;
}

} // namespace

MtfSummary summarizeMtf(const float* freq, const float* mtf, int32_t n, float pitchMm)
{
    MtfSummary s;
    if (n < 2) return s;
    s.mtf50 = fallsTo(freq, mtf, n, 0.5f);
    s.mtf10 = fallsTo(freq, mtf, n, 0.1f);
    if (pitchMm > 0) {
        const float nyquist = 1.0f / (2.0f * pitchMm);
        for (int32_t i = 1; i < n; ++i) {
            if (freq[i] >= nyquist && freq[i - 1] <= nyquist) {
                const float t = (nyquist - freq[i - 1]) / (freq[i] - freq[i - 1]);
                s.nyquist = mtf[i - 1] + t * (mtf[i] - mtf[i - 1]);
                break;
            }
        }
    }
    return s;
}

} // namespace vantry
