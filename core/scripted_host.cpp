#include "scripted_host.h"

#include <utility>

namespace vantry {

std::optional<std::string> ScriptedHost::InputBox(std::string_view prompt, std::string_view deflt)
{
    prompts.push_back({std::string(prompt), std::string(deflt)});
    if (inputAnswers.empty()) return std::nullopt;
    auto answer = inputAnswers.front();
    inputAnswers.pop_front();
    if (answer == kAcceptDefault) return std::string(deflt);
    return answer;
}

void ScriptedHost::MsgBox(std::string_view text)
{
    messages.emplace_back(text);
}

MsgBoxAnswer ScriptedHost::MsgBoxYesNoCancel(std::string_view text)
{
    messages.emplace_back(text);
    if (msgBoxAnswers.empty()) return MsgBoxAnswer::Cancel;
    const MsgBoxAnswer answer = msgBoxAnswers.front();
    msgBoxAnswers.pop_front();
    return answer;
}

std::string ScriptedHost::fileSha256(const std::string& path)
{
    const auto found = fileHashes.find(path);
    return found == fileHashes.end() ? std::string() : found->second;
}

std::string ScriptedHost::dataFolder()
{
    return dataFolderPath;
}

void ScriptedHost::setClipboardText(std::string_view text)
{
    clipboardText = std::string(text);
    clipboardPicture.reset();
}

void ScriptedHost::setClipboardPicture(const ClipboardPicture& picture)
{
    clipboardPicture = picture;
    clipboardText.clear();
}

void ScriptedHost::copyPaneToClipboard(int view)
{
    const PaneBitmap& b = lastBlit.at(static_cast<size_t>(view)).bitmap;
    ClipboardPicture picture;
    picture.width = b.paneWidth;
    picture.height = b.paneHeight;
    picture.rgb.assign(static_cast<size_t>(b.paneWidth) * b.paneHeight * 3, 64);
    for (int32_t y = 0; y < b.height; ++y) {
        for (int32_t x = 0; x < b.width; ++x) {
            const int32_t px = b.left + x, py = b.top + y;
            if (px < 0 || py < 0 || px >= b.paneWidth || py >= b.paneHeight) continue;
            const uint8_t grey = b.bits[static_cast<size_t>(b.height - 1 - y) * b.rowBytes + x];
            uint8_t* to = &picture.rgb[(static_cast<size_t>(py) * b.paneWidth + px) * 3];
            to[0] = to[1] = to[2] = grey;
        }
    }
    setClipboardPicture(picture);
}

std::optional<std::string> ScriptedHost::openFileDialog(std::string_view filter)
{
    fileDialogFilters.emplace_back(filter);
    if (fileDialogAnswers.empty()) return std::nullopt;
    auto answer = fileDialogAnswers.front();
    fileDialogAnswers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedHost::saveFileDialog(std::string_view filter, std::string_view)
{
    fileDialogFilters.emplace_back(filter);
    if (saveDialogAnswers.empty()) return std::nullopt;
    auto answer = saveDialogAnswers.front();
    saveDialogAnswers.pop_front();
    return answer;
}

std::string ScriptedHost::writeReport(const DqeReport& report, const std::string& path)
{
    if (!writeReportError.empty()) return std::exchange(writeReportError, {});
    reports.emplace_back(path, report);
    return {};
}

void ScriptedHost::blitPane(int view, const PaneBitmap& bitmap)
{
    Blit& b = lastBlit.at(static_cast<size_t>(view));
    b.bitmap = bitmap;
    b.bits.assign(bitmap.bits, bitmap.bits + static_cast<size_t>(bitmap.rowBytes) * bitmap.height);
    b.bitmap.bits = b.bits.data();
    ++blitCount[view];
}

void ScriptedHost::DoEvents()
{
    ++doEventsCalls;
}

void ScriptedHost::setTimer(int intervalMs)
{
    timerInterval = intervalMs;
    if (intervalMs > 0) ++timerStarts;
}

void ScriptedHost::showAnalysisWindow()
{
    analysisWindowShown = true;
}

void ScriptedHost::closeAnalysisWindow()
{
    analysisWindowShown = false;
}

Canvas& ScriptedHost::analysisCanvas()
{
    return canvas;
}

} // namespace vantry
