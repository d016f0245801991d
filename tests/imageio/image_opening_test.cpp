// Choosing a preset, the Read button and dropping files on a pane.
#include "pic_click.h"
#include "reading_fixture.h"

using namespace vantry;
using samples::Syntax;

namespace {

class ImageOpening : public ReadingFixture {
protected:
    void SetUp() override
    {
        start({"DICOM-DX 1 1 0.15 1 0 0", "RAW 2048 2048 0.139 1 0 4096", "TWO  2048 2048 0.1 1 0 0",
               "SHORT 10 10 0.1", "dicom-lower 1 1 0.2 1 0 0"});
    }
};

TEST_F(ImageOpening, ChoosingAnEntryLoadsThePresetSlot)
{
    CMB1_Click(k, 1);
    EXPECT_EQ(k.ws.PRESETNAME[3], "RAW");
    EXPECT_EQ(k.ws.XSZ[3], 2048);
    EXPECT_EQ(k.ws.YSZ[3], 2048);
    EXPECT_FLOAT_EQ(k.ws.PIXMM[3], 0.139f);
    EXPECT_EQ(k.ws.LOGFAC[3], 1);
    EXPECT_EQ(k.ws.HDOFS[3], 4096);
    EXPECT_EQ(k.ws.DICOMF, 0);
    CMB1_Click(k, 4);
    EXPECT_EQ(k.ws.DICOMF, 1) << "the DICOM name is compared upper-cased";
    EXPECT_EQ(k.form.CMB1.ListIndex, 4);
}

TEST_F(ImageOpening, EntryWithFewerThanSevenFieldsIsRefused)
{
    CMB1_Click(k, 1);
    CMB1_Click(k, 3);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("seven"), std::string::npos);
    EXPECT_EQ(k.ws.PRESETNAME[3], "RAW") << "the previous preset stays";
    EXPECT_EQ(k.form.CMB1.ListIndex, 1);
}

TEST_F(ImageOpening, RefusedEntryNamesItsLineInTheListAndTheField)
{
    CMB1_Click(k, 1);
    CMB1_Click(k, 2); // "TWO  2048 ...": the doubled blank moves 0.1 into the encoding
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("Line 4 of the detector list: ", 0), 0u) << host.messages[0];
    EXPECT_NE(host.messages[0].find("the encoding \"0.1\""), std::string::npos) << host.messages[0];
    EXPECT_NE(host.messages[0].find("TWO  2048"), std::string::npos) << host.messages[0];
    EXPECT_EQ(k.ws.PRESETNAME[3], "RAW") << "the previous preset stays";
    EXPECT_EQ(k.form.CMB1.ListIndex, 1);
    CMB1_Click(k, 3);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].rfind("Line 5 of the detector list: ", 0), 0u) << host.messages[1];
}

TEST_F(ImageOpening, RawEntryReadsPixelsAfterItsHeader)
{
    std::vector<int16_t> values(2048 * 2048);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(i % 30011);
    readWith(1, write("big.raw", samples::rawBytes(values, 4096)));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(host.fileDialogFilters.at(0), "(*.*)|*.*|(*.IMG)|*.IMG|(*.DCM)|*.DCM|");
    EXPECT_EQ(pixels(0), values);
    EXPECT_EQ(k.ws.PRESETNAME[0], "RAW") << "the detector name goes with the view";
    EXPECT_EQ(k.ws.PRESETIDX[0], 1);
    EXPECT_EQ(k.ws.VIEWXS[0], 2048);
    EXPECT_EQ(k.ws.MAGF[0], 1.0f);
}

TEST_F(ImageOpening, TwoBlanksMakeAnEmptyWidthSoNothingIsRead)
{
    CMB1_Click(k, 2);
    EXPECT_EQ(k.ws.XSZ[3], 0);
    Command1_Click(k);
    EXPECT_TRUE(host.fileDialogFilters.empty()) << "no dialog without a preset width";
    EXPECT_EQ(k.ws.LOADED[0], 0);
}

TEST_F(ImageOpening, CancelledDialogChangesNothing)
{
    const auto image = dicom(300, 120, Syntax::ExplicitLittle);
    readWith(0, write("a.dcm", samples::dicomBytes(image)));
    CMB1_Click(k, 1);
    host.fileDialogAnswers.push_back(std::nullopt);
    Command1_Click(k);
    EXPECT_EQ(k.ws.XSZ[0], 300) << "the view's size still describes its image";
    EXPECT_EQ(k.ws.PRESETNAME[0], "DICOM-DX");
    EXPECT_EQ(pixels(0), image.pixels);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ImageOpening, ReadShowsTheImageInItsView)
{
    const auto image = dicom(300, 120, Syntax::ExplicitLittle);
    k.disp.DISPW = k.disp.DISPH = 300;
    readWith(0, write("a.dcm", samples::dicomBytes(image)));
    EXPECT_EQ(host.blitCount[0], 1);
    EXPECT_EQ(host.lastBlit[0].bitmap.width, 300);
    EXPECT_EQ(host.lastBlit[0].bitmap.height, 120);
    EXPECT_EQ(host.lastBlit[0].bitmap.top, 90) << "centred vertically";
    EXPECT_EQ(k.form.Caption, "1.000 3.333 1");
}

TEST_F(ImageOpening, DropOnTheRightPaneReadsIntoViewOneAndSelectsIt)
{
    CMB1_Click(k, 0);
    const auto image = dicom(256, 130, Syntax::ImplicitLittle);
    const std::string path = write("drop.dcm", samples::dicomBytes(image));
    PIC_OLEDragDrop(k, 1, {path, "/ignored/second"});
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(k.ws.CURSLOT, 1);
    EXPECT_EQ(pixels(1), image.pixels);
    EXPECT_EQ(k.ws.LOADED[0], 0);
    EXPECT_EQ(k.ws.FNAME[1], path);
    EXPECT_EQ(k.form.WAKU.Left, k.form.PIC[1].Left - 2) << "the frame moved to the right pane";
}

TEST_F(ImageOpening, DropWithoutFilesIsIgnored)
{
    CMB1_Click(k, 0);
    PIC_OLEDragDrop(k, 1, {});
    EXPECT_EQ(k.ws.CURSLOT, 0);
    EXPECT_EQ(k.ws.LOADED[1], 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ImageOpening, ClickOnAViewReloadsItsPreset)
{
    CMB1_Click(k, 1);
    readWith(0, write("a.dcm", samples::dicomBytes(dicom(256, 256, Syntax::ExplicitLittle))));
    CMB1_Click(k, 1);
    EXPECT_EQ(k.ws.DICOMF, 0);
    PIC_Click(k, 0);
    EXPECT_EQ(k.form.CMB1.ListIndex, 0);
    EXPECT_EQ(k.ws.DICOMF, 1);
    EXPECT_EQ(k.ws.PRESETNAME[3], "DICOM-DX");
    EXPECT_EQ(k.form.ROIXSZTX.Text, "100");
}

} // namespace
