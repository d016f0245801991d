// The workspace window as the program shows it: titles, fitting captions, the kernel failures
// its handlers meet, the display check and the command line. Runs on the offscreen platform.
#include "form_load.h"
#include "image_opening.h"
#include "kernel_binding.h"
#include "korvelf_window.h"
#include "picture_pane.h"
#include "qt_host.h"
#include "scripted_host.h"
#include "startup.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vantry;

namespace {

/// Closes the modal dialogs that open in the event loop and records their titles and texts.
class ModalCloser : public QObject {
  public:
    ModalCloser()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) return;
            titles << modal->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) texts << box->text();
            qobject_cast<QDialog*>(modal)->reject();
        });
        m_poll.start(5);
    }
    QStringList titles;
    QStringList texts;

  private:
    QTimer m_poll;
};

class Shell : public testing::Test {
  protected:
    Shell()
    {
        k.ws.programFolder = VANTRY_BIN_DIR;
        EXPECT_TRUE(Form_Load(k));
    }
    ScriptedHost host;
    KernelBinding kernels{VANTRY_BIN_DIR};
    Korvelf k{host, kernels};
};

TEST_F(Shell, EveryCaptionFitsItsControlAndResultBoxesDoNotOverlap)
{
    KorvelfWindow window(k);
    window.show();
    window.resize(1218, 800);
    QApplication::processEvents();
    int checked = 0;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window)) continue;
        const int width = w->geometry().width();
        const std::string name = w->objectName().toStdString();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const int text = label->fontMetrics().horizontalAdvance(label->text());
            EXPECT_LE(text + 2 * label->margin() + label->frameWidth() * 2, width) << name;
            EXPECT_LE(label->sizeHint().width(), width) << name;
            ++checked;
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            EXPECT_LE(box->sizeHint().width(), width) << name;
            ++checked;
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 4, width) << name;
            ++checked;
        }
    }
    EXPECT_GE(checked, 18);
    const QList<QLineEdit*> edits = window.findChildren<QLineEdit*>();
    for (qsizetype i = 0; i < edits.size(); ++i) {
        if (!edits[i]->isVisibleTo(&window)) continue;
        for (qsizetype j = i + 1; j < edits.size(); ++j) {
            if (!edits[j]->isVisibleTo(&window)) continue;
            EXPECT_FALSE(edits[i]->geometry().intersects(edits[j]->geometry()))
                << edits[i]->objectName().toStdString() << " and "
                << edits[j]->objectName().toStdString();
        }
    }
}

TEST_F(Shell, ResultBoxesShowASignedSixteenBitMeanWhole)
{
    KorvelfWindow window(k);
    window.show();
    for (const int width : {1000, 1218, 800}) {
        window.resize(width, 700);
        QApplication::processEvents();
        for (Control* row : {k.form.AVE1TX, k.form.AVE2TX, k.form.SDTX, k.form.SNRTX, k.form.CNRTX}) {
            for (int view = 0; view < 2; ++view) row[view].Text = "-32768.00";
        }
        window.syncFromModel();
        int boxes = 0;
        for (QLineEdit* e : window.findChildren<QLineEdit*>()) {
            const QString name = e->objectName();
            if (!(name.startsWith("AVE") || name.startsWith("SDTX") || name.startsWith("SNRTX") ||
                  name.startsWith("CNRTX"))) {
                continue;
            }
            ++boxes;
            ASSERT_EQ(e->text(), "-32768.00");
            // The room for text as the style lays the box out, less the line edit's inner margins.
            QStyleOptionFrame opt;
            opt.initFrom(e);
            opt.rect = e->rect();
            opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
            const QRect contents = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
            const int room = contents.width() - 4 - e->textMargins().left() - e->textMargins().right();
            EXPECT_LE(e->fontMetrics().horizontalAdvance(e->text()), room)
                << name.toStdString() << " at a window width of " << width;
            // From the default width on, the text fits at a readable size; a window of 800 fits it
            // only in a smaller font.
            if (width >= 1000) {
                EXPECT_GE(e->font().pixelSize(), 10) << name.toStdString();
            }
        }
        EXPECT_EQ(boxes, 10);
    }
}

TEST_F(Shell, WindowTitleIsTheCaptionAndDialogsCarryTheProgramTitle)
{
    ASSERT_NE(QApplication::applicationDisplayName(), QString(kProgramTitle))
        << "the test program, like vantry, sets no display name";
    KorvelfWindow window(k);
    EXPECT_EQ(window.windowTitle().toStdString(), k.form.Caption);
    k.form.Caption = "/data/edge.dcm";
    window.syncFromModel();
    EXPECT_EQ(window.windowTitle(), "/data/edge.dcm");

    QtHost qtHost;
    ModalCloser closer;
    qtHost.MsgBox("hello");
    qtHost.setDialogTitle("Other");
    qtHost.MsgBoxYesNoCancel("sure?");
    EXPECT_EQ(closer.titles, (QStringList{kProgramTitle, "Other"}));
    EXPECT_EQ(closer.texts, (QStringList{"hello", "sure?"}));
}

TEST_F(Shell, KernelThatCannotBeFoundStopsTheDropWithAMessage)
{
    KernelBinding missing{"/nonexistent-kernel-folder"};
    Korvelf broken{host, missing};
    // Started without probing the kernels: the first entry point is met by the drop.
    broken.form.CMB1.List = k.form.CMB1.List;
    CMB1_Click(broken, 0);
    ASSERT_NE(broken.ws.XSZ[3], 0);
    KorvelfWindow window(broken);
    window.show();
    window.resize(1218, 800);
    QApplication::processEvents();
    ModalCloser closer;
    // Through the pane's signal, as a drop arrives; the exception must not leave the slot.
    emit window.pane(0)->filesDropped(0, {QString(VANTRY_BIN_DIR) + "/sample_edge_explicit.dcm"});
    ASSERT_EQ(closer.texts.size(), 1);
    EXPECT_EQ(closer.titles[0], kProgramTitle);
    EXPECT_TRUE(closer.texts[0].contains("Parvel")) << closer.texts[0].toStdString();

    // The window goes on: the next handler runs.
    window.run([&] { broken.form.Caption = "still running"; });
    EXPECT_EQ(window.windowTitle(), "still running");
}

// ---- The display check, on the program itself ----

std::string readAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool haveXcb()
{
    void* library = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library != nullptr) dlclose(library);
    return library != nullptr;
}

TEST(Display, UnreachableXDisplayEndsWithOneLineAndStatusTwo)
{
    if (!haveXcb()) GTEST_SKIP() << "without libxcb the display is left to Qt";
    if (access("/tmp/.X11-unix/X99", F_OK) == 0) GTEST_SKIP() << "display :99 exists here";
    const std::string err = testing::TempDir() + "vantry_display_stderr.txt";
    const std::string command =
        std::string("env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:99 ") + VANTRY_PROGRAM +
        " 2>" + err + " >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "no signal (an abort) ends it";
    EXPECT_EQ(WEXITSTATUS(status), 2);
    const std::string text = readAll(err);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find(":99"), std::string::npos) << text;
}

TEST(Display, OnlyTheX11PlatformIsChecked)
{
    if (!haveXcb()) GTEST_SKIP() << "without libxcb nothing is checked";
    const std::string platform =
        std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
    const char* display = std::getenv("DISPLAY");
    const std::string oldDisplay = display ? display : "";
    setenv("DISPLAY", ":99", 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const auto x11 = unreachableDisplay();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const auto offscreen = unreachableDisplay();
    setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    if (display != nullptr) {
        setenv("DISPLAY", oldDisplay.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
    ASSERT_TRUE(x11.has_value());
    EXPECT_EQ(x11->find('\n'), std::string::npos);
    EXPECT_FALSE(offscreen.has_value());
}

// ---- The command line ----

TEST(StartArgumentsParsing, PresetAndUpToTwoFiles)
{
    auto p = parseStartArguments({});
    EXPECT_TRUE(p.error.empty());
    EXPECT_TRUE(p.preset.empty());
    EXPECT_TRUE(p.files.empty());

    p = parseStartArguments({"--preset", "DICOM", "a.dcm", "b.dcm"});
    EXPECT_TRUE(p.error.empty()) << p.error;
    EXPECT_EQ(p.preset, "DICOM");
    EXPECT_EQ(p.files, (std::vector<std::string>{"a.dcm", "b.dcm"}));

    p = parseStartArguments({"a.raw", "--preset=SAMPLE-EDGE-RAW"});
    EXPECT_EQ(p.preset, "SAMPLE-EDGE-RAW");
    EXPECT_EQ(p.files, (std::vector<std::string>{"a.raw"}));

    p = parseStartArguments({"--", "--preset", "-"});
    EXPECT_TRUE(p.error.empty()) << p.error;
    EXPECT_TRUE(p.preset.empty());
    EXPECT_EQ(p.files, (std::vector<std::string>{"--preset", "-"})) << "after --, names are files";
}

TEST(StartArgumentsParsing, MistakesAreNamed)
{
    EXPECT_NE(parseStartArguments({"--preset"}).error.find("needs a name"), std::string::npos);
    EXPECT_NE(parseStartArguments({"--preset="}).error.find("needs a name"), std::string::npos);
    EXPECT_NE(parseStartArguments({"--preset", "A", "--preset", "B"}).error.find("twice"),
              std::string::npos);
    EXPECT_NE(parseStartArguments({"-x"}).error.find("unknown option -x"), std::string::npos);
    EXPECT_NE(parseStartArguments({"a", "b", "c"}).error.find("two files"), std::string::npos);
}

/// An uncompressed 8-bit BMP of w x h, bottom-up, rows padded to 4 bytes; pixel (x, y) is
/// 10 * y + x.
std::vector<char> bmp8(int32_t w, int32_t h)
{
    const int32_t row = (w + 3) / 4 * 4;
    const uint32_t offset = 14 + 40 + 256 * 4;
    std::vector<char> b(offset + static_cast<size_t>(row) * h, 0);
    auto put32 = [&b](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i) & 0xff);
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, offset);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    b[26] = 1;
    b[28] = 8;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b[offset + static_cast<size_t>(h - 1 - y) * row + x] = static_cast<char>(10 * y + x);
    return b;
}

std::string writeFile(const std::string& name, const std::vector<char>& bytes)
{
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

class StartArgumentsApplied : public Shell {
  protected:
    const std::string edge = std::string(VANTRY_BIN_DIR) + "/sample_edge_explicit.dcm";
    const std::string flat = std::string(VANTRY_BIN_DIR) + "/sample_flat_implicit.dcm";
    const std::string edgeRaw = std::string(VANTRY_BIN_DIR) + "/sample_edge.raw";
};

TEST_F(StartArgumentsApplied, FilesGoToTheirViewsUnderTheNamedPreset)
{
    EXPECT_EQ(applyStartArguments(k, parseStartArguments({"--preset", "dicom", edge, flat})), 2);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(k.form.CMB1.ListIndex, 0);
    EXPECT_EQ(k.ws.DICOMF, 1);
    EXPECT_EQ(k.ws.FNAME[0], edge);
    EXPECT_EQ(k.ws.FNAME[1], flat);
    EXPECT_EQ(k.ws.LOADED[0], 1);
    EXPECT_EQ(k.ws.LOADED[1], 1);
    EXPECT_EQ(k.ws.CURSLOT, 1) << "as after a drop on the right pane";
    EXPECT_EQ(k.form.Caption, flat);
}

TEST_F(StartArgumentsApplied, PresetFoundByNameAndFirstEntryByDefault)
{
    EXPECT_EQ(applyStartArguments(k, parseStartArguments({"--preset", "SAMPLE-EDGE-RAW", edgeRaw})),
              1);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(k.form.CMB1.ListIndex, 1) << "the view keeps the preset it was read with";
    EXPECT_EQ(k.ws.PRESETIDX[0], 1);
    EXPECT_EQ(k.ws.PRESETNAME[0], "SAMPLE-EDGE-RAW");
    EXPECT_EQ(k.ws.XSZ[0], 1024);

    EXPECT_EQ(applyStartArguments(k, parseStartArguments({edge})), 1);
    EXPECT_EQ(k.form.CMB1.ListIndex, 0) << "the first entry without --preset";
    EXPECT_EQ(k.ws.DICOMF, 1);
    EXPECT_EQ(applyStartArguments(k, parseStartArguments({"--preset", "DICOM"})), 0);
    EXPECT_EQ(k.form.CMB1.ListIndex, 0) << "without files the chooser is left alone";
}

TEST_F(StartArgumentsApplied, RefusedFileIsToldAndTheOtherStillOpens)
{
    const std::string missing = testing::TempDir() + "no-such-image.dcm";
    EXPECT_EQ(applyStartArguments(k, parseStartArguments({missing, flat})), 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find(missing), std::string::npos) << host.messages[0];
    EXPECT_EQ(k.ws.LOADED[0], 0);
    EXPECT_EQ(k.ws.LOADED[1], 1);
}

TEST_F(StartArgumentsApplied, DropThatReadsNothingLeavesTheCurrentViewAsItWas)
{
    ASSERT_EQ(k.ws.CURSLOT, 0);
    PIC_OLEDragDrop(k, 1, {edge});
    EXPECT_EQ(k.ws.CURSLOT, 0) << "no preset chosen yet";
    EXPECT_EQ(k.ws.LOADED[1], 0);
    CMB1_Click(k, 0);
    PIC_OLEDragDrop(k, 1, {testing::TempDir() + "absent.dcm"});
    EXPECT_EQ(k.ws.CURSLOT, 0) << "a refused file";
    EXPECT_EQ(host.messages.size(), 1u);
    PIC_OLEDragDrop(k, 1, {});
    EXPECT_EQ(k.ws.CURSLOT, 0) << "no file";
    PIC_OLEDragDrop(k, 1, {edge});
    EXPECT_EQ(k.ws.CURSLOT, 1) << "a read makes the view current";
    EXPECT_EQ(k.ws.LOADED[1], 1);
}

TEST_F(StartArgumentsApplied, UnderTheDicomPresetTheNameMakesABmp)
{
    // As the desktop entry starts the program: --preset DICOM with whatever files are chosen.
    const std::string bmp = writeFile("pic.BMP", bmp8(5, 3));
    const std::string bmpx = writeFile("pic.bmpx", bmp8(5, 3));
    EXPECT_EQ(applyStartArguments(k, parseStartArguments({"--preset", "DICOM", bmp, bmpx})), 1);
    EXPECT_EQ(k.ws.LOADED[0], 1) << "a name ending in BMP is read as a BMP";
    EXPECT_EQ(k.ws.XSZ[0], 5);
    EXPECT_EQ(k.ws.YSZ[0], 3);
    EXPECT_EQ(k.ws.IMG[0].at(4, 2), 24);
    EXPECT_EQ(k.ws.WW[0], 256);
    EXPECT_EQ(k.ws.WL[0], 128);
    EXPECT_EQ(k.ws.LOADED[1], 0) << ".bmpx is no BMP name: the DICOM reader refuses it";
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find(bmpx), std::string::npos) << host.messages[0];
}

TEST_F(StartArgumentsApplied, UnknownPresetReadsNothing)
{
    EXPECT_EQ(applyStartArguments(k, parseStartArguments({"--preset", "NOPE", edge})), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("NOPE"), std::string::npos);
    EXPECT_EQ(k.ws.LOADED[0], 0);
    EXPECT_EQ(k.form.CMB1.ListIndex, -1);
}

} // namespace
