// The image file reader through the Read button: DICOM and raw layouts, conversions, BMP, and
// every refusal leaving the previous image in place.
#include "reading_fixture.h"

#include <algorithm>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

using namespace vantry;
using samples::Syntax;

namespace {

class ReadImage : public ReadingFixture {
protected:
    void SetUp() override
    {
        start({"DICOM 1 1 0.1 1 0 0", "RAW-16 40 30 0.15 1 0 100", "RAW-OFS 40 30 0.15 1 100 100",
               "CR-LOG 40 30 0.1 1000 0 0", "BMP 1 1 0.1 1 0 0"});
    }
    static constexpr int kDicom = 0, kRaw = 1, kRawOffset = 2, kLog = 3, kBmp = 4;
};

TEST_F(ReadImage, ExplicitAndImplicitDicomGiveTheSamePixelsAndTheFileSize)
{
    const auto image = dicom(256, 160, Syntax::ExplicitLittle);
    readWith(kDicom, write("explicit.dcm", samples::dicomBytes(image)));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(k.ws.XSZ[0], 256) << "the size comes from the file, not the entry's 1 x 1";
    EXPECT_EQ(k.ws.YSZ[0], 160);
    EXPECT_EQ(pixels(0), image.pixels);
    EXPECT_EQ(k.ws.LOADED[0], 1);
    EXPECT_TRUE(k.ws.FILEBUF.empty()) << "the file buffer is erased after the read";

    auto implicitImage = image;
    implicitImage.syntax = Syntax::ImplicitLittle;
    readWith(kDicom, write("implicit.dcm", samples::dicomBytes(implicitImage)));
    EXPECT_EQ(pixels(0), image.pixels);
    EXPECT_EQ(k.ws.IMG[0].pixels, k.ws.COPYIMG.pixels);
    EXPECT_EQ(k.ws.WORKIMG.pixels, k.ws.COPYIMG.pixels);
}

TEST_F(ReadImage, DicomWithoutMetaHeaderReadsThroughTheSopClass)
{
    auto image = dicom(256, 256, Syntax::ImplicitLittle);
    image.preamble = false;
    // The DX storage class UID ends in "1.1"; this file carries the mammography class, whose
    // UID of the same length ends in "1.2".
    auto bytes = samples::dicomBytes(image);
    const std::string dx = "1.2.840.10008.5.1.4.1.1.1.1";
    const std::string ct = "1.2.840.10008.5.1.4.1.1.1.2";
    auto at = std::search(bytes.begin(), bytes.end(), dx.begin(), dx.end());
    ASSERT_NE(at, bytes.end());
    std::copy(ct.begin(), ct.end(), at);
    readWith(kDicom, write("nometa.dcm", bytes));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(pixels(0), image.pixels);
}

TEST_F(ReadImage, RawReadsAfterTheHeaderAndSubtractsTheOffset)
{
    std::vector<int16_t> values = ramp(40, 30);
    values[0] = -2; // stored 0xFFFE: unsigned data above 32767 appear negative
    readWith(kRaw, write("a.raw", samples::rawBytes(values, 100)));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(pixels(0), values);
    EXPECT_EQ(k.ws.HDOFS[0], 100);

    readWith(kRawOffset, write("b.raw", samples::rawBytes(ramp(40, 30), 100)));
    ASSERT_TRUE(host.messages.empty());
    EXPECT_EQ(pixels(0)[1], ramp(40, 30)[1] - 100);
}

TEST_F(ReadImage, LogConversionRaisesZeroToOneFirst)
{
    k.form.LOGCCK.Value = 1;
    k.form.VAL1TX.Text = "1000";
    std::vector<int16_t> values(40 * 30, 1000);
    values[0] = 0;
    values[1] = 10;
    readWith(kRaw, write("lin.raw", samples::rawBytes(values, 100)));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(pixels(0)[0], 0);
    EXPECT_EQ(pixels(0)[1], 1000);
    EXPECT_EQ(pixels(0)[2], 3000);
}

TEST_F(ReadImage, LogImageBecomesLinearWithTheFactor)
{
    k.form.LOGBAITX.Text = "1";
    readWith(kLog, write("log.raw", samples::rawBytes(std::vector<int16_t>(40 * 30, 3000), 0)));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(pixels(0)[0], 1000);
}

TEST_F(ReadImage, LinearAdjustmentDividesByTheFactor)
{
    k.form.LINRCK.Value = 1;
    k.form.LOGBAITX.Text = "4";
    readWith(kRaw, write("lin.raw", samples::rawBytes(std::vector<int16_t>(40 * 30, 1002), 100)));
    ASSERT_TRUE(host.messages.empty());
    EXPECT_EQ(pixels(0)[0], 250) << "250.5 rounds to even";
}

/// An 8-bit BMP of w x h with row padding, values v(x, y) = 10 * y + x, stored bottom-up.
std::vector<uint8_t> bmp8(int32_t w, int32_t h, int bits = 8, uint32_t compression = 0)
{
    const int32_t rowBytes = (w + 3) / 4 * 4;
    std::vector<uint8_t> b(1078 + static_cast<size_t>(rowBytes) * h, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 1078);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    b[26] = 1;
    b[28] = static_cast<uint8_t>(bits);
    put32(30, compression);
    for (int i = 0; i < 256; ++i) b[54 + 4 * i] = b[55 + 4 * i] = b[56 + 4 * i] = static_cast<uint8_t>(i);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) b[1078 + static_cast<size_t>(h - 1 - y) * rowBytes + x] = static_cast<uint8_t>(10 * y + x);
    }
    return b;
}

TEST_F(ReadImage, EightBitBmpEndsInTheViewWithWindow256And128)
{
    readWith(kBmp, write("pic.Bmp", bmp8(5, 3)));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(k.ws.XSZ[0], 5);
    EXPECT_EQ(k.ws.YSZ[0], 3);
    EXPECT_EQ(k.ws.IMG[0].at(0, 0), 0);
    EXPECT_EQ(k.ws.IMG[0].at(4, 2), 24) << "top row first, padding skipped";
    EXPECT_EQ(k.ws.WW[0], 256);
    EXPECT_EQ(k.ws.WL[0], 128);
    EXPECT_EQ(k.form.WWTX[0].Text, "256");
}

/// Reads a good image into view 0, then `path` with entry `entry`; expects a refusal that
/// names the file and keeps the first image with its size, window and ROI.
class Refusal : public ReadImage {
protected:
    void expectRefused(int entry, const std::string& path, const std::string& reasonPart = "",
                       const std::function<void()>& settings = {})
    {
        const auto good = dicom(200, 180, Syntax::ExplicitLittle);
        k.form.LOGCCK.Value = k.form.LINRCK.Value = 0;
        readWith(kDicom, write("good.dcm", samples::dicomBytes(good)));
        ASSERT_TRUE(host.messages.empty()) << host.messages.front();
        if (settings) settings();
        k.ws.WW[0] = 1234;
        k.roi[0].ROIX = 7;
        const int blits = host.blitCount[0];
        readWith(entry, path);
        ASSERT_EQ(host.messages.size(), 1u) << path;
        EXPECT_NE(host.messages[0].find(path), std::string::npos) << host.messages[0];
        EXPECT_NE(host.messages[0].find(reasonPart), std::string::npos) << host.messages[0];
        EXPECT_EQ(pixels(0), good.pixels);
        EXPECT_EQ(k.ws.XSZ[0], 200);
        EXPECT_EQ(k.ws.YSZ[0], 180);
        EXPECT_EQ(k.ws.WW[0], 1234);
        EXPECT_EQ(k.roi[0].ROIX, 7);
        EXPECT_EQ(k.ws.FNAME[0], (folder / "good.dcm").string());
        EXPECT_EQ(host.blitCount[0], blits) << "nothing redrawn";
        host.messages.clear();
    }
    std::vector<uint8_t> goodBytes() const { return samples::dicomBytes(dicom(200, 180, Syntax::ExplicitLittle)); }
};

TEST_F(Refusal, RawFileShorterThanHeaderPlusPixels)
{
    expectRefused(kRaw, write("short.raw", samples::rawBytes(ramp(40, 29), 100)), "fewer than");
    expectRefused(kRaw, write("header-only.raw", std::vector<uint8_t>(50, 0)), "fewer than");
}

TEST_F(Refusal, DicomWithoutPixelDataRowsOrKnownSyntax)
{
    auto bytes = goodBytes();
    const std::vector<uint8_t> tag{0xE0, 0x7F, 0x10, 0x00};
    auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
    std::vector<uint8_t> noPixels(bytes.begin(), at);
    expectRefused(kDicom, write("nopixels.dcm", noPixels), "pixel data");

    auto noRows = goodBytes();
    const std::vector<uint8_t> rows{0x28, 0x00, 0x10, 0x00};
    auto r = std::search(noRows.begin(), noRows.end(), rows.begin(), rows.end());
    (*(r + 1)) = 0x01; // (0128,0010): not Rows any more
    expectRefused(kDicom, write("norows.dcm", noRows), "Rows");

    auto jpeg = samples::dicomBytes(dicom(200, 180, Syntax::ExplicitLittle));
    const std::string uid = std::string("1.2.840.10008.1.2.1") + '\0';
    auto u = std::search(jpeg.begin(), jpeg.end(), uid.begin(), uid.end());
    const std::string other = "1.2.840.10008.1.2.5"; // RLE, same length
    std::copy(other.begin(), other.end(), u);
    expectRefused(kDicom, write("rle.dcm", jpeg), "transfer syntax");
}

TEST_F(Refusal, BigEndianEightBitAndColourDicom)
{
    auto big = goodBytes();
    const std::string uid = std::string("1.2.840.10008.1.2.1") + '\0';
    auto u = std::search(big.begin(), big.end(), uid.begin(), uid.end());
    *(u + 18) = '2';
    expectRefused(kDicom, write("big.dcm", big), "big endian");

    auto eight = goodBytes();
    const std::vector<uint8_t> bits{0x28, 0x00, 0x00, 0x01, 'U', 'S', 2, 0};
    auto b = std::search(eight.begin(), eight.end(), bits.begin(), bits.end());
    ASSERT_NE(b, eight.end());
    *(b + 8) = 8;
    expectRefused(kDicom, write("eight.dcm", eight), "8 bits");

    auto colour = goodBytes();
    const std::vector<uint8_t> spp{0x28, 0x00, 0x02, 0x00, 'U', 'S', 2, 0};
    auto c = std::search(colour.begin(), colour.end(), spp.begin(), spp.end());
    *(c + 8) = 3;
    expectRefused(kDicom, write("rgb.dcm", colour), "samples per pixel");
}

TEST_F(Refusal, PixelDataShorterThanTheImage)
{
    auto image = dicom(200, 180, Syntax::ExplicitLittle);
    auto bytes = samples::dicomBytes(image);
    bytes.resize(bytes.size() - 2); // the file ends one pixel early
    expectRefused(kDicom, write("cut.dcm", bytes), "ends before");

    auto wrong = dicom(300, 300, Syntax::ImplicitLittle); // length 180000 for 300 x 300
    auto lie = samples::dicomBytes(wrong);
    const std::vector<uint8_t> cols{0x28, 0x00, 0x11, 0x00, 2, 0, 0, 0};
    auto c = std::search(lie.begin(), lie.end(), cols.begin(), cols.end());
    ASSERT_NE(c, lie.end());
    *(c + 8) = 0x2C; // 300 -> 556 columns
    *(c + 9) = 0x02;
    expectRefused(kDicom, write("lie.dcm", lie), "fewer than");
}

TEST_F(Refusal, SpecialFilesAreRefusedBeforeAnyRead)
{
    const std::string fifo = (folder / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    expectRefused(kRaw, fifo, "pipe");
    expectRefused(kDicom, folder.string(), "folder");
    const std::string dangling = (folder / "dangling").string();
    ASSERT_EQ(::symlink("/nonexistent/vantry", dangling.c_str()), 0);
    expectRefused(kDicom, dangling, "missing");
    expectRefused(kDicom, "/dev/zero", "special");
}

TEST_F(Refusal, HugeSparseFileIsRefusedBySize)
{
    const std::string path = (folder / "sparse.dcm").string();
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 3ll << 30), 0);
    ::close(fd);
    expectRefused(kDicom, path, "576 MiB");
}

TEST_F(Refusal, ConversionsOutsideTheInt16RangeAndAZeroFactor)
{
    expectRefused(kRaw, write("big-gain.raw", samples::rawBytes(std::vector<int16_t>(40 * 30, 30000), 100)),
                  "16-bit", [&] {
                      k.form.LOGCCK.Value = 1;
                      k.form.VAL1TX.Text = "10000";
                  });
    expectRefused(kRaw, write("zero.raw", samples::rawBytes(ramp(40, 30), 100)), "factor is 0", [&] {
        k.form.LINRCK.Value = 1;
        k.form.LOGBAITX.Text = "0";
    });
    expectRefused(kRawOffset, write("offset.raw", samples::rawBytes(std::vector<int16_t>(40 * 30, -32700), 100)),
                  "16-bit");
}

/// The good file's bytes with the 16-bit value of the first element `tag` (explicit US) set.
std::vector<uint8_t> withUs(std::vector<uint8_t> bytes, uint16_t group, uint16_t element, uint16_t value)
{
    const std::vector<uint8_t> head{static_cast<uint8_t>(group), static_cast<uint8_t>(group >> 8),
                                    static_cast<uint8_t>(element), static_cast<uint8_t>(element >> 8), 'U', 'S', 2, 0};
    auto at = std::search(bytes.begin(), bytes.end(), head.begin(), head.end());
    if (at == bytes.end()) ADD_FAILURE() << "element not found";
    *(at + 8) = static_cast<uint8_t>(value);
    *(at + 9) = static_cast<uint8_t>(value >> 8);
    return bytes;
}

/// Replaces the first occurrence of `from` with `to` (same length).
std::vector<uint8_t> replaced(std::vector<uint8_t> bytes, const std::vector<uint8_t>& from, const std::vector<uint8_t>& to)
{
    auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
    if (at == bytes.end()) ADD_FAILURE() << "pattern not found";
    std::copy(to.begin(), to.end(), at);
    return bytes;
}

TEST_F(Refusal, SizesOfZeroAboveInt16AndWrappingProducts)
{
    const auto good = goodBytes();
    expectRefused(kDicom, write("rows0.dcm", withUs(good, 0x28, 0x10, 0)), "Rows");
    expectRefused(kDicom, write("cols0.dcm", withUs(good, 0x28, 0x11, 0)), "Rows");
    // Unsigned 16-bit sizes are named as the file holds them, not sign-extended.
    expectRefused(kDicom, write("cols40000.dcm", withUs(good, 0x28, 0x11, 40000)), "40000 x 180");
    // Found by the round-trip fuzz target: 32768 rows once read back sign-extended, -32768.
    expectRefused(kDicom, write("rows32768.dcm", withUs(good, 0x28, 0x10, 32768)), "200 x 32768");
    expectRefused(kDicom, write("rows65535.dcm", withUs(good, 0x28, 0x10, 65535)),
                  "200 x 65535 has a side above");
    // Rows as a 4-byte value that takes in the next element's first bytes: far too many rows.
    auto wide = replaced(good, {0x28, 0, 0x10, 0, 'U', 'S', 2, 0}, {0x28, 0, 0x10, 0, 'U', 'L', 4, 0});
    expectRefused(kDicom, write("rows4.dcm", wide), "");
}

TEST_F(Refusal, PixelDataLengthsZeroOddUndefinedAndPastTheEnd)
{
    const auto good = goodBytes();
    const std::vector<uint8_t> ow{0xE0, 0x7F, 0x10, 0x00, 'O', 'W', 0, 0};
    auto setLength = [&](uint32_t length) {
        auto b = good;
        auto at = std::search(b.begin(), b.end(), ow.begin(), ow.end());
        for (int i = 0; i < 4; ++i) *(at + 8 + i) = static_cast<uint8_t>(length >> (8 * i));
        return b;
    };
    expectRefused(kDicom, write("len0.dcm", setLength(0)), "pixel data");
    expectRefused(kDicom, write("len-odd.dcm", setLength(71999)), "fewer than");
    expectRefused(kDicom, write("len-undefined.dcm", setLength(0xFFFFFFFF)), "pixel data");
    auto huge = setLength(0x7FFFFFF0);
    huge.resize(huge.size() - 2);
    expectRefused(kDicom, write("len-huge.dcm", huge), "ends before");
}

TEST_F(Refusal, TransferSyntaxBytesInThePreambleAreNoElement)
{
    // The walk starts after the preamble; the search alone would find this element first.
    auto bytes = goodBytes();
    std::vector<uint8_t> fakeSyntax{0x02, 0x00, 0x10, 0x00, 'U', 'I', 4, 0, '2', '.', '2', 0};
    std::copy(fakeSyntax.begin(), fakeSyntax.end(), bytes.begin() + 16);
    readWith(kDicom, write("preamble.dcm", bytes));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(pixels(0), dicom(200, 180, Syntax::ExplicitLittle).pixels);
}

TEST_F(Refusal, TruncatedAtEveryOffsetThroughTheHeader)
{
    const auto good = goodBytes();
    const std::vector<uint8_t> ow{0xE0, 0x7F, 0x10, 0x00, 'O', 'W'};
    const auto pixelsAt = static_cast<size_t>(std::search(good.begin(), good.end(), ow.begin(), ow.end()) - good.begin()) + 12;
    for (size_t cut = 0; cut < pixelsAt + 8; cut += cut < 140 ? 1 : 6) {
        expectRefused(kDicom, write("cut.dcm", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut))), "");
        if (HasFatalFailure() || HasFailure()) {
            ADD_FAILURE() << "cut at " << cut;
            return;
        }
    }
}

TEST_F(Refusal, BmpVariantsOtherThanEightBitUncompressed)
{
    expectRefused(kBmp, write("rgb.bmp", bmp8(4, 4, 24)), "24-bit");
    expectRefused(kBmp, write("rle.bmp", bmp8(4, 4, 8, 1)), "compressed");
    auto cut = bmp8(8, 8);
    cut.resize(1100);
    expectRefused(kBmp, write("cut.bmp", cut), "ends before");
    expectRefused(kBmp, write("text.bmp", std::vector<uint8_t>(100, 'x')), "not a BMP");
}

TEST_F(Refusal, TinyFilesOfZeroToThreeBytes)
{
    for (size_t n = 0; n <= 3; ++n) {
        expectRefused(kDicom, write("tiny" + std::to_string(n) + ".dcm", std::vector<uint8_t>(n, 0x02)), "");
    }
}

} // namespace
