// "File" > "Save curves..." and "Open curves..." on the scripted host with the bundled samples:
// curves measured by every method come back from the file and chart, copy and combine as before;
// the file never replaces an image a curve came from; curves a session ends without saving are
// kept in the recovery file and offered once at the next start.
#include "curves_file.h"
#include "curves_menu.h"
#include "dqe.h"
#include "esf.h"
#include "form_load.h"
#include "iec_nnps_menu.h"
#include "image_opening.h"
#include "lsf.h"
#include "mtf.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "nnps_chart.h"
#include "precise_mtf_menu.h"
#include "size_controls.h"
#include "text_file.h"
#include "vylsf.h"

#include "kernel_binding.h"
#include "korvelf.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace vantry;
namespace fs = std::filesystem;

namespace {

/// One program session: a workspace and its analysis window on a scripted host.
struct Session {
    Session()
    {
        k.ws.programFolder = VANTRY_BIN_DIR;
        EXPECT_TRUE(Form_Load(k));
        Form_Load(v);
    }
    ScriptedHost host;
    KernelBinding kernels{VANTRY_BIN_DIR};
    Korvelf k{host, kernels};
    Vylsf v{k};
};

const std::string kEdge = std::string(VANTRY_BIN_DIR) + "/sample_edge.raw";
const std::string kFlat = std::string(VANTRY_BIN_DIR) + "/sample_flat.raw";

class CurvesRoad : public testing::Test {
protected:
    CurvesRoad()
    {
        folder = fs::path(testing::TempDir()) / ("curves-" + std::to_string(::getpid()) + "-" +
                                                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        s->host.dataFolderPath = (folder / "data").string();
        fs::create_directories(s->host.dataFolderPath);
    }
    ~CurvesRoad() override { fs::remove_all(folder); }

    /// Reads `file` with the detector entry `name` into the current view.
    void read(Session& x, const std::string& name, const std::string& file)
    {
        int entry = -1;
        for (size_t i = 0; i < x.k.form.CMB1.List.size(); ++i) {
            if (x.k.form.CMB1.List[i].rfind(name + " ", 0) == 0) entry = static_cast<int>(i);
        }
        ASSERT_GE(entry, 0);
        CMB1_Click(x.k, entry);
        x.host.fileDialogAnswers.push_back(file);
        Command1_Click(x.k);
        ASSERT_TRUE(x.host.messages.empty()) << x.host.messages.front();
    }

    void run(Session& x, void (*handler)(Vylsf&), std::initializer_list<const char*> answers)
    {
        x.host.inputAnswers.clear();
        for (const char* a : answers) x.host.inputAnswers.emplace_back(a);
        handler(x.v);
        EXPECT_TRUE(x.host.inputAnswers.empty()) << "every answer was asked for";
    }

    /// The written MTF of the edge under 1, its precise MTF under 2, the 2D-NNPS of the flat
    /// field under 3 and its IEC NNPS H and V under 4 and 5.
    void measureAll(Session& x)
    {
        x.host.fileHashes[kEdge] = "e3b0c442";
        read(x, "SAMPLE-EDGE-RAW", kEdge);
        x.k.roi[x.k.ws.CURSLOT] = {362, 412, 300, 200};
        MEASUREGO_Click(x.k);
        run(x, DSPESF, {ScriptedHost::kAcceptDefault});
        run(x, ESFOK, {"0"});
        run(x, MTFCLC, {"5", "0.1", "1"});
        ASSERT_EQ(x.v.r.MTFNUM[0], 51) << (x.host.messages.empty() ? "" : x.host.messages.back());
        x.k.roi[x.k.ws.CURSLOT] = {384, 448, 256, 128};
        run(x, PRECISEMTF, {"5", "0.1", "2"});
        ASSERT_EQ(x.v.r.MTFNUM[1], 51) << (x.host.messages.empty() ? "" : x.host.messages.back());
        x.host.messages.clear();

        read(x, "SAMPLE-FLAT-RAW", kFlat);
        x.k.roi[x.k.ws.CURSLOT] = {256, 256, 512, 512};
        run(x, NNPS2D_Click, {"3"});
        ASSERT_EQ(x.v.r.NPSNUM[2], 25) << (x.host.messages.empty() ? "" : x.host.messages.back());
        x.v.r.NFMAX = 5;
        run(x, IECNNPS, {"none", "4"});
        ASSERT_GT(x.v.r.NPSNUM[3], 4) << (x.host.messages.empty() ? "" : x.host.messages.back());
        x.host.messages.clear();
    }

    struct Shown {
        std::vector<DrawCall> calls;
        std::string clipboard;
        std::vector<std::string> messages;
    };

    /// What a handler shows: the canvas calls, the clipboard and the messages.
    Shown shown(Session& x, void (*handler)(Vylsf&), std::initializer_list<const char*> answers)
    {
        x.host.messages.clear();
        x.host.clipboardText.clear();
        run(x, handler, answers);
        return {x.host.canvas.calls, x.host.clipboardText, x.host.messages};
    }

    static void expectSameShown(const Shown& a, const Shown& b, const char* what)
    {
        SCOPED_TRACE(what);
        EXPECT_EQ(a.clipboard, b.clipboard);
        EXPECT_EQ(a.messages, b.messages);
        ASSERT_EQ(a.calls.size(), b.calls.size());
        for (size_t i = 0; i < a.calls.size(); ++i) {
            const DrawCall &p = a.calls[i], &q = b.calls[i];
            const bool same = p.kind == q.kind && p.x1 == q.x1 && p.y1 == q.y1 && p.x2 == q.x2 && p.y2 == q.y2 &&
                              p.value == q.value && p.text == q.text && p.keepLine == q.keepLine;
            EXPECT_TRUE(same) << "call " << i << ": " << p.str() << " against " << q.str();
            if (!same) break;
        }
    }

    /// Compare and Clip of both kinds and DQE calc., as the operator runs them.
    std::vector<Shown> everyView(Session& x)
    {
        return {shown(x, COMPMTF, {"1-2"}),
                shown(x, CLIPMTF, {"1"}),
                shown(x, CLIPMTF, {"2"}),
                shown(x, NPSCOMP_Click, {"3,4,5"}),
                shown(x, NPSCLIP_Click, {"3"}),
                shown(x, NPSCLIP_Click, {"5"}),
                shown(x, DQECLC, {ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault, "RQA5", "2015",
                                  ScriptedHost::kAcceptDefault, "2.5"}),
                shown(x, CLIPDQE, {})};
    }

    std::string path(const char* name) const { return (folder / name).string(); }

    fs::path folder;
    std::unique_ptr<Session> s = std::make_unique<Session>();
};

/// Whether `text` has the shape of `pattern`, where "d" stands for a run of digits (one digit each
/// in a run of several "d") and every other character for itself: "dddd-dd-dd", "d.d.d".
bool shaped(const std::string& text, const std::string& pattern)
{
    size_t t = 0;
    for (size_t p = 0; p < pattern.size(); ++p) {
        if (pattern[p] != 'd') {
            if (t >= text.size() || text[t] != pattern[p]) return false;
            ++t;
            continue;
        }
        const bool single = (p > 0 && pattern[p - 1] == 'd') || (p + 1 < pattern.size() && pattern[p + 1] == 'd');
        const size_t start = t;
        while (t < text.size() && std::isdigit(static_cast<unsigned char>(text[t])) && (!single || t == start)) ++t;
        if (t == start) return false;
    }
    return t == text.size();
}

std::string fileText(const std::string& path)
{
    std::string error;
    return readTextFile(path, error).value_or("unreadable: " + error);
}

} // namespace

TEST_F(CurvesRoad, SavedCurvesOpenedInANewSessionChartCopyAndCombineAsMeasured)
{
    measureAll(*s);
    const std::vector<Shown> measured = everyView(*s);
    // The sample's pixels are no calibrated dose: the DQE is above 1, which is told as a warning.
    ASSERT_EQ(measured[6].messages.size(), 1u);
    ASSERT_EQ(measured[6].messages[0].rfind("warning the DQE reaches", 0), 0u) << measured[6].messages[0];
    ASSERT_NE(measured[7].clipboard, "") << "DQE calc. worked on the measured curves";
    s->host.saveDialogAnswers.push_back(path("curves.json"));
    run(*s, SAVECURVES, {});
    ASSERT_TRUE(s->host.messages.empty()) << s->host.messages.front();
    EXPECT_EQ(s->v.form().Caption, "Curves saved to " + path("curves.json"));

    Session later;
    // The chart and table settings are the operator's, not the curves': set as they were.
    later.v.r.FMAX = s->v.r.FMAX;
    later.v.r.FINT = s->v.r.FINT;
    later.v.r.NFMAX = s->v.r.NFMAX;
    later.v.r.NFINT = s->v.r.NFINT;
    later.host.fileDialogAnswers.push_back(path("curves.json"));
    run(later, OPENCURVES, {});
    ASSERT_TRUE(later.host.messages.empty()) << later.host.messages.front();
    EXPECT_EQ(later.v.r.CURVESCHANGED, 0) << "just opened: nothing to keep";
    const std::vector<Shown> opened = everyView(later);
    const char* names[] = {"Compare_MTF", "Clip MTF 1", "Clip MTF 2", "Compare_NNPS", "Clip NNPS 1", "Clip NNPS 4",
                           "DQE calc.", "Clip DQE"};
    for (size_t i = 0; i < measured.size(); ++i) expectSameShown(measured[i], opened[i], names[i]);
}

TEST_F(CurvesRoad, EachCurveKnowsTheImageMethodAndSettingsItCameFrom)
{
    measureAll(*s);
    const VylsfRecord& r = s->v.r;
    const CurveSource& written = r.MTFFROM[0];
    EXPECT_EQ(written.path, kEdge);
    EXPECT_EQ(written.sha256, "e3b0c442") << "the host's hash of the file";
    EXPECT_EQ(written.preset, "SAMPLE-EDGE-RAW");
    EXPECT_FLOAT_EQ(static_cast<float>(written.pitchMm), 0.1f);
    EXPECT_EQ(written.pitchFrom, "preset");
    EXPECT_EQ(written.roi, "362,412,300,200");
    EXPECT_EQ(written.method, "written");
    EXPECT_EQ(written.settings[0], (std::pair<std::string, std::string>{"edge", "H"}));
    EXPECT_EQ(written.settings[1], (std::pair<std::string, std::string>{"bin width", "0.03"}));
    EXPECT_EQ(written.settings[2], (std::pair<std::string, std::string>{"V-filter", "0"}));
    EXPECT_EQ(written.settings[4], (std::pair<std::string, std::string>{"FMAX", "5"}));
    EXPECT_EQ(written.settings[5], (std::pair<std::string, std::string>{"FINT", "0.1"}));
    EXPECT_TRUE(shaped(written.date, "dddd-dd-ddTdd:dd:ddZ")) << written.date;
    EXPECT_EQ(written.date.substr(0, 2), "20");
    EXPECT_TRUE(shaped(written.version, "d.d.d")) << written.version;
    // Each number holds one curve, with its own label.
    EXPECT_EQ(r.DATALBL[0], "SAMPLE-EDGE-RAW H");
    EXPECT_EQ(written.label, "SAMPLE-EDGE-RAW H");
    EXPECT_EQ(r.NPSFROM[2].label, "SAMPLE-FLAT-RAW R");
    EXPECT_EQ(r.DATALBL[2], "SAMPLE-FLAT-RAW R");
    EXPECT_EQ(r.NPSFROM[4].label, "SAMPLE-FLAT-RAW V IEC");
    EXPECT_EQ(r.MTFFROM[1].method, "precise");
    EXPECT_EQ(r.MTFFROM[1].roi, "384,448,256,128");
    EXPECT_EQ(r.NPSFROM[2].method, "2D-NNPS");
    EXPECT_EQ(r.NPSFROM[2].path, kFlat);
    EXPECT_EQ(r.NPSFROM[2].sha256, "") << "a file the host has no hash for";
    EXPECT_EQ(r.NPSFROM[2].settings.back(), (std::pair<std::string, std::string>{"NFINT", "0.1"}));
    EXPECT_EQ(r.NPSFROM[3].method, "IEC NNPS");
    EXPECT_EQ(r.NPSFROM[4].settings[0], (std::pair<std::string, std::string>{"direction", "V"}));
    EXPECT_EQ(r.NPSFROM[4].settings[1], (std::pair<std::string, std::string>{"conversion", "none"}));
    // The IEC curves keep their image's pitch like every other stored curve.
    EXPECT_FLOAT_EQ(r.NPSPITCH[3], 0.1f);
    EXPECT_FLOAT_EQ(r.NPSPITCH[4], 0.1f);
}

TEST_F(CurvesRoad, IecCurvesStoredOverAnotherDetectorsCurveTakeTheirOwnPitch)
{
    // A noise curve of 0.143 mm pixels under 3, then the IEC NNPS of 0.1 mm pixels over it.
    s->v.r.NPSPITCH[2] = 0.143f;
    s->v.r.NPSPITCH[3] = 0.143f;
    read(*s, "SAMPLE-FLAT-RAW", kFlat);
    s->k.roi[s->k.ws.CURSLOT] = {256, 256, 512, 512};
    MEASUREGO_Click(s->k);
    s->v.r.NFMAX = 5;
    run(*s, IECNNPS, {"none", "3"});
    EXPECT_FLOAT_EQ(s->v.r.NPSPITCH[2], 0.1f);
    EXPECT_FLOAT_EQ(s->v.r.NPSPITCH[3], 0.1f);
}

TEST_F(CurvesRoad, SaveNeverReplacesAnImageACurveCameFromAndTellsAFailedWrite)
{
    measureAll(*s);
    const std::string edgeBefore = fileText(kEdge);
    s->host.saveDialogAnswers.push_back(kEdge);
    run(*s, SAVECURVES, {});
    ASSERT_EQ(s->host.messages.size(), 1u);
    EXPECT_EQ(s->host.messages[0], "The curves were not saved: " + kEdge +
                                       " is the image MTF curve No.1 was measured from. Choose another file name.");
    EXPECT_EQ(fileText(kEdge), edgeBefore);

    // The same image under another name (a link) is the same file.
    fs::create_symlink(kFlat, folder / "flat-link.raw");
    s->host.messages.clear();
    s->host.saveDialogAnswers.push_back(path("flat-link.raw"));
    run(*s, SAVECURVES, {});
    ASSERT_EQ(s->host.messages.size(), 1u);
    EXPECT_NE(s->host.messages[0].find("is the image noise curve No.3 was measured from"), std::string::npos)
        << s->host.messages[0];

    // An image in a view is refused although no stored curve came from it.
    s->v.r.MTFFROM[0].path.clear();
    s->v.r.MTFFROM[1].path.clear();
    s->k.ws.FNAME[0] = kEdge;
    s->k.ws.LOADED[0] = 1;
    s->host.messages.clear();
    s->host.saveDialogAnswers.push_back(kEdge);
    run(*s, SAVECURVES, {});
    ASSERT_EQ(s->host.messages.size(), 1u);
    EXPECT_EQ(s->host.messages[0], "The curves were not saved: " + kEdge + " is the image shown in view 1. Choose another file name.");
    EXPECT_EQ(fileText(kEdge), edgeBefore);

    // A name without an extension gets ".json", so the open dialog's filter shows it.
    s->host.messages.clear();
    s->host.saveDialogAnswers.push_back(path("mine"));
    run(*s, SAVECURVES, {});
    EXPECT_TRUE(s->host.messages.empty());
    EXPECT_TRUE(fs::exists(path("mine.json")));
    EXPECT_FALSE(fs::exists(path("mine")));
    s->v.r.CURVESCHANGED = 1;

    s->host.messages.clear();
    s->host.saveDialogAnswers.push_back(path("no-such-folder/curves.json"));
    run(*s, SAVECURVES, {});
    ASSERT_EQ(s->host.messages.size(), 1u);
    EXPECT_EQ(s->host.messages[0], "The curves were not saved to " + path("no-such-folder/curves.json") +
                                       ": cannot write it (No such file or directory).");
    EXPECT_EQ(s->v.r.CURVESCHANGED, 1) << "still not saved";

    Session empty;
    run(empty, SAVECURVES, {});
    EXPECT_EQ(empty.host.messages.size(), 1u) << "nothing to save is told, no dialog";
}

TEST_F(CurvesRoad, ABadFileIsToldWithItsLineAndTheStoreStays)
{
    measureAll(*s);
    const std::string before = curvesFileText(s->v.r);
    {
        std::ofstream(path("cut.json")) << before.substr(0, 700);
    }
    s->host.fileDialogAnswers.push_back(path("cut.json"));
    run(*s, OPENCURVES, {});
    ASSERT_EQ(s->host.messages.size(), 1u);
    EXPECT_EQ(s->host.messages[0].rfind("The curves file " + path("cut.json") + " was not opened: line ", 0), 0u)
        << s->host.messages[0];
    EXPECT_NE(s->host.messages[0].find("The stored curves are unchanged."), std::string::npos);
    EXPECT_EQ(curvesFileText(s->v.r), before);

    s->host.messages.clear();
    s->host.fileDialogAnswers.push_back(folder.string());
    run(*s, OPENCURVES, {});
    ASSERT_EQ(s->host.messages.size(), 1u);
    EXPECT_EQ(s->host.messages[0], "The curves file " + folder.string() + " was not opened: it is a folder.");
}

TEST_F(CurvesRoad, OpeningOverUnsavedCurvesAsksFirst)
{
    measureAll(*s);
    VylsfRecord other;
    other.MTFNUM[0] = 4;
    for (int i = 0; i < 4; ++i) other.MTFFRQ[0][i] = static_cast<float>(i);
    other.MTFVAL[0] = {1, 0.5f, 0.25f, 0.125f};
    ASSERT_EQ(writeTextFile(path("other.json"), curvesFileText(other)), "");
    const std::string before = curvesFileText(s->v.r);

    s->host.fileDialogAnswers.push_back(path("other.json"));
    s->host.msgBoxAnswers.push_back(MsgBoxAnswer::No);
    run(*s, OPENCURVES, {});
    ASSERT_EQ(s->host.messages.size(), 1u);
    EXPECT_EQ(s->host.messages[0], "The file replaces the stored curves No.1, which were not saved. Open it anyway?");
    EXPECT_EQ(curvesFileText(s->v.r), before);

    s->host.fileDialogAnswers.push_back(path("other.json"));
    s->host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    run(*s, OPENCURVES, {});
    EXPECT_EQ(s->v.r.MTFVAL[0][3], 0.125f);
    EXPECT_EQ(s->v.r.MTFNUM[1], 51) << "MTF 2 stays";
    EXPECT_EQ(s->v.r.CURVESCHANGED, 1) << "the unsaved curves that stayed are still unsaved";
}

TEST_F(CurvesRoad, UnsavedCurvesAreKeptAtCloseAndOfferedOnceAtTheNextStart)
{
    measureAll(*s);
    const std::string measured = curvesFileText(s->v.r);
    const fs::path recovery = fs::path(s->host.dataFolderPath) / kRecoveryName;
    keepUnsavedCurves(s->v);
    ASSERT_TRUE(fs::exists(recovery));
    EXPECT_EQ(fileText(recovery.string()), measured);

    // The next start: asked once, Yes opens them; the file is renamed aside, not offered again.
    Session next;
    next.host.dataFolderPath = s->host.dataFolderPath;
    next.host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    offerKeptCurves(next.v);
    ASSERT_EQ(next.host.messages.size(), 1u);
    EXPECT_EQ(next.host.messages[0].rfind(
                  "Curves from a session that ended without saving them were kept. Open them?", 0),
              0u);
    EXPECT_EQ(curvesFileText(next.v.r), measured);
    EXPECT_EQ(next.v.r.CURVESCHANGED, 1) << "still in no file of the operator's";
    EXPECT_EQ(next.v.form().Caption.rfind("Curves opened from " + s->host.dataFolderPath + "/curves-recovered-", 0), 0u)
        << next.v.form().Caption;
    EXPECT_FALSE(fs::exists(recovery));
    size_t aside = 0;
    for (const auto& e : fs::directory_iterator(s->host.dataFolderPath)) {
        aside += e.path().filename().string().rfind("curves-recovered-", 0) == 0;
    }
    EXPECT_EQ(aside, 1u) << "kept aside, not deleted";
    offerKeptCurves(next.v);
    EXPECT_EQ(next.host.messages.size(), 1u) << "offered once";

    Session third;
    third.host.dataFolderPath = s->host.dataFolderPath;
    offerKeptCurves(third.v);
    EXPECT_TRUE(third.host.messages.empty()) << "nothing left to offer";

    // Saved, the session's recovery file goes.
    keepUnsavedCurves(next.v);
    ASSERT_TRUE(fs::exists(recovery));
    next.host.saveDialogAnswers.push_back(path("kept.json"));
    run(next, SAVECURVES, {});
    EXPECT_FALSE(fs::exists(recovery)) << "saved: no recovery to offer";
    keepUnsavedCurves(next.v);
    EXPECT_FALSE(fs::exists(recovery)) << "nothing unsaved: nothing kept";
}

TEST_F(CurvesRoad, ARecoveryAnsweredNoIsNotOpenedAndAnUnreadableOneIsToldAndLeft)
{
    measureAll(*s);
    keepUnsavedCurves(s->v);
    const fs::path recovery = fs::path(s->host.dataFolderPath) / kRecoveryName;

    Session no;
    no.host.dataFolderPath = s->host.dataFolderPath;
    no.host.msgBoxAnswers.push_back(MsgBoxAnswer::No);
    offerKeptCurves(no.v);
    EXPECT_EQ(no.v.r.MTFNUM[0], 0);
    EXPECT_EQ(no.v.r.CURVESCHANGED, 0);
    EXPECT_FALSE(fs::exists(recovery)) << "answered: offered once";

    {
        std::ofstream(recovery) << "{\"format\": \"vantry-curves\",";
    }
    Session bad;
    bad.host.dataFolderPath = s->host.dataFolderPath;
    offerKeptCurves(bad.v);
    const std::vector<std::string> told = bad.host.messages;
    bad.host.messages.clear();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("Curves kept from a session that ended without saving them could not be read from " +
                                             recovery.string() + ": line 1: not valid JSON",
                                         0),
              0u)
        << told[0];
    EXPECT_TRUE(fs::exists(recovery)) << "left in place";
    // A session that ends unsaved does not write over it.
    measureAll(bad);
    keepUnsavedCurves(bad.v);
    EXPECT_EQ(fileText(recovery.string()), "{\"format\": \"vantry-curves\",");
    EXPECT_NE(bad.v.r.RECOVERYWRITTEN, "");
    EXPECT_EQ(fileText(bad.v.r.RECOVERYWRITTEN), curvesFileText(bad.v.r));
}

// Writes the curves file and the clipboard tables of the written MTF and the IEC NNPS to the
// folder VANTRY_CURVES_OUT names, for curves_json_test.py (which reads them with Python's own
// json module); without it the test writes to its temporary folder.
TEST_F(CurvesRoad, SavedFileForAnIndependentReader)
{
    const char* out = std::getenv("VANTRY_CURVES_OUT");
    const fs::path where = out != nullptr ? fs::path(out) : folder;
    measureAll(*s);
    run(*s, CLIPMTF, {"1"});
    std::ofstream(where / "clip_mtf.txt", std::ios::binary) << s->host.clipboardText;
    s->v.r.NFMAX = 5;
    s->host.messages.clear();
    run(*s, IECNNPS, {"none", "6"});
    ASSERT_GT(s->v.r.NPSNUM[5], 4) << s->host.messages.front();
    s->host.messages.clear(); // the sample is smaller than a detector NNPS asks: a warning
    std::ofstream(where / "clip_iec.txt", std::ios::binary) << s->host.clipboardText;
    s->host.saveDialogAnswers.push_back((where / "curves.json").string());
    run(*s, SAVECURVES, {});
    ASSERT_TRUE(s->host.messages.empty()) << s->host.messages.front();
    EXPECT_TRUE(fs::exists(where / "curves.json"));
}
