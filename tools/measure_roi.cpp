// vantry-measure roi: the statistics of a ROI, and of a signal and a background ROI.
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

const std::vector<std::string> kRoiOptions = {"--preset", "--list", "--to-log", "--to-linear",
                                              "--linear-adj", "--roi", "--back"};

} // namespace

int roiCommand(const Options& o, CommandOutput& out)
{
    if (const std::string name = foreignOption(o, kRoiOptions); !name.empty()) return out.usage("roi does not take " + name);
    if (!o.has("--roi")) return out.usage("roi needs --roi X,Y,W,H");
    const auto signal = roiOf(o.value("--roi"));
    if (!signal) return out.usage("--roi needs X,Y,W,H with positive 16-bit width and height");
    std::optional<RoiRecord> background;
    if (o.has("--back")) {
        background = roiOf(o.value("--back"));
        if (!background) return out.usage("--back needs X,Y,W,H with positive 16-bit width and height");
    }
    Session s;
    if (const int status = openFile(o, s, out); status != 0) return status;
    Korvelf& k = s.k;
    k.ws.CURSLOT = 0;
    k.roi[0] = *signal;
    ROICLC(k);
    if (!s.host.messages.empty()) return out.refuse(s.host.messages.back());
    const std::string clipboard = withLf(s.host.clipboardText);
    noteInput(out, s, "image", o.file);
    out.setting("preset", o.value("--preset"));
    out.setting("roi", o.value("--roi"));
    out.field("caption", k.form.Caption);
    out.printf("clipboard\n%s\n", clipboard.c_str());
    // The five lines of the clipboard, each a figure of its own.
    const char* names[] = {"previous_mean", "mean", "sd", "contrast", "cnr"};
    size_t from = 0;
    for (const char* name : names) {
        if (from > clipboard.size()) break;
        const size_t end = std::min(clipboard.find('\n', from), clipboard.size());
        out.figures.push_back({name, clipboard.substr(from, end - from)});
        from = end + 1;
    }
    if (background) {
        ROI1SET_Click(k);
        k.roi[0] = *background;
        ROI2SET_Click(k);
        if (!s.host.messages.empty()) return out.refuse(s.host.messages.back());
        const KorvelfForm& f = k.form;
        out.setting("back", o.value("--back"));
        out.field("Ave", f.AVE1TX[0].Text);
        out.field("Aveb", f.AVE2TX[0].Text);
        out.field("SDb", f.SDTX[0].Text);
        out.field("SNRb", f.SNRTX[0].Text);
        out.field("CNR", f.CNRTX[0].Text);
    }
    return 0;
}

} // namespace vantry::cli
