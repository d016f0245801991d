#pragma once
// Whole-file text reads and writes for the program's own small files (curves files and the
// recovery file), with the checks the program needs: regular files only, a size limit on reading,
// and a write that replaces the file only once the new text is complete on disk.

#include <cstdint>
#include <optional>
#include <string>

namespace vantry {

/// Largest text file read: far above any curves file (8 curves of 512 points take under 1 MiB).
constexpr std::uintmax_t kMaxTextFileBytes = 16u * 1024u * 1024u;

/// The file's bytes, or nullopt with `error` saying why ("it does not exist", "it is a folder",
/// "it is larger than 16 MiB", "cannot read it (Permission denied)").
std::optional<std::string> readTextFile(const std::string& path, std::string& error);

/// Writes `text` to a temporary file beside `path`, then renames it over `path`. Returns an empty
/// text, or why nothing was written (the old file, if any, is unchanged).
std::string writeTextFile(const std::string& path, const std::string& text);

/// Whether the two paths name one existing file (same device and inode).
bool sameExistingFile(const std::string& a, const std::string& b);

/// Renames `from` to `to`; an empty text, or why it failed.
std::string renameFile(const std::string& from, const std::string& to);

bool fileExists(const std::string& path);

} // namespace vantry
