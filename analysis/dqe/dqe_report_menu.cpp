#include "dqe_report_menu.h"

#include "curve_numbers.h"
#include "dqe.h"
#include "iec_report.h"
#include "mtf.h"
#include "numtext.h"

#include <cmath>
#include <string>

namespace vantry {
namespace {

/// The direction of a stored precise curve from its label ("NAME H P"), or an empty text.
std::string preciseDirection(const VylsfRecord& r, size_t slot)
{
    const std::string& label = r.DATALBL[slot];
    if (r.MTFHASERR[slot] != 1 || label.size() < 4) return {};
    const std::string tail = label.substr(label.size() - 4);
    return tail == " H P" ? " H" : tail == " V P" ? " V" : "";
}

/// The last stored precise curve of that direction (its data number), else 1.
int16_t lastPrecise(const VylsfRecord& r, const std::string& dir)
{
    for (size_t slot = kCurveSlots; slot-- > 0;) {
        if (r.MTFNUM[slot] >= 4 && preciseDirection(r, slot) == dir) return static_cast<int16_t>(slot + 1);
    }
    return 1;
}

/// The stored curve as the precise method gave it: grid, MTF and standard errors.
PreciseMtfResult storedPrecise(const VylsfRecord& r, size_t slot, const std::string& dir)
{
    PreciseMtfResult m;
    m.dir = dir;
    for (int32_t i = 0; i < r.MTFNUM[slot]; ++i) {
        m.freq.push_back(r.MTFFRQ[slot][i]);
        m.mtf.push_back(r.MTFVAL[slot][i]);
        m.se.push_back(r.MTFERR[slot][i]);
    }
    return m;
}

} // namespace

ReportFile curveSource(const Vylsf& v, int view)
{
    const Workspace& ws = v.k.ws;
    const RoiRecord& roi = v.k.roi[view];
    return {"", ws.FNAME[view], ws.PRESETNAME[view], ws.PIXMM[view], ws.READFACTS[view].pitchFrom,
            std::to_string(roi.ROIX) + "," + std::to_string(roi.ROIY) + "," + std::to_string(roi.ROIW) + "," +
                std::to_string(roi.ROIH)};
}

void DQEREPORT(Vylsf& v)
{
    VylsfRecord& r = v.r;
    Host& host = v.host();
    if (r.IECNPS.freq.empty()) {
        host.MsgBox("The report pairs the precise MTF of an H and a V edge (\"Precise MTF...\") with the "
                    "flat field's \"IEC NNPS\": measure the flat field with \"IEC NNPS\" first.");
        return;
    }
    const char* names[2] = {" H", " V"};
    PreciseMtfResult edges[2];
    size_t slots[2] = {0, 0};
    for (int d = 0; d < 2; ++d) {
        const std::string prompt = std::string("MTF") + names[d] + " data No.= ";
        const auto slot = askStoredCurve(v, prompt, lastPrecise(r, names[d]), CurveKind::Mtf);
        if (!slot) return;
        slots[d] = *slot;
        const auto number = std::optional<int>(static_cast<int>(*slot + 1));
        if (preciseDirection(r, slots[d]) != names[d]) {
            host.MsgBox("Curve No." + std::to_string(*number) + " (" + r.DATALBL[slots[d]] +
                        ") is not a precise MTF of an edge with its profile along " + (d == 0 ? "x" : "y") +
                        ": measure that edge with \"Precise MTF...\".");
            return;
        }
        edges[d] = storedPrecise(r, slots[d], names[d]);
    }
    const double pitch = r.IECSOURCE.pitchMm;
    for (const size_t slot : slots) {
        if (std::fabs(r.MTFPITCH[slot] - pitch) > 1e-6 * pitch) {
            host.MsgBox("The MTF curve " + r.DATALBL[slot] + " was measured on pixels of " +
                        plainNumberTrimmed(r.MTFPITCH[slot]) + " mm and the IEC NNPS on pixels of " +
                        plainNumberTrimmed(pitch) + " mm: the DQE needs both from pixels of one size.");
            return;
        }
    }
    const auto asked = askBeamAndKerma(v);
    if (!asked) return;
    const IecDqeResult dqe = combineIecDqe(edges[0], edges[1], r.IECNPS, asked->q, asked->kerma);
    if (!dqe.error.empty()) {
        host.MsgBox(dqe.error);
        return;
    }
    const auto path = host.saveFileDialog("PDF (*.pdf)|*.pdf", "dqe-report.pdf");
    if (!path) return;

    IecDqeInputs inputs{asked->kerma, asked->name, asked->edition, asked->q, asked->qFrom, {}, pitch};
    std::string ignored;
    if (const auto f = parseConversion(r.IECCONV, ignored)) inputs.conversion = *f;
    DqeReport report;
    fillIecReport(report, edges[0], edges[1], r.IECNPS, dqe, inputs);
    for (int d = 0; d < 2; ++d) {
        ReportFile file = r.MTFSOURCE[slots[d]];
        file.role = std::string("Edge") + names[d];
        report.files.push_back(file);
    }
    ReportFile flat = r.IECSOURCE;
    flat.role = "Flat field";
    report.files.push_back(flat);
    report.warnings = r.IECNPS.warnings;
    report.warnings.insert(report.warnings.end(), dqe.warnings.begin(), dqe.warnings.end());
    if (const std::string why = host.writeReport(report, *path); !why.empty()) {
        host.MsgBox("The report was not written to " + *path + ": " + why + ".");
        return;
    }
    v.form().Caption = "DQE report " + *path;
    showWarnings(host, dqe.warnings);
}

} // namespace vantry
