#pragma once
// A started workspace with an image in view 0 and the analysis window open on it, on the
// scripted host.

#include "display_fixture.h"
#include "vylsf.h"

#include <string>
#include <vector>

class AnalysisFixture : public DisplayFixture {
protected:
    AnalysisFixture()
    {
        host.inputAnswers.clear();
        vantry::Form_Load(v);
    }

    /// Puts the image into view 0 and the ROI over (x, y, w, h).
    void loadWithRoi(int32_t imageW, int32_t imageH, std::vector<int16_t> pixels, int16_t x,
                     int16_t y, int16_t w, int16_t h, float pitch = 0.1f)
    {
        loadImage(0, imageW, imageH, std::move(pixels), pitch);
        k.roi[0] = {x, y, w, h};
    }

    /// Clears whatever curve data number d holds: a measurement repeated under one number then
    /// stores without the question a stored curve brings.
    void freeNumber(int d)
    {
        const auto s = static_cast<size_t>(d - 1);
        v.r.MTFNUM[s] = 0;
        v.r.NPSNUM[s] = 0;
    }

    /// Queues prompt answers; ScriptedHost::kAcceptDefault takes the offered default.
    void answer(std::initializer_list<const char*> answers)
    {
        for (const char* a : answers) host.inputAnswers.emplace_back(a);
    }

    /// The texts printed on the canvas since the last clear, in order.
    std::vector<std::string> printed() const
    {
        std::vector<std::string> texts;
        for (const auto& c : host.canvas.calls) {
            if (c.kind == vantry::DrawCall::Kind::Print) texts.push_back(c.text);
        }
        return texts;
    }

    vantry::Vylsf v{k};
};
