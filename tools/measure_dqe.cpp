// vantry-measure dqe: the DQE from an edge and flat fields as the DQE menu computes it.
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

/// The options of dqe.
const std::vector<std::string> kDqeOptions = {"--edge",  "--edge-roi", "--flat",  "--flat-roi",
                                              "--preset", "--list",    "--kerma", "--beam",
                                              "--q",      "--edition", "--mode",  "--lines",
                                              "--vfilter", "--nfmax",  "--nfint", "--svg"};

/// A beam quality name as "DQE calc." reads it: without blanks and tabs around it.
std::string trimmedName(const std::string& text)
{
    const size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos) return {};
    return text.substr(from, text.find_last_not_of(" \t") + 1 - from);
}

} // namespace

int dqeCommand(const Options& o, CommandOutput& out)
{
    if (const std::string name = foreignOption(o, kDqeOptions); !name.empty()) return out.usage("dqe does not take " + name);
    if (!o.files.empty()) {
        return out.usage("dqe takes its images with --edge and --flat, not as \"" + o.file + "\"");
    }
    for (const char* required :
         {"--edge", "--edge-roi", "--flat", "--flat-roi", "--kerma", "--beam"}) {
        if (!o.has(required)) return out.usage(std::string("dqe needs ") + required);
    }
    if (o.values.at("--edge").size() != 1) return out.usage("dqe takes one --edge");
    for (const char* named : {"--edge", "--flat"}) {
        for (const std::string& file : o.values.at(named)) {
            if (file.empty()) return out.usage(std::string(named) + " needs a file name");
        }
    }
    const auto edgeRoi = roiOf(o.value("--edge-roi"));
    if (!edgeRoi) {
        return out.usage("--edge-roi needs X,Y,W,H with positive 16-bit width and height");
    }
    const auto flatRoi = roiOf(o.value("--flat-roi"));
    if (!flatRoi) {
        return out.usage("--flat-roi needs X,Y,W,H with positive 16-bit width and height");
    }

    // The MTF as far as "Freq. max=" goes, so that the DQE reaches the Nyquist frequency of
    // pixels of 0.1 mm and more; stored as 1, the noise as 2.
    MtfRequest edge;
    edge.roi = *edgeRoi;
    edge.fmax = "5";
    edge.fint = "0.1";
    edge.dataNo = "1";
    if (std::string error = vfilterOption(o, edge.vfilter); !error.empty()) {
        return out.usage(error);
    }
    NnpsRequest flat;
    flat.roi = *flatRoi;
    if (std::string error = noiseOptions(o, flat); !error.empty()) return out.usage(error);
    if (flat.mode->raw != 0) {
        return out.usage("the DQE needs a normalised spectrum: --mode takes 2d, 1d-h or 1d-v");
    }
    flat.dataNo = "2";

    if (!decimalOf(o.value("--kerma"))) {
        return out.usage("--kerma needs a number of uGy, not \"" + o.value("--kerma") + "\"");
    }
    if (o.has("--q") && !decimalOf(o.value("--q"))) {
        return out.usage("--q needs a number of photons per mm^2 and uGy, not \"" +
                          o.value("--q") + "\"");
    }
    const std::string beam = trimmedName(o.value("--beam"));
    if (beam.empty()) return out.usage("--beam needs a name");
    if (o.has("--svg") && o.value("--svg").empty()) return out.usage("--svg needs a file name");

    const std::string edition = o.has("--edition") ? o.value("--edition") : "2015";
    if (edition != "2015" && edition != "2003") {
        return out.usage("--edition needs 2015 or 2003, not \"" + edition + "\"");
    }

    // Without --q, q comes from the list "DQE calc." reads, which must then be whole and hold the
    // beam; a typed q needs no list.
    if (!o.has("--q")) {
        const BeamList beams = readBeamList(programFolder() / kBeamListFileName);
        if (const auto faults = beams.faults(); !faults.empty()) {
            return out.refuse("beam list: " + oneLine(faults.front()));
        }
        if (findBeam(beams, beam, edition) == nullptr) {
            return out.refuse("the beam quality " + beam + " is not in " + kBeamListFileName +
                           " for the " + edition + " edition: give its q (1/(mm^2 uGy)) with --q");
        }
    }

    Session s;
    if (const int status = startSession(o, s, out); status != 0) return status;
    if (std::string why = readFile(s, o.value("--edge")); !why.empty()) {
        return out.refuse("edge image: " + why);
    }
    const float edgePitch = s.k.ws.PIXMM[0];
    Vylsf v{s.k};
    Form_Load(v);
    MtfResult mtfResult;
    if (std::string why = measureEdge(s, v, edge, mtfResult); !why.empty()) {
        return out.refuse("edge image: " + why);
    }
    std::vector<ImageBuffer> others;
    std::vector<float> pitches;
    const std::vector<std::string>& flatFiles = o.values.at("--flat");
    if (std::string why = readFlats(s, flatFiles, others, pitches); !why.empty()) {
        return out.refuse("flat field: " + why);
    }
    // The MTF and the NNPS are combined frequency by frequency: both must be of one pixel size.
    for (size_t i = 0; i < pitches.size(); ++i) {
        if (pitchesDiffer(pitches[i], edgePitch)) {
            return out.refuse("The edge image has a pitch of " + pitchText(edgePitch) +
                           " mm and the flat field " + flatFiles[i] + " " + pitchText(pitches[i]) +
                           " mm: the MTF and the NNPS of a DQE must come from pixels of one size.");
        }
    }
    NnpsResult nnpsResult;
    if (std::string why = measureFlat(s, v, flat, others, nnpsResult); !why.empty()) {
        return out.refuse("flat field: " + why);
    }

    Step calc{"DQE calc.",
              DQECLC,
              {{"MTF data No.= ", "1"},
               {"NNPS data No.= ", "2"},
               {"Beam quality = ", beam},
               {"Edition (2015 or 2003) = ", edition},
               {"q (1/(mm^2 uGy)) for " + beam + " = ",
                o.has("--q") ? o.value("--q") : ScriptedHost::kAcceptDefault},
               {"Air kerma (uGy) = ", o.value("--kerma")}},
              kDqeMode};
    if (std::string why = run(s, v, calc); !why.empty()) return out.refuse(why);
    s.host.clipboardText.clear();
    if (std::string why = run(s, v, {"Clip DQE", CLIPDQE, {}, kDqeMode}); !why.empty()) {
        return out.refuse(why);
    }
    if (s.host.clipboardText.empty()) return out.refuse("\"Clip DQE\" put nothing on the clipboard");

    if (const int status = writeChart(o, s.host, out); status != 0) return status;
    // The edge's warnings, then the DQE's own (a DQE above 1).
    noteInput(out, "edge", o.value("--edge"), static_cast<double>(edgePitch), s.k.ws.READFACTS[0].pitchFrom);
    for (size_t i = 0; i < flatFiles.size(); ++i) {
        noteInput(out, "flat field " + std::to_string(i + 1), flatFiles[i], static_cast<double>(pitches[i]),
                  s.k.ws.READFACTS[0].pitchFrom);
    }
    out.setting("preset", o.value("--preset"));
    out.setting("edge_roi", o.value("--edge-roi"));
    out.setting("flat_roi", o.value("--flat-roi"));
    out.setting("mode", flat.mode->name);
    out.setting("vfilter", edge.vfilter);
    out.setting("nfmax", numberText("%g", static_cast<double>(v.r.NFMAX)));
    out.setting("nfint", numberText("%g", static_cast<double>(v.r.NFINT)));
    out.setting("beam", beam);
    out.setting("edition", edition);
    out.setting("q", numberText("%.9g", v.r.DQEQ));
    out.setting("kerma", o.value("--kerma"));
    out.warningText(warningLines(s.host, 0));
    const std::string table = withLf(s.host.clipboardText);
    out.text += table;
    // The rows of numbers; the header and the column names are the table's own lines.
    std::vector<std::vector<std::string>> rows;
    for (auto& row : tabRows(table)) {
        if (row.size() == 5 && decimalOf(row[0])) rows.push_back(std::move(row));
    }
    out.tables.push_back({"dqe", table.substr(0, table.find('\n')), {"frequency", "mtf", "nnps", "neq", "dqe"}, rows});
    return 0;
}

} // namespace vantry::cli
