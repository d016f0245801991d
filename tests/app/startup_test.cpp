// Start-up of the workspace window: start values, tables, the kernel probe and the detector list.
#include "form_load.h"
#include "workspace_fixture.h"

#include <bit>
#include <cmath>

using namespace vantry;

namespace {

class StartUp : public WorkspaceFixture {
protected:
    bool load(const std::string& list = "Name W H Pitch Enc Ofs Hdr\nDICOM 1 1 0.1 1 0 0\n")
    {
        writeList(list);
        return Form_Load(k);
    }
};

TEST_F(StartUp, BothViewsStartWithWindow2000And1000)
{
    ASSERT_TRUE(load());
    for (int view = 0; view < 2; ++view) {
        EXPECT_EQ(k.ws.WW[view], 2000);
        EXPECT_EQ(k.ws.WL[view], 1000);
        EXPECT_EQ(k.form.WWTX[view].Text, "2000") << "trimmed, no leading blank";
        EXPECT_EQ(k.form.WCTX[view].Text, "1000");
    }
    EXPECT_EQ(k.ws.CURSLOT, 0);
    EXPECT_EQ(k.ws.DICOMF, 1);
    EXPECT_EQ(k.ws.POSI, 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(StartUp, RoisStartAt50With100PixelsAndTheirShapesAreShown)
{
    ASSERT_TRUE(load());
    const double roiTop[2] = {128, 144};
    for (int view = 0; view < 2; ++view) {
        EXPECT_EQ(k.roi[view].ROIX, 50);
        EXPECT_EQ(k.roi[view].ROIY, 50);
        EXPECT_EQ(k.roi[view].ROIW, 100);
        EXPECT_EQ(k.roi[view].ROIH, 100);
        EXPECT_EQ(k.disp.PXS[view], 1.0f);
        const Control& sh = k.form.SH1[view];
        EXPECT_TRUE(sh.Visible && k.form.LH1[view].Visible && k.form.RH1[view].Visible);
        // The rectangle keeps its layout position and takes its size from the record.
        EXPECT_EQ(sh.Left, 168);
        EXPECT_EQ(sh.Top, roiTop[view]);
        EXPECT_EQ(sh.Width, 100);
        EXPECT_EQ(sh.Height, 100);
        EXPECT_EQ(k.form.LH1[view].Left, 161) << "bottom-right corner on the rectangle's top-left";
        EXPECT_EQ(k.form.LH1[view].Top, roiTop[view] - 7);
        EXPECT_EQ(k.form.RH1[view].Left, 268) << "top-left corner on the rectangle's bottom-right";
        EXPECT_EQ(k.form.RH1[view].Top, roiTop[view] + 100);
    }
}

TEST_F(StartUp, TrigonometricTablesUseTheTruncatedPi)
{
    ASSERT_TRUE(load());
    EXPECT_EQ(std::bit_cast<uint32_t>(k.ws.PI), 0x40490FD8u);
    EXPECT_EQ(std::bit_cast<uint32_t>(k.ws.PI2), 0x40C90FD8u);
    EXPECT_EQ(k.ws.NFFT, 256);
    EXPECT_EQ(k.ws.NFFTBIT, 8);
    EXPECT_EQ(k.ws.SINTB[64], 1.0f);
    EXPECT_EQ(k.ws.COSTB[128], -1.0f);
    EXPECT_EQ(k.ws.SINTB[129], 0.0f) << "entries past 128 are not filled";
    EXPECT_EQ(k.ws.COSTB[0], 1.0f);
    for (int i = 0; i <= 128; ++i) {
        // the angle is 6.283184 * i / 256 rounded to Single, not 2 pi i / 256
        const auto t = static_cast<float>(6.283184f * static_cast<long double>(i) / 256.0L);
        EXPECT_EQ(k.ws.SINTB[i], static_cast<float>(std::sin(static_cast<long double>(t)))) << i;
        EXPECT_EQ(k.ws.COSTB[i], static_cast<float>(std::cos(static_cast<long double>(t)))) << i;
    }
}

TEST_F(StartUp, DisplayTablesStartWhiteBelowZeroAndBlackAbove32767)
{
    ASSERT_TRUE(load());
    for (const auto& lut : k.ws.DLUT) {
        ASSERT_EQ(lut.size(), 98304u);
        for (int v = -32768; v <= 65535; ++v) {
            const int expected = v <= 0 ? 255 : 0;
            ASSERT_EQ(lut[v + kDlutZero], expected) << v;
        }
    }
}

TEST_F(StartUp, CaptionHasNoBlankAfterVer)
{
    ASSERT_TRUE(load());
    EXPECT_EQ(k.form.Caption, "Vantry ver.0.96a 171208");
}

TEST_F(StartUp, ThreeLineListGivesTwoEntriesInFileOrderUnchanged)
{
    ASSERT_TRUE(load("header line\nCR-log 1760 2140 0.1 1000 0 2048  \r\nDICOM 1 1 0.15 1 0 0\n"));
    ASSERT_EQ(k.form.CMB1.List.size(), 2u);
    EXPECT_EQ(k.form.CMB1.List[0], "CR-log 1760 2140 0.1 1000 0 2048  ") << "trailing blanks kept";
    EXPECT_EQ(k.form.CMB1.List[1], "DICOM 1 1 0.15 1 0 0");
    EXPECT_EQ(k.form.CMB1.Text, "Please select");
    EXPECT_EQ(k.form.CMB1.ListIndex, -1);
}

TEST_F(StartUp, ListWithOnlyAHeaderStartsWithAnEmptyChooser)
{
    ASSERT_TRUE(load("just the header\n"));
    EXPECT_TRUE(k.form.CMB1.List.empty());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(StartUp, MissingListStopsWithAMessageNamingFileAndFolder)
{
    EXPECT_FALSE(Form_Load(k));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("VYLIST.TXT"), std::string::npos) << host.messages[0];
    EXPECT_NE(host.messages[0].find(folder.string()), std::string::npos) << host.messages[0];
}

TEST_F(StartUp, MissingKernelLibraryStopsBeforeTheList)
{
    writeList("h\nDICOM 1 1 0.1 1 0 0\n");
    KernelBinding nowhere(folder);
    Korvelf bare(host, nowhere);
    bare.ws.programFolder = folder;
    EXPECT_FALSE(Form_Load(bare));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("libParvel.so"), std::string::npos) << host.messages[0];
    EXPECT_TRUE(bare.form.CMB1.List.empty()) << "start-up stopped at the probe";
}

TEST_F(StartUp, MissingEntryPointStopsWithItsName)
{
    // A library file of the right name that lacks var2trn.
    std::filesystem::copy_file(std::filesystem::path(VANTRY_BIN_DIR) / "libFourel.so", folder / "libParvel.so");
    writeList("h\nDICOM 1 1 0.1 1 0 0\n");
    KernelBinding wrong(folder);
    Korvelf bare(host, wrong);
    bare.ws.programFolder = folder;
    EXPECT_FALSE(Form_Load(bare));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("var2trn"), std::string::npos) << host.messages[0];
    EXPECT_NE(host.messages[0].find("libParvel.so"), std::string::npos) << host.messages[0];
}

TEST_F(StartUp, TimerIsStoppedUntilTheFirstLayout)
{
    ASSERT_TRUE(load());
    EXPECT_EQ(k.form.Timer1.Interval, 0);
    EXPECT_FALSE(k.form.Timer1.Enabled);
    EXPECT_EQ(host.timerInterval, 0);
}

TEST_F(StartUp, ClosingTheWorkspaceClosesTheAnalysisWindow)
{
    ASSERT_TRUE(load());
    host.showAnalysisWindow();
    k.vylsf.Visible = true;
    Form_Unload(k);
    EXPECT_FALSE(host.analysisWindowShown);
    EXPECT_FALSE(k.vylsf.Visible);
}

} // namespace
