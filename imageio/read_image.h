#pragma once

#include "korvelf.h"

#include <string>

namespace vantry {

struct ReadOutcome {
    bool ok = false;
    std::string reason; ///< why the file was refused; empty on success
};

/// Reads FNAME(CURSLOT) into WORKIMG: a BMP when the name ends in "BMP", else a raw image
/// described by the view's slot (DICOMF = 0) or a DICOM file; then applies the encoding
/// conversions chosen with LOGCCK, LOGBAITX, VAL1TX and LINRCK. On success XSZ, YSZ, HDOFS of the
/// slot describe WORKIMG. On failure the workspace keeps its images and sizes and the reason says
/// why; nothing outside the file's data is ever read.
ReadOutcome READDICOM(Korvelf& k);

} // namespace vantry
