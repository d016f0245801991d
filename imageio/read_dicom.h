#pragma once

#include "korvelf.h"
#include "loaded_image.h"

#include <string>

namespace vantry {

/// Reads the DICOM file FNAME(CURSLOT) into `out`: the layout from the data set walk when it
/// reaches the top-level Pixel Data, else from the element search. The first frame of a
/// multi-frame file; big-endian pixels byte-swapped; unsigned pixels (Pixel Representation 0)
/// less the preset's offset, refused when they do not fit a signed 16-bit pixel; the pitch from
/// the file when the view's slot has a pitch of 0. The reason when the file is refused, else an
/// empty text.
std::string readDicom(Korvelf& k, LoadedImage& out);

} // namespace vantry
