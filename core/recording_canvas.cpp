#include "recording_canvas.h"

#include <cmath>
#include <sstream>

namespace vantry {
namespace {

DrawCall call(DrawCall::Kind kind, double x1 = 0, double y1 = 0, double x2 = 0, double y2 = 0,
              int value = 0)
{
    DrawCall c;
    c.kind = kind;
    c.x1 = x1;
    c.y1 = y1;
    c.x2 = x2;
    c.y2 = y2;
    c.value = value;
    return c;
}

} // namespace

std::string DrawCall::str() const
{
    std::ostringstream out;
    switch (kind) {
    case Kind::Scale:
        out << "scale " << x1 << ' ' << y1 << ' ' << x2 << ' ' << y2;
        break;
    case Kind::Cls:
        out << "cls";
        break;
    case Kind::Line:
        out << "line " << x1 << ' ' << y1 << ' ' << x2 << ' ' << y2 << " c" << value;
        break;
    case Kind::Point:
        out << "point " << x1 << ' ' << y1 << " c" << value;
        break;
    case Kind::Width:
        out << "width " << value;
        break;
    case Kind::Style:
        out << "style " << value;
        break;
    case Kind::Print:
        out << (keepLine ? "print; " : "print ") << text << " at " << x1 << ' ' << y1;
        break;
    }
    return out.str();
}

void RecordingCanvas::scale(double l, double t, double w, double h)
{
    if (w == 0 || h == 0) return;
    left = l;
    top = t;
    width = w;
    height = h;
    calls.push_back(call(DrawCall::Kind::Scale, l, t, w, h));
}

void RecordingCanvas::cls()
{
    // What a clear erases is gone from the display list too, so it never grows past one chart.
    calls.clear();
    calls.push_back(call(DrawCall::Kind::Cls));
    calls.push_back(call(DrawCall::Kind::Scale, left, top, width, height));
    setCurrentPosition(0, 0);
}

void RecordingCanvas::line(double x1, double y1, double x2, double y2, int colour)
{
    if (keepCalls) calls.push_back(call(DrawCall::Kind::Line, x1, y1, x2, y2, colour));
    setCurrentPosition(x2, y2);
}

void RecordingCanvas::point(double x, double y, int colour)
{
    if (keepCalls) calls.push_back(call(DrawCall::Kind::Point, x, y, 0, 0, colour));
    setCurrentPosition(x, y);
}

void RecordingCanvas::setDrawWidth(int pixels)
{
    calls.push_back(call(DrawCall::Kind::Width, 0, 0, 0, 0, pixels));
}

void RecordingCanvas::setDrawStyle(int style)
{
    calls.push_back(call(DrawCall::Kind::Style, 0, 0, 0, 0, style));
}

void RecordingCanvas::print(std::string_view text, bool keepLine)
{
    DrawCall c = call(DrawCall::Kind::Print, currentX(), currentY());
    c.text = std::string(text);
    c.keepLine = keepLine;
    calls.push_back(std::move(c));
    if (keepLine) {
        setCurrentPosition(currentX() + textWidth(text) * (width < 0 ? -1 : 1), currentY());
    } else {
        setCurrentPosition(left, currentY() + kLinePx * height / m_surfaceH);
    }
}

size_t RecordingCanvas::characters(std::string_view text)
{
    size_t n = 0;
    for (const char ch : text) {
        if ((static_cast<unsigned char>(ch) & 0xc0) != 0x80) ++n;
    }
    return n;
}

double RecordingCanvas::textWidth(std::string_view text) const
{
    return static_cast<double>(characters(text)) * kCharPx * std::abs(width) / m_surfaceW;
}

double RecordingCanvas::lineHeight() const
{
    return kLinePx * std::abs(height) / m_surfaceH;
}

void RecordingCanvas::resizeSurface(double widthPx, double heightPx)
{
    if (!(widthPx >= 1) || !(heightPx >= 1)) return;
    m_surfaceW = widthPx;
    m_surfaceH = heightPx;
}

} // namespace vantry
