#include "korvelf_window.h"

#include "form_load.h"
#include "form_resize.h"
#include "image_opening.h"
#include "magnification.h"
#include "transforms.h"
#include "window_controls.h"
#include "gestures.h"
#include "pic_click.h"
#include "roi_statistics.h"
#include "size_controls.h"
#include "picture_pane.h"
#include "qt_host.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

namespace {

QString objectNameOf(const vantry::Control& c)
{
    const QString name = QString::fromStdString(c.name);
    return c.index < 0 ? name : name + QString::number(c.index);
}

int px(double v)
{
    return static_cast<int>(std::lround(v));
}

/// Gives a label or check box the largest font, at most `base`, at which its whole caption fits
/// its designed width; the positions stay the design's.
void fitCaption(QWidget* w, const QString& caption, const QFont& base)
{
    const QString key = QString("%1|%2").arg(w->width()).arg(caption);
    if (w->property("fittedFor").toString() == key) return;
    w->setProperty("fittedFor", key);
    QFont font = base;
    const int largest = base.pixelSize() > 0 ? base.pixelSize() : 11;
    for (int size = largest; size >= 7; --size) {
        font.setPixelSize(size);
        w->setFont(font);
        if (w->sizeHint().width() <= w->width()) return;
    }
}

int resultTextRoom(const QLineEdit* e)
{
    // The line edit's frame and its fixed inner margin of 2 pixels a side.
    const int frame = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e) : 0;
    const QMargins m = e->textMargins();
    return e->width() - 2 * frame - 4 - m.left() - m.right();
}

/// The widest text a result box must show whole: a 16-bit mean with two decimals and a sign.
constexpr const char* kWidestResult = "-32768.00";

bool isResultBox(const QWidget* w)
{
    static const QStringList names{"AVE1TX", "AVE2TX", "SDTX", "SNRTX", "CNRTX"};
    const QString name = w->objectName();
    for (const QString& n : names) {
        if (name.startsWith(n)) return true;
    }
    return false;
}

/// Gives a result box the largest font, at most `base`, at which kWidestResult fits inside it.
void fitResultFont(QLineEdit* e, const QFont& base)
{
    const QString key = QString::number(e->width());
    if (e->property("fittedFor").toString() == key) return;
    e->setProperty("fittedFor", key);
    QFont font = base;
    const int largest = base.pixelSize() > 0 ? base.pixelSize() : 11;
    for (int size = largest; size >= 6; --size) {
        font.setPixelSize(size);
        e->setFont(font);
        if (resultTextRoom(e) >= e->fontMetrics().horizontalAdvance(kWidestResult)) return;
    }
}

/// Trims the widths of text boxes that would reach into a box to their right in the same row.
void separateBoxes(const std::vector<QLineEdit*>& boxes)
{
    for (QLineEdit* a : boxes) {
        if (!a->isVisibleTo(a->parentWidget())) continue;
        QRect r = a->geometry();
        for (QLineEdit* b : boxes) {
            if (b == a || !b->isVisibleTo(b->parentWidget())) continue;
            const QRect o = b->geometry();
            const bool sameRow = o.top() <= r.bottom() && r.top() <= o.bottom();
            if (sameRow && o.left() > r.left() && o.left() <= r.right()) r.setRight(o.left() - 1);
        }
        if (r != a->geometry()) a->setGeometry(r);
    }
}

} // namespace

KorvelfWindow::KorvelfWindow(vantry::Korvelf& k) : m_korvelf(k)
{
    setObjectName("KORVELF");
    // The controls are placed at their design positions in 96-dpi pixels; a compact sans-serif
    // font lets their captions fit as designed.
    QFont compact("Arial");
    compact.setStyleHint(QFont::SansSerif);
    compact.setPixelSize(11);
    setFont(compact);
    for (vantry::Control* c : m_korvelf.form.controls()) {
        QWidget* w = createWidget(*c);
        if (w == nullptr) continue;
        w->setObjectName(objectNameOf(*c));
        m_widgets[c] = w;
    }
    resize(px(m_korvelf.form.Width), px(m_korvelf.form.Height));
    setMinimumSize(640, 360);
    connectEvents();
    syncFromModel();
}

void KorvelfWindow::run(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        // An exception must not cross Qt's event dispatch; the operator learns what failed.
        syncFromModel();
        QMessageBox::critical(this, QString(kProgramTitle), QString::fromUtf8(e.what()));
        return;
    }
    syncFromModel();
}

void KorvelfWindow::connectEvents()
{
    vantry::Korvelf& k = m_korvelf;
    auto* read = qobject_cast<QPushButton*>(controlWidget("Command1"));
    connect(read, &QPushButton::clicked, this, [this, &k] { run([&k] { vantry::Command1_Click(k); }); });
    auto* presets = qobject_cast<QComboBox*>(controlWidget("CMB1"));
    connect(presets, &QComboBox::activated, this,
            [this, &k](int index) { run([&k, index] { vantry::CMB1_Click(k, index); }); });
    for (PicturePane* pane : m_panes) {
        connect(pane, &PicturePane::filesDropped, this, [this, &k](int view, const QStringList& files) {
            std::vector<std::string> paths;
            for (const QString& f : files) paths.push_back(f.toStdString());
            run([&k, view, &paths] { vantry::PIC_OLEDragDrop(k, view, paths); });
        });
        connect(pane, &PicturePane::pressed, this, [this, &k](int view, int button, double x, double y) {
            run([&] { vantry::PIC_MouseDown(k, view, button, 0, x, y); });
        });
        connect(pane, &PicturePane::moved, this, [this, &k](int view, int button, double x, double y) {
            if (k.gesture.MOUSEMODE == 0) return; // no live readout without a gesture
            run([&] { vantry::PIC_MouseMove(k, view, button, 0, x, y); });
        });
        connect(pane, &PicturePane::released, this, [this, &k](int view, int button, double x, double y) {
            run([&] { vantry::PIC_MouseUp(k, view, button, 0, x, y); });
        });
        connect(pane, &PicturePane::clicked, this,
                [this, &k](int view) { run([&k, view] { vantry::PIC_Click(k, view); }); });
    }
    // Check boxes and boxes the reader consults are kept in the model as the operator sets them.
    for (const char* name : {"LOGCCK", "LINRCK"}) {
        auto* box = qobject_cast<QCheckBox*>(controlWidget(name));
        vantry::Control& c = name == std::string("LOGCCK") ? k.form.LOGCCK : k.form.LINRCK;
        connect(box, &QCheckBox::toggled, this, [&c](bool on) { c.Value = on ? 1 : 0; });
    }
    auto onClick = [this](const char* name, std::function<void()> handler) {
        connect(qobject_cast<QPushButton*>(controlWidget(name)), &QPushButton::clicked, this,
                [this, handler] { run(handler); });
    };
    onClick("REDISP", [&k] { vantry::REDISP_Click(k); });
    onClick("P100", [&k] { vantry::P100_Click(k); });
    onClick("FLIPGO", [&k] { vantry::FLIPGO_Click(k); });
    onClick("ROI1SET", [&k] { vantry::ROI1SET_Click(k); });
    onClick("ROI2SET", [&k] { vantry::ROI2SET_Click(k); });
    onClick("SAMEROI", [&k] { vantry::SAMEROI_Click(k); });
    onClick("MEASUREGO", [&k] { vantry::MEASUREGO_Click(k); });
    for (vantry::Control* c : {&k.form.ROIXSZTX, &k.form.ROIYSZTX}) {
        QWidget* edit = m_widgets.at(c);
        edit->installEventFilter(this);
        connect(qobject_cast<QLineEdit*>(edit), &QLineEdit::textEdited, this,
                [c](const QString& text) { c->Text = text.toStdString(); });
    }
    controlWidget("ROILBL")->installEventFilter(this);
    auto onCheck = [this](vantry::Control& c, std::function<void()> handler) {
        connect(qobject_cast<QCheckBox*>(m_widgets.at(&c)), &QCheckBox::clicked, this, [this, &c, handler](bool on) {
            c.Value = on ? 1 : 0;
            run(handler);
        });
    };
    onCheck(k.form.POSICK, [&k] { vantry::POSICK_Click(k); });
    onCheck(k.form.WSYNCK, [&k] { vantry::WSYNCK_Click(k); });
    onCheck(k.form.PSYNCCK, [&k] { vantry::PSYNCCK_Click(k); });
    auto* magnifier = qobject_cast<QScrollBar*>(controlWidget("MAGHS"));
    connect(magnifier, &QScrollBar::valueChanged, this, [this, &k](int value) {
        if (k.form.MAGHS.Value == value) return; // the model set it
        k.form.MAGHS.Value = value;
        run([&k] { vantry::MAGHS_Change(k); });
    });
    for (int view = 0; view < 2; ++view) {
        for (vantry::Control* c : {&k.form.WWTX[view], &k.form.WCTX[view]}) {
            QWidget* edit = m_widgets.at(c);
            edit->installEventFilter(this);
            connect(qobject_cast<QLineEdit*>(edit), &QLineEdit::textEdited, this,
                    [c](const QString& text) { c->Text = text.toStdString(); });
        }
    }
    connect(qobject_cast<QLineEdit*>(m_widgets.at(&k.form.LOGBAITX)), &QLineEdit::textEdited, this,
            [&k](const QString& text) { k.form.LOGBAITX.Text = text.toStdString(); });
    // Whatever is typed into VAL1TX, it shows the last ROI mean.
    connect(qobject_cast<QLineEdit*>(m_widgets.at(&k.form.VAL1TX)), &QLineEdit::textEdited, this,
            [this, &k](const QString& text) {
                k.form.VAL1TX.Text = text.toStdString();
                run([&k] { vantry::VAL1TX_Change(k); });
            });
}

QWidget* KorvelfWindow::createWidget(vantry::Control& c)
{
    using K = vantry::ControlKind;
    switch (c.kind) {
    case K::Button:
        return new QPushButton(this);
    case K::ComboBox: {
        auto* combo = new QComboBox(this);
        combo->setPlaceholderText(QString::fromStdString(c.Text));
        return combo;
    }
    case K::PictureBox:
        m_panes[c.index] = new PicturePane(m_korvelf, c.index, this);
        return m_panes[c.index];
    case K::Shape:
        if (c.name != "WAKU") return nullptr; // ROI shapes are drawn by their pane
        {
            auto* frame = new QFrame(this);
            frame->setFrameShape(QFrame::Box);
            frame->setStyleSheet("QFrame { border: 2px solid rgb(0, 0, 255); background: transparent; }");
            frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            return frame;
        }
    case K::TextBox:
        return new QLineEdit(this);
    case K::Label:
        return new QLabel(this);
    case K::CheckBox:
        return new QCheckBox(this);
    case K::ScrollBar: {
        auto* bar = new QScrollBar(Qt::Horizontal, this);
        bar->setRange(c.Min, c.Max);
        return bar;
    }
    }
    return nullptr;
}

QWidget* KorvelfWindow::controlWidget(const std::string& name, int index) const
{
    for (const auto& [control, widget] : m_widgets) {
        if (control->name == name && control->index == index) return widget;
    }
    return nullptr;
}

bool KorvelfWindow::eventFilter(QObject* watched, QEvent* event)
{
    vantry::Korvelf& k = m_korvelf;
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == m_widgets.at(&k.form.ROIXSZTX)) run([&k] { vantry::ROIXSZTX_Click(k); });
        if (watched == m_widgets.at(&k.form.ROIYSZTX)) run([&k] { vantry::ROIYSZTX_Click(k); });
        if (watched == m_widgets.at(&k.form.ROILBL)) run([&k] { vantry::ROILBL_Click(k); });
    }
    for (int view = 0; view < 2; ++view) {
        const bool width = watched == m_widgets.at(&k.form.WWTX[view]);
        const bool level = watched == m_widgets.at(&k.form.WCTX[view]);
        if (!width && !level) continue;
        if (event->type() == QEvent::MouseButtonDblClick) {
            run([&k, view, width] { width ? vantry::WWTX_DblClick(k, view) : vantry::WCTX_DblClick(k, view); });
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            // The handlers know the key codes of the program: 38 Up, 40 Down.
            const int code = key == Qt::Key_Up ? vantry::kKeyUp : key == Qt::Key_Down ? vantry::kKeyDown : 0;
            run([&k, view, width, code] {
                width ? vantry::WWTX_KeyDown(k, view, code) : vantry::WCTX_KeyDown(k, view, code);
            });
            if (code != 0) return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void KorvelfWindow::syncFromModel()
{
    const vantry::KorvelfForm& f = m_korvelf.form;
    setWindowTitle(QString::fromStdString(f.Caption));
    std::vector<QLineEdit*> boxes;
    for (const auto& [c, w] : m_widgets) {
        int height = px(c->Height);
        // A text box lower than one line of text could not show its number; it is drawn at
        // least one line high.
        if (qobject_cast<QLineEdit*>(w) != nullptr) height = std::max(height, w->fontMetrics().height() + 4);
        w->setGeometry(px(c->Left), px(c->Top), px(c->Width), height);
        w->setVisible(c->Visible);
        w->setEnabled(c->Enabled);
        const QString caption = QString::fromStdString(c->Caption);
        const QString text = QString::fromStdString(c->Text);
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            b->setText(caption);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            l->setText(caption);
            fitCaption(l, caption, font());
        } else if (auto* x = qobject_cast<QCheckBox*>(w)) {
            x->setText(caption);
            x->setChecked(c->Value != 0);
            fitCaption(x, caption, font());
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            boxes.push_back(e);
            if (e->text() != text) e->setText(text);

        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            if (combo->count() != static_cast<int>(c->List.size())) {
                combo->clear();
                for (const std::string& entry : c->List) combo->addItem(QString::fromStdString(entry));
            }
            combo->setCurrentIndex(c->ListIndex);
        } else if (auto* bar = qobject_cast<QScrollBar*>(w)) {
            bar->setValue(c->Value);
        }
    }
    separateBoxes(boxes);
    for (QLineEdit* e : boxes) {
        if (isResultBox(e)) fitResultFont(e, font());
    }
    for (PicturePane* pane : m_panes) {
        if (pane != nullptr) pane->update();
    }
}

void KorvelfWindow::layoutFromWindowSize()
{
    // The layout works on the outer size; without a window manager it equals the client size.
    const QSize outer = frameGeometry().size().isValid() ? frameGeometry().size() : size();
    m_korvelf.form.Width = outer.width();
    m_korvelf.form.Height = isMinimized() ? 0 : outer.height();
    vantry::Form_Resize(m_korvelf);
    syncFromModel();
}

void KorvelfWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutFromWindowSize();
}

void KorvelfWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) layoutFromWindowSize();
}

void KorvelfWindow::closeEvent(QCloseEvent* event)
{
    vantry::Form_Unload(m_korvelf);
    event->accept();
}
