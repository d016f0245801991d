// A minimal PNG writer: one IDAT with stored (uncompressed) deflate blocks, so no compression
// library is needed.
#include "png_writer.h"

#include <cstddef>

namespace vantry::samples {
namespace {

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0xFFFFFFFFu)
{
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

void put32be(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    put32be(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    put32be(out, crc32(body.data(), body.size()) ^ 0xFFFFFFFFu);
}

} // namespace

std::vector<uint8_t> greyPng(int32_t width, int32_t height, const std::vector<uint8_t>& pixels)
{
    std::vector<uint8_t> raw; // each row: filter byte 0, then the pixels
    raw.reserve(static_cast<size_t>(width + 1) * height);
    for (int32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), pixels.begin() + static_cast<long>(y) * width,
                   pixels.begin() + static_cast<long>(y + 1) * width);
    }
    std::vector<uint8_t> z{0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
        z.push_back(at + n >= raw.size() ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
        if (raw.empty()) break;
    }
    put32be(z, (b << 16) | a);

    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32be(header, static_cast<uint32_t>(width));
    put32be(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 0, 0, 0, 0}); // 8-bit grey, no interlace
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

} // namespace vantry::samples
