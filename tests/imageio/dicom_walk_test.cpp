// The data set walk on byte-built files, one for each way the element search goes wrong, and
// what the reader makes of what the walk finds: big endian, multi-frame, compressed and unsigned
// pixels, and the pitch taken from the file.
#include "dicom_layout.h"
#include "dicom_walk.h"
#include "reading_fixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace vantry;
using samples::DicomImage;
using samples::ElementWriter;
using samples::Syntax;

namespace {

class DicomWalk : public ReadingFixture {
protected:
    void SetUp() override
    {
        start({"DICOM 1 1 0.1 1 0 0", "DICOM-FILE-PITCH 1 1 0 1 0 0", "DICOM-OFS 1 1 0.1 1 32767 0",
               "DICOM-OFS7232 1 1 0.1 1 7232 0", "DICOM-OFS7233 1 1 0.1 1 7233 0",
               "DICOM-OFS32768 1 1 0.1 1 32768 0 u16"});
    }
    static constexpr int kDicom = 0, kFilePitch = 1, kOffset32767 = 2, kOffset7232 = 3, kOffset7233 = 4,
                         kOffset32768 = 5;

    /// Reads the image's file with entry `entry`; the message of a refusal, or "".
    std::string readImage(const DicomImage& image, int entry = kDicom, const std::string& name = "f.dcm")
    {
        host.messages.clear();
        readWith(entry, write(name, samples::dicomBytes(image)));
        return host.messages.empty() ? "" : host.messages.back();
    }
    /// The image reads through the walk with its own size and pixels (the first frame's).
    void expectReadByTheWalk(const DicomImage& image, int entry = kDicom)
    {
        const std::string refusal = readImage(image, entry);
        ASSERT_EQ(refusal, "");
        EXPECT_EQ(k.ws.READFACTS[0].elementsFrom, "walk");
        EXPECT_EQ(k.ws.XSZ[0], image.columns);
        EXPECT_EQ(k.ws.YSZ[0], image.rows);
        const std::vector<int16_t> first(image.pixels.begin(),
                                         image.pixels.begin() + static_cast<long>(image.columns) * image.rows);
        EXPECT_EQ(pixels(0), first);
    }
    /// The layout the element search alone finds in the image's file.
    DicomLayout searched(const DicomImage& image, std::string& refusal)
    {
        return searched(samples::dicomBytes(image), refusal);
    }
    DicomLayout searched(const std::vector<uint8_t>& bytes, std::string& refusal)
    {
        k.ws.FILEBUF.assign(bytes.begin(), bytes.end());
        DicomLayout l;
        refusal = layoutFromSearch(k.ws, l);
        k.ws.FILEBUF.clear();
        return l;
    }
    /// The walk reached the pixels and finds the size and pixel offset the search found.
    static void expectSameLayout(const DataSetWalk& walk, const DicomLayout& searchedLayout)
    {
        ASSERT_TRUE(walk.reachedPixelData) << walk.stop;
        DicomLayout l;
        ASSERT_EQ(layoutFromWalk(walk, l), "");
        EXPECT_EQ(l.width, searchedLayout.width);
        EXPECT_EQ(l.height, searchedLayout.height);
        EXPECT_EQ(l.offset, searchedLayout.offset);
    }
    static DicomImage image(int32_t w, int32_t h, Syntax syntax = Syntax::ExplicitLittle)
    {
        return dicom(w, h, syntax);
    }
};

/// A private element (0029,1010) of `bytes` bytes.
std::function<void(ElementWriter&)> privateBlock(size_t bytes)
{
    return [bytes](ElementWriter& w) {
        w.text(0x0029, 0x0010, "LO", "VANTRY TEST");
        w.element(0x0029, 0x1010, "OB", std::vector<uint8_t>(bytes, 0x28));
    };
}

TEST_F(DicomWalk, ValueHoldingTheBytesOfRowsDoesNotChangeTheSize)
{
    const auto img = image(300, 256);
    // The photometric value, which the search passes on its way to Rows, holds a Rows element of
    // 128 in its ten bytes.
    auto bytes = samples::dicomBytes(img);
    const std::string photometric = "MONOCHROME";
    const std::vector<uint8_t> fakeRows{0x28, 0x00, 0x10, 0x00, 'U', 'S', 2, 0, 0x80, 0x00};
    std::copy(fakeRows.begin(), fakeRows.end(),
              std::search(bytes.begin(), bytes.end(), photometric.begin(), photometric.end()));
    std::string refusal;
    EXPECT_EQ(searched(bytes, refusal).height, 128) << "the search takes the bytes in the value for Rows";
    EXPECT_EQ(refusal, "") << "and would read a sheared image";
    readWith(kDicom, write("fake-rows.dcm", bytes));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(k.ws.YSZ[0], 256);
    EXPECT_EQ(pixels(0), img.pixels);
}

TEST_F(DicomWalk, SequenceWhoseLengthBytesAreTheTagOfSamplesPerPixel)
{
    // A valid sequence of length 0x00020028: its length field reads as the tag (0028,0002).
    auto img = image(200, 180);
    img.afterPatient = [](ElementWriter& w) {
        w.beginSequence(0x0008, 0x1140, false);
        w.beginItem(false);
        w.element(0x0009, 0x1001, "OB", std::vector<uint8_t>(0x00020028 - 8 - 12, 7));
        w.endItem();
        w.endSequence();
    };
    std::string refusal;
    searched(img, refusal);
    EXPECT_NE(refusal.find("samples per pixel (colour)"), std::string::npos) << "[" << refusal << "]";
    expectReadByTheWalk(img);
}

TEST_F(DicomWalk, PrivateDataBeyondTheSearchWindowAndPixelsBeyondByte800000)
{
    for (size_t bytes : {size_t{70} << 10, size_t{900000}}) {
        auto img = image(200, 180);
        img.beforePixelData = privateBlock(bytes);
        std::string refusal;
        searched(img, refusal);
        EXPECT_NE(refusal.find("pixel data was not found"), std::string::npos) << bytes;
        expectReadByTheWalk(img);
        EXPECT_GT(k.ws.HDOFS[0], static_cast<int32_t>(bytes));
    }
}

TEST_F(DicomWalk, IconImageSequenceWithItsOwnPixelDataBeforeTheImage)
{
    auto img = image(200, 180);
    img.beforePixelData = [](ElementWriter& w) {
        w.beginSequence(0x0088, 0x0200, true);
        w.beginItem(true);
        w.us(0x0028, 0x0010, 256);
        w.us(0x0028, 0x0011, 256);
        w.us(0x0028, 0x0100, 16);
        w.element(0x7FE0, 0x0010, "OW", std::vector<uint8_t>(256 * 256 * 2, 0x11));
        w.endItem();
        w.endSequence();
    };
    std::string refusal;
    const DicomLayout l = searched(img, refusal);
    ASSERT_EQ(refusal, "") << "the search reads the icon's pixels as the image";
    EXPECT_LT(l.offset, samples::dicomBytes(img).size() - 200 * 180 * 2 - 8);
    expectReadByTheWalk(img);
}

TEST_F(DicomWalk, UndefinedLengthPrivateSequencesNestedInBothSyntaxes)
{
    for (Syntax syntax : {Syntax::ExplicitLittle, Syntax::ImplicitLittle, Syntax::ExplicitBig}) {
        auto img = image(120, 90, syntax);
        img.beforePixelData = [](ElementWriter& w) {
            w.beginSequence(0x0029, 0x1020, true);
            w.beginItem(true);
            w.text(0x0029, 0x1030, "LO", "outer");
            w.beginSequence(0x0029, 0x1040, true);
            w.beginItem(false); // defined length inside undefined
            w.element(0x7FE0, 0x0010, "OW", std::vector<uint8_t>(70000, 0x28));
            w.endItem();
            w.beginItem(true);
            w.beginSequence(0x0029, 0x1050, false);
            w.beginItem(true);
            w.us(0x0028, 0x0010, 7);
            w.endItem();
            w.endSequence();
            w.endItem();
            w.endSequence();
            w.endItem();
            w.beginItem(true);
            w.endItem();
            w.endSequence();
        };
        SCOPED_TRACE(static_cast<int>(syntax));
        expectReadByTheWalk(img);
    }
}

TEST_F(DicomWalk, UnknownVrOfUndefinedLengthHoldsImplicitItems)
{
    auto img = image(64, 64);
    img.beforePixelData = [](ElementWriter& w) {
        w.raw({0x29, 0x00, 0x60, 0x10, 'U', 'N', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
        ElementWriter inner(Syntax::ImplicitLittle);
        inner.beginItem(true);
        inner.us(0x0028, 0x0010, 3); // implicit: no VR in the item's elements
        inner.endItem();
        inner.raw({0xFE, 0xFF, 0xDD, 0xE0, 0, 0, 0, 0});
        w.raw(inner.bytes());
    };
    expectReadByTheWalk(img);
}

/// `depth` sequences of undefined length, each in an item of the one around it.
std::function<void(ElementWriter&)> nested(int depth)
{
    return [depth](ElementWriter& w) {
        for (int i = 0; i < depth; ++i) {
            w.beginSequence(0x0029, 0x1070, true);
            w.beginItem(true);
        }
        for (int i = 0; i < depth; ++i) {
            w.endItem();
            w.endSequence();
        }
    };
}

TEST_F(DicomWalk, NestingUpToTheDepthLimitAndTwoHundredThousandDeep)
{
    auto img = image(200, 180);
    img.beforePixelData = nested(kMaxSequenceDepth);
    expectReadByTheWalk(img);

    img.beforePixelData = nested(kMaxSequenceDepth + 1);
    const auto bytes = samples::dicomBytes(img);
    const DataSetWalk walk = walkDataSet(bytes.data(), bytes.size());
    EXPECT_FALSE(walk.reachedPixelData);
    EXPECT_NE(walk.stop.find("nested deeper than 64 levels"), std::string::npos) << walk.stop;

    img.beforePixelData = nested(200000);
    const std::string refusal = readImage(img);
    EXPECT_NE(refusal.find("nested deeper than 64 levels"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("pixel data was not found"), std::string::npos) << "the search decided";
}

TEST_F(DicomWalk, MalformedStructuresStopTheWalkWithTheirReason)
{
    auto img = image(200, 180);
    const auto walkOf = [&](const std::function<void(ElementWriter&)>& extra) {
        img.beforePixelData = extra;
        const auto bytes = samples::dicomBytes(img);
        return walkDataSet(bytes.data(), bytes.size());
    };
    const struct {
        const char* what;
        std::function<void(ElementWriter&)> extra;
        const char* reason;
    } cases[] = {
        {"odd", [](ElementWriter& w) { w.raw({0x29, 0, 0x10, 0x10, 'L', 'O', 3, 0, 'a', 'b', 'c'}); },
         "(0029,1010) at byte"},
        {"past end", [](ElementWriter& w) { w.raw({0x29, 0, 0x10, 0x10, 'O', 'B', 0, 0, 0, 0, 0, 0x40}); },
         "past the end of the file"},
        {"unknown VR", [](ElementWriter& w) { w.raw({0x29, 0, 0x10, 0x10, 'Q', 'Q', 2, 0, 1, 2}); },
         "unknown VR \"QQ\""},
        {"element in sequence",
         [](ElementWriter& w) {
             w.beginSequence(0x0029, 0x1020, true);
             w.us(0x0028, 0x0010, 5);
         },
         "where an item should be"},
        {"undefined text",
         [](ElementWriter& w) { w.raw({0x29, 0, 0x10, 0x10, 'U', 'T', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}); },
         "which its VR \"UT\" does not allow"},
    };
    for (const auto& c : cases) {
        const DataSetWalk walk = walkOf(c.extra);
        EXPECT_FALSE(walk.reachedPixelData) << c.what;
        EXPECT_NE(walk.stop.find(c.reason), std::string::npos) << c.what << ": " << walk.stop;
    }
    EXPECT_NE(walkOf(cases[0].extra).stop.find("odd length, 3 bytes"), std::string::npos);
}

TEST_F(DicomWalk, TruncatedItemIsRefusedWithTheWalksReason)
{
    auto img = image(200, 180);
    img.beforePixelData = [](ElementWriter& w) {
        w.beginSequence(0x0029, 0x1020, true);
        w.beginItem(true);
        w.element(0x0029, 0x1030, "OB", std::vector<uint8_t>(64, 1));
    };
    auto bytes = samples::dicomBytes(img);
    const std::vector<uint8_t> ow{0xE0, 0x7F, 0x10, 0x00, 'O', 'W'};
    bytes.erase(std::search(bytes.begin(), bytes.end(), ow.begin(), ow.end()), bytes.end());
    bytes.erase(bytes.end() - 20, bytes.end()); // into the private value
    readWith(kDicom, write("cut-item.dcm", bytes));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("past the end of the file"), std::string::npos) << host.messages[0];
    EXPECT_EQ(k.ws.LOADED[0], 0);
}

TEST_F(DicomWalk, FileTheWalkCannotFollowIsStillReadByTheSearch)
{
    auto img = image(200, 180);
    img.afterPatient = [](ElementWriter& w) { w.raw({0x10, 0, 0x20, 0, 'Q', 'Q', 4, 0, 'I', 'D', '7', ' '}); };
    ASSERT_EQ(readImage(img), "");
    EXPECT_EQ(k.ws.READFACTS[0].elementsFrom, "search");
    EXPECT_NE(k.ws.READFACTS[0].walkStop.find("unknown VR \"QQ\""), std::string::npos);
    EXPECT_EQ(pixels(0), img.pixels);
}

TEST_F(DicomWalk, SearchPassesByATagInsideAValueTheWalkSteppedOver)
{
    // The Patient Name's value holds the bytes of the elements the search looks for before Rows,
    // and of a Rows of 64; the walk stepped over it before it stopped at the unknown VR, so the
    // search must take the real elements behind it.
    auto img = image(200, 180);
    img.patientName = std::string("\x18\x00\x60\x00" "DS\x02\x00" "70"
                                  "\x18\x00\x52\x11" "IS\x02\x00" "2 "
                                  "\x28\x00\x10\x00" "US\x02\x00\x40\x00", 30);
    img.afterPatient = [](ElementWriter& w) { w.raw({0x10, 0, 0x20, 0, 'Q', 'Q', 4, 0, 'I', 'D', '7', ' '}); };
    ASSERT_EQ(readImage(img), "");
    EXPECT_EQ(k.ws.READFACTS[0].elementsFrom, "search");
    EXPECT_EQ(k.ws.YSZ[0], 180);
    EXPECT_EQ(pixels(0), img.pixels);
    EXPECT_TRUE(k.ws.TAGHIDDEN.empty()) << "the spans belong to the file just read";
}

TEST_F(DicomWalk, FilesWithoutMetaGroupInEitherLittleEndianSyntax)
{
    for (Syntax syntax : {Syntax::ImplicitLittle, Syntax::ExplicitLittle}) {
        auto img = image(150, 100, syntax);
        img.preamble = false;
        SCOPED_TRACE(static_cast<int>(syntax));
        expectReadByTheWalk(img);
        EXPECT_EQ(k.ws.READFACTS[0].transferSyntax, "");
    }
}

TEST_F(DicomWalk, FileWithoutPreambleWhoseValueHoldsDicmAtByte128)
{
    // Found by the round-trip fuzz target.
    auto img = image(150, 100, Syntax::ExplicitLittle);
    img.preamble = false;
    img.patientName = std::string(200, 'A');
    auto bytes = samples::dicomBytes(img);
    const std::string name(200, 'A');
    const auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
    ASSERT_LT(at - bytes.begin(), 128);
    std::copy_n("DICM", 4, bytes.begin() + 128);
    readWith(kDicom, write("dicm-in-name.dcm", bytes));
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(k.ws.READFACTS[0].elementsFrom, "walk");
    EXPECT_EQ(pixels(0), img.pixels);
}

TEST_F(DicomWalk, BigEndianPixelsAreSwapped)
{
    auto img = image(130, 70, Syntax::ExplicitBig);
    img.pixelRepresentation = 1;
    img.pixels[0] = -2;
    img.pixels[1] = 0x1234;
    img.pixels[2] = 32767;
    expectReadByTheWalk(img);
    EXPECT_EQ(pixels(0)[1], 0x1234);
}

TEST_F(DicomWalk, MultiFrameFileReadsItsFirstFrameAndSaysSo)
{
    auto img = image(100, 80);
    img.frames = 3;
    img.pixels.resize(3 * 100 * 80);
    for (size_t i = 0; i < img.pixels.size(); ++i) img.pixels[i] = static_cast<int16_t>(i / 8000 * 1000 + i % 97);
    k.disp.DISPW = k.disp.DISPH = 400;
    expectReadByTheWalk(img);
    EXPECT_EQ(k.ws.READFACTS[0].frames, 3);
    EXPECT_NE(k.form.Caption.find("frame 1 of 3"), std::string::npos) << k.form.Caption;
}

TEST_F(DicomWalk, CompressedPixelDataIsRefusedNamingItsTransferSyntax)
{
    auto bytes = samples::dicomBytes(image(100, 80));
    const std::string uid = std::string("1.2.840.10008.1.2.1") + '\0';
    const auto at = std::search(bytes.begin(), bytes.end(), uid.begin(), uid.end()) - bytes.begin();
    ElementWriter syntax(Syntax::ExplicitLittle);
    syntax.text(0x0002, 0x0010, "UI", "1.2.840.10008.1.2.4.91"); // two bytes longer
    bytes.erase(bytes.begin() + at - 8, bytes.begin() + at + 20);
    bytes.insert(bytes.begin() + at - 8, syntax.bytes().begin(), syntax.bytes().end());
    bytes[140] = static_cast<uint8_t>(bytes[140] + 2); // the meta group's length, below 254
    const std::vector<uint8_t> ow{0xE0, 0x7F, 0x10, 0x00, 'O', 'W', 0, 0};
    bytes.erase(std::search(bytes.begin(), bytes.end(), ow.begin(), ow.end()), bytes.end());
    // Pixel Data of undefined length: an empty offset table, one fragment, the delimiter.
    const std::vector<uint8_t> fragments{0xE0, 0x7F, 0x10, 0x00, 'O', 'B', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0xFE, 0xFF, 0x00, 0xE0, 0, 0, 0, 0, 0xFE, 0xFF, 0x00, 0xE0, 4, 0, 0, 0,
                                         0xFF, 0x4F, 0xFF, 0x51, 0xFE, 0xFF, 0xDD, 0xE0, 0, 0, 0, 0};
    bytes.insert(bytes.end(), fragments.begin(), fragments.end());
    readWith(kDicom, write("j2k.dcm", bytes));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("compressed (transfer syntax 1.2.840.10008.1.2.4.91, JPEG 2000)"),
              std::string::npos)
        << host.messages[0];
}

TEST_F(DicomWalk, UnsignedPixelsAbove32767NeedAnOffsetThatBringsThemIntoRange)
{
    auto img = image(64, 32);
    img.pixels[5] = static_cast<int16_t>(40000); // stored unsigned: 40000
    img.pixels[6] = 0;
    const std::string refusal = readImage(img);
    EXPECT_NE(refusal.find("reach 40000"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("limit 32767"), std::string::npos);
    EXPECT_NE(refusal.find("offset of 7233 or more"), std::string::npos);
    EXPECT_NE(readImage(img, kOffset7232), "") << "one short of the offset needed";
    ASSERT_EQ(readImage(img, kOffset7233), "");
    EXPECT_EQ(pixels(0)[5], 32767);
    EXPECT_EQ(pixels(0)[6], -7233);
    ASSERT_EQ(readImage(img, kOffset32767), "");
    EXPECT_EQ(pixels(0)[5], 40000 - 32767);
    EXPECT_EQ(pixels(0)[6], -32767);

    img.pixels[5] = -1; // 65535: only a u16 entry holds the offset that brings it into range
    const std::string full = readImage(img, kOffset32767);
    EXPECT_NE(full.find("reach 65535 less the detector list entry's offset 32767"), std::string::npos) << full;
    EXPECT_NE(full.find("offset of 32768 or more (and the field u16"), std::string::npos) << full;
    ASSERT_EQ(readImage(img, kOffset32768), "");
    EXPECT_EQ(pixels(0)[5], 32767);
    EXPECT_EQ(pixels(0)[6], -32768);

    img.pixels[5] = static_cast<int16_t>(40000);
    img.pixelRepresentation = 1; // the same bytes, signed: read as stored
    ASSERT_EQ(readImage(img), "");
    EXPECT_EQ(pixels(0)[5], static_cast<int16_t>(40000));
    ASSERT_EQ(readImage(img, kOffset32767), "");
    EXPECT_EQ(pixels(0), img.pixels) << "signed pixels keep no offset, as before";
}

TEST_F(DicomWalk, PitchOfZeroTakesTheImagerPixelSpacingThenThePixelSpacing)
{
    auto img = image(64, 48);
    img.pitchMm = 0.15;
    img.imagerPixelSpacing = "0.139\\0.139";
    ASSERT_EQ(readImage(img, kFilePitch), "");
    EXPECT_FLOAT_EQ(k.ws.PIXMM[0], 0.139f);
    EXPECT_EQ(k.ws.READFACTS[0].pitchFrom, "imager-pixel-spacing");
    ASSERT_EQ(readImage(img, kDicom), "");
    EXPECT_FLOAT_EQ(k.ws.PIXMM[0], 0.1f) << "a pitch in the entry wins";
    EXPECT_EQ(k.ws.READFACTS[0].pitchFrom, "preset");

    img.imagerPixelSpacing.clear();
    ASSERT_EQ(readImage(img, kFilePitch), "");
    EXPECT_FLOAT_EQ(k.ws.PIXMM[0], 0.15f);
    EXPECT_EQ(k.ws.READFACTS[0].pitchFrom, "pixel-spacing");
}

TEST_F(DicomWalk, PitchFromAFileWithoutOrWithUnusableSpacingIsRefused)
{
    auto img = image(64, 48);
    ASSERT_EQ(readImage(img), "");
    const struct {
        double pitch;
        const char* imager;
        const char* reason;
    } cases[] = {
        {0, "", "gives no pixel spacing"},
        {0.1, "-0.1\\-0.1", "negative"},
        {0.1, "0\\0", "zero"},
        {0.1, "0.1\\0.12", "not square"},
        {0.1, "abc", "not a pair of numbers"},
    };
    for (const auto& c : cases) {
        img.pitchMm = c.pitch;
        img.imagerPixelSpacing = c.imager;
        const std::string refusal = readImage(img, kFilePitch, "spacing.dcm");
        EXPECT_NE(refusal.find(c.reason), std::string::npos) << c.imager << ": " << refusal;
        EXPECT_FLOAT_EQ(k.ws.PIXMM[0], 0.1f) << "the view keeps the pitch of its image";
        EXPECT_EQ(k.ws.READFACTS[0].pitchFrom, "preset");
    }
    const std::string bmp = readImage(img, kFilePitch, "picture.bmp");
    EXPECT_NE(bmp.find("only a DICOM file gives the pitch"), std::string::npos) << bmp;
}

TEST_F(DicomWalk, WalkAndSearchAgreeOnEveryFileTheSearchReads)
{
    std::vector<DicomImage> images;
    for (Syntax syntax : {Syntax::ExplicitLittle, Syntax::ImplicitLittle}) {
        for (auto [w, h] : {std::pair{200, 180}, std::pair{1024, 64}, std::pair{37, 2000}}) {
            images.push_back(image(w, h, syntax));
            images.back().patientName = "NAME^" + std::to_string(w);
        }
    }
    images.push_back(image(300, 256));
    images.back().beforePixelData = privateBlock(30000);
    int agreed = 0;
    for (const auto& img : images) {
        std::string refusal;
        const DicomLayout s = searched(img, refusal);
        ASSERT_EQ(refusal, "");
        const auto bytes = samples::dicomBytes(img);
        const DataSetWalk walk = walkDataSet(bytes.data(), bytes.size());
        expectSameLayout(walk, s);
        ++agreed;
    }
    EXPECT_EQ(agreed, 7);
}

TEST_F(DicomWalk, WalkAndSearchAgreeOnEveryFetchedRealFileTheSearchReads)
{
    namespace fs = std::filesystem;
    const fs::path files = VANTRY_TEST_DICOM_FILES;
    ASSERT_TRUE(fs::is_directory(files / "pydicom")) << files << " is missing: run scripts/fetch-test-dicom.sh";
    int searchReads = 0, walked = 0;
    for (const fs::path& place : {files, files / "pydicom"}) {
        for (const auto& entry : fs::directory_iterator(place)) {
            if (entry.path().extension() != ".dcm") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const DataSetWalk walk = walkDataSet(bytes.data(), bytes.size());
            walked += walk.reachedPixelData ? 1 : 0;
            std::string refusal;
            const DicomLayout s = searched(bytes, refusal);
            if (!refusal.empty()) continue;
            ++searchReads;
            SCOPED_TRACE(entry.path().string());
            expectSameLayout(walk, s);
        }
    }
    RecordProperty("search_reads", searchReads);
    RecordProperty("walked", walked);
    EXPECT_GE(searchReads, 1) << "the ankle CT at least";
    EXPECT_GE(walked, 40);
}

} // namespace

TEST_F(DicomWalk, RowsOrColumnsNotWrittenAsOneUsValueAreRefusedByName)
{
    // 256 x 256, then Rows rewritten as UL 65792 (0x10100): its low half is the 256 rows.
    std::vector<uint8_t> bytes = samples::dicomBytes(image(256, 256));
    const std::vector<uint8_t> rowsUs = {0x28, 0x00, 0x10, 0x00, 'U', 'S', 0x02, 0x00, 0x00, 0x01};
    const auto at = std::search(bytes.begin(), bytes.end(), rowsUs.begin(), rowsUs.end());
    ASSERT_NE(at, bytes.end());
    const std::vector<uint8_t> rowsUl = {0x28, 0x00, 0x10, 0x00, 'U', 'L', 0x04, 0x00, 0x00, 0x01, 0x01, 0x00};
    const auto offset = at - bytes.begin();
    bytes.erase(at, at + static_cast<std::ptrdiff_t>(rowsUs.size()));
    bytes.insert(bytes.begin() + offset, rowsUl.begin(), rowsUl.end());
    host.messages.clear();
    readWith(kDicom, write("ul.dcm", bytes));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("its Rows (0028,0010) is written as UL with 4 bytes, not as one US value"),
              std::string::npos)
        << host.messages[0];
    EXPECT_EQ(k.ws.LOADED[0], 0) << "nothing is read";
    // The same file with Rows as US still reads.
    EXPECT_EQ(readImage(image(256, 256)), "");
}
