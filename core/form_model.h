#pragma once
// The controls of a window as data: the core reads and writes them by their names, the toolkit
// shell shows them and forwards their events.

#include <functional>
#include <string>
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

/// The analysis window; its controls arrive with the analysis.
struct VylsfForm {
    std::string Caption = "VYLSF";
    bool Visible = false;
};

} // namespace vantry
