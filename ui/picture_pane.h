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

signals:
    /// Local files dropped on the pane, in the order of the drop.
    void filesDropped(int view, const QStringList& files);
    /// A press and release on the pane.
    void clicked(int view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    vantry::Korvelf& m_korvelf;
    int m_view;
    QImage m_bitmap;
    QPoint m_offset;
    bool m_pressed = false;
};
