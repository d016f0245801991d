// vantry-measure view: the picture pane after the window, polarity, transforms and magnification.
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
#include "png_writer.h"

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

const std::vector<std::string> kViewOptions = {"--preset", "--list", "--to-log", "--to-linear",
                                               "--linear-adj", "--pane", "--ww", "--wl",
                                               "--negative", "--fit", "--mag", "--p100", "--flip",
                                               "--png"};

/// "W,H"-like pair of integers separated by `sep`.
bool pairOf(const std::string& text, char sep, int32_t& a, int32_t& b)
{
    const auto v = integersOf(text, sep, 2);
    if (!v) return false;
    a = (*v)[0];
    b = (*v)[1];
    return true;
}

/// The pane as the window shows it, without the ROI shapes: dark grey (64) around the bitmap.
std::vector<uint8_t> paneImage(const Korvelf& k, const ScriptedHost& host)
{
    const int32_t w = k.disp.DISPW, h = k.disp.DISPH;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h, 64);
    const PaneBitmap& b = host.lastBlit[0].bitmap;
    for (int32_t y = 0; y < b.height; ++y) {
        const int32_t py = b.top + y;
        if (py < 0 || py >= h) continue;
        const uint8_t* row = b.bits + static_cast<size_t>(b.height - 1 - y) * b.rowBytes;
        for (int32_t x = 0; x < b.width; ++x) {
            const int32_t px = b.left + x;
            if (px >= 0 && px < w) out[static_cast<size_t>(py) * w + px] = row[x];
        }
    }
    return out;
}

} // namespace

int viewCommand(const Options& o, CommandOutput& out)
{
    if (const std::string name = foreignOption(o, kViewOptions); !name.empty()) return out.usage("view does not take " + name);
    int32_t paneW = 1000, paneH = 800;
    if (o.has("--pane") && (!pairOf(o.value("--pane"), 'x', paneW, paneH) || paneW < 2 || paneH < 2 || paneW > 16384 || paneH > 16384)) {
        return out.usage("--pane needs WxH with sides of 2 to 16384 pixels");
    }
    const int views = o.has("--fit") + o.has("--mag") + o.has("--p100");
    if (views > 1) return out.usage("choose one of --fit, --mag and --p100");
    int magStep = 0;
    if (o.has("--mag")) {
        const double m = decimalOf(o.value("--mag")).value_or(0.0);
        const double stepValue = (m - 1.0) * 2.0;
        if (!(m >= 1.0 && m <= 6.0) || stepValue != std::floor(stepValue)) {
            return out.usage("--mag takes 1, 1.5, 2, ... 6, the steps of the magnification scroll bar");
        }
        magStep = static_cast<int>(stepValue);
    }
    int32_t centreX = 0, centreY = 0;
    if (o.has("--p100") && !pairOf(o.value("--p100"), ',', centreX, centreY)) return out.usage("--p100 needs X,Y");
    if (o.has("--ww") && !(int32Of(o.value("--ww")).value_or(0) > 0)) {
        return out.usage("--ww needs a positive whole number, not \"" + o.value("--ww") + "\"");
    }
    if (o.has("--wl") && !int32Of(o.value("--wl"))) {
        return out.usage("--wl needs a whole number, not \"" + o.value("--wl") + "\"");
    }
    if (o.has("--flip")) {
        for (const std::string& answer : o.values.at("--flip")) {
            if (answer.size() != 1 || answer[0] < '0' || answer[0] > '3') {
                return out.usage("--flip takes 0, 1, 2 or 3, not \"" + answer + "\"");
            }
        }
    }

    Session s;
    if (const int status = openFile(o, s, out, paneW, paneH); status != 0) return status;
    Korvelf& k = s.k;
    if (o.has("--ww") || o.has("--wl")) {
        if (o.has("--ww")) k.form.WWTX[0].Text = o.value("--ww");
        if (o.has("--wl")) k.form.WCTX[0].Text = o.value("--wl");
        WWTX_DblClick(k, 0);
        if (o.has("--ww") && k.form.WWTX[0].Text != o.value("--ww")) return out.refuse("the window width " + o.value("--ww") + " is not a 16-bit number");
        if (o.has("--wl") && k.form.WCTX[0].Text != o.value("--wl")) return out.refuse("the window level " + o.value("--wl") + " is not a 16-bit number");
    }
    if (o.has("--negative")) {
        k.form.POSICK.Value = 0;
        POSICK_Click(k);
    }
    if (o.has("--flip")) {
        for (const std::string& answer : o.values.at("--flip")) {
            s.host.inputAnswers.push_back(answer);
            FLIPGO_Click(k);
        }
    }
    if (o.has("--fit")) REDISP_Click(k);
    if (o.has("--mag")) {
        k.form.MAGHS.Value = magStep;
        MAGHS_Change(k);
    }
    if (o.has("--p100")) {
        k.disp.PCX[0] = static_cast<int16_t>(std::clamp(centreX, 0, k.ws.XSZ[0] - 1));
        k.disp.PCY[0] = static_cast<int16_t>(std::clamp(centreY, 0, k.ws.YSZ[0] - 1));
        P100_Click(k);
    }
    noteInput(out, s, "image", o.file);
    out.setting("preset", o.value("--preset"));
    out.field("caption", k.form.Caption);
    out.field("bmp", std::to_string(k.disp.BMPW) + " " + std::to_string(k.disp.BMPH));
    out.field("offset", std::to_string(k.disp.OX[0]) + " " + std::to_string(k.disp.OY[0]));
    out.field("pxs", numberText("%g", static_cast<double>(k.disp.PXS[0])));
    if (o.has("--png")) {
        const std::vector<uint8_t> png = samples::greyPng(paneW, paneH, paneImage(k, s.host));
        const std::string why = samples::writeOutputFile(
            o.value("--png"), std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
        if (!why.empty()) return out.refuse("cannot write " + o.value("--png") + ": " + why);
    }
    return 0;
}

} // namespace vantry::cli
