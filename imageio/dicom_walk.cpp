#include "dicom_walk.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace vantry {
namespace {

constexpr uint32_t kUndefinedLength = 0xFFFFFFFFu;

constexpr uint32_t tagOf(uint16_t group, uint16_t element) { return uint32_t{group} << 16 | element; }

constexpr uint32_t kPixelData = tagOf(0x7FE0, 0x0010);
constexpr uint32_t kItem = tagOf(0xFFFE, 0xE000);
constexpr uint32_t kItemEnd = tagOf(0xFFFE, 0xE00D);
constexpr uint32_t kSequenceEnd = tagOf(0xFFFE, 0xE0DD);

/// How element headers and values of one part of the file are laid out.
struct Syntax {
    bool explicitVr;
    bool bigEndian;
};

constexpr Syntax kMetaSyntax{true, false};
/// The contents of a UN element of undefined length are always implicit VR little endian.
constexpr Syntax kUnknownContents{false, false};

struct Header {
    uint64_t at = 0;      ///< first byte of the header
    uint32_t tag = 0;     ///< group << 16 | element
    char vr[2] = {' ', ' '};
    uint32_t length = 0;
    uint64_t valueAt = 0; ///< first byte of the value
};

enum class VrKind { Unknown, Short, Long };

/// Short VRs have a 16-bit length; long ones two reserved bytes and a 32-bit length.
VrKind vrKind(char a, char b)
{
    switch (static_cast<unsigned char>(a) << 8 | static_cast<unsigned char>(b)) {
    case 'O' << 8 | 'B': case 'O' << 8 | 'D': case 'O' << 8 | 'F': case 'O' << 8 | 'L':
    case 'O' << 8 | 'V': case 'O' << 8 | 'W': case 'S' << 8 | 'Q': case 'S' << 8 | 'V':
    case 'U' << 8 | 'C': case 'U' << 8 | 'N': case 'U' << 8 | 'R': case 'U' << 8 | 'T':
    case 'U' << 8 | 'V':
        return VrKind::Long;
    case 'A' << 8 | 'E': case 'A' << 8 | 'S': case 'A' << 8 | 'T': case 'C' << 8 | 'S':
    case 'D' << 8 | 'A': case 'D' << 8 | 'S': case 'D' << 8 | 'T': case 'F' << 8 | 'L':
    case 'F' << 8 | 'D': case 'I' << 8 | 'S': case 'L' << 8 | 'O': case 'L' << 8 | 'T':
    case 'P' << 8 | 'N': case 'S' << 8 | 'H': case 'S' << 8 | 'L': case 'S' << 8 | 'S':
    case 'S' << 8 | 'T': case 'T' << 8 | 'M': case 'U' << 8 | 'I': case 'U' << 8 | 'L':
    case 'U' << 8 | 'S':
        return VrKind::Short;
    default:
        return VrKind::Unknown;
    }
}

std::string trimmed(const uint8_t* bytes, size_t n)
{
    return withoutPadding({reinterpret_cast<const char*>(bytes), n});
}

std::string tagTextOf(uint32_t tag) { return tagText(static_cast<uint16_t>(tag >> 16), static_cast<uint16_t>(tag)); }

std::string vrText(const char vr[2])
{
    const auto printable = [](char c) { return c >= 0x20 && c < 0x7F; };
    if (printable(vr[0]) && printable(vr[1])) return "\"" + std::string(vr, 2) + "\"";
    char hex[16];
    std::snprintf(hex, sizeof hex, "%02X %02X", static_cast<unsigned char>(vr[0]), static_cast<unsigned char>(vr[1]));
    return std::string("bytes ") + hex;
}

class Walker {
public:
    Walker(const uint8_t* data, size_t size, DataSetWalk& out) : m_data(data), m_size(size), m_out(out) {}

    /// Walks from byte `at`: 132 after a preamble, else 0.
    void walk(uint64_t at)
    {
        if (!metaGroup(at)) return;
        Syntax syntax{};
        if (!dataSetSyntax(at, syntax)) return;
        m_out.explicitVr = syntax.explicitVr;
        m_out.bigEndian = syntax.bigEndian;
        topLevel(at, syntax);
    }

private:
    bool fail(const std::string& why)
    {
        m_out.stop = why;
        return false;
    }

    uint16_t u16(uint64_t at, bool big) const
    {
        return big ? static_cast<uint16_t>(m_data[at] << 8 | m_data[at + 1])
                   : static_cast<uint16_t>(m_data[at] | m_data[at + 1] << 8);
    }
    uint32_t u32(uint64_t at, bool big) const
    {
        return big ? uint32_t{u16(at, true)} << 16 | u16(at + 2, true)
                   : uint32_t{u16(at, false)} | uint32_t{u16(at + 2, false)} << 16;
    }

    /// The header at `at`; false, with the reason, when it is cut off or its VR is unknown.
    bool header(uint64_t at, Syntax s, Header& h)
    {
        if (m_size - at < 8) return fail("the file ends inside the element header at byte " + std::to_string(at));
        h.at = at;
        h.tag = tagOf(u16(at, s.bigEndian), u16(at + 2, s.bigEndian));
        // Items and delimiters carry no VR in any syntax.
        if (!s.explicitVr || h.tag >> 16 == 0xFFFE) {
            h.vr[0] = h.vr[1] = ' ';
            h.length = u32(at + 4, s.bigEndian);
            h.valueAt = at + 8;
            return true;
        }
        h.vr[0] = static_cast<char>(m_data[at + 4]);
        h.vr[1] = static_cast<char>(m_data[at + 5]);
        const VrKind kind = vrKind(h.vr[0], h.vr[1]);
        if (kind == VrKind::Long) {
            if (m_size - at < 12) return fail("the file ends inside the element header at byte " + std::to_string(at));
            h.length = u32(at + 8, s.bigEndian);
            h.valueAt = at + 12;
            return true;
        }
        if (kind != VrKind::Short) {
            return fail("element " + tagTextOf(h.tag) + " at byte " + std::to_string(at) + " has the unknown VR " +
                        vrText(h.vr));
        }
        h.length = u16(at + 6, s.bigEndian);
        h.valueAt = at + 8;
        return true;
    }

    /// A defined length must be even and end inside the file.
    bool checkLength(const Header& h)
    {
        if (h.length % 2 == 0 && h.length <= m_size - h.valueAt) return true;
        const std::string where = "element " + tagTextOf(h.tag) + " at byte " + std::to_string(h.at);
        if (h.length % 2 != 0) return fail(where + " has an odd length, " + std::to_string(h.length) + " bytes");
        return fail(where + " has a length of " + std::to_string(h.length) + " bytes, past the end of the file");
    }

    /// The file meta group, always explicit VR little endian; `at` is left after it.
    bool metaGroup(uint64_t& at)
    {
        while (m_size - at >= 8 && u16(at, false) == 0x0002) {
            Header h;
            if (!header(at, kMetaSyntax, h)) return false;
            if (h.length == kUndefinedLength) {
                return fail("element " + tagTextOf(h.tag) + " of the file meta group has an undefined length");
            }
            if (!checkLength(h)) return false;
            if (h.tag == tagOf(0x0002, 0x0010)) m_out.transferSyntax = trimmed(m_data + h.valueAt, h.length);
            m_out.hasMetaGroup = true;
            at = h.valueAt + h.length;
            m_out.steppedValues.emplace_back(h.valueAt, at);
        }
        return true;
    }

    /// The layout of the data set from the transfer syntax, or for a file without one, from
    /// whether its first element carries a VR.
    bool dataSetSyntax(uint64_t at, Syntax& s)
    {
        const std::string& uid = m_out.transferSyntax;
        const std::string root = "1.2.840.10008.1.2";
        if (uid.empty()) {
            const bool hasVr = m_size - at >= 6 && vrKind(static_cast<char>(m_data[at + 4]),
                                                          static_cast<char>(m_data[at + 5])) != VrKind::Unknown;
            s = {hasVr, false};
            return true;
        }
        if (uid == root) {
            s = {false, false};
        } else if (uid == root + ".1") {
            s = {true, false};
        } else if (uid == root + ".2") {
            s = {true, true};
        } else if (uid == root + ".1.99") {
            return fail("its data set is deflated (transfer syntax " + uid + ")");
        } else if (uid.rfind(root + ".4.", 0) == 0 || uid == root + ".5" || uid.rfind(root + ".5.", 0) == 0) {
            s = {true, false};
            m_out.compressedSyntax = true;
        } else {
            return fail("its transfer syntax " + uid + " is not one the reader knows");
        }
        return true;
    }

    /// Keeps the values the reader needs from an element of the top level.
    void record(const Header& h, bool big)
    {
        const uint8_t* value = m_data + h.valueAt;
        const auto number = [&](std::optional<uint16_t>& field) {
            if (h.length >= 2) field = u16(h.valueAt, big);
        };
        // The image size must be one unsigned 16-bit value, as its VR US says.
        const auto size = [&](std::optional<uint16_t>& field, const char* name) {
            const bool us = h.vr[0] == 'U' && h.vr[1] == 'S';
            const bool implicit = h.vr[0] == ' ' && h.vr[1] == ' ';
            if ((us || implicit) && h.length == 2) {
                number(field);
                return;
            }
            if (m_out.refusal.empty()) {
                m_out.refusal = std::string("its ") + name + " " + tagTextOf(h.tag) + " is written " +
                                (implicit ? "" : "as " + std::string(h.vr, 2) + " ") + "with " +
                                std::to_string(h.length) + " bytes, not as one US value of 1 .. 65535";
            }
        };
        switch (h.tag) {
        case tagOf(0x0028, 0x0010): size(m_out.rows, "Rows"); break;
        case tagOf(0x0028, 0x0011): size(m_out.columns, "Columns"); break;
        case tagOf(0x0028, 0x0100): number(m_out.bitsAllocated); break;
        case tagOf(0x0028, 0x0002): number(m_out.samplesPerPixel); break;
        case tagOf(0x0028, 0x0103): number(m_out.pixelRepresentation); break;
        case tagOf(0x0028, 0x0008): m_out.numberOfFrames = trimmed(value, h.length); break;
        case tagOf(0x0018, 0x1164): m_out.imagerPixelSpacing = trimmed(value, h.length); break;
        case tagOf(0x0028, 0x0030): m_out.pixelSpacing = trimmed(value, h.length); break;
        case tagOf(0x0028, 0x1053): m_out.rescaleSlope = trimmed(value, h.length); break;
        case tagOf(0x0028, 0x1052): m_out.rescaleIntercept = trimmed(value, h.length); break;
        case tagOf(0x0008, 0x0068): m_out.presentationIntent = trimmed(value, h.length); break;
        default: break;
        }
    }

    /// The syntax of what an element of undefined length holds; false when such an element
    /// cannot be one of undefined length.
    static bool contentsSyntax(const Header& h, Syntax s, Syntax& inner)
    {
        if (!s.explicitVr) {
            inner = s; // a sequence, as nothing else has an undefined length here
            return true;
        }
        const std::string_view vr(h.vr, 2);
        if (vr == "SQ") {
            inner = s;
        } else if (vr == "UN") {
            inner = kUnknownContents;
        } else if (vr == "OB" || vr == "OW") {
            inner = s; // encapsulated pixel data of an icon: fragments, ended like a sequence
        } else {
            return false;
        }
        return true;
    }

    void topLevel(uint64_t at, Syntax s)
    {
        while (at < m_size) {
            Header h;
            if (!header(at, s, h)) return;
            if (h.tag == kPixelData) {
                m_out.pixelOffset = h.valueAt;
                if (h.length == kUndefinedLength) {
                    m_out.pixelLengthUndefined = true;
                } else {
                    if (!checkLength(h)) return;
                    m_out.pixelLength = h.length;
                }
                m_out.reachedPixelData = true;
                return;
            }
            if (h.length == kUndefinedLength) {
                if (!undefinedLength(h, s, 1, at)) return;
                m_out.steppedValues.emplace_back(h.valueAt, at);
                continue;
            }
            if (!checkLength(h)) return;
            record(h, s.bigEndian);
            at = h.valueAt + h.length;
            m_out.steppedValues.emplace_back(h.valueAt, at);
        }
        fail("it has no Pixel Data (7FE0,0010) outside its sequences");
    }

    /// Follows the element `h` of undefined length to past its delimiter.
    bool undefinedLength(const Header& h, Syntax s, int depth, uint64_t& at)
    {
        Syntax inner{};
        if (!contentsSyntax(h, s, inner)) {
            return fail("element " + tagTextOf(h.tag) + " at byte " + std::to_string(h.at) +
                        " has an undefined length, which its VR " + vrText(h.vr) + " does not allow");
        }
        if (depth > kMaxSequenceDepth) {
            return fail("the sequence at byte " + std::to_string(h.at) + " is nested deeper than " +
                        std::to_string(kMaxSequenceDepth) + " levels");
        }
        at = h.valueAt;
        return sequence(h, inner, depth, at);
    }

    /// The items of a sequence of undefined length, up to and past its delimiter.
    bool sequence(const Header& seq, Syntax s, int depth, uint64_t& at)
    {
        const auto which = [&] { return "the sequence " + tagTextOf(seq.tag) + " at byte " + std::to_string(seq.at); };
        for (;;) {
            if (m_size - at < 8) return fail("the file ends inside " + which());
            // Items and delimiters have no VR, so the header is read without asking for one.
            Header item;
            item.at = at;
            item.tag = tagOf(u16(at, s.bigEndian), u16(at + 2, s.bigEndian));
            item.length = u32(at + 4, s.bigEndian);
            item.valueAt = at + 8;
            if (item.tag == kSequenceEnd) {
                at = item.valueAt;
                return true;
            }
            if (item.tag != kItem) {
                return fail(which() + " holds " + tagTextOf(item.tag) + " at byte " + std::to_string(at) +
                            " where an item should be");
            }
            if (item.length == kUndefinedLength) {
                at = item.valueAt;
                if (!itemElements(s, depth, at)) return false;
                continue;
            }
            if (!checkLength(item)) return false;
            at = item.valueAt + item.length;
        }
    }

    /// The elements of an item of undefined length, up to and past its delimiter.
    bool itemElements(Syntax s, int depth, uint64_t& at)
    {
        const uint64_t start = at;
        for (;;) {
            if (at >= m_size) return fail("the file ends inside the item that starts at byte " + std::to_string(start - 8));
            Header h;
            if (!header(at, s, h)) return false;
            if (h.tag == kItemEnd) {
                at = h.valueAt;
                return true;
            }
            if (h.length == kUndefinedLength) {
                if (!undefinedLength(h, s, depth + 1, at)) return false;
                continue;
            }
            if (!checkLength(h)) return false;
            at = h.valueAt + h.length;
        }
    }

    const uint8_t* m_data;
    uint64_t m_size;
    DataSetWalk& m_out;
};

} // namespace

std::string withoutPadding(std::string_view text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\0')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\0')) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string tagText(uint16_t group, uint16_t element)
{
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X)", group, element);
    return text;
}

DataSetWalk walkDataSet(const uint8_t* data, size_t size)
{
    DataSetWalk afterPreamble;
    const bool preamble = size >= 132 && std::memcmp(data + 128, "DICM", 4) == 0;
    if (preamble) {
        Walker(data, size, afterPreamble).walk(132);
        if (afterPreamble.reachedPixelData) return afterPreamble;
    }
    // A file without a preamble may hold "DICM" at byte 128 inside a value.
    DataSetWalk fromStart;
    Walker(data, size, fromStart).walk(0);
    return fromStart.reachedPixelData || !preamble ? fromStart : afterPreamble;
}

} // namespace vantry
