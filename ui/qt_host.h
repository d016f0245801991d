#pragma once
// The platform interface realised with Qt.

#include "host.h"
#include "qt_canvas.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QWidget;
class VylsfWindow;

/// The title of the program's dialogs and message boxes. The windows show only their captions:
/// no application display name is set, which X11 would append to every window title.
inline constexpr const char* kProgramTitle = "Vantry";

class QtHost : public QObject, public vantry::Host {
    Q_OBJECT
public:
    QtHost();

    /// Title of the dialogs and message boxes (kProgramTitle unless set).
    void setDialogTitle(const QString& title) { m_title = title; }
    const QString& dialogTitle() const { return m_title; }
    /// Parent of the dialogs and message boxes.
    void setDialogParent(QWidget* parent) { m_parent = parent; }
    /// While a handler of this window runs, its dialogs and message boxes open over it.
    void setAnalysisWindow(VylsfWindow* window);
    /// Called when the one-shot timer fires.
    void setTimerHandler(std::function<void()> handler) { m_timerHandler = std::move(handler); }
    /// Called with the view and bitmap of every blit.
    void setBlitHandler(std::function<void(int, const vantry::PaneBitmap&)> handler)
    {
        m_blitHandler = std::move(handler);
    }
    /// Called to show (true) or close (false) the analysis window.
    void setAnalysisWindowHandler(std::function<void(bool)> handler)
    {
        m_analysisHandler = std::move(handler);
    }

    std::optional<std::string> InputBox(std::string_view prompt, std::string_view deflt) override;
    void MsgBox(std::string_view text) override;
    vantry::MsgBoxAnswer MsgBoxYesNoCancel(std::string_view text) override;
    void setClipboardText(std::string_view text) override;
    void setClipboardPicture(const vantry::ClipboardPicture& picture) override;
    void copyPaneToClipboard(int view) override;
    /// Gives the picture pane `view` shows, for the clipboard.
    void setPanePictureSource(std::function<QImage(int)> source) { m_panePicture = std::move(source); }
    std::optional<std::string> openFileDialog(std::string_view filter) override;
    std::optional<std::string> saveFileDialog(std::string_view filter, std::string_view suggested) override;
    std::string writeReport(const vantry::DqeReport& report, const std::string& path) override;
    std::string fileSha256(const std::string& path) override;
    std::string dataFolder() override;
    void blitPane(int view, const vantry::PaneBitmap& bitmap) override;
    void DoEvents() override;
    void setTimer(int intervalMs) override;
    void showAnalysisWindow() override;
    void closeAnalysisWindow() override;
    vantry::Canvas& analysisCanvas() override;
    /// The analysis canvas, which the analysis window shows.
    QtCanvas& canvas() { return m_canvas; }

private:
    QWidget* dialogParent() const;

    QString m_title = kProgramTitle;
    QWidget* m_parent = nullptr;
    QPointer<VylsfWindow> m_analysis;
    QTimer m_timer;
    QtCanvas m_canvas;
    std::function<void()> m_timerHandler;
    std::function<void(int, const vantry::PaneBitmap&)> m_blitHandler;
    std::function<void(bool)> m_analysisHandler;
    std::function<QImage(int)> m_panePicture;
};

/// "(*.*)|*.*|(*.IMG)|*.IMG|" as Qt's filter list "(*.*);;(*.IMG)".
QString qtFilterList(std::string_view filter);
