#pragma once
// core/host.h — everything the core asks of the toolkit; no toolkit type appears here.

#include "dqe_report.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

/// An 8-bit grey picture with rows stored bottom-up, each row padded to a multiple of 4 bytes,
/// placed at (left, top) of a pane whose other pixels are dark grey (64, 64, 64).
struct PaneBitmap {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowBytes = 0;
    const uint8_t* bits = nullptr;
    int32_t paneWidth = 0;  ///< inner size of the pane
    int32_t paneHeight = 0;
};

/// A picture handed to the clipboard: RGB, 3 bytes per pixel, rows top-down, unpadded.
struct ClipboardPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
};

enum class MsgBoxAnswer { Ok, Yes, No, Cancel };

/// Palette colour number that stands for the surface's foreground colour.
constexpr int kForeColour = -1;
/// Line styles of `Canvas::setDrawStyle`.
constexpr int kSolid = 0;
constexpr int kDotted = 2;

/// Drawing surface of the analysis window in a user coordinate system. It keeps its drawing like
/// paper until cleared. Colours are numbers of the 16-colour palette (0 black, 1 blue, 2 green,
/// 3 cyan, 4 red, 5 magenta, 6 brown, 7 light grey, 8 dark grey, 9 .. 15 their light versions and
/// white) or kForeColour.
class Canvas {
public:
    virtual ~Canvas() = default;
    /// User coordinates: (left, top) is the top-left corner of the surface; a negative height
    /// makes y grow upward. A width or height of 0 is ignored (the previous system stays).
    virtual void scale(double left, double top, double width, double height) = 0;
    /// Erases everything; the current position goes to (0, 0).
    virtual void cls() = 0;
    /// Line from (x1, y1) to (x2, y2); the current position moves to its end.
    virtual void line(double x1, double y1, double x2, double y2, int colour) = 0;
    /// Line from the current position by (dx, dy).
    void lineRelative(double dx, double dy, int colour)
    {
        line(m_currentX, m_currentY, m_currentX + dx, m_currentY + dy, colour);
    }
    /// One pixel at (x, y), which becomes the current position.
    virtual void point(double x, double y, int colour) = 0;
    /// Line width in pixels, 1 or 2.
    virtual void setDrawWidth(int pixels) = 0;
    /// kSolid or kDotted (dotted applies to width 1 only).
    virtual void setDrawStyle(int style) = 0;
    /// Prints text in the foreground colour with its top-left corner at the current position;
    /// keepLine leaves the position right after the text, otherwise it moves to the left edge of
    /// the next text line.
    virtual void print(std::string_view text, bool keepLine) = 0;
    /// How far `text` reaches to the right when printed, in user x units (never negative).
    virtual double textWidth(std::string_view text) const = 0;
    /// The height of one printed text line in user y units (never negative).
    virtual double lineHeight() const = 0;

    void setCurrentPosition(double x, double y)
    {
        m_currentX = x;
        m_currentY = y;
    }
    double currentX() const { return m_currentX; }
    double currentY() const { return m_currentY; }

protected:
    double m_currentX = 0;
    double m_currentY = 0;
};

/// The one seam to the toolkit.
class Host {
public:
    virtual ~Host() = default;
    /// One-line prompt with a default text; nullopt when the operator cancels.
    virtual std::optional<std::string> InputBox(std::string_view prompt, std::string_view deflt) = 0;
    /// Message box with an OK button.
    virtual void MsgBox(std::string_view text) = 0;
    /// Message box with Yes, No and Cancel.
    virtual MsgBoxAnswer MsgBoxYesNoCancel(std::string_view text) = 0;
    virtual void setClipboardText(std::string_view text) = 0;
    virtual void setClipboardPicture(const ClipboardPicture& picture) = 0;
    /// Puts the picture pane `view` shows (its bitmap over the background, no overlay shapes) on
    /// the clipboard.
    virtual void copyPaneToClipboard(int view) = 0;
    /// Open-file dialog with a filter list ("(*.*)|*.*|..."); nullopt when cancelled.
    virtual std::optional<std::string> openFileDialog(std::string_view filter) = 0;
    /// Save-file dialog with a filter list and a suggested file name; nullopt when cancelled.
    virtual std::optional<std::string> saveFileDialog(std::string_view filter, std::string_view suggested) = 0;
    /// Writes the DQE report to `path` as a PDF; an empty text, or why it was not written.
    virtual std::string writeReport(const DqeReport& report, const std::string& path) = 0;
    /// The SHA-256 of the file's bytes in hexadecimal, "unreadable", or an empty text when this
    /// host does not compute it.
    virtual std::string fileSha256(const std::string& path)
    {
        (void)path;
        return {};
    }
    /// The folder where the program keeps its own files for this user (created when missing), or
    /// an empty text when there is none.
    virtual std::string dataFolder() { return {}; }
    /// Shows the bitmap in pane `view` over the dark grey background, then refreshes the pane.
    virtual void blitPane(int view, const PaneBitmap& bitmap) = 0;
    /// Lets the toolkit run pending events (repaints, input) in the middle of a long loop.
    virtual void DoEvents() = 0;
    /// Starts the one-shot redraw timer with the interval in ms, or stops it for 0.
    virtual void setTimer(int intervalMs) = 0;
    virtual void showAnalysisWindow() = 0;
    virtual void closeAnalysisWindow() = 0;
    virtual Canvas& analysisCanvas() = 0;
};

} // namespace vantry
