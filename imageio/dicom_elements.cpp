#include "dicom_elements.h"

#include <cstring>

namespace vantry {
namespace {

/// Little-endian reads that refuse to pass the end of the buffer.
bool readU32(const ByteBuffer& b, int64_t at, uint32_t& out)
{
    if (at < 0 || at + 4 > static_cast<int64_t>(b.size())) return false;
    out = static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
          static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
    return true;
}

bool readU16(const ByteBuffer& b, int64_t at, uint16_t& out)
{
    if (at < 0 || at + 2 > static_cast<int64_t>(b.size())) return false;
    out = static_cast<uint16_t>(b[at] | b[at + 1] << 8);
    return true;
}

/// Whether the byte at `at` lies inside a value the data set walk stepped over.
bool hiddenAt(const Workspace& ws, int64_t at)
{
    for (const auto& [first, end] : ws.TAGHIDDEN) {
        if (at >= first && at < end) return true;
    }
    return false;
}

/// Scans up to `positions` positions, 2 bytes apart, from TAGPOS for the tag (passing by those
/// inside a stepped-over value); its byte position, or -1 with TAGPOS restored.
int64_t findTag(Workspace& ws, int32_t tag, int32_t positions)
{
    const int64_t start = ws.TAGPOS;
    for (int64_t i = 0; i < positions; ++i) {
        const int64_t at = start + 2 * i;
        uint32_t word = 0;
        if (!readU32(ws.FILEBUF, at, word)) break; // the end of the file data
        if (static_cast<int32_t>(word) == tag && !hiddenAt(ws, at)) return at;
    }
    ws.TAGPOS = static_cast<int32_t>(start);
    return -1;
}

struct ElementValue {
    int64_t start;  // byte position of the value
    int32_t length; // as read: signed
};

/// Header of the element found at m. False when its header passes the end of the data.
bool elementValue(const Workspace& ws, int64_t m, int16_t mode, ElementValue& v)
{
    if (mode == kImplicitLittle) {
        uint32_t length = 0;
        if (!readU32(ws.FILEBUF, m + 4, length)) return false;
        v = {m + 8, static_cast<int32_t>(length)};
        return true;
    }
    uint16_t length = 0;
    if (!readU16(ws.FILEBUF, m + 6, length)) return false;
    if (mode == kExplicitBig) length = static_cast<uint16_t>(length << 8 | length >> 8);
    v = {m + 8, static_cast<int16_t>(length)};
    return true;
}

} // namespace

std::string TAGCGET(Workspace& ws, int32_t tag, int16_t mode)
{
    const int32_t saved = ws.TAGPOS;
    const int64_t m = findTag(ws, tag, kTextSearchPositions);
    ElementValue v{};
    if (m < 0 || !elementValue(ws, m, mode, v)) {
        ws.TAGPOS = saved;
        return "";
    }
    if (v.length <= 0) {
        ws.TAGPOS = static_cast<int32_t>(v.start);
        return "";
    }
    // A value running past the end of the file gives the bytes that are there.
    const int64_t available = static_cast<int64_t>(ws.FILEBUF.size()) - v.start;
    const int64_t length = v.length < available ? v.length : (available > 0 ? available : 0);
    std::string text(reinterpret_cast<const char*>(ws.FILEBUF.data()) + v.start, static_cast<size_t>(length));
    ws.TAGPOS = static_cast<int32_t>(v.start + length);
    return text;
}

float TAGVGET(Workspace& ws, int32_t tag, int16_t mode)
{
    const int32_t saved = ws.TAGPOS;
    const int64_t m = findTag(ws, tag, kNumberSearchPositions);
    ElementValue v{};
    if (m < 0 || !elementValue(ws, m, mode, v)) {
        ws.TAGPOS = saved;
        return 0.0f;
    }
    ws.TAGPOS = static_cast<int32_t>(v.start);
    if (v.length == 2) {
        uint16_t value = 0;
        if (!readU16(ws.FILEBUF, v.start, value)) return 0.0f;
        if (mode == kExplicitBig) value = static_cast<uint16_t>(value << 8 | value >> 8);
        ws.TAGPOS = static_cast<int32_t>(v.start + 2);
        return static_cast<float>(static_cast<int16_t>(value));
    }
    if (v.length == 4) {
        uint32_t value = 0;
        if (!readU32(ws.FILEBUF, v.start, value)) return 0.0f;
        ws.TAGPOS = static_cast<int32_t>(v.start + 4);
        return static_cast<float>(static_cast<int32_t>(value));
    }
    if (v.length == 0) {
        ws.TAGPOS = static_cast<int32_t>(v.start + 4);
        return 0.0f;
    }
    if (v.length > 1023) return static_cast<float>(v.length);
    return 0.0f;
}

float TAGIMG(Workspace& ws, int32_t tag, int16_t mode)
{
    const int64_t start = ws.TAGPOS;
    for (int64_t i = 0; i < kPixelSearchPositions; ++i) {
        const int64_t m = start + 2 * i;
        if (m > kPixelDataLimit) {
            ws.TAGPOS = static_cast<int32_t>(m); // the search gives up where it stopped
            return 0.0f;
        }
        uint32_t word = 0;
        if (!readU32(ws.FILEBUF, m, word)) break;
        if (static_cast<int32_t>(word) != tag || hiddenAt(ws, m)) continue;
        uint32_t length = 0;
        int64_t valueStart = 0;
        if (mode == kImplicitLittle) {
            if (!readU32(ws.FILEBUF, m + 4, length)) continue;
            valueStart = m + 8;
        } else {
            if (m + 6 > static_cast<int64_t>(ws.FILEBUF.size()) || ws.FILEBUF[m + 4] != 'O' ||
                ws.FILEBUF[m + 5] != 'W') {
                continue;
            }
            if (!readU32(ws.FILEBUF, m + 8, length)) continue;
            if (mode == kExplicitBig) length = __builtin_bswap32(length);
            valueStart = m + 12;
        }
        if (static_cast<int32_t>(length) > 65535) {
            ws.TAGPOS = static_cast<int32_t>(valueStart);
            return static_cast<float>(static_cast<int32_t>(length));
        }
    }
    ws.TAGPOS = static_cast<int32_t>(start);
    return 0.0f;
}

namespace {

int16_t modeFromUid(const std::string& uid)
{
    if (uid.size() < 4) return kUnknownMode;
    const std::string last = uid.substr(uid.size() - 4);
    if (last == std::string("1.2 ") || last == std::string("1.2\0", 4)) return kImplicitLittle;
    if (last == std::string("2.1\0", 4)) return kExplicitLittle;
    if (last == std::string("2.2\0", 4)) return kExplicitBig;
    return kUnknownMode;
}

} // namespace

int16_t transferMode(Workspace& ws)
{
    int16_t mode = modeFromUid(TAGCGET(ws, dicomTag(0x0002, 0x0010), kExplicitLittle));
    if (mode == kUnknownMode) {
        ws.TAGPOS = 0;
        mode = modeFromUid(TAGCGET(ws, dicomTag(0x0008, 0x0016), kImplicitLittle));
    }
    return mode;
}

std::optional<float> lookAheadNumber(Workspace& ws, int32_t tag, int16_t mode)
{
    const int32_t saved = ws.TAGPOS;
    ws.TAGPOS = 0;
    const int32_t before = ws.TAGPOS;
    std::optional<float> result;
    const float value = TAGVGET(ws, tag, mode);
    if (ws.TAGPOS != before || value != 0.0f) result = value;
    ws.TAGPOS = saved;
    return result;
}

} // namespace vantry
