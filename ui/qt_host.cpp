#include "qt_host.h"
#include "file_sha256.h"

#include "dqe_report_pdf.h"

#include "vylsf_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStringList>
#include <QDir>

namespace {

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

QString qtFilterList(std::string_view filter)
{
    // Pairs of description and pattern separated by '|'; Qt shows the descriptions, which hold
    // the patterns in parentheses.
    const QStringList parts = qs(filter).split('|');
    QStringList shown;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString pattern = parts[i + 1];
        shown << (description.contains(pattern) ? description : description + " (" + pattern + ")");
    }
    return shown.join(";;");
}

QtHost::QtHost()
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_timerHandler) m_timerHandler();
    });
}

void QtHost::setAnalysisWindow(VylsfWindow* window)
{
    m_analysis = window;
}

QWidget* QtHost::dialogParent() const
{
    if (m_analysis != nullptr && m_analysis->runningHandler()) return m_analysis;
    return m_parent;
}

std::optional<std::string> QtHost::InputBox(std::string_view prompt, std::string_view deflt)
{
    bool ok = false;
    const QString answer =
        QInputDialog::getText(dialogParent(), m_title, qs(prompt),
                              QLineEdit::Normal, qs(deflt), &ok);
    if (!ok) return std::nullopt;
    return answer.toStdString();
}

void QtHost::MsgBox(std::string_view text)
{
    QMessageBox::information(dialogParent(), m_title, qs(text));
}

vantry::MsgBoxAnswer QtHost::MsgBoxYesNoCancel(std::string_view text)
{
    const auto answer =
        QMessageBox::question(dialogParent(), m_title, qs(text),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes) return vantry::MsgBoxAnswer::Yes;
    if (answer == QMessageBox::No) return vantry::MsgBoxAnswer::No;
    return vantry::MsgBoxAnswer::Cancel;
}

void QtHost::setClipboardText(std::string_view text)
{
    QApplication::clipboard()->setText(qs(text));
}

void QtHost::setClipboardPicture(const vantry::ClipboardPicture& picture)
{
    QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3,
                 QImage::Format_RGB888);
    QApplication::clipboard()->setImage(image.copy());
}

void QtHost::copyPaneToClipboard(int view)
{
    if (m_panePicture) QApplication::clipboard()->setImage(m_panePicture(view));
}

std::optional<std::string> QtHost::openFileDialog(std::string_view filter)
{
    const QString file =
        QFileDialog::getOpenFileName(dialogParent(), QString(), QString(), qtFilterList(filter));
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
}

std::optional<std::string> QtHost::saveFileDialog(std::string_view filter, std::string_view suggested)
{
    const QString file = QFileDialog::getSaveFileName(dialogParent(), QString(),
                                                      QString::fromUtf8(suggested.data(), static_cast<qsizetype>(suggested.size())),
                                                      qtFilterList(filter));
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
}

std::string QtHost::writeReport(const vantry::DqeReport& report, const std::string& path)
{
    return writeDqeReportPdf(report, path);
}

void QtHost::blitPane(int view, const vantry::PaneBitmap& bitmap)
{
    if (m_blitHandler) m_blitHandler(view, bitmap);
}

void QtHost::DoEvents()
{
    // Runs posted events too, among them the repaint the analysis chart asks for while a long
    // drawing changes it.
    QApplication::processEvents();
}

void QtHost::setTimer(int intervalMs)
{
    if (intervalMs > 0) {
        m_timer.start(intervalMs);
    } else {
        m_timer.stop();
    }
}

void QtHost::showAnalysisWindow()
{
    if (m_analysisHandler) m_analysisHandler(true);
}

void QtHost::closeAnalysisWindow()
{
    if (m_analysisHandler) m_analysisHandler(false);
}

std::string QtHost::fileSha256(const std::string& path)
{
    return vantry::fileSha256(path);
}

std::string QtHost::dataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder)) return {};
    return folder.toStdString();
}

vantry::Canvas& QtHost::analysisCanvas()
{
    return m_canvas;
}
