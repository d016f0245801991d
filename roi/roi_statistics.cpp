#include "roi_statistics.h"

#include "numtext.h"
#include "roi_outside.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

struct Stats {
    int64_t count = 0;
    double mean = 0;
    double deviation = 0;
    int32_t width = 0;  ///< columns of the part inside the image
    int32_t height = 0; ///< rows of the part inside the image
};

/// Mean and population deviation of the pixels of columns x0 .. x1 and rows y0 .. y1 (inclusive)
/// that lie inside the image, rows outer, in double precision: single-precision running sums stop
/// taking in the pixels once they pass 2^24 times a pixel's size, which a detector's flat field
/// does after a few thousand pixels.
Stats measure(const ImageBuffer& img, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    Stats s;
    const int32_t left = std::max(x0, 0), top = std::max(y0, 0);
    const int32_t right = std::min(x1, img.width - 1), bottom = std::min(y1, img.height - 1);
    if (left > right || top > bottom) return s;
    double sum = 0;
    for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t x = left; x <= right; ++x) sum += img.at(x, y);
    }
    s.width = right - left + 1;
    s.height = bottom - top + 1;
    s.count = static_cast<int64_t>(s.width) * s.height;
    s.mean = sum / static_cast<double>(s.count);
    double squares = 0;
    for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t x = left; x <= right; ++x) {
            const double d = img.at(x, y) - s.mean;
            squares += d * d;
        }
    }
    s.deviation = std::sqrt(squares / static_cast<double>(s.count));
    return s;
}

/// a / b, or 0 when b is 0 (reported as 0.00).
double ratio(double a, double b)
{
    return b == 0 ? 0.0 : a / b;
}

std::string outsideMessage(const RoiRecord& r, const ImageBuffer& img)
{
    return roiOutsideMessage(r.ROIX, r.ROIY, r.ROIW, r.ROIH, img.width, img.height);
}

/// The button window of the current pane, or nullopt (with the message shown) when none of it is
/// inside the image.
std::optional<Stats> buttonWindow(Korvelf& k)
{
    const int p = k.ws.CURSLOT;
    const RoiRecord& r = k.roi[p];
    const Stats s = measure(k.ws.IMG[p], r.ROIX, r.ROIY, r.ROIX + r.ROIW, r.ROIY + r.ROIH);
    if (s.count == 0) {
        k.host.MsgBox(outsideMessage(r, k.ws.IMG[p]));
        return std::nullopt;
    }
    return s;
}

} // namespace

void ROICLC(Korvelf& k)
{
    const int p = k.ws.CURSLOT;
    const RoiRecord& r = k.roi[p];
    k.host.setClipboardText("");
    const Stats s = measure(k.ws.IMG[p], r.ROIX, r.ROIY, r.ROIX + r.ROIW - 1, r.ROIY + r.ROIH - 1);
    if (s.count == 0) {
        k.host.MsgBox(outsideMessage(r, k.ws.IMG[p]));
        return;
    }
    const double m = s.mean;
    k.means.LASTMEAN = static_cast<float>(m);
    const double difference = std::fabs(static_cast<double>(k.means.PREVMEAN) - m);
    const double cnr = ratio(difference, s.deviation);
    const double contrast = ratio(difference, m);
    // The size shown is that of the part measured, which differs from the ROI's when the ROI
    // reaches past the image.
    k.form.Caption = "Ave=" + fixed2(m) + " SD=" + fixed2(s.deviation) + " Cont.=" + fixed2(contrast) +
                     " CNR=" + fixed2(cnr) + plainNumber(static_cast<double>(s.width)) +
                     plainNumber(static_cast<double>(s.height));
    k.host.setClipboardText(fixed2(k.means.PREVMEAN) + "\r\n" + fixed2(m) + "\r\n" + fixed2(s.deviation) + "\r\n" +
                            fixed2(contrast) + "\r\n" + fixed2(cnr));
    k.means.PREVMEAN = static_cast<float>(m);
}

void ROI1SET_Click(Korvelf& k)
{
    const int p = k.ws.CURSLOT;
    if (k.ws.LOADED[p] != 1) return;
    if (const auto s = buttonWindow(k)) k.form.AVE1TX[p].Text = fixed2(s->mean);
}

void ROI2SET_Click(Korvelf& k)
{
    const int p = k.ws.CURSLOT;
    if (k.ws.LOADED[p] != 1) return;
    const auto s = buttonWindow(k);
    if (!s) return;
    KorvelfForm& f = k.form;
    k.means.LASTMEAN = static_cast<float>(s->mean);
    f.AVE2TX[p].Text = fixed2(s->mean);
    f.SDTX[p].Text = fixed2(s->deviation);
    if (s->deviation > 0) {
        // From the rounded texts of the boxes, as the operator sees them.
        const double a = leadingNumber(f.AVE1TX[p].Text);
        const double b = leadingNumber(f.AVE2TX[p].Text);
        f.CNRTX[p].Text = fixed2(std::fabs(a - b) / s->deviation);
        f.SNRTX[p].Text = fixed2(b / s->deviation);
    }
}

void VAL1TX_Change(Korvelf& k)
{
    k.form.VAL1TX.Text = fixed1(k.means.LASTMEAN);
}

} // namespace vantry
