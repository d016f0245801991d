#include "measure_iec.h"
#include "measure_steps.h"

#include "beam_qualities.h"
#include "conversion.h"
#include "dqe.h"
#include "dqe_report.h"
#include "dqe_report_pdf.h"
#include "iec_dqe.h"
#include "iec_nnps.h"
#include "iec_report.h"
#include "numtext.h"
#include "precise_mtf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

namespace vantry::cli {
namespace {

const std::vector<std::string> kIecNnpsOptions = {"--preset", "--list", "--roi", "--method",
                                                  "--conversion", "--nfmax", "--nfint"};
const std::vector<std::string> kIecDqeOptions = {
    "--method", "--edge-h", "--edge-h-roi", "--edge-v", "--edge-v-roi", "--flat", "--flat-roi",
    "--preset", "--list", "--beam", "--edition", "--q", "--kerma", "--conversion", "--nfmax",
    "--nfint", "--report"};

/// An image as read with the preset, with where its pitch came from.
struct ReadImage {
    std::string path;
    ImageBuffer image;
    double pitchMm = 0;
    std::string pitchFrom;
};

/// Reads `path` into view 0 and keeps a copy; why not, or an empty text.
std::string readImage(Session& s, const std::string& path, ReadImage& out)
{
    if (std::string why = readFile(s, path); !why.empty()) return why;
    out.path = path;
    out.image = s.k.ws.IMG[0];
    out.pitchMm = s.k.ws.PIXMM[0];
    out.pitchFrom = s.k.ws.READFACTS[0].pitchFrom;
    if (!(out.pitchMm > 0)) return "the image " + path + " has no pixel pitch";
    return {};
}

/// The images a measurement combines must share one pitch; why they do not, or an empty text.
std::string mixedPitch(const ReadImage& a, const ReadImage& b)
{
    if (std::fabs(a.pitchMm - b.pitchMm) <= 1e-6 * a.pitchMm) return {};
    return "the images " + a.path + " (pitch " + plainNumberTrimmed(a.pitchMm) + " mm, from the " +
           a.pitchFrom + ") and " + b.path + " (pitch " + plainNumberTrimmed(b.pitchMm) +
           " mm, from the " + b.pitchFrom + ") have different pitches: measure images of one detector setting";
}

/// The frequency grid of --nfmax / --nfint: 0 (the Nyquist frequency) and 0.05 by default.
std::string gridOptions(const Options& o, IecNnpsOptions& n)
{
    std::string error;
    if (o.has("--nfmax")) {
        const auto v = rangedOption(o, "--nfmax", 0.01, 100, error);
        if (!v) return error;
        n.fmax = *v;
    }
    if (o.has("--nfint")) {
        const auto v = rangedOption(o, "--nfint", 0.001, 1, error);
        if (!v) return error;
        n.fint = *v;
    }
    return {};
}

std::string conversionOption(const Options& o, IecNnpsOptions& n)
{
    if (!o.has("--conversion")) return {};
    std::string error;
    const auto f = parseConversion(o.value("--conversion"), error);
    if (!f) return error;
    n.conversion = *f;
    return {};
}

/// Reads the flat fields, each path once; why one was not read or their pitches differ, or an
/// empty text. A path given twice gives a warning line.
std::string readFlatFields(Session& s, const std::vector<std::string>& paths,
                           std::vector<ReadImage>& flats, std::vector<std::string>& warnings)
{
    std::set<std::filesystem::path> seen;
    for (const std::string& path : paths) {
        std::error_code ec;
        const auto canonical = std::filesystem::weakly_canonical(path, ec);
        if (!seen.insert(ec ? std::filesystem::path(path) : canonical).second) {
            warnings.push_back("warning the flat field " + path + " was given twice and counts once");
            continue;
        }
        ReadImage im;
        if (std::string why = readImage(s, path, im); !why.empty()) return "flat field: " + why;
        if (!flats.empty()) {
            if (std::string why = mixedPitch(flats.front(), im); !why.empty()) return why;
        }
        flats.push_back(std::move(im));
    }
    return {};
}

/// The analysis area: --roi (or --flat-roi), else the default of the first image.
std::optional<IecArea> areaOption(const Options& o, const char* name, const ReadImage& first,
                                  std::string& error)
{
    if (!o.has(name)) return defaultIecArea(first.image.width, first.image.height, first.pitchMm);
    const auto roi = roiOf(o.value(name));
    if (!roi) {
        error = std::string(name) + " needs X,Y,W,H with positive 16-bit width and height";
        return std::nullopt;
    }
    return IecArea{roi->ROIX, roi->ROIY, roi->ROIW, roi->ROIH};
}

IecNnpsResult measureFlats(const std::vector<ReadImage>& flats, const IecArea& area,
                           const IecNnpsOptions& n)
{
    std::vector<FlatField> fields;
    for (const ReadImage& f : flats) {
        fields.push_back({f.image.pixels.data(), f.image.width, f.image.height});
    }
    return measureIecNnps(fields, area, flats.front().pitchMm, n);
}

std::string cell(const char* format, double v)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

void printLines(CommandOutput& out, const std::vector<std::string>& lines)
{
    for (const std::string& l : lines) out.warningText(l + "\n");
}

/// The edge image linearised the way the flat fields are: the kerma of every pixel, scaled into
/// Int16 (the MTF does not see a scale). An affine conversion leaves the pixels as they are.
std::string linearisedEdge(const ImageBuffer& in, const ConversionFunction& c, ImageBuffer& out)
{
    out = in;
    if (c.model != ConversionFunction::Model::Log) return {};
    double top = 0;
    for (int16_t v : in.pixels) top = std::max(top, c.toKerma(v));
    if (!(top > 0) || !std::isfinite(top)) return "the edge image's linearised pixels are not finite positive numbers";
    const double scale = 30000 / top;
    for (size_t i = 0; i < in.pixels.size(); ++i) {
        out.pixels[i] = static_cast<int16_t>(std::lround(c.toKerma(in.pixels[i]) * scale));
    }
    return {};
}

} // namespace

int iecNnps(const Options& o, CommandOutput& out)
{
    if (const std::string name = foreignOption(o, kIecNnpsOptions); !name.empty()) {
        return out.usage("nnps --method iec does not take " + name);
    }
    IecNnpsOptions n;
    if (std::string e = gridOptions(o, n); !e.empty()) return out.usage(e);
    if (std::string e = conversionOption(o, n); !e.empty()) return out.usage(e);
    if (o.files.empty()) return out.usage("nnps needs a FILE");

    Session s;
    if (const int status = startSession(o, s, out); status != 0) return status;
    std::vector<ReadImage> flats;
    std::vector<std::string> warnings;
    if (std::string why = readFlatFields(s, o.files, flats, warnings); !why.empty()) return out.refuse(why);
    std::string error;
    const auto area = areaOption(o, "--roi", flats.front(), error);
    if (!area) return out.usage(error);
    const IecNnpsResult r = measureFlats(flats, *area, n);
    if (!r.error.empty()) return out.refuse(r.error);

    warnings.insert(warnings.end(), r.warnings.begin(), r.warnings.end());
    printLines(out, warnings);
    for (size_t i = 0; i < flats.size(); ++i) {
        noteInput(out, "flat field " + std::to_string(i + 1), flats[i].path, flats[i].pitchMm, flats[i].pitchFrom);
    }
    out.setting("preset", o.value("--preset"));
    out.setting("conversion", n.conversion.text());
    out.setting("nfint", numberText("%g", n.fint));
    out.field("method", "iec");
    out.field("area", std::to_string(area->x) + "," + std::to_string(area->y) + "," + std::to_string(area->w) + "," +
                          std::to_string(area->h));
    out.field("rois", std::to_string(r.rois));
    out.field("independent_pixels", std::to_string(r.independentPixels));
    if (n.conversion.model != ConversionFunction::Model::None) out.field("mean_kerma", numberText("%.6g", r.meanSignal));
    out.field("bin_width", numberText("%g", r.binWidth));
    out.table("nnps", {"frequency", "nnps_h", "nnps_v", "se_h", "se_v"});
    for (size_t k = 0; k < r.freq.size(); ++k) {
        out.point({numberText("%.4f", r.freq[k]), numberText("%.6e", r.nnpsH[k]), numberText("%.6e", r.nnpsV[k]),
                   numberText("%.6e", r.seH[k]), numberText("%.6e", r.seV[k])});
    }
    return 0;
}

int iecDqe(const Options& o, CommandOutput& out)
{
    if (const std::string name = foreignOption(o, kIecDqeOptions); !name.empty()) {
        return out.usage("dqe --method iec does not take " + name);
    }
    if (!o.files.empty()) {
        return out.usage("dqe takes its images with --edge-h, --edge-v and --flat, not as \"" + o.file + "\"");
    }
    for (const char* required : {"--edge-h", "--edge-h-roi", "--edge-v", "--edge-v-roi", "--flat",
                                 "--kerma", "--beam"}) {
        if (!o.has(required)) return out.usage(std::string("dqe --method iec needs ") + required);
    }
    for (const char* once : {"--edge-h", "--edge-v", "--kerma", "--beam", "--edition", "--q", "--report"}) {
        if (o.has(once) && o.values.at(once).size() != 1) return out.usage(std::string("dqe takes one ") + once);
    }
    const auto roiH = roiOf(o.value("--edge-h-roi")), roiV = roiOf(o.value("--edge-v-roi"));
    if (!roiH || !roiV) return out.usage("--edge-h-roi and --edge-v-roi need X,Y,W,H with positive 16-bit width and height");
    IecNnpsOptions n;
    if (std::string e = gridOptions(o, n); !e.empty()) return out.usage(e);
    if (std::string e = conversionOption(o, n); !e.empty()) return out.usage(e);
    const auto kerma = decimalOf(o.value("--kerma"));
    if (!kerma) return out.usage("--kerma needs a number of uGy, not \"" + o.value("--kerma") + "\"");
    std::optional<double> typedQ;
    if (o.has("--q")) {
        typedQ = decimalOf(o.value("--q"));
        if (!typedQ) return out.usage("--q needs a number of photons per mm^2 and uGy, not \"" + o.value("--q") + "\"");
    }
    const std::string edition = o.has("--edition") ? o.value("--edition") : "2015";
    if (edition != "2015" && edition != "2003") return out.usage("--edition needs 2015 or 2003, not \"" + edition + "\"");
    const std::string beam = o.value("--beam");
    if (beam.empty() || beam.find_first_of(" \t") != std::string::npos) return out.usage("--beam needs a name");
    if (o.has("--report") && o.value("--report").empty()) return out.usage("--report needs a file name");

    std::vector<std::string> warnings;
    // q: typed, else the edition's entry of the beam list, which must then be whole. A name the
    // list repeats is a warning either way.
    double q = 0;
    std::string qFrom;
    const BeamList beams = readBeamList(programFolder() / kBeamListFileName);
    for (const std::string& repeat : beams.repeats()) warnings.push_back("warning " + oneLine(repeat));
    if (typedQ) {
        q = *typedQ;
        qFrom = "typed (--q)";
    } else {
        if (const auto faults = beams.faults(); !faults.empty()) {
            return out.refuse("beam list: " + oneLine(faults.front()) + " Give q with --q.");
        }
        const BeamQuality* listed = findBeam(beams, beam, edition);
        if (listed == nullptr) {
            return out.refuse("the beam quality " + beam + " is not in " + kBeamListFileName + " for the " + edition +
                           " edition: give its q (1/(mm^2 uGy)) with --q");
        }
        q = listed->q;
        qFrom = std::string(kBeamListFileName) + ", " + listed->edition;
    }

    Session s;
    if (const int status = startSession(o, s, out); status != 0) return status;
    ReadImage edgeH, edgeV;
    if (std::string why = readImage(s, o.value("--edge-h"), edgeH); !why.empty()) return out.refuse("H edge: " + why);
    if (std::string why = readImage(s, o.value("--edge-v"), edgeV); !why.empty()) return out.refuse("V edge: " + why);
    if (std::string why = mixedPitch(edgeH, edgeV); !why.empty()) return out.refuse(why);
    std::vector<ReadImage> flats;
    if (std::string why = readFlatFields(s, o.values.at("--flat"), flats, warnings); !why.empty()) return out.refuse(why);
    if (std::string why = mixedPitch(edgeH, flats.front()); !why.empty()) return out.refuse(why);
    std::string error;
    const auto area = areaOption(o, "--flat-roi", flats.front(), error);
    if (!area) return out.usage(error);

    const double pitch = edgeH.pitchMm;
    const double nyquist = 1 / (2 * pitch);
    PreciseMtfOptions m;
    m.fint = n.fint;
    m.fmax = n.fmax > 0 ? n.fmax : nyquist;
    PreciseMtfResult mtf[2];
    const ReadImage* edges[2] = {&edgeH, &edgeV};
    const RoiRecord* rois[2] = {&*roiH, &*roiV};
    const char* names[2] = {"H", "V"};
    for (int d = 0; d < 2; ++d) {
        ImageBuffer linear;
        if (std::string why = linearisedEdge(edges[d]->image, n.conversion, linear); !why.empty()) {
            return out.refuse(std::string(names[d]) + " edge: " + why);
        }
        mtf[d] = measurePreciseMtf(linear.pixels.data(), linear.width, linear.height, rois[d]->ROIX,
                                   rois[d]->ROIY, rois[d]->ROIW, rois[d]->ROIH, pitch, m);
        if (!mtf[d].error.empty()) return out.refuse(std::string(names[d]) + " edge: " + mtf[d].error);
        for (const std::string& w : mtf[d].warnings) {
            warnings.push_back("warning " + std::string(names[d]) + " edge: " + w.substr(8));
        }
    }
    const IecNnpsResult noise = measureFlats(flats, *area, n);
    if (!noise.error.empty()) return out.refuse("flat field: " + noise.error);
    warnings.insert(warnings.end(), noise.warnings.begin(), noise.warnings.end());
    const IecDqeResult dqe = combineIecDqe(mtf[0], mtf[1], noise, q, *kerma);
    if (!dqe.error.empty()) return out.refuse(dqe.error);
    warnings.insert(warnings.end(), dqe.warnings.begin(), dqe.warnings.end());
    const bool linearised = n.conversion.model != ConversionFunction::Model::None;
    if (linearised && std::fabs(noise.meanSignal - *kerma) > 0.1 * *kerma) {
        warnings.push_back("warning the flat fields' mean linearised signal is " + cell("%.4g", noise.meanSignal) +
                           " uGy, more than 10 % from the kerma " + plainNumberTrimmed(*kerma) +
                           " uGy: check the conversion function and the kerma");
    }

    printLines(out, warnings);
    noteInput(out, "edge H", edgeH.path, edgeH.pitchMm, edgeH.pitchFrom);
    noteInput(out, "edge V", edgeV.path, edgeV.pitchMm, edgeV.pitchFrom);
    for (size_t i = 0; i < flats.size(); ++i) {
        noteInput(out, "flat field " + std::to_string(i + 1), flats[i].path, flats[i].pitchMm, flats[i].pitchFrom);
    }
    out.setting("preset", o.value("--preset"));
    out.setting("edge_h_roi", o.value("--edge-h-roi"));
    out.setting("edge_v_roi", o.value("--edge-v-roi"));
    out.setting("flat_roi", std::to_string(area->x) + "," + std::to_string(area->y) + "," + std::to_string(area->w) +
                                "," + std::to_string(area->h));
    out.setting("nfint", numberText("%g", n.fint));
    out.setting("q_from", qFrom);
    out.field("method", "iec");
    out.field("beam", beam);
    out.field("edition", edition);
    out.field("q", numberText("%g", q));
    out.field("kerma", numberText("%g", *kerma));
    out.field("conversion", n.conversion.text());
    if (linearised) out.field("mean_kerma", numberText("%.6g", noise.meanSignal));
    out.field("angle_deg_h", numberText("%.4f", mtf[0].angleDeg));
    out.field("angle_deg_v", numberText("%.4f", mtf[1].angleDeg));
    out.field("rois", std::to_string(noise.rois));
    out.field("independent_pixels", std::to_string(noise.independentPixels));
    out.table("dqe", {"frequency", "mtf_h", "mtf_v", "nnps_h", "nnps_v", "dqe_h", "dqe_v"});
    for (const IecDqeRow& r : dqe.rows) out.point(iecDqeCells(r));
    if (!o.has("--report")) return 0;

    DqeReport report;
    fillIecReport(report, mtf[0], mtf[1], noise, dqe, {*kerma, beam, edition, q, qFrom, n.conversion, pitch});
    const char* roles[2] = {"Edge H", "Edge V"};
    for (int d = 0; d < 2; ++d) {
        const RoiRecord& r = *rois[d];
        report.files.push_back({roles[d], edges[d]->path, o.value("--preset"), edges[d]->pitchMm, edges[d]->pitchFrom,
                                std::to_string(r.ROIX) + "," + std::to_string(r.ROIY) + "," + std::to_string(r.ROIW) +
                                    "," + std::to_string(r.ROIH)});
    }
    for (size_t i = 0; i < flats.size(); ++i) {
        report.files.push_back({"Flat field " + std::to_string(i + 1), flats[i].path, o.value("--preset"),
                                flats[i].pitchMm, flats[i].pitchFrom,
                                std::to_string(area->x) + "," + std::to_string(area->y) + "," +
                                    std::to_string(area->w) + "," + std::to_string(area->h)});
    }
    report.warnings = warnings;
    if (std::string why = writeDqeReportPdf(report, o.value("--report")); !why.empty()) {
        return out.refuse("cannot write the report " + o.value("--report") + ": " + why);
    }
    return 0;
}

} // namespace vantry::cli
