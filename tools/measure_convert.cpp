// vantry-measure convert: flat fields taken at known air kerma, their mean pixel values over one
// ROI, and the line through them that --conversion takes.
#include "measure_convert.h"

#include "conversion.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace vantry::cli {
namespace {

const std::vector<std::string> kConvertOptions = {"--preset", "--list", "--roi",
                                                  "--flat",   "--kerma", "--model"};

/// Whether two names given on the command line are one file: the same text, or two names of one
/// existing file (a link, "./a" and "a").
bool sameFile(const std::string& a, const std::string& b)
{
    if (a == b) return true;
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

} // namespace

int convert(const Options& o)
{
    if (const std::string name = foreignOption(o, kConvertOptions); !name.empty()) {
        return usageError("convert does not take " + name);
    }
    if (!o.files.empty()) {
        return usageError("convert takes its flat fields with --flat, not as \"" + o.file + "\"");
    }
    for (const char* required : {"--roi", "--flat", "--kerma"}) {
        if (!o.has(required)) return usageError(std::string("convert needs ") + required);
    }
    const auto roi = roiOf(o.value("--roi"));
    if (!roi) return usageError("--roi needs X,Y,W,H with positive 16-bit width and height");
    const std::vector<std::string>& flats = o.values.at("--flat");
    const std::vector<std::string>& kermaTexts = o.values.at("--kerma");
    if (flats.size() != kermaTexts.size()) {
        return usageError("convert needs one --kerma per --flat, in the same order: " +
                          std::to_string(flats.size()) + " --flat and " +
                          std::to_string(kermaTexts.size()) + " --kerma given");
    }
    if (flats.size() < 3) {
        return usageError("convert needs at least three flat fields (--flat FILE --kerma K), not " +
                          std::to_string(flats.size()));
    }
    std::vector<double> kerma;
    for (const std::string& text : kermaTexts) {
        const auto k = decimalOf(text);
        if (!k) return usageError("--kerma needs a number of uGy, not \"" + text + "\"");
        kerma.push_back(*k);
    }
    for (size_t i = 0; i < flats.size(); ++i) {
        if (flats[i].empty()) return usageError("--flat needs a file name");
        for (size_t j = 0; j < i; ++j) {
            if (sameFile(flats[i], flats[j])) {
                return usageError("the flat field " + flats[i] + " is given twice (--flat " +
                                  std::to_string(j + 1) + " and " + std::to_string(i + 1) +
                                  "): each kerma needs its own image");
            }
        }
    }
    ConversionFunction::Model model = ConversionFunction::Model::Linear;
    if (o.has("--model")) {
        const std::string& name = o.value("--model");
        if (name == "log") {
            model = ConversionFunction::Model::Log;
        } else if (name != "linear") {
            return usageError("--model needs linear or log, not \"" + name + "\"");
        }
    }

    Session s;
    if (const int status = startSession(o, s); status != 0) return status;
    std::vector<double> means;
    for (const std::string& path : flats) {
        if (std::string why = readFile(s, path); !why.empty()) {
            return failure("flat field " + path + ": " + oneLine(why));
        }
        const ImageBuffer& img = s.k.ws.IMG[0];
        // Widened, so a ROI reaching past 32767 is compared, not wrapped.
        const int64_t x = roi->ROIX, y = roi->ROIY, w = roi->ROIW, h = roi->ROIH;
        if (x < 0 || y < 0 || x + w > img.width || y + h > img.height) {
            return failure("the ROI " + o.value("--roi") + " does not lie inside the flat field " +
                           path + " of " + std::to_string(img.width) + " x " +
                           std::to_string(img.height) + " pixels");
        }
        double sum = 0;
        for (int64_t row = y; row < y + h; ++row) {
            const int16_t* p = &img.pixels[static_cast<size_t>(row * img.width + x)];
            for (int64_t col = 0; col < w; ++col) sum += p[col];
        }
        means.push_back(sum / static_cast<double>(w * h));
    }

    const ConversionFit fit = fitConversion(kerma, means, model);
    if (!fit.error.empty()) return failure(fit.error);
    for (const std::string& warning : fit.warnings) std::printf("%s\n", warning.c_str());
    std::printf("model %s\nslope %.9g\nintercept %.9g\nr2 %.6f\nconversion %s\n", modelName(model),
                fit.function.slope, fit.function.intercept, fit.r2, fit.function.text().c_str());
    for (const ConversionPoint& p : fit.points) {
        std::printf("point %g %.4f %.4f %.3f\n", p.kerma, p.mean, p.fit, p.residualPercent);
    }
    return 0;
}

} // namespace vantry::cli
