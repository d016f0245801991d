// vantry-measure: the workspace's handlers on the scripted host, from the command line, so that
// batch checks print the same numbers the windows show.
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
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace vantry;

namespace {

const char* kUsage =
    "usage: vantry-measure read FILE --preset NAME [--list PATH] [--to-log G] [--to-linear F]\n"
    "                           [--linear-adj] [--dump OUT]\n"
    "       vantry-measure view FILE --preset NAME [--list PATH] [--pane WxH] [--ww W] [--wl L]\n"
    "                           [--negative] [--fit | --mag M | --p100 X,Y] [--flip K]... [--png OUT]\n"
    "       vantry-measure roi FILE --preset NAME [--list PATH] --roi X,Y,W,H [--back X,Y,W,H]\n"
    "       vantry-measure mtf FILE --preset NAME [--list PATH] --roi X,Y,W,H [--binw B] [--shift S]\n"
    "                           [--vfilter 0|1] [--fmax F] [--fint F] [--data-no D] [--svg OUT]\n"
    "       vantry-measure nnps FILE --preset NAME [--list PATH] --roi X,Y,W,H\n"
    "                           [--mode 2d|1d-h|1d-v|nps] [--lines N] [--nfmax F] [--nfint F]\n"
    "                           [--data-no D] [--svg OUT]\n"
    "       vantry-measure --help\n"
    "\n"
    "read     reads FILE into view 0 as the Read button does and prints the view's image:\n"
    "         width, height, offset (byte of the first pixel), pitch (mm), encoding, and the\n"
    "         min, max and mean of its pixels, one per line.\n"
    "\n"
    "  --preset NAME    the first entry of the detector list whose name field is NAME, chosen as\n"
    "                   in the preset list of the window (required)\n"
    "  --list PATH      the detector list to use instead of VYLIST.TXT beside the program\n"
    "  --to-log G       convert a linear image to log: pixel = G x log10(pixel) (\"to Log: factor\")\n"
    "  --to-linear F    the factor F for log-to-linear conversion of a log preset and for the\n"
    "                   linear adjustment (\"To linear: factor\", default 5.0)\n"
    "  --linear-adj     divide a linear image by that factor (\"Linear adj\")\n"
    "  --dump OUT       write the view's image to OUT as little-endian Int16, row after row\n"
    "\n"
    "view     reads FILE as read does, into a picture pane of the given size, then applies in this\n"
    "         order the window, the polarity, the transforms and the magnification, and prints the\n"
    "         window caption, the bitmap size (bmp W H), its offset in the pane (offset OX OY) and\n"
    "         the image pixels per pane pixel (pxs).\n"
    "\n"
    "  --pane WxH       inner size of the picture pane in pixels (default 1000x800)\n"
    "  --ww W, --wl L   window width and level, as typed into the boxes and applied\n"
    "  --negative       negative display (\"Posi\" unchecked)\n"
    "  --fit            the whole image (\"Fit\"); the default after reading\n"
    "  --mag M          magnification 1, 1.5, 2, ... 6, as the scroll bar sets it\n"
    "  --p100 X,Y       one image pixel per pane pixel, centred on image pixel X,Y (\"100%\")\n"
    "  --flip K         \"Mirror Flip\" answered with K: 0 mirror, 1 flip, 2 rotate, 3 mark; repeatable\n"
    "  --png OUT        write the whole pane as shown (without the ROI shapes) as a grey PNG\n"
    "\n"
    "roi      reads FILE as read does, sets the ROI of view 0 to X,Y,W,H (image pixels), measures it\n"
    "         as the end of a ROI gesture does and prints the window caption and the clipboard\n"
    "         text (five lines: previous mean, mean, deviation, contrast, CNR).\n"
    "\n"
    "  --roi X,Y,W,H    the ROI (required)\n"
    "  --back X,Y,W,H   then presses \"ROI\" at the first ROI and \"ROI back\" at this one and prints\n"
    "                   the result boxes: Ave, Aveb, SDb, SNRb, CNR\n"
    "\n"
    "mtf      reads FILE as read does, sets the ROI of view 0 to X,Y,W,H across an edge, presses\n"
    "         Measure and runs \"ESF reprojection\", \"ESF OK\", \"MTF calc.\" and \"Clip MTF\" of the\n"
    "         analysis window. The longer side of the ROI runs across the edge: a ROI wider than\n"
    "         high measures along x (label NAME H), any other along y (NAME V). Prints, in order:\n"
    "           shift S        the tilt the reprojection proposed (samples across the edge per\n"
    "                          line along it) with 9 significant digits, also when --shift\n"
    "                          replaced it\n"
    "           LABEL          the \"MTF calc.\" clipboard: the preset name and \" H\" or \" V\",\n"
    "           0.000 ...      then the MTF as \"0.000\" at 0, FINT, 2 FINT, ..., one per line:\n"
    "                          FMAX / FINT rounded, plus 1 values (31 for 3 and 0.1)\n"
    "           <TAB>LABEL     the \"Clip MTF\" clipboard: a TAB and the label, then one row per\n"
    "           0.00<TAB>V ... frequency of the same grid: the frequency as \"0.00\", a TAB and the\n"
    "                          MTF rounded to 3 decimals without a zero before the point (\"1\",\n"
    "                          \".987\")\n"
    "         Frequencies are in cycles/mm. Numbers must be wholly decimal numbers in the ranges\n"
    "         below (the window's own limits); anything else is a usage error. A measurement the\n"
    "         analysis window refuses exits with 3 and its message.\n"
    "\n"
    "  --roi X,Y,W,H    the ROI (required), at least 55 x 21 pixels\n"
    "  --binw B         ESF bin width in mm, 0.01 to 0.2 as in \"Setting\" (default 0.03)\n"
    "  --shift S        answers \" Shift = \" with the tilt S instead of the proposed one\n"
    "  --vfilter 0|1    answers \"V-filter 0..off 1..on = \" (default 0)\n"
    "  --fmax F         answers \"Freq. max=\", 1 to 5 (default 3)\n"
    "  --fint F         answers \"Fint=\", 0.01 to 0.3 (default 0.1)\n"
    "  --data-no D      answers \"Data No.=\" with 1 to 7 (default the prompt's, 1): the curve's\n"
    "                   colour and legend row on the chart\n"
    "  --svg OUT        write the final MTF chart (960 x 720 pixels) as an SVG picture\n"
    "\n"
    "nnps     reads FILE as read does, sets the ROI of view 0 to X,Y,W,H on a flat field,\n"
    "         presses Measure and runs, from the \"Noise\" menu of the analysis window,\n"
    "         \"Setting\" (only with --nfmax or --nfint), the item of --mode and \"Clip NNPS \"\n"
    "         for the curve it stored. The ROI is cut into blocks of 256 x 256 pixels: its\n"
    "         width and height must be multiples of 256. Prints, in order:\n"
    "           point F V      25 lines, the stored curve: F its frequency (cycles/mm,\n"
    "                          %.6g), from 1/25 of the Nyquist frequency up to it (0.2 .. 5\n"
    "                          for 0.1 mm pixels), and V the noise power there (%.6e):\n"
    "                          normalised, in mm^2, or for --mode nps in (pixel value)^2 mm^2\n"
    "           LABEL          the clipboard after the computation: the preset name and\n"
    "           V ...          \" R\" (radial), \" H\" or \" V\" (1D), then the power at NFINT,\n"
    "                          2 NFINT, ..., one per line, as \"0.0000\" or, when four\n"
    "                          decimals would show 0, as \"1.56E-06\": NFMAX / NFINT\n"
    "                          rounded, plus 1 values (31 for 3 and 0.1), fewer where\n"
    "                          they would pass the last point\n"
    "           <TAB>LABEL     the \"Clip NNPS \" clipboard: a TAB and the label, then one\n"
    "           0.00<TAB>V ... row per frequency NFINT, 2 NFINT, ..., NFMAX (30 rows for 3\n"
    "                          and 0.1): the frequency as \"0.00\", a TAB and the power as\n"
    "                          \"0.00000000\" or, when eight decimals would show 0, as\n"
    "                          \"1.23E-09\"\n"
    "         Numbers must be wholly decimal numbers in the ranges below; anything else is a\n"
    "         usage error. A ROI that is not a whole number of blocks, lies outside the image\n"
    "         or holds no noise, or a line number outside 1 to 128, exits with 3 and the\n"
    "         reason.\n"
    "\n"
    "  --roi X,Y,W,H    the ROI (required)\n"
    "  --mode M         the item: 2d \"2D-NNPS\" (default), 1d-h and 1d-v \"1D-NNPS\"\n"
    "                   answered with the direction H or V, nps \"2D-NPS\" (blocks not\n"
    "                   divided by their means)\n"
    "  --lines N        answers \"Average line number = \" of 1d-h and 1d-v: the lines\n"
    "                   averaged on either side of the axis (default 7)\n"
    "  --nfmax F        \"Freq max\" of the noise \"Setting\", 0.2 to 5 (default 3)\n"
    "  --nfint F        \"Freq interval\" of the noise \"Setting\", 0.01 to 0.3 (default 0.1)\n"
    "  --data-no D      answers \"Data No.= \" with 1 to 7 (default the prompt's, 1): the\n"
    "                   curve's colour and legend row on the chart\n"
    "  --svg OUT        write the final NNPS chart (960 x 720 pixels) as an SVG picture\n"
    "\n"
    "Files named by --dump, --png and --svg are written only as regular files (new or replaced).\n"
    "Exit status: 0 success, 2 usage error, 3 the list, preset or file could not be used, an output\n"
    "could not be written, or the method refused the measurement (the reason on stderr).\n";

int usageError(const std::string& why)
{
    std::fprintf(stderr, "vantry-measure: %s\n%s", why.c_str(), kUsage);
    return 2;
}

int failure(const std::string& why)
{
    std::fprintf(stderr, "vantry-measure: %s\n", why.c_str());
    return 3;
}

struct Options {
    std::string command;
    std::string file;
    std::map<std::string, std::vector<std::string>> values; // --name -> values ("" for flags)

    bool has(const std::string& name) const { return values.count(name) != 0; }
    const std::string& value(const std::string& name) const { return values.at(name).back(); }
};

/// Options that take a value, and flags.
const std::vector<std::string> kValued = {"--preset", "--list", "--to-log", "--to-linear", "--dump", "--pane",
                                          "--ww", "--wl", "--mag", "--p100", "--flip", "--png", "--roi", "--back",
                                          "--binw", "--shift", "--vfilter", "--fmax", "--fint", "--data-no", "--svg",
                                          "--mode", "--lines", "--nfmax", "--nfint"};
/// The options of mtf; it refuses the others, which would otherwise pass unnoticed.
const std::vector<std::string> kMtfOptions = {"--preset", "--list", "--roi", "--binw", "--shift", "--vfilter",
                                              "--fmax", "--fint", "--data-no", "--svg"};
/// The options of nnps.
const std::vector<std::string> kNnpsOptions = {"--preset", "--list",  "--roi",     "--mode",
                                               "--lines",  "--nfmax", "--nfint",   "--data-no",
                                               "--svg"};
const std::vector<std::string> kFlags = {"--linear-adj", "--negative", "--fit"};

std::optional<Options> parse(int argc, char** argv, std::string& error)
{
    Options o;
    if (argc < 2) {
        error = "no command given";
        return std::nullopt;
    }
    o.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (std::find(kValued.begin(), kValued.end(), a) != kValued.end()) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return std::nullopt;
            }
            o.values[a].push_back(argv[++i]);
        } else if (std::find(kFlags.begin(), kFlags.end(), a) != kFlags.end()) {
            o.values[a].push_back("");
        } else if (a.rfind("--", 0) == 0) {
            error = "unknown option " + a;
            return std::nullopt;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            error = "more than one file given";
            return std::nullopt;
        }
    }
    return o;
}

/// A started workspace on the scripted host with FILE read into view 0, as the Read button reads
/// it with the chosen preset; the exit status of a failure, or 0.
struct Session {
    ScriptedHost host;
    KernelBinding kernels{programFolder()};
    Korvelf k{host, kernels};
};

int openFile(const Options& o, Session& s, int32_t paneW = 0, int32_t paneH = 0)
{
    if (o.file.empty()) return usageError(o.command + " needs a FILE");
    if (!o.has("--preset")) return usageError(o.command + " needs --preset NAME");
    Korvelf& k = s.k;
    ScriptedHost& host = s.host;
    k.ws.programFolder = programFolder();
    if (o.has("--list")) k.listFile = o.value("--list");
    if (!Form_Load(k)) return failure(host.messages.empty() ? "start-up failed" : host.messages.back());
    k.disp.DISPW = paneW;
    k.disp.DISPH = paneH;

    const std::string name = o.value("--preset");
    int entry = -1;
    for (size_t i = 0; i < k.form.CMB1.List.size() && entry < 0; ++i) {
        const std::string& line = k.form.CMB1.List[i];
        if (line.substr(0, line.find(' ')) == name) entry = static_cast<int>(i);
    }
    if (entry < 0) return failure("no preset named " + name + " in the detector list");
    CMB1_Click(k, entry);
    if (!host.messages.empty()) return failure(host.messages.back());
    if (k.ws.XSZ[kPresetSlot] == 0) return failure("the preset " + name + " has a width of 0, so nothing is read");

    if (o.has("--to-log")) {
        k.form.LOGCCK.Value = 1;
        k.form.VAL1TX.Text = o.value("--to-log");
    }
    if (o.has("--to-linear")) k.form.LOGBAITX.Text = o.value("--to-linear");
    if (o.has("--linear-adj")) k.form.LINRCK.Value = 1;

    host.fileDialogAnswers.push_back(o.file);
    Command1_Click(k);
    if (!host.messages.empty()) return failure(host.messages.back());
    if (k.ws.LOADED[0] != 1) return failure("the file was not read");
    return 0;
}

int read(const Options& o)
{
    Session s;
    if (const int status = openFile(o, s); status != 0) return status;
    const Korvelf& k = s.k;
    const ImageBuffer& img = k.ws.IMG[0];
    const auto [lo, hi] = std::minmax_element(img.pixels.begin(), img.pixels.end());
    double sum = 0;
    for (int16_t p : img.pixels) sum += p;
    std::printf("width %d\nheight %d\noffset %d\npitch %g\nencoding %d\nmin %d\nmax %d\nmean %.4f\n",
                k.ws.XSZ[0], k.ws.YSZ[0], k.ws.HDOFS[0], static_cast<double>(k.ws.PIXMM[0]), k.ws.LOGFAC[0],
                *lo, *hi, sum / static_cast<double>(img.pixels.size()));

    if (o.has("--dump")) {
        std::string bytes;
        bytes.reserve(img.pixels.size() * 2);
        for (int16_t p : img.pixels) {
            const auto u = static_cast<uint16_t>(p);
            bytes += static_cast<char>(u & 0xFF);
            bytes += static_cast<char>(u >> 8);
        }
        if (const std::string why = samples::writeOutputFile(o.value("--dump"), bytes); !why.empty()) {
            return failure("cannot write " + o.value("--dump") + ": " + why);
        }
    }
    return 0;
}

/// "W,H"-like pair of integers separated by `sep`.
bool pairOf(const std::string& text, char sep, int32_t& a, int32_t& b)
{
    char tail = 0;
    const std::string format = std::string("%d") + sep + "%d%c";
    return std::sscanf(text.c_str(), format.c_str(), &a, &b, &tail) == 2;
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

int view(const Options& o)
{
    int32_t paneW = 1000, paneH = 800;
    if (o.has("--pane") && (!pairOf(o.value("--pane"), 'x', paneW, paneH) || paneW < 2 || paneH < 2 || paneW > 16384 || paneH > 16384)) {
        return usageError("--pane needs WxH with sides of 2 to 16384 pixels");
    }
    const int views = o.has("--fit") + o.has("--mag") + o.has("--p100");
    if (views > 1) return usageError("choose one of --fit, --mag and --p100");
    int magStep = 0;
    if (o.has("--mag")) {
        const double m = std::strtod(o.value("--mag").c_str(), nullptr);
        const double stepValue = (m - 1.0) * 2.0;
        if (!(m >= 1.0 && m <= 6.0) || stepValue != std::floor(stepValue)) {
            return usageError("--mag takes 1, 1.5, 2, ... 6, the steps of the magnification scroll bar");
        }
        magStep = static_cast<int>(stepValue);
    }
    int32_t centreX = 0, centreY = 0;
    if (o.has("--p100") && !pairOf(o.value("--p100"), ',', centreX, centreY)) return usageError("--p100 needs X,Y");

    Session s;
    if (const int status = openFile(o, s, paneW, paneH); status != 0) return status;
    Korvelf& k = s.k;
    if (o.has("--ww") || o.has("--wl")) {
        if (o.has("--ww")) k.form.WWTX[0].Text = o.value("--ww");
        if (o.has("--wl")) k.form.WCTX[0].Text = o.value("--wl");
        WWTX_DblClick(k, 0);
        if (o.has("--ww") && k.form.WWTX[0].Text != o.value("--ww")) return failure("the window width " + o.value("--ww") + " is not a 16-bit number");
        if (o.has("--wl") && k.form.WCTX[0].Text != o.value("--wl")) return failure("the window level " + o.value("--wl") + " is not a 16-bit number");
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
    std::printf("caption %s\nbmp %d %d\noffset %d %d\npxs %g\n", k.form.Caption.c_str(), k.disp.BMPW, k.disp.BMPH,
                k.disp.OX[0], k.disp.OY[0], static_cast<double>(k.disp.PXS[0]));
    if (o.has("--png")) {
        const std::vector<uint8_t> png = samples::greyPng(paneW, paneH, paneImage(k, s.host));
        const std::string why = samples::writeOutputFile(
            o.value("--png"), std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
        if (!why.empty()) return failure("cannot write " + o.value("--png") + ": " + why);
    }
    return 0;
}

std::optional<RoiRecord> roiOf(const std::string& text)
{
    int32_t x = 0, y = 0, w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d,%d,%d,%d%c", &x, &y, &w, &h, &tail) != 4) return std::nullopt;
    const auto in16 = [](int32_t v) { return v >= -32768 && v <= 32767; };
    if (!in16(x) || !in16(y) || w <= 0 || h <= 0 || w > 32767 || h > 32767) return std::nullopt;
    return RoiRecord{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(w), static_cast<int16_t>(h)};
}

/// A clipboard text with LF line ends, as the terminal shows it.
std::string withLf(std::string text)
{
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.replace(at, 2, "\n");
    }
    return text;
}

int roi(const Options& o)
{
    if (!o.has("--roi")) return usageError("roi needs --roi X,Y,W,H");
    const auto signal = roiOf(o.value("--roi"));
    if (!signal) return usageError("--roi needs X,Y,W,H with positive 16-bit width and height");
    std::optional<RoiRecord> background;
    if (o.has("--back")) {
        background = roiOf(o.value("--back"));
        if (!background) return usageError("--back needs X,Y,W,H with positive 16-bit width and height");
    }
    Session s;
    if (const int status = openFile(o, s); status != 0) return status;
    Korvelf& k = s.k;
    k.ws.CURSLOT = 0;
    k.roi[0] = *signal;
    ROICLC(k);
    if (!s.host.messages.empty()) return failure(s.host.messages.back());
    const std::string clipboard = withLf(s.host.clipboardText);
    std::printf("caption %s\nclipboard\n%s\n", k.form.Caption.c_str(), clipboard.c_str());
    if (background) {
        ROI1SET_Click(k);
        k.roi[0] = *background;
        ROI2SET_Click(k);
        if (!s.host.messages.empty()) return failure(s.host.messages.back());
        const KorvelfForm& f = k.form;
        std::printf("Ave %s\nAveb %s\nSDb %s\nSNRb %s\nCNR %s\n", f.AVE1TX[0].Text.c_str(), f.AVE2TX[0].Text.c_str(),
                    f.SDTX[0].Text.c_str(), f.SNRTX[0].Text.c_str(), f.CNRTX[0].Text.c_str());
    }
    return 0;
}


/// The value of a text that is wholly one decimal number: sign, digits with an optional point,
/// optional exponent; no blanks, no hexadecimal, no inf or nan.
std::optional<double> decimalOf(const std::string& text)
{
    size_t i = 0;
    const auto digits = [&] {
        const size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i > from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa = digits() || mantissa;
    }
    if (!mantissa) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    const double v = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

/// A message box text as one line of the error output.
std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

/// One menu command of the analysis window: the prompts it asks, in order, with their answers,
/// and the display mode it must leave.
struct Step {
    const char* caption;
    void (*handler)(Vylsf&);
    std::vector<std::pair<std::string, std::string>> answers;
    int16_t mode;
};

/// Runs a step; the reason the method refused it, or an empty text.
std::string run(Session& s, Vylsf& v, const Step& step)
{
    ScriptedHost& host = s.host;
    const size_t asked = host.prompts.size();
    const size_t said = host.messages.size();
    host.inputAnswers.clear();
    for (const auto& answer : step.answers) host.inputAnswers.push_back(answer.second);
    step.handler(v);
    if (host.messages.size() > said) return oneLine(host.messages.back());
    // An answer taken by another prompt would measure with numbers nobody asked for.
    for (size_t i = 0; i < step.answers.size(); ++i) {
        const std::string& expected = step.answers[i].first;
        if (asked + i >= host.prompts.size() || host.prompts[asked + i].prompt != expected) {
            return std::string("\"") + step.caption + "\" did not ask \"" + expected +
                   "\" as expected";
        }
    }
    if (host.prompts.size() != asked + step.answers.size()) {
        return std::string("\"") + step.caption + "\" asked more than expected: \"" +
               host.prompts.back().prompt + "\"";
    }
    if (v.r.DSPMODE != step.mode) {
        return std::string("\"") + step.caption + "\" left the analysis window in mode " +
               std::to_string(v.r.DSPMODE) + " instead of " + std::to_string(step.mode);
    }
    return {};
}

/// A number option within [lo, hi], or a usage error text.
std::optional<double> rangedOption(const Options& o, const std::string& name, double lo, double hi,
                                   std::string& error)
{
    const auto v = decimalOf(o.value(name));
    if (!v || *v < lo || *v > hi) {
        error = name + " needs a number from " + plainNumberTrimmed(lo) + " to " +
                plainNumberTrimmed(hi) + ", not \"" + o.value(name) + "\"";
        return std::nullopt;
    }
    return v;
}

/// Writes the analysis window's last chart to the file of --svg, if one is named; the exit status
/// of a failure, or 0.
int writeChart(const Options& o, const ScriptedHost& host)
{
    if (!o.has("--svg")) return 0;
    if (const std::string why =
            samples::writeOutputFile(o.value("--svg"), samples::chartSvg(host.canvas.calls));
        !why.empty()) {
        return failure("cannot write " + o.value("--svg") + ": " + why);
    }
    return 0;
}

int mtf(const Options& o)
{
    for (const auto& [name, values] : o.values) {
        if (std::find(kMtfOptions.begin(), kMtfOptions.end(), name) == kMtfOptions.end()) {
            return usageError("mtf does not take " + name);
        }
    }
    if (!o.has("--roi")) return usageError("mtf needs --roi X,Y,W,H");
    const auto edgeRoi = roiOf(o.value("--roi"));
    if (!edgeRoi) return usageError("--roi needs X,Y,W,H with positive 16-bit width and height");
    std::string error;
    std::optional<double> binw;
    if (o.has("--binw") && !(binw = rangedOption(o, "--binw", 0.01, 0.2, error)))
        return usageError(error);
    std::string shiftAnswer = ScriptedHost::kAcceptDefault;
    if (o.has("--shift")) {
        const auto shift = decimalOf(o.value("--shift"));
        if (!shift || !(std::fabs(*shift) <= std::numeric_limits<float>::max())) {
            return usageError("--shift needs a number of single precision range, not \"" +
                              o.value("--shift") + "\"");
        }
        shiftAnswer = o.value("--shift");
    }
    std::string vfilter = "0";
    if (o.has("--vfilter")) {
        vfilter = o.value("--vfilter");
        if (vfilter != "0" && vfilter != "1")
            return usageError("--vfilter needs 0 or 1, not \"" + vfilter + "\"");
    }
    std::string fmax = "3", fint = "0.1";
    if (o.has("--fmax")) {
        if (!rangedOption(o, "--fmax", 1, 5, error)) return usageError(error);
        fmax = o.value("--fmax");
    }
    if (o.has("--fint")) {
        if (!rangedOption(o, "--fint", 0.01, 0.3, error)) return usageError(error);
        fint = o.value("--fint");
    }
    std::string dataNo = ScriptedHost::kAcceptDefault;
    if (o.has("--data-no")) {
        dataNo = o.value("--data-no");
        if (dataNo.size() != 1 || dataNo[0] < '1' || dataNo[0] > '7') {
            return usageError("--data-no needs one of 1 to 7, not \"" + dataNo + "\"");
        }
    }
    if (o.has("--svg") && o.value("--svg").empty()) return usageError("--svg needs a file name");

    Session s;
    if (const int status = openFile(o, s); status != 0) return status;
    Korvelf& k = s.k;
    ScriptedHost& host = s.host;
    Vylsf v{k};
    Form_Load(v);
    k.ws.CURSLOT = 0;
    k.roi[0] = *edgeRoi;
    MEASUREGO_Click(k);
    if (!host.analysisWindowShown)
        return failure("Measure did not open the analysis window: view 0 holds no image");
    if (binw) v.r.BINW = static_cast<float>(*binw);

    if (std::string why = run(s, v, {"ESF reprojection", DSPESF, {{" Shift = ", shiftAnswer}}, 1});
        !why.empty()) {
        return failure(why);
    }
    // The tilt offered as the prompt's default text, read as the prompt reads an accepted default.
    const auto proposed = static_cast<float>(leadingNumber(host.prompts.back().deflt));
    if (std::string why = run(s, v, {"ESF OK", ESFOK, {{"V-filter 0..off 1..on = ", vfilter}}, 2});
        !why.empty()) {
        return failure(why);
    }
    const Step calc{
        "MTF calc.", MTFCLC, {{"Freq. max=", fmax}, {"Fint=", fint}, {"Data No.=", dataNo}}, 3};
    if (std::string why = run(s, v, calc); !why.empty()) return failure(why);
    const std::string values = withLf(host.clipboardText);
    host.clipboardText.clear();
    if (std::string why =
            run(s, v, {"Clip MTF", CLIPMTF, {{"No.=", std::to_string(v.r.DATANO)}}, 3});
        !why.empty()) {
        return failure(why);
    }
    if (host.clipboardText.empty()) return failure("\"Clip MTF\" put nothing on the clipboard");
    const std::string table = withLf(host.clipboardText);

    if (const int status = writeChart(o, host); status != 0) return status;
    std::printf("shift %.9g\n%s%s", static_cast<double>(proposed), values.c_str(), table.c_str());
    return 0;
}

/// A noise item of the analysis window as --mode names it.
struct NoiseMode {
    const char* name;
    const char* caption;
    void (*handler)(Vylsf&);
    const char* direction; ///< the answer to "Direction 0..H  1..V = ", or none
};
const NoiseMode kNoiseModes[] = {
    {"2d", "2D-NNPS", NNPS2D_Click, nullptr},
    {"1d-h", "1D-NNPS", NNPS1D_Click, "0"},
    {"1d-v", "1D-NNPS", NNPS1D_Click, "1"},
    {"nps", "2D-NPS", NPS2D_Click, nullptr},
};

/// A text that is wholly a whole decimal number of at most 9 digits, with an optional sign.
std::optional<int32_t> wholeOf(const std::string& text)
{
    const size_t from = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (text.size() == from || text.size() - from > 9) return std::nullopt;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    }
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

/// The noise "Setting" answered with the given texts (nullopt keeps the current value); the reason
/// it did not take them, or an empty text.
std::string setNoiseRange(Session& s, Vylsf& v, const std::optional<std::string>& nfmax,
                          const std::optional<std::string>& nfint)
{
    ScriptedHost& host = s.host;
    const size_t asked = host.prompts.size();
    const size_t said = host.messages.size();
    host.inputAnswers = {nfmax.value_or(ScriptedHost::kAcceptDefault),
                         nfint.value_or(ScriptedHost::kAcceptDefault)};
    host.msgBoxAnswers = {MsgBoxAnswer::Yes};
    SETNPS(v);
    // The summary box is the dialogue's last step, not a refusal.
    if (host.prompts.size() != asked + 2 || host.messages.size() != said + 1 ||
        host.prompts[asked].prompt != "Freq max = " ||
        host.prompts[asked + 1].prompt != "Freq interval = ") {
        return "the noise \"Setting\" did not ask \"Freq max = \" and \"Freq interval = \" as "
               "expected";
    }
    host.messages.pop_back();
    const auto took = [](const std::optional<std::string>& text, float value) {
        return !text || static_cast<float>(leadingNumber(*text)) == value;
    };
    if (!took(nfmax, v.r.NFMAX) || !took(nfint, v.r.NFINT)) {
        return "the noise \"Setting\" changed the frequency range it was given";
    }
    return {};
}

int nnps(const Options& o)
{
    for (const auto& [name, values] : o.values) {
        if (std::find(kNnpsOptions.begin(), kNnpsOptions.end(), name) == kNnpsOptions.end()) {
            return usageError("nnps does not take " + name);
        }
    }
    if (!o.has("--roi")) return usageError("nnps needs --roi X,Y,W,H");
    const auto flatRoi = roiOf(o.value("--roi"));
    if (!flatRoi) return usageError("--roi needs X,Y,W,H with positive 16-bit width and height");
    const std::string modeName = o.has("--mode") ? o.value("--mode") : "2d";
    const NoiseMode* mode = nullptr;
    for (const NoiseMode& m : kNoiseModes) {
        if (modeName == m.name) mode = &m;
    }
    if (mode == nullptr) {
        return usageError("--mode needs one of 2d, 1d-h, 1d-v and nps, not \"" + modeName + "\"");
    }
    std::string lines = ScriptedHost::kAcceptDefault;
    if (o.has("--lines")) {
        if (mode->direction == nullptr) return usageError("--lines goes with --mode 1d-h or 1d-v");
        const auto n = wholeOf(o.value("--lines"));
        if (!n) {
            return usageError("--lines needs a whole number, not \"" + o.value("--lines") + "\"");
        }
        // The window itself refuses a number outside 1 .. 128, as it does for the operator.
        lines = std::to_string(*n);
    }
    std::string error;
    std::optional<std::string> nfmax, nfint;
    if (o.has("--nfmax")) {
        if (!rangedOption(o, "--nfmax", 0.2, 5, error)) return usageError(error);
        nfmax = o.value("--nfmax");
    }
    if (o.has("--nfint")) {
        if (!rangedOption(o, "--nfint", 0.01, 0.3, error)) return usageError(error);
        nfint = o.value("--nfint");
    }
    std::string dataNo = ScriptedHost::kAcceptDefault;
    if (o.has("--data-no")) {
        dataNo = o.value("--data-no");
        if (dataNo.size() != 1 || dataNo[0] < '1' || dataNo[0] > '7') {
            return usageError("--data-no needs one of 1 to 7, not \"" + dataNo + "\"");
        }
    }
    if (o.has("--svg") && o.value("--svg").empty()) return usageError("--svg needs a file name");

    Session s;
    if (const int status = openFile(o, s); status != 0) return status;
    Korvelf& k = s.k;
    ScriptedHost& host = s.host;
    Vylsf v{k};
    Form_Load(v);
    k.ws.CURSLOT = 0;
    k.roi[0] = *flatRoi;
    MEASUREGO_Click(k);
    if (!host.analysisWindowShown)
        return failure("Measure did not open the analysis window: view 0 holds no image");
    if (nfmax || nfint) {
        if (std::string why = setNoiseRange(s, v, nfmax, nfint); !why.empty()) return failure(why);
    }

    Step compute{mode->caption, mode->handler, {}, 4};
    if (mode->direction != nullptr) {
        compute.answers = {{"Direction 0..H  1..V = ", mode->direction},
                           {"Average line number = ", lines}};
    }
    compute.answers.emplace_back("Data No.= ", dataNo);
    const size_t asked = host.prompts.size();
    if (std::string why = run(s, v, compute); !why.empty()) {
        // The items return without a word on a ROI of partial blocks; say what the window leaves
        // the operator to notice.
        const RoiRecord& roi = k.roi[0];
        if (host.prompts.size() == asked && (roi.ROIW % kBlock != 0 || roi.ROIH % kBlock != 0)) {
            return failure("the ROI of " + std::to_string(roi.ROIW) + " x " +
                           std::to_string(roi.ROIH) + " pixels is not a whole number of " +
                           std::to_string(kBlock) + " x " + std::to_string(kBlock) +
                           " blocks: \"" + mode->caption + "\" stored nothing");
        }
        return failure(why);
    }
    const auto slot = static_cast<size_t>(v.r.DATANO - 1);
    const int16_t points = v.r.NPSNUM[slot];
    if (points < 1) return failure(std::string("\"") + mode->caption + "\" stored no curve");
    const std::string values = withLf(host.clipboardText);
    host.clipboardText.clear();
    const Step clip{"Clip NNPS ", NPSCLIP_Click, {{"Data No.=", std::to_string(v.r.DATANO)}}, 4};
    if (std::string why = run(s, v, clip); !why.empty()) {
        return failure(why);
    }
    if (host.clipboardText.empty()) return failure("\"Clip NNPS \" put nothing on the clipboard");
    const std::string table = withLf(host.clipboardText);

    if (const int status = writeChart(o, host); status != 0) return status;
    for (int32_t i = 0; i < points; ++i) {
        const double power = std::pow(10.0, static_cast<double>(v.r.NPSVAL[slot][i]));
        std::printf("point %.6g %.6e\n", static_cast<double>(v.r.NPSFRQ[slot][i]), power);
    }
    std::printf("%s%s", values.c_str(), table.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string error;
    const auto options = parse(argc, argv, error);
    if (!options) return usageError(error);
    int status = 0;
    if (options->command == "read") {
        status = read(*options);
    } else if (options->command == "view") {
        status = view(*options);
    } else if (options->command == "roi") {
        status = roi(*options);
    } else if (options->command == "mtf") {
        status = mtf(*options);
    } else if (options->command == "nnps") {
        status = nnps(*options);
    } else {
        return usageError("unknown command " + options->command);
    }
    // Output lost to a full disk or a closed pipe is a failure, not a result.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return failure(std::string("cannot write the output (") + std::strerror(errno) + ")");
    }
    return status;
}
