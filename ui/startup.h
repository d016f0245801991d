#pragma once
// What the program does before and just after its windows open: the display check and the
// command line `vantry [--preset NAME] [FILE [FILE2]]`.

#include "korvelf.h"

#include <optional>
#include <string>
#include <vector>

class KorvelfWindow;
class QtHost;
class VylsfWindow;

/// Connects the host to the windows as the program runs them: dialogs over the workspace window
/// (or the analysis window while its handler runs), the timer, the blits and the pane pictures,
/// and the analysis window shown and closed for the core.
void connectHost(QtHost& host, vantry::Korvelf& k, KorvelfWindow& window, VylsfWindow& analysis);

/// When the X display the program would open cannot be reached, a one-line explanation (without
/// newline); otherwise nullopt. Only the X11 platform is checked: it applies when QT_QPA_PLATFORM
/// names xcb, or is unset while DISPLAY is set and WAYLAND_DISPLAY is not. Without libxcb nothing
/// is checked.
std::optional<std::string> unreachableDisplay();

/// The command line after the program name.
struct StartArguments {
    /// The preset to choose (the first field of a chooser entry); empty for the first entry.
    std::string preset;
    /// Up to two files: the first for the left view, the second for the right one.
    std::vector<std::string> files;
    /// Why the command line cannot be used; empty when it can.
    std::string error;
};

/// Reads `[--preset NAME | --preset=NAME] [FILE [FILE2]]`; "--" ends the options.
StartArguments parseStartArguments(const std::vector<std::string>& args);

/// The usage line of the command line.
inline constexpr const char* kUsage = "usage: vantry [--preset NAME] [FILE [FILE2]]\n       vantry --help | --version";

/// Opens the files of `args` as the operator would: the preset is chosen in the chooser (the entry
/// whose first field is the name, compared without case; the first entry by default), then each
/// file is read into its view as a drop of that file. Does nothing without files. A preset that
/// is not in the list is told in a message box and nothing is read. Returns the number of views
/// that hold the file given for them.
int applyStartArguments(vantry::Korvelf& k, const StartArguments& args);
