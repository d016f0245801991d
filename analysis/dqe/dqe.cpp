#include "dqe.h"

#include "beam_qualities.h"
#include "curve_numbers.h"
#include "chart_text.h"
#include "numtext.h"
#include "prompts.h"
#include "spline.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace vantry {
namespace {

constexpr int kDqeColour = 14;
constexpr int kLimitColour = 12; ///< light red: the line DQE = 1
/// The physical ranges of a detector measurement (kMinKerma .. kMaxQ in dqe.h): beyond them the
/// numbers are typing errors, and the chart's grid would step by infinities.
constexpr const char* kDefaultEdition = "2015";

std::string trimmed(const std::string& text)
{
    const size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos) return {};
    return text.substr(from, text.find_last_not_of(" \t") + 1 - from);
}

/// The NNPS "DQE calc." offers: the normalised curve stored last, else the first normalised curve
/// in the store, else 1.
int16_t defaultNnpsNo(const VylsfRecord& r)
{
    if (holdsCurve(r, CurveKind::Nnps, r.LASTNPSNO) && r.NPSRAW[static_cast<size_t>(r.LASTNPSNO - 1)] == 0) {
        return r.LASTNPSNO;
    }
    for (int16_t d = 1; d <= 7; ++d) {
        const auto slot = static_cast<size_t>(d - 1);
        if (r.NPSNUM[slot] >= 4 && r.NPSRAW[slot] == 0) return d;
    }
    return 1;
}

std::string pitchText(float pitch)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(pitch));
    return buf;
}

/// A note on the beam list as a warning line: "warning line 5 of the beam list repeats ...".
std::string asWarning(std::string text)
{
    if (!text.empty() && text.back() == '.') text.pop_back();
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return "warning " + text;
}

} // namespace

DqePoint dqeAt(double mtf, double nnps, double q, double kerma)
{
    const double neq = mtf * mtf / nnps;
    return {neq, neq / (q * kerma)};
}

std::optional<BeamAndKerma> askBeamAndKerma(Vylsf& v)
{
    VylsfRecord& r = v.r;
    Host& host = v.host();
    BeamAndKerma out;
    const auto beam = host.InputBox("Beam quality = ", r.DQEBEAM);
    if (!beam) return std::nullopt;
    const std::string name = trimmed(*beam);
    const auto editionAnswer = host.InputBox("Edition (2015 or 2003) = ", kDefaultEdition);
    if (!editionAnswer) return std::nullopt;
    std::string edition = trimmed(*editionAnswer);
    if (edition.empty()) edition = kDefaultEdition;
    if (edition != "2015" && edition != "2003") {
        host.MsgBox("The edition must be 2015 or 2003, not " + edition + ".");
        return std::nullopt;
    }
    const BeamList list = readBeamList(v.k.ws.programFolder / kBeamListFileName);
    const BeamQuality* listed = findBeam(list, name, edition);
    // A repeated line never counts, which a site editing the list wants to know; the list's other
    // faults matter only when the beam is not found in what could be read.
    std::vector<std::string> notes = list.repeats();
    if (listed == nullptr) {
        for (const std::string& e : list.faults()) notes.push_back(e);
    }
    for (const std::string& e : notes) host.MsgBox(asWarning(e));
    // q is always asked: the listed value is offered, and a typed one overrides it.
    const std::string offered = plainNumber(listed != nullptr ? listed->q : r.DQEQ);
    const auto typed = host.InputBox("q (1/(mm^2 uGy)) for " + name + " = ", offered);
    if (!typed) return std::nullopt;
    double q = 0;
    if (listed != nullptr && (*typed == offered || trimmed(*typed).empty())) {
        q = listed->q;
    } else {
        q = leadingNumber(*typed);
    }
    if (!(q >= kMinQ && q <= kMaxQ)) {
        host.MsgBox("q must be a number of photons per mm^2 and uGy from 1000 to 1000000, not " +
                    plainNumberTrimmed(q) + ".");
        return std::nullopt;
    }
    const auto kerma = askNumberOrCancel(host, "Air kerma (uGy) = ", plainNumber(r.DQEKERMA));
    if (!kerma) return std::nullopt;
    if (!(*kerma >= kMinKerma && *kerma <= kMaxKerma)) {
        host.MsgBox("The air kerma must be a number of uGy from 0.001 to 100000, not " +
                    plainNumberTrimmed(*kerma) + ".");
        return std::nullopt;
    }
    out.name = name;
    out.edition = edition;
    out.q = q;
    out.qFrom = listed != nullptr && q == listed->q ? std::string(kBeamListFileName) + ", " + listed->edition : "typed";
    out.kerma = *kerma;
    return out;
}

void DQECLC(Vylsf& v)
{
    VylsfRecord& r = v.r;
    Host& host = v.host();
    const auto mtfSlot = askStoredCurve(v, "MTF data No.= ", lastStoredNumber(r, CurveKind::Mtf), CurveKind::Mtf);
    if (!mtfSlot) return;
    const auto npsSlot = askStoredCurve(v, "NNPS data No.= ", defaultNnpsNo(r), CurveKind::Nnps);
    if (!npsSlot) return;
    const size_t m = *mtfSlot, n = *npsSlot;
    const auto mtfNo = std::optional<int16_t>(static_cast<int16_t>(m + 1));
    const auto npsNo = std::optional<int16_t>(static_cast<int16_t>(n + 1));
    if (r.NPSRAW[n] == 1) {
        host.MsgBox("Curve No." + std::to_string(*npsNo) +
                    " is an absolute NPS (\"2D-NPS\"): the DQE needs a normalised one (\"2D-NNPS\" or "
                    "\"1D-NNPS\").");
        return;
    }
    // The two curves are combined frequency by frequency: they must come from pixels of one size.
    const float mtfPitch = r.MTFPITCH[m], npsPitch = r.NPSPITCH[n];
    if (mtfPitch > 0 && npsPitch > 0 &&
        std::fabs(mtfPitch - npsPitch) > 1e-6f * std::max(mtfPitch, npsPitch)) {
        host.MsgBox("The MTF curve No." + std::to_string(*mtfNo) + " was measured on pixels of " +
                    pitchText(mtfPitch) + " mm and the NNPS curve No." + std::to_string(*npsNo) +
                    " on pixels of " + pitchText(npsPitch) +
                    " mm: the DQE needs both from pixels of one size.");
        return;
    }
    const auto asked = askBeamAndKerma(v);
    if (!asked) return;
    const double q = asked->q;
    const double kerma = asked->kerma;
    const std::string& name = asked->name;
    const std::string& edition = asked->edition;

    const float lastMtf = r.MTFFRQ[m][r.MTFNUM[m] - 1];
    const float lastNps = r.NPSFRQ[n][r.NPSNUM[n] - 1];
    std::vector<double> f, mtf, nnps, neq, dqe;
    WorkingCurve& w = v.curve;
    loadWorkingCurve(w, r.MTFFRQ[m].data(), r.MTFVAL[m].data(), r.MTFNUM[m]);
    for (int32_t i = 0; i < r.NPSNUM[n]; ++i) {
        const float at = r.NPSFRQ[n][i];
        // Both grids are sums of single-precision steps: 5.0 on one may be 5.0000005 on the other.
        const float slack = 1e-5f * at;
        if (at > lastMtf + slack || at > lastNps + slack) break;
        f.push_back(at);
        mtf.push_back(splineAt(w, at));
    }
    if (f.empty()) {
        host.MsgBox("The MTF curve ends before the NNPS curve's first frequency: there is nothing to combine.");
        return;
    }
    loadWorkingCurve(w, r.NPSFRQ[n].data(), r.NPSVAL[n].data(), r.NPSNUM[n]);
    for (size_t i = 0; i < f.size(); ++i) {
        nnps.push_back(std::pow(10.0, static_cast<double>(splineAt(w, static_cast<float>(f[i])))));
        const DqePoint p = dqeAt(mtf[i], nnps[i], q, kerma);
        if (!std::isfinite(p.neq) || !std::isfinite(p.dqe)) {
            host.MsgBox("The NEQ or DQE at " + plainNumberTrimmed(f[i]) +
                        " cycles/mm is not a finite number (NNPS " + plainNumberTrimmed(nnps[i]) +
                        "): nothing was computed.");
            return;
        }
        neq.push_back(p.neq);
        dqe.push_back(p.dqe);
    }
    r.DQEBEAM = name;
    r.DQEEDITION = edition;
    r.DQEQ = q;
    r.DQEKERMA = static_cast<float>(kerma);
    r.DQEMTFNO = *mtfNo;
    r.DQENPSNO = *npsNo;
    r.DQEFRQ = std::move(f);
    r.DQEMTF = std::move(mtf);
    r.DQENPS = std::move(nnps);
    r.DQENEQ = std::move(neq);
    r.DQEVAL = std::move(dqe);
    r.DSPMODE = kDqeMode;
    DQEDSP(v);
    v.form().Caption = "DQE " + r.DATALBL[m] + " / " + r.DATALBL[n];
    const auto highest = std::max_element(r.DQEVAL.begin(), r.DQEVAL.end());
    if (*highest > 1) {
        const size_t at = static_cast<size_t>(highest - r.DQEVAL.begin());
        host.MsgBox("warning the DQE reaches " + fixed4(*highest) + " at " + fixed2(r.DQEFRQ[at]) +
                    " cycles/mm, above 1, which no detector reaches: check the air kerma, the beam's q "
                    "and that the image is linear in dose");
    }
}

void DQEDSP(Vylsf& v)
{
    VylsfRecord& r = v.r;
    VylsfForm& form = v.form();
    for (Control& b : form.CENADJ) b.Visible = false;
    form.FINESTP.Visible = form.LOGLSFCK.Visible = false;
    Canvas& c = v.canvas();
    const double xmax = r.NFMAX;
    double ymax = 1.2;
    for (double d : r.DQEVAL) ymax = std::max(ymax, 1.05 * d);
    c.scale(-0.15 * xmax, 1.3 * ymax, 1.2 * xmax, -1.5 * ymax);
    c.cls();
    c.setDrawWidth(2);
    c.line(0, 0, xmax, 0, kForeColour);
    c.line(0, 0, 0, ymax, kForeColour);
    c.setDrawWidth(1);
    c.setDrawStyle(kDotted);
    for (int i = 1; i <= 4; ++i) c.line(i * xmax / 4, 0, i * xmax / 4, ymax, kForeColour);
    // Grid every 0.2 up to 1.2, coarser in the same proportion above, so a far too high DQE
    // still gets a readable chart.
    const double step = 0.2 * std::ceil(ymax / 1.2 - 1e-9);
    c.setDrawStyle(kSolid);
    std::vector<TickLabel> xLabels{{0, "0"}};
    for (int i = 1; i <= 4; ++i) xLabels.push_back({i * xmax / 4, tickText(i * xmax / 4, 1, 2)});
    xTickLabels(c, xLabels, -0.01 * ymax);
    c.setDrawStyle(kDotted);
    for (int i = 1; i * step <= ymax + 1e-9; ++i) c.line(0, i * step, xmax, i * step, kForeColour);
    c.setDrawStyle(kSolid);
    const double lh = c.lineHeight();
    int lastGrid = 0;
    for (int i = 1; i * step <= ymax + 1e-9; ++i) {
        yTickLabel(c, 0, i * step, tickText(i * step, 1, 1));
        lastGrid = i;
    }
    // The axis's end carries its value too, unless the top grid label is in its way.
    if (ymax - lastGrid * step > 1.2 * lh) yTickLabel(c, 0, ymax, tickText(ymax, 1, 1));
    const auto printAt = [&](double x, double y, const std::string& text) {
        c.setCurrentPosition(x, y);
        c.print(text, false);
    };
    printAt(0.2 * xmax, -0.01 * ymax - 1.2 * lh, "Spatial Frequency (cycles/mm)");
    // The axis title above the axis, clear of the labels.
    yTickLabel(c, 0, ymax + 1.5 * lh, "DQE");
    if (r.DQEVAL.empty()) return;
    // A DQE above 1 is drawn as it is, against the line no real detector passes.
    if (*std::max_element(r.DQEVAL.begin(), r.DQEVAL.end()) > 1) {
        c.setDrawWidth(1);
        c.line(0, 1, xmax, 1, kLimitColour);
        // Above the line, inside the frame.
        printAt(xmax - c.textWidth("DQE = 1 "), 1 + 1.1 * lh, "DQE = 1");
    }
    const std::string heading = "DQE of " + r.DATALBL[static_cast<size_t>(r.DQEMTFNO - 1)] + " / " +
                                r.DATALBL[static_cast<size_t>(r.DQENPSNO - 1)] + "  " + r.DQEBEAM +
                                " q=" + fixed(r.DQEQ, 0) + " Ka=" + plainTrimmed(r.DQEKERMA) + " uGy";
    // The heading fills the width above the plot and wraps when the window is narrow.
    double top = 1.25 * ymax;
    for (const std::string& line : wrapText(c, heading, 1.2 * xmax - c.textWidth(" "))) {
        printAt(-0.15 * xmax + c.textWidth(" ") / 2, top, line);
        top -= lh;
    }
    c.setDrawWidth(2);
    for (size_t i = 0; i < r.DQEVAL.size() && r.DQEFRQ[i] <= xmax; ++i) {
        if (i == 0) c.point(r.DQEFRQ[i], r.DQEVAL[i], kDqeColour);
        c.line(c.currentX(), c.currentY(), r.DQEFRQ[i], r.DQEVAL[i], kDqeColour);
    }
    c.setDrawWidth(1);
}

void CLIPDQE(Vylsf& v)
{
    const VylsfRecord& r = v.r;
    if (r.DQEVAL.empty()) {
        v.host().MsgBox("no data!");
        return;
    }
    std::string text = "MTF No." + std::to_string(r.DQEMTFNO) + " " + r.DATALBL[static_cast<size_t>(r.DQEMTFNO - 1)] +
                       "\tNNPS No." + std::to_string(r.DQENPSNO) + " " +
                       r.DATALBL[static_cast<size_t>(r.DQENPSNO - 1)] + "\t" + r.DQEBEAM + "\tq=" +
                       fixed(r.DQEQ, 0) + " /(mm^2 uGy)\tKa=" + plainTrimmed(r.DQEKERMA) + " uGy\r\n";
    text += "f (1/mm)\tMTF\tNNPS (mm^2)\tNEQ (1/mm^2)\tDQE\r\n";
    for (size_t i = 0; i < r.DQEVAL.size(); ++i) {
        text += fixed2(r.DQEFRQ[i]) + "\t" + fixed4(r.DQEMTF[i]) + "\t" + exponentText(r.DQENPS[i], 3) +
                "\t" + exponentText(r.DQENEQ[i], 4) + "\t" + fixed4(r.DQEVAL[i]) + "\r\n";
    }
    v.host().setClipboardText(text);
}

} // namespace vantry
