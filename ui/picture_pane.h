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
    /// What the pane shows inside its frame, without the overlay shapes.
    QImage shownPicture() const;

signals:
    /// Local files dropped on the pane, in the order of the drop.
    void filesDropped(int view, const QStringList& files);
    /// Mouse events in pane pixels (inside the frame) with the button codes 1 left, 2 right,
    /// 4 middle; a release over the pane is followed by clicked.
    void pressed(int view, int button, double x, double y);
    void moved(int view, int button, double x, double y);
    void released(int view, int button, double x, double y);
    void clicked(int view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    vantry::Korvelf& m_korvelf;
    int m_view;
    QImage m_bitmap;
    QPoint m_offset;
    QPointF inner(const QPointF& widgetPoint) const;
};
