#include "vylsf_window.h"

#include "curves_menu.h"
#include "chart_redraw.h"
#include "dqe.h"
#include "mouse_codes.h"
#include "window_placement.h"
#include "esf.h"
#include "lsf.h"
#include "mtf.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "nnps_chart.h"
#include "dqe_report_menu.h"
#include "iec_nnps_menu.h"
#include "precise_mtf_menu.h"
#include "qt_canvas.h"
#include "qt_host.h"
#include "settings.h"
#include "window_events.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QHideEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <cmath>
#include <exception>
#include <string_view>

namespace {

/// The menu items (and item-less menus) that run a handler; the disabled items have none.
struct MenuCommand {
    std::string_view name;
    void (*handler)(vantry::Vylsf&);
};
const MenuCommand kMenuCommands[] = {
    {"DSPESF", vantry::DSPESF},         {"ESFOK", vantry::ESFOK},
    {"MTFCLC", vantry::MTFCLC},         {"SETTING", vantry::SETTING},
    {"CLIPMTF", vantry::CLIPMTF},       {"COMPMTF", vantry::COMPMTF},
    {"NNPS1D", vantry::NNPS1D_Click},   {"NNPS2D", vantry::NNPS2D_Click},
    {"NPS2D", vantry::NPS2D_Click},     {"SETNPS", vantry::SETNPS},
    {"NPSCLIP", vantry::NPSCLIP_Click}, {"NPSCOMP", vantry::NPSCOMP_Click},
    {"CLRSCREEN", vantry::CLRSCREEN},   {"DQECLC", vantry::DQECLC},
    {"CLIPDQE", vantry::CLIPDQE},       {"PRECISEMTF", vantry::PRECISEMTF},
    {"IECNNPS", vantry::IECNNPS},       {"DQEREPORT", vantry::DQEREPORT},
    {"SAVECURVES", vantry::SAVECURVES}, {"OPENCURVES", vantry::OPENCURVES},
};

void (*menuHandler(std::string_view name))(vantry::Vylsf&)
{
    for (const MenuCommand& c : kMenuCommands) {
        if (c.name == name) return c.handler;
    }
    return nullptr;
}

QString objectNameOf(const vantry::Control& c)
{
    const QString name = QString::fromStdString(c.name);
    return c.index < 0 ? name : name + QString::number(c.index);
}

int px(double v)
{
    return static_cast<int>(std::lround(v));
}

int shiftCode(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

} // namespace

ChartView::ChartView(QtCanvas& canvas, QWidget* parent) : QWidget(parent), m_canvas(canvas)
{
    setObjectName("chart");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(kMinWidth, kMinHeight);
    m_deferred.setSingleShot(true);
    connect(&m_deferred, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void ChartView::canvasChanged()
{
    if (m_deferred.isActive()) return;
    const qint64 since = m_sincePaint.isValid() ? m_sincePaint.elapsed() : kRepaintIntervalMs;
    if (since >= kRepaintIntervalMs) {
        update();
    } else {
        m_deferred.start(static_cast<int>(kRepaintIntervalMs - since));
    }
}

void ChartView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const QImage& drawing = m_canvas.image();
    const QRect area = event->rect();
    p.drawImage(area.topLeft(), drawing, area);
    // The drawing covers at least the surface; this only matters before the first resize.
    const QRegion uncovered = QRegion(area) - QRegion(drawing.rect());
    for (const QRect& r : uncovered) p.fillRect(r, Qt::black);
    m_sincePaint.start();
}

void ChartView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize before = m_canvas.surfaceSize();
    m_canvas.resize(size());
    if (m_canvas.surfaceSize() != before) emit resized();
}

void ChartView::mousePressEvent(QMouseEvent* event)
{
    // The right button belongs to the chart's menu alone.
    if (event->button() == Qt::RightButton) return;
    emit pressed(buttonCode(event->button()), shiftCode(event->modifiers()), event->position());
}

VylsfWindow::VylsfWindow(vantry::Vylsf& v, QtCanvas& canvas) : m_vylsf(v), m_canvas(canvas)
{
    setObjectName("VYLSF");
    m_chart = new ChartView(m_canvas, this);
    setCentralWidget(m_chart);
    // The controls are placed at their design positions in 96-dpi pixels; a compact sans-serif
    // font lets their captions fit as designed.
    QFont compact("Arial");
    compact.setStyleHint(QFont::SansSerif);
    compact.setPixelSize(11);
    m_chart->setFont(compact);
    m_canvas.setChangeHandler([this] { m_chart->canvasChanged(); });
    connect(m_chart, &ChartView::pressed, this, [this](int button, int shift, QPointF pixel) {
        const QPointF at = m_canvas.toUser(pixel);
        run([&] { vantry::Form_MouseDown(m_vylsf, button, shift, at.x(), at.y()); });
    });

    // A chart drawn for another size would be cut or shrunk: it is drawn again for the new one.
    // A resize while a handler runs is drawn for as soon as it has finished.
    connect(m_chart, &ChartView::resized, this, [this] {
        if (m_busy) {
            m_redrawPending = true;
            return;
        }
        redrawChart();
    });

    auto* copy = new QAction(tr("Copy chart"), m_chart);
    copy->setObjectName("copyChart");
    connect(copy, &QAction::triggered, this, &VylsfWindow::copyChart);
    auto* save = new QAction(tr("Save chart…"), m_chart);
    save->setObjectName("saveChart");
    connect(save, &QAction::triggered, this, &VylsfWindow::askAndSaveChart);
    // A menu that pops up without running an event loop of its own: a click outside closes it
    // and still reaches what it was aimed at.
    m_chartMenu = new QMenu(m_chart);
    m_chartMenu->setObjectName("chartMenu");
    m_chartMenu->addActions({copy, save});
    m_chart->addActions({copy, save});
    m_chart->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_chart, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_chartMenu->popup(m_chart->mapToGlobal(at)); });

    buildMenus();
    createControls();
    resize(800, 600 + menuBar()->sizeHint().height());
    syncFromModel();
}

VylsfWindow::~VylsfWindow()
{
    m_canvas.setChangeHandler({});
}

void VylsfWindow::buildMenus()
{
    for (const vantry::Menu& menu : m_vylsf.form().menus) {
        const QString caption = QString::fromStdString(menu.Caption);
        if (menu.items.empty()) {
            QAction* action = menuBar()->addAction(caption);
            action->setObjectName(QString::fromStdString(menu.name));
            if (auto handler = menuHandler(menu.name)) {
                const bool clears = menu.name == "CLRSCREEN";
                connect(action, &QAction::triggered, this, [this, handler, clears] {
                    run([this, handler] { handler(m_vylsf); });
                    if (clears) {
                        m_chartCleared = true;
                        m_clearsAtCls = m_canvas.clears();
                    }
                });
            }
            m_menuActions[menu.name] = action;
            continue;
        }
        QMenu* submenu = menuBar()->addMenu(caption);
        submenu->setObjectName(QString::fromStdString(menu.name));
        m_menuActions[menu.name] = submenu->menuAction();
        for (const vantry::MenuItem& item : menu.items) {
            QAction* action = item.Caption == "-"
                                  ? submenu->addSeparator()
                                  : submenu->addAction(QString::fromStdString(item.Caption));
            action->setObjectName(QString::fromStdString(item.name));
            if (auto handler = menuHandler(item.name)) {
                connect(action, &QAction::triggered, this,
                        [this, handler] { run([this, handler] { handler(m_vylsf); }); });
            }
            m_menuActions[item.name] = action;
        }
    }
}

void VylsfWindow::createControls()
{
    vantry::VylsfForm& f = m_vylsf.form();
    for (vantry::Control* c : f.controls()) {
        QWidget* w = nullptr;
        if (c->kind == vantry::ControlKind::Button) {
            w = new QPushButton(m_chart);
        } else {
            // A check box keeps the window's own background on the black chart.
            w = new QCheckBox(m_chart);
            w->setAutoFillBackground(true);
        }
        w->setObjectName(objectNameOf(*c));
        m_widgets[c] = w;
    }
    for (int i = 0; i < 4; ++i) {
        connect(qobject_cast<QPushButton*>(m_widgets.at(&f.CENADJ[i])), &QPushButton::clicked, this,
                [this, i] { run([this, i] { vantry::CENADJ_Click(m_vylsf, i); }); });
    }
    connect(qobject_cast<QCheckBox*>(m_widgets.at(&f.FINESTP)), &QCheckBox::clicked, this,
            [this](bool on) { run([this, on] { m_vylsf.form().FINESTP.Value = on ? 1 : 0; }); });
    connect(qobject_cast<QCheckBox*>(m_widgets.at(&f.LOGLSFCK)), &QCheckBox::clicked, this,
            [this](bool on) {
                run([this, on] {
                    m_vylsf.form().LOGLSFCK.Value = on ? 1 : 0;
                    vantry::LOGLSFCK_Click(m_vylsf);
                });
            });
}

void VylsfWindow::run(const std::function<void()>& handler)
{
    if (m_busy) return;
    m_busy = true;
    try {
        handler();
    } catch (const std::exception& e) {
        // An exception must not cross Qt's event dispatch; the operator learns what failed.
        m_busy = false;
        syncFromModel();
        QMessageBox::critical(this, QString(kProgramTitle),
                              QString::fromUtf8(e.what()));
        return;
    }
    m_busy = false;
    syncFromModel();
    if (m_redrawPending) {
        m_redrawPending = false;
        redrawChart();
    }
}

void VylsfWindow::redrawChart()
{
    // A window the operator cleared ("CLS") stays clear; a chart drawn since clears it again.
    if (m_chartCleared && m_canvas.clears() == m_clearsAtCls) return;
    m_chartCleared = false;
    run([this] { vantry::REDRAWCHART(m_vylsf); });
}

void VylsfWindow::syncFromModel()
{
    vantry::VylsfForm& f = m_vylsf.form();
    setWindowTitle(QString::fromStdString(f.Caption));
    for (const auto& [c, w] : m_widgets) {
        w->setGeometry(px(c->Left), px(c->Top), px(c->Width), px(c->Height));
        w->setVisible(c->Visible);
        w->setEnabled(c->Enabled);
        const QString caption = QString::fromStdString(c->Caption);
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            b->setText(caption);
        } else if (auto* x = qobject_cast<QCheckBox*>(w)) {
            x->setText(caption);
            x->setChecked(c->Value != 0);
        }
    }
    // The model is looked up by name each time: Form_Load replaces the menu list.
    for (const vantry::Menu& menu : f.menus) {
        if (QAction* a = menuAction(menu.name)) a->setText(QString::fromStdString(menu.Caption));
        for (const vantry::MenuItem& item : menu.items) {
            QAction* a = menuAction(item.name);
            if (a == nullptr) continue;
            if (!a->isSeparator()) a->setText(QString::fromStdString(item.Caption));
            a->setEnabled(item.Enabled);
            a->setVisible(item.Visible);
        }
    }
    m_chart->update();
}

QWidget* VylsfWindow::controlWidget(const std::string& name, int index) const
{
    for (const auto& [control, widget] : m_widgets) {
        if (control->name == name && control->index == index) return widget;
    }
    return nullptr;
}

QAction* VylsfWindow::menuAction(const std::string& name) const
{
    const auto found = m_menuActions.find(name);
    return found == m_menuActions.end() ? nullptr : found->second;
}

void VylsfWindow::copyChart()
{
    QApplication::clipboard()->setImage(m_canvas.shownImage());
}

bool VylsfWindow::saveChart(const QString& file)
{
    QImageWriter writer(file, "png");
    if (writer.write(m_canvas.shownImage())) return true;
    QMessageBox::warning(this, QString(kProgramTitle),
                         tr("The chart was not saved to %1: %2.").arg(file, writer.errorString()));
    return false;
}

void VylsfWindow::askAndSaveChart()
{
    QString file = QFileDialog::getSaveFileName(this, tr("Save chart"), "chart.png",
                                                tr("PNG image (*.png)"));
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += ".png";
    saveChart(file);
}

void VylsfWindow::hideEvent(QHideEvent* event)
{
    // Wherever the operator leaves the window, it opens there next time.
    saveAnalysisPlace(*this);
    QMainWindow::hideEvent(event);
}

void VylsfWindow::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window; the curves and the drawing stay for the next opening. Curves
    // not saved yet are kept in the recovery file too, in case the session ends without a save.
    m_vylsf.form().Visible = false;
    run([this] { vantry::keepUnsavedCurves(m_vylsf); });
    QMainWindow::closeEvent(event);
}
