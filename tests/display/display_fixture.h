#pragma once
// A started workspace whose views get images put straight into them, as a read leaves them.

#include "form_load.h"
#include "workspace_fixture.h"

#include <vector>

class DisplayFixture : public WorkspaceFixture {
protected:
    DisplayFixture()
    {
        writeList("h\nDICOM 1 1 0.1 1 0 0\n");
        EXPECT_TRUE(vantry::Form_Load(k));
    }
    /// Puts a w x h image into `view` as a read does (whole image shown, MAGF 1).
    void loadImage(int view, int32_t w, int32_t h, std::vector<int16_t> pixels, float pitch = 0.1f)
    {
        vantry::Workspace& ws = k.ws;
        ws.XSZ[view] = w;
        ws.YSZ[view] = h;
        ws.PIXMM[view] = pitch;
        ws.LOGFAC[view] = 1;
        ws.IMG[view] = {w, h, std::move(pixels)};
        ws.COPYIMG = ws.IMG[view];
        ws.LOADED[view] = 1;
        ws.VIEWX0[view] = ws.VIEWY0[view] = 0;
        ws.VIEWXS[view] = w;
        ws.VIEWYS[view] = h;
        ws.MAGF[view] = 1.0f;
        ws.CURSLOT = static_cast<int16_t>(view);
    }
    /// Pixels numbered row after row: value = y * w + x (modulo 30000).
    static std::vector<int16_t> numbered(int32_t w, int32_t h)
    {
        std::vector<int16_t> p(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<int16_t>(i % 30000);
        return p;
    }
    void pane(int32_t w, int32_t h)
    {
        k.disp.DISPW = w;
        k.disp.DISPH = h;
    }
};
