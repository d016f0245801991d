#pragma once
// The analysis window's drawing surface: a QImage that keeps its drawing like paper.

#include "host.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QSize>

#include <functional>

/// Canvas on a QImage with a black background and a white foreground. The image only grows:
/// a smaller surface keeps the drawing outside it, a larger one adds black. Points are written
/// straight into the image and one painter stays open for lines and text until the image is
/// handed out, so a scatter of many points costs no painter per point.
class QtCanvas : public vantry::Canvas {
public:
    /// A surface of `surface` pixels in the pixel coordinate system.
    explicit QtCanvas(QSize surface = QSize(800, 600));
    QtCanvas(const QtCanvas&) = delete;
    QtCanvas& operator=(const QtCanvas&) = delete;

    void scale(double left, double top, double width, double height) override;
    void cls() override;
    void line(double x1, double y1, double x2, double y2, int colour) override;
    void point(double x, double y, int colour) override;
    void setDrawWidth(int pixels) override;
    void setDrawStyle(int style) override;
    void print(std::string_view text, bool keepLine) override;
    double textWidth(std::string_view text) const override;
    double lineHeight() const override;

    /// The whole drawing. Ends the drawing in progress, so the image may be painted or copied;
    /// a copy must be taken before the next drawing call.
    const QImage& image();
    /// An independent copy of the part the surface shows.
    QImage shownImage();
    /// Sets the surface size (the chart's size); the drawing stays where it is.
    void resize(QSize surface);
    QSize surfaceSize() const { return m_surface; }
    /// How often the canvas was cleared: a chart drawing starts with a clear.
    int clears() const { return m_clears; }
    /// Surface pixel position of a user point, and the user point of a pixel position.
    QPointF toPixels(double x, double y) const;
    QPointF toUser(QPointF pixel) const;
    /// Called once on the first change after the image was last handed out.
    void setChangeHandler(std::function<void()> handler) { m_onChange = std::move(handler); }

private:
    void changed();
    QRgb* pixels();
    QPainter& painter();
    void endDrawing();
    void usePen(QRgb colour);

    QImage m_image;
    QSize m_surface;
    QPainter m_painter;
    QRgb* m_bits = nullptr; ///< the image's pixels while drawing, nullptr otherwise
    qsizetype m_stride = 0; ///< pixels per row
    bool m_userScale = false;
    double m_left = 0, m_top = 0, m_width = 1, m_height = 1;
    int m_drawWidth = 1;
    int m_drawStyle = vantry::kSolid;
    bool m_penValid = false;
    QRgb m_penColour = 0;
    QFont m_font;
    double m_lineHeight = 0;
    bool m_dirty = false;
    int m_clears = 0;
    std::function<void()> m_onChange;
};
