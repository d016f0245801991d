#include "preset_list.h"

#include <fstream>
#include <system_error>

namespace vantry {

PresetListResult readPresetList(const std::filesystem::path& path)
{
    PresetListResult result;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    const std::string where = "The detector list " + path.filename().string() + " was not found in " +
                              path.parent_path().string() + ".";
    if (ec || !std::filesystem::exists(status)) {
        result.error = where;
        return result;
    }
    if (!std::filesystem::is_regular_file(status)) {
        result.error = "The detector list " + path.string() + " is not a regular file.";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = "The detector list " + path.string() + " cannot be opened.";
        return result;
    }
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (header) {
            header = false;
            continue;
        }
        result.entries.push_back(line);
    }
    return result;
}

} // namespace vantry

#include "numtext.h"

#include <cctype>

namespace vantry {

std::optional<Preset> parsePreset(const std::string& entry, std::string& error)
{
    std::vector<std::string> fields;
    size_t from = 0;
    while (true) {
        const size_t blank = entry.find(' ', from);
        fields.push_back(entry.substr(from, blank == std::string::npos ? std::string::npos : blank - from));
        if (blank == std::string::npos) break;
        from = blank + 1;
    }
    if (fields.size() < 7) {
        error = "The preset \"" + entry + "\" has " + std::to_string(fields.size()) +
                " fields; a preset needs seven: name, width, height, pitch, encoding, offset, header.";
        return std::nullopt;
    }
    Preset p;
    p.name = fields[0];
    const auto width = roundToInt32(leadingNumber(fields[1]));
    const auto height = roundToInt32(leadingNumber(fields[2]));
    const auto encoding = roundToInt16(leadingNumber(fields[4]));
    const auto offset = roundToInt16(leadingNumber(fields[5]));
    const auto header = roundToInt32(leadingNumber(fields[6]));
    if (!width || !height || !encoding || !offset || !header) {
        error = "The preset \"" + entry + "\" holds a number outside the range of its field.";
        return std::nullopt;
    }
    p.width = *width;
    p.height = *height;
    p.pitch = static_cast<float>(leadingNumber(fields[3]));
    p.encoding = *encoding;
    p.offset = *offset;
    p.header = *header;
    return p;
}

void loadPresetSlot(Workspace& ws, const Preset& preset)
{
    ws.PRESETNAME[kPresetSlot] = preset.name;
    ws.XSZ[kPresetSlot] = preset.width;
    ws.YSZ[kPresetSlot] = preset.height;
    ws.PIXMM[kPresetSlot] = preset.pitch;
    ws.LOGFAC[kPresetSlot] = preset.encoding;
    ws.PIXOFS = preset.offset;
    ws.HDOFS[kPresetSlot] = preset.header;
    std::string head = preset.name.substr(0, 5);
    for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ws.DICOMF = head == "DICOM" ? 1 : 0;
}

} // namespace vantry
