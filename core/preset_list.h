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

#include "workspace.h"

#include <cstdint>

namespace vantry {

/// One detector preset: the fields of a list entry, separated by single blanks.
struct Preset {
    std::string name;     ///< field 0
    int32_t width = 0;    ///< field 1, pixels
    int32_t height = 0;   ///< field 2, rows
    float pitch = 0;      ///< field 3, mm
    int16_t encoding = 0; ///< field 4: 1 linear, above 1 logarithmic factor
    int16_t offset = 0;   ///< field 5, subtracted from raw pixels
    int32_t header = 0;   ///< field 6, bytes before the first raw pixel
};

/// Parses an entry. Each numeric field is its leading decimal number (0 when there is none),
/// rounded half to even; two blanks in a row make an empty field. nullopt, with the reason in
/// `error`, for fewer than seven fields or a number outside its type's range.
std::optional<Preset> parsePreset(const std::string& entry, std::string& error);

/// Loads the preset into slot 3, PIXOFS and DICOMF (1 when the name starts with "DICOM" in any
/// case).
void loadPresetSlot(Workspace& ws, const Preset& preset);

} // namespace vantry
