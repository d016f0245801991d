// The edge MTF is right or refused: an edge off the middle of the ROI gives the centred curve,
// ESF bins left empty by the tilt or the pitch are refused with their cause, the plateau blocks
// must lie on both sides of the edge, a hot pixel does not hide an edge, and doubtful curves are
// kept with their warnings.
#include "analysis_fixture.h"
#include "edge_image.h"
#include "esf.h"
#include "lsf.h"
#include "mtf.h"

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

using namespace vantry;
using edgeimage::EdgeSpec;

namespace {

constexpr double kPi = std::numbers::pi;

/// An untilted edge along x with a profile given per sample: pixel (x, y) = profile[x].
std::vector<int16_t> profileImage(int32_t w, int32_t h, const std::vector<int16_t>& profile)
{
    std::vector<int16_t> p(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) p[static_cast<size_t>(y) * w + x] = profile[static_cast<size_t>(x)];
    }
    return p;
}

/// A Gaussian-blurred edge along x (edge at x0, tilted by `slope` pixels of x per row) with any
/// levels and an optional unsharp mask of strength `boost` and width `wide`, computed from the
/// normal distribution function; clamped to 16 bits.
std::vector<int16_t> smoothEdge(int32_t w, int32_t h, double x0, double slope, double sigma, double low,
                                double high, double boost = 0, double wide = 1)
{
    std::vector<int16_t> p(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const double u = x + 0.5 - x0 - slope * (y + 0.5);
            const double step = edgeimage::normalCdf(u / sigma);
            const double value = step + boost * (step - edgeimage::normalCdf(u / wide));
            p[static_cast<size_t>(y) * w + x] =
                static_cast<int16_t>(std::clamp(std::nearbyint(low + (high - low) * value), -32768.0, 32767.0));
        }
    }
    return p;
}

class EdgeRefusals : public AnalysisFixture {
protected:
    /// "ESF reprojection", "ESF OK" and "MTF calc." from 0 to 5 cycles/mm every 0.1, stored as 1,
    /// with the proposed tilt (or `shift` typed); the messages shown.
    std::vector<std::string> measure(const char* shift = ScriptedHost::kAcceptDefault)
    {
        host.messages.clear();
        freeNumber(1);
        answer({shift, "0", "5", "0.1", "1"});
        DSPESF(v);
        ESFOK(v);
        MTFCLC(v);
        host.inputAnswers.clear();
        return host.messages;
    }

    /// The one message shown, or a note that there was none or several.
    static std::string only(const std::vector<std::string>& messages)
    {
        return messages.size() == 1 ? messages[0] : std::to_string(messages.size()) + " messages";
    }

    static bool has(const std::string& text, const std::string& part)
    {
        return text.find(part) != std::string::npos;
    }
};

TEST_F(EdgeRefusals, EdgeOffTheMiddleOfTheRoiGivesTheCentredCurve)
{
    // Off-centre ROIs once read the empty bins past the data as 0: an MTF of 7.7 at 0.1
    // cycles/mm with the edge 22 samples left of the middle.
    const EdgeSpec e{.width = 420, .height = 148, .sigmaPx = 0.5, .tiltDeg = 3, .edgeX = 210.0};
    const double tilt = e.tiltDeg * kPi / 180;
    for (const int offset : {0, -22, 26, -60, 60}) {
        loadWithRoi(e.width, e.height, edgeimage::edgeImage(e), static_cast<int16_t>(60 + offset), 10, 300, 128);
        const auto messages = measure();
        ASSERT_TRUE(messages.empty()) << offset << ": " << messages.front();
        ASSERT_EQ(v.r.MTFNUM[0], 51);
        double worst = 0;
        for (int n = 0; n < 51; ++n) {
            const double f = v.r.MTFFRQ[0][n];
            const double box = edgeimage::sinc(kPi * f * 0.03);
            const double truth = edgeimage::edgeMtf(f / std::cos(tilt), 0.1, e.sigmaPx, e.tiltDeg) * box * box;
            worst = std::max(worst, std::abs(v.r.MTFVAL[0][n] - truth));
        }
        // The centred ROI's own bias is 0.006 (see the accuracy tests); cutting the LSF's span
        // to the filled bins adds nothing on a levelled ESF.
        EXPECT_LE(worst, 0.008) << "edge " << offset << " samples off the middle";
    }
}

TEST_F(EdgeRefusals, EdgeTooFarOffTheMiddleForAnyLsfIsRefusedNamingTheOffset)
{
    const EdgeSpec e{.width = 420, .height = 148, .sigmaPx = 0.5, .tiltDeg = 3};
    loadWithRoi(e.width, e.height, edgeimage::edgeImage(e), 60, 10, 300, 128);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    ASSERT_EQ(v.r.DSPMODE, 1);
    // Projected from a point 10 samples from the ROI's start, the data reach 10 samples on one side.
    v.r.EDGER0 = 10;
    CESFDSP(v);
    host.messages.clear();
    ESFOK(v);
    EXPECT_TRUE(has(only(host.messages), "The edge lies 140 samples from the middle of the ROI")) << only(host.messages);
    EXPECT_EQ(v.r.DSPMODE, 1);
}

TEST_F(EdgeRefusals, EdgeOutsideTheSpanBetweenThePlateauBlocksIsRefusedWithTheLengthItNeeds)
{
    // Untilted hard edges crossing at 39.5 and 259.5 of a 300-sample ROI: rounded to 40 and 260,
    // ROIs of 300 + 55 - 40 and 260 + 56 samples reach them between the blocks.
    const auto hard = [](double x0) {
        std::vector<int16_t> profile(400);
        for (int32_t x = 0; x < 400; ++x) profile[static_cast<size_t>(x)] = x + 0.5 < x0 ? 100 : 900;
        return profileImage(400, 100, profile);
    };
    loadWithRoi(400, 100, hard(40), 0, 10, 300, 60);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    EXPECT_TRUE(has(only(host.messages), "at sample 40 of 300")) << only(host.messages);
    EXPECT_TRUE(has(only(host.messages), "needs 315 samples across")) << only(host.messages);
    EXPECT_EQ(v.r.DSPMODE, 0);
    host.messages.clear();
    loadWithRoi(400, 100, hard(260), 0, 10, 300, 60);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    EXPECT_TRUE(has(only(host.messages), "needs 316 samples across")) << only(host.messages);
    // Just inside: crossing at 243.5, before the high block's first sample 245.
    host.messages.clear();
    loadWithRoi(400, 100, hard(244), 0, 10, 300, 60);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.DSPMODE, 1);
}

TEST_F(EdgeRefusals, RoiShorterThan110SamplesAcrossIsRefusedWithTheLengthItNeeds)
{
    // An untilted hard edge crossing at 54.5 of a ROI starting at x = 5: between the blocks
    // 45 .. 54 and 55 .. 64 of a 110-sample ROI, the shortest that has room for it.
    std::vector<int16_t> profile(200);
    for (int32_t x = 0; x < 200; ++x) profile[static_cast<size_t>(x)] = x < 60 ? 100 : 900;
    loadWithRoi(200, 100, profileImage(200, 100, profile), 5, 10, 109, 60);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    EXPECT_TRUE(has(only(host.messages), "at least 110 samples across")) << only(host.messages);
    EXPECT_EQ(v.r.DSPMODE, 0);
    host.messages.clear();
    k.roi[0].ROIW = 110;
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.DSPMODE, 1);
    EXPECT_EQ(v.r.EDGER0, 55);
}

TEST_F(EdgeRefusals, UntiltedFortyFiveDegreeAndHalfShiftEdgesAreRefusedNamingTheTilt)
{
    struct Case {
        const char* name;
        std::vector<int16_t> image;
        const char* shift;
        const char* places;
    };
    const Case cases[] = {
        {"untilted", smoothEdge(400, 160, 200, 0, 0.6, 100, 900), ScriptedHost::kAcceptDefault, "only 1 places"},
        {"45 degrees", smoothEdge(400, 160, 120, 1, 0.6, 100, 900), ScriptedHost::kAcceptDefault, "only 1 places"},
        {"typed 0.5", smoothEdge(400, 160, 200, 0.05, 0.6, 100, 900), "0.5", "only 2 places"},
    };
    for (const Case& c : cases) {
        loadWithRoi(400, 160, c.image, 50, 10, 300, 128);
        const std::string message = only(measure(c.shift));
        EXPECT_TRUE(has(message, "too small or too close to a simple fraction")) << c.name << ": " << message;
        EXPECT_TRUE(has(message, c.places)) << c.name << ": " << message;
        EXPECT_EQ(v.r.DSPMODE, 1) << c.name << ": the ESF stays for another shift";
        EXPECT_EQ(v.r.MTFNUM[0], 0) << c.name << ": nothing stored";
    }
}

TEST_F(EdgeRefusals, PitchTooCoarseForTheBinIsRefusedWithABinWidthThatWorks)
{
    // 21 lines typed 0.05 apart put the pixels at 20 places a pixel apart by 0.05: bins of 0.03
    // pixel (1 mm pitch) leave gaps; the suggested 1.1 x 0.05 mm fills every bin.
    const auto image = smoothEdge(400, 60, 200, 0.05, 0.8, 100, 900);
    loadWithRoi(400, 60, image, 50, 10, 300, 21, 1.0f);
    const std::string message = only(measure("0.05"));
    EXPECT_TRUE(has(message, "the pitch 1 mm is too coarse for the bin width .03 mm")) << message;
    // 1.1 x the gap, rounded up to a micrometre: .055 or, with the gap's rounding, .056.
    const size_t at = message.find("Widen the bin in Setting to at least .05");
    ASSERT_NE(at, std::string::npos) << message;
    const float suggested = std::stof(message.substr(at + 37));
    EXPECT_NEAR(suggested, 0.0555, 0.001) << message;
    v.r.BINW = suggested;
    const auto wider = measure("0.05");
    EXPECT_TRUE(wider.empty()) << wider.front();
    EXPECT_EQ(v.r.DSPMODE, 3);
}

TEST_F(EdgeRefusals, HotPixelHotRowAndDeadColumnInAPlateauBlockDoNotHideTheEdge)
{
    // The low block covers samples 45 .. 54 of lines 59 .. 68 (ROI rows 69 .. 78 of the image).
    const auto clean = smoothEdge(400, 160, 200, 0.05, 0.7, 1000, 3000);
    loadWithRoi(400, 160, clean, 50, 10, 300, 128);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    const int16_t r0 = v.r.EDGER0;
    const float slope = v.r.EDGESLOPE;
    const auto pixel = [](std::vector<int16_t>& p, int32_t x, int32_t y) -> int16_t& {
        return p[static_cast<size_t>(y) * 400 + x];
    };
    std::vector<int16_t> hotPixel = clean, hotRow = clean, deadColumn = clean;
    pixel(hotPixel, 100, 74) = 32767;
    for (int32_t x = 95; x <= 104; ++x) pixel(hotRow, x, 74) = 32767;
    for (int32_t y = 0; y < 160; ++y) pixel(deadColumn, 100, y) = 0;
    for (const auto& [name, image] : {std::pair{"hot pixel", hotPixel}, std::pair{"hot row", hotRow},
                                      std::pair{"dead column", deadColumn}}) {
        host.messages.clear();
        loadWithRoi(400, 160, image, 50, 10, 300, 128);
        answer({ScriptedHost::kAcceptDefault});
        DSPESF(v);
        EXPECT_TRUE(host.messages.empty()) << name << ": " << host.messages.front();
        EXPECT_EQ(v.r.DSPMODE, 1) << name;
        EXPECT_NEAR(v.r.EDGER0, r0, 1) << name << ": a spike in the middle band is not the edge";
        EXPECT_NEAR(v.r.EDGESLOPE, slope, 0.002) << name;
    }
}

TEST_F(EdgeRefusals, FlatFieldIsRefusedNamingTheMediansAndTheSpreadCompared)
{
    const EdgeSpec flat{.width = 400, .height = 160, .low = 1000, .high = 1000, .noiseSd = 10};
    loadWithRoi(400, 160, edgeimage::edgeImage(flat), 50, 10, 300, 128);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    const std::string message = only(host.messages);
    EXPECT_TRUE(has(message, "There is no edge in the ROI: the medians of the two ends")) << message;
    EXPECT_TRUE(has(message, "1.4826 x the median absolute deviation")) << message;
    EXPECT_EQ(v.r.DSPMODE, 0);
}

TEST_F(EdgeRefusals, DoubtfulEdgesKeepTheirCurveWithOneMessageOfWarnings)
{
    struct Case {
        const char* name;
        std::vector<int16_t> image;
        int16_t roiW;
        const char* warning;
    };
    const EdgeSpec noisy{.width = 400, .height = 160, .sigmaPx = 0.6, .tiltDeg = 3, .low = 1000,
                         .high = 1600, .noiseSd = 30};
    std::vector<int16_t> ramp(400 * 160);
    for (int32_t y = 0; y < 160; ++y) {
        for (int32_t x = 0; x < 400; ++x) ramp[static_cast<size_t>(y) * 400 + x] =
            static_cast<int16_t>(std::lround(1000 + 8 * (x - 0.05 * y)));
    }
    const Case cases[] = {
        {"ramp", ramp, 300, "no one dominant step"},
        {"noisy", edgeimage::edgeImage(noisy), 300, "contrast-to-noise ratio is"},
        {"clipped", smoothEdge(400, 160, 200, 0.05, 0.7, 1000, 40000), 300, "top or the bottom of the 16-bit range"},
        // Half the edge spread by glare of 50 pixels: still rising at the ends of a short ROI.
        {"glare", smoothEdge(400, 160, 200, 0.05, 0.7, 1000, 3000, -0.5, 50), 120, "has not levelled off"},
        {"enhanced", smoothEdge(400, 160, 200, 0.05, 0.6, 1000, 3000, 0.5, 3), 300, "above 1.05"},
    };
    for (const Case& c : cases) {
        const int16_t x = static_cast<int16_t>(200 - c.roiW / 2);
        loadWithRoi(400, 160, c.image, x, 10, c.roiW, 100);
        const std::string message = only(measure());
        EXPECT_EQ(message.rfind("warning ", 0), 0u) << c.name << ": " << message;
        EXPECT_TRUE(has(message, c.warning)) << c.name << ": " << message;
        EXPECT_EQ(v.r.DSPMODE, 3) << c.name << ": the curve is kept";
        EXPECT_EQ(v.r.MTFNUM[0], 51) << c.name;
    }
}

} // namespace
