// vantry-measure: the workspace's handlers on the scripted host, from the command line, so that
// batch checks print the same numbers the windows show.
#include "form_load.h"
#include "image_opening.h"
#include "kernel_binding.h"
#include "korvelf.h"
#include "program_folder.h"
#include "scripted_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace vantry;

namespace {

const char* kUsage =
    "usage: vantry-measure read FILE --preset NAME [--list PATH] [--to-log G] [--to-linear F]\n"
    "                           [--linear-adj] [--dump OUT]\n"
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
    "Exit status: 0 success, 2 usage error, 3 the list, preset or file could not be used.\n";

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
    std::map<std::string, std::string> values; // --name -> value ("" for flags)
};

/// Options that take a value, and flags.
const std::vector<std::string> kValued = {"--preset", "--list", "--to-log", "--to-linear", "--dump"};
const std::vector<std::string> kFlags = {"--linear-adj"};

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
            o.values[a] = argv[++i];
        } else if (std::find(kFlags.begin(), kFlags.end(), a) != kFlags.end()) {
            o.values[a] = "";
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

int read(const Options& o)
{
    if (o.file.empty()) return usageError("read needs a FILE");
    if (!o.values.count("--preset")) return usageError("read needs --preset NAME");

    ScriptedHost host;
    KernelBinding kernels(programFolder());
    Korvelf k(host, kernels);
    k.ws.programFolder = programFolder();
    if (o.values.count("--list")) k.listFile = o.values.at("--list");
    if (!Form_Load(k)) return failure(host.messages.empty() ? "start-up failed" : host.messages.back());

    const std::string name = o.values.at("--preset");
    int entry = -1;
    for (size_t i = 0; i < k.form.CMB1.List.size() && entry < 0; ++i) {
        const std::string& line = k.form.CMB1.List[i];
        if (line.substr(0, line.find(' ')) == name) entry = static_cast<int>(i);
    }
    if (entry < 0) return failure("no preset named " + name + " in the detector list");
    CMB1_Click(k, entry);
    if (!host.messages.empty()) return failure(host.messages.back());
    if (k.ws.XSZ[kPresetSlot] == 0) return failure("the preset " + name + " has a width of 0, so nothing is read");

    if (o.values.count("--to-log")) {
        k.form.LOGCCK.Value = 1;
        k.form.VAL1TX.Text = o.values.at("--to-log");
    }
    if (o.values.count("--to-linear")) k.form.LOGBAITX.Text = o.values.at("--to-linear");
    if (o.values.count("--linear-adj")) k.form.LINRCK.Value = 1;

    host.fileDialogAnswers.push_back(o.file);
    Command1_Click(k);
    if (!host.messages.empty()) return failure(host.messages.back());
    if (k.ws.LOADED[0] != 1) return failure("the file was not read");

    const ImageBuffer& img = k.ws.IMG[0];
    const auto [lo, hi] = std::minmax_element(img.pixels.begin(), img.pixels.end());
    double sum = 0;
    for (int16_t p : img.pixels) sum += p;
    std::printf("width %d\nheight %d\noffset %d\npitch %g\nencoding %d\nmin %d\nmax %d\nmean %.4f\n",
                k.ws.XSZ[0], k.ws.YSZ[0], k.ws.HDOFS[0], static_cast<double>(k.ws.PIXMM[0]), k.ws.LOGFAC[0],
                *lo, *hi, sum / static_cast<double>(img.pixels.size()));

    if (o.values.count("--dump")) {
        std::ofstream out(o.values.at("--dump"), std::ios::binary);
        for (int16_t p : img.pixels) {
            const auto u = static_cast<uint16_t>(p);
            const char b[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
            out.write(b, 2);
        }
        if (!out) return failure("cannot write " + o.values.at("--dump"));
    }
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
    if (options->command == "read") return read(*options);
    return usageError("unknown command " + options->command);
}
