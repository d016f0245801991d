#pragma once
// A QImage that keeps the analysis window's drawing like paper.

#include "host.h"

#include <QColor>
#include <QImage>
#include <QPointF>

class QtCanvas : public vantry::Canvas {
public:
    explicit QtCanvas(QSize size = QSize(800, 600));

    void scale(double x1, double y1, double x2, double y2) override;
    void cls() override;
    void line(double x1, double y1, double x2, double y2, int colour) override;
    void lineRelative(double dx, double dy, int colour) override;
    void point(double x, double y, int colour) override;
    void setDrawWidth(int pixels) override;
    void setDrawStyle(int style) override;
    void setCurrentPosition(double x, double y) override;
    void print(std::string_view text, bool keepLine) override;

    const QImage& image() const { return m_image; }
    void resize(QSize size);

private:
    QPointF toPixels(double x, double y) const;

    QImage m_image;
    double m_x1 = 0, m_y1 = 0, m_x2 = 1, m_y2 = 1;
    double m_currentX = 0, m_currentY = 0;
    int m_width = 1;
    int m_style = 0;
};

/// Colour i of the 16-colour palette (0 black, 7 light grey, 15 white).
QColor paletteColour(int index);
