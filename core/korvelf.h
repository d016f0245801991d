#pragma once
// The window context of the workspace: every record the workspace's handlers work on, the form
// model, and the two outside services. Each test builds a fresh one.

#include "display_state.h"
#include "form_model.h"
#include "host.h"
#include "kernel_binding.h"
#include "roi_record.h"
#include "workspace.h"

#include <array>

namespace vantry {

struct Korvelf {
    Korvelf(Host& h, KernelBinding& k) : host(h), kernels(k) {}

    /// The detector list read at start-up; empty for VYLIST.TXT in ws.programFolder.
    std::filesystem::path listFile;

    Workspace ws;
    DisplayState disp;
    std::array<RoiRecord, kViews> roi{};
    GestureRecord gesture;
    RoiMeans means;
    KorvelfForm form = makeKorvelfForm();
    VylsfForm vylsf = makeVylsfForm();
    Host& host;
    KernelBinding& kernels;
};

} // namespace vantry
