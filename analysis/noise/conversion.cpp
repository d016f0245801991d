#include "conversion.h"

#include "numtext.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vantry {
namespace {

/// Residuals of the linearised kerma beyond this many percent are worth a word.
constexpr double kResidualWarnPercent = 2;
constexpr double kR2Warn = 0.99;

std::optional<double> finiteNumber(const std::string& text)
{
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

} // namespace

double ConversionFunction::toKerma(double v) const
{
    switch (model) {
    case Model::Linear: return (v - intercept) / slope;
    case Model::Log: return std::exp((v - intercept) / slope);
    case Model::None: break;
    }
    return v;
}

const char* modelName(ConversionFunction::Model model)
{
    return model == ConversionFunction::Model::Log ? "log" : "linear";
}

std::string ConversionFunction::text() const
{
    if (model == Model::None) return "none";
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s:%.9g,%.9g", modelName(model), slope, intercept);
    return buf;
}

std::optional<ConversionFunction> parseConversion(const std::string& text, std::string& error)
{
    const size_t colon = text.find(':');
    const size_t comma = text.find(',', colon == std::string::npos ? 0 : colon);
    ConversionFunction f;
    const std::string model = text.substr(0, colon);
    if (model == "linear") {
        f.model = ConversionFunction::Model::Linear;
    } else if (model == "log") {
        f.model = ConversionFunction::Model::Log;
    }
    const auto slope = colon == std::string::npos || comma == std::string::npos
                           ? std::nullopt
                           : finiteNumber(text.substr(colon + 1, comma - colon - 1));
    const auto intercept =
        comma == std::string::npos ? std::nullopt : finiteNumber(text.substr(comma + 1));
    if (f.model == ConversionFunction::Model::None || !slope || !intercept || *slope == 0) {
        error = "--conversion needs linear:S,I or log:S,I with finite numbers and S not 0, not \"" +
                text + "\"";
        return std::nullopt;
    }
    f.slope = *slope;
    f.intercept = *intercept;
    return f;
}

ConversionFit fitConversion(const std::vector<double>& kerma, const std::vector<double>& mean,
                            ConversionFunction::Model model)
{
    ConversionFit out;
    out.function.model = model;
    const size_t n = kerma.size();
    if (n != mean.size() || n < 3) {
        out.error = "The conversion function needs at least three flat fields, each with its kerma.";
        return out;
    }
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i) {
        if (!(kerma[i] > 0) || !std::isfinite(kerma[i]) || !std::isfinite(mean[i])) {
            out.error = "The kerma " + plainNumberTrimmed(kerma[i]) +
                        " uGy is not a positive finite number.";
            return out;
        }
        x[i] = model == ConversionFunction::Model::Log ? std::log(kerma[i]) : kerma[i];
    }
    // Centred sums keep the fit exact for kerma values far from zero.
    double mx = 0, my = 0;
    for (size_t i = 0; i < n; ++i) {
        mx += x[i];
        my += mean[i];
    }
    mx /= static_cast<double>(n);
    my /= static_cast<double>(n);
    double sxx = 0, sxy = 0, syy = 0;
    for (size_t i = 0; i < n; ++i) {
        sxx += (x[i] - mx) * (x[i] - mx);
        sxy += (x[i] - mx) * (mean[i] - my);
        syy += (mean[i] - my) * (mean[i] - my);
    }
    if (!(sxx > 0)) {
        out.error = "The flat fields were all taken at one kerma: the conversion function needs two "
                    "or more.";
        return out;
    }
    const double slope = sxy / sxx;
    if (slope == 0 || !std::isfinite(slope)) {
        out.error = "The mean pixel value does not change with the kerma: no conversion function.";
        return out;
    }
    out.function.slope = slope;
    out.function.intercept = my - slope * mx;
    double sse = 0;
    for (size_t i = 0; i < n; ++i) {
        ConversionPoint p;
        p.kerma = kerma[i];
        p.mean = mean[i];
        p.fit = out.function.intercept + slope * x[i];
        sse += (mean[i] - p.fit) * (mean[i] - p.fit);
        p.residualPercent = 100 * (out.function.toKerma(mean[i]) - kerma[i]) / kerma[i];
        if (std::fabs(p.residualPercent) > kResidualWarnPercent) {
            char buf[160];
            std::snprintf(buf, sizeof buf,
                          "warning the flat field at %g uGy lies %.2f %% off the fitted function",
                          kerma[i], p.residualPercent);
            out.warnings.emplace_back(buf);
        }
        out.points.push_back(p);
    }
    out.r2 = syy > 0 ? 1 - sse / syy : 1;
    if (out.r2 < kR2Warn) {
        char buf[120];
        std::snprintf(buf, sizeof buf, "warning r2 = %.4f is below 0.99: the %s model does not fit",
                      out.r2, modelName(model));
        out.warnings.emplace_back(buf);
    }
    return out;
}

} // namespace vantry
