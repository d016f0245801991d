#pragma once

#include "korvelf.h"

#include <string>
#include <vector>

namespace vantry {

/// The filter of the open-file dialog of the Read button.
inline constexpr const char* kReadFilter = "(*.*)|*.*|(*.IMG)|*.IMG|(*.DCM)|*.DCM|";

/// Entry `index` chosen in the preset list: its fields go to slot 3 and PIXOFS, and DICOMF says
/// whether it names the DICOM reader. An entry that cannot be parsed is refused with a message
/// and nothing changes.
void CMB1_Click(Korvelf& k, int index);

/// The Read button: takes the chosen preset over into the current view, asks for a file and reads
/// it into the view, which then shows it. A cancelled dialog changes nothing; a refused file gives
/// a message naming the file and the reason, and the view keeps its image, window and ROI.
void Command1_Click(Korvelf& k);

/// Files dropped on pane `index`: the first is read into that view as the Read button reads, and
/// the view becomes current. A drop that reads nothing (no files, no preset with a width, a
/// refused file) leaves CURSLOT as it was.
void PIC_OLEDragDrop(Korvelf& k, int index, const std::vector<std::string>& files);

} // namespace vantry
