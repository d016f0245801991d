#pragma once
// Reading image files safely: only regular files, sizes checked before anything is allocated,
// and never a byte outside the file.

#include "byte_buffer.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantry {

/// Largest file the reader opens, and the largest image it makes.
constexpr uint64_t kMaxFileBytes = 576ull << 20;
constexpr uint64_t kMaxImageBytes = 512ull << 20;

struct FileRead {
    ByteBuffer bytes;
    uint64_t fileSize = 0;
    std::string error; ///< empty on success
};

/// Size of a regular file; error for a missing file, a directory, FIFO, device or dangling link,
/// and for a file above kMaxFileBytes. Never opens the file (opening a FIFO would block).
FileRead statImageFile(const std::filesystem::path& path);

/// The whole file, after the checks of statImageFile.
FileRead readWholeFile(const std::filesystem::path& path);

/// `count` bytes from byte `offset` on; an error when the file is shorter.
FileRead readFileRange(const std::filesystem::path& path, uint64_t offset, uint64_t count);

} // namespace vantry
