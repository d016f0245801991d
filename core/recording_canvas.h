#pragma once
// A canvas without a toolkit: every drawing call is kept as a display list, which tests assert on
// and which the headless tools replay into a picture file.

#include "host.h"

#include <string>
#include <vector>

namespace vantry {

/// One recorded drawing call. Positions are user coordinates; a line drawn relatively is recorded
/// with both ends absolute, and a print with the position its text starts at.
struct DrawCall {
    enum class Kind { Scale, Cls, Line, Point, Width, Style, Print };
    Kind kind = Kind::Cls;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0; ///< scale: left, top, width, height
    int value = 0;                          ///< colour (line, point), pixels (width) or style
    std::string text;                       ///< print only
    bool keepLine = false;                  ///< print only

    /// The call as one line of text: "line 0 0 3 0 c-1", "print; 10 at -0.36 2".
    std::string str() const;
};

class RecordingCanvas : public Canvas {
public:
    /// The nominal surface the text positions are measured on: pixels and one character cell.
    /// The cell is a little wider than the 12-pixel monospaced font the pictures of a display list
    /// are drawn in (7.2 pixels a character), so a text that fits here fits there.
    static constexpr double kWidthPx = 960, kHeightPx = 720, kCharPx = 8, kLinePx = 16;

    /// A surface of another size in pixels (the window's chart area); the drawing stays.
    void resizeSurface(double widthPx, double heightPx);
    double surfaceWidth() const { return m_surfaceW; }
    double surfaceHeight() const { return m_surfaceH; }

    void scale(double left, double top, double width, double height) override;
    void cls() override;
    void line(double x1, double y1, double x2, double y2, int colour) override;
    void point(double x, double y, int colour) override;
    void setDrawWidth(int pixels) override;
    void setDrawStyle(int style) override;
    void print(std::string_view text, bool keepLine) override;
    double textWidth(std::string_view text) const override;
    double lineHeight() const override;
    /// Characters of a UTF-8 text (bytes that do not continue a sequence).
    static size_t characters(std::string_view text);

    /// The calls since the last cls: the cls first, then the coordinate system in force.
    std::vector<DrawCall> calls;
    /// Off, the calls are not kept (a headless run that writes no picture); the coordinate
    /// system and the current position still follow them.
    bool keepCalls = true;
    /// The user coordinate system in force.
    double left = 0, top = 0, width = kWidthPx, height = kHeightPx;

private:
    double m_surfaceW = kWidthPx, m_surfaceH = kHeightPx;
};

} // namespace vantry
