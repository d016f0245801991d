#include "transforms.h"

#include "analysis_busy.h"
#include "imgdsp.h"
#include "numtext.h"

#include <vector>

namespace vantry {
namespace {

void mirror(Korvelf& k, ImageBuffer& img)
{
    auto copy = PARVEL(k.kernels, var2trn);
    std::vector<int16_t> a(static_cast<size_t>(img.width)), b(static_cast<size_t>(img.width));
    for (int32_t y = 0; y < img.height; ++y) {
        int16_t* row = &img.at(0, y);
        copy(a.data(), row, img.width);
        for (int32_t x = 0; x < img.width; ++x) b[x] = a[img.width - 1 - x];
        copy(row, b.data(), img.width);
    }
}

void flip(Korvelf& k, ImageBuffer& img)
{
    auto copy = PARVEL(k.kernels, var2trn);
    std::vector<int16_t> a(static_cast<size_t>(img.width)), b(static_cast<size_t>(img.width));
    for (int32_t y = 0; y < img.height / 2; ++y) {
        int16_t* top = &img.at(0, y);
        int16_t* bottom = &img.at(0, img.height - 1 - y);
        copy(a.data(), top, img.width);
        copy(b.data(), bottom, img.width);
        copy(bottom, a.data(), img.width);
        copy(top, b.data(), img.width);
    }
}

/// A quarter turn clockwise through COPYIMG, which keeps the turned image afterwards.
void rotate(Korvelf& k, int view)
{
    Workspace& ws = k.ws;
    ImageBuffer& img = ws.IMG[view];
    const int32_t w = img.width, h = img.height;
    ImageBuffer& turned = ws.COPYIMG;
    turned.width = h;
    turned.height = w;
    turned.pixels.assign(img.pixels.size(), 0);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) turned.at(h - 1 - y, x) = img.at(x, y);
    }
    ws.XSZ[view] = h;
    ws.YSZ[view] = w;
    img = turned;
}

void mark(Korvelf& k, int view)
{
    ImageBuffer& img = k.ws.IMG[view];
    const RoiRecord& roi = k.roi[view];
    for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
            const int32_t x = roi.ROIX + dx, y = roi.ROIY + dy;
            if (x >= 0 && y >= 0 && x < img.width && y < img.height) img.at(x, y) = kMarkValue;
        }
    }
}

} // namespace

void FLIPGO_Click(Korvelf& k)
{
    if (refusedWhileAnalysing(k)) return;
    const int view = k.ws.CURSLOT;
    if (k.ws.LOADED[view] != 1) return;
    const auto answer = k.host.InputBox(kFlipPrompt, "0");
    // A cancel gives 0, like an answer without a number; a number beyond 16 bits matches nothing.
    const std::optional<int16_t> op = roundToInt16(answer ? leadingNumber(*answer) : 0.0);
    switch (op.value_or(-1)) {
    case 0:
        mirror(k, k.ws.IMG[view]);
        break;
    case 1:
        flip(k, k.ws.IMG[view]);
        break;
    case 2:
        rotate(k, view);
        break;
    case 3:
        mark(k, view);
        break;
    default:
        break;
    }
    IMGDSP(k);
}

} // namespace vantry
