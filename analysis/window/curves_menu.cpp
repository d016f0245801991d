#include "curves_menu.h"

#include "curves_file.h"
#include "measured_from.h"
#include "text_file.h"

#include <cstdio>
#include <optional>
#include <set>

namespace vantry {
namespace {

bool anyCurveStored(const VylsfRecord& r)
{
    for (size_t slot = 0; slot < kCurveSlots; ++slot) {
        if (r.MTFNUM[slot] > 0 || r.NPSNUM[slot] > 0) return true;
    }
    return false;
}

/// The data number and kind of the stored curve measured from the image at `path` ("MTF curve
/// No.2"), the view that shows it ("in view 1"), or an empty text.
std::string imageAt(const Vylsf& v, const std::string& path)
{
    const VylsfRecord& r = v.r;
    for (size_t slot = 0; slot < kCurveSlots; ++slot) {
        const struct {
            int16_t count;
            const CurveSource& source;
            const char* kind;
        } kinds[2] = {{r.MTFNUM[slot], r.MTFFROM[slot], "MTF"}, {r.NPSNUM[slot], r.NPSFROM[slot], "noise"}};
        for (const auto& k : kinds) {
            if (k.count <= 0 || k.source.path.empty()) continue;
            if (k.source.path == path || sameExistingFile(k.source.path, path)) {
                return "the image " + std::string(k.kind) + " curve No." + std::to_string(slot + 1) +
                       " was measured from";
            }
        }
    }
    for (int view = 0; view < 2; ++view) {
        const std::string& image = v.k.ws.FNAME[view];
        if (v.k.ws.LOADED[view] == 0 || image.empty()) continue;
        if (image == path || sameExistingFile(image, path)) return "the image shown in view " + std::to_string(view + 1);
    }
    return {};
}

/// The name with ".json" added when its last part has no extension.
std::string withJsonExtension(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name.find('.') != std::string::npos) return path;
    return path + ".json";
}

std::string recoveryPath(Vylsf& v)
{
    const std::string folder = v.host().dataFolder();
    return folder.empty() ? std::string() : folder + "/" + kRecoveryName;
}

/// The name the recovery file is kept under once offered: its name with the date and time.
std::string offeredPath(const std::string& folder)
{
    std::string stamp = isoDateNow();
    for (char& c : stamp) {
        if (c == ':') c = '-';
    }
    std::string path = folder + "/curves-recovered-" + stamp + ".json";
    for (int n = 2; fileExists(path) && n < 1000; ++n) {
        path = folder + "/curves-recovered-" + stamp + "-" + std::to_string(n) + ".json";
    }
    return path;
}

} // namespace

void SAVECURVES(Vylsf& v)
{
    VylsfRecord& r = v.r;
    Host& host = v.host();
    if (!anyCurveStored(r)) {
        host.MsgBox("There are no stored curves to save: measure an MTF or a noise spectrum first.");
        return;
    }
    const auto typed = host.saveFileDialog(kCurvesFilter, "curves.json");
    if (!typed) return;
    const auto path = std::optional<std::string>(withJsonExtension(*typed));
    // The curves file never replaces an image: that would lose the measurement's input.
    if (const std::string image = imageAt(v, *path); !image.empty()) {
        host.MsgBox("The curves were not saved: " + *path + " is " + image + ". Choose another file name.");
        return;
    }
    const std::string text = curvesFileText(r);
    // What is written must open again: a curve the file cannot hold is told now, not when the
    // file is needed.
    CurvesFile check;
    if (const std::string error = readCurvesFile(text, check); !error.empty()) {
        host.MsgBox("The curves were not saved: a stored curve cannot be written to a curves file (" + error + ").");
        return;
    }
    if (const std::string why = writeTextFile(*path, text); !why.empty()) {
        host.MsgBox("The curves were not saved to " + *path + ": " + why + ".");
        return;
    }
    r.CURVESCHANGED = 0;
    if (!r.RECOVERYWRITTEN.empty()) {
        std::remove(r.RECOVERYWRITTEN.c_str());
        r.RECOVERYWRITTEN.clear();
    }
    v.form().Caption = "Curves saved to " + *path;
}

void OPENCURVES(Vylsf& v)
{
    VylsfRecord& r = v.r;
    Host& host = v.host();
    const auto path = host.openFileDialog(kCurvesFilter);
    if (!path) return;
    std::string why;
    const auto text = readTextFile(*path, why);
    if (!text) {
        host.MsgBox("The curves file " + *path + " was not opened: " + why + ".");
        return;
    }
    CurvesFile file;
    if (const std::string error = readCurvesFile(*text, file); !error.empty()) {
        host.MsgBox("The curves file " + *path + " was not opened: " + error + ". The stored curves are unchanged.");
        return;
    }
    // Which stored curves the file replaces, and whether any stored curve stays.
    std::set<size_t> mtfReplaced, noiseReplaced;
    for (const FileCurve& c : file.curves) {
        (c.kind == "mtf" ? mtfReplaced : noiseReplaced).insert(static_cast<size_t>(c.number - 1));
    }
    std::string replaced;
    bool oldCurveStays = false;
    for (size_t slot = 0; slot < kCurveSlots; ++slot) {
        const bool mtf = r.MTFNUM[slot] > 0, noise = r.NPSNUM[slot] > 0;
        if ((mtf && mtfReplaced.count(slot)) || (noise && noiseReplaced.count(slot))) {
            replaced += (replaced.empty() ? "No." : ", No.") + std::to_string(slot + 1);
        }
        if ((mtf && !mtfReplaced.count(slot)) || (noise && !noiseReplaced.count(slot))) oldCurveStays = true;
    }
    if (r.CURVESCHANGED == 1 && !replaced.empty() &&
        host.MsgBoxYesNoCancel("The file replaces the stored curves " + replaced +
                               ", which were not saved. Open it anyway?") != MsgBoxAnswer::Yes) {
        return;
    }
    applyCurvesFile(file, r);
    // Curves that were not saved and stay keep the store marked as changed.
    r.CURVESCHANGED = r.CURVESCHANGED == 1 && oldCurveStays ? 1 : 0;
    v.form().Caption = "Curves opened from " + *path;
}

void keepUnsavedCurves(Vylsf& v)
{
    VylsfRecord& r = v.r;
    if (r.CURVESCHANGED != 1) {
        // Saved since (or nothing new): the recovery this session wrote is out of date.
        if (!r.RECOVERYWRITTEN.empty()) {
            std::remove(r.RECOVERYWRITTEN.c_str());
            r.RECOVERYWRITTEN.clear();
        }
        return;
    }
    const std::string folder = v.host().dataFolder();
    if (folder.empty()) return;
    std::string path = folder + "/" + kRecoveryName;
    // A recovery file of an earlier session that could not be read stays where it is.
    if (path != r.RECOVERYWRITTEN && fileExists(path)) path = offeredPath(folder);
    if (const std::string why = writeTextFile(path, curvesFileText(r)); !why.empty()) {
        v.host().MsgBox("The curves that were not saved could not be kept in " + path + ": " + why + ".");
        return;
    }
    r.RECOVERYWRITTEN = path;
}

void offerKeptCurves(Vylsf& v)
{
    VylsfRecord& r = v.r;
    Host& host = v.host();
    if (r.RECOVERYOFFERED == 1) return;
    r.RECOVERYOFFERED = 1;
    const std::string path = recoveryPath(v);
    if (path.empty() || !fileExists(path)) return;
    std::string why;
    const auto text = readTextFile(path, why);
    CurvesFile file;
    if (text) why = readCurvesFile(*text, file);
    if (!why.empty()) {
        host.MsgBox("Curves kept from a session that ended without saving them could not be read from " + path +
                    ": " + why + ". The file is left there.");
        return;
    }
    const std::string folder = path.substr(0, path.size() - std::string(kRecoveryName).size() - 1);
    const std::string keptAs = offeredPath(folder);
    const MsgBoxAnswer answer = host.MsgBoxYesNoCancel(
        "Curves from a session that ended without saving them were kept. Open them?\n(The file stays as " +
        keptAs + ".)");
    if (const std::string failed = renameFile(path, keptAs); !failed.empty()) {
        host.MsgBox("The recovery file " + path + " could not be renamed to " + keptAs + ": " + failed +
                    ". It will be offered again.");
    }
    if (answer != MsgBoxAnswer::Yes) return;
    applyCurvesFile(file, r);
    // They are not in a file of the operator's yet: a session that ends unsaved keeps them again.
    r.CURVESCHANGED = 1;
    v.form().Caption = "Curves opened from " + keptAs;
}

} // namespace vantry
