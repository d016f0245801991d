#pragma once
// The controls of a window as data: the core reads and writes them by their names, the toolkit
// shell shows them and forwards their events.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

/// One pixel is 15 twips on a standard 96 dots-per-inch screen.
constexpr double kTwipsPerPixel = 15.0;

enum class ControlKind { Button, ComboBox, PictureBox, Shape, TextBox, Label, CheckBox, ScrollBar };

struct Control {
    ControlKind kind = ControlKind::Label;
    std::string name; ///< the control's name, shared by the elements of a control array
    int index = -1;   ///< element of a control array (the view), -1 for a single control
    std::string Caption; ///< buttons, labels, check boxes
    std::string Text;    ///< text boxes and the drop-down list
    double Left = 0;     ///< pixels, relative to the window's client area or, for shapes, the pane
    double Top = 0;
    double Width = 0;
    double Height = 0;
    bool Visible = true;
    bool Enabled = true;
    int Value = 0; ///< check state (0 or 1) or scroll position
    int Min = 0;   ///< scroll bar range
    int Max = 0;
    std::vector<std::string> List; ///< drop-down entries
    int ListIndex = -1;            ///< selected entry, -1 for none
    int BorderWidth = 0;           ///< picture boxes: frame width on each side, in pixels

    /// Inner drawing width of a picture box in pixels.
    double ScaleWidth() const { return Width - 2 * BorderWidth; }
    double ScaleHeight() const { return Height - 2 * BorderWidth; }
};

/// A one-shot timer as data; the host runs it.
struct TimerControl {
    int Interval = 0; ///< ms
    bool Enabled = false;
};

/// The workspace window and every control on it.
struct KorvelfForm {
    std::string Caption;
    double Width = 0;  ///< outer width in pixels
    double Height = 0; ///< outer height in pixels

    Control Command1, CMB1;
    Control PIC[2], RH1[2], LH1[2], SH1[2], WAKU;
    Control WWTX[2], WCTX[2], WWLBL, WWLBL2;
    Control WSYNCK, PSYNCCK, POSICK, REDISP, P100, MAGHS, FLIPGO;
    Control ROI1SET, ROI2SET, SAMEROI, ROILBL, ROIXSZTX, ROIYSZTX;
    Control AVE1TX[2], AVE2TX[2], SDTX[2], SNRTX[2], CNRTX[2], VALLBL, VAL2LBL;
    Control LOGCCK, VAL1TX, LINRCK, LVL2LIN, LOGBAITX, MEASUREGO;
    TimerControl Timer1;

    /// Every control, pictures first and shapes after the pictures they lie in.
    std::vector<Control*> controls();
};

/// The window as designed: captions, start texts and design positions.
KorvelfForm makeKorvelfForm();

/// One menu item: its name, caption and state.
struct MenuItem {
    std::string name;
    std::string Caption;
    bool Enabled = true;
    bool Visible = true;
};

/// A top-level menu with its items in order; a menu without items acts itself when clicked.
struct Menu {
    std::string name;
    std::string Caption;
    std::vector<MenuItem> items;
};

/// The analysis window: the arrow buttons, the two check boxes and the menus.
struct VylsfForm {
    std::string Caption = "VYLSF";
    bool Visible = false;
    Control CENADJ[4]; ///< "<", ">", "^", "v"
    Control FINESTP;   ///< "fine": the fine step of the tilt nudge
    Control LOGLSFCK;  ///< "Log": logarithmic LSF display
    std::vector<Menu> menus;

    /// The menu item of that name; nullptr when there is none. Form_Load replaces the menus, so
    /// callers look items up again rather than keep pointers.
    MenuItem* item(std::string_view itemName);
    std::vector<Control*> controls();
};

/// The analysis window as designed: buttons and check boxes hidden, three items disabled.
VylsfForm makeVylsfForm();

} // namespace vantry
