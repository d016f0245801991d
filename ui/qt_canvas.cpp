#include "qt_canvas.h"

#include <QFontMetrics>
#include <QPainter>

QColor paletteColour(int index)
{
    static const QColor colours[16] = {
        {0, 0, 0},       {0, 0, 128},     {0, 128, 0},     {0, 128, 128},
        {128, 0, 0},     {128, 0, 128},   {128, 128, 0},   {192, 192, 192},
        {128, 128, 128}, {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
        {255, 0, 0},     {255, 0, 255},   {255, 255, 0},   {255, 255, 255}};
    return colours[index & 15];
}

QtCanvas::QtCanvas(QSize size) : m_image(size, QImage::Format_RGB32)
{
    m_image.fill(Qt::white);
}

void QtCanvas::resize(QSize size)
{
    QImage bigger(size, QImage::Format_RGB32);
    bigger.fill(Qt::white);
    QPainter(&bigger).drawImage(0, 0, m_image);
    m_image = bigger;
}

QPointF QtCanvas::toPixels(double x, double y) const
{
    const double px = (x - m_x1) / (m_x2 - m_x1) * m_image.width();
    const double py = (y - m_y1) / (m_y2 - m_y1) * m_image.height();
    return {px, py};
}

void QtCanvas::scale(double x1, double y1, double x2, double y2)
{
    if (x1 == x2 || y1 == y2) return; // a degenerate scale would divide by zero
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
}

void QtCanvas::cls()
{
    m_image.fill(Qt::white);
    m_currentX = m_currentY = 0;
}

void QtCanvas::line(double x1, double y1, double x2, double y2, int colour)
{
    QPainter p(&m_image);
    QPen pen(paletteColour(colour), m_width);
    pen.setStyle(m_style == 1 ? Qt::DashLine : m_style == 2 ? Qt::DotLine : Qt::SolidLine);
    p.setPen(pen);
    p.drawLine(toPixels(x1, y1), toPixels(x2, y2));
    m_currentX = x2;
    m_currentY = y2;
}

void QtCanvas::lineRelative(double dx, double dy, int colour)
{
    line(m_currentX, m_currentY, m_currentX + dx, m_currentY + dy, colour);
}

void QtCanvas::point(double x, double y, int colour)
{
    QPainter p(&m_image);
    p.setPen(QPen(paletteColour(colour), m_width));
    p.drawPoint(toPixels(x, y));
    m_currentX = x;
    m_currentY = y;
}

void QtCanvas::setDrawWidth(int pixels)
{
    m_width = pixels < 1 ? 1 : pixels;
}

void QtCanvas::setDrawStyle(int style)
{
    m_style = style;
}

void QtCanvas::setCurrentPosition(double x, double y)
{
    m_currentX = x;
    m_currentY = y;
}

void QtCanvas::print(std::string_view text, bool keepLine)
{
    QPainter p(&m_image);
    p.setPen(Qt::black);
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QPointF at = toPixels(m_currentX, m_currentY);
    const QFontMetrics metrics(p.font());
    p.drawText(at + QPointF(0, metrics.ascent()), s);
    const double unitsPerPixelX = (m_x2 - m_x1) / m_image.width();
    const double unitsPerPixelY = (m_y2 - m_y1) / m_image.height();
    if (keepLine) {
        m_currentX += metrics.horizontalAdvance(s) * unitsPerPixelX;
    } else {
        m_currentY += metrics.height() * unitsPerPixelY;
    }
}
