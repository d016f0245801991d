// A whole measurement as an operator makes it, on the scripted host: start-up, preset, read,
// layout, moving the ROI with the mouse, release, then "ROI" and "ROI back" on the same image.
#include "dicom_writer.h"
#include "form_load.h"
#include "form_resize.h"
#include "gestures.h"
#include "image_opening.h"
#include "pic_click.h"
#include "roi_statistics.h"
#include "workspace_fixture.h"

using namespace vantry;

namespace {

class OperatorRoad : public WorkspaceFixture {};

TEST_F(OperatorRoad, ReadMoveMeasureAndCompareWithBackground)
{
    writeList("Detector Width Height Pitch Encoding Offset Header\nDICOM 1 1 0.1 1 0 0\n");
    ASSERT_TRUE(Form_Load(k));
    k.form.Width = 1218;
    k.form.Height = 800;
    Form_Resize(k); // panes of 600, drawing area 596 x 656

    // An image whose left half is 1000 and right half 3000, with a 2-level checkerboard noise.
    samples::DicomImage image;
    image.columns = image.rows = 596;
    image.pixels.resize(596 * 596);
    for (int y = 0; y < 596; ++y)
        for (int x = 0; x < 596; ++x) image.pixels[static_cast<size_t>(y) * 596 + x] = static_cast<int16_t>((x < 298 ? 1000 : 3000) + ((x + y) % 2 ? 5 : -5));
    const std::string path = (folder / "road.dcm").string();
    samples::writeFile(path, samples::dicomBytes(image));

    CMB1_Click(k, 0);
    host.fileDialogAnswers.push_back(path);
    Command1_Click(k);
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    ASSERT_EQ(host.blitCount[0], 1);
    EXPECT_FLOAT_EQ(k.disp.PXS[0], 1.0f) << "596 pixels into 596 pane pixels";
    EXPECT_EQ(k.disp.OY[0], 30);

    // Drag the ROI rectangle onto the bright half, centred at pane (450, 330).
    const Control& sh = k.form.SH1[0];
    PIC_MouseDown(k, 0, kButtonLeft, 0, sh.Left + 50, sh.Top + 50);
    PIC_MouseMove(k, 0, kButtonLeft, 0, 450, 330);
    PIC_MouseUp(k, 0, kButtonLeft, 0, 450, 330);
    PIC_Click(k, 0);
    EXPECT_EQ(k.roi[0].ROIX, 400);
    EXPECT_EQ(k.roi[0].ROIY, 250) << "pane row 280 is image row 250 below the 30-pixel band";
    EXPECT_EQ(k.form.Caption, "Ave=3000.00 SD=5.00 Cont.=1.00 CNR=600.00 100 100");
    EXPECT_EQ(host.clipboardText, "0.00\r\n3000.00\r\n5.00\r\n1.00\r\n600.00");

    ROI1SET_Click(k); // 101 x 101: one more of the +5 than of the -5 pixels
    EXPECT_EQ(k.form.AVE1TX[0].Text, "3000.00");

    // Move the same ROI to the dark half and measure the background.
    PIC_MouseDown(k, 0, kButtonLeft, 0, sh.Left + 50, sh.Top + 50);
    PIC_MouseMove(k, 0, kButtonLeft, 0, 150, 330);
    PIC_MouseUp(k, 0, kButtonLeft, 0, 150, 330);
    EXPECT_EQ(k.form.Caption, "Ave=1000.00 SD=5.00 Cont.=2.00 CNR=400.00 100 100") << "contrast of the pair";
    ROI2SET_Click(k);
    EXPECT_EQ(k.form.AVE2TX[0].Text, "1000.00");
    EXPECT_EQ(k.form.SDTX[0].Text, "5.00");
    EXPECT_EQ(k.form.SNRTX[0].Text, "200.00");
    EXPECT_EQ(k.form.CNRTX[0].Text, "400.00");
}

} // namespace
