#include "svg_writer.h"

#include "clip_segment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <utility>

namespace vantry::samples {
namespace {

constexpr double kSurfaceW = RecordingCanvas::kWidthPx;
constexpr double kSurfaceH = RecordingCanvas::kHeightPx;
/// The window's font: 12 pixels, ascent 11.
constexpr int kFontPx = 12;
constexpr int kAscentPx = 11;
/// Drawing this far outside the surface cannot show; clipping keeps the numbers small.
constexpr double kMargin = 4;

const char* colourOf(int index)
{
    static const char* const palette[16] = {
        "#000000", "#000080", "#008000", "#008080", "#800000", "#800080", "#808000", "#c0c0c0",
        "#808080", "#0000ff", "#00ff00", "#00ffff", "#ff0000", "#ff00ff", "#ffff00", "#ffffff"};
    return index < 0 ? "#ffffff" : palette[index & 15];
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

/// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot start one.
size_t sequenceLength(unsigned char lead)
{
    if (lead >= 0xc2 && lead <= 0xdf) return 2;
    if (lead >= 0xe0 && lead <= 0xef) return 3;
    if (lead >= 0xf0 && lead <= 0xf4) return 4;
    return 0;
}

/// The code point of the UTF-8 sequence at text[at], or -1 when it is not a whole, shortest-form
/// sequence of a character.
int32_t decodeAt(std::string_view text, size_t at, size_t length)
{
    if (length == 0 || at + length > text.size()) return -1;
    uint32_t code = static_cast<unsigned char>(text[at]) & (0x7fu >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xc0) != 0x80) return -1;
        code = (code << 6) | (next & 0x3fu);
    }
    const uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return -1;
    return static_cast<int32_t>(code);
}

/// Character data for XML: markup characters escaped, bytes that are not UTF-8 read as Latin-1
/// (as a detector list written on another system may hold them), control characters replaced.
std::string xmlText(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c < 0x20 || c == 0x7f) {
            out += "&#xFFFD;";
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const size_t length = sequenceLength(c); decodeAt(text, i, length) >= 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        } else {
            char ref[16];
            std::snprintf(ref, sizeof ref, "&#x%X;", static_cast<unsigned>(c));
            out += ref;
        }
        ++i;
    }
    return out;
}

class Replay {
public:
    std::string svg(const std::vector<DrawCall>& calls)
    {
        for (const DrawCall& c : calls) draw(c);
        flush();
        std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"960\" height=\"720\" "
                          "viewBox=\"0 0 960 720\">\n"
                          "<rect x=\"0\" y=\"0\" width=\"960\" height=\"720\" fill=\"#000000\"/>\n"
                          "<g font-family=\"DejaVu Sans Mono, monospace\" font-size=\"" +
                          std::to_string(kFontPx) + "\" fill=\"none\">\n";
        out += m_body;
        out += "</g>\n</svg>\n";
        return out;
    }

private:
    double m_left = 0, m_top = 0, m_width = kSurfaceW, m_height = kSurfaceH;
    int m_drawWidth = 1;
    int m_style = kSolid;
    std::string m_body;
    /// Lines that join end to start in the same pen become one polyline.
    std::vector<std::pair<double, double>> m_path;
    std::string m_pathPen;

    double px(double x) const { return (x - m_left) / m_width * kSurfaceW; }
    double py(double y) const { return (y - m_top) / m_height * kSurfaceH; }

    void draw(const DrawCall& c)
    {
        switch (c.kind) {
        case DrawCall::Kind::Scale:
            if (c.x2 != 0 && c.y2 != 0 && std::isfinite(c.x1) && std::isfinite(c.y1) &&
                std::isfinite(c.x2) && std::isfinite(c.y2)) {
                m_left = c.x1;
                m_top = c.y1;
                m_width = c.x2;
                m_height = c.y2;
            }
            break;
        case DrawCall::Kind::Cls:
            m_path.clear();
            m_body.clear();
            break;
        case DrawCall::Kind::Width:
            m_drawWidth = std::clamp(c.value, 1, 2);
            break;
        case DrawCall::Kind::Style:
            m_style = c.value;
            break;
        case DrawCall::Kind::Line:
            line(c);
            break;
        case DrawCall::Kind::Point:
            flush();
            point(c);
            break;
        case DrawCall::Kind::Print:
            flush();
            text(c);
            break;
        }
    }

    /// Stroke attributes as the window's pen draws: a dotted pen of two pixels draws solid, wide
    /// lines have round ends.
    std::string pen(int colour) const
    {
        const bool dotted = m_style == kDotted && m_drawWidth == 1;
        return std::string(" stroke=\"") + colourOf(colour) + "\" stroke-width=\"" +
               std::to_string(m_drawWidth) + "\"" +
               (dotted            ? " stroke-dasharray=\"1 2\""
                : m_drawWidth > 1 ? " stroke-linecap=\"round\" stroke-linejoin=\"round\""
                                  : " stroke-linecap=\"square\"");
    }

    void flush()
    {
        if (m_path.size() == 2) {
            m_body += "<line x1=\"" + number(m_path[0].first) + "\" y1=\"" +
                      number(m_path[0].second) + "\" x2=\"" + number(m_path[1].first) + "\" y2=\"" +
                      number(m_path[1].second) + "\"" + m_pathPen + "/>\n";
        } else if (m_path.size() > 2) {
            m_body += "<polyline points=\"";
            for (size_t i = 0; i < m_path.size(); ++i) {
                m_body +=
                    (i == 0 ? "" : " ") + number(m_path[i].first) + "," + number(m_path[i].second);
            }
            m_body += "\"" + m_pathPen + "/>\n";
        }
        m_path.clear();
    }

    void line(const DrawCall& c)
    {
        double x1 = px(c.x1), y1 = py(c.y1), x2 = px(c.x2), y2 = py(c.y2);
        if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
            return;
        if (!clipSegment(x1, y1, x2, y2, -kMargin, -kMargin, kSurfaceW + kMargin, kSurfaceH + kMargin))
            return;
        std::string stroke = pen(c.value);
        // Compared as written, so that a join is what a reader of the file sees as one.
        const bool joins = !m_path.empty() && stroke == m_pathPen &&
                           number(m_path.back().first) == number(x1) &&
                           number(m_path.back().second) == number(y1);
        if (!joins) {
            flush();
            m_pathPen = std::move(stroke);
            m_path.emplace_back(x1, y1);
        }
        m_path.emplace_back(x2, y2);
    }

    void point(const DrawCall& c)
    {
        const double x = px(c.x1), y = py(c.y1);
        if (!(x > -kMargin && x < kSurfaceW + kMargin && y > -kMargin && y < kSurfaceH + kMargin))
            return;
        m_body += "<rect x=\"" + number(std::floor(x + 0.5)) + "\" y=\"" +
                  number(std::floor(y + 0.5)) + "\" width=\"" + std::to_string(m_drawWidth) +
                  "\" height=\"" + std::to_string(m_drawWidth) + "\" fill=\"" + colourOf(c.value) +
                  "\"/>\n";
    }

    void text(const DrawCall& c)
    {
        const double x = px(c.x1), y = py(c.y1);
        if (c.text.empty() || !(std::fabs(x) < 1e6 && std::fabs(y) < 1e6)) return;
        m_body += "<text x=\"" + number(x) + "\" y=\"" + number(y + kAscentPx) +
                  "\" fill=\"#ffffff\" xml:space=\"preserve\">" + xmlText(c.text) + "</text>\n";
    }
};

} // namespace

std::string chartSvg(const std::vector<DrawCall>& calls)
{
    return Replay().svg(calls);
}

} // namespace vantry::samples
