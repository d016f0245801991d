#include "preset_list.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
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
    // Read one byte past the limit, so that a file grown since the check is still caught.
    std::string text(static_cast<size_t>(kMaxListBytes) + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxListBytes) {
        result.error = "The detector list " + path.string() + " is longer than 1 MiB (" +
                       std::to_string(kMaxListBytes) + " bytes); it was not read.";
        return result;
    }
    std::istringstream lines(text);
    std::string line;
    bool header = true;
    while (std::getline(lines, line)) {
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

namespace {

/// The value of a field that is wholly one decimal number; 0 for an empty field.
std::optional<double> fieldNumber(const std::string& text)
{
    if (text.empty()) return 0.0;
    return wholeDecimal(text);
}

std::optional<int32_t> fieldWhole(const std::string& text, int32_t lo, int32_t hi)
{
    const auto v = fieldNumber(text);
    if (!v) return std::nullopt;
    const auto r = roundToInt32(*v);
    if (!r || *r < lo || *r > hi) return std::nullopt;
    return r;
}

} // namespace

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
    const auto refuse = [&](const char* field, size_t at, const char* rule) {
        error = "The preset \"" + entry + "\" has the " + field + " \"" + fields[at] + "\"; the " +
                field + " must be " + rule + ".";
        return std::nullopt;
    };
    Preset p;
    p.name = fields[0];
    const auto width = fieldWhole(fields[1], 0, 32767);
    if (!width) return refuse("width", 1, "a number of pixels from 0 to 32767");
    const auto height = fieldWhole(fields[2], 0, 32767);
    if (!height) return refuse("height", 2, "a number of rows from 0 to 32767");
    const auto pitch = fieldNumber(fields[3]);
    const auto pitchFloat = pitch ? static_cast<float>(*pitch) : 0.0f;
    const bool dicom = isDicomPresetName(p.name);
    if (!pitch || !std::isfinite(pitchFloat) || !(pitchFloat > 0.0f || (dicom && *pitch == 0.0))) {
        return refuse("pitch", 3,
                      dicom ? "a positive finite number of mm, or 0 to take it from the file"
                            : "a positive finite number of mm");
    }
    const auto encoding = fieldWhole(fields[4], 1, 32767);
    if (!encoding) {
        return refuse("encoding", 4, "1 (linear) or a logarithmic factor from 2 to 32767");
    }
    p.unsignedPixels = fields.size() > 7 && fields[7] == "u16";
    const auto offset = p.unsignedPixels ? fieldWhole(fields[5], 0, 65535) : fieldWhole(fields[5], -32768, 32767);
    if (!offset) {
        return refuse("offset", 5, p.unsignedPixels ? "a number from 0 to 65535 in a u16 entry" : "a number from -32768 to 32767");
    }
    const auto header = fieldWhole(fields[6], 0, std::numeric_limits<int32_t>::max());
    if (!header) return refuse("header", 6, "a number of bytes from 0 to 2147483647");
    p.width = *width;
    p.height = *height;
    p.pitch = pitchFloat;
    p.encoding = static_cast<int16_t>(*encoding);
    p.offset = static_cast<int32_t>(*offset);
    p.header = *header;
    return p;
}

std::string refusedPresetMessage(size_t index, const std::string& reason)
{
    return "Line " + std::to_string(presetLine(index)) + " of the detector list: " + reason;
}

std::vector<std::string> refusedPresets(const std::vector<std::string>& entries)
{
    std::vector<std::string> messages;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string error;
        if (!parsePreset(entries[i], error)) messages.push_back(refusedPresetMessage(i, error));
    }
    return messages;
}

std::vector<std::string> emptyPresetFields(const std::string& entry)
{
    static const char* const names[] = {"name", "width", "height", "pitch", "encoding", "offset", "header"};
    std::vector<std::string> empty;
    size_t from = 0;
    for (const char* name : names) {
        const size_t blank = entry.find(' ', from);
        const size_t end = blank == std::string::npos ? entry.size() : blank;
        if (end == from && name != names[0]) empty.emplace_back(name);
        if (blank == std::string::npos) break;
        from = blank + 1;
    }
    return empty;
}

void loadPresetSlot(Workspace& ws, const Preset& preset)
{
    ws.PRESETNAME[kPresetSlot] = preset.name;
    ws.XSZ[kPresetSlot] = preset.width;
    ws.YSZ[kPresetSlot] = preset.height;
    ws.PIXMM[kPresetSlot] = preset.pitch;
    ws.LOGFAC[kPresetSlot] = preset.encoding;
    ws.PIXOFS = preset.offset;
    ws.PIXU16 = preset.unsignedPixels ? 1 : 0;
    ws.HDOFS[kPresetSlot] = preset.header;
    ws.DICOMF = isDicomPresetName(preset.name) ? 1 : 0;
}

bool isDicomPresetName(const std::string& name)
{
    std::string head = name.substr(0, 5);
    for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return head == "DICOM";
}

} // namespace vantry
