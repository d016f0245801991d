#include "file_kind.h"

#include "dicom_walk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace vantry {
namespace {

/// DICOM storage classes that hold no image, by the start of their SOP Class UID.
struct NonImageClass {
    const char* uidPrefix;
    const char* name;
};
constexpr std::array kNonImageClasses = {
    NonImageClass{"1.2.840.10008.5.1.4.1.1.88.", "a DICOM structured report"},
    NonImageClass{"1.2.840.10008.5.1.4.1.1.11.", "a DICOM presentation state"},
    NonImageClass{"1.2.840.10008.5.1.4.1.1.104.", "a DICOM encapsulated document"},
    NonImageClass{"1.2.840.10008.5.1.4.1.1.9.", "a DICOM waveform"},
    NonImageClass{"1.2.840.10008.5.1.4.1.1.66", "a DICOM raw data or registration object"},
};

/// Bytes a text file is made of: printable ASCII, tabs, line ends, and UTF-8 beyond ASCII.
bool textByte(unsigned char c)
{
    return c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c != 0x7F);
}

} // namespace

std::string notAnImage(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<unsigned char> head(65536);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    if (head.empty()) return {};

    const bool dicom = head.size() >= 132 && std::memcmp(head.data() + 128, "DICM", 4) == 0;
    if (dicom) {
        const std::string_view bytes(reinterpret_cast<const char*>(head.data()), head.size());
        for (const NonImageClass& c : kNonImageClasses) {
            if (bytes.find(c.uidPrefix) != std::string_view::npos) return c.name;
        }
        // The whole file is walked only when its start names no such class.
        std::ifstream whole(path, std::ios::binary);
        const std::vector<unsigned char> all((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
        const DataSetWalk walk = walkDataSet(all.data(), all.size());
        if (!walk.reachedPixelData && walk.stop.find("no Pixel Data") != std::string::npos) {
            return "a DICOM file without pixel data";
        }
        return {};
    }
    const bool hasLineEnd = std::find(head.begin(), head.end(), '\n') != head.end();
    if (hasLineEnd && std::all_of(head.begin(), head.end(), textByte)) return "a text file";
    return {};
}

} // namespace vantry
