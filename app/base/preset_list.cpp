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
