#pragma once

#include <filesystem>

namespace vantry {

/// The folder of the running program's executable (the libraries, the list file and the sample
/// images lie there); the current folder if the executable cannot be found.
std::filesystem::path programFolder();

} // namespace vantry
