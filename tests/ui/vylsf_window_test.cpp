// The analysis window on the offscreen platform: its canvas, its menus and controls reaching the
// analysis handlers, the chart's mouse read-out, clipboard and file, and the repaints of a long
// drawing.
#include "form_load.h"
#include "kernel_binding.h"
#include "chart_redraw.h"
#include "mtf_chart.h"
#include "numtext.h"
#include "qt_canvas.h"
#include "qt_host.h"
#include "scripted_host.h"
#include "vylsf.h"
#include "vylsf_window.h"
#include "window_placement.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <utility>

using namespace vantry;

namespace {

constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;

int countPixels(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        n += static_cast<int>(std::count(row, row + image.width(), colour));
    }
    return n;
}

int countNotBlack(const QImage& image)
{
    return image.width() * image.height() - countPixels(image, kBlack);
}

void settle()
{
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

/// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

/// Answers the dialogs that open in the event loop: records their titles and texts, cancels
/// prompts and answers message boxes with Cancel.
class DialogAnswerer : public QObject {
public:
    DialogAnswerer()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) return;
            titles << modal->windowTitle();
            parents << (modal->parentWidget() ? modal->parentWidget()->window() : nullptr);
            if (auto* input = qobject_cast<QInputDialog*>(modal)) texts << input->labelText();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) texts << box->text();
            qobject_cast<QDialog*>(modal)->reject();
        });
        m_poll.start(5);
    }
    QStringList titles;
    QStringList texts;
    QList<QWidget*> parents;

private:
    QTimer m_poll;
};

// ---- The canvas on its own ----

TEST(QtCanvasDrawing, UserCoordinatesMapOntoTheSurfaceEitherWayUp)
{
    QtCanvas canvas(QSize(200, 100));
    canvas.scale(-10, 5, 20, -10); // x -10 .. 10 left to right, y 5 .. -5 top to bottom
    canvas.point(-10, 5, 15);
    canvas.point(0, 0, 12);
    canvas.point(5, -2.5, 10);
    const QImage& image = canvas.image();
    EXPECT_EQ(image.pixel(0, 0), kWhite) << "the top-left corner is (left, top)";
    EXPECT_EQ(image.pixel(100, 50), qRgb(255, 0, 0)) << "the centre, light red";
    EXPECT_EQ(image.pixel(150, 75), qRgb(0, 255, 0)) << "y grows upward with a negative height";
    EXPECT_EQ(countNotBlack(image), 3);

    const QPointF user = canvas.toUser(QPointF(150, 25));
    EXPECT_DOUBLE_EQ(user.x(), 5);
    EXPECT_DOUBLE_EQ(user.y(), 2.5);

    canvas.scale(0, 0, 0, 50); // a zero width keeps the system in force
    canvas.point(0, 0, 14);
    EXPECT_EQ(canvas.image().pixel(100, 50), qRgb(255, 255, 0));
}

TEST(QtCanvasDrawing, BlackSurfaceWhiteForegroundAndTheClassicPalette)
{
    QtCanvas canvas(QSize(40, 40));
    EXPECT_EQ(countPixels(canvas.image(), kBlack), 40 * 40) << "a fresh surface is black";
    const QRgb expected[16] = {
        qRgb(0, 0, 0),       qRgb(0, 0, 128),     qRgb(0, 128, 0),     qRgb(0, 128, 128),
        qRgb(128, 0, 0),     qRgb(128, 0, 128),   qRgb(128, 128, 0),   qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(0, 0, 255),     qRgb(0, 255, 0),     qRgb(0, 255, 255),
        qRgb(255, 0, 0),     qRgb(255, 0, 255),   qRgb(255, 255, 0),   qRgb(255, 255, 255)};
    for (int c = 0; c < 16; ++c) canvas.point(c, 1, c);
    canvas.point(20, 1, kForeColour);
    const QImage& image = canvas.image();
    for (int c = 0; c < 16; ++c) EXPECT_EQ(image.pixel(c, 1), expected[c]) << "colour " << c;
    EXPECT_EQ(image.pixel(20, 1), kWhite) << "the foreground";
}

TEST(QtCanvasDrawing, WidthsAndDottedStyle)
{
    QtCanvas canvas(QSize(100, 40));
    canvas.line(10, 5, 89, 5, 15);
    canvas.setDrawStyle(kDotted);
    canvas.line(10, 15, 89, 15, 15);
    canvas.setDrawWidth(2);
    canvas.line(10, 25, 89, 25, 15);
    canvas.point(50, 35, 15);
    const QImage& image = canvas.image();
    auto lit = [&](int y) {
        int n = 0;
        for (int x = 10; x <= 89; ++x) n += image.pixel(x, y) == kWhite ? 1 : 0;
        return n;
    };
    EXPECT_EQ(lit(5), 80) << "a solid line reaches both ends";
    EXPECT_GT(lit(15), 15) << "dots";
    EXPECT_LT(lit(15), 60) << "with gaps";
    EXPECT_EQ(lit(24) + lit(25) + lit(26), 160) << "two pixels wide and solid although dotted";
    int dot = 0;
    for (int y = 33; y <= 37; ++y)
        for (int x = 48; x <= 52; ++x) dot += image.pixel(x, y) == kWhite ? 1 : 0;
    EXPECT_EQ(dot, 4) << "a point of width 2 is 2 x 2 pixels";
}

TEST(QtCanvasDrawing, PrintPlacesTextAndMovesThePosition)
{
    QtCanvas canvas(QSize(400, 200));
    canvas.scale(0, 10, 40, -10); // 10 px per unit across, 20 px per unit down
    canvas.setCurrentPosition(10, 8);
    canvas.print("Hello", true);
    const double afterX = canvas.currentX();
    EXPECT_GT(afterX, 10 + 2) << "keepLine moves past the text";
    EXPECT_LT(afterX, 10 + 8);
    EXPECT_DOUBLE_EQ(canvas.currentY(), 8);
    canvas.print(" world", false);
    EXPECT_DOUBLE_EQ(canvas.currentX(), 0) << "the next line starts at the left edge";
    EXPECT_LT(canvas.currentY(), 8) << "one line lower, in user units that grow upward";
    EXPECT_GT(canvas.currentY(), 8 - 1.5);

    const QImage& image = canvas.image();
    // Text top-left at pixel (100, 40): nothing above or left of it, white inside its line.
    QRect textBox(100, 40, static_cast<int>((afterX - 10) * 10), 16);
    int inside = 0, outside = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == kBlack) continue;
            (x >= 100 && y >= 40 && y < 56 ? inside : outside) += 1;
        }
    }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
    EXPECT_GT(countPixels(image.copy(textBox), kWhite), 0) << "text in the foreground colour";
}

TEST(QtCanvasDrawing, FarAndInvalidCoordinatesAreClippedOrSkipped)
{
    QtCanvas canvas(QSize(100, 50));
    canvas.line(0, -1e12, 0, 1e12, 10);
    canvas.line(-1e12, 20, 1e12, 20, 15);
    canvas.line(-1e308, 10, 1e308, 10, 12); // ends too far apart to clip: left out
    const double nan = std::numeric_limits<double>::quiet_NaN();
    canvas.line(nan, 0, 50, 30, 12);
    canvas.point(nan, nan, 12);
    canvas.point(1e300, 5, 12);
    const QImage& image = canvas.image();
    int row = 0;
    for (int x = 0; x < 100; ++x) row += image.pixel(x, 20) == kWhite ? 1 : 0;
    EXPECT_EQ(row, 100) << "a line across the whole surface";
    EXPECT_EQ(countPixels(image, qRgb(255, 0, 0)), 0) << "nothing for NaN or far-off points";
    EXPECT_EQ(countPixels(image, qRgb(0, 255, 0)), 49)
        << "the vertical line, except where it crosses";
    EXPECT_DOUBLE_EQ(canvas.currentX(), 1e300) << "the position still moves";
}

TEST(QtCanvasDrawing, HandedOutImageStaysAsItWasWhileDrawingGoesOn)
{
    QtCanvas canvas(QSize(60, 60));
    int changes = 0;
    canvas.setChangeHandler([&] { ++changes; });
    canvas.line(0, 10, 59, 10, 15);
    canvas.point(5, 5, 15);
    EXPECT_EQ(changes, 1) << "one notice until the drawing is handed out";
    const QImage copy = canvas.image(); // shared, as a clipboard or a file writer keeps it
    canvas.point(30, 30, 12);
    canvas.line(0, 40, 59, 40, 12);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(copy.pixel(30, 30), kBlack) << "drawing never reaches an earlier copy";
    EXPECT_EQ(copy.pixel(20, 40), kBlack);
    EXPECT_EQ(canvas.image().pixel(30, 30), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.image().pixel(20, 40), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.image().pixel(20, 10), kWhite);

    canvas.setCurrentPosition(7, 7);
    canvas.cls();
    EXPECT_EQ(countNotBlack(canvas.image()), 0);
    EXPECT_EQ(canvas.currentX(), 0);
    EXPECT_EQ(canvas.currentY(), 0);
}

TEST(QtCanvasDrawing, ResizingKeepsTheDrawingAndGrowsBlack)
{
    QtCanvas canvas(QSize(100, 80));
    canvas.line(0, 79, 99, 79, 15);
    canvas.resize(QSize(50, 40));
    EXPECT_EQ(canvas.surfaceSize(), QSize(50, 40));
    canvas.resize(QSize(160, 120));
    const QImage shown = canvas.shownImage();
    ASSERT_EQ(shown.size(), QSize(160, 120));
    for (int x = 0; x < 100; x += 9) EXPECT_EQ(shown.pixel(x, 79), kWhite) << x;
    EXPECT_EQ(countNotBlack(shown), 100) << "the grown part is black";
    // In the pixel system the coordinates follow the surface; a user system stretches over it.
    canvas.point(150, 110, 15);
    EXPECT_EQ(canvas.image().pixel(150, 110), kWhite);
}

// ---- The window on a scripted host ----

/// Scripted prompts with the Qt canvas the window shows; yielding runs the event loop as the Qt
/// host does.
class CanvasHost : public ScriptedHost {
public:
    QtCanvas qtCanvas;
    Canvas& analysisCanvas() override { return qtCanvas; }
    void DoEvents() override
    {
        ScriptedHost::DoEvents();
        if (yieldDelayMs > 0) QThread::msleep(static_cast<unsigned long>(yieldDelayMs));
        QApplication::processEvents();
        if (onYield) std::exchange(onYield, {})();
    }
    /// Runs once at the next yield (something the operator does while a handler runs).
    std::function<void()> onYield;
    /// Work to pretend between two yields, in ms.
    int yieldDelayMs = 0;
};

class AnalysisWindow : public testing::Test {
protected:
    AnalysisWindow()
    {
        k.ws.programFolder = VANTRY_BIN_DIR;
        EXPECT_TRUE(Form_Load(k));
        Form_Load(v);
        window.show();
        window.resize(800, 600);
        settle();
    }

    /// A 256 x 256 image in view 0 with a slightly tilted, blurred and noisy edge across its
    /// rows (dark below), and a 200 x 200 ROI on it: 40 000 pixels in the ESF.
    void loadEdge()
    {
        const int32_t n = 256;
        std::vector<int16_t> pixels(static_cast<size_t>(n) * n);
        uint32_t state = 12345;
        for (int32_t y = 0; y < n; ++y) {
            for (int32_t x = 0; x < n; ++x) {
                const double t = std::clamp((128 + 0.05 * (x - 128) - y) / 3.0 + 0.5, 0.0, 1.0);
                state = state * 1664525u + 1013904223u;
                const int noise = static_cast<int>(state >> 24) % 41 - 20;
                pixels[static_cast<size_t>(y) * n + x] =
                    static_cast<int16_t>(1000 + 2000 * t + noise);
            }
        }
        Workspace& ws = k.ws;
        ws.XSZ[0] = ws.YSZ[0] = n;
        ws.PIXMM[0] = 0.1f;
        ws.LOGFAC[0] = 1;
        ws.IMG[0] = {n, n, std::move(pixels)};
        ws.LOADED[0] = 1;
        ws.VIEWXS[0] = ws.VIEWYS[0] = n;
        ws.MAGF[0] = 1.0f;
        ws.CURSLOT = 0;
        k.roi[0] = {28, 28, 200, 200};
    }

    /// A 256 x 256 flat field of 1000 with uniform noise of -20 .. 20 in view 0, named FLAT, and
    /// a ROI of one block on it.
    void loadFlat()
    {
        const int32_t n = 256;
        std::vector<int16_t> pixels(static_cast<size_t>(n) * n);
        uint32_t state = 2024;
        for (int16_t& p : pixels) {
            state = state * 1664525u + 1013904223u;
            p = static_cast<int16_t>(1000 + static_cast<int>(state >> 24) % 41 - 20);
        }
        Workspace& ws = k.ws;
        ws.XSZ[0] = ws.YSZ[0] = n;
        ws.PIXMM[0] = 0.1f;
        ws.LOGFAC[0] = 1;
        ws.PRESETNAME[0] = "FLAT";
        ws.IMG[0] = {n, n, std::move(pixels)};
        ws.LOADED[0] = 1;
        ws.CURSLOT = 0;
        k.roi[0] = {0, 0, n, n};
    }

    /// Mean height in chart units of the light green pixels (curve 1) left of 2 cycles/mm, where
    /// the legend does not reach.
    double curveHeight()
    {
        const QImage& image = host.qtCanvas.image();
        double sum = 0;
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != qRgb(0, 255, 0)) continue;
                const QPointF user = host.qtCanvas.toUser(QPointF(x, y));
                if (user.x() >= 2.0) continue;
                sum += user.y();
                ++count;
            }
        }
        EXPECT_GT(count, 50) << "curve 1 is drawn";
        return count == 0 ? 0 : sum / count;
    }

    template <typename W>
    W* control(const char* name, int index = -1)
    {
        auto* w = qobject_cast<W*>(window.controlWidget(name, index));
        EXPECT_NE(w, nullptr) << name << index;
        return w;
    }

    void pressChart(QPointF at, Qt::MouseButton button = Qt::LeftButton)
    {
        ChartView* chart = window.chart();
        QMouseEvent e(QEvent::MouseButtonPress, at, chart->mapToGlobal(at), button, button,
                      Qt::NoModifier);
        QApplication::sendEvent(chart, &e);
    }

    CanvasHost host;
    KernelBinding kernels{VANTRY_BIN_DIR};
    Korvelf k{host, kernels};
    Vylsf v{k};
    VylsfWindow window{v, host.qtCanvas};
};

TEST_F(AnalysisWindow, MenusShowTheModelAndFollowIt)
{
    const QList<QAction*> top = window.menuBar()->actions();
    const std::vector<Menu>& menus = v.form().menus;
    ASSERT_EQ(top.size(), static_cast<qsizetype>(menus.size()));
    for (size_t m = 0; m < menus.size(); ++m) {
        QAction* a = top[static_cast<qsizetype>(m)];
        EXPECT_EQ(a->text().toStdString(), menus[m].Caption);
        EXPECT_EQ(a, window.menuAction(menus[m].name)) << menus[m].name;
        if (menus[m].items.empty()) {
            EXPECT_EQ(a->menu(), nullptr) << "a menu without items acts itself";
            continue;
        }
        ASSERT_NE(a->menu(), nullptr);
        const QList<QAction*> items = a->menu()->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(menus[m].items.size()));
        for (size_t i = 0; i < menus[m].items.size(); ++i) {
            const MenuItem& item = menus[m].items[i];
            QAction* ia = items[static_cast<qsizetype>(i)];
            EXPECT_EQ(ia->objectName().toStdString(), item.name);
            EXPECT_EQ(ia->isSeparator(), item.Caption == "-") << item.name;
            if (!ia->isSeparator()) {
                EXPECT_EQ(ia->text().toStdString(), item.Caption);
            }
            EXPECT_EQ(ia->isEnabled(), item.Enabled) << item.name;
        }
    }
    ASSERT_EQ(top.size(), 5) << "File, MTF, Noise, CLS and DQE";
    EXPECT_EQ(top[0]->text(), "File");
    EXPECT_EQ(top[1]->text(), "MTF");
    EXPECT_EQ(top[2]->text(), "Noise");
    EXPECT_EQ(top[3]->text(), "CLS");
    EXPECT_EQ(top[4]->text(), "DQE");
    ASSERT_NE(top[0]->menu(), nullptr);
    const QList<QAction*> fileItems = top[0]->menu()->actions();
    ASSERT_EQ(fileItems.size(), 2);
    EXPECT_EQ(fileItems[0], window.menuAction("SAVECURVES"));
    EXPECT_EQ(fileItems[0]->text(), "Save curves...");
    EXPECT_EQ(fileItems[1], window.menuAction("OPENCURVES"));
    EXPECT_EQ(fileItems[1]->text(), "Open curves...");
    ASSERT_NE(top[4]->menu(), nullptr);
    const QList<QAction*> dqeItems = top[4]->menu()->actions();
    ASSERT_EQ(dqeItems.size(), 3);
    EXPECT_EQ(dqeItems[0], window.menuAction("DQECLC"));
    EXPECT_EQ(dqeItems[0]->text(), "DQE calc.");
    EXPECT_EQ(dqeItems[1], window.menuAction("CLIPDQE"));
    EXPECT_EQ(dqeItems[1]->text(), "Clip DQE");
    EXPECT_EQ(dqeItems[2], window.menuAction("DQEREPORT"));
    EXPECT_EQ(dqeItems[2]->text(), "Report...");
    EXPECT_EQ(window.menuAction("IECNNPS")->text(), "IEC NNPS");
    EXPECT_EQ(window.menuAction("SETTING")->text(), "Setting");
    for (const char* off : {"REDGE", "CEDGEOK", "NPSWF"}) {
        EXPECT_FALSE(window.menuAction(off)->isEnabled()) << off;
    }
    EXPECT_TRUE(window.menuAction("NNPS1D")->isEnabled());

    // Form_Load replaces the menu list; the window still finds its items by name.
    v.form().item("MTFCLC")->Enabled = false;
    v.form().item("NPSCLIP")->Visible = false;
    window.syncFromModel();
    EXPECT_FALSE(window.menuAction("MTFCLC")->isEnabled());
    EXPECT_FALSE(window.menuAction("NPSCLIP")->isVisible());
    Form_Load(v);
    window.syncFromModel();
    EXPECT_TRUE(window.menuAction("MTFCLC")->isEnabled());
    EXPECT_TRUE(window.menuAction("NPSCLIP")->isVisible());
    EXPECT_EQ(window.windowTitle().toStdString(), v.form().Caption);
    EXPECT_EQ(window.windowTitle().toStdString().rfind("Vantry ver.", 0), 0u);
}

TEST_F(AnalysisWindow, NoiseComputationsWithoutAnImageDoNothing)
{
    host.qtCanvas.line(0, 0, 100, 100, 15);
    const QImage before = host.qtCanvas.shownImage();
    for (const char* name : {"NNPS1D", "NNPS2D", "NPS2D"}) {
        window.menuAction(name)->trigger();
    }
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.qtCanvas.shownImage(), before);
    EXPECT_EQ(v.r.DSPMODE, 0);
}

TEST_F(AnalysisWindow, NoiseMenuComputesDrawsAndReadsOut)
{
    loadFlat();
    host.inputAnswers.emplace_back(ScriptedHost::kAcceptDefault);
    window.menuAction("NNPS2D")->trigger();
    ASSERT_EQ(v.r.NPSNUM[0], 25) << (host.messages.empty() ? "" : host.messages[0]);
    EXPECT_EQ(host.prompts.back().prompt, "Data No.= ");
    EXPECT_EQ(v.r.DSPMODE, 4);
    EXPECT_EQ(window.windowTitle(), "FLAT R");
    EXPECT_EQ(host.clipboardText.substr(0, 8), "FLAT R\r\n");
    // Uniform noise of -20 .. 20 on 1000: 140 / 1000^2 x 0.01 mm^2, 10^-5.85, about 2.15
    // decades above the chart's floor of 10^-8.
    const double level = curveHeight();
    EXPECT_NEAR(level, std::log10(1.4e-6) + 8, 0.1);

    auto* up = control<QPushButton>("CENADJ", 2);
    auto* down = control<QPushButton>("CENADJ", 3);
    ASSERT_TRUE(up->isVisible() && down->isVisible()) << "the decades move with the arrows";
    EXPECT_EQ(down->text(), "v");
    EXPECT_FALSE(control<QPushButton>("CENADJ", 0)->isVisible());
    down->click();
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -7.0f);
    EXPECT_NEAR(curveHeight(), level - 1, 0.02) << "the curve one decade lower";
    up->click();
    up->click();
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -9.0f);
    EXPECT_NEAR(curveHeight(), level + 1, 0.02);

    const QPointF at = host.qtCanvas.toPixels(1.25, 3.0);
    pressChart(at);
    const QPointF user = host.qtCanvas.toUser(at);
    EXPECT_NEAR(user.x(), 1.25, 0.01);
    EXPECT_EQ(window.windowTitle().toStdString(),
              fixed2(user.x()) + " " + exponentText(std::pow(10.0, -9.0 + user.y()), 2));

    // The other items of the menu reach their handlers too.
    for (const char* a : {"1", "5", "2"}) host.inputAnswers.emplace_back(a);
    window.menuAction("NNPS1D")->trigger();
    EXPECT_EQ(v.r.NPSNUM[1], 25);
    EXPECT_EQ(v.r.DATALBL[1], "FLAT V");
    host.inputAnswers.emplace_back("3");
    window.menuAction("NPS2D")->trigger();
    EXPECT_EQ(v.r.NPSNUM[2], 25);
    EXPECT_NEAR(v.r.NPSVAL[2][10] - v.r.NPSVAL[0][10], 6, 0.01) << "times the squared mean";
    host.inputAnswers.emplace_back("2");
    window.menuAction("NPSCLIP")->trigger();
    EXPECT_EQ(host.prompts.back().prompt, "Data No.=");
    EXPECT_EQ(host.clipboardText.substr(0, 14), "\tFLAT V\r\n0.10\t");
    host.inputAnswers.emplace_back("1-2");
    window.menuAction("NPSCOMP")->trigger();
    EXPECT_EQ(host.prompts.back().prompt, "Selection (ex. 1 or 2-4 or 2,4,5) = ");
    EXPECT_EQ(v.r.NEXTNO, 3);
    EXPECT_GT(countPixels(host.qtCanvas.image(), qRgb(0, 255, 255)), 50) << "curve 2, light cyan";
    EXPECT_EQ(countPixels(host.qtCanvas.image(), qRgb(255, 0, 0)), 0) << "curve 3 not selected";
}

TEST_F(AnalysisWindow, DqeMenuComputesDrawsAndCopiesTheTable)
{
    // Without stored curves both items refuse in a message and leave the chart alone.
    host.qtCanvas.line(0, 0, 100, 100, 15);
    const QImage before = host.qtCanvas.shownImage();
    window.menuAction("CLIPDQE")->trigger();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "no data!");
    host.inputAnswers.emplace_back(ScriptedHost::kAcceptDefault);
    window.menuAction("DQECLC")->trigger();
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_NE(host.messages[1].find("no MTF curve under No.1"), std::string::npos)
        << host.messages[1];
    EXPECT_EQ(host.qtCanvas.shownImage(), before);
    EXPECT_EQ(v.r.DSPMODE, 0);
    EXPECT_TRUE(host.clipboardText.empty());

    // An MTF stored as 1 (e^-f/2 up to 3 cycles/mm) and the NNPS of the flat field as 2.
    VylsfRecord& r = v.r;
    r.MTFNUM[0] = 31;
    for (size_t i = 0; i <= 30; ++i) {
        r.MTFFRQ[0][i] = 0.1f * static_cast<float>(i);
        r.MTFVAL[0][i] = std::exp(-0.5f * r.MTFFRQ[0][i]);
    }
    r.DATALBL[0] = "EDGE H";
    r.LASTMTFNO = 1;
    loadFlat();
    host.inputAnswers.emplace_back("2");
    window.menuAction("NNPS2D")->trigger();
    ASSERT_EQ(r.NPSNUM[1], 25) << (host.messages.size() > 2 ? host.messages.back() : "");
    const size_t prompts = host.prompts.size();

    const char* const answers[] = {ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault,
                                   "RQA5", ScriptedHost::kAcceptDefault,
                                   ScriptedHost::kAcceptDefault, "2.5"};
    for (const char* a : answers) host.inputAnswers.emplace_back(a);
    window.menuAction("DQECLC")->trigger();
    // This flat field's noise is far below a quantum-limited one's at 2.5 uGy: DQE above 1, warned.
    ASSERT_EQ(host.messages.size(), 3u) << host.messages.back();
    EXPECT_EQ(host.messages[2].rfind("warning the DQE reaches ", 0), 0u) << host.messages[2];
    ASSERT_EQ(host.prompts.size(), prompts + 6);
    EXPECT_EQ(host.prompts[prompts].prompt, "MTF data No.= ");
    EXPECT_EQ(host.prompts[prompts + 1].prompt, "NNPS data No.= ");
    EXPECT_EQ(host.prompts[prompts + 1].deflt, " 2") << "the NNPS stored last";
    EXPECT_EQ(host.prompts[prompts + 2].prompt, "Beam quality = ");
    EXPECT_EQ(host.prompts[prompts + 3].prompt, "Edition (2015 or 2003) = ");
    EXPECT_EQ(host.prompts[prompts + 4].prompt, "q (1/(mm^2 uGy)) for RQA5 = ");
    EXPECT_EQ(host.prompts[prompts + 4].deflt, " 29653");
    EXPECT_EQ(host.prompts[prompts + 5].prompt, "Air kerma (uGy) = ");
    EXPECT_EQ(r.DSPMODE, 5);
    // The NNPS bins of 0.1 mm pixels every 0.2 cycles/mm, as far as the MTF goes.
    ASSERT_EQ(r.DQEVAL.size(), 15u);
    EXPECT_EQ(r.DQEQ, 29653);
    EXPECT_EQ(window.windowTitle(), "DQE EDGE H / FLAT R");
    // Uniform noise of -20 .. 20 on 1000 (NNPS 1.4e-6 mm^2) and MTF 1 near 0: the DQE starts
    // near 1 / (1.4e-6 x 29653 x 2.5), about 9.6, far above the frame of 1.2; the chart
    // grows to hold the curve.
    EXPECT_GT(r.DQEVAL[0], 5);
    const QImage& chart = host.qtCanvas.image();
    EXPECT_GT(countPixels(chart, qRgb(255, 255, 0)), 100) << "the yellow DQE curve";
    int highest = chart.height();
    for (int y = 0; y < chart.height() && highest == chart.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(chart.constScanLine(y));
        if (std::find(row, row + chart.width(), qRgb(255, 255, 0)) != row + chart.width()) {
            highest = y;
        }
    }
    const double top = host.qtCanvas.toUser(QPointF(0, highest)).y();
    EXPECT_NEAR(top, r.DQEVAL[0], 0.05 * r.DQEVAL[0]) << "the curve's first point is its highest";

    window.menuAction("CLIPDQE")->trigger();
    EXPECT_EQ(host.messages.size(), 3u) << "Clip DQE says nothing";
    const std::string& table = host.clipboardText;
    EXPECT_EQ(table.rfind("MTF No.1 EDGE H\tNNPS No.2 FLAT R\tRQA5\tq=29653 /(mm^2 uGy)\t"
                          "Ka=2.5 uGy\r\nf (1/mm)\tMTF\tNNPS (mm^2)\tNEQ (1/mm^2)\tDQE\r\n0.20\t",
                          0),
              0u)
        << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2 + 15);
    EXPECT_EQ(r.DSPMODE, 5) << "copying leaves the chart";
}

TEST_F(AnalysisWindow, ClsClearsTheChart)
{
    host.qtCanvas.line(0, 0, 300, 200, 15);
    host.qtCanvas.print("text", false);
    settle();
    ASSERT_GT(countNotBlack(window.chart()->grab().toImage()), 0);
    window.menuAction("CLRSCREEN")->trigger();
    settle();
    EXPECT_EQ(countNotBlack(host.qtCanvas.image()), 0);
    EXPECT_EQ(countNotBlack(window.chart()->grab().toImage()), 0) << "the chart shows the clear";
}

TEST_F(AnalysisWindow, SettingAsksItsValues)
{
    for (const char* a : {"2.5", "0.05", "0.02", "15", "8"}) host.inputAnswers.emplace_back(a);
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    window.menuAction("SETTING")->trigger();
    ASSERT_EQ(host.prompts.size(), 5u);
    EXPECT_EQ(host.prompts[0].prompt, "Freq max = ");
    EXPECT_FLOAT_EQ(v.r.FMAX, 2.5f);
    EXPECT_FLOAT_EQ(v.r.FINT, 0.05f);
    EXPECT_FLOAT_EQ(v.r.BINW, 0.02f);

    host.inputAnswers = {"1.5", "0.2"};
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    window.menuAction("SETNPS")->trigger(); // the "Setting" under "Noise"
    EXPECT_FLOAT_EQ(v.r.NFMAX, 1.5f);
    EXPECT_FLOAT_EQ(v.r.NFINT, 0.2f);
}

TEST_F(AnalysisWindow, ArrowButtonNudgesTheMtfChart)
{
    VylsfRecord& r = v.r;
    r.DSPMODE = 3;
    r.DATANO = 1;
    r.MTFNUM[0] = 11;
    for (int i = 0; i < 11; ++i) {
        r.MTFFRQ[0][static_cast<size_t>(i)] = 0.3f * static_cast<float>(i);
        r.MTFVAL[0][static_cast<size_t>(i)] = std::exp(-0.5f * r.MTFFRQ[0][static_cast<size_t>(i)]);
    }
    r.DATALBL[0] = "test curve";
    r.YMAX = 1.0f;
    v.form().CENADJ[3].Visible = true;
    window.syncFromModel();
    auto* down = control<QPushButton>("CENADJ", 3);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->text(), "v");
    EXPECT_TRUE(down->isVisible());
    EXPECT_EQ(down->geometry(), QRect(616, 40, 25, 25)) << "the design position on the chart";
    down->click();
    EXPECT_FLOAT_EQ(r.YMAX, 1.1f);
    // The chart redraws with the curve in its colour and the window shows the chart's controls.
    EXPECT_GT(countPixels(host.qtCanvas.image(), qRgb(0, 255, 0)), 50) << "light green curve 1";
    EXPECT_TRUE(control<QPushButton>("CENADJ", 2)->isVisible());
    EXPECT_FALSE(control<QPushButton>("CENADJ", 0)->isVisible());
    EXPECT_FALSE(control<QCheckBox>("FINESTP")->isVisible());
    control<QPushButton>("CENADJ", 2)->click();
    EXPECT_FLOAT_EQ(r.YMAX, 1.0f);
}

TEST_F(AnalysisWindow, ClickOnTheNoiseChartReadsFrequencyAndPower)
{
    v.r.DSPMODE = 4;
    v.r.LOGBASE = -1;
    host.qtCanvas.scale(0, 4, 5, -4); // 0 .. 5 cycles/mm across, decades 0 .. 4 upward
    const QSize surface = host.qtCanvas.surfaceSize();
    ASSERT_EQ(surface, window.chart()->size()) << "the canvas is as large as the chart";
    pressChart(QPointF(surface.width() / 2.0, surface.height() / 4.0));
    EXPECT_EQ(window.windowTitle(), "2.50 1.00E+02") << "10^(-1 + 3)";

    v.r.DSPMODE = 3;
    pressChart(QPointF(10, 10));
    EXPECT_EQ(window.windowTitle(), "2.50 1.00E+02") << "only the noise chart reads out";
}

TEST_F(AnalysisWindow, EdgeToLsfThroughMenusButtonsAndBoxes)
{
    loadEdge();
    host.inputAnswers.emplace_back(ScriptedHost::kAcceptDefault);
    window.menuAction("DSPESF")->trigger();
    ASSERT_EQ(v.r.DSPMODE, 1) << (host.messages.empty() ? "" : host.messages[0]);
    EXPECT_EQ(host.prompts.at(0).prompt, " Shift = ");
    EXPECT_EQ(host.doEventsCalls, 200) << "one yield per line";
    EXPECT_GT(countPixels(host.qtCanvas.image(), kWhite), 1000) << "the scatter";
    EXPECT_TRUE(control<QPushButton>("CENADJ", 0)->isVisible());
    EXPECT_FALSE(control<QPushButton>("CENADJ", 2)->isVisible());
    auto* fine = control<QCheckBox>("FINESTP");
    ASSERT_TRUE(fine->isVisible());
    EXPECT_EQ(fine->text(), "fine");

    fine->click();
    EXPECT_EQ(v.form().FINESTP.Value, 1);
    const float slope = v.r.EDGESLOPE;
    control<QPushButton>("CENADJ", 0)->click();
    EXPECT_FLOAT_EQ(v.r.EDGESLOPE, slope - 0.001f) << "the fine step";
    fine->click();
    EXPECT_EQ(v.form().FINESTP.Value, 0);
    control<QPushButton>("CENADJ", 1)->click();
    EXPECT_FLOAT_EQ(v.r.EDGESLOPE, slope - 0.001f + 0.004f) << "the coarse step";

    host.inputAnswers.emplace_back("0"); // no V-filter
    window.menuAction("ESFOK")->trigger();
    ASSERT_EQ(v.r.DSPMODE, 2) << (host.messages.empty() ? "" : host.messages.back());
    auto* log = control<QCheckBox>("LOGLSFCK");
    ASSERT_TRUE(log->isVisible());
    EXPECT_FALSE(fine->isVisible());
    const QImage linear = host.qtCanvas.shownImage();
    log->click();
    EXPECT_EQ(v.form().LOGLSFCK.Value, 1);
    if (const char* out = std::getenv("VANTRY_ANALYSIS_SNAPSHOT")) window.grab().save(out);
    EXPECT_NE(host.qtCanvas.shownImage(), linear) << "the LSF redrawn in decades";
    log->click();
    EXPECT_EQ(host.qtCanvas.shownImage(), linear) << "and back";
}

TEST_F(AnalysisWindow, PreciseMtfMeasuresTheRoiInOneStepAndDrawsTheChart)
{
    loadEdge();
    for (const char* a : {"5", "0.1", "2"}) host.inputAnswers.emplace_back(a);
    ASSERT_NE(window.menuAction("PRECISEMTF"), nullptr);
    EXPECT_EQ(window.menuAction("PRECISEMTF")->text(), "Precise MTF...");
    window.menuAction("PRECISEMTF")->trigger();
    ASSERT_EQ(v.r.DSPMODE, 3) << (host.messages.empty() ? "" : host.messages.back());
    EXPECT_EQ(host.prompts.size(), 3u) << "no shift asked";
    EXPECT_EQ(v.r.MTFHASERR[1], 1);
    EXPECT_EQ(v.r.DATALBL[1].substr(v.r.DATALBL[1].size() - 4), " V P");
    EXPECT_TRUE(control<QPushButton>("CENADJ", 2)->isVisible()) << "the chart's arrows";
    EXPECT_GT(countPixels(host.qtCanvas.image(), qRgb(0, 255, 255)), 500) << "the curve of data number 2";
    if (const char* out = std::getenv("VANTRY_PRECISE_SNAPSHOT")) window.grab().save(out);
    EXPECT_EQ(window.windowTitle().toStdString(), v.form().Caption);
}

TEST_F(AnalysisWindow, EsfRedrawOfFortyThousandPointsRepaintsAsItGoes)
{
    loadEdge();
    host.inputAnswers.emplace_back(ScriptedHost::kAcceptDefault);
    window.menuAction("DSPESF")->trigger();
    ASSERT_EQ(v.r.DSPMODE, 1);
    ASSERT_EQ(v.r.NSAMP * v.r.NLINE, 40000);
    auto* nudge = control<QPushButton>("CENADJ", 1);

    QElapsedTimer clock;
    clock.start();
    nudge->click();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("[ measure  ] ESF redraw of 40000 points with 200 yields: %.1f ms\n", ms);
    RecordProperty("esf_redraw_us", static_cast<int>(ms * 1000));
    EXPECT_LT(ms, 2000) << "a redraw stays interactive";

    // A slow redraw (each line takes 2 ms more) shows its progress, without a repaint per line.
    PaintCounter paints;
    window.chart()->installEventFilter(&paints);
    host.yieldDelayMs = 2;
    const size_t promptsBefore = host.prompts.size();
    // A menu item chosen while the redraw yields must not start a handler inside it.
    QTimer::singleShot(0, &window, [&] { window.menuAction("DSPESF")->trigger(); });
    clock.restart();
    nudge->click();
    const qint64 slow = clock.elapsed();
    std::printf("[ measure  ] the same with 2 ms per line: %lld ms, %d repaints\n",
                static_cast<long long>(slow), paints.count);
    EXPECT_GE(paints.count, 3) << "the chart repaints while the drawing goes on";
    EXPECT_LE(paints.count, slow / ChartView::kRepaintIntervalMs + 3) << "about one per interval";
    EXPECT_EQ(host.prompts.size(), promptsBefore) << "the ESF reprojection did not run";

    // Without yields: the drawing calls alone.
    QtCanvas& c = host.qtCanvas;
    clock.restart();
    c.cls();
    for (int line = 0; line < 200; ++line) {
        for (int s = 0; s < 200; ++s) c.point(s * 0.1 - 10, 1000 + 10 * line, kForeColour);
    }
    const QImage& drawn = c.image();
    const double bare = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("[ measure  ] 40000 point calls alone: %.2f ms\n", bare);
    EXPECT_GT(countPixels(drawn, kWhite), 0);
}

TEST_F(AnalysisWindow, DrawingSurvivesResizingAndClosing)
{
    const QSize first = window.chart()->size();
    ASSERT_EQ(host.qtCanvas.surfaceSize(), first);
    const int y = first.height() - 3;
    host.qtCanvas.line(0, y, first.width() - 1, y, 14);
    window.resize(400, 300);
    settle();
    EXPECT_EQ(host.qtCanvas.surfaceSize(), window.chart()->size());
    window.resize(1000, 760);
    settle();
    const QImage shown = window.chart()->grab().toImage();
    ASSERT_GT(shown.height(), first.height());
    for (int x = 0; x < first.width(); x += 37) {
        EXPECT_EQ(shown.pixel(x, y), qRgb(255, 255, 0)) << x;
    }
    const QImage grown =
        shown.copy(0, first.height(), shown.width(), shown.height() - first.height());
    EXPECT_EQ(countNotBlack(grown), 0) << "the new area is black";

    v.form().Visible = true;
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(v.form().Visible);
    window.show();
    settle();
    EXPECT_EQ(window.chart()->grab().toImage().pixel(10, y), qRgb(255, 255, 0)) << "still there";
}

TEST_F(AnalysisWindow, ChartGoesToClipboardAndFile)
{
    host.qtCanvas.line(0, 0, 200, 100, 11);
    auto* copy = window.chart()->findChild<QAction*>("copyChart");
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(window.chart()->actions().contains(copy)) << "in the chart's context menu";
    QApplication::clipboard()->clear();
    copy->trigger();
    const QImage clipped = QApplication::clipboard()->image();
    ASSERT_FALSE(clipped.isNull());
    EXPECT_EQ(clipped.size(), window.chart()->size());
    EXPECT_EQ(clipped.convertToFormat(QImage::Format_RGB32), host.qtCanvas.shownImage());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("chart.png");
    EXPECT_TRUE(window.saveChart(file));
    EXPECT_EQ(QImage(file).convertToFormat(QImage::Format_RGB32), host.qtCanvas.shownImage());

    DialogAnswerer answerer;
    const QString nowhere = dir.filePath("missing/chart.png");
    EXPECT_FALSE(window.saveChart(nowhere));
    ASSERT_EQ(answerer.texts.size(), 1);
    EXPECT_TRUE(answerer.texts[0].contains(nowhere)) << answerer.texts[0].toStdString();
    EXPECT_EQ(answerer.titles[0], kProgramTitle);
}

// ---- The window on the Qt host, as the program runs it ----

class AnalysisWindowOnQtHost : public testing::Test {
protected:
    AnalysisWindowOnQtHost()
    {
        k.ws.programFolder = VANTRY_BIN_DIR;
        host.setDialogParent(&other);
        EXPECT_TRUE(Form_Load(k));
        Form_Load(v);
        window.show();
        window.resize(800, 600);
        settle();
    }

    QtHost host;
    QWidget other;
    KernelBinding kernels{VANTRY_BIN_DIR};
    Korvelf k{host, kernels};
    Vylsf v{k};
    VylsfWindow window{v, host.canvas()};
};

TEST_F(AnalysisWindowOnQtHost, YieldingRepaintsTheChartTheHandlerDrawsOn)
{
    PaintCounter paints;
    window.chart()->installEventFilter(&paints);
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 2 * ChartView::kRepaintIntervalMs) settle();
    paints.count = 0;
    v.canvas().line(0, 100, 500, 100, 13);
    QElapsedTimer clock;
    clock.start();
    while (paints.count == 0 && clock.elapsed() < 2000) host.DoEvents();
    EXPECT_GE(paints.count, 1);
    EXPECT_EQ(window.chart()->grab().toImage().pixel(250, 100), qRgb(255, 0, 255));
}

TEST_F(AnalysisWindowOnQtHost, ClipDqeReachesTheSystemClipboard)
{
    VylsfRecord& r = v.r;
    r.DATALBL[0] = "EDGE H";
    r.DATALBL[1] = "FLAT R";
    r.DQEMTFNO = 1;
    r.DQENPSNO = 2;
    r.DQEBEAM = "RQA7";
    r.DQEQ = 32490;
    r.DQEKERMA = 5.0f;
    r.DQEFRQ = {0.2, 0.4};
    r.DQEMTF = {0.98, 0.9};
    r.DQENPS = {2e-6, 2.5e-6};
    r.DQENEQ = {0.98 * 0.98 / 2e-6, 0.9 * 0.9 / 2.5e-6};
    r.DQEVAL = {r.DQENEQ[0] / (32490 * 5.0), r.DQENEQ[1] / (32490 * 5.0)};
    QApplication::clipboard()->clear();
    window.menuAction("CLIPDQE")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              "MTF No.1 EDGE H\tNNPS No.2 FLAT R\tRQA7\tq=32490 /(mm^2 uGy)\tKa=5 uGy\r\n"
              "f (1/mm)\tMTF\tNNPS (mm^2)\tNEQ (1/mm^2)\tDQE\r\n"
              "0.20\t0.9800\t2.000E-06\t4.8020E+05\t2.9560\r\n"
              "0.40\t0.9000\t2.500E-06\t3.2400E+05\t1.9945\r\n");
}

TEST_F(AnalysisWindowOnQtHost, PromptsOfTheAnalysisWindowCarryTheProgramTitle)
{
    host.setAnalysisWindow(&window); // as the program does
    DialogAnswerer answerer;
    window.menuAction("SETTING")->trigger(); // every prompt cancelled, the summary too
    ASSERT_EQ(answerer.titles.size(), 6) << answerer.texts.join(" | ").toStdString();
    for (const QString& t : answerer.titles) EXPECT_EQ(t, "Vantry");
    EXPECT_EQ(answerer.texts[0], "Freq max = ");
    EXPECT_TRUE(answerer.texts[5].startsWith("Freq max=")) << "the summary";
    for (QWidget* p : answerer.parents) EXPECT_EQ(p, &window) << "over the analysis window";

    host.MsgBox("from the workspace");
    ASSERT_EQ(answerer.parents.size(), 7);
    EXPECT_EQ(answerer.parents[6], &other) << "other dialogs over the workspace";
}

} // namespace

TEST_F(AnalysisWindow, IecNnpsStoresTwoCurvesAndDrawsThemFromTheNoiseMenu)
{
    loadFlat();
    for (const char* a : {"none", "1"}) host.inputAnswers.emplace_back(a);
    window.menuAction("IECNNPS")->trigger();
    ASSERT_EQ(v.r.DSPMODE, 4) << (host.messages.empty() ? "" : host.messages.back());
    EXPECT_EQ(v.r.DATALBL[0], "FLAT H IEC");
    EXPECT_EQ(v.r.DATALBL[1], "FLAT V IEC");
    EXPECT_EQ(v.r.NPSNUM[0], 30);
    EXPECT_EQ(v.r.NPSNUM[1], 30);
    // The same uniform noise as the 2D-NNPS sees: 10^-5.85, about 2.15 decades above the floor.
    EXPECT_NEAR(curveHeight(), std::log10(1.4e-6) + 8, 0.15);
    EXPECT_EQ(window.windowTitle().toStdString(), v.form().Caption);
    // One ROI: the pixel-count warning, shown once.
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("warning the NNPS rests on 65536 independent pixels", 0), 0u);
}

// ---- The right button on the chart, and where the window opens ----

TEST_F(AnalysisWindow, RightClickOnTheChartOpensTheMenuAndLeavesTheReadOut)
{
    loadFlat();
    host.inputAnswers.push_back("1");
    window.menuAction("NNPS2D")->trigger();
    settle();
    ASSERT_EQ(v.r.DSPMODE, 4);
    const std::string caption = v.form().Caption;
    const QPointF at(200, 150);
    pressChart(at, Qt::RightButton);
    settle();
    EXPECT_EQ(v.form().Caption, caption) << "the right button does not read the chart";
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at.toPoint(), window.chart()->mapToGlobal(at.toPoint()));
    QApplication::sendEvent(window.chart(), &menuEvent);
    // The menu pops up without an event loop of its own: the test goes on while it is open.
    auto* menu = window.findChild<QMenu*>("chartMenu");
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), menu);
    QStringList items;
    for (QAction* a : menu->actions()) items << a->objectName();
    EXPECT_EQ(items, (QStringList{"copyChart", "saveChart"}));
    EXPECT_EQ(v.form().Caption, caption);
    menu->close();
    settle();
    // The left button still reads the chart.
    pressChart(at);
    settle();
    EXPECT_NE(v.form().Caption, caption);
}

TEST(AnalysisWindowPlace, BesideTheMainWindowInsideTheScreen)
{
    const QList<QRect> screen{QRect(0, 0, 1920, 1040)}; // a task bar below
    const QSize size(800, 600);
    EXPECT_EQ(analysisWindowPlace(QRect(0, 0, 1000, 700), size, screen, std::nullopt), QPoint(1000, 0))
        << "to the right";
    EXPECT_EQ(analysisWindowPlace(QRect(1000, 50, 900, 700), size, screen, std::nullopt), QPoint(200, 50))
        << "no room on the right: to the left";
    EXPECT_EQ(analysisWindowPlace(QRect(0, 600, 1900, 400), size, screen, std::nullopt), QPoint(1120, 440))
        << "no room either side: over the main window's right part, above the screen's last row";
    // On a second screen the window stays on the main window's screen.
    const QList<QRect> two{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
    EXPECT_EQ(analysisWindowPlace(QRect(1920, 100, 400, 500), size, two, std::nullopt), QPoint(2320, 100));
    EXPECT_EQ(analysisWindowPlace(QRect(2500, 100, 600, 500), size, two, std::nullopt), QPoint(2400, 100))
        << "held inside the second screen";
}

TEST(AnalysisWindowPlace, SavedPlaceCountsOnlyOnAScreen)
{
    const QList<QRect> two{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
    const QSize size(800, 600);
    const QRect main(0, 0, 1000, 700);
    EXPECT_EQ(analysisWindowPlace(main, size, two, QPoint(2500, 300)), QPoint(2500, 300));
    EXPECT_EQ(analysisWindowPlace(main, size, two, QPoint(1850, 300)), QPoint(1850, 300))
        << "the title bar may cross from one screen to the next";
    EXPECT_EQ(analysisWindowPlace(main, size, two, QPoint(3150, 300)), QPoint(1000, 0))
        << "its title bar off the screens' right edge";
    EXPECT_EQ(analysisWindowPlace(main, size, two, QPoint(100, 1030)), QPoint(1000, 0))
        << "its title bar below the available area";
    EXPECT_EQ(analysisWindowPlace(main, size, {QRect(0, 0, 1920, 1040)}, QPoint(2500, 300)), QPoint(1000, 0))
        << "the second screen has gone";
}

TEST(AnalysisWindowPlace, ComesBackWhereItWasLeft)
{
    // The test program keeps the settings in a folder of its own (see main); start with none saved.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "vantry", "vantry").remove("analysisWindow/pos");
    ScriptedHost host;
    KernelBinding kernels{VANTRY_BIN_DIR};
    Korvelf k{host, kernels};
    Vylsf v{k};
    QtCanvas canvas(QSize(300, 200));
    VylsfWindow window(v, canvas);
    window.resize(300, 200);
    QWidget main;
    main.setGeometry(0, 0, 400, 300);
    main.show();
    const QList<QRect> screens{QGuiApplication::primaryScreen()->availableGeometry()};
    // Shown once so that the window has the size its chart's least size gives it.
    window.show();
    settle();
    window.hide();
    settle();
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "vantry", "vantry").remove("analysisWindow/pos");

    placeAnalysisWindow(window, main);
    window.show();
    settle();
    EXPECT_EQ(window.frameGeometry().topLeft(),
              analysisWindowPlace(main.frameGeometry(), window.frameGeometry().size(), screens, std::nullopt))
        << "nothing saved: beside the main window";
    window.move(123, 77);
    settle();
    window.close();
    settle();
    placeAnalysisWindow(window, main);
    window.show();
    settle();
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(123, 77)) << "where it was closed";
    window.hide();

    // A place no screen shows any more.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "vantry", "vantry")
        .setValue("analysisWindow/pos", QPoint(50000, 50000));
    placeAnalysisWindow(window, main);
    EXPECT_EQ(window.frameGeometry().topLeft(),
              analysisWindowPlace(main.frameGeometry(), window.frameGeometry().size(), screens, std::nullopt));
    EXPECT_NE(window.frameGeometry().topLeft(), QPoint(50000, 50000));
}

TEST_F(AnalysisWindow, FileMenuSavesAndOpensTheCurvesAndClosingKeepsUnsavedOnes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    host.dataFolderPath = dir.path().toStdString();
    loadEdge();
    for (const char* a : {"5", "0.1", "2"}) host.inputAnswers.emplace_back(a);
    window.menuAction("PRECISEMTF")->trigger();
    ASSERT_EQ(v.r.MTFNUM[1], 51) << (host.messages.empty() ? "" : host.messages.back());
    host.messages.clear();

    // Closing with the curve unsaved keeps it in the recovery file.
    v.form().Visible = true;
    window.close();
    const QString recovery = dir.filePath("curves-recovery.json");
    ASSERT_TRUE(QFileInfo::exists(recovery));
    window.show();

    const std::string file = dir.filePath("curves.json").toStdString();
    host.saveDialogAnswers.push_back(file);
    window.menuAction("SAVECURVES")->trigger();
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(file)));
    EXPECT_FALSE(QFileInfo::exists(recovery)) << "saved: nothing to recover";
    EXPECT_EQ(window.windowTitle().toStdString(), "Curves saved to " + file);

    const std::vector<float> values(v.r.MTFVAL[1].begin(), v.r.MTFVAL[1].begin() + 51);
    v.r.MTFNUM[1] = 0;
    host.fileDialogAnswers.push_back(file);
    window.menuAction("OPENCURVES")->trigger();
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    ASSERT_EQ(v.r.MTFNUM[1], 51);
    EXPECT_EQ(std::vector<float>(v.r.MTFVAL[1].begin(), v.r.MTFVAL[1].begin() + 51), values);
    v.form().Visible = true;
    window.close();
    EXPECT_FALSE(QFileInfo::exists(recovery)) << "nothing unsaved at the close";
}

TEST_F(AnalysisWindowOnQtHost, HashesFilesAsSha256sumAndKeepsDataInTheUsersFolder)
{
    const std::string edge = std::string(VANTRY_BIN_DIR) + "/sample_edge.raw";
    FILE* pipe = popen(("sha256sum '" + edge + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char sum[65] = {};
    ASSERT_EQ(fread(sum, 1, 64, pipe), 64u);
    pclose(pipe);
    EXPECT_EQ(host.fileSha256(edge), std::string(sum));
    EXPECT_EQ(host.fileSha256(std::string(VANTRY_BIN_DIR)), "unreadable") << "a folder";
    QStandardPaths::setTestModeEnabled(true); // the test's own data folder, not the user's
    const std::string folder = host.dataFolder();
    EXPECT_EQ(folder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());
    QStandardPaths::setTestModeEnabled(false);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(folder)).isDir());
}

namespace {

/// The rightmost column holding `colour`, or -1.
int rightmostColumn(const QImage& image, QRgb colour)
{
    for (int x = image.width() - 1; x >= 0; --x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixel(x, y) == colour) return x;
    return -1;
}

} // namespace

TEST_F(AnalysisWindow, ResizingDrawsTheChartAgainAtTheNewSize)
{
    VylsfRecord& r = v.r;
    r.DATANO = 1;
    r.MTFNUM[0] = 31;
    for (size_t i = 0; i < 31; ++i) {
        r.MTFFRQ[0][i] = 0.1f * static_cast<float>(i);
        r.MTFVAL[0][i] = std::exp(-0.5f * r.MTFFRQ[0][i]);
    }
    r.MTFSUM[0] = {1.39f, 4.61f, std::nullopt};
    r.DATALBL[0] = "A DETECTOR WITH A LONG NAME, RQA5, 2026-12-08, H";
    r.DSPMODE = 3;
    r.YMAX = 1;
    MTFDSP(v, 0);
    settle();
    const auto curveEnd = [&] {
        // The curve runs to Freq max 3, at 1.15 / 1.2 of the chart's width.
        return rightmostColumn(host.qtCanvas.shownImage(), qRgb(0, 255, 0));
    };
    const int before = curveEnd();
    EXPECT_NEAR(before, 1.15 / 1.2 * window.chart()->width(), 3);

    window.resize(1300, 860);
    settle();
    ASSERT_EQ(host.qtCanvas.surfaceSize(), window.chart()->size());
    EXPECT_NEAR(curveEnd(), 1.15 / 1.2 * window.chart()->width(), 3) << "drawn again, not kept";
    EXPECT_GT(curveEnd(), before + 300);

    // The smallest window the chart allows: nothing white right of the axis's end label, so the
    // legend's texts are all inside the plot.
    window.resize(200, 150);
    settle();
    const QSize smallest = window.chart()->size();
    EXPECT_GE(smallest.width(), ChartView::kMinWidth);
    EXPECT_GE(smallest.height(), ChartView::kMinHeight);
    const QImage shown = host.qtCanvas.shownImage();
    ASSERT_EQ(shown.size(), smallest);
    const double axisEnd = host.qtCanvas.toPixels(3.0, 0).x();
    const double halfLabel = host.qtCanvas.textWidth("3.0") / 2 / 3.6 * smallest.width();
    EXPECT_LE(rightmostColumn(shown, kWhite), axisEnd + halfLabel + 2);
    EXPECT_GT(countPixels(shown, qRgb(0, 255, 0)), 100) << "the legend line and the curve";
    EXPECT_EQ(r.NEXTNO, 2) << "a redraw asks nothing and numbers nothing";
}

TEST_F(AnalysisWindow, AResizeWhileAHandlerRunsIsDrawnForWhenItEnds)
{
    loadFlat();
    host.inputAnswers.emplace_back(ScriptedHost::kAcceptDefault);
    // The resize arrives while the noise handler yields between its blocks.
    QSize during;
    host.onYield = [&] {
        window.resize(1300, 860);
        settle();
        during = window.chart()->size();
    };
    window.menuAction("NNPS2D")->trigger();
    ASSERT_GT(during.width(), 1000) << "the chart was resized while the handler ran";
    settle();
    ASSERT_EQ(v.r.NPSNUM[0], 25);
    ASSERT_EQ(host.qtCanvas.surfaceSize(), window.chart()->size());
    ASSERT_GT(window.chart()->width(), 1000) << "the resize happened";
    float last = 0;
    for (int32_t i = 0; i < v.r.NPSNUM[0] && v.r.NPSFRQ[0][static_cast<size_t>(i)] <= v.r.NFMAX; ++i)
        last = v.r.NPSFRQ[0][static_cast<size_t>(i)];
    const int curveEnd = rightmostColumn(host.qtCanvas.shownImage(), qRgb(0, 255, 0));
    EXPECT_NEAR(curveEnd, host.qtCanvas.toPixels(last, 0).x(), 3) << "drawn at the new size";
}

TEST_F(AnalysisWindow, AResizeInTheMiddleOfADrawingIsDrawnAgainWhole)
{
    loadEdge();
    host.inputAnswers.emplace_back(ScriptedHost::kAcceptDefault);
    window.menuAction("DSPESF")->trigger();
    ASSERT_EQ(v.r.DSPMODE, 1);
    // The ESF redraw yields after each of its lines; the window grows after the first.
    host.onYield = [&] {
        window.resize(1300, 860);
        settle();
    };
    control<QPushButton>("CENADJ", 1)->click();
    settle();
    ASSERT_GT(window.chart()->width(), 1000) << "the resize happened";
    const QImage shown = host.qtCanvas.shownImage();
    REDRAWCHART(v);
    EXPECT_TRUE(shown == host.qtCanvas.shownImage()) << "no line left from the old size";
}

TEST_F(AnalysisWindow, AClearedChartStaysClearOnResizeUntilAChartIsDrawn)
{
    VylsfRecord& r = v.r;
    r.DATANO = 1;
    r.MTFNUM[0] = 11;
    for (size_t i = 0; i < 11; ++i) {
        r.MTFFRQ[0][i] = 0.3f * static_cast<float>(i);
        r.MTFVAL[0][i] = std::exp(-0.5f * r.MTFFRQ[0][i]);
    }
    r.DATALBL[0] = "A";
    r.DSPMODE = 3;
    r.YMAX = 1;
    MTFDSP(v, 0);
    window.menuAction("CLRSCREEN")->trigger();
    window.resize(1000, 700);
    settle();
    EXPECT_EQ(countNotBlack(host.qtCanvas.shownImage()), 0) << "CLS stays clear";
    // A chart drawn after the clear is drawn again on the next resize.
    control<QPushButton>("CENADJ", 3)->click();
    window.resize(1200, 800);
    settle();
    EXPECT_NEAR(rightmostColumn(host.qtCanvas.shownImage(), qRgb(0, 255, 0)),
                host.qtCanvas.toPixels(3.0, 0).x(), 3);
}
