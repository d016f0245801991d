#include "qt_canvas.h"

#include "clip_segment.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace {

constexpr QRgb kBackground = 0xff000000;
constexpr QRgb kForeground = 0xffffffff;

/// Colour `index` of the 16-colour palette; kForeColour and other negative numbers give the
/// foreground.
QRgb paletteRgb(int index)
{
    static const QRgb colours[16] = {
        qRgb(0, 0, 0),       qRgb(0, 0, 128),   qRgb(0, 128, 0),   qRgb(0, 128, 128),
        qRgb(128, 0, 0),     qRgb(128, 0, 128), qRgb(128, 128, 0), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(0, 0, 255),   qRgb(0, 255, 0),   qRgb(0, 255, 255),
        qRgb(255, 0, 0),     qRgb(255, 0, 255), qRgb(255, 255, 0), qRgb(255, 255, 255)};
    return index < 0 ? kForeground : colours[index & 15];
}

int nearestPixel(double v)
{
    return static_cast<int>(std::floor(v + 0.5));
}

} // namespace

QtCanvas::QtCanvas(QSize surface)
    : m_image(surface.expandedTo(QSize(1, 1)), QImage::Format_RGB32),
      m_surface(surface.expandedTo(QSize(1, 1)))
{
    m_image.fill(kBackground);
    m_width = m_surface.width();
    m_height = m_surface.height();
    m_font = QFont("DejaVu Sans Mono");
    m_font.setStyleHint(QFont::TypeWriter);
    m_font.setFixedPitch(true);
    m_font.setPixelSize(12);
    m_lineHeight = QFontMetricsF(m_font).lineSpacing();
}

void QtCanvas::changed()
{
    if (m_dirty) return;
    m_dirty = true;
    if (m_onChange) m_onChange();
}

QRgb* QtCanvas::pixels()
{
    if (m_bits == nullptr) {
        // bits() detaches a copy handed out earlier, so the drawing never reaches it.
        m_bits = reinterpret_cast<QRgb*>(m_image.bits());
        m_stride = m_image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    }
    return m_bits;
}

QPainter& QtCanvas::painter()
{
    if (!m_painter.isActive()) {
        pixels();
        m_painter.begin(&m_image);
        m_painter.setFont(m_font);
        m_penValid = false;
    }
    return m_painter;
}

void QtCanvas::endDrawing()
{
    if (m_painter.isActive()) m_painter.end();
    m_bits = nullptr;
}

void QtCanvas::usePen(QRgb colour)
{
    if (m_penValid && m_penColour == colour) return;
    QPen pen{QColor::fromRgb(colour)};
    pen.setWidth(m_drawWidth);
    // A dotted line of two pixels' width is drawn solid.
    pen.setStyle(m_drawStyle == vantry::kDotted && m_drawWidth == 1 ? Qt::DotLine : Qt::SolidLine);
    // Solid lines end on their last pixel; the round ends of wide lines join like brush strokes.
    pen.setCapStyle(m_drawWidth > 1                ? Qt::RoundCap
                    : pen.style() == Qt::SolidLine ? Qt::SquareCap
                                                   : Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    m_painter.setPen(pen);
    m_penColour = colour;
    m_penValid = true;
}

const QImage& QtCanvas::image()
{
    endDrawing();
    m_dirty = false;
    return m_image;
}

QImage QtCanvas::shownImage()
{
    return image().copy(QRect(QPoint(0, 0), m_surface));
}

void QtCanvas::resize(QSize surface)
{
    surface = surface.expandedTo(QSize(1, 1));
    if (surface == m_surface) return;
    endDrawing();
    const QSize grown = m_image.size().expandedTo(surface);
    if (grown != m_image.size()) {
        QImage bigger(grown, QImage::Format_RGB32);
        bigger.fill(kBackground);
        const qsizetype rowBytes = m_image.bytesPerLine();
        for (int y = 0; y < m_image.height(); ++y) {
            std::copy_n(m_image.constScanLine(y), rowBytes, bigger.scanLine(y));
        }
        m_image = std::move(bigger);
    }
    m_surface = surface;
    if (!m_userScale) {
        m_width = m_surface.width();
        m_height = m_surface.height();
    }
    changed();
}

QPointF QtCanvas::toPixels(double x, double y) const
{
    // Dividing first keeps huge coordinates finite.
    return {(x - m_left) / m_width * m_surface.width(),
            (y - m_top) / m_height * m_surface.height()};
}

QPointF QtCanvas::toUser(QPointF pixel) const
{
    return {m_left + pixel.x() * m_width / m_surface.width(),
            m_top + pixel.y() * m_height / m_surface.height()};
}

void QtCanvas::scale(double left, double top, double width, double height)
{
    if (width == 0 || height == 0) return;
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(width) ||
        !std::isfinite(height))
        return;
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    m_userScale = true;
}

void QtCanvas::cls()
{
    ++m_clears;
    endDrawing();
    m_image.fill(kBackground);
    setCurrentPosition(0, 0);
    changed();
}

void QtCanvas::line(double x1, double y1, double x2, double y2, int colour)
{
    setCurrentPosition(x2, y2);
    const QPointF a = toPixels(x1, y1);
    const QPointF b = toPixels(x2, y2);
    double ax = a.x(), ay = a.y(), bx = b.x(), by = b.y();
    if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by))
        return;
    const QPointF lo(-4, -4);
    const QPointF hi(m_image.width() + 4, m_image.height() + 4);
    if (!vantry::clipSegment(ax, ay, bx, by, lo.x(), lo.y(), hi.x(), hi.y())) return;
    QPainter& p = painter();
    usePen(paletteRgb(colour));
    p.drawLine(QPoint(nearestPixel(ax), nearestPixel(ay)),
               QPoint(nearestPixel(bx), nearestPixel(by)));
    changed();
}

void QtCanvas::point(double x, double y, int colour)
{
    setCurrentPosition(x, y);
    const QPointF at = toPixels(x, y);
    if (!(at.x() > -4 && at.x() < m_image.width() + 4 && at.y() > -4 &&
          at.y() < m_image.height() + 4))
        return; // also every NaN
    const int x0 = nearestPixel(at.x());
    const int y0 = nearestPixel(at.y());
    const int left = std::max(x0, 0);
    const int right = std::min(x0 + m_drawWidth, m_image.width());
    const int top = std::max(y0, 0);
    const int bottom = std::min(y0 + m_drawWidth, m_image.height());
    if (left >= right || top >= bottom) return;
    QRgb* bits = pixels();
    const QRgb rgb = paletteRgb(colour);
    for (int row = top; row < bottom; ++row) {
        std::fill(bits + row * m_stride + left, bits + row * m_stride + right, rgb);
    }
    changed();
}

void QtCanvas::setDrawWidth(int pixels)
{
    const int width = std::clamp(pixels, 1, 2);
    if (width != m_drawWidth) m_penValid = false;
    m_drawWidth = width;
}

void QtCanvas::setDrawStyle(int style)
{
    if (style != m_drawStyle) m_penValid = false;
    m_drawStyle = style;
}

void QtCanvas::print(std::string_view text, bool keepLine)
{
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetricsF metrics(m_font);
    const QPointF at = toPixels(currentX(), currentY());
    if (!s.isEmpty() && std::isfinite(at.x()) && std::isfinite(at.y()) && std::abs(at.x()) < 1e6 &&
        std::abs(at.y()) < 1e6) {
        QPainter& p = painter();
        usePen(kForeground);
        p.drawText(at + QPointF(0, metrics.ascent()), s);
        changed();
    }
    if (keepLine) {
        setCurrentPosition(currentX() + metrics.horizontalAdvance(s) * m_width / m_surface.width(),
                           currentY());
    } else {
        setCurrentPosition(m_left, currentY() + m_lineHeight * m_height / m_surface.height());
    }
}

double QtCanvas::textWidth(std::string_view text) const
{
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return QFontMetricsF(m_font).horizontalAdvance(s) * std::abs(m_width) / m_surface.width();
}

double QtCanvas::lineHeight() const
{
    return m_lineHeight * std::abs(m_height) / m_surface.height();
}
