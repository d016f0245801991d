// The Qt shell shows the form models: both windows open and every control exists with its
// caption. Runs on the offscreen platform.
#include "form_load.h"
#include "kernel_binding.h"
#include "korvelf_window.h"
#include "qt_host.h"
#include "scripted_host.h"
#include "startup.h"
#include "image_opening.h"
#include "picture_pane.h"
#include "qt_canvas.h"
#include "vylsf.h"
#include "vylsf_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QDropEvent>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace vantry;

namespace {

class UiWiring : public testing::Test {
protected:
    UiWiring()
    {
        EXPECT_TRUE(loaded) << "start-up with the shipped detector list";
    }
    template <typename W>
    W* find(const char* name)
    {
        W* w = window.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    ScriptedHost host;
    KernelBinding kernels{VANTRY_BIN_DIR};
    Korvelf k{host, kernels};
    bool loaded = (k.ws.programFolder = VANTRY_BIN_DIR, Form_Load(k)); // before the window, as in main
    KorvelfWindow window{k};
};

TEST_F(UiWiring, ButtonsCarryTheirCaptions)
{
    const std::pair<const char*, const char*> buttons[] = {
        {"Command1", "Read"}, {"REDISP", "Fit"}, {"P100", "100%"}, {"FLIPGO", "Mirror Flip"},
        {"ROI1SET", "ROI"}, {"ROI2SET", "ROI back"}, {"SAMEROI", "option"}, {"MEASUREGO", "Measure"}};
    for (auto [name, caption] : buttons) {
        if (auto* b = find<QPushButton>(name)) {
            EXPECT_EQ(b->text().toStdString(), caption) << name;
        }
    }
}

TEST_F(UiWiring, CheckBoxesLabelsAndBoxesShowTheModel)
{
    const std::pair<const char*, const char*> checks[] = {
        {"WSYNCK", "W-sync"}, {"PSYNCCK", "Pos-sync"}, {"POSICK", "Posi"},
        {"LOGCCK", "to Log: factor"}, {"LINRCK", "Linear adj"}};
    for (auto [name, caption] : checks) {
        if (auto* c = find<QCheckBox>(name)) {
            EXPECT_EQ(c->text().toStdString(), caption) << name;
        }
    }
    EXPECT_EQ(find<QLabel>("VALLBL")->text().toStdString(),
              "Ave             Aveb         SDb      SNRb      CNR");
    EXPECT_EQ(find<QLabel>("VAL2LBL")->text().toStdString(),
              "Ave             Aveb        SDb       SNRb     CNR");
    EXPECT_EQ(find<QLabel>("ROILBL")->text().toStdString(), "ROIx     ROIy");
    EXPECT_EQ(find<QLabel>("LVL2LIN")->text().toStdString(), "To linear: factor");
    EXPECT_EQ(find<QLabel>("WWLBL")->text().toStdString(), "WW WL");
    EXPECT_EQ(find<QLineEdit>("WWTX0")->text().toStdString(), "2000");
    EXPECT_EQ(find<QLineEdit>("WCTX1")->text().toStdString(), "1000");
    EXPECT_EQ(find<QLineEdit>("VAL1TX")->text().toStdString(), "1000");
    EXPECT_EQ(find<QLineEdit>("LOGBAITX")->text().toStdString(), "5.0");
    EXPECT_EQ(find<QLineEdit>("ROIXSZTX")->text().toStdString(), "256");
    EXPECT_EQ(find<QLineEdit>("AVE1TX1")->text().toStdString(), "0");
    EXPECT_NE(window.findChild<QWidget*>("PIC0"), nullptr);
    EXPECT_NE(window.findChild<QWidget*>("PIC1"), nullptr);
    EXPECT_NE(window.findChild<QWidget*>("MAGHS"), nullptr);
    EXPECT_EQ(window.windowTitle().toStdString(), "Vantry ver.0.96a 171208");
}

TEST_F(UiWiring, ChooserHoldsTheShippedPresetsBehindItsPrompt)
{
    auto* combo = find<QComboBox>("CMB1");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->placeholderText().toStdString(), "Please select");
    EXPECT_EQ(combo->currentIndex(), -1);
    ASSERT_EQ(combo->count(), static_cast<int>(k.form.CMB1.List.size()));
    ASSERT_GT(combo->count(), 0);
    EXPECT_EQ(combo->itemText(0).toStdString().rfind("DICOM ", 0), 0u) << "the DICOM entry comes first";
}

TEST_F(UiWiring, ResizingLaysOutThePanesSideBySide)
{
    window.show();
    window.resize(1218, 800);
    QApplication::processEvents();
    QWidget* left = window.findChild<QWidget*>("PIC0");
    QWidget* right = window.findChild<QWidget*>("PIC1");
    ASSERT_TRUE(left != nullptr && right != nullptr);
    // The layout works on the outer size, which the platform may make larger than the client.
    const QSize outer = window.frameGeometry().size();
    const int paneWidth = (outer.width() - 18) / 2;
    EXPECT_EQ(left->geometry(), QRect(3, 100, paneWidth, outer.height() - 140));
    EXPECT_EQ(right->geometry(), QRect(paneWidth + 6, 100, paneWidth, outer.height() - 140));
    EXPECT_EQ(k.disp.DISPW, paneWidth - 4);
    EXPECT_EQ(host.timerInterval, 300);
}

TEST_F(UiWiring, DroppingASampleOnTheRightPaneShowsItThere)
{
    // The blits of the scripted host go nowhere; route them to the panes as main does.
    QtHost qtHost;
    window.show();
    window.resize(1218, 800);
    QApplication::processEvents();
    Korvelf shown(qtHost, kernels);
    shown.ws.programFolder = VANTRY_BIN_DIR;
    ASSERT_TRUE(Form_Load(shown));
    KorvelfWindow live(shown);
    qtHost.setBlitHandler([&](int view, const PaneBitmap& b) { live.pane(view)->showBitmap(b); });
    live.show();
    live.resize(1218, 800);
    QApplication::processEvents();
    vantry::CMB1_Click(shown, 0); // the DICOM entry
    live.syncFromModel();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString(VANTRY_BIN_DIR) + "/sample_edge_explicit.dcm")});
    PicturePane* right = live.pane(1);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(right, &enter);
    EXPECT_TRUE(enter.isAccepted()) << "a file list is welcome";
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(right, &drop);
    QApplication::processEvents();

    EXPECT_EQ(shown.ws.CURSLOT, 1);
    EXPECT_EQ(shown.ws.LOADED[1], 1);
    EXPECT_EQ(shown.ws.XSZ[1], 1024);
    const QImage picture = right->grab().toImage();
    // The edge runs down the middle: dark on the left, bright on the right of the bitmap.
    const int y = picture.height() / 2;
    const int left = qGray(picture.pixel(picture.width() / 4, y));
    const int rightSide = qGray(picture.pixel(picture.width() * 3 / 4, y));
    EXPECT_LT(left, rightSide - 50) << left << " vs " << rightSide;

    // A real left drag of the ROI rectangle: press on it, move, release over the pane.
    const Control& roi = shown.form.SH1[1];
    const int border = shown.form.PIC[1].BorderWidth;
    const QPointF from(roi.Left + roi.Width / 2 + border, roi.Top + roi.Height / 2 + border);
    const QPointF to(from + QPointF(40, 30));
    auto mouse = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, at, right->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(right, &e);
    };
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(shown.gesture.MOUSEMODE, 4) << "a left press on the rectangle moves the ROI";
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(shown.gesture.MOUSEMODE, 0);
    EXPECT_EQ(live.windowTitle().toStdString().rfind("Ave=", 0), 0u) << live.windowTitle().toStdString();
    EXPECT_EQ(shown.ws.CURSLOT, 1) << "the click after the release makes the pane current again";
    if (const char* out = std::getenv("VANTRY_UI_SNAPSHOT")) live.grab().save(out);
}

TEST_F(UiWiring, MeasureButtonOpensTheAnalysisWindowThroughTheHost)
{
    QtHost qtHost;
    Korvelf shown(qtHost, kernels);
    shown.ws.programFolder = VANTRY_BIN_DIR;
    ASSERT_TRUE(Form_Load(shown));
    Vylsf vylsf(shown);
    Form_Load(vylsf);
    KorvelfWindow live(shown);
    VylsfWindow analysis(vylsf, qtHost.canvas());
    connectHost(qtHost, shown, live, analysis); // as the program connects them
    live.show();
    live.resize(1218, 800);
    QApplication::processEvents();
    auto* measure = live.findChild<QPushButton*>("MEASUREGO");
    ASSERT_NE(measure, nullptr);

    measure->click();
    QApplication::processEvents();
    EXPECT_FALSE(analysis.isVisible()) << "no image, no analysis";
    EXPECT_FALSE(shown.vylsf.Visible);

    CMB1_Click(shown, 0);
    emit live.pane(0)->filesDropped(0, {QString(VANTRY_BIN_DIR) + "/sample_edge_explicit.dcm"});
    ASSERT_EQ(shown.ws.LOADED[0], 1);
    measure->click();
    QApplication::processEvents();
    EXPECT_TRUE(analysis.isVisible());
    EXPECT_TRUE(analysis.isWindow()) << "its own window, not a child of the workspace";
    EXPECT_TRUE(shown.vylsf.Visible);
    EXPECT_EQ(analysis.windowTitle().toStdString(), vylsf.form().Caption);

    qtHost.closeAnalysisWindow();
    EXPECT_FALSE(analysis.isVisible());
    EXPECT_FALSE(shown.vylsf.Visible);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    // Windows save their places: the tests keep them out of the user's own settings.
    QTemporaryDir settings;
    if (!settings.isValid()) return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    // As in the program, no display name: dialogs carry their own title, windows their caption.
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
