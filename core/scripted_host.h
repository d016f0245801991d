#pragma once
// A host without a toolkit: prompts are answered from a queue and everything the core asks or
// shows is recorded. Used by the tests and by the headless measurement program.

#include "host.h"

#include <deque>
#include <string>
#include <vector>

namespace vantry {

/// One drawing call on the recorded canvas, as text: "line 0 0 1 1 c4", "print Hello".
class RecordingCanvas : public Canvas {
public:
    void scale(double x1, double y1, double x2, double y2) override;
    void cls() override;
    void line(double x1, double y1, double x2, double y2, int colour) override;
    void lineRelative(double dx, double dy, int colour) override;
    void point(double x, double y, int colour) override;
    void setDrawWidth(int pixels) override;
    void setDrawStyle(int style) override;
    void setCurrentPosition(double x, double y) override;
    void print(std::string_view text, bool keepLine) override;

    std::vector<std::string> calls;
    double currentX = 0;
    double currentY = 0;
};

class ScriptedHost : public Host {
public:
    /// Answers for the coming prompts, in order; nullopt answers as a cancel.
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<MsgBoxAnswer> msgBoxAnswers;
    std::deque<std::optional<std::string>> fileDialogAnswers;

    struct Prompt {
        std::string prompt;
        std::string deflt;
    };
    std::vector<Prompt> prompts;
    std::vector<std::string> messages;
    std::vector<std::string> fileDialogFilters;
    std::string clipboardText;
    std::optional<ClipboardPicture> clipboardPicture;
    int timerInterval = 0;
    int timerStarts = 0;
    int doEventsCalls = 0;
    bool analysisWindowShown = false;

    struct Blit {
        PaneBitmap bitmap;
        std::vector<uint8_t> bits; // a copy, rowBytes x height
    };
    std::vector<Blit> lastBlit = std::vector<Blit>(2);
    int blitCount[2] = {0, 0};
    RecordingCanvas canvas;

    std::optional<std::string> InputBox(std::string_view prompt, std::string_view deflt) override;
    void MsgBox(std::string_view text) override;
    MsgBoxAnswer MsgBoxYesNoCancel(std::string_view text) override;
    void setClipboardText(std::string_view text) override;
    void setClipboardPicture(const ClipboardPicture& picture) override;
    void copyPaneToClipboard(int view) override;
    std::optional<std::string> openFileDialog(std::string_view filter) override;
    void blitPane(int view, const PaneBitmap& bitmap) override;
    void DoEvents() override;
    void setTimer(int intervalMs) override;
    void showAnalysisWindow() override;
    void closeAnalysisWindow() override;
    Canvas& analysisCanvas() override;
};

} // namespace vantry
