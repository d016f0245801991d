#pragma once
// A host without a toolkit: prompts are answered from a queue and everything the core asks or
// shows is recorded. Used by the tests and by the headless measurement program.

#include "host.h"
#include "recording_canvas.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace vantry {

class ScriptedHost : public Host {
public:
    /// An answer that takes the prompt's default text.
    static constexpr const char* kAcceptDefault = "\x01(default)";
    /// Answers for the coming prompts, in order; nullopt answers as a cancel.
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<MsgBoxAnswer> msgBoxAnswers;
    std::deque<std::optional<std::string>> fileDialogAnswers;
    /// Answers of the save dialogs, in order; none left answers as a cancel.
    std::deque<std::optional<std::string>> saveDialogAnswers;
    /// The reports written, with their paths; writeReportError, when set, refuses the next one.
    std::vector<std::pair<std::string, DqeReport>> reports;
    std::string writeReportError;
    /// The answers of fileSha256 per path; a path not listed has none (an empty text).
    std::map<std::string, std::string> fileHashes;
    /// What dataFolder() answers.
    std::string dataFolderPath;

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
    std::optional<std::string> saveFileDialog(std::string_view filter, std::string_view suggested) override;
    std::string writeReport(const DqeReport& report, const std::string& path) override;
    std::string fileSha256(const std::string& path) override;
    std::string dataFolder() override;
    void blitPane(int view, const PaneBitmap& bitmap) override;
    void DoEvents() override;
    void setTimer(int intervalMs) override;
    void showAnalysisWindow() override;
    void closeAnalysisWindow() override;
    Canvas& analysisCanvas() override;
};

} // namespace vantry
