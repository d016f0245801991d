#include "dqe_report_pdf.h"
#include "file_sha256.h"

#include "clip_segment.h"
#include "report_axes.h"

#include <QBuffer>
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>
#include <QSaveFile>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <filesystem>

#include <unistd.h>

namespace {

using vantry::DqeReport;
using vantry::ReportCurve;

constexpr int kDotsPerInch = 300;
const QColor kColourH(0, 84, 166);
const QColor kColourV(204, 85, 0);

/// The Qt application the fonts need: the running one, or one made on the offscreen platform.
std::string needGuiApplication()
{
    if (QCoreApplication* running = QCoreApplication::instance()) {
        if (qobject_cast<QGuiApplication*>(running) != nullptr) return {};
        return "the program runs a Qt application without a GUI, and the PDF writer needs one";
    }
    // The application keeps argc and argv by reference for its whole life, and lives until the
    // process ends: deleting it at exit would race Qt's own clean-up.
    static int argc = 1;
    static char name[] = "vantry";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session's runtime folder Qt warns on stderr and makes one in the temporary folder;
    // make that private folder first, so a command line's error output stays its own.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const std::filesystem::path runtime =
            std::filesystem::temp_directory_path() / ("runtime-" + std::to_string(::getuid()));
        std::error_code ignored;
        std::filesystem::create_directory(runtime, ignored);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, ignored);
        qputenv("XDG_RUNTIME_DIR", runtime.string().c_str());
    }
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    static QGuiApplication* const application = new QGuiApplication(argc, argv);
    (void)application;
    std::setlocale(LC_ALL, locale.c_str());
    return {};
}

/// Why the file at `path` may not be replaced, or an empty text.
std::string refusedTarget(const std::string& path)
{
    if (path.empty()) return "no file name given";
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) return "it is a folder";
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return "it is not a regular file";
    }
    return {};
}

/// The SHA-256 of the file's bytes in hexadecimal, or "unreadable".
QString sha256Of(const std::string& path)
{
    return QString::fromStdString(vantry::fileSha256(path));
}

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

/// `text` broken into lines no wider than `width`: between words, and inside a word (a path)
/// that is wider than a line by itself. Line breaks in the text are kept.
QStringList wrapped(const QString& text, const QFontMetricsF& metrics, double width)
{
    QStringList lines;
    for (const QString& paragraph : text.split('\n')) {
        QString line;
        for (const QString& word : paragraph.split(' ', Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + ' ' + word;
            if (metrics.horizontalAdvance(longer) <= width) {
                line = longer;
                continue;
            }
            if (!line.isEmpty()) lines << line;
            line = word;
            while (line.size() > 1 && metrics.horizontalAdvance(line) > width) {
                qsizetype n = line.size() - 1;
                while (n > 1 && metrics.horizontalAdvance(line.left(n)) > width) --n;
                if (n > 1 && line[n - 1].isHighSurrogate()) --n;
                lines << line.left(n);
                line = line.mid(n);
            }
        }
        lines << line;
    }
    return lines;
}

/// The pages being drawn: a cursor running down the body, page breaks and footers.
class ReportPages {
  public:
    ReportPages(QPdfWriter& writer, const DqeReport& report) : m_writer(writer), m_report(report)
    {
        m_body = font("DejaVu Sans", 9.5);
        m_bold = m_body;
        m_bold.setBold(true);
        m_mono = font("DejaVu Sans Mono", 8.5);
        m_mono.setStyleHint(QFont::TypeWriter);
        m_mono.setFixedPitch(true);
        m_width = writer.width();
        m_bottom = writer.height() - mm(9);
    }

    bool begin()
    {
        return m_painter.begin(&m_writer);
    }
    void end()
    {
        footer();
        m_painter.end();
    }

    void title();
    void inputs();
    void charts();
    void table();
    /// A heading and its paragraphs, word-wrapped; `ifNone` when there are none.
    void textSection(const QString& name, const std::vector<std::string>& paragraphs,
                     const QString& ifNone);

  private:
    /// Without shaping, so no ligature replaces the letters of a path or a number ("fl" stays
    /// two letters when the PDF is searched or its text copied).
    QFont font(const QString& family, double points) const
    {
        QFont f(family);
        f.setPointSizeF(points);
        f.setStyleStrategy(QFont::PreferNoShaping);
        return f;
    }
    QFontMetricsF metrics(const QFont& f)
    {
        return QFontMetricsF(f, &m_writer);
    }
    double mm(double v) const
    {
        return v * kDotsPerInch / 25.4;
    }

    /// Starts a new page unless `height` fits below the cursor or the page is still empty.
    bool need(double height)
    {
        if (m_y + height <= m_bottom || m_y == 0) return false;
        footer();
        m_writer.newPage();
        ++m_page;
        m_y = 0;
        return true;
    }
    void footer();
    /// One line of text, its left at `x` and its top at `top`.
    void text(double x, double top, const QString& s, const QFont& f)
    {
        m_painter.setFont(f);
        m_painter.setPen(Qt::black);
        m_painter.drawText(QPointF(x, top + metrics(f).ascent()), s);
    }
    void heading(const QString& s);
    /// A label beside its values, each value wrapped in its own font; the block goes to a new
    /// page as a whole when it does not fit below the cursor.
    void labelled(const QString& label, const std::vector<std::pair<QString, QFont>>& values,
                  double labelWidth, const QFont& labelFont);
    /// One chart of the H and V curves against frequency, 0 .. Nyquist, with the value axis `y`;
    /// `unitLine` adds a dotted line at 1.
    void chart(const QString& name, const QString& yTitle, const ReportCurve& h,
               const ReportCurve& v, const ChartAxis& y, bool unitLine);
    void legend(double top, double lineHeight, bool band);
    void plotCurve(const ReportCurve& c, const ChartAxis& x, const ChartAxis& y, QRectF plot,
                   const QColor& colour, Qt::PenStyle style);

    QPdfWriter& m_writer;
    const DqeReport& m_report;
    QPainter m_painter;
    QFont m_body, m_bold, m_mono;
    double m_width = 0, m_bottom = 0, m_y = 0;
    int m_page = 1;
};

void ReportPages::footer()
{
    QFont small = font("DejaVu Sans", 7.5);
    const QFontMetricsF fm = metrics(small);
    const double top = m_writer.height() - fm.height();
    m_painter.setPen(QPen(QColor(120, 120, 120), mm(0.2)));
    m_painter.drawLine(QPointF(0, top - mm(1.5)), QPointF(m_width, top - mm(1.5)));
    const QString page = QString("Page %1").arg(m_page);
    QString left = qs(m_report.title.empty() ? "DQE report" : m_report.title);
    if (!m_report.date.empty()) left += "  " + qs(m_report.date);
    left = fm.elidedText(left, Qt::ElideRight, m_width - fm.horizontalAdvance(page) - mm(10));
    text(0, top, left, small);
    text(m_width - fm.horizontalAdvance(page), top, page, small);
}

void ReportPages::heading(const QString& s)
{
    QFont f = font("DejaVu Sans", 12.5);
    f.setBold(true);
    const double line = metrics(f).lineSpacing();
    // A heading never ends a page: it needs room for a few lines below it.
    need(mm(5) + line + 3 * metrics(m_body).lineSpacing());
    if (m_y > 0) m_y += mm(5);
    text(0, m_y, s, f);
    m_y += line + mm(1.5);
}

void ReportPages::title()
{
    QFont f = font("DejaVu Sans", 17);
    f.setBold(true);
    const QFontMetricsF fm = metrics(f);
    const QString name = qs(m_report.title.empty() ? "DQE report" : m_report.title);
    for (const QString& line : wrapped(name, fm, m_width)) {
        text(0, m_y, line, f);
        m_y += fm.lineSpacing();
    }
    QString stamp = "Vantry";
    if (!m_report.version.empty()) stamp += " version " + qs(m_report.version);
    if (!m_report.date.empty()) stamp += "    Measured " + qs(m_report.date);
    m_y += mm(1);
    text(0, m_y, stamp, m_body);
    m_y += metrics(m_body).lineSpacing();
}

void ReportPages::labelled(const QString& label,
                           const std::vector<std::pair<QString, QFont>>& values, double labelWidth,
                           const QFont& labelFont)
{
    const double valueWidth = m_width - labelWidth;
    std::vector<std::pair<QString, const QFont*>> lines;
    double height = 0;
    for (const auto& [value, f] : values) {
        const QFontMetricsF fm = metrics(f);
        for (const QString& line : wrapped(value, fm, valueWidth)) {
            lines.emplace_back(line, &f);
            height += fm.lineSpacing();
        }
    }
    const QStringList labelLines = wrapped(label, metrics(labelFont), labelWidth - mm(3));
    height = std::max(height, labelLines.size() * metrics(labelFont).lineSpacing());
    need(height);
    double y = m_y;
    for (const QString& line : labelLines) {
        text(0, y, line, labelFont);
        y += metrics(labelFont).lineSpacing();
    }
    y = m_y;
    for (const auto& [line, f] : lines) {
        text(labelWidth, y, line, *f);
        y += metrics(*f).lineSpacing();
    }
    m_y += height;
}

void ReportPages::inputs()
{
    heading("Inputs");
    const QFontMetricsF boldMetrics = metrics(m_bold);
    double roleWidth = 0;
    for (const auto& file : m_report.files) {
        roleWidth = std::max(roleWidth, boldMetrics.horizontalAdvance(qs(file.role)));
    }
    roleWidth = std::min(roleWidth + mm(4), 0.3 * m_width);
    for (const auto& file : m_report.files) {
        const QString pitch = QString("pitch %1 mm (%2)")
                                  .arg(QString::number(file.pitchMm, 'f', 4), qs(file.pitchFrom));
        const QString details =
            QString("preset %1    %2    ROI %3").arg(qs(file.preset), pitch, qs(file.roi));
        labelled(qs(file.role),
                 {{qs(file.path), m_body},
                  {"SHA-256 " + sha256Of(file.path), m_mono},
                  {details, m_body}},
                 roleWidth, m_bold);
        m_y += mm(1.5);
    }
    const QFontMetricsF bodyMetrics = metrics(m_body);
    double labelWidth = 0;
    for (const auto& [label, value] : m_report.settings) {
        labelWidth = std::max(labelWidth, bodyMetrics.horizontalAdvance(qs(label)));
    }
    labelWidth = std::min(labelWidth + mm(4), 0.45 * m_width);
    m_y += mm(1.5);
    for (const auto& [label, value] : m_report.settings) {
        labelled(qs(label), {{qs(value), m_body}}, labelWidth, m_body);
    }
}

/// Where a value lies on an axis, 0 at its start and 1 at its end; NaN for a value the axis
/// cannot show (not finite, or not positive on a logarithmic axis).
double along(const ChartAxis& axis, double v)
{
    if (axis.log) v = v > 0 ? std::log10(v) : NAN;
    return (v - axis.lo) / (axis.hi - axis.lo);
}

void ReportPages::plotCurve(const ReportCurve& c, const ChartAxis& x, const ChartAxis& y,
                            QRectF plot, const QColor& colour, Qt::PenStyle style)
{
    const size_t n = std::min(c.freq.size(), c.value.size());
    const size_t withSe = std::min(n, c.se.size());
    auto toPage = [&](double u, double v) {
        return QPointF(plot.left() + u * plot.width(), plot.bottom() - v * plot.height());
    };
    // The standard-error band, one polygon per run of points that have all three numbers. Its
    // corners are held within one plot size of the plot, so no far-off number reaches the page.
    if (withSe > 0) {
        QColor fill = colour;
        fill.setAlpha(55);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(fill);
        auto held = [](double u) { return std::clamp(u, -1.0, 2.0); };
        size_t i = 0;
        while (i < withSe) {
            std::vector<QPointF> upper, lower;
            for (; i < withSe; ++i) {
                const double u = along(x, c.freq[i]);
                const double top = along(y, c.value[i] + c.se[i]);
                double bottom = along(y, c.value[i] - c.se[i]);
                if (y.log && c.value[i] - c.se[i] <= 0 && std::isfinite(c.se[i])) bottom = -1;
                if (!std::isfinite(u) || !std::isfinite(top) || !std::isfinite(bottom) ||
                    !std::isfinite(along(y, c.value[i]))) {
                    break;
                }
                upper.push_back(toPage(held(u), held(top)));
                lower.push_back(toPage(held(u), held(bottom)));
            }
            ++i;
            if (upper.size() < 2) continue;
            QPolygonF band(upper.begin(), upper.end());
            for (auto p = lower.rbegin(); p != lower.rend(); ++p) band << *p;
            m_painter.drawPolygon(band);
        }
        m_painter.setBrush(Qt::NoBrush);
    }
    // The curve: segments clipped to the plot, joined into polylines so that a dash pattern runs
    // on along the curve. A value that cannot be shown breaks it.
    QPen pen(colour, mm(0.35), style, Qt::FlatCap, Qt::RoundJoin);
    m_painter.setPen(pen);
    QPolygonF line;
    auto flush = [&] {
        if (line.size() >= 2) m_painter.drawPolyline(line);
        line.clear();
    };
    for (size_t i = 1; i < n; ++i) {
        double u1 = along(x, c.freq[i - 1]), v1 = along(y, c.value[i - 1]);
        double u2 = along(x, c.freq[i]), v2 = along(y, c.value[i]);
        if (!std::isfinite(u1) || !std::isfinite(v1) || !std::isfinite(u2) || !std::isfinite(v2) ||
            !vantry::clipSegment(u1, v1, u2, v2, 0, 0, 1, 1)) {
            flush();
            continue;
        }
        const QPointF a = toPage(u1, v1);
        if (line.isEmpty() || line.back() != a) {
            flush();
            line << a;
        }
        line << toPage(u2, v2);
    }
    flush();
}

void ReportPages::legend(double top, double lineHeight, bool band)
{
    const QFont f = font("DejaVu Sans", 8);
    const QFontMetricsF fm = metrics(f);
    const double sample = mm(8), gap = mm(1.5), between = mm(5);
    const QString bandText = QString::fromUtf8("\u00b1 standard error");
    double width =
        2 * (sample + gap) + fm.horizontalAdvance("H") + fm.horizontalAdvance("V") + between;
    if (band) width += between + mm(4) + gap + fm.horizontalAdvance(bandText);
    double x = m_width - width;
    const double middle = top + lineHeight / 2;
    const double textTop = middle - fm.height() / 2;
    auto item = [&](const QColor& colour, Qt::PenStyle style, const QString& label) {
        m_painter.setPen(QPen(colour, mm(0.35), style, Qt::FlatCap));
        m_painter.drawLine(QPointF(x, middle), QPointF(x + sample, middle));
        x += sample + gap;
        text(x, textTop, label, f);
        x += fm.horizontalAdvance(label) + between;
    };
    item(kColourH, Qt::SolidLine, "H");
    item(kColourV, Qt::DashLine, "V");
    if (band) {
        QColor fill(90, 90, 90, 70);
        m_painter.fillRect(QRectF(x, middle - mm(1.2), mm(4), mm(2.4)), fill);
        text(x + mm(4) + gap, textTop, bandText, f);
    }
}

/// The end of the frequency axes: the Nyquist frequency, else the highest frequency of a curve.
double frequencyEnd(const DqeReport& r)
{
    if (std::isfinite(r.nyquist) && r.nyquist > 0) return r.nyquist;
    double end = 0;
    for (const auto* c : {&r.h.mtf, &r.h.nnps, &r.h.dqe, &r.v.mtf, &r.v.nnps, &r.v.dqe}) {
        for (double f : c->freq) {
            if (std::isfinite(f)) end = std::max(end, f);
        }
    }
    return end;
}

void ReportPages::chart(const QString& name, const QString& yTitle, const ReportCurve& h,
                        const ReportCurve& v, const ChartAxis& y, bool unitLine)
{
    const ChartAxis x = frequencyAxis(frequencyEnd(m_report));
    const QFont tickFont = font("DejaVu Sans", 7.5);
    const QFont titleFont = font("DejaVu Sans", 8.5);
    const QFontMetricsF tm = metrics(tickFont);
    const QFontMetricsF am = metrics(titleFont);
    const double height = mm(80);
    const double tick = mm(1.2);
    need(height);
    const double top = m_y;
    const double nameLine = metrics(m_bold).lineSpacing();
    text(0, top, name, m_bold);
    legend(top, nameLine, !h.se.empty() || !v.se.empty());

    double labelWidth = 0;
    for (const auto& label : y.labels) {
        labelWidth = std::max(labelWidth, tm.horizontalAdvance(qs(label)));
    }
    const double left = am.lineSpacing() + mm(1.5) + labelWidth + mm(1) + tick;
    const double bottom =
        top + height - (tick + mm(0.8) + tm.lineSpacing() + mm(1) + am.lineSpacing());
    const QRectF plot(QPointF(left, top + nameLine + mm(2)), QPointF(m_width - mm(3), bottom));
    auto xAt = [&](double t) { return plot.left() + (t - x.lo) / (x.hi - x.lo) * plot.width(); };
    auto yAt = [&](double t) { return plot.bottom() - (t - y.lo) / (y.hi - y.lo) * plot.height(); };

    // Grid, frame, ticks and their labels.
    m_painter.setPen(QPen(QColor(220, 220, 220), mm(0.15)));
    for (double t : x.ticks)
        m_painter.drawLine(QPointF(xAt(t), plot.top()), QPointF(xAt(t), plot.bottom()));
    for (double t : y.ticks)
        m_painter.drawLine(QPointF(plot.left(), yAt(t)), QPointF(plot.right(), yAt(t)));
    const QPen axisPen(Qt::black, mm(0.25));
    m_painter.setPen(axisPen);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRect(plot);
    for (size_t i = 0; i < x.ticks.size(); ++i) {
        const double px = xAt(x.ticks[i]);
        m_painter.setPen(axisPen);
        m_painter.drawLine(QPointF(px, plot.bottom()), QPointF(px, plot.bottom() + tick));
        const QString label = qs(x.labels[i]);
        const double w = tm.horizontalAdvance(label);
        text(std::clamp(px - w / 2, 0.0, m_width - w), plot.bottom() + tick + mm(0.8), label,
             tickFont);
    }
    for (size_t i = 0; i < y.ticks.size(); ++i) {
        const double py = yAt(y.ticks[i]);
        m_painter.setPen(axisPen);
        m_painter.drawLine(QPointF(plot.left() - tick, py), QPointF(plot.left(), py));
        const QString label = qs(y.labels[i]);
        text(plot.left() - tick - mm(1) - tm.horizontalAdvance(label), py - tm.height() / 2, label,
             tickFont);
    }
    const QString xTitle = "Spatial frequency (cycles/mm)";
    text(plot.center().x() - am.horizontalAdvance(xTitle) / 2,
         plot.bottom() + tick + mm(0.8) + tm.lineSpacing() + mm(1), xTitle, titleFont);
    m_painter.save();
    m_painter.translate(0, plot.center().y() + am.horizontalAdvance(yTitle) / 2);
    m_painter.rotate(-90);
    text(0, 0, yTitle, titleFont);
    m_painter.restore();

    // The curves inside the plot, and the line at 1 over them.
    m_painter.save();
    m_painter.setClipRect(plot);
    plotCurve(h, x, y, plot, kColourH, Qt::SolidLine);
    plotCurve(v, x, y, plot, kColourV, Qt::DashLine);
    if (unitLine) {
        const double py = yAt(1);
        m_painter.setPen(QPen(QColor(60, 60, 60), mm(0.3), Qt::DotLine));
        m_painter.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
    }
    m_painter.restore();
    bool anyValue = false;
    for (const auto* c : {&h, &v}) {
        for (double value : c->value) anyValue = anyValue || std::isfinite(along(y, value));
    }
    if (!anyValue) {
        const QString none = "no data";
        text(plot.center().x() - tm.horizontalAdvance(none) / 2, plot.center().y(), none, tickFont);
    }
    m_y = top + height + mm(4);
}

std::vector<double> valuesOf(const ReportCurve& a, const ReportCurve& b)
{
    std::vector<double> all = a.value;
    all.insert(all.end(), b.value.begin(), b.value.end());
    return all;
}

void ReportPages::charts()
{
    heading("Charts");
    const auto& h = m_report.h;
    const auto& v = m_report.v;
    chart("Modulation transfer function", "MTF", h.mtf, v.mtf, unitAxis(valuesOf(h.mtf, v.mtf)),
          false);
    chart("Normalised noise power spectrum", "NNPS (mm^2)", h.nnps, v.nnps,
          decadeAxis(valuesOf(h.nnps, v.nnps)), false);
    const std::vector<double> dqe = valuesOf(h.dqe, v.dqe);
    const bool aboveOne =
        std::any_of(dqe.begin(), dqe.end(), [](double d) { return std::isfinite(d) && d > 1; });
    chart("Detective quantum efficiency", "DQE", h.dqe, v.dqe, unitAxis(dqe), aboveOne);
}

void ReportPages::table()
{
    heading("Table at the standard frequencies");
    const auto& header = m_report.tableHeader;
    const auto& rows = m_report.tableRows;
    size_t columns = header.size();
    for (const auto& row : rows) columns = std::max(columns, row.size());
    if (columns == 0) {
        need(metrics(m_body).lineSpacing());
        text(0, m_y, "none", m_body);
        m_y += metrics(m_body).lineSpacing();
        return;
    }
    // Each cell right-aligned in its column in a fixed-pitch font, two blanks apart; the font
    // shrinks until the widest row fits the page.
    QFont cell = m_mono;
    QFont head = m_mono;
    head.setBold(true);
    std::vector<double> widths;
    double gap = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QFontMetricsF fm = metrics(cell), hm = metrics(head);
        widths.assign(columns, 0);
        for (size_t c = 0; c < header.size(); ++c) widths[c] = hm.horizontalAdvance(qs(header[c]));
        for (const auto& row : rows) {
            for (size_t c = 0; c < row.size(); ++c) {
                widths[c] = std::max(widths[c], fm.horizontalAdvance(qs(row[c])));
            }
        }
        gap = 2 * fm.horizontalAdvance(' ');
        double total = gap * static_cast<double>(columns - 1);
        for (double w : widths) total += w;
        if (total <= m_width) break;
        const double points = cell.pointSizeF() * m_width / total * 0.98;
        cell.setPointSizeF(points);
        head.setPointSizeF(points);
    }
    const double line = std::max(metrics(cell).lineSpacing(), metrics(head).lineSpacing());
    auto drawRow = [&](const std::vector<std::string>& cells, const QFont& f) {
        const QFontMetricsF fm = metrics(f);
        double end = 0;
        for (size_t c = 0; c < columns; ++c) {
            end += widths[c] + (c > 0 ? gap : 0);
            if (c < cells.size()) {
                const QString s = qs(cells[c]);
                text(end - fm.horizontalAdvance(s), m_y, s, f);
            }
        }
        m_y += line;
    };
    auto drawHeader = [&] {
        if (header.empty()) return;
        drawRow(header, head);
        m_painter.setPen(QPen(Qt::black, mm(0.2)));
        m_painter.drawLine(QPointF(0, m_y + mm(0.4)), QPointF(m_width, m_y + mm(0.4)));
        m_y += mm(1);
    };
    need(3 * line);
    drawHeader();
    for (const auto& row : rows) {
        if (need(line)) drawHeader();
        drawRow(row, cell);
    }
}

void ReportPages::textSection(const QString& name, const std::vector<std::string>& paragraphs,
                              const QString& ifNone)
{
    heading(name);
    const QFontMetricsF fm = metrics(m_body);
    std::vector<std::string> shown = paragraphs;
    if (shown.empty()) shown.push_back(ifNone.toStdString());
    for (const auto& paragraph : shown) {
        for (const QString& line : wrapped(qs(paragraph), fm, m_width)) {
            need(fm.lineSpacing());
            text(0, m_y, line, m_body);
            m_y += fm.lineSpacing();
        }
        m_y += mm(1.5);
    }
}

} // namespace

std::string writeDqeReportPdf(const vantry::DqeReport& report, const std::string& pdfPath)
{
    if (std::string why = refusedTarget(pdfPath); !why.empty()) return why;
    // Replaced only on commit; until then the drawing goes to memory and a temporary file.
    QSaveFile file(qs(pdfPath));
    auto cannotWrite = [&file] {
        return "cannot write it (" + file.errorString().toStdString() + ")";
    };
    if (!file.open(QIODevice::WriteOnly)) return cannotWrite();
    if (std::string why = needGuiApplication(); !why.empty()) return why;

    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setResolution(kDotsPerInch);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter));
        writer.setTitle(qs(report.title));
        writer.setCreator(qs("Vantry " + report.version).trimmed());
        ReportPages pages(writer, report);
        if (!pages.begin()) {
            file.cancelWriting();
            return "the PDF writer could not start";
        }
        pages.title();
        pages.inputs();
        pages.charts();
        pages.table();
        pages.textSection("Warnings", report.warnings, "none");
        pages.textSection("Method", report.method, "not given");
        pages.end();
    }
    const QByteArray& bytes = pdf.data();
    if (bytes.isEmpty()) {
        file.cancelWriting();
        return "the PDF writer produced nothing";
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) return cannotWrite();
    return {};
}

/// fontconfig 2.14 loses a few hundred bytes while it parses its configuration files, in any
/// process that loads Qt's font database, such as every program that writes a report; the
/// sanitizer build's leak check leaves those out.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

/// Without a word about it on the error output, which belongs to the program's own messages.
extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}

