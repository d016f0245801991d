// vantry-measure nnps: the noise power spectrum of flat fields as the noise menu measures it.
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

/// The options of nnps.
const std::vector<std::string> kNnpsOptions = {"--preset", "--list",  "--roi",     "--mode",
                                               "--lines",  "--nfmax", "--nfint",   "--data-no",
                                               "--svg"};

} // namespace


int nnpsCommand(const Options& o, CommandOutput& out)
{
    if (const std::string name = foreignOption(o, kNnpsOptions); !name.empty()) return out.usage("nnps does not take " + name);
    if (!o.has("--roi")) return out.usage("nnps needs --roi X,Y,W,H");
    const auto flatRoi = roiOf(o.value("--roi"));
    if (!flatRoi) return out.usage("--roi needs X,Y,W,H with positive 16-bit width and height");
    NnpsRequest request;
    request.roi = *flatRoi;
    if (std::string error = noiseOptions(o, request); !error.empty()) return out.usage(error);
    if (std::string error = dataNoOption(o, request.dataNo); !error.empty())
        return out.usage(error);
    if (o.has("--svg") && o.value("--svg").empty()) return out.usage("--svg needs a file name");
    if (o.file.empty()) return out.usage("nnps needs a FILE");

    Session s;
    if (const int status = startSession(o, s, out); status != 0) return status;
    std::vector<ImageBuffer> others;
    std::vector<float> pitches;
    if (std::string why = readFlats(s, o.files, others, pitches); !why.empty()) return out.refuse(why);
    // Blocks of pixels of different size have their power at different frequencies.
    for (size_t i = 1; i < pitches.size(); ++i) {
        if (pitchesDiffer(pitches[i], pitches[0])) {
            return out.refuse("The flat field " + o.files[0] + " has a pitch of " +
                           pitchText(pitches[0]) + " mm and the flat field " + o.files[i] + " " +
                           pitchText(pitches[i]) +
                           " mm: the spectra of different pixel sizes cannot be averaged.");
        }
    }
    Vylsf v{s.k};
    Form_Load(v);
    NnpsResult result;
    if (std::string why = measureFlat(s, v, request, others, result); !why.empty())
        return out.refuse(why);

    if (const int status = writeChart(o, s.host, out); status != 0) return status;
    for (size_t i = 0; i < o.files.size(); ++i) {
        noteInput(out, "flat field " + std::to_string(i + 1), o.files[i], static_cast<double>(pitches[i]),
                  s.k.ws.READFACTS[0].pitchFrom);
    }
    out.setting("preset", o.value("--preset"));
    out.setting("roi", o.value("--roi"));
    out.setting("mode", request.mode->name);
    if (request.mode->direction != nullptr) out.setting("lines", std::to_string(v.r.NPSDIR == " H" ? v.r.NPSV : v.r.NPSU));
    out.setting("nfmax", numberText("%g", static_cast<double>(v.r.NFMAX)));
    out.setting("nfint", numberText("%g", static_cast<double>(v.r.NFINT)));
    out.setting("data_no", std::to_string(v.r.DATANO));
    out.table(request.mode->raw ? "nps" : "nnps", {"frequency", request.mode->raw ? "nps" : "nnps"},
              v.r.DATALBL[result.slot]);
    for (int32_t i = 0; i < v.r.NPSNUM[result.slot]; ++i) {
        const double power = std::pow(10.0, static_cast<double>(v.r.NPSVAL[result.slot][i]));
        out.point({numberText("%.6g", static_cast<double>(v.r.NPSFRQ[result.slot][i])), numberText("%.6e", power)});
    }
    const int64_t pixels = result.blocks * kBlock * kBlock;
    out.text += result.values + result.table;
    out.field("blocks", std::to_string(result.blocks));
    out.field("pixels", std::to_string(pixels));
    if (pixels < kNnpsPixelsAskedFor) {
        out.printf("note: fewer than the 4 million pixels a detector NNPS asks for\n");
        out.warnings.push_back("fewer than the 4 million pixels a detector NNPS asks for");
    }
    return 0;
}

} // namespace vantry::cli
