#pragma once
// A scripted host that also keeps the analysis window's caption at every yield, so a test sees
// the progress captions of a long loop.

#include "form_model.h"
#include "scripted_host.h"

#include <string>
#include <vector>

/// A scripted host that keeps the analysis window's caption at every yield.
class CaptionHost : public vantry::ScriptedHost {
public:
    void DoEvents() override
    {
        vantry::ScriptedHost::DoEvents();
        if (form != nullptr) captions.push_back(form->Caption);
    }
    const vantry::VylsfForm* form = nullptr;
    std::vector<std::string> captions;
};
