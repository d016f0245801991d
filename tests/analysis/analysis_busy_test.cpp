// The workspace while an analysis loop yields: a file read or dropped into the view being measured,
// a transform or a ROI gesture in the middle of the loop must not pull the image from under it.
#include "analysis_busy.h"
#include "form_load.h"
#include "gestures.h"
#include "image_opening.h"
#include "nnps.h"
#include "size_controls.h"
#include "vylsf.h"

#include "kernel_binding.h"
#include "korvelf.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace vantry;

namespace {

/// A scripted host that runs `onYield` at the first yield.
class YieldingHost : public ScriptedHost {
public:
    void DoEvents() override
    {
        ScriptedHost::DoEvents();
        if (onYield) std::exchange(onYield, {})();
    }
    std::function<void()> onYield;
};

class AnalysisBusyRoad : public testing::Test {
protected:
    AnalysisBusyRoad()
    {
        folder = std::filesystem::temp_directory_path() /
                 ("vantry_busy_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(folder);
        {
            std::ofstream list(folder / "VYLIST.TXT");
            list << "Detector Width Height Pitch(mm) Encoding Offset Header\n"
                 << "SAMPLE-FLAT-RAW 1024 1024 0.1 1 0 512\n"
                 << "SMALL 256 256 0.1 1 0 0\n";
        }
        // A smaller flat image of 1000 everywhere.
        std::ofstream small(folder / "small.raw", std::ios::binary);
        const std::vector<int16_t> pixels(256 * 256, 1000);
        small.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size() * 2));
        k.ws.programFolder = VANTRY_BIN_DIR;
        k.listFile = folder / "VYLIST.TXT";
    }
    ~AnalysisBusyRoad() override { std::filesystem::remove_all(folder); }

    void readFlatWithFullRoi()
    {
        ASSERT_TRUE(Form_Load(k));
        Form_Load(v);
        CMB1_Click(k, 0);
        host.fileDialogAnswers.push_back(std::string(VANTRY_BIN_DIR) + "/sample_flat.raw");
        Command1_Click(k);
        ASSERT_TRUE(host.messages.empty()) << host.messages.front();
        ASSERT_EQ(k.ws.IMG[0].width, 1024);
        k.roi[0] = {0, 0, 1024, 1024}; // 16 blocks of 256
    }

    void dropSmall()
    {
        CMB1_Click(k, 1);
        PIC_OLEDragDrop(k, 0, {(folder / "small.raw").string()});
    }

    std::filesystem::path folder;
    YieldingHost host;
    KernelBinding kernels{VANTRY_BIN_DIR};
    Korvelf k{host, kernels};
    Vylsf v{k};
};

TEST_F(AnalysisBusyRoad, ImageDroppedIntoTheMeasuredViewMidLoopIsRefused)
{
    readFlatWithFullRoi();
    // The spectrum with nothing happening during the loop, for comparison.
    host.inputAnswers = {"1"};
    NNPS2D_Click(v);
    ASSERT_EQ(v.r.NPSNUM[0], 25) << (host.messages.empty() ? "" : host.messages.back());
    const auto undisturbed = v.r.NPSVAL[0];
    ASSERT_EQ(k.ws.ANALYSING, 0);

    host.onYield = [this] {
        EXPECT_GT(k.ws.ANALYSING, 0) << "the loop marks the workspace busy";
        dropSmall();
        host.fileDialogAnswers.push_back((folder / "small.raw").string());
        Command1_Click(k);
        const RoiRecord before = k.roi[0];
        PIC_MouseDown(k, 0, kButtonLeft, 0, 10, 10);
        PIC_MouseMove(k, 0, kButtonLeft, 0, 40, 40);
        ROIXSZTX_Click(k);
        EXPECT_EQ(k.roi[0].ROIW, before.ROIW);
        EXPECT_EQ(k.roi[0].ROIX, before.ROIX);
    };
    host.messages.clear();
    host.inputAnswers = {"2"};
    NNPS2D_Click(v);
    // The drop, the read, the press and the size box each said why they did nothing.
    ASSERT_EQ(host.messages.size(), 4u);
    for (const std::string& m : host.messages) EXPECT_EQ(m, analysingMessage());
    EXPECT_EQ(k.ws.IMG[0].width, 1024) << "the measured image stays";
    EXPECT_EQ(k.ws.XSZ[0], 1024);
    ASSERT_EQ(v.r.NPSNUM[1], 25);
    EXPECT_EQ(v.r.NPSVAL[1], undisturbed) << "the loop measured the image it started on";
    EXPECT_EQ(k.ws.ANALYSING, 0);

    // Once the loop has ended, the same drop reads the file.
    host.messages.clear();
    dropSmall();
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(k.ws.IMG[0].width, 256);
}

} // namespace
