#pragma once
// The detector list file: a header line, then one detector preset per line.

#include <cstddef>
#include <cstdint>
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

/// Largest list file read: 1 MiB.
inline constexpr std::uintmax_t kMaxListBytes = 1024 * 1024;

/// Reads the entries of the list file `path`. A missing or unreadable file gives an error naming
/// the file and its folder, a file longer than kMaxListBytes an error giving its size; a file with
/// only a header gives no entries. Line ends (LF or CR LF) are removed; every other character,
/// trailing blanks included, is kept.
PresetListResult readPresetList(const std::filesystem::path& path);

/// Line of the list file that holds entry `index` (the header is line 1).
inline std::size_t presetLine(std::size_t index) { return index + 2; }

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
    int32_t offset = 0;   ///< field 5, subtracted from raw pixels
    int32_t header = 0;   ///< field 6, bytes before the first raw pixel
    /// Field 7 "u16": the raw pixels are unsigned 16-bit values (offset then 0 .. 65535).
    bool unsignedPixels = false;
};

/// Parses an entry. Fields are separated by single blanks, so two blanks in a row make an empty
/// field, which reads as 0. Every other numeric field must be wholly one decimal number (sign,
/// digits with an optional point, optional exponent E or D; no blanks, no other characters) and is
/// rounded half to even where the field is whole. The ranges, which are those the image reader
/// takes: width and height 0 .. 32767 (0: no size, so the Read button reads nothing); pitch
/// positive and finite as a float, or 0 in a DICOM entry (the pitch is then taken from the
/// file); encoding 1 (linear) or 2 .. 32767 (a logarithmic factor: the reader converts only 1
/// and factors above 1); offset -32768 .. 32767, or 0 .. 65535 with "u16" in field 7; header
/// 0 .. 2147483647. An eighth field other than "u16", and any after it, is ignored.
/// nullopt, with a reason naming the entry and the field in `error`, for fewer than seven fields
/// or a field that breaks these rules.
std::optional<Preset> parsePreset(const std::string& entry, std::string& error);

/// The message for entry `index` of the list refused with `reason`: the reason with the line of
/// the list file that holds it.
std::string refusedPresetMessage(std::size_t index, const std::string& reason);

/// One message (refusedPresetMessage) for each entry of `entries` that parsePreset refuses, in
/// file order; empty when every entry is usable.
std::vector<std::string> refusedPresets(const std::vector<std::string>& entries);

/// The numeric fields of an entry left empty (two blanks in a row read as 0), named, in order:
/// "offset", "header", ...; empty when every field is written.
std::vector<std::string> emptyPresetFields(const std::string& entry);

/// Loads the preset into slot 3, PIXOFS, PIXU16 and DICOMF (1 for a DICOM entry).
void loadPresetSlot(Workspace& ws, const Preset& preset);

/// An entry whose name starts with "DICOM" in any case reads DICOM files.
bool isDicomPresetName(const std::string& name);

} // namespace vantry
