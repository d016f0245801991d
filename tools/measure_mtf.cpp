// vantry-measure mtf: the MTF of an edge by the written or the precise method.
#include "measure_commands.h"
#include "measure_steps.h"
#include "beam_qualities.h"
#include "dqe.h"
#include "esf.h"
#include "form_load.h"
#include "image_opening.h"
#include "lsf.h"
#include "magnification.h"
#include "mtf.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "nnps_chart.h"
#include "output_file.h"
#include "png_writer.h"
#include "precise_mtf_menu.h"
#include "preset_list.h"
#include "roi_statistics.h"
#include "settings.h"
#include "size_controls.h"
#include "svg_writer.h"
#include "transforms.h"
#include "vylsf.h"
#include "window_controls.h"
#include "kernel_binding.h"
#include "korvelf.h"
#include "numtext.h"
#include "program_folder.h"
#include "scripted_host.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <numbers>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry::cli {
namespace {

/// The options of mtf; it refuses the others, which would otherwise pass unnoticed.
const std::vector<std::string> kMtfOptions = {"--preset", "--list", "--roi", "--binw", "--shift", "--vfilter",
                                              "--fmax", "--fint", "--data-no", "--svg", "--method"};
/// The options of the written method that the precise one has no use for.
const std::vector<std::string> kWrittenOnlyOptions = {"--binw", "--shift", "--vfilter"};

/// The image and what the MTF of either method was measured with.
void noteMtfSettings(const Options& o, const Vylsf& v, CommandOutput& out)
{
    out.setting("preset", o.value("--preset"));
    out.setting("roi", o.value("--roi"));
    out.setting("method", o.has("--method") ? o.value("--method") : "written");
    out.setting("fmax", numberText("%g", static_cast<double>(v.r.FMAX)));
    out.setting("fint", numberText("%g", static_cast<double>(v.r.FINT)));
    out.setting("data_no", std::to_string(v.r.DATANO));
}

/// mtf --method precise: "Precise MTF..." on the ROI, then its figures and points.
int preciseMtf(const Options& o, Session& s, Vylsf& v, const MtfRequest& q, CommandOutput& out)
{
    if (std::string why = measureRoi(s, q.roi); !why.empty()) return out.refuse(why);
    const size_t said = s.host.messages.size();
    const Step step{"Precise MTF...",
                    PRECISEMTF,
                    {{"Freq. max=", q.fmax}, {"Fint=", q.fint}, {"Data No.=", q.dataNo}},
                    3};
    if (std::string why = run(s, v, step); !why.empty()) return out.refuse(why);
    if (const int status = writeChart(o, s.host, out); status != 0) return status;
    const PreciseMtfResult& p = v.r.PRECISE;
    const MtfSummary& summary = v.r.MTFSUM[static_cast<size_t>(v.r.DATANO - 1)];
    char cnr[48];
    if (std::isinf(p.cnr)) {
        std::snprintf(cnr, sizeof cnr, "inf");
    } else {
        std::snprintf(cnr, sizeof cnr, "%.1f", p.cnr);
    }
    noteMtfSettings(o, v, out);
    out.warningText(warningLines(s.host, said));
    out.field("method", "precise");
    out.field("angle_deg", numberText("%.4f", p.angleDeg));
    out.field("cnr", cnr);
    out.field("mtf50", figureText(summary.mtf50, "not reached"));
    out.field("mtf10", figureText(summary.mtf10, "not reached"));
    out.field("mtf_nyquist", figureText(summary.nyquist, "beyond the curve"));
    out.table("mtf", {"frequency", "mtf", "se"}, v.r.DATALBL[static_cast<size_t>(v.r.DATANO - 1)]);
    for (size_t n = 0; n < p.freq.size(); ++n) {
        out.point({numberText("%.4f", p.freq[n]), numberText("%.5f", p.mtf[n]), numberText("%.5f", p.se[n])});
    }
    return 0;
}

} // namespace

int mtfCommand(const Options& o, CommandOutput& out)
{
    if (const std::string name = foreignOption(o, kMtfOptions); !name.empty()) return out.usage("mtf does not take " + name);
    if (!o.has("--roi")) return out.usage("mtf needs --roi X,Y,W,H");
    const std::string method = o.has("--method") ? o.value("--method") : "written";
    if (method != "written" && method != "precise") {
        return out.usage("--method needs written or precise, not \"" + method + "\"");
    }
    if (method == "precise") {
        for (const std::string& name : kWrittenOnlyOptions) {
            if (o.has(name)) return out.usage(name + " belongs to the written method, not to --method precise");
        }
    }
    const auto edgeRoi = roiOf(o.value("--roi"));
    if (!edgeRoi) return out.usage("--roi needs X,Y,W,H with positive 16-bit width and height");
    MtfRequest request;
    request.roi = *edgeRoi;
    std::string error;
    if (o.has("--binw") && !(request.binw = rangedOption(o, "--binw", 0.01, 0.2, error)))
        return out.usage(error);
    if (o.has("--shift")) {
        const auto shift = decimalOf(o.value("--shift"));
        if (!shift || !(std::fabs(*shift) <= std::numeric_limits<float>::max())) {
            return out.usage("--shift needs a number of single precision range, not \"" +
                              o.value("--shift") + "\"");
        }
        request.shift = o.value("--shift");
    }
    if (error = vfilterOption(o, request.vfilter); !error.empty()) return out.usage(error);
    if (o.has("--fmax")) {
        if (!rangedOption(o, "--fmax", 1, 5, error)) return out.usage(error);
        request.fmax = o.value("--fmax");
    }
    if (o.has("--fint")) {
        if (!rangedOption(o, "--fint", 0.01, 0.3, error)) return out.usage(error);
        request.fint = o.value("--fint");
    }
    if (error = dataNoOption(o, request.dataNo); !error.empty()) return out.usage(error);
    if (o.has("--svg") && o.value("--svg").empty()) return out.usage("--svg needs a file name");

    Session s;
    if (const int status = openFile(o, s, out); status != 0) return status;
    Vylsf v{s.k};
    Form_Load(v);
    noteInput(out, s, "image", o.file);
    if (method == "precise") return preciseMtf(o, s, v, request, out);
    MtfResult result;
    if (std::string why = measureEdge(s, v, request, result); !why.empty()) return out.refuse(why);

    if (const int status = writeChart(o, s.host, out); status != 0) return status;
    noteMtfSettings(o, v, out);
    out.setting("binw", numberText("%g", static_cast<double>(v.r.BINW)));
    out.setting("vfilter", request.vfilter);
    out.setting("shift_used", numberText("%.9g", static_cast<double>(result.used)));
    out.warningText(result.warnings);
    out.field("shift", numberText("%.9g", static_cast<double>(result.proposed)));
    out.field("angle_deg", numberText("%.4f", std::atan(static_cast<double>(result.used)) * 180 / std::numbers::pi));
    out.field("mtf50", figureText(result.summary.mtf50, "not reached"));
    out.field("mtf10", figureText(result.summary.mtf10, "not reached"));
    out.field("mtf_nyquist", figureText(result.summary.nyquist, "beyond the curve"));
    out.text += result.values + result.table;
    out.tables.push_back({"mtf", v.r.DATALBL[static_cast<size_t>(v.r.DATANO - 1)], {"frequency", "mtf"},
                          tabRows(result.table)});
    return 0;
}

} // namespace vantry::cli
