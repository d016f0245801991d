#pragma once
// Files that are no image at all, told apart before anything tries to read them as one: a DICOM
// structured report, a presentation state or another DICOM object without pixels, a text file.

#include <string>

namespace vantry {

/// Why the file at `path` is not an image ("a DICOM structured report", "a text file", ...), or an
/// empty text when it may be one (also when it cannot be opened: the reader says why).
std::string notAnImage(const std::string& path);

} // namespace vantry
