#pragma once
// The conversion function of a detector: pixel value against air kerma at the detector, fitted to
// the means of flat fields taken at known kerma, and the linearisation it gives (pixel value to
// uGy) before a noise spectrum is formed.

#include <optional>
#include <string>
#include <vector>

namespace vantry {

struct ConversionFunction {
    enum class Model { None, Linear, Log };
    Model model = Model::None;
    double slope = 1;     ///< S: pixel value per uGy (linear) or per e-fold of kerma (log)
    double intercept = 0; ///< I: pixel value at 0 uGy (linear) or at 1 uGy (log)

    /// Air kerma in uGy of pixel value v: (v - I) / S (linear), exp((v - I) / S) (log), v itself
    /// without a model.
    double toKerma(double v) const;
    /// "linear:S,I", "log:S,I" or "none", as --conversion takes it.
    std::string text() const;
};

/// "linear:S,I" or "log:S,I" with finite numbers and S not 0; nullopt and why otherwise.
std::optional<ConversionFunction> parseConversion(const std::string& text, std::string& error);
/// "linear" or "log".
const char* modelName(ConversionFunction::Model model);

struct ConversionPoint {
    double kerma = 0;           ///< uGy, as given
    double mean = 0;            ///< mean pixel value of the flat field
    double fit = 0;             ///< the fitted pixel value at that kerma
    double residualPercent = 0; ///< 100 (K' - K) / K, K' the kerma the function gives for mean
};

struct ConversionFit {
    std::string error;                 ///< empty when fitted, else why not
    std::vector<std::string> warnings; ///< each a line starting "warning "
    ConversionFunction function;
    double r2 = 0;                     ///< coefficient of determination of the pixel values
    std::vector<ConversionPoint> points;
};

/// Least-squares line through (K, mean) (linear) or (ln K, mean) (log). Needs at least three
/// flat fields at two or more kerma values, each kerma positive and finite. Warns when a residual
/// exceeds 2 % or r2 is below 0.99.
ConversionFit fitConversion(const std::vector<double>& kerma, const std::vector<double>& mean,
                            ConversionFunction::Model model);

} // namespace vantry
