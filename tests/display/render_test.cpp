// Fitting the shown region into the pane, the bitmap, the caption, magnification, "100%", "Fit".
#include "display_fixture.h"
#include "imgdsp.h"
#include "magnification.h"
#include "timer1.h"

#include <cmath>

using namespace vantry;

namespace {

class Render : public DisplayFixture {};

TEST_F(Render, WideImageFitsTheWidthWithBandsAboveAndBelow)
{
    pane(400, 400);
    loadImage(0, 1000, 500, numbered(1000, 500));
    IMGDSP(k);
    EXPECT_EQ(k.disp.BMPW, 400);
    EXPECT_EQ(k.disp.BMPH, 200);
    EXPECT_EQ(k.disp.OX[0], 0);
    EXPECT_EQ(k.disp.OY[0], 100);
    EXPECT_FLOAT_EQ(k.disp.PXS[0], 2.5f);
    EXPECT_EQ(k.form.Caption.rfind("0.400", 0), 0u) << k.form.Caption;
    EXPECT_EQ(k.form.Caption, "0.400 2.000 1") << "0.4 / 0.1 mm x 0.5 cycles";
    EXPECT_EQ(host.blitCount[0], 1);
    EXPECT_EQ(host.lastBlit[0].bitmap.top, 100);
    EXPECT_EQ(k.disp.DSPD[0], 1);
    EXPECT_EQ(k.disp.VIEWCX[0], 500);
    EXPECT_EQ(k.disp.VIEWCY[0], 250);
}

TEST_F(Render, TallImagesFitTheHeightAndPadTheirRows)
{
    pane(400, 400);
    loadImage(0, 300, 600, numbered(300, 600));
    IMGDSP(k);
    EXPECT_EQ(k.disp.BMPW, 200);
    EXPECT_EQ(k.disp.OX[0], 100);
    EXPECT_EQ(host.lastBlit[0].bitmap.rowBytes, 200);

    loadImage(0, 301, 600, numbered(301, 600));
    IMGDSP(k);
    EXPECT_EQ(k.disp.BMPW, 201) << "round(200.67)";
    EXPECT_EQ(host.lastBlit[0].bitmap.rowBytes, 204);
    EXPECT_EQ(k.disp.BMPBITS.size(), 204u * 400u);
}

TEST_F(Render, OneHundredPercentCentresOnTheLastClickedPoint)
{
    pane(500, 500);
    loadImage(0, 2000, 1000, numbered(2000, 1000));
    IMGDSP(k);
    k.disp.PCX[0] = 1900; // near the right edge: the region is clamped into the image
    k.disp.PCY[0] = 300;
    P100_Click(k);
    EXPECT_FLOAT_EQ(k.ws.MAGF[0], 4.0f);
    EXPECT_EQ(k.ws.VIEWXS[0], 500);
    EXPECT_EQ(k.ws.VIEWYS[0], 500);
    EXPECT_EQ(k.ws.VIEWX0[0], 1500);
    EXPECT_EQ(k.ws.VIEWY0[0], 50);
    EXPECT_FLOAT_EQ(k.disp.PXS[0], 1.0f);
}

TEST_F(Render, ScrollBarAtTwoHalvesTheRegionAroundItsCentre)
{
    pane(500, 500);
    loadImage(0, 1000, 1000, numbered(1000, 1000));
    IMGDSP(k);
    k.form.MAGHS.Value = 2;
    MAGHS_Change(k);
    EXPECT_FLOAT_EQ(k.ws.MAGF[0], 2.0f);
    EXPECT_EQ(k.ws.VIEWXS[0], 500);
    EXPECT_EQ(k.ws.VIEWYS[0], 500);
    EXPECT_EQ(k.ws.VIEWX0[0], 250);
    EXPECT_EQ(k.ws.VIEWY0[0], 250);
    REDISP_Click(k);
    EXPECT_EQ(k.ws.VIEWXS[0], 1000);
    EXPECT_EQ(k.ws.VIEWX0[0], 0);
    EXPECT_FLOAT_EQ(k.ws.MAGF[0], 1.0f);
}

TEST_F(Render, TallImageKeepsItsFullWidthUntilTheRegionFillsThePane)
{
    pane(500, 250);
    loadImage(0, 400, 800, numbered(400, 800)); // ai = 0.5 <= ab = 2
    IMGDSP(k);
    int16_t vw = 0, vh = 0;
    MAGCLC(k, 2.0f, vw, vh); // t = 800 / (400 / 2) = 4
    EXPECT_EQ(vw, 400);
    EXPECT_EQ(vh, 400);
    MAGCLC(k, 8.0f, vw, vh);
    EXPECT_EQ(vh, 100);
    EXPECT_EQ(vw, 200) << "vh x ab";
}

/// Independent rendering of the whole pane: dark grey, and the region scaled bilinearly in
/// 1/2048ths through a window ramp computed here.
std::vector<uint8_t> expectedPane(const ImageBuffer& img, int x0, int y0, int sw, int sh, int paneW,
                                  int paneH, int ww, int wl)
{
    const double av = static_cast<float>(double(sw) / sh), ab = static_cast<float>(double(paneW) / paneH);
    int bw = paneW, bh = paneH, ox = 0, oy = 0;
    if (av <= ab) {
        bw = static_cast<int>(std::nearbyint(double(paneH) / sh * sw));
        ox = static_cast<int>(std::nearbyint((paneW - bw) / 2.0));
    } else {
        bh = static_cast<int>(std::nearbyint(double(paneW) / sw * sh));
        oy = static_cast<int>(std::nearbyint((paneH - bh) / 2.0));
    }
    auto ramp = [&](int v) {
        const long lo = std::lrint(wl - ww / 2.0), hi = std::lrint(wl + ww / 2.0);
        if (v <= lo) return 0;
        if (v >= hi) return 255;
        return static_cast<int>(std::nearbyint((v - lo) * 255.0 / ww));
    };
    auto axis = [](int i, int source, int dest) {
        const float scale = dest > 1 ? static_cast<float>(double(source - 1) / (dest - 1)) : 0.0f;
        const double t = i * double(scale);
        const int index = static_cast<int>(t);
        if (index >= source - 1) return std::pair{source - 1, 0};
        return std::pair{index, static_cast<int>((t - index) * 2048)};
    };
    std::vector<uint8_t> out(static_cast<size_t>(paneW) * paneH, 64);
    for (int y = 0; y < bh; ++y) {
        const auto [iy, wy] = axis(y, sh, bh);
        for (int x = 0; x < bw; ++x) {
            const auto [ix, wx] = axis(x, sw, bw);
            auto h = [&](int r) {
                const int p0 = img.at(x0 + ix, y0 + r);
                const int p1 = wx ? img.at(x0 + ix + 1, y0 + r) : 0;
                return (p0 * (2048 - wx) + p1 * wx) / 2048;
            };
            const int top = h(iy);
            const int bottom = wy ? h(iy + 1) : 0;
            out[static_cast<size_t>(oy + y) * paneW + ox + x] = static_cast<uint8_t>(ramp((top * (2048 - wy) + bottom * wy) / 2048));
        }
    }
    return out;
}

/// The pane as the host shows it: dark grey with the blitted bottom-up bitmap at its offset.
std::vector<uint8_t> shownPane(const ScriptedHost& host, int paneW, int paneH)
{
    const auto& b = host.lastBlit[0].bitmap;
    std::vector<uint8_t> out(static_cast<size_t>(paneW) * paneH, 64);
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
            out[static_cast<size_t>(b.top + y) * paneW + b.left + x] = b.bits[static_cast<size_t>(b.height - 1 - y) * b.rowBytes + x];
        }
    }
    return out;
}

TEST_F(Render, WholePaneMatchesAnIndependentRenderingPixelForPixel)
{
    pane(397, 283);
    std::vector<int16_t> pixels(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) pixels[static_cast<size_t>(y) * 640 + x] = static_cast<int16_t>((x * 13 + y * 7) % 3000 - 200);
    loadImage(0, 640, 480, pixels);
    k.ws.WW[0] = 1500;
    k.ws.WL[0] = 900;
    IMGDSP(k);
    EXPECT_EQ(shownPane(host, 397, 283), expectedPane(k.ws.IMG[0], 0, 0, 640, 480, 397, 283, 1500, 900));

    k.form.MAGHS.Value = 5; // a magnified region off the centre
    k.disp.VIEWCX[0] = 100;
    k.disp.VIEWCY[0] = 400;
    MAGHS_Change(k);
    EXPECT_EQ(shownPane(host, 397, 283), expectedPane(k.ws.IMG[0], k.ws.VIEWX0[0], k.ws.VIEWY0[0], k.ws.VIEWXS[0],
                                                      k.ws.VIEWYS[0], 397, 283, 1500, 900));
}

TEST_F(Render, TimerTickRedrawsTheCurrentViewOnce)
{
    pane(300, 300);
    loadImage(0, 100, 100, numbered(100, 100));
    k.form.Timer1 = {300, true};
    Timer1_Timer(k);
    EXPECT_EQ(host.blitCount[0], 1);
    EXPECT_FALSE(k.form.Timer1.Enabled);
}

TEST_F(Render, NothingIsDrawnWithoutAnImageOrBeforeTheLayout)
{
    IMGDSP(k);
    EXPECT_EQ(host.blitCount[0], 0);
    loadImage(0, 100, 100, numbered(100, 100));
    IMGDSP(k); // the pane has no size yet
    EXPECT_EQ(host.blitCount[0], 0);
}

} // namespace
