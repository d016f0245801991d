#pragma once
// The SHA-256 of a file, which identifies an image in saved results and reports.

#include <string>

namespace vantry {

/// The SHA-256 of the file's bytes in lower-case hexadecimal, or "unreadable". Only regular files
/// are read, so a pipe named by mistake cannot hang the caller.
std::string fileSha256(const std::string& path);

} // namespace vantry
