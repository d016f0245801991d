#pragma once
// The workspace window: one widget per control of the form model, placed and filled from it.

#include "korvelf.h"

#include <QWidget>

#include <functional>
#include <map>

class PicturePane;
class QFrame;

class KorvelfWindow : public QWidget {
    Q_OBJECT
public:
    explicit KorvelfWindow(vantry::Korvelf& k);

    /// Shows the form model: geometry, visibility, captions and texts of every control.
    void syncFromModel();
    PicturePane* pane(int view) const { return m_panes[view]; }
    /// The widget of control `name` (element `index` of a control array), or nullptr.
    QWidget* controlWidget(const std::string& name, int index = -1) const;
    /// Runs a handler of the core, then shows what it changed. A handler that throws (a kernel
    /// entry point that cannot be resolved) stops there: the exception does not leave the Qt
    /// slot, and a message box tells what failed.
    void run(const std::function<void()>& handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* createWidget(vantry::Control& c);
    void connectEvents();
    void layoutFromWindowSize();

    vantry::Korvelf& m_korvelf;
    std::map<vantry::Control*, QWidget*> m_widgets;
    PicturePane* m_panes[2] = {nullptr, nullptr};
};
