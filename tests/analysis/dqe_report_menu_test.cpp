// "DQE" > "Report..." on the scripted host: the window's road from an H and a V precise MTF and an
// "IEC NNPS" to a written report, and the refusals that write nothing.
#include "analysis_fixture.h"
#include "dqe_report_menu.h"
#include "edge_image.h"
#include "iec_nnps_menu.h"
#include "precise_mtf_menu.h"

#include <cmath>
#include <random>
#include <string>

using namespace vantry;

namespace {

constexpr double kQ = 29653, kKerma = 2.5; // RQA5 of the 2015 edition in BEAMQ.TXT

class DqeReportMenu : public AnalysisFixture {
protected:
    /// BEAMQ.TXT beside the program.
    DqeReportMenu() { k.ws.programFolder = VANTRY_BIN_DIR; }

    void run(void (*handler)(Vylsf&), std::initializer_list<const char*> answers)
    {
        host.inputAnswers.clear();
        host.messages.clear();
        answer(answers);
        handler(v);
    }

    /// The precise MTF of an edge with its profile along `p` (blur 0.5 px), stored under `number`.
    void measureEdge(edgeimage::Profile p, const char* number)
    {
        const bool alongX = p == edgeimage::Profile::AlongX;
        const edgeimage::EdgeSpec e{.width = alongX ? 276 : 148, .height = alongX ? 148 : 276, .sigmaPx = 0.5,
                                    .tiltDeg = 4, .profile = p, .noiseSd = 2};
        loadWithRoi(e.width, e.height, edgeimage::edgeImage(e), 10, 10, alongX ? 256 : 128, alongX ? 128 : 256);
        k.ws.PRESETNAME[0] = "DETX";
        k.ws.FNAME[0] = alongX ? "/data/edge-h.raw" : "/data/edge-v.raw";
        run(PRECISEMTF, {"5", "0.1", number});
        ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    }

    /// The IEC NNPS of Poisson counts of q K a^2 per pixel (an ideal counter) under 5 and 6.
    void measureFlat()
    {
        std::mt19937_64 rng(3);
        std::poisson_distribution<int> counts(kQ * kKerma * 0.01);
        std::vector<int16_t> px(520 * 520);
        for (auto& p : px) p = static_cast<int16_t>(counts(rng));
        loadWithRoi(520, 520, px, 4, 4, 512, 512);
        k.ws.FNAME[0] = "/data/flat.raw";
        v.r.NFMAX = 5;
        v.r.NFINT = 0.1f;
        run(IECNNPS, {"none", "5"});
    }
};

} // namespace

TEST_F(DqeReportMenu, PairsEachDirectionAndWritesTheReportWhereAsked)
{
    measureEdge(edgeimage::Profile::AlongX, "1");
    measureEdge(edgeimage::Profile::AlongY, "2");
    measureFlat();
    host.saveDialogAnswers.push_back("/tmp/out.pdf");
    const size_t asked = host.prompts.size();
    run(DQEREPORT, {"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "2.5"});
    ASSERT_EQ(host.reports.size(), 1u) << (host.messages.empty() ? "" : host.messages.back());
    EXPECT_EQ(host.prompts[asked].prompt, "MTF H data No.= ");
    EXPECT_EQ(host.prompts[asked + 1].prompt, "MTF V data No.= ");
    const auto& [path, report] = host.reports[0];
    EXPECT_EQ(path, "/tmp/out.pdf");
    ASSERT_EQ(report.files.size(), 3u);
    EXPECT_EQ(report.files[0].role, "Edge H");
    EXPECT_EQ(report.files[0].path, "/data/edge-h.raw");
    EXPECT_EQ(report.files[0].roi, "10,10,256,128");
    EXPECT_EQ(report.files[1].path, "/data/edge-v.raw");
    EXPECT_EQ(report.files[2].path, "/data/flat.raw");
    EXPECT_EQ(report.files[2].roi, "4,4,512,512");
    // 0.5 .. 5.0 cycles/mm: the MTF of the 0.5 px blur along each direction, and an ideal
    // counter's DQE = MTF^2 within the NNPS's noise.
    ASSERT_EQ(report.tableRows.size(), 10u);
    for (const auto& row : report.tableRows) {
        const double f = std::stod(row[0]);
        const double truth = edgeimage::edgeMtf(f, 0.1, 0.5, 4);
        EXPECT_NEAR(std::stod(row[1]), truth, 0.02) << f;
        EXPECT_NEAR(std::stod(row[2]), truth, 0.02) << f;
        if (f <= 2) {
            EXPECT_NEAR(std::stod(row[5]) / (truth * truth), 1, 0.25) << f;
        }
    }
    bool qFromList = false;
    for (const auto& [label, value] : report.settings) qFromList |= label == "q" && value.find("BEAMQ.TXT") != std::string::npos;
    EXPECT_TRUE(qFromList);
    EXPECT_EQ(v.form().Caption, "DQE report /tmp/out.pdf");
}

TEST_F(DqeReportMenu, WritesNothingWithoutTheCurvesItPairsOrWhenCancelled)
{
    measureEdge(edgeimage::Profile::AlongX, "1");
    run(DQEREPORT, {"1", "1"});
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("IEC NNPS"), std::string::npos);
    measureEdge(edgeimage::Profile::AlongY, "2");
    measureFlat();
    // An H curve where the V edge is asked for.
    run(DQEREPORT, {"1", "1"});
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("profile along y"), std::string::npos) << host.messages[0];
    // Cancelled save dialog; then a writer that fails says why.
    run(DQEREPORT, {"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "2.5"});
    host.writeReportError = "cannot write it (Permission denied)";
    host.saveDialogAnswers.push_back("/root/x.pdf");
    run(DQEREPORT, {"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "2.5"});
    EXPECT_TRUE(host.reports.empty());
    ASSERT_FALSE(host.messages.empty());
    EXPECT_NE(host.messages.back().find("Permission denied"), std::string::npos);
}
