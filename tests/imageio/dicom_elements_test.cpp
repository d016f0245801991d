// The DICOM element search on byte-built buffers: windows, lengths, TAGPOS after each case.
#include "dicom_elements.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vantry;

namespace {

/// Little-endian element bytes.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& u16(uint16_t v)
    {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    Bytes& u32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Bytes& text(const std::string& s)
    {
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& zeros(size_t n)
    {
        b.insert(b.end(), n, 0);
        return *this;
    }
    /// Explicit VR element with a 2-byte length.
    Bytes& ex(uint16_t g, uint16_t e, const char* vr, const std::string& value)
    {
        return u16(g).u16(e).text(vr).u16(static_cast<uint16_t>(value.size())).text(value);
    }
    /// Implicit VR element.
    Bytes& im(uint16_t g, uint16_t e, const std::string& value)
    {
        return u16(g).u16(e).u32(static_cast<uint32_t>(value.size())).text(value);
    }
};

Workspace withFile(const std::vector<uint8_t>& bytes)
{
    Workspace ws;
    ws.FILEBUF.assign(bytes.begin(), bytes.end());
    ws.TAGPOS = 0;
    return ws;
}

std::string withZero(const char* s)
{
    return std::string(s) + std::string(1, '\0');
}

TEST(TransferMode, ExplicitImplicitAndBigEndianUidsGiveTheirModes)
{
    Workspace a = withFile(Bytes().ex(2, 0x10, "UI", withZero("1.2.840.10008.1.2.1")).b);
    EXPECT_EQ(transferMode(a), kExplicitLittle);
    Workspace b = withFile(Bytes().ex(2, 0x10, "UI", withZero("1.2.840.10008.1.2")).b);
    EXPECT_EQ(transferMode(b), kImplicitLittle);
    Workspace c = withFile(Bytes().ex(2, 0x10, "UI", "1.2.840.10008.1.2 ").b);
    EXPECT_EQ(transferMode(c), kImplicitLittle) << "padded with a blank";
    Workspace d = withFile(Bytes().ex(2, 0x10, "UI", withZero("1.2.840.10008.1.2.2")).b);
    EXPECT_EQ(transferMode(d), kExplicitBig);
    Workspace e = withFile(Bytes().ex(2, 0x10, "UI", "1.2.840.10008.1.2.4.50").b);
    EXPECT_EQ(transferMode(e), kUnknownMode) << "JPEG baseline";
}

TEST(TransferMode, FallsBackToTheSopClassWithoutATransferSyntax)
{
    // No meta group; (0008,0016) in implicit layout ends in "1.2" and a zero byte.
    Workspace ws = withFile(Bytes().im(8, 0x16, withZero("1.2.840.10008.5.1.4.1.1.2")).b);
    EXPECT_EQ(transferMode(ws), kImplicitLittle);
    Workspace none = withFile(Bytes().im(8, 0x16, withZero("1.2.840.10008.5.1.4.1.1.7")).zeros(8).b);
    EXPECT_EQ(transferMode(none), kUnknownMode);
}

TEST(NumericElement, LengthsDecideValueAndSearchPosition)
{
    Bytes f;
    f.u16(0x28).u16(0x10).text("US").u16(2).u16(0xFFFF); // 0..9
    f.u16(0x28).u16(0x11).text("UL").u16(4).u32(70000);  // 10..21
    f.u16(0x28).u16(0x30).text("DS").u16(0);             // 22..29
    f.u16(0x28).u16(0x31).text("OB").u16(3).text("abc"); // 30..40
    Workspace ws = withFile(f.b);
    EXPECT_EQ(TAGVGET(ws, dicomTag(0x28, 0x10), kExplicitLittle), -1.0f) << "sign-extended";
    EXPECT_EQ(ws.TAGPOS, 10);
    EXPECT_EQ(TAGVGET(ws, dicomTag(0x28, 0x11), kExplicitLittle), 70000.0f);
    EXPECT_EQ(ws.TAGPOS, 22);
    EXPECT_EQ(TAGVGET(ws, dicomTag(0x28, 0x30), kExplicitLittle), 0.0f);
    EXPECT_EQ(ws.TAGPOS, 34) << "length 0 moves 4 past the value start";
    ws.TAGPOS = 30;
    EXPECT_EQ(TAGVGET(ws, dicomTag(0x28, 0x31), kExplicitLittle), 0.0f);
    EXPECT_EQ(ws.TAGPOS, 38) << "other lengths stay at the value start";

    Workspace big = withFile(Bytes().im(0x28, 0x10, std::string(2000, 'x')).b);
    EXPECT_EQ(TAGVGET(big, dicomTag(0x28, 0x10), kImplicitLittle), 2000.0f) << "a long value gives its length";
    EXPECT_EQ(big.TAGPOS, 8);
}

TEST(TextElement, ValueTextAndWindowOf2048Positions)
{
    Bytes f;
    f.zeros(4094).ex(0x18, 0x60, "DS", "70");
    Workspace ws = withFile(f.b);
    EXPECT_EQ(TAGCGET(ws, dicomTag(0x18, 0x60), kExplicitLittle), "70") << "position 4094 is the last searched";
    EXPECT_EQ(ws.TAGPOS, 4094 + 10);

    Bytes g;
    g.zeros(4096).ex(0x18, 0x60, "DS", "70");
    Workspace past = withFile(g.b);
    past.TAGPOS = 0;
    EXPECT_EQ(TAGCGET(past, dicomTag(0x18, 0x60), kExplicitLittle), "");
    EXPECT_EQ(past.TAGPOS, 0) << "not found: TAGPOS stays";

    Workspace empty = withFile(Bytes().ex(0x18, 0x60, "DS", "").b);
    EXPECT_EQ(TAGCGET(empty, dicomTag(0x18, 0x60), kExplicitLittle), "");
    EXPECT_EQ(empty.TAGPOS, 8);
}

TEST(TextElement, AnElementBeforeTheSearchPositionIsNotFound)
{
    Workspace ws = withFile(Bytes().ex(0x28, 0x10, "US", std::string("\x10\x00", 2)).ex(0x28, 0x11, "US", std::string("\x20\x00", 2)).b);
    EXPECT_EQ(TAGVGET(ws, dicomTag(0x28, 0x11), kExplicitLittle), 32.0f);
    EXPECT_EQ(TAGVGET(ws, dicomTag(0x28, 0x10), kExplicitLittle), 0.0f) << "Rows after Columns is missed";
}

TEST(TextElement, TagBytesAtTheVeryEndReadNothingOutside)
{
    // The tag is the last four bytes: no room for a length.
    Workspace ws = withFile(Bytes().zeros(6).u16(0x18).u16(0x60).b);
    EXPECT_EQ(TAGCGET(ws, dicomTag(0x18, 0x60), kExplicitLittle), "");
    EXPECT_EQ(TAGVGET(ws, dicomTag(0x18, 0x60), kImplicitLittle), 0.0f);
    EXPECT_EQ(ws.TAGPOS, 0);
    // A length that runs past the end gives the bytes that are there.
    Workspace cut = withFile(Bytes().u16(0x18).u16(0x60).text("DS").u16(40).text("12").b);
    EXPECT_EQ(TAGCGET(cut, dicomTag(0x18, 0x60), kExplicitLittle), "12");
}

TEST(PixelData, AcceptsOnlyAPlainLengthAbove65535)
{
    Bytes f;
    f.u16(0x7FE0).u16(0x10).u32(65535).zeros(2);       // too short: passed over
    f.u16(0x7FE0).u16(0x10).u32(0xFFFFFFFF).zeros(2);  // undefined length: negative
    const size_t real = f.b.size();
    f.u16(0x7FE0).u16(0x10).u32(65536).zeros(65536);
    Workspace ws = withFile(f.b);
    EXPECT_EQ(TAGIMG(ws, dicomTag(0x7FE0, 0x10), kImplicitLittle), 65536.0f);
    EXPECT_EQ(ws.TAGPOS, static_cast<int32_t>(real + 8));
}

TEST(PixelData, ExplicitModeNeedsOwAndTheLongLength)
{
    Bytes f;
    f.u16(0x7FE0).u16(0x10).text("OB").u16(0).u32(70000).zeros(4); // not OW
    const size_t real = f.b.size();
    f.u16(0x7FE0).u16(0x10).text("OW").u16(0).u32(70000).zeros(70000);
    Workspace ws = withFile(f.b);
    EXPECT_EQ(TAGIMG(ws, dicomTag(0x7FE0, 0x10), kExplicitLittle), 70000.0f);
    EXPECT_EQ(ws.TAGPOS, static_cast<int32_t>(real + 12));
}

TEST(PixelData, NotFoundInItsWindowOrBeyondByte800000)
{
    Bytes f;
    f.zeros(70000).u16(0x7FE0).u16(0x10).u32(70000).zeros(70000); // past 32786 positions
    Workspace ws = withFile(f.b);
    EXPECT_EQ(TAGIMG(ws, dicomTag(0x7FE0, 0x10), kImplicitLittle), 0.0f);
    EXPECT_EQ(ws.TAGPOS, 0);

    Workspace late = withFile(Bytes().zeros(800100).u16(0x7FE0).u16(0x10).u32(70000).zeros(70000).b);
    late.TAGPOS = 780000;
    EXPECT_EQ(TAGIMG(late, dicomTag(0x7FE0, 0x10), kImplicitLittle), 0.0f);
    EXPECT_EQ(late.TAGPOS, 800002) << "the search gives up where it stopped";
}

TEST(LookAhead, FindsAnElementWithoutMovingTheSearch)
{
    Workspace ws = withFile(Bytes().ex(0x28, 0x02, "US", std::string("\x03\x00", 2)).ex(0x28, 0x100, "US", std::string("\x08\x00", 2)).b);
    ws.TAGPOS = 12;
    EXPECT_EQ(lookAheadNumber(ws, dicomTag(0x28, 0x02), kExplicitLittle), 3.0f);
    EXPECT_EQ(lookAheadNumber(ws, dicomTag(0x28, 0x100), kExplicitLittle), 8.0f);
    EXPECT_EQ(lookAheadNumber(ws, dicomTag(0x28, 0x101), kExplicitLittle), std::nullopt);
    EXPECT_EQ(ws.TAGPOS, 12);
}

} // namespace
