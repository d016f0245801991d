// The detector list: which entries are usable, the messages for the others, and the file limit.
#include "form_load.h"
#include "preset_list.h"
#include "workspace_fixture.h"

#include <algorithm>

using namespace vantry;

namespace {

/// The reason parsePreset gives for `entry`, or "accepted".
std::string refusal(const std::string& entry)
{
    std::string error;
    return parsePreset(entry, error) ? "accepted" : error;
}

TEST(PresetFields, EveryNumericFieldMustBeWhollyANumberInItsRange)
{
    // One bad field per entry; the message names that field and quotes its text.
    const std::pair<const char*, const char*> cases[] = {
        {"D 10 10 0 1 0 0", "the pitch \"0\""},
        {"D 10 10 -0.1 1 0 0", "the pitch \"-0.1\""},
        {"D 10 10 abc 1 0 0", "the pitch \"abc\""},
        {"D 10 10 4abc 1 0 0", "the pitch \"4abc\""},
        {"D 10 10 1e39 1 0 0", "the pitch \"1e39\""},  // finite as a double, not as a float
        {"D 10 10 1e-50 1 0 0", "the pitch \"1e-50\""}, // positive, but 0 as a float
        {"D 10 10 0.1 0 0 0", "the encoding \"0\""},
        {"D 10 10 0.1 -5 0 0", "the encoding \"-5\""},
        {"D 10 10 0.1 40000 0 0", "the encoding \"40000\""},
        {"D 10 10 0.1 1x 0 0", "the encoding \"1x\""},
        {"D 4abc 10 0.1 1 0 0", "the width \"4abc\""},
        {"D 32768 10 0.1 1 0 0", "the width \"32768\""},
        {"D -1 10 0.1 1 0 0", "the width \"-1\""},
        {"D 10 1e9 0.1 1 0 0", "the height \"1e9\""},
        {"D 10 10 0.1 1 32768 0", "the offset \"32768\""},
        {"D 10 10 0.1 1 0 -1", "the header \"-1\""},
        {"D 10 10 0.1 1 0 2147483648", "the header \"2147483648\""},
    };
    for (const auto& [entry, field] : cases) {
        const std::string why = refusal(entry);
        EXPECT_NE(why.find(field), std::string::npos) << entry << ": " << why;
        EXPECT_NE(why.find(std::string("\"") + entry + "\""), std::string::npos) << why;
    }
}

TEST(PresetFields, UsableEntriesKeepTheirValuesAndRoundingRule)
{
    std::string error;
    const auto p = parsePreset("CR-log 1760 2140 0.1 1000 -20 2048", error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->width, 1760);
    EXPECT_EQ(p->height, 2140);
    EXPECT_FLOAT_EQ(p->pitch, 0.1f);
    EXPECT_EQ(p->encoding, 1000);
    EXPECT_EQ(p->offset, -20);
    EXPECT_EQ(p->header, 2048);
    const auto q = parsePreset("X 2.5 1E2 1d-1 +1 -32768 2147483647 trailing fields", error);
    ASSERT_TRUE(q) << error;
    EXPECT_EQ(q->width, 2) << "ties round to even";
    EXPECT_EQ(q->height, 100);
    EXPECT_FLOAT_EQ(q->pitch, 0.1f) << "a D exponent is read as E";
    EXPECT_EQ(q->encoding, 1);
    EXPECT_EQ(q->offset, -32768);
    EXPECT_EQ(q->header, 2147483647);
}

TEST(PresetFields, OnlyADicomEntryMayTakeItsPitchFromTheFile)
{
    std::string error;
    const auto dicom = parsePreset("dicom-from-file 1 1 0 1 0 0", error);
    ASSERT_TRUE(dicom) << error;
    EXPECT_EQ(dicom->pitch, 0.0f);
    EXPECT_EQ(refusal("DICOM 1 1 0.0 1 0 0"), "accepted");
    EXPECT_NE(refusal("DICOM 1 1 -0.1 1 0 0").find("or 0 to take it from the file"), std::string::npos);
    EXPECT_NE(refusal("DICOM 1 1 1e-50 1 0 0").find("the pitch \"1e-50\""), std::string::npos)
        << "0 as a float, but not a 0 that was meant";
    const std::string raw = refusal("DICM 10 10 0 1 0 0");
    EXPECT_NE(raw.find("the pitch \"0\""), std::string::npos) << raw;
    EXPECT_EQ(raw.find("from the file"), std::string::npos) << "a raw entry needs a pitch";
}

TEST(PresetFields, TwoBlanksMakeAnEmptyFieldThatShiftsTheOthers)
{
    // An empty width reads as 0 (no size), with every later field in its place.
    std::string error;
    const auto empty = parsePreset("X  10 0.2 1 0 0", error);
    ASSERT_TRUE(empty) << error;
    EXPECT_EQ(empty->width, 0);
    EXPECT_EQ(empty->height, 10);
    EXPECT_FLOAT_EQ(empty->pitch, 0.2f);
    // A doubled blank in a full entry moves the pitch 0.1 into the encoding, where it rounds to 0.
    EXPECT_NE(refusal("TWO  2048 2048 0.1 1 0 0").find("the encoding \"0.1\""), std::string::npos);
    EXPECT_NE(refusal("D 10 10  0.1 1 0 0").find("the pitch \"\""), std::string::npos);
    EXPECT_NE(refusal("SHORT 10 10 0.1").find("seven"), std::string::npos);
}

TEST(PresetFields, AU16EntryTakesOffsetsUpTo65535AndOtherEighthFieldsAreIgnored)
{
    std::string error;
    const auto u16 = parsePreset("U 64 64 0.1 1 65535 0 u16", error);
    ASSERT_TRUE(u16) << error;
    EXPECT_TRUE(u16->unsignedPixels);
    EXPECT_EQ(u16->offset, 65535);
    EXPECT_EQ(refusal("U 64 64 0.1 1 65536 0 u16").find("from 0 to 65535 in a u16 entry") != std::string::npos, true);
    EXPECT_NE(refusal("U 64 64 0.1 1 -1 0 u16"), "accepted");
    EXPECT_NE(refusal("S 64 64 0.1 1 32768 0"), "accepted");
    const auto other = parsePreset("S 64 64 0.1 1 -5 0 U16", error);
    ASSERT_TRUE(other) << error;
    EXPECT_FALSE(other->unsignedPixels) << "only the exact field u16";
    EXPECT_EQ(other->offset, -5);
    Workspace ws;
    loadPresetSlot(ws, *u16);
    EXPECT_EQ(ws.PIXU16, 1);
    EXPECT_EQ(ws.PIXOFS, 65535);
}

TEST(PresetFields, EmptyNumericFieldsAreNamed)
{
    EXPECT_EQ(emptyPresetFields("E 64 64 0.1 1  0"), (std::vector<std::string>{"offset"}));
    EXPECT_EQ(emptyPresetFields("E  64 0.1 1 0 "), (std::vector<std::string>{"width", "header"}));
    EXPECT_TRUE(emptyPresetFields("E 64 64 0.1 1 0 0").empty());
    EXPECT_TRUE(emptyPresetFields(" 64 64 0.1 1 0 0").empty()) << "an empty name is not a number";
}

TEST(PresetFields, RefusedEntriesAreListedWithTheirLineInFileOrder)
{
    const std::vector<std::string> entries = {"GOOD 10 10 0.1 1 0 0", "BAD 10 10 0 1 0 0",
                                              "GOOD2 1 1 0.2 1 0 0", "WORSE 10 10 0.1 7x 0 0"};
    const auto refused = refusedPresets(entries);
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_EQ(refused[0].rfind("Line 3 of the detector list: ", 0), 0u) << refused[0];
    EXPECT_NE(refused[0].find("\"BAD 10 10 0 1 0 0\""), std::string::npos) << refused[0];
    EXPECT_NE(refused[0].find("pitch"), std::string::npos) << refused[0];
    EXPECT_EQ(refused[1].rfind("Line 5 of the detector list: ", 0), 0u) << refused[1];
    EXPECT_NE(refused[1].find("encoding"), std::string::npos) << refused[1];
    EXPECT_TRUE(refusedPresets({"A 1 1 0.1 1 0 0"}).empty());
}

class PresetListFile : public WorkspaceFixture {};

TEST_F(PresetListFile, ListUpTo1MiBIsReadAndALongerOneStopsStartUp)
{
    const std::string header = "Detector Width Height Pitch Encoding Offset Header\n";
    const std::string entry = "DICOM 1 1 0.1 1 0 0\n";
    std::string list = header + entry;
    list += std::string(kMaxListBytes - list.size() - 1, 'x') + "\n"; // exactly 1 MiB
    writeList(list);
    EXPECT_EQ(readPresetList(folder / kListFileName).entries.size(), 2u);
    ASSERT_TRUE(Form_Load(k)) << (host.messages.empty() ? "" : host.messages.back());

    writeList(list + "y");
    const auto tooLong = readPresetList(folder / kListFileName);
    EXPECT_TRUE(tooLong.entries.empty());
    EXPECT_NE(tooLong.error.find("longer than 1 MiB"), std::string::npos) << tooLong.error;
    KernelBinding again(VANTRY_BIN_DIR);
    Korvelf fresh(host, again);
    fresh.ws.programFolder = folder;
    host.messages.clear();
    EXPECT_FALSE(Form_Load(fresh));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("VYLIST.TXT"), std::string::npos) << host.messages[0];
    EXPECT_TRUE(fresh.form.CMB1.List.empty());
}

TEST_F(PresetListFile, StartUpKeepsRefusedEntriesAndNamesThemOnStderr)
{
    writeList("h\nGOOD 10 10 0.1 1 0 0\nBAD 10 10 abc 1 0 0\n");
    testing::internal::CaptureStderr();
    const bool started = Form_Load(k);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(started);
    EXPECT_TRUE(host.messages.empty()) << "no message box at start-up";
    EXPECT_EQ(k.form.CMB1.List.size(), 2u) << "the entry stays in the chooser";
    EXPECT_EQ(err.rfind("Line 3 of the detector list: ", 0), 0u) << err;
    EXPECT_NE(err.find("the pitch \"abc\""), std::string::npos) << err;
    EXPECT_EQ(err.find("GOOD"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "listed once";
}

} // namespace
