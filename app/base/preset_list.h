#pragma once
// The detector list file: a header line, then one detector preset per line.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vantry {

/// Name of the list file in the program's folder.
inline constexpr const char* kListFileName = "VYLIST.TXT";

struct PresetListResult {
    std::vector<std::string> entries; ///< lines after the header, unchanged, in file order
    std::string error;                ///< why the file could not be read; empty on success
};

/// Reads the entries of the list file `path`. A missing or unreadable file gives an error naming
/// the file and its folder; a file with only a header gives no entries. Line ends (LF or CR LF)
/// are removed; every other character, trailing blanks included, is kept.
PresetListResult readPresetList(const std::filesystem::path& path);

} // namespace vantry
