// Chart texts at the grid lines and legends inside the plot, at the smallest window and a wide one;
// MTF50 and MTF10 marks; the NNPS chart's decades following its curves.
#include "analysis_fixture.h"
#include "axdraw.h"
#include "chart_redraw.h"
#include "chart_text.h"
#include "dqe.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "nnps_chart.h"
#include "window_events.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

using namespace vantry;

namespace {

/// The extent of a printed text in user units, y growing upward.
struct Extent {
    double left, right, bottom, top;
    std::string text;
};

class ChartLayout : public AnalysisFixture {
protected:
    RecordingCanvas& canvas() { return host.canvas; }

    std::vector<Extent> texts() const
    {
        std::vector<Extent> out;
        const RecordingCanvas& c = host.canvas;
        for (const auto& call : c.calls) {
            if (call.kind != DrawCall::Kind::Print) continue;
            const double w = c.textWidth(call.text), h = c.lineHeight();
            out.push_back({call.x1, call.x1 + w, call.y1 - h, call.y1, call.text});
        }
        return out;
    }
    /// The surface in user units (y upward: the canvas's height is negative on every chart).
    Extent surface() const
    {
        const RecordingCanvas& c = host.canvas;
        return {c.left, c.left + c.width, c.top + c.height, c.top, ""};
    }
    /// The first printed text that reads `text`.
    std::optional<Extent> find(const std::string& text) const
    {
        for (const Extent& e : texts())
            if (e.text == text) return e;
        return std::nullopt;
    }
    void expectInside(const Extent& inner, const Extent& outer, const std::string& what) const
    {
        EXPECT_GE(inner.left, outer.left - 1e-9) << what << ": " << inner.text;
        EXPECT_LE(inner.right, outer.right + 1e-9) << what << ": " << inner.text;
        EXPECT_GE(inner.bottom, outer.bottom - 1e-9) << what << ": " << inner.text;
        EXPECT_LE(inner.top, outer.top + 1e-9) << what << ": " << inner.text;
    }
    static bool overlap(const Extent& a, const Extent& b)
    {
        return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
    }
    void storeMtf(int d, const std::string& label)
    {
        const auto slot = static_cast<size_t>(d - 1);
        v.r.DATALBL[slot] = label;
        v.r.MTFNUM[slot] = 31;
        for (int n = 0; n < 31; ++n) {
            v.r.MTFFRQ[slot][n] = 0.1f * static_cast<float>(n);
            v.r.MTFVAL[slot][n] = 1.0f - v.r.MTFFRQ[slot][n] / 4.0f;
        }
        v.r.MTFSUM[slot] = {1.55f, 2.83f, 0.0f};
    }
    /// A noise curve of 25 points 0.12 .. 3 cycles/mm at 10^level.
    void storeNoise(int d, const std::string& label, float level, int16_t raw = 0)
    {
        const auto slot = static_cast<size_t>(d - 1);
        v.r.DATALBL[slot] = label;
        v.r.NPSNUM[slot] = 25;
        v.r.NPSRAW[slot] = raw;
        for (int n = 0; n < 25; ++n) {
            v.r.NPSFRQ[slot][n] = 0.12f * static_cast<float>(n + 1);
            v.r.NPSVAL[slot][n] = level - 0.1f * v.r.NPSFRQ[slot][n];
        }
    }
    std::vector<double> verticalDotted() const
    {
        std::vector<double> xs;
        bool dotted = false;
        for (const auto& c : host.canvas.calls) {
            if (c.kind == DrawCall::Kind::Style) dotted = c.value == kDotted;
            if (dotted && c.kind == DrawCall::Kind::Line && c.x1 == c.x2 && c.value == kForeColour)
                xs.push_back(c.x1);
        }
        return xs;
    }
    /// Every text inside the surface, the legend's texts (those after the frame) inside the plot,
    /// and no two texts on top of each other.
    void expectReadable(double plotRight, double plotTop, size_t frameTexts)
    {
        const auto all = texts();
        ASSERT_GT(all.size(), frameTexts);
        for (const Extent& e : all) expectInside(e, surface(), "surface");
        for (size_t i = frameTexts; i < all.size(); ++i)
            expectInside(all[i], Extent{0, plotRight, 0, plotTop, ""}, "plot");
        for (size_t i = 0; i < all.size(); ++i)
            for (size_t j = i + 1; j < all.size(); ++j)
                EXPECT_FALSE(overlap(all[i], all[j])) << all[i].text << " / " << all[j].text;
    }
};

TEST_F(ChartLayout, MtfFrameLabelsEveryGridLineCentredUnderIt)
{
    v.r.FMAX = v.r.XMAX = 3.0f;
    v.r.YMAX = 1;
    canvas().scale(-0.45, 1.3, 3.6, -1.5);
    canvas().cls();
    AXDRAW(v, 0);
    for (const auto& [text, at] : std::map<std::string, double>{
             {"0", 0}, {"0.75", 0.75}, {"1.5", 1.5}, {"2.25", 2.25}, {"3.0", 3.0}}) {
        std::optional<Extent> e = find(text);
        ASSERT_TRUE(e.has_value()) << text;
        EXPECT_NEAR((e->left + e->right) / 2, at, 1e-9) << text;
        EXPECT_NEAR(e->top, -0.01, 1e-12) << text;
    }
    for (const auto& [text, at] : std::map<std::string, double>{{"0.25", 0.25}, {"0.5", 0.5}, {"0.75", 0.75}, {"1.0", 1.0}}) {
        bool found = false;
        for (const Extent& e : texts()) {
            if (e.text != text || e.right > 0) continue;
            found = true;
            EXPECT_NEAR((e.top + e.bottom) / 2, at, 1e-9) << "centred on its grid line: " << text;
            EXPECT_NEAR(e.right, -canvas().textWidth(" "), 1e-9) << "one blank left of the axis";
        }
        EXPECT_TRUE(found) << text;
    }
}

TEST_F(ChartLayout, NnpsGridOfFreqMaxTwoAndAHalfStopsAtTheBorder)
{
    v.r.NFMAX = 2.5f;
    AXDRAW(v, 1);
    // The border at 2.5, whole frequencies 0, 1, 2, and the y axis (wide, so drawn solid).
    EXPECT_EQ(verticalDotted(), (std::vector<double>{2.5, 0, 1, 2, 0}));
    std::vector<std::string> under;
    for (const Extent& e : texts())
        if (e.top == -0.07) under.push_back(e.text);
    EXPECT_EQ(under, (std::vector<std::string>{"0", "1", "2", "2.5"}));
    v.r.NFMAX = 3.0f;
    AXDRAW(v, 1);
    EXPECT_EQ(verticalDotted(), (std::vector<double>{3, 0, 1, 2, 3, 0}));
    v.r.NFMAX = 1.5f;
    AXDRAW(v, 1);
    EXPECT_EQ(verticalDotted(), (std::vector<double>{1.5, 0, 0.5, 1, 1.5, 0})) << "half steps";
    v.r.NFMAX = 0.2f;
    AXDRAW(v, 1);
    ASSERT_EQ(verticalDotted().size(), 5u) << "border, 0, 0.1, 0.2, axis";
    EXPECT_NEAR(verticalDotted()[2], 0.1, 1e-6);
}

TEST_F(ChartLayout, EndLabelCrowdingOutAGridLabelLeavesTheGridLabelOut)
{
    v.r.NFMAX = 3.05f;
    AXDRAW(v, 1);
    std::vector<std::string> under;
    for (const Extent& e : texts())
        if (e.top == -0.07) under.push_back(e.text);
    EXPECT_EQ(under, (std::vector<std::string>{"0", "1", "2", "3.05"})) << "3 would touch 3.05";
    v.r.NFMAX = 3.2f;
    AXDRAW(v, 1);
    under.clear();
    for (const Extent& e : texts())
        if (e.top == -0.07) under.push_back(e.text);
    EXPECT_EQ(under, (std::vector<std::string>{"0", "1", "2", "3", "3.2"})) << "room for both";
}

TEST_F(ChartLayout, MtfLegendsStayInsideThePlotFromTheSmallestWindowToAWideOne)
{
    for (int d = 1; d <= 7; ++d) storeMtf(d, "DETECTOR_" + std::to_string(d) + " RQA5 2026-12-08 H");
    v.r.DATANO = 7;
    v.r.YMAX = 1;
    for (const auto& [w, h] : std::vector<std::pair<double, double>>{{660, 440}, {800, 600}, {1920, 1080}}) {
        SCOPED_TRACE(w);
        canvas().resizeSurface(w, h);
        MTFDSP(v, 0);
        const size_t frame = 11; // five x labels, four y labels and the two axis titles
        size_t frameTexts = 0;
        for (const Extent& e : texts()) {
            if (e.text.rfind("  ", 0) == 0) break;
            ++frameTexts;
        }
        EXPECT_GE(frameTexts, frame);
        expectReadable(3.0, 1.3, frameTexts);
        // The summary of every curve is printed whole, wrapped or not.
        std::string all;
        for (const Extent& e : texts()) all += e.text + "\n";
        EXPECT_NE(all.find("MTF50 1.55"), std::string::npos);
        EXPECT_NE(all.find("Nyq 0.000"), std::string::npos);
    }
}

TEST_F(ChartLayout, NarrowLegendsWrapAtBlanksAndMoveLeftOnlyAsFarAsNeeded)
{
    storeMtf(1, "A");
    v.r.DATANO = 1;
    v.r.YMAX = 1;
    canvas().resizeSurface(1920, 1080);
    MTFDSP(v, 0);
    std::optional<Extent> label = find("  A");
    ASSERT_TRUE(label.has_value());
    EXPECT_NEAR(label->left, 0.7 * 3.0, 1e-6) << "room enough: where it always was";
    canvas().resizeSurface(660, 440);
    MTFDSP(v, 0);
    label = find("  A");
    ASSERT_TRUE(label.has_value());
    std::optional<Extent> summary = find("  " + summaryText(v.r.MTFSUM[0]));
    ASSERT_TRUE(summary.has_value()) << "moved left, not wrapped, while the plot is wide enough";
    EXPECT_LT(label->left, 0.7 * 3.0);
    EXPECT_NEAR(summary->right, 3.0 - canvas().textWidth(" ") / 2, 1e-9) << "ends at the plot's side";

    RecordingCanvas narrow;
    narrow.scale(0, 1, 10 * RecordingCanvas::kCharPx, -1);
    narrow.resizeSurface(10 * RecordingCanvas::kCharPx, 100);
    // 80 units are ten characters: two blanks of indent, then eight.
    EXPECT_EQ(wrapText(narrow, "MTF50 1.55  MTF10 2.83", 80, "  "),
              (std::vector<std::string>{"  MTF50", "  1.55", "  MTF10", "  2.83"}));
    EXPECT_EQ(wrapText(narrow, "ab cd  ef", 80, "  "), (std::vector<std::string>{"  ab cd", "  ef"}));
    EXPECT_EQ(wrapText(narrow, "ABCDEFGHIJKL", 80, "  "),
              (std::vector<std::string>{"  ABCDEFGH", "  IJKL"})) << "a word too long is cut";
    EXPECT_EQ(wrapText(narrow, "ÄÖÜÄÖÜÄÖÜ", 80, "  "),
              (std::vector<std::string>{"  ÄÖÜÄÖÜÄÖ", "  Ü"})) << "cut between characters";
}

TEST_F(ChartLayout, NnpsAndDqeChartsStayReadableAtTheSmallestWindow)
{
    for (int d = 1; d <= 7; ++d) storeNoise(d, "FLAT FIELD " + std::to_string(d) + " 2.5 uGy RQA5 H", -5.5f);
    v.r.DATANO = 7;
    for (const auto& [w, h] : std::vector<std::pair<double, double>>{{660, 440}, {1920, 1080}}) {
        SCOPED_TRACE(w);
        canvas().resizeSurface(w, h);
        WSDSP(v, 0);
        size_t frameTexts = 0;
        for (const Extent& e : texts()) {
            if (e.text.rfind("  ", 0) == 0) break;
            ++frameTexts;
        }
        expectReadable(3.0, 4.0, frameTexts);
    }
    // A DQE chart with its heading and the line at 1.
    v.r.DQEFRQ = {0.5, 1, 2, 3};
    v.r.DQEVAL = {0.7, 1.1, 0.5, 0.3};
    v.r.DQEMTFNO = v.r.DQENPSNO = 1;
    v.r.DATALBL[0] = "A DETECTOR WITH A RATHER LONG NAME AND ITS DATE 2026-12-08";
    canvas().resizeSurface(660, 440);
    DQEDSP(v);
    for (const Extent& e : texts()) expectInside(e, surface(), "surface");
    const auto all = texts();
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j)
            EXPECT_FALSE(overlap(all[i], all[j])) << all[i].text << " / " << all[j].text;
    for (const char* t : {"0.2", "0.4", "0.6", "0.8", "1.0", "1.2", "0.75", "1.5", "2.25", "3.0"})
        EXPECT_TRUE(find(t).has_value()) << t;
}

TEST_F(ChartLayout, MtfFiftyAndTenAreMarkedWhereTheCurveCrossesThem)
{
    // MTF = 1 - f / 4 reaches 0.5 at 2 and 0.1 at 3.6 cycles/mm.
    storeMtf(1, "A");
    v.r.MTFSUM[0] = {2.0f, 3.6f, std::nullopt};
    v.r.DATANO = 1;
    v.r.YMAX = 1;
    MTFDSP(v, 0);
    std::vector<DrawCall> drops;
    bool dotted = false;
    for (const auto& c : canvas().calls) {
        if (c.kind == DrawCall::Kind::Style) dotted = c.value == kDotted;
        if (dotted && c.kind == DrawCall::Kind::Line && c.value == 10) drops.push_back(c);
    }
    ASSERT_EQ(drops.size(), 1u) << "MTF10 at 3.6 lies beyond Freq max 3";
    EXPECT_DOUBLE_EQ(drops[0].x1, 2.0);
    EXPECT_DOUBLE_EQ(drops[0].y1, 0.0);
    EXPECT_DOUBLE_EQ(drops[0].y2, 0.5);
    // The drawn curve passes through the mark.
    for (const auto& c : canvas().calls) {
        if (c.kind == DrawCall::Kind::Line && c.value == 10 && std::fabs(c.x2 - 2.0) < 0.005) {
            EXPECT_NEAR(c.y2, 0.5, 2e-3);
        }
    }
    v.r.FMAX = 4;
    MTFDSP(v, 0);
    int crosses = 0;
    int width = 1;
    for (const auto& c : canvas().calls) {
        if (c.kind == DrawCall::Kind::Width) width = c.value;
        if (c.kind == DrawCall::Kind::Line && width == 1 && c.value == 10 && c.x1 != c.x2 &&
            std::fabs((c.x1 + c.x2) / 2 - 3.6) < 1e-6 && std::fabs((c.y1 + c.y2) / 2 - 0.1) < 1e-6)
            ++crosses;
    }
    EXPECT_EQ(crosses, 2) << "a cross at (3.6, 0.1) once Freq max reaches it";
}

TEST_F(ChartLayout, AbsoluteSpectrumMovesTheDecadesAndIsNamedApart)
{
    storeNoise(1, "FLAT", -5.5f);
    v.r.DATANO = 1;
    v.r.DSPMODE = 4;
    WSDSP(v, 0, DecadeFit::ToCurves);
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -8.0f) << "a curve inside the decades leaves them";
    // An absolute spectrum of about 6 DN^2 mm^2 (log 0.78 .. 0.48).
    storeNoise(2, "FLAT", 0.78f, 1);
    v.r.DATANO = 2;
    WSDSP(v, 0, DecadeFit::ToCurves);
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -3.0f) << "the newest curve decides when both do not fit";
    const auto labels = printed();
    EXPECT_NE(std::find(labels.begin(), labels.end(), "  FLAT NPS"), labels.end());
    EXPECT_NE(std::find(labels.begin(), labels.end(), "  FLAT"), labels.end());
    // The arrows still move the decades afterwards.
    CENADJ_Click(v, 3);
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -2.0f);
    CENADJ_Click(v, 2);
    CENADJ_Click(v, 2);
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -4.0f);
    // Curves spanning under four decades together: the least move that shows both.
    storeNoise(1, "LOW", -6.2f);
    storeNoise(2, "HIGH", -3.4f);
    v.r.LOGBASE = -8;
    WSDSP(v, 0, DecadeFit::ToCurves);
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -7.0f) << "-6.5 .. -3.4 needs -7 .. -3";
    storeNoise(2, "HIGH", -7.0f);
    v.r.LOGBASE = -5;
    WSDSP(v, 0, DecadeFit::ToCurves);
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -8.0f) << "-7.3 lies below -5: floor of it";
}

TEST_F(ChartLayout, RedrawShowsTheSameChartWithoutAskingOrRenumbering)
{
    for (int d = 1; d <= 4; ++d) storeMtf(d, "D" + std::to_string(d));
    v.r.DATANO = 4;
    answer({"2,4"});
    COMPMTF(v);
    const auto before = canvas().calls;
    const int16_t next = v.r.NEXTNO;
    const size_t prompts = host.prompts.size();
    REDRAWCHART(v);
    EXPECT_EQ(host.prompts.size(), prompts);
    EXPECT_EQ(v.r.NEXTNO, next);
    ASSERT_EQ(canvas().calls.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(canvas().calls[i].str(), before[i].str());
    // At another size the frame and curves are the same, the texts laid out anew.
    canvas().resizeSurface(660, 440);
    REDRAWCHART(v);
    const auto labels = printed();
    EXPECT_NE(std::find(labels.begin(), labels.end(), "  D4"), labels.end());
    EXPECT_EQ(std::find(labels.begin(), labels.end(), "  D3"), labels.end());
    v.r.DSPMODE = 0;
    canvas().cls();
    REDRAWCHART(v);
    EXPECT_EQ(canvas().calls.size(), 2u) << "nothing on display: nothing drawn";
}

} // namespace

namespace {

TEST_F(ChartLayout, MtfAxisEndReadsItsOwnValueAndALoweredChartKeepsItsLabelsOnTheSurface)
{
    storeMtf(1, "A");
    v.r.DATANO = 1;
    v.r.FMAX = 1.45f;
    v.r.YMAX = 1;
    MTFDSP(v, 0);
    EXPECT_EQ(v.r.XMAXLBL, "1.5");
    std::optional<Extent> end = find("1.45");
    ASSERT_TRUE(end.has_value()) << "the axis ends at 1.45, not 1.5";
    EXPECT_NEAR((end->left + end->right) / 2, 1.45f, 1e-6);
    EXPECT_FALSE(find("1.5").has_value());
    // "^" lowers YMAX to 0.4: the chart's top is 0.52, so 0.75 and 1.0 are not labelled.
    v.r.YMAX = 0.4f;
    canvas().resizeSurface(660, 440);
    MTFDSP(v, 0);
    for (const Extent& e : texts()) expectInside(e, surface(), "surface");
    EXPECT_TRUE(find("0.5").has_value());
    EXPECT_FALSE(find("0.75").has_value());
    EXPECT_TRUE(find("MTF").has_value());
}

} // namespace

namespace {

TEST_F(ChartLayout, AbsoluteSpectrumOfAFlatFieldIsOnTheChartAtOnce)
{
    // Noise of +/-10 DN, white: NPS = 100 DN^2 x (0.1 mm)^2 = 1 DN^2 mm^2, eight decades above
    // the chart's start at 10^-8 .. 10^-4.
    std::vector<int16_t> pixels(256 * 256);
    uint32_t state = 7;
    for (int16_t& p : pixels) {
        state = state * 1664525u + 1013904223u;
        p = static_cast<int16_t>((state >> 16) & 1 ? 1010 : 990);
    }
    loadWithRoi(256, 256, pixels, 0, 0, 256, 256);
    v.r.DATALBL[0] = "";
    answer({"1"});
    NPS2D_Click(v);
    ASSERT_EQ(v.r.NPSNUM[0], 25);
    for (int i = 0; i < 25; ++i) EXPECT_NEAR(v.r.NPSVAL[0][i], 0.0, 0.3) << "log10 of 1 DN^2 mm^2";
    EXPECT_TRUE(v.r.LOGBASE == -4.0f || v.r.LOGBASE == -3.0f) << v.r.LOGBASE;
    int onChart = 0;
    for (const auto& c : canvas().calls) {
        if (c.kind == DrawCall::Kind::Line && c.value == 10 && c.x1 != c.x2) {
            EXPECT_GE(c.y2, 0.0);
            EXPECT_LE(c.y2, 4.0);
            ++onChart;
        }
    }
    EXPECT_GE(onChart, 15) << "the curve's segments up to 3 cycles/mm";
    const auto labels = printed();
    EXPECT_NE(std::find_if(labels.begin(), labels.end(),
                           [](const std::string& t) { return t.size() > 6 && t.substr(t.size() - 4) == " NPS"; }),
              labels.end());
}

} // namespace
