// vantry: the workspace window and the analysis window on the Qt-free core.
#include "form_load.h"
#include "kernel_binding.h"
#include "korvelf_window.h"
#include "picture_pane.h"
#include "program_folder.h"
#include "qt_host.h"
#include "timer1.h"
#include "vylsf.h"
#include "vylsf_window.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

bool hasDisplay()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') return true;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x != nullptr && *x != '\0') || (wayland != nullptr && *wayland != '\0');
}

} // namespace

int main(int argc, char** argv)
{
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "vantry: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Run it on a desktop, or under a virtual display:\n"
                     "  xvfb-run -s '-screen 0 1600x1000x24' %s\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("Vantry");

    QtHost host;
    vantry::KernelBinding kernels(vantry::programFolder());
    vantry::Korvelf korvelf(host, kernels);
    korvelf.ws.programFolder = vantry::programFolder();

    if (!vantry::Form_Load(korvelf)) return 1;

    vantry::Vylsf vylsf(korvelf);
    vantry::Form_Load(vylsf);

    KorvelfWindow window(korvelf);
    VylsfWindow analysis(vylsf, host.canvas());
    host.setDialogParent(&window);
    host.setAnalysisWindow(&analysis);
    host.setTimerHandler([&] {
        vantry::Timer1_Timer(korvelf);
        window.syncFromModel();
    });
    host.setBlitHandler([&](int view, const vantry::PaneBitmap& bitmap) {
        window.pane(view)->showBitmap(bitmap);
    });
    host.setPanePictureSource([&](int view) { return window.pane(view)->shownPicture(); });
    host.setAnalysisWindowHandler([&](bool show) {
        korvelf.vylsf.Visible = show;
        if (!show) {
            analysis.hide();
            return;
        }
        analysis.syncFromModel();
        analysis.show();
        analysis.raise();
        analysis.activateWindow();
    });
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);

    window.show();
    return QApplication::exec();
}
