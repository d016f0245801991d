#include "dicom_writer.h"

#include <cmath>
#include <cstdio>

namespace vantry::samples {
namespace {

const char* kSopClass = "1.2.840.10008.5.1.4.1.1.1.1"; // digital X-ray image, for presentation

/// A portable Gaussian generator: the same numbers on every platform for a seed.
class Noise {
public:
    explicit Noise(uint64_t seed) : m_state(seed * 6364136223846793005ull + 1442695040888963407ull) {}
    double uniform()
    {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return (static_cast<double>(m_state >> 11) + 0.5) / 9007199254740992.0;
    }
    double gauss()
    {
        const double u = uniform(), v = uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * 3.14159265358979323846 * v);
    }

private:
    uint64_t m_state;
};

int16_t clampToPixel(double v)
{
    const double r = std::nearbyint(v);
    return static_cast<int16_t>(r < 0 ? 0 : r > 32767 ? 32767 : r);
}

} // namespace

ElementWriter::ElementWriter(Syntax syntax) : m_syntax(syntax) {}

void ElementWriter::u16(uint16_t v)
{
    const bool big = m_syntax == Syntax::ExplicitBig;
    m_out.push_back(static_cast<uint8_t>(big ? v >> 8 : v));
    m_out.push_back(static_cast<uint8_t>(big ? v : v >> 8));
}

void ElementWriter::u32(uint32_t v)
{
    if (m_syntax == Syntax::ExplicitBig) {
        u16(static_cast<uint16_t>(v >> 16));
        u16(static_cast<uint16_t>(v));
    } else {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
}

void ElementWriter::tag(uint16_t group, uint16_t element)
{
    u16(group);
    u16(element);
}

void ElementWriter::element(uint16_t group, uint16_t elem, const char* vr, const std::vector<uint8_t>& value)
{
    std::vector<uint8_t> v = value;
    if (v.size() % 2 != 0) v.push_back(vr[0] == 'U' && vr[1] == 'I' ? 0 : ' ');
    tag(group, elem);
    const std::string name(vr, 2);
    const bool longForm = name == "OW" || name == "OB" || name == "SQ" || name == "UN" || name == "UT";
    if (m_syntax != Syntax::ImplicitLittle) {
        m_out.push_back(static_cast<uint8_t>(vr[0]));
        m_out.push_back(static_cast<uint8_t>(vr[1]));
        if (longForm) {
            u16(0);
            u32(static_cast<uint32_t>(v.size()));
        } else {
            u16(static_cast<uint16_t>(v.size()));
        }
    } else {
        u32(static_cast<uint32_t>(v.size()));
    }
    m_out.insert(m_out.end(), v.begin(), v.end());
}

void ElementWriter::text(uint16_t g, uint16_t e, const char* vr, const std::string& s)
{
    element(g, e, vr, std::vector<uint8_t>(s.begin(), s.end()));
}

void ElementWriter::us(uint16_t g, uint16_t e, uint16_t value)
{
    const bool big = m_syntax == Syntax::ExplicitBig;
    element(g, e, "US", {static_cast<uint8_t>(big ? value >> 8 : value), static_cast<uint8_t>(big ? value : value >> 8)});
}

void ElementWriter::open(bool undefinedLength)
{
    m_open.push_back({m_out.size(), undefinedLength});
    u32(undefinedLength ? 0xFFFFFFFFu : 0);
}

void ElementWriter::close(uint16_t delimiter)
{
    const Open o = m_open.back();
    m_open.pop_back();
    if (o.undefinedLength) {
        tag(0xFFFE, delimiter);
        u32(0);
        return;
    }
    const auto length = static_cast<uint32_t>(m_out.size() - o.lengthAt - 4);
    std::vector<uint8_t> saved(m_out.begin() + static_cast<long>(o.lengthAt) + 4, m_out.end());
    m_out.resize(o.lengthAt);
    u32(length);
    m_out.insert(m_out.end(), saved.begin(), saved.end());
}

void ElementWriter::beginSequence(uint16_t group, uint16_t element, bool undefinedLength)
{
    tag(group, element);
    if (m_syntax != Syntax::ImplicitLittle) {
        m_out.push_back('S');
        m_out.push_back('Q');
        u16(0);
    }
    open(undefinedLength);
}

void ElementWriter::endSequence() { close(0xE0DD); }

void ElementWriter::beginItem(bool undefinedLength)
{
    tag(0xFFFE, 0xE000);
    open(undefinedLength);
}

void ElementWriter::endItem() { close(0xE00D); }

void ElementWriter::raw(const std::vector<uint8_t>& bytes) { m_out.insert(m_out.end(), bytes.begin(), bytes.end()); }

std::vector<uint8_t> dicomBytes(const DicomImage& image)
{
    const char* syntaxUid = image.syntax == Syntax::ExplicitLittle ? "1.2.840.10008.1.2.1"
                            : image.syntax == Syntax::ExplicitBig  ? "1.2.840.10008.1.2.2"
                                                                   : "1.2.840.10008.1.2";
    const std::string instanceUid = "1.2.826.0.1.3680043.10.1137.1." + std::to_string(image.columns) + "." +
                                    std::to_string(image.rows);
    std::vector<uint8_t> out;
    if (image.preamble) {
        ElementWriter meta(Syntax::ExplicitLittle);
        meta.element(0x0002, 0x0001, "OB", {0, 1});
        meta.text(0x0002, 0x0002, "UI", kSopClass);
        meta.text(0x0002, 0x0003, "UI", instanceUid);
        meta.text(0x0002, 0x0010, "UI", syntaxUid);
        meta.text(0x0002, 0x0012, "UI", "1.2.826.0.1.3680043.10.1137");
        const auto groupLength = static_cast<uint32_t>(meta.bytes().size());
        ElementWriter head(Syntax::ExplicitLittle);
        head.element(0x0002, 0x0000, "UL",
                     {static_cast<uint8_t>(groupLength), static_cast<uint8_t>(groupLength >> 8),
                      static_cast<uint8_t>(groupLength >> 16), static_cast<uint8_t>(groupLength >> 24)});
        out.assign(128, 0);
        out.insert(out.end(), {'D', 'I', 'C', 'M'});
        out.insert(out.end(), head.bytes().begin(), head.bytes().end());
        out.insert(out.end(), meta.bytes().begin(), meta.bytes().end());
    }
    ElementWriter d(image.syntax);
    d.text(0x0008, 0x0016, "UI", kSopClass);
    d.text(0x0008, 0x0018, "UI", instanceUid);
    d.text(0x0008, 0x0060, "CS", "DX");
    d.text(0x0010, 0x0010, "PN", image.patientName);
    if (image.afterPatient) image.afterPatient(d);
    d.text(0x0018, 0x0060, "DS", "70");
    d.text(0x0018, 0x1152, "IS", "2");
    if (!image.imagerPixelSpacing.empty()) d.text(0x0018, 0x1164, "DS", image.imagerPixelSpacing);
    d.us(0x0028, 0x0002, 1);
    d.text(0x0028, 0x0004, "CS", "MONOCHROME2");
    if (image.frames > 1) d.text(0x0028, 0x0008, "IS", std::to_string(image.frames));
    d.us(0x0028, 0x0010, static_cast<uint16_t>(image.rows));
    d.us(0x0028, 0x0011, static_cast<uint16_t>(image.columns));
    if (image.pitchMm > 0) {
        char pitch[64];
        std::snprintf(pitch, sizeof pitch, "%g\\%g", image.pitchMm, image.pitchMm);
        d.text(0x0028, 0x0030, "DS", pitch);
    }
    d.us(0x0028, 0x0100, 16);
    d.us(0x0028, 0x0101, static_cast<uint16_t>(image.bitsStored));
    d.us(0x0028, 0x0102, static_cast<uint16_t>(image.bitsStored - 1));
    d.us(0x0028, 0x0103, image.pixelRepresentation);
    d.text(0x0028, 0x1050, "DS", "2000");
    d.text(0x0028, 0x1051, "DS", "4000");
    if (image.beforePixelData) image.beforePixelData(d);
    const bool big = image.syntax == Syntax::ExplicitBig;
    std::vector<uint8_t> pixels(image.pixels.size() * 2);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const auto v = static_cast<uint16_t>(image.pixels[i]);
        pixels[2 * i + (big ? 1 : 0)] = static_cast<uint8_t>(v);
        pixels[2 * i + (big ? 0 : 1)] = static_cast<uint8_t>(v >> 8);
    }
    d.element(0x7FE0, 0x0010, "OW", pixels);
    out.insert(out.end(), d.bytes().begin(), d.bytes().end());
    return out;
}

std::vector<uint8_t> rawBytes(const std::vector<int16_t>& pixels, int32_t header)
{
    std::vector<uint8_t> out(static_cast<size_t>(header), 0);
    for (int16_t p : pixels) {
        const auto v = static_cast<uint16_t>(p);
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    }
    return out;
}

std::vector<int16_t> tiltedEdge(int32_t width, int32_t height, double tiltDeg, double blurPx, double low,
                                double high, double noise, uint64_t seed)
{
    Noise rng(seed);
    const double t = std::tan(tiltDeg * 3.14159265358979323846 / 180.0);
    std::vector<int16_t> out(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            // signed distance from a nearly vertical edge through the image centre
            const double edgeX = width / 2.0 + (y - height / 2.0) * t;
            const double d = (x + 0.5 - edgeX) * std::cos(std::atan(t));
            const double s = 0.5 * std::erfc(-d / (blurPx * std::sqrt(2.0)));
            out[static_cast<size_t>(y) * width + x] = clampToPixel(low + (high - low) * s + noise * rng.gauss());
        }
    }
    return out;
}

std::vector<int16_t> flatField(int32_t width, int32_t height, double mean, double noise, uint64_t seed)
{
    Noise rng(seed);
    std::vector<int16_t> out(static_cast<size_t>(width) * height);
    for (int16_t& p : out) p = clampToPixel(mean + noise * rng.gauss());
    return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace vantry::samples
