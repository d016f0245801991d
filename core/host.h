#pragma once
// core/host.h — everything the core asks of the toolkit; no toolkit type appears here.

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

/// Drawing surface of the analysis window in a user coordinate system; keeps its drawing like
/// paper until cleared.
class Canvas {
public:
    virtual ~Canvas() = default;
    /// Sets the user coordinates of the top-left and bottom-right corners.
    virtual void scale(double x1, double y1, double x2, double y2) = 0;
    virtual void cls() = 0;
    /// Line from (x1, y1) to (x2, y2) in colour `colour` of the 16-colour palette.
    virtual void line(double x1, double y1, double x2, double y2, int colour) = 0;
    /// Line from the current position by (dx, dy).
    virtual void lineRelative(double dx, double dy, int colour) = 0;
    virtual void point(double x, double y, int colour) = 0;
    virtual void setDrawWidth(int pixels) = 0;
    /// 0 solid, 1 dash, 2 dot, as the toolkit draws them.
    virtual void setDrawStyle(int style) = 0;
    virtual void setCurrentPosition(double x, double y) = 0;
    /// Prints text at the current position; keepLine leaves the position after the text.
    virtual void print(std::string_view text, bool keepLine) = 0;
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
