#include "picture_pane.h"

#include "mouse_codes.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QUrl>

PicturePane::PicturePane(vantry::Korvelf& k, int view, QWidget* parent)
    : QWidget(parent), m_korvelf(k), m_view(view)
{
    setObjectName(QString("PIC%1").arg(view));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
}

void PicturePane::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void PicturePane::dropEvent(QDropEvent* event)
{
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) files << url.toLocalFile();
    }
    event->acceptProposedAction();
    emit filesDropped(m_view, files);
}

QPointF PicturePane::inner(const QPointF& widgetPoint) const
{
    const int border = m_korvelf.form.PIC[m_view].BorderWidth;
    return widgetPoint - QPointF(border, border);
}

void PicturePane::mousePressEvent(QMouseEvent* event)
{
    const QPointF p = inner(event->position());
    emit pressed(m_view, buttonCode(event->button()), p.x(), p.y());
}

void PicturePane::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = inner(event->position());
    emit moved(m_view, buttonsCode(event->buttons()), p.x(), p.y());
}

void PicturePane::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF p = inner(event->position());
    emit released(m_view, buttonCode(event->button()), p.x(), p.y());
    if (rect().contains(event->position().toPoint())) emit clicked(m_view);
}

void PicturePane::showBitmap(const vantry::PaneBitmap& bitmap)
{
    // One pass turns the core's bottom-up grey rows into the top-down RGB32 rows the paint
    // device holds, so the paint itself is a plain copy.
    if (m_bitmap.width() != bitmap.width || m_bitmap.height() != bitmap.height) {
        m_bitmap = QImage(bitmap.width, bitmap.height, QImage::Format_RGB32);
    }
    for (int y = 0; y < bitmap.height; ++y) {
        const uint8_t* from = bitmap.bits + static_cast<size_t>(bitmap.height - 1 - y) * bitmap.rowBytes;
        auto* to = reinterpret_cast<QRgb*>(m_bitmap.scanLine(y));
        for (int x = 0; x < bitmap.width; ++x) to[x] = 0xFF000000u | from[x] * 0x010101u;
    }
    m_offset = QPoint(bitmap.left, bitmap.top);
    repaint(); // at once: a window drag must not wait for the event loop
}


QImage PicturePane::shownPicture() const
{
    const vantry::Control& pic = m_korvelf.form.PIC[m_view];
    QImage picture(static_cast<int>(pic.ScaleWidth()), static_cast<int>(pic.ScaleHeight()), QImage::Format_RGB32);
    picture.fill(QColor(64, 64, 64));
    QPainter p(&picture);
    if (!m_bitmap.isNull()) p.drawImage(m_offset, m_bitmap);
    return picture;
}

void PicturePane::paintEvent(QPaintEvent* /*event*/)
{
    QPainter p(this);
    const int border = m_korvelf.form.PIC[m_view].BorderWidth;
    p.fillRect(rect(), palette().window());
    const QRect inner = rect().adjusted(border, border, -border, -border);
    // Dark grey only around the bitmap, which covers the rest.
    QRegion background(inner);
    if (!m_bitmap.isNull()) background -= QRect(m_offset + inner.topLeft(), m_bitmap.size());
    for (const QRect& r : background) p.fillRect(r, QColor(64, 64, 64));
    p.setPen(palette().dark().color());
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    p.translate(border, border);
    p.setClipRect(0, 0, inner.width(), inner.height());
    if (!m_bitmap.isNull()) p.drawImage(m_offset, m_bitmap); // one image pixel per bitmap pixel

    // The ROI rectangle as an outline and its two handles as filled squares.
    const vantry::KorvelfForm& f = m_korvelf.form;
    const vantry::Control& roi = f.SH1[m_view];
    p.setRenderHint(QPainter::Antialiasing, false);
    if (roi.Visible) {
        p.setPen(QPen(Qt::green, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(roi.Left, roi.Top, roi.Width, roi.Height));
    }
    for (const vantry::Control* handle : {&f.LH1[m_view], &f.RH1[m_view]}) {
        if (handle->Visible) p.fillRect(QRectF(handle->Left, handle->Top, handle->Width, handle->Height), Qt::green);
    }
}
