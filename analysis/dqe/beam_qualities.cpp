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

void addError(BeamList& list, std::string text, bool repeat)
{
    list.errors.push_back(std::move(text));
    list.repeat.push_back(repeat);
}

} // namespace

std::vector<std::string> BeamList::faults() const
{
    std::vector<std::string> out;
    for (size_t i = 0; i < errors.size(); ++i) {
        if (i >= repeat.size() || !repeat[i]) out.push_back(errors[i]);
    }
    return out;
}

std::vector<std::string> BeamList::repeats() const
{
    std::vector<std::string> out;
    for (size_t i = 0; i < errors.size() && i < repeat.size(); ++i) {
        if (repeat[i]) out.push_back(errors[i]);
    }
    return out;
}

std::string editionKey(std::string_view edition)
{
    std::string_view year;
    size_t i = 0;
    while (i < edition.size()) {
        if (!std::isdigit(static_cast<unsigned char>(edition[i]))) {
            ++i;
            continue;
        }
        const size_t from = i;
        while (i < edition.size() && std::isdigit(static_cast<unsigned char>(edition[i]))) ++i;
        if (i - from == 4) year = edition.substr(from, 4);
    }
    return std::string(year.empty() ? edition : year);
}

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
            addError(list,
                     "Line " + std::to_string(number) + " of the beam list (\"" + line +
                         "\") is not NAME Q EDITION with a positive q: it is left out.",
                     false);
            continue;
        }
        std::string edition = f[2];
        for (size_t i = 3; i < f.size(); ++i) edition += " " + f[i];
        const std::string key = editionKey(edition);
        const BeamQuality* first = nullptr;
        for (const BeamQuality& b : list.beams) {
            if (first == nullptr && sameName(b.name, f[0]) && editionKey(b.edition) == key) first = &b;
        }
        if (first != nullptr) {
            addError(list,
                     "Line " + std::to_string(number) + " of the beam list repeats " + f[0] +
                         " of the " + key + " edition: line " + std::to_string(first->line) +
                         " is used.",
                     true);
            continue;
        }
        list.beams.push_back({f[0], q, edition, number});
    }
    return list;
}

BeamList readBeamList(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    BeamList unread;
    if (ec || !std::filesystem::is_regular_file(path, ec)) {
        addError(unread, "The beam list " + path.string() + " cannot be read: type q yourself.", false);
        return unread;
    }
    if (size > kMaxListBytes) {
        addError(unread, "The beam list " + path.string() + " is larger than 64 KiB: it is not read.",
                 false);
        return unread;
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

const BeamQuality* findBeam(const BeamList& list, std::string_view name, std::string_view edition)
{
    for (const BeamQuality& b : list.beams) {
        if (sameName(b.name, name) && b.edition.find(edition) != std::string::npos) return &b;
    }
    return nullptr;
}

} // namespace vantry
