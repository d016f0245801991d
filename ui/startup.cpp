#include "startup.h"

#include "image_opening.h"
#include "korvelf_window.h"
#include "picture_pane.h"
#include "qt_host.h"
#include "timer1.h"
#include "vylsf_window.h"
#include "window_placement.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

std::string lowered(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

void connectHost(QtHost& host, vantry::Korvelf& k, KorvelfWindow& window, VylsfWindow& analysis)
{
    host.setDialogParent(&window);
    host.setAnalysisWindow(&analysis);
    host.setTimerHandler([&k, &window] { window.run([&k] { vantry::Timer1_Timer(k); }); });
    host.setBlitHandler([&window](int view, const vantry::PaneBitmap& bitmap) {
        window.pane(view)->showBitmap(bitmap);
    });
    host.setPanePictureSource([&window](int view) { return window.pane(view)->shownPicture(); });
    host.setAnalysisWindowHandler([&k, &window, &analysis](bool show) {
        k.vylsf.Visible = show;
        if (!show) {
            analysis.hide();
            return;
        }
        analysis.syncFromModel();
        // Beside the main window, or where the operator left it.
        if (!analysis.isVisible()) placeAnalysisWindow(analysis, window);
        analysis.show();
        analysis.raise();
        analysis.activateWindow();
    });
}

std::optional<std::string> unreachableDisplay()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool xcb = platform != nullptr && *platform != '\0'
                         ? std::string(platform).rfind("xcb", 0) == 0
                         : isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY");
    if (!xcb) return std::nullopt;
    // libxcb is opened at run time, as Qt's own X11 plugin uses it, so that building needs no
    // X11 headers.
    void* library = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return std::nullopt;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(library, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(library, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(library, "xcb_disconnect"));
    std::optional<std::string> problem;
    if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
        void* connection = connect(nullptr, nullptr);
        if (hasError(connection) != 0) {
            const char* display = std::getenv("DISPLAY");
            problem = std::string("vantry: cannot open the X display \"") +
                      (display != nullptr ? display : "") +
                      "\"; start it on a running desktop or under xvfb-run.";
        }
        disconnect(connection); // also frees a connection in error
    }
    dlclose(library);
    return problem;
}

StartArguments parseStartArguments(const std::vector<std::string>& args)
{
    StartArguments result;
    bool options = true;
    bool presetGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "--preset" || a.rfind("--preset=", 0) == 0)) {
            if (presetGiven) {
                result.error = "--preset is given twice";
                return result;
            }
            presetGiven = true;
            if (a == "--preset") {
                if (i + 1 == args.size()) {
                    result.error = "--preset needs a name";
                    return result;
                }
                result.preset = args[++i];
            } else {
                result.preset = a.substr(9);
            }
            if (result.preset.empty()) {
                result.error = "--preset needs a name";
                return result;
            }
        } else if (options && a.size() > 1 && a[0] == '-') {
            result.error = "unknown option " + a;
            return result;
        } else {
            if (result.files.size() == 2) {
                result.error = "at most two files can be opened, one for each view";
                return result;
            }
            result.files.push_back(a);
        }
    }
    return result;
}

int applyStartArguments(vantry::Korvelf& k, const StartArguments& args)
{
    if (args.files.empty()) return 0;
    const std::vector<std::string>& list = k.form.CMB1.List;
    int index = -1;
    if (args.preset.empty()) {
        if (!list.empty()) index = 0;
    } else {
        for (size_t i = 0; i < list.size() && index < 0; ++i) {
            std::istringstream fields(list[i]);
            std::string name;
            fields >> name;
            if (lowered(name) == lowered(args.preset)) index = static_cast<int>(i);
        }
    }
    if (index < 0) {
        k.host.MsgBox("No detector preset is named " + args.preset + "; no file was read.");
        return 0;
    }
    vantry::CMB1_Click(k, index);
    int read = 0;
    for (size_t view = 0; view < args.files.size(); ++view) {
        const int v = static_cast<int>(view);
        vantry::PIC_OLEDragDrop(k, v, {args.files[view]});
        if (k.ws.LOADED[view] == 1 && k.ws.FNAME[view] == args.files[view]) ++read;
    }
    return read;
}
