// vantry-measure convert: flat fields taken at known air kerma, their mean pixel values over one
// ROI, and the line through them that --conversion takes.
#include "measure_convert.h"
#include "measure_steps.h"
#include "roi_outside.h"

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

int convert(const Options& o, CommandOutput& out)
{
    if (const std::string name = foreignOption(o, kConvertOptions); !name.empty()) {
        return out.usage("convert does not take " + name);
    }
    if (!o.files.empty()) {
        return out.usage("convert takes its flat fields with --flat, not as \"" + o.file + "\"");
    }
    for (const char* required : {"--roi", "--flat", "--kerma"}) {
        if (!o.has(required)) return out.usage(std::string("convert needs ") + required);
    }
    const auto roi = roiOf(o.value("--roi"));
    if (!roi) return out.usage("--roi needs X,Y,W,H with positive 16-bit width and height");
    const std::vector<std::string>& flats = o.values.at("--flat");
    const std::vector<std::string>& kermaTexts = o.values.at("--kerma");
    if (flats.size() != kermaTexts.size()) {
        return out.usage("convert needs one --kerma per --flat, in the same order: " +
                          std::to_string(flats.size()) + " --flat and " +
                          std::to_string(kermaTexts.size()) + " --kerma given");
    }
    if (flats.size() < 3) {
        return out.usage("convert needs at least three flat fields (--flat FILE --kerma K), not " +
                          std::to_string(flats.size()));
    }
    std::vector<double> kerma;
    for (const std::string& text : kermaTexts) {
        const auto k = decimalOf(text);
        if (!k) return out.usage("--kerma needs a number of uGy, not \"" + text + "\"");
        kerma.push_back(*k);
    }
    for (size_t i = 0; i < flats.size(); ++i) {
        if (flats[i].empty()) return out.usage("--flat needs a file name");
        for (size_t j = 0; j < i; ++j) {
            if (sameFile(flats[i], flats[j])) {
                return out.usage("the flat field " + flats[i] + " is given twice (--flat " +
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
            return out.usage("--model needs linear or log, not \"" + name + "\"");
        }
    }

    Session s;
    if (const int status = startSession(o, s, out); status != 0) return status;
    std::vector<double> means;
    for (const std::string& path : flats) {
        if (std::string why = readFile(s, path); !why.empty()) {
            return out.refuse("flat field " + path + ": " + oneLine(why));
        }
        noteInput(out, s, "flat field " + std::to_string(means.size() + 1), path);
        const ImageBuffer& img = s.k.ws.IMG[0];
        // Widened, so a ROI reaching past 32767 is compared, not wrapped.
        const int64_t x = roi->ROIX, y = roi->ROIY, w = roi->ROIW, h = roi->ROIH;
        if (x < 0 || y < 0 || x + w > img.width || y + h > img.height) {
            return out.refuse("flat field " + path + ": " + roiOutsideMessage(x, y, w, h, img.width, img.height));
        }
        double sum = 0;
        for (int64_t row = y; row < y + h; ++row) {
            const int16_t* p = &img.pixels[static_cast<size_t>(row * img.width + x)];
            for (int64_t col = 0; col < w; ++col) sum += p[col];
        }
        means.push_back(sum / static_cast<double>(w * h));
    }

    const ConversionFit fit = fitConversion(kerma, means, model);
    if (!fit.error.empty()) return out.refuse(fit.error);
    out.setting("preset", o.value("--preset"));
    out.setting("roi", o.value("--roi"));
    for (const std::string& warning : fit.warnings) out.warningText(warning + "\n");
    out.field("model", modelName(model));
    out.field("slope", numberText("%.9g", fit.function.slope));
    out.field("intercept", numberText("%.9g", fit.function.intercept));
    out.field("r2", numberText("%.6f", fit.r2));
    out.field("conversion", fit.function.text());
    out.table("points", {"kerma", "mean", "fit", "residual_percent"});
    for (const ConversionPoint& p : fit.points) {
        out.point({numberText("%g", p.kerma), numberText("%.4f", p.mean), numberText("%.4f", p.fit),
                   numberText("%.3f", p.residualPercent)});
    }
    return 0;
}

} // namespace vantry::cli
