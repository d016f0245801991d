#pragma once
// A picture pane: the grey bitmap of its view over a dark grey background, with the ROI shapes
// of the form model drawn above it.

#include "korvelf.h"

#include <QImage>
#include <QWidget>

class PicturePane : public QWidget {
    Q_OBJECT
public:
    PicturePane(vantry::Korvelf& k, int view, QWidget* parent);

    /// Keeps a copy of the bitmap the core blitted, to be drawn at its offset.
    void showBitmap(const vantry::PaneBitmap& bitmap);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    vantry::Korvelf& m_korvelf;
    int m_view;
    QImage m_bitmap;
    QPoint m_offset;
};
