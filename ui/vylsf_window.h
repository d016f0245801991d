#pragma once
// The analysis window: the menus of its form model over a chart that shows the analysis canvas,
// with the arrow buttons and check boxes lying on the chart.

#include "vylsf.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <map>
#include <string>

class QAction;
class QMenu;
class QtCanvas;

/// Shows the analysis canvas and reports mouse presses in surface pixels.
class ChartView : public QWidget {
    Q_OBJECT
public:
    ChartView(QtCanvas& canvas, QWidget* parent);

    /// Schedules a repaint for a change of the drawing: at once, or, while a long drawing keeps
    /// changing it, one repaint per kRepaintIntervalMs.
    void canvasChanged();
    static constexpr int kRepaintIntervalMs = 40;
    /// The smallest chart: the arrow buttons stay on it, and every chart's labels and legends
    /// fit inside it.
    static constexpr int kMinWidth = 660, kMinHeight = 440;

signals:
    /// The chart area changed its size (the canvas has the new size already).
    void resized();
    /// Button codes 1 left, 2 right, 4 middle; shift 1 Shift, 2 Ctrl, 4 Alt.
    void pressed(int button, int shift, QPointF pixel);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QtCanvas& m_canvas;
    QTimer m_deferred;
    QElapsedTimer m_sincePaint;
};

class VylsfWindow : public QMainWindow {
    Q_OBJECT
public:
    /// A window on the analysis context `v` showing `canvas`, which must be the canvas the
    /// context draws on (its host's analysisCanvas()).
    VylsfWindow(vantry::Vylsf& v, QtCanvas& canvas);
    ~VylsfWindow() override;

    /// Shows the form model: caption, controls' geometry, visibility and check states, menus.
    void syncFromModel();
    ChartView* chart() const { return m_chart; }
    /// The widget of control `name` (element `index` of a control array), or nullptr.
    QWidget* controlWidget(const std::string& name, int index = -1) const;
    /// The action of the menu item or item-less top-level menu `name`, or nullptr.
    QAction* menuAction(const std::string& name) const;
    /// Puts the shown chart on the clipboard as a picture.
    void copyChart();
    /// Writes the shown chart as a PNG file; a failure is told in a message box. Returns success.
    bool saveChart(const QString& file);
    /// True while a handler of the core runs for this window (it may be yielding).
    bool runningHandler() const { return m_busy; }
    /// Runs a handler of the core, then shows what it changed. Input that arrives while a
    /// handler yields to the event loop is ignored, so no handler runs inside another.
    void run(const std::function<void()>& handler);

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildMenus();
    void createControls();
    void askAndSaveChart();
    /// Draws the chart on display again for the chart's size (not after "CLS").
    void redrawChart();

    vantry::Vylsf& m_vylsf;
    QtCanvas& m_canvas;
    ChartView* m_chart = nullptr;
    QMenu* m_chartMenu = nullptr;
    std::map<vantry::Control*, QWidget*> m_widgets;
    std::map<std::string, QAction*> m_menuActions;
    bool m_busy = false;
    bool m_redrawPending = false; ///< the chart was resized while a handler ran
    bool m_chartCleared = false;  ///< "CLS" cleared the chart ...
    int m_clearsAtCls = 0;        ///< ... and the canvas's clear count right after it
};
