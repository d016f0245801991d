// vantry: the workspace window and the analysis window on the Qt-free core.
#include "form_load.h"
#include "kernel_binding.h"
#include "korvelf_window.h"
#include "preset_list.h"
#include "program_folder.h"
#include "qt_host.h"
#include "startup.h"
#include "curves_menu.h"
#include "vylsf.h"
#include "vylsf_window.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool hasDisplay()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') return true;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x != nullptr && *x != '\0') || (wayland != nullptr && *wayland != '\0');
}

/// Writes text to the standard output; 0, or 3 when it could not be written.
int answer(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "vantry: cannot write the answer\n");
        return 3;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before anything needs a display.
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return answer(std::string(kUsage) + "\n");
        if (a == "--version") return answer(std::string("vantry ") + VANTRY_VERSION + "\n");
    }
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "vantry: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Run it on a desktop, or under a virtual display:\n"
                     "  xvfb-run -s '-screen 0 1600x1000x24' %s\n",
                     argv[0]);
        return 2;
    }
    // Checked before Qt, which would abort on a display it cannot open; a platform chosen on the
    // command line is left to Qt.
    bool platformArgument = false;
    for (int i = 1; i < argc; ++i) platformArgument |= std::string(argv[i]) == "-platform";
    if (const auto problem = platformArgument ? std::nullopt : unreachableDisplay()) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 2;
    }
    QApplication app(argc, argv);
    // No application display name: X11 would append it to the window titles, which show exactly
    // the form captions. The dialogs carry kProgramTitle instead.
    QApplication::setApplicationName("vantry");

    std::vector<std::string> arguments;
    for (const QString& a : QApplication::arguments().mid(1)) arguments.push_back(a.toStdString());
    const StartArguments start = parseStartArguments(arguments);
    if (!start.error.empty()) {
        std::fprintf(stderr, "vantry: %s\n%s\n", start.error.c_str(), kUsage);
        return 2;
    }

    QtHost host;
    vantry::KernelBinding kernels(vantry::programFolder());
    vantry::Korvelf korvelf(host, kernels);
    korvelf.ws.programFolder = vantry::programFolder();

    if (!vantry::Form_Load(korvelf)) return 1;
    // Entries with a field left empty read it as 0, which is legal but seldom meant: said once.
    for (const std::string& entry : korvelf.form.CMB1.List) {
        for (const std::string& field : vantry::emptyPresetFields(entry)) {
            std::fprintf(stderr, "vantry: warning: the detector list entry \"%s\" leaves its %s field empty, which reads as 0\n",
                         entry.c_str(), field.c_str());
        }
    }

    vantry::Vylsf vylsf(korvelf);
    vantry::Form_Load(vylsf);

    KorvelfWindow window(korvelf);
    VylsfWindow analysis(vylsf, host.canvas());
    connectHost(host, korvelf, window, analysis);
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);

    window.show();
    // The files of the command line are read once the window is laid out and shown; a refused
    // file is told in a message box over it and the program goes on.
    QTimer::singleShot(0, &window, [&] {
        window.run([&] { applyStartArguments(korvelf, start); });
        // Curves a session ended without saving are offered once.
        analysis.run([&] { vantry::offerKeptCurves(vylsf); });
    });
    const int status = QApplication::exec();
    analysis.run([&] { vantry::keepUnsavedCurves(vylsf); });
    return status;
}
