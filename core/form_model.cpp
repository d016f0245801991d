#include "form_model.h"

namespace vantry {
namespace {

Control make(ControlKind kind, std::string name, int index, double left, double top, double width,
             double height)
{
    Control c;
    c.kind = kind;
    c.name = std::move(name);
    c.index = index;
    c.Left = left / kTwipsPerPixel;
    c.Top = top / kTwipsPerPixel;
    c.Width = width / kTwipsPerPixel;
    c.Height = height / kTwipsPerPixel;
    return c;
}

Control captioned(ControlKind kind, std::string name, std::string caption, double left, double top,
                  double width, double height)
{
    Control c = make(kind, std::move(name), -1, left, top, width, height);
    c.Caption = std::move(caption);
    return c;
}

Control textBox(std::string name, int index, std::string text, double left, double top,
                double width, double height)
{
    Control c = make(ControlKind::TextBox, std::move(name), index, left, top, width, height);
    c.Text = std::move(text);
    return c;
}

/// Overlay shape in pane pixels.
Control shape(std::string name, int index, double left, double top, double size)
{
    Control c;
    c.kind = ControlKind::Shape;
    c.name = std::move(name);
    c.index = index;
    c.Left = left;
    c.Top = top;
    c.Width = size;
    c.Height = size;
    c.Visible = false;
    return c;
}

} // namespace

KorvelfForm makeKorvelfForm()
{
    using K = ControlKind;
    KorvelfForm f;
    f.Caption = "KORVELF";
    f.Width = 15000 / kTwipsPerPixel;
    f.Height = 11400 / kTwipsPerPixel;

    f.CMB1 = make(K::ComboBox, "CMB1", -1, 120, 0, 3975, 345);
    f.CMB1.Text = "Please select";
    f.Command1 = captioned(K::Button, "Command1", "Read", 120, 360, 975, 375);
    f.LOGCCK = captioned(K::CheckBox, "LOGCCK", "to Log: factor", 1440, 360, 1455, 255);
    f.VAL1TX = textBox("VAL1TX", -1, "1000", 2880, 360, 615, 315);
    f.LVL2LIN = captioned(K::Label, "LVL2LIN", "To linear: factor", 3720, 360, 1455, 255);
    f.LINRCK = captioned(K::CheckBox, "LINRCK", "Linear adj", 4200, 720, 1335, 255);
    f.WSYNCK = captioned(K::CheckBox, "WSYNCK", "W-sync", 4320, 0, 1095, 255);
    f.LOGBAITX = textBox("LOGBAITX", -1, "5.0", 5040, 360, 615, 315);
    f.POSICK = captioned(K::CheckBox, "POSICK", "Posi", 5400, 0, 855, 255);
    f.POSICK.Value = 1; // positive display at start
    f.ROIXSZTX = textBox("ROIXSZTX", -1, "256", 6000, 600, 615, 315);
    f.ROILBL = captioned(K::Label, "ROILBL", "ROIx     ROIy", 6120, 360, 1095, 255);
    f.PSYNCCK = captioned(K::CheckBox, "PSYNCCK", "Pos-sync", 6360, 0, 1215, 255);
    f.ROIYSZTX = textBox("ROIYSZTX", -1, "256", 6720, 600, 615, 315);
    f.P100 = captioned(K::Button, "P100", "100%", 7560, 0, 855, 375);
    f.MAGHS = make(K::ScrollBar, "MAGHS", -1, 7560, 420, 1575, 255);
    f.MAGHS.Min = 0;
    f.MAGHS.Max = 10;
    f.REDISP = captioned(K::Button, "REDISP", "Fit", 8520, 0, 615, 375);
    f.FLIPGO = captioned(K::Button, "FLIPGO", "Mirror Flip", 9240, 0, 975, 375);
    f.ROI1SET = captioned(K::Button, "ROI1SET", "ROI", 10320, 0, 735, 375);
    f.ROI2SET = captioned(K::Button, "ROI2SET", "ROI back", 11160, 0, 855, 375);
    f.MEASUREGO = captioned(K::Button, "MEASUREGO", "Measure", 12120, 0, 1215, 495);
    f.SAMEROI = captioned(K::Button, "SAMEROI", "option", 13440, 0, 735, 375);
    f.VALLBL = captioned(K::Label, "VALLBL", "Ave             Aveb         SDb      SNRb      CNR", 120,
                         840, 3735, 255);
    f.VAL2LBL = captioned(K::Label, "VAL2LBL", "Ave             Aveb        SDb       SNRb     CNR",
                          7680, 840, 3495, 255);
    f.WWLBL = captioned(K::Label, "WWLBL", "WW WL", 4920, 1080, 975, 255);
    f.WWLBL2 = captioned(K::Label, "WWLBL2", "WW WL", 12240, 1080, 735, 255);
    f.WWTX[0] = textBox("WWTX", 0, "3000", 5760, 1080, 735, 315);
    f.WCTX[0] = textBox("WCTX", 0, "1000", 6600, 1080, 735, 315);
    f.WWTX[1] = textBox("WWTX", 1, "3000", 12960, 1080, 735, 315);
    f.WCTX[1] = textBox("WCTX", 1, "1000", 13800, 1080, 735, 315);

    const double resultLeft[2][5] = {{120, 960, 1680, 2400, 3195}, {7680, 8520, 9240, 9960, 10800}};
    Control* results[5] = {f.AVE1TX, f.AVE2TX, f.SDTX, f.SNRTX, f.CNRTX};
    const char* resultNames[5] = {"AVE1TX", "AVE2TX", "SDTX", "SNRTX", "CNRTX"};
    for (int view = 0; view < 2; ++view) {
        for (int i = 0; i < 5; ++i) {
            double height = view == 0 ? 315 : 330;
            if (view == 0 && i == 4) height = 330;
            if (view == 1 && i == 3) height = 315;
            results[i][view] = textBox(resultNames[i], view, i == 0 ? "0" : "", resultLeft[view][i],
                                       1125, 735, height);
        }
    }

    f.PIC[0] = make(K::PictureBox, "PIC", 0, 120, 1560, 7455, 9135);
    f.PIC[1] = make(K::PictureBox, "PIC", 1, 7620, 1560, 7095, 9135);
    for (Control& pic : f.PIC) pic.BorderWidth = 2;
    f.WAKU = make(K::Shape, "WAKU", -1, 5520, 1920, 1335, 1335);

    // ROI rectangle and its 7-pixel handles, in pane pixels; shown by the load step.
    const double roiTop[2] = {128, 144};
    for (int view = 0; view < 2; ++view) {
        f.SH1[view] = shape("SH1", view, 168, roiTop[view], 100);
        f.LH1[view] = shape("LH1", view, 168 - 7, roiTop[view] - 7, 7);
        f.RH1[view] = shape("RH1", view, 268, roiTop[view] + 100, 7);
    }
    return f;
}

std::vector<Control*> KorvelfForm::controls()
{
    std::vector<Control*> all{&Command1, &CMB1};
    for (int v = 0; v < 2; ++v) all.push_back(&PIC[v]);
    for (int v = 0; v < 2; ++v) {
        all.push_back(&SH1[v]);
        all.push_back(&LH1[v]);
        all.push_back(&RH1[v]);
    }
    all.push_back(&WAKU);
    for (int v = 0; v < 2; ++v) {
        for (Control* c : {&WWTX[v], &WCTX[v], &AVE1TX[v], &AVE2TX[v], &SDTX[v], &SNRTX[v], &CNRTX[v]})
            all.push_back(c);
    }
    for (Control* c : {&WWLBL, &WWLBL2, &WSYNCK, &PSYNCCK, &POSICK, &REDISP, &P100, &MAGHS, &FLIPGO,
                       &ROI1SET, &ROI2SET, &SAMEROI, &ROILBL, &ROIXSZTX, &ROIYSZTX, &VALLBL,
                       &VAL2LBL, &LOGCCK, &VAL1TX, &LINRCK, &LVL2LIN, &LOGBAITX, &MEASUREGO})
        all.push_back(c);
    return all;
}

VylsfForm makeVylsfForm()
{
    using K = ControlKind;
    VylsfForm f;
    const char* arrows[4] = {"<", ">", "^", "v"};
    const double arrowLeft[4] = {8280, 8760, 9240, 9240};
    const double arrowTop[4] = {120, 120, 120, 600};
    for (int i = 0; i < 4; ++i) {
        f.CENADJ[i] = make(K::Button, "CENADJ", i, arrowLeft[i], arrowTop[i], 375, 375);
        f.CENADJ[i].Caption = arrows[i];
    }
    f.FINESTP = captioned(K::CheckBox, "FINESTP", "fine", 7560, 120, 615, 270);
    f.LOGLSFCK = captioned(K::CheckBox, "LOGLSFCK", "Log", 8400, 600, 735, 270);
    for (Control* c : f.controls()) c->Visible = false;

    f.menus = {
        {"FILEMENU", "File", {{"SAVECURVES", "Save curves..."}, {"OPENCURVES", "Open curves..."}}},
        {"MTFMENU", "MTF",
         {{"DSPESF", "ESF reprojection"},
          {"ESFOK", "ESF OK"},
          {"REDGE", "Circular Edge", false},
          {"CEDGEOK", "Circular edge OK", false},
          {"MTFCLC", "MTF calc."},
          {"PRECISEMTF", "Precise MTF..."},
          {"SETTING", "Setting"},
          {"KUGIRI", "-"},
          {"CLIPMTF", "Clip MTF"},
          {"COMPMTF", "Compare_MTF"}}},
        {"NPSMNU", "Noise",
         {{"NNPS1D", "1D-NNPS"},
          {"NNPS2D", "2D-NNPS"},
          {"NPS2D", "2D-NPS"},
          {"IECNNPS", "IEC NNPS"},
          {"SETNPS", "Setting"},
          {"NPSWF", "Window", false},
          {"KU3", "-"},
          {"NPSCLIP", "Clip NNPS "},
          {"NPSCOMP", "Compare_NNPS"}}},
        {"CLRSCREEN", "CLS", {}},
        {"DQEMENU", "DQE", {{"DQECLC", "DQE calc."}, {"CLIPDQE", "Clip DQE"}, {"DQEREPORT", "Report..."}}},
    };
    return f;
}

MenuItem* VylsfForm::item(std::string_view itemName)
{
    for (Menu& m : menus) {
        for (MenuItem& i : m.items) {
            if (i.name == itemName) return &i;
        }
    }
    return nullptr;
}

std::vector<Control*> VylsfForm::controls()
{
    return {&CENADJ[0], &CENADJ[1], &CENADJ[2], &CENADJ[3], &FINESTP, &LOGLSFCK};
}

} // namespace vantry
