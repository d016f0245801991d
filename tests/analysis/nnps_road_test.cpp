// A noise measurement as an operator makes it, on the scripted host: the bundled flat field read
// with its detector entry, the ROI sized with its boxes, then the "Noise" menu of the analysis
// window from computation to comparison and clipboard, an MTF in between, and the refusals.
#include "caption_host.h"
#include "esf.h"
#include "form_load.h"
#include "image_opening.h"
#include "lsf.h"
#include "mtf.h"
#include "nnps.h"
#include "nnps_chart.h"
#include "pic_click.h"
#include "size_controls.h"
#include "vylsf.h"

#include "kernel_binding.h"
#include "korvelf.h"
#include "numtext.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

using namespace vantry;

namespace {

std::vector<std::string> crlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(text.substr(at, end - at));
    }
    EXPECT_EQ(at, text.size()) << "every line ends with CR LF";
    return lines;
}

/// The flat field of make-samples: white Gaussian noise of 25 on 2000, whole pixel values (which
/// add 1/12), pixels of 0.1 mm. Its NNPS is (625 + 1/12) / 2000^2 x 0.1^2 mm^2 at every frequency.
constexpr double kFlatLevel = (625.0 + 1.0 / 12.0) / (2000.0 * 2000.0) * 0.01;

/// Positions (u, v), u = 1 .. uMax, v = 1 .. vMax, that fall into radial bin k at 0.1 mm.
int positionsInBin(int k, int uMax, int vMax)
{
    int count = 0;
    for (int u = 1; u <= uMax; ++u) {
        for (int v = 1; v <= vMax; ++v) {
            count += std::nearbyint(std::sqrt(u * u + v * v) / 5.12) == k;
        }
    }
    return count;
}

class NnpsRoad : public testing::Test {
protected:
    NnpsRoad()
    {
        k.ws.programFolder = VANTRY_BIN_DIR;
        host.form = &k.vylsf;
    }

    /// Chooses the detector entry named `name` and reads `file` of the program's folder with it.
    void read(const std::string& name, const std::string& file)
    {
        int entry = -1;
        for (size_t i = 0; i < k.form.CMB1.List.size(); ++i) {
            if (k.form.CMB1.List[i].rfind(name + " ", 0) == 0) entry = static_cast<int>(i);
        }
        ASSERT_GE(entry, 0) << name << " is in the shipped detector list";
        CMB1_Click(k, entry);
        host.fileDialogAnswers.push_back(std::string(VANTRY_BIN_DIR) + "/" + file);
        Command1_Click(k);
        ASSERT_TRUE(host.messages.empty()) << host.messages.front();
        ASSERT_EQ(k.ws.LOADED[k.ws.CURSLOT], 1);
    }

    /// Types the ROI size into both boxes and takes it with a click on their label.
    void typeRoiSize(const char* width, const char* height)
    {
        k.form.ROIXSZTX.Text = width;
        k.form.ROIYSZTX.Text = height;
        ROILBL_Click(k);
    }

    /// Runs a menu handler with the given answers; returns the prompts it asked.
    std::vector<ScriptedHost::Prompt> menu(void (*handler)(Vylsf&),
                                           std::initializer_list<const char*> answers)
    {
        host.inputAnswers.clear();
        for (const char* a : answers) host.inputAnswers.emplace_back(a);
        host.captions.clear();
        const size_t asked = host.prompts.size();
        handler(v);
        EXPECT_TRUE(host.inputAnswers.empty()) << "every answer was asked for";
        return {host.prompts.begin() + static_cast<std::ptrdiff_t>(asked), host.prompts.end()};
    }

    double power(int d, int point) const
    {
        return std::pow(10.0, v.r.NPSVAL[static_cast<size_t>(d - 1)][static_cast<size_t>(point)]);
    }

    /// The legend texts and the heights of their colour samples in the chart's display list.
    void expectLegends(const std::vector<std::pair<std::string, int>>& legends)
    {
        std::vector<std::string> texts;
        for (const DrawCall& c : host.canvas.calls) {
            if (c.kind == DrawCall::Kind::Print && c.text.rfind("  ", 0) == 0)
                texts.push_back(c.text);
        }
        std::vector<std::string> expected;
        for (const auto& [label, d] : legends) {
            expected.push_back("  " + label);
            // Row d - 1: a sample of 0.07 XMAX from 0.68 XMAX at 0.95 YMAX - 0.08 YMAX (d - 1),
            // in the colour of data number d; the label starts 0.1 above its right end.
            const double row = 0.95 * 4 - 0.08 * 4 * (d - 1);
            const int colour = v.r.COLTAB[static_cast<size_t>(d - 1)];
            bool sample = false, text = false;
            for (size_t i = 0; i + 1 < host.canvas.calls.size(); ++i) {
                const DrawCall& c = host.canvas.calls[i];
                if (c.kind == DrawCall::Kind::Line && c.value == colour && c.y1 == c.y2 &&
                    std::abs(c.y1 - row) < 1e-6) {
                    sample = std::abs(c.x1 - 0.68 * 3) < 1e-6 && std::abs(c.x2 - 0.75 * 3) < 1e-6;
                }
                if (c.kind == DrawCall::Kind::Print && c.text == "  " + label) {
                    text = std::abs(c.x1 - 0.75 * 3) < 1e-6 && std::abs(c.y1 - (row + 0.1)) < 1e-6;
                }
            }
            EXPECT_TRUE(sample) << "colour sample of " << label << " in row " << d;
            EXPECT_TRUE(text) << "label " << label << " beside its sample";
        }
        EXPECT_EQ(texts, expected);
    }

    /// Stored points of data number d against the flat field's level: each is a mean of
    /// exponentially distributed powers, three positions a block, (u, v), (-u, v) and (u, -v),
    /// of which the last two mirror each other in a real block. Two independent powers weighted
    /// 1 and 2 have 5/9 of the variance of one: 1.8 samples a position. Allowed: 5 deviations.
    void expectFlatLevel(int d, int uMax, int vMax, int blocks)
    {
        for (int bin = 1; bin <= 25; ++bin) {
            const double samples = 1.8 * positionsInBin(bin, uMax, vMax) * blocks;
            EXPECT_NEAR(power(d, bin - 1) / kFlatLevel, 1.0, 5 / std::sqrt(samples))
                << "data number " << d << ", bin " << bin;
        }
    }

    CaptionHost host;
    KernelBinding kernels{VANTRY_BIN_DIR};
    Korvelf k{host, kernels};
    Vylsf v{k};
};

TEST_F(NnpsRoad, FlatFieldFromComputationToComparisonAndClipboard)
{
    ASSERT_TRUE(Form_Load(k));
    Form_Load(v);
    read("SAMPLE-FLAT-RAW", "sample_flat.raw");
    ASSERT_EQ(k.ws.PRESETNAME[0], "SAMPLE-FLAT-RAW");
    // Each click on a size box steps it along 128, 256, 512, ...: clicked until it shows 512.
    for (int i = 0; i < 8 && k.form.ROIXSZTX.Text != "512"; ++i) ROIXSZTX_Click(k);
    for (int i = 0; i < 8 && k.form.ROIYSZTX.Text != "512"; ++i) ROIYSZTX_Click(k);
    ASSERT_EQ(k.roi[0].ROIW, 512);
    ASSERT_EQ(k.roi[0].ROIH, 512);
    MEASUREGO_Click(k);
    ASSERT_TRUE(host.analysisWindowShown);

    // "2D-NNPS": four blocks, data number 1 offered on a fresh window.
    auto asked = menu(NNPS2D_Click, {ScriptedHost::kAcceptDefault});
    ASSERT_EQ(v.r.NPSNUM[0], 25) << (host.messages.empty() ? "" : host.messages.back());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].prompt, "Data No.= ");
    EXPECT_EQ(asked[0].deflt, " 1");
    EXPECT_EQ(host.captions, (std::vector<std::string>{" 0/ 3", " 1/ 3", " 2/ 3", " 3/ 3"}));
    EXPECT_EQ(v.r.DATANO, 1);
    EXPECT_EQ(v.r.DSPMODE, 4);
    EXPECT_EQ(v.form().Caption, "SAMPLE-FLAT-RAW R");
    for (int i = 0; i < 25; ++i) {
        EXPECT_NEAR(v.r.NPSFRQ[0][static_cast<size_t>(i)], 0.2 * (i + 1), 1e-5) << "up to Nyquist";
    }
    expectFlatLevel(1, 128, 128, 4);
    // The table right after it: the label, then the power at 0.1, 0.2, ... 3.1 cycles/mm (all
    // below the last stored point); at the stored frequencies the spline passes through the
    // stored points.
    auto lines = crlfLines(host.clipboardText);
    ASSERT_EQ(lines.size(), 1u + 31u);
    EXPECT_EQ(lines[0], "SAMPLE-FLAT-RAW R");
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_NEAR(std::stod(lines[i]) / kFlatLevel, 1.0, 0.3) << lines[i];
        if (i % 2 == 0) {
            EXPECT_NEAR(std::stod(lines[i]), power(1, static_cast<int>(i / 2 - 1)),
                        0.006 * kFlatLevel)
                << "at " << i / 10.0 << " cycles/mm: " << lines[i];
        }
    }
    expectLegends({{"SAMPLE-FLAT-RAW R", 1}});
    EXPECT_EQ(v.r.NEXTNO, 2);

    // "1D-NNPS" along x, 7 lines either side of the axis: number 2 offered after one curve.
    asked = menu(NNPS1D_Click, {"0", ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault});
    ASSERT_EQ(v.r.NPSNUM[1], 25) << (host.messages.empty() ? "" : host.messages.back());
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].prompt, "Direction 0..H  1..V = ");
    EXPECT_EQ(asked[1].prompt, "Average line number = ");
    EXPECT_EQ(asked[1].deflt, " 7");
    EXPECT_EQ(asked[2].deflt, " 2");
    EXPECT_EQ(host.captions, (std::vector<std::string>{" 0/ 3", " 1/ 3", " 2/ 3", " 3/ 3"}));
    EXPECT_EQ(v.r.DATANO, 2);
    EXPECT_EQ(v.form().Caption, "SAMPLE-FLAT-RAW H");
    EXPECT_EQ(v.r.NPSFRQ[1], v.r.NPSFRQ[0]);
    EXPECT_NE(v.r.NPSVAL[1], v.r.NPSVAL[0]) << "a band of the spectrum, not all of it";
    expectFlatLevel(2, 128, 7, 4);
    lines = crlfLines(host.clipboardText);
    ASSERT_EQ(lines.size(), 1u + 31u);
    EXPECT_EQ(lines[0], "SAMPLE-FLAT-RAW H");
    expectLegends({{"SAMPLE-FLAT-RAW R", 1}, {"SAMPLE-FLAT-RAW H", 2}});
    EXPECT_EQ(v.r.NEXTNO, 3);

    // "Compare_NNPS": the legend row belongs to the data number, whatever the selection.
    asked = menu(NPSCOMP_Click, {"2"});
    EXPECT_EQ(asked.at(0).prompt, "Selection (ex. 1 or 2-4 or 2,4,5) = ");
    expectLegends({{"SAMPLE-FLAT-RAW H", 2}});
    EXPECT_EQ(v.r.NEXTNO, 2);
    menu(NPSCOMP_Click, {"1-2"});
    expectLegends({{"SAMPLE-FLAT-RAW R", 1}, {"SAMPLE-FLAT-RAW H", 2}});
    EXPECT_EQ(v.r.NEXTNO, 3);
    EXPECT_EQ(v.r.DSPMODE, 4);

    // "Clip NNPS ": the last curve offered, resampled every 0.1 up to 3 cycles/mm.
    asked = menu(NPSCLIP_Click, {ScriptedHost::kAcceptDefault});
    EXPECT_EQ(asked.at(0).prompt, "Data No.=");
    EXPECT_EQ(asked.at(0).deflt, " 2");
    lines = crlfLines(host.clipboardText);
    ASSERT_EQ(lines.size(), 1u + 30u);
    EXPECT_EQ(lines[0], "\tSAMPLE-FLAT-RAW H");
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t tab = lines[i].find('\t');
        ASSERT_NE(tab, std::string::npos) << lines[i];
        EXPECT_EQ(lines[i].substr(0, tab), fixed2(static_cast<double>(i) / 10));
        EXPECT_EQ(lines[i].size() - tab - 1, 10u) << "eight decimals: " << lines[i];
        if (i % 2 == 0) {
            EXPECT_NEAR(std::stod(lines[i].substr(tab + 1)), power(2, static_cast<int>(i / 2 - 1)),
                        0.51e-8)
                << lines[i];
        }
    }
    menu(NPSCLIP_Click, {"1"});
    EXPECT_EQ(crlfLines(host.clipboardText).at(0), "\tSAMPLE-FLAT-RAW R");
}

TEST_F(NnpsRoad, AnMtfInBetweenKeepsItsNumberAndRefusalsKeepTheStore)
{
    ASSERT_TRUE(Form_Load(k));
    Form_Load(v);
    read("SAMPLE-FLAT-RAW", "sample_flat.raw");
    typeRoiSize("512", "256");
    MEASUREGO_Click(k);
    menu(NNPS2D_Click, {ScriptedHost::kAcceptDefault});
    ASSERT_EQ(v.r.NPSNUM[0], 25);
    EXPECT_EQ(host.captions, (std::vector<std::string>{" 0/ 1", " 1/ 1"}));

    // The edge sample in the other view, its MTF stored as data number 2.
    PIC_Click(k, 1);
    read("SAMPLE-EDGE-RAW", "sample_edge.raw");
    k.roi[1] = {362, 412, 300, 200}; // dragged across the edge
    MEASUREGO_Click(k);
    menu(DSPESF, {ScriptedHost::kAcceptDefault});
    menu(ESFOK, {"0"});
    const auto asked = menu(MTFCLC, {ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault,
                                     ScriptedHost::kAcceptDefault});
    ASSERT_EQ(v.r.DSPMODE, 3) << (host.messages.empty() ? "" : host.messages.back());
    EXPECT_EQ(asked.back().deflt, " 2");
    EXPECT_EQ(v.r.DATALBL[1], "SAMPLE-EDGE-RAW H");

    // Back on the flat field, the next noise curve is offered the first free number, 3: neither
    // the noise curve under 1 nor the MTF under 2.
    PIC_Click(k, 0);
    ASSERT_EQ(k.ws.PRESETNAME[0], "SAMPLE-FLAT-RAW");
    const auto again = menu(NNPS2D_Click, {ScriptedHost::kAcceptDefault});
    EXPECT_EQ(again.at(0).deflt, " 3");
    EXPECT_EQ(v.r.NPSNUM[2], 25);
    EXPECT_EQ(v.r.NPSVAL[2], v.r.NPSVAL[0]) << "the same ROI measures the same";
    EXPECT_EQ(v.r.DATALBL[1], "SAMPLE-EDGE-RAW H") << "the MTF's label stays with its number";

    // A ROI of 300 x 256 is not a whole number of blocks: the items do nothing at all.
    typeRoiSize("300", "256");
    ASSERT_EQ(k.roi[0].ROIW, 300);
    const VylsfRecord before = v.r;
    const std::string clipboard = host.clipboardText, caption = v.form().Caption;
    const size_t drawn = host.canvas.calls.size();
    for (auto* item : {NNPS2D_Click, NNPS1D_Click, NPS2D_Click}) {
        EXPECT_TRUE(menu(item, {}).empty());
    }
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.captions.empty());
    EXPECT_EQ(v.r.NPSVAL, before.NPSVAL);
    EXPECT_EQ(v.r.NPSNUM, before.NPSNUM);
    EXPECT_EQ(v.r.DATANO, before.DATANO);
    EXPECT_EQ(host.clipboardText, clipboard);
    EXPECT_EQ(v.form().Caption, caption);
    EXPECT_EQ(host.canvas.calls.size(), drawn);

    // A band of 0 or 129 lines is refused with a message before anything is computed.
    typeRoiSize("512", "256");
    for (const char* lines : {"0", "129"}) {
        host.messages.clear();
        const auto refused = menu(NNPS1D_Click, {"0", lines});
        ASSERT_EQ(host.messages.size(), 1u) << lines;
        EXPECT_NE(host.messages[0].find(std::string(" ") + lines + " "), std::string::npos)
            << host.messages[0];
        EXPECT_EQ(refused.size(), 2u) << "no data number asked";
        EXPECT_TRUE(host.captions.empty()) << "no block computed";
        EXPECT_EQ(v.r.NPSVAL, before.NPSVAL);
        EXPECT_EQ(v.r.NPSNUM, before.NPSNUM);
        EXPECT_EQ(host.clipboardText, clipboard);
    }
}

} // namespace
