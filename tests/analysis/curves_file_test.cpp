// The curves file as text: every stored field comes back bit for bit, a file merges into the
// store by data number, and a malformed or foreign file is refused with the line and field at
// fault while the store stays exactly as it was.
#include "curves_file.h"
#include "mtf_summary.h"

#include "text_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

using namespace vantry;

namespace {

/// A store with an MTF with standard errors under 2, one without under 5 (pitch 0.143), a
/// normalised noise curve under 2 (the same number as an MTF) and an absolute one under 4.
VylsfRecord filledStore()
{
    VylsfRecord r;
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0, 1);
    const auto fillMtf = [&](size_t slot, int n, float step, bool withErrors, float pitch) {
        r.MTFNUM[slot] = static_cast<int16_t>(n);
        for (int i = 0; i < n; ++i) {
            r.MTFFRQ[slot][i] = static_cast<float>(i) * step;
            r.MTFVAL[slot][i] = std::exp(-static_cast<float>(i) * step) * (1 + 0.01f * unit(rng));
            if (withErrors) r.MTFERR[slot][i] = 1e-4f * unit(rng);
        }
        r.MTFHASERR[slot] = withErrors ? 1 : 0;
        r.MTFPITCH[slot] = pitch;
        r.MTFSUM[slot] = summarizeMtf(r.MTFFRQ[slot].data(), r.MTFVAL[slot].data(), n, pitch);
    };
    fillMtf(1, 51, 0.1f, true, 0.1f);
    fillMtf(4, 512, 0.01f, false, 0.143f);
    const auto fillNoise = [&](size_t slot, int n, float step, float logLevel, int16_t raw, float pitch) {
        r.NPSNUM[slot] = static_cast<int16_t>(n);
        for (int i = 0; i < n; ++i) {
            r.NPSFRQ[slot][i] = static_cast<float>(i + 1) * step;
            r.NPSVAL[slot][i] = logLevel + 0.3f * unit(rng);
        }
        r.NPSRAW[slot] = raw;
        r.NPSPITCH[slot] = pitch;
    };
    fillNoise(1, 25, 0.19531f, -5.3f, 0, 0.1f);
    fillNoise(3, 25, 0.19531f, 1.7f, 1, 0.1f);
    r.DATALBL[1] = "DETX H \"P\" µm";
    r.DATALBL[3] = "FLAT R";
    r.DATALBL[4] = "tab\there";
    r.COLTAB[1] = 3;
    r.COLTAB[4] = 0;
    r.LASTMTFNO = 5;
    r.LASTNPSNO = 2;
    r.MTFFROM[1] = {"DETX H P", "/data/edge h.raw", "ab12", "DETX", 0.1, "preset", "10,10,256,128", "precise",
                    {{"angle", "3.000"}, {"FMAX", "5"}, {"FINT", "0.1"}}, "2026-12-08T05:15:29Z", "1.2.3"};
    r.NPSFROM[3] = {"FLAT R", "/data/flat.raw", "", "FLAT", 0.1, "pixel-spacing", "4,4,512,512", "2D-NPS",
                    {{"direction", "R"}}, "2026-12-08T06:00:00Z", "1.2.3"};
    return r;
}

template <typename T, size_t N>
bool sameBits(const std::array<T, N>& a, const std::array<T, N>& b)
{
    return std::memcmp(a.data(), b.data(), sizeof(T) * N) == 0;
}

void expectSameSource(const CurveSource& a, const CurveSource& b)
{
    EXPECT_EQ(a.label, b.label);
    EXPECT_EQ(a.path, b.path);
    EXPECT_EQ(a.sha256, b.sha256);
    EXPECT_EQ(a.preset, b.preset);
    EXPECT_EQ(a.pitchMm, b.pitchMm);
    EXPECT_EQ(a.pitchFrom, b.pitchFrom);
    EXPECT_EQ(a.roi, b.roi);
    EXPECT_EQ(a.method, b.method);
    EXPECT_EQ(a.settings, b.settings) << "in their order";
    EXPECT_EQ(a.date, b.date);
    EXPECT_EQ(a.version, b.version);
}

/// Everything a curves file restores, compared bit for bit.
void expectSameStore(const VylsfRecord& a, const VylsfRecord& b)
{
    EXPECT_EQ(a.MTFNUM, b.MTFNUM);
    EXPECT_EQ(a.NPSNUM, b.NPSNUM);
    for (size_t s = 0; s < kCurveSlots; ++s) {
        EXPECT_TRUE(sameBits(a.MTFFRQ[s], b.MTFFRQ[s])) << "MTF frequencies of slot " << s;
        EXPECT_TRUE(sameBits(a.MTFVAL[s], b.MTFVAL[s])) << "MTF values of slot " << s;
        EXPECT_TRUE(sameBits(a.MTFERR[s], b.MTFERR[s])) << "standard errors of slot " << s;
        EXPECT_TRUE(sameBits(a.NPSFRQ[s], b.NPSFRQ[s])) << "noise frequencies of slot " << s;
        EXPECT_TRUE(sameBits(a.NPSVAL[s], b.NPSVAL[s])) << "log10 powers of slot " << s;
        EXPECT_EQ(a.MTFSUM[s].mtf50, b.MTFSUM[s].mtf50) << s;
        EXPECT_EQ(a.MTFSUM[s].mtf10, b.MTFSUM[s].mtf10) << s;
        EXPECT_EQ(a.MTFSUM[s].nyquist, b.MTFSUM[s].nyquist) << s;
        expectSameSource(a.MTFFROM[s], b.MTFFROM[s]);
        expectSameSource(a.NPSFROM[s], b.NPSFROM[s]);
    }
    EXPECT_EQ(a.MTFHASERR, b.MTFHASERR);
    EXPECT_EQ(a.MTFPITCH, b.MTFPITCH);
    EXPECT_EQ(a.NPSPITCH, b.NPSPITCH);
    EXPECT_EQ(a.NPSRAW, b.NPSRAW);
    EXPECT_EQ(a.LASTMTFNO, b.LASTMTFNO);
    EXPECT_EQ(a.LASTNPSNO, b.LASTNPSNO);
    EXPECT_EQ(a.COLTAB, b.COLTAB);
    EXPECT_EQ(a.DATALBL, b.DATALBL);
}

/// Line (1-based) of the first occurrence of `needle` at or after `from`.
size_t lineOfText(const std::string& text, const std::string& needle, size_t from = 0)
{
    const size_t at = text.find(needle, from);
    EXPECT_NE(at, std::string::npos) << needle;
    return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

std::string replacedOnce(std::string text, const std::string& from, const std::string& to, size_t start = 0)
{
    const size_t at = text.find(from, start);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

/// The text with the first point of the curve after `from` replaced by `point`.
std::string withFirstPoint(const std::string& text, size_t from, const std::string& point)
{
    const size_t start = text.find("[\n        [", from) + 10;
    const size_t end = text.find(']', start) + 1;
    return text.substr(0, start) + point + text.substr(end);
}

} // namespace

TEST(CurvesFile, EveryStoredFieldComesBackBitForBit)
{
    const VylsfRecord before = filledStore();
    const std::string text = curvesFileText(before);
    VylsfRecord after;
    ASSERT_EQ(openCurvesFile(text, after), "");
    expectSameStore(before, after);
    // The report of a precise curve names its image from the file.
    EXPECT_EQ(after.MTFSOURCE[1].path, "/data/edge h.raw");
    EXPECT_EQ(after.MTFSOURCE[1].roi, "10,10,256,128");
    // Written again, the file is the same text: nothing drifts over repeated saves.
    EXPECT_EQ(curvesFileText(after), text);
}

TEST(CurvesFile, FileShowsShortNumbersPowersAndItsFormat)
{
    const VylsfRecord r = filledStore();
    const std::string text = curvesFileText(r);
    EXPECT_NE(text.find("\"format\": \"vantry-curves\""), std::string::npos);
    EXPECT_NE(text.find("\"version\": 1"), std::string::npos);
    EXPECT_NE(text.find("\"frequency\":\"cycles/mm\""), std::string::npos);
    // Frequencies as their shortest text: 0.1, not 0.10000000149011612.
    EXPECT_NE(text.find("[0.1,"), std::string::npos);
    EXPECT_EQ(text.find("0.10000000149"), std::string::npos);
    // The noise curves as powers: 10^NPSVAL, not the logarithm the store keeps.
    const std::string firstNoise = "[" + std::string("0.19531") + ",";
    const size_t at = text.find(firstNoise);
    ASSERT_NE(at, std::string::npos);
    const double power = std::stod(text.substr(at + firstNoise.size()));
    EXPECT_NEAR(std::log10(power), r.NPSVAL[1][0], 1e-6);
    EXPECT_NE(text.find("\"kind\": \"nps\""), std::string::npos) << "the absolute curve is told apart";
}

TEST(CurvesFile, OpenedCurvesTakeTheirNumbersAndOthersStay)
{
    VylsfRecord saved;
    saved.MTFNUM[2] = 4;
    for (int i = 0; i < 4; ++i) {
        saved.MTFFRQ[2][i] = 0.5f * static_cast<float>(i);
        saved.MTFVAL[2][i] = 1 - 0.2f * static_cast<float>(i);
    }
    saved.DATALBL[2] = "FROM FILE";
    saved.NPSNUM[1] = 4;
    for (int i = 0; i < 4; ++i) {
        saved.NPSFRQ[1][i] = 0.5f * static_cast<float>(i + 1);
        saved.NPSVAL[1][i] = -5;
    }
    saved.NPSRAW[1] = 1;
    const std::string text = curvesFileText(saved);

    VylsfRecord r = filledStore(); // MTF 2 and 5, noise 2 and 4; DQE offers noise 2
    ASSERT_EQ(openCurvesFile(text, r), "");
    EXPECT_EQ(r.MTFNUM[2], 4) << "the file's curve under its own number";
    EXPECT_EQ(r.MTFVAL[2][3], 1 - 0.2f * 3);
    EXPECT_EQ(r.MTFNUM[1], 51) << "a stored curve of another number stays";
    EXPECT_EQ(r.MTFNUM[4], 512);
    EXPECT_EQ(r.NPSNUM[3], 25);
    EXPECT_EQ(r.NPSNUM[1], 4) << "noise curve 2 replaced";
    EXPECT_EQ(r.NPSRAW[1], 1);
    EXPECT_EQ(r.LASTNPSNO, 0) << "an absolute curve under the offered number is never offered for the DQE";
    EXPECT_EQ(r.LASTMTFNO, 5) << "a file without a last MTF keeps the store's";
}

TEST(CurvesFile, BrokenForeignAndOutOfRangeFilesNameLineAndFieldAndChangeNothing)
{
    const VylsfRecord original = filledStore();
    const std::string good = curvesFileText(original);
    // The second curve (MTF 5) starts on the line of its "{" after the first curve's points.
    const size_t secondCurve = good.find("\"number\": 5");
    const size_t secondLine = lineOfText(good, "    {", good.rfind("    {", secondCurve));
    const size_t firstLine = lineOfText(good, "    {");

    std::string sixHundred = "{\"format\": \"vantry-curves\", \"version\": 1, \"curves\": [\n{\"number\": 1, "
                             "\"kind\": \"mtf\", \"label\": \"x\", \"colour\": 1, \"pitch\": 0.1, \"points\": [";
    for (int i = 0; i < 600; ++i) sixHundred += (i ? "," : "") + std::string("[") + std::to_string(i) + ", 0.5]";
    sixHundred += "]}]}";
    std::string deep = "{\"format\": \"vantry-curves\", \"version\": 1, \"curves\": ";
    deep += std::string(200, '[') + std::string(200, ']') + "}";

    const struct {
        const char* what;
        std::string text;
        std::string expected;
    } cases[] = {
        {"truncated", good.substr(0, good.size() / 2),
         "line " + std::to_string(lineOfText(good, good.substr(good.size() / 2 - 1, 1), good.size() / 2 - 1)) +
             ": not valid JSON"},
        {"foreign JSON", "{\n  \"name\": \"a chart\",\n  \"curves\": []\n}", "line 1: not a curves file: \"format\" is missing"},
        {"another format", "{\n  \"version\": 1,\n  \"format\": \"other\"\n}",
         "line 3: not a curves file: \"format\" is \"other\", not \"vantry-curves\""},
        {"a list", "[1, 2]", "line 1: the file holds array"},
        {"newer version", replacedOnce(good, "\"version\": 1", "\"version\": 2"), "line 3: the file is of version 2"},
        {"NaN as a text", withFirstPoint(good, secondCurve, "[0.0,\"NaN\"]"),
         "line " + std::to_string(secondLine) + ": curves[1].points[0][1] is \"NaN\", not a number"},
        {"NaN bare", withFirstPoint(good, secondCurve, "[0.0,NaN]"),
         "line " + std::to_string(lineOfText(good, "[\n        [", secondCurve) + 1) + ": not valid JSON"},
        {"600 points", sixHundred, "line 2: curves[0].points has 600 points; a curve holds 4 to 512"},
        {"data number 9", replacedOnce(good, "\"number\": 5", "\"number\": 9"),
         "line " + std::to_string(secondLine) + ": curves[1].number is 9, not a whole number from 1 to 7"},
        {"data number 0", replacedOnce(good, "\"number\": 2", "\"number\": 0"),
         "line " + std::to_string(firstLine) + ": curves[0].number is 0"},
        {"fractional number", replacedOnce(good, "\"number\": 2", "\"number\": 2.5"), "curves[0].number is 2.5"},
        {"unknown kind", replacedOnce(good, "\"kind\": \"mtf\"", "\"kind\": \"esf\""),
         "curves[0].kind is \"esf\", not \"mtf\", \"nnps\" or \"nps\""},
        {"points missing", replacedOnce(good, "\"points\"", "\"pointz\""), "curves[0].points is missing"},
        {"frequencies falling", replacedOnce(good, "[0.2,", "[0.05,"),
         "curves[0].points[2][0] does not follow curves[0].points[1][0]"},
        {"a repeated frequency", replacedOnce(good, "[0.2,", "[0.1,"), "curves[0].points[2][0] does not follow"},
        {"overflowing number", replacedOnce(good, "[0.1,", "[1e39,"), "beyond the range the store keeps"},
        {"huge number", replacedOnce(good, "[0.1,", "[1e999,"), "not"},
        {"mixed point widths", replacedOnce(good, "[0.1,", "[0.1, 0.5], [0.15,"), "like the first point"},
        {"negative power", replacedOnce(good, "]", "]", 0), ""}, // replaced below
        {"colour 16", replacedOnce(good, "\"colour\": 3", "\"colour\": 16"), "curves[0].colour is 16"},
        {"pitch negative", replacedOnce(good, "\"pitch\": 0.1,\n      \"source\"", "\"pitch\": -0.1,\n      \"source\""),
         "curves[0].pitch is -0.1"},
        {"second MTF 2", replacedOnce(good, "\"number\": 5", "\"number\": 2"), "curves[1].number: a second MTF curve No.2"},
        {"last MTF of no curve", replacedOnce(good, "\"lastMtf\": 5", "\"lastMtf\": 3"), "line 5: \"lastMtf\" is 3"},
        {"last NNPS an absolute curve", replacedOnce(good, "\"lastNnps\": 2", "\"lastNnps\": 4"), "\"lastNnps\" is 4"},
        {"source of wrong type", replacedOnce(good, "\"roi\":\"10,10,256,128\"", "\"roi\":[10]"),
         "curves[0].source.roi is [10], not a text"},
        {"nested too deep", deep, "line 1: nested deeper than 64 levels"},
        {"empty", "", "line 1: not valid JSON"},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        std::string expected = c.expected;
        if (std::string(c.what) == "negative power") {
            // The first point of the first noise curve (2): its power made negative.
            const size_t noise = good.find("\"kind\": \"nnps\"");
            const size_t point = good.find("[0.19531,", noise);
            text = good.substr(0, point) + "[0.19531, -1e-5]" + good.substr(good.find(']', point) + 1);
            expected = "curves[2].points[0][1] is -1e-05: a power is above 0";
        }
        VylsfRecord r = filledStore();
        const std::string error = openCurvesFile(text, r);
        EXPECT_NE(error.find(expected), std::string::npos) << c.what << ": " << error;
        EXPECT_FALSE(error.empty()) << c.what;
        SCOPED_TRACE(c.what);
        expectSameStore(original, r);
    }
}

TEST(CurvesFile, BoundsOfNumbersColoursAndPointCountsAreExact)
{
    // One MTF curve of `points` points under `number` in colour `colour`.
    const auto file = [](int number, int colour, int points) {
        std::string t = "{\"format\": \"vantry-curves\", \"version\": 1, \"curves\": [{\"number\": " +
                        std::to_string(number) + ", \"kind\": \"mtf\", \"label\": \"x\", \"colour\": " +
                        std::to_string(colour) + ", \"pitch\": 0, \"points\": [";
        for (int i = 0; i < points; ++i) t += (i ? ", [" : "[") + std::to_string(i) + ", 0.5]";
        return t + "]}]}";
    };
    const struct {
        int number, colour, points;
        bool accepted;
    } cases[] = {{1, 0, 4, true},    {7, 15, 512, true}, {0, 1, 4, false},  {8, 1, 4, false},
                 {1, -1, 4, false},  {1, 16, 4, false},  {1, 1, 3, false},  {1, 1, 513, false}};
    for (const auto& c : cases) {
        VylsfRecord r;
        const std::string error = openCurvesFile(file(c.number, c.colour, c.points), r);
        EXPECT_EQ(error.empty(), c.accepted) << c.number << " " << c.colour << " " << c.points << ": " << error;
        if (c.accepted) {
            EXPECT_EQ(r.MTFNUM[static_cast<size_t>(c.number - 1)], c.points);
            EXPECT_EQ(r.COLTAB[static_cast<size_t>(c.number - 1)], c.colour);
            EXPECT_EQ(r.MTFPITCH[static_cast<size_t>(c.number - 1)], 0.0f);
        } else {
            EXPECT_EQ(r.MTFNUM, (std::array<int16_t, kCurveSlots>{})) << "nothing stored";
        }
    }
}

TEST(TextFile, ReadsOnlyRegularFilesUpToTheLimitAndWritesWhole)
{
    const std::string dir = testing::TempDir() + "textfile-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    std::string error;
    EXPECT_FALSE(readTextFile(dir, error));
    EXPECT_EQ(error, "it is a folder");
    EXPECT_FALSE(readTextFile(dir + "/none", error));
    EXPECT_EQ(error, "it does not exist");
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readTextFile(fifo, error)) << "a pipe is never waited on";
    EXPECT_EQ(error, "it is not a regular file");
    EXPECT_EQ(writeTextFile(fifo, "x"), "it is not a regular file");

    const std::string big = dir + "/big.json";
    EXPECT_EQ(writeTextFile(big, std::string(kMaxTextFileBytes, 'a')), "");
    const auto whole = readTextFile(big, error);
    ASSERT_TRUE(whole) << error;
    EXPECT_EQ(whole->size(), kMaxTextFileBytes) << "the limit itself is read";
    EXPECT_EQ(writeTextFile(big, std::string(kMaxTextFileBytes + 1, 'a')), "");
    EXPECT_FALSE(readTextFile(big, error));
    EXPECT_EQ(error, "it is larger than 16 MiB");

    // A replaced file is the new text whole, and no temporary file stays beside it.
    EXPECT_EQ(writeTextFile(big, "new"), "");
    EXPECT_EQ(readTextFile(big, error).value_or(""), "new");
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 2u) << "fifo and big.json";
    std::filesystem::remove_all(dir);
}
