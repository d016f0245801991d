#include "beam_qualities.h"

#include <cctype>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vantry {
namespace {

/// A beam list is a few lines; anything this long is not one.
constexpr std::uintmax_t kMaxListBytes = 64 * 1024;

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string f; in >> f;) out.push_back(f);
    return out;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

BeamList parseBeamList(std::string_view text)
{
    BeamList list;
    std::istringstream in{std::string(text)};
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1) continue; // the header
        const auto f = fields(line);
        if (f.empty() || f[0][0] == '#') continue;
        char* end = nullptr;
        const double q = f.size() >= 2 ? std::strtod(f[1].c_str(), &end) : 0.0;
        if (f.size() < 3 || end == nullptr || *end != '\0' || !(q > 0) || !std::isfinite(q)) {
            list.errors.push_back("Line " + std::to_string(number) + " of the beam list (\"" + line +
                                  "\") is not NAME Q EDITION with a positive q: it is left out.");
            continue;
        }
        std::string edition = f[2];
        for (size_t i = 3; i < f.size(); ++i) edition += " " + f[i];
        list.beams.push_back({f[0], q, edition});
    }
    return list;
}

BeamList readBeamList(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || !std::filesystem::is_regular_file(path, ec)) {
        return {{}, {"The beam list " + path.string() + " cannot be read: type q yourself."}};
    }
    if (size > kMaxListBytes) {
        return {{}, {"The beam list " + path.string() + " is larger than 64 KiB: it is not read."}};
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return parseBeamList(text.str());
}

const BeamQuality* findBeam(const BeamList& list, std::string_view name)
{
    for (const BeamQuality& b : list.beams) {
        if (sameName(b.name, name)) return &b;
    }
    return nullptr;
}

} // namespace vantry
