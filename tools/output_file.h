#pragma once
// Files the command-line tools write: only regular files (new or replaced), never a pipe or a
// device named by mistake, with the system's reason when that fails.

#include <string>
#include <string_view>

namespace vantry::samples {

/// Writes `bytes` to the regular file at `path`, creating or truncating it. Returns an empty text,
/// or why the file could not be written ("it is a folder", "cannot open it (Permission denied)").
std::string writeOutputFile(const std::string& path, std::string_view bytes);

} // namespace vantry::samples
