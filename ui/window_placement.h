#pragma once
// Where the analysis window opens: where the operator last left it, when that place is still on
// a screen; otherwise beside the main window, inside the screen's available area.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

/// The top-left corner (of the frame) for a window of frame size `size`: `saved` when both ends of
/// its top strip (the title bar) lie on `screens` (available geometries); otherwise to the right
/// of `mainFrame`, else to its left, else over its right edge, always kept inside the available
/// geometry of the screen the main window is on (the first screen when none holds it).
QPoint analysisWindowPlace(const QRect& mainFrame, const QSize& size, const QList<QRect>& screens,
                           const std::optional<QPoint>& saved);

/// The place saved in the settings, if any.
std::optional<QPoint> savedAnalysisPlace();
/// Saves the analysis window's frame position in the settings.
void saveAnalysisPlace(const QWidget& window);
/// Moves `window` to analysisWindowPlace beside `mainWindow` (with the saved place and the
/// screens' available geometries).
void placeAnalysisWindow(QWidget& window, const QWidget& mainWindow);
