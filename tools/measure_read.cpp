// vantry-measure read: the image as the Read button reads it, and what the reader found in the file.
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

/// The options of read, view and roi.
const std::vector<std::string> kReadOptions = {"--preset", "--list", "--to-log", "--to-linear",
                                               "--linear-adj", "--dump"};

/// Where the pitch came from, and for a DICOM file what the reader found in it.
void printReadFacts(const ReadFacts& f, CommandOutput& out)
{
    out.field("pitch_from", f.pitchFrom);
    if (f.elementsFrom.empty()) return;
    out.field("elements", f.elementsFrom);
    if (!f.walkStop.empty()) out.field("walk_stop", f.walkStop);
    const auto text = [](const std::optional<std::string>& v) { return v ? *v : std::string("absent"); };
    out.field("transfer_syntax", f.transferSyntax.empty() ? "none" : f.transferSyntax);
    out.field("frames", std::to_string(f.frames));
    out.field("pixel_representation", f.pixelRepresentation ? std::to_string(*f.pixelRepresentation) : "absent");
    out.field("imager_pixel_spacing", text(f.imagerPixelSpacing));
    out.field("pixel_spacing", text(f.pixelSpacing));
    out.field("rescale_slope", text(f.rescaleSlope));
    out.field("rescale_intercept", text(f.rescaleIntercept));
    out.field("presentation_intent", text(f.presentationIntent));
}

} // namespace

int readCommand(const Options& o, CommandOutput& out)
{
    if (const std::string name = foreignOption(o, kReadOptions); !name.empty()) return out.usage("read does not take " + name);
    Session s;
    if (const int status = openFile(o, s, out); status != 0) return status;
    const Korvelf& k = s.k;
    noteInput(out, s, "image", o.file);
    out.setting("preset", o.value("--preset"));
    const ImageBuffer& img = k.ws.IMG[0];
    const auto [lo, hi] = std::minmax_element(img.pixels.begin(), img.pixels.end());
    double sum = 0;
    for (int16_t p : img.pixels) sum += p;
    out.field("width", std::to_string(k.ws.XSZ[0]));
    out.field("height", std::to_string(k.ws.YSZ[0]));
    out.field("offset", std::to_string(k.ws.HDOFS[0]));
    out.field("pitch", numberText("%g", static_cast<double>(k.ws.PIXMM[0])));
    out.field("encoding", std::to_string(k.ws.LOGFAC[0]));
    out.field("min", std::to_string(*lo));
    out.field("max", std::to_string(*hi));
    out.field("mean", numberText("%.4f", sum / static_cast<double>(img.pixels.size())));
    printReadFacts(k.ws.READFACTS[0], out);
    for (const std::string& w : k.ws.READFACTS[0].warnings) out.warningText(w + "\n");
    // A field left empty reads as 0, which is legal but seldom meant.
    const auto entry = static_cast<size_t>(k.ws.PRESETIDX[0]);
    if (entry < k.form.CMB1.List.size()) {
        for (const std::string& field : emptyPresetFields(k.form.CMB1.List[entry])) {
            out.warningText("warning the detector list entry " + o.value("--preset") + " leaves its " + field +
                            " field empty, which reads as 0\n");
        }
    }

    if (o.has("--dump")) {
        std::string bytes;
        bytes.reserve(img.pixels.size() * 2);
        for (int16_t p : img.pixels) {
            const auto u = static_cast<uint16_t>(p);
            bytes += static_cast<char>(u & 0xFF);
            bytes += static_cast<char>(u >> 8);
        }
        if (const std::string why = samples::writeOutputFile(o.value("--dump"), bytes); !why.empty()) {
            return out.refuse("cannot write " + o.value("--dump") + ": " + why);
        }
    }
    return 0;
}

} // namespace vantry::cli
