// The DQE report's PDF, written by a program without a Qt application as vantry-measure is, and
// read back with pdftotext: every section's text, the table rows whole, the files' SHA-256 against
// sha256sum, and the refusals. Also the charts' axes.
#include "dqe_report_pdf.h"
#include "report_axes.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include <sys/stat.h>

using namespace vantry;
namespace fs = std::filesystem;

namespace {

/// A fresh folder under the temporary folder, removed with the fixture.
class DqeReportPdf : public testing::Test {
  protected:
    void SetUp() override
    {
        char name[] = "/tmp/vantry-report-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        const bool have = std::system("command -v pdftotext >/dev/null 2>&1") == 0;
        // Installed by scripts/install-deps.sh; only outside CI may it be missing.
        if (!have && std::getenv("CI") == nullptr) GTEST_SKIP() << "pdftotext is not installed";
        ASSERT_TRUE(have) << "pdftotext is missing";
    }
    void TearDown() override
    {
        fs::remove_all(dir);
    }

    /// The output of a shell command.
    static std::string run(const std::string& command)
    {
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[4096];
            for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
            pclose(pipe);
        }
        return out;
    }
    fs::path dir;
};

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

/// The text with every run of blanks and line breaks as one blank, so wrapped lines still match.
std::string flat(const std::string& text)
{
    std::string out;
    for (const std::string& w : words(text)) out += (out.empty() ? "" : " ") + w;
    return out;
}

size_t occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; ++at) ++n;
    return n;
}

/// Each row must be one line of the text whose blank-separated words are exactly its cells, the
/// rows in order.
void expectRowsInOrder(const std::string& text, const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(words(line));
    size_t from = 0;
    for (const auto& row : rows) {
        const auto at = std::find(lines.begin() + static_cast<long>(from), lines.end(), row);
        ASSERT_NE(at, lines.end()) << "row starting " << row.front() << " not on one line in order";
        from = static_cast<size_t>(at - lines.begin()) + 1;
    }
}

std::string cellText(double v, int decimals)
{
    char s[32];
    std::snprintf(s, sizeof s, "%.*f", decimals, v);
    return s;
}

ReportCurve curve(double (*f)(double), double step, int n)
{
    ReportCurve c;
    for (int i = 0; i < n; ++i) {
        c.freq.push_back(i * step);
        c.value.push_back(f(i * step));
    }
    return c;
}

DqeReport sampleReport(const fs::path& edge, const fs::path& flat, const fs::path& missing)
{
    DqeReport r;
    r.title = "DQE of detector 7";
    r.version = "0.1.0";
    r.date = "2024-05-01T10:20:30";
    r.files = {{"Edge H", edge.string(), "DICOM", 0.139, "imager-pixel-spacing", "10,20,300,400"},
               {"Flat field 1", flat.string(), "SAMPLE", 0.15, "preset", "0,0,1024,1024"},
               {"Flat field 2", missing.string(), "SAMPLE", 0.15, "preset", "0,0,1024,1024"}};
    r.settings = {{"Air kerma", "2.50 uGy"}, {"Beam", "RQA5"}, {"Nyquist frequency", "3.597 /mm"}};
    r.nyquist = 3.597;
    // Past the Nyquist frequency, with a gap and a standard error in the H MTF, one DQE above 1.
    const int n = 90;
    auto sinc = [](double f) { return f == 0 ? 1.0 : std::abs(std::sin(0.44 * f) / (0.44 * f)); };
    r.h.mtf = curve(sinc, 0.05, n);
    r.h.mtf.se.assign(n, 0.01);
    r.v.mtf = curve([](double f) { return std::exp(-0.4 * f); }, 0.05, n);
    r.v.mtf.value[30] = std::numeric_limits<double>::quiet_NaN();
    r.h.nnps = curve([](double f) { return 1e-6 * (1 + std::exp(-f)); }, 0.05, n);
    r.v.nnps = curve([](double f) { return 3e-7 * (1 + f); }, 0.05, n);
    r.h.dqe = curve([](double f) { return 1.05 * std::exp(-0.5 * f); }, 0.05, n);
    r.v.dqe = curve([](double f) { return 0.8 * std::exp(-0.6 * f); }, 0.05, n);
    r.tableHeader = {"f(1/mm)", "MTF_H", "MTF_V", "NNPS_H", "NNPS_V", "DQE_H", "DQE_V"};
    for (int i = 0; i < 8; ++i) {
        const double f = 0.5 * (i + 1);
        r.tableRows.push_back({cellText(f, 2), cellText(sinc(f), 4),
                               cellText(std::exp(-0.4 * f), 4), cellText(1.3 + f, 3) + "e-06",
                               cellText(3 + f, 3) + "e-07", cellText(std::exp(-0.5 * f), 3),
                               cellText(0.8 - 0.1 * f, 3)});
    }
    r.warnings = {"warning: the edge angle 1.2 degrees is below 2 degrees",
                  "warning: DQE above 1 at 0.05 cycles/mm"};
    r.method = {"The MTF is measured with the edge method: the edge spread function is binned "
                "at a quarter of a pixel, differentiated and transformed.",
                "The NNPS is averaged over overlapping blocks of 256 x 256 pixels."};
    return r;
}

TEST_F(DqeReportPdf, EverySectionReadsBackAsText)
{
    const bool ownApplication = QCoreApplication::instance() == nullptr;
    if (ownApplication) {
        // As a command-line tool may start: no platform named and a C locale other than "C" in
        // the environment, which the application's start would take up.
        unsetenv("QT_QPA_PLATFORM");
        setenv("LC_ALL", "C.UTF-8", 1);
    }
    const std::string localeBefore = std::setlocale(LC_ALL, nullptr);
    const fs::path edge = dir / "edge.dcm", flatField = dir / "flat 1.dcm";
    std::ofstream(edge, std::ios::binary) << std::string(5000, '\x7f') << "edge";
    std::ofstream(flatField, std::ios::binary) << "flat field bytes";
    const DqeReport report = sampleReport(edge, flatField, dir / "gone.dcm");

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(writeDqeReportPdf(report, (dir / "report.pdf").string()), "");
    const auto first = std::chrono::steady_clock::now();
    ASSERT_EQ(writeDqeReportPdf(report, (dir / "again.pdf").string()), "");
    const auto second = std::chrono::steady_clock::now();
    using ms = std::chrono::duration<double, std::milli>;
    std::printf("first report %.0f ms (with the Qt application's start), next %.0f ms\n",
                ms(first - start).count(), ms(second - first).count());

    if (ownApplication) {
        // The writer started the application itself, on the offscreen platform, and left the C
        // locale as it was.
        EXPECT_EQ(QGuiApplication::platformName().toStdString(), "offscreen");
        EXPECT_EQ(std::setlocale(LC_ALL, nullptr), localeBefore);
    }
    EXPECT_EQ(run("head -c 4 '" + (dir / "report.pdf").string() + "'"), "%PDF");

    const std::string text = run("pdftotext -layout '" + (dir / "report.pdf").string() + "' -");
    std::vector<std::vector<std::string>> rows = {report.tableHeader};
    rows.insert(rows.end(), report.tableRows.begin(), report.tableRows.end());
    expectRowsInOrder(text, rows);

    const std::string all = flat(text);
    for (const std::string& expected :
         {report.title, std::string("0.1.0"), report.date, report.warnings[0], report.warnings[1],
          report.method[0], report.method[1], std::string("pitch 0.1390 mm (imager-pixel-spacing)"),
          std::string("ROI 10,20,300,400"), std::string("Air kerma 2.50 uGy"),
          std::string("NNPS (mm^2)"), std::string("Page 1"), std::string("Page 2")}) {
        EXPECT_NE(all.find(expected), std::string::npos) << expected;
    }
    for (const fs::path& file : {edge, flatField}) {
        const std::string sum = run("sha256sum '" + file.string() + "'").substr(0, 64);
        ASSERT_EQ(sum.size(), 64U);
        EXPECT_NE(all.find(file.string() + " SHA-256 " + sum), std::string::npos) << file;
    }
    EXPECT_NE(all.find("gone.dcm SHA-256 unreadable"), std::string::npos);
    EXPECT_EQ(occurrences(all, "Spatial frequency (cycles/mm)"), 3U);
}

TEST_F(DqeReportPdf, AWideLongTableKeepsEachRowOnOneLineAcrossPages)
{
    DqeReport report;
    report.title = "Wide table";
    for (int c = 0; c < 13; ++c) report.tableHeader.push_back("column" + std::to_string(c));
    for (int i = 0; i < 120; ++i) {
        std::vector<std::string> row;
        for (int c = 0; c < 13; ++c) row.push_back(cellText(-1.0e-3 * (i + 1) * (c + 1), 7));
        report.tableRows.push_back(row);
    }
    ASSERT_EQ(writeDqeReportPdf(report, (dir / "wide.pdf").string()), "");
    const std::string text = run("pdftotext -layout '" + (dir / "wide.pdf").string() + "' -");
    expectRowsInOrder(text, report.tableRows);
    // The header comes again at the top of each page the table continues on.
    EXPECT_GE(occurrences(text, "column12"), 2U);
    EXPECT_NE(text.find("none"), std::string::npos); // no warnings
}

TEST_F(DqeReportPdf, APathThatCannotBeWrittenIsRefusedAndNothingIsLeft)
{
    const DqeReport report;
    const std::string inMissing = writeDqeReportPdf(report, (dir / "missing" / "r.pdf").string());
    EXPECT_EQ(inMissing.rfind("cannot write it (", 0), 0U) << inMissing;
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_EQ(writeDqeReportPdf(report, dir.string()), "it is a folder");
    EXPECT_EQ(writeDqeReportPdf(report, ""), "no file name given");
    // A pipe stays a pipe: it is not replaced by a regular file.
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(writeDqeReportPdf(report, (dir / "pipe").string()), "it is not a regular file");
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    fs::remove(dir / "pipe");
    EXPECT_TRUE(fs::is_empty(dir)) << "a temporary file was left behind";
}

TEST(ReportAxes, FrequencyTicksAreLabelledAndEndAtTheAxisEnd)
{
    for (double end : {3.597, 5.0, 1.25, 20.0, 0.07}) {
        const ChartAxis a = frequencyAxis(end);
        EXPECT_EQ(a.hi, end);
        ASSERT_EQ(a.ticks.size(), a.labels.size());
        EXPECT_TRUE(a.ticks.size() >= 4 && a.ticks.size() <= 9 && a.ticks.back() <= end) << end;
        // Next tick would be past the end: the ticks reach it.
        EXPECT_GT(2 * a.ticks.back() - a.ticks[a.ticks.size() - 2], end) << end;
        EXPECT_EQ(std::strtod(a.labels.back().c_str(), nullptr), a.ticks.back()) << end;
    }
    EXPECT_EQ(frequencyAxis(3.597).labels[7], "3.5");
    for (double bad : {std::nan(""), -2.0, 0.0}) EXPECT_EQ(frequencyAxis(bad).hi, 1);
}

TEST(ReportAxes, ValueAxesSpanTheDataAndStayBoundedOnExtremes)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(unitAxis({0.2, 0.93, nan}).hi, 1);
    EXPECT_DOUBLE_EQ(unitAxis({0.5, 1.1, inf}).hi, 1.1);
    EXPECT_DOUBLE_EQ(unitAxis({1.23}).hi, 1.3);
    EXPECT_DOUBLE_EQ(unitAxis({7.01}).hi, 7.1);
    EXPECT_EQ(unitAxis({}).labels,
              (std::vector<std::string>{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}));

    const ChartAxis nnps = decadeAxis({2e-7, 3e-6, 0, -1, nan});
    EXPECT_TRUE(nnps.log && nnps.lo == -7 && nnps.hi == -5);
    EXPECT_EQ(nnps.labels, (std::vector<std::string>{"1e-7", "1e-6", "1e-5"}));
    EXPECT_EQ(decadeAxis({1e-6}).hi, -5);

    // Numbers at the ends of the double range give a few ticks, not a loop over every decade.
    for (const ChartAxis& a : {decadeAxis({4.9e-324, 1e308}), unitAxis({1.7e308}),
                               frequencyAxis(1e-310), frequencyAxis(1.7e308)}) {
        EXPECT_TRUE(a.ticks.size() >= 2 && a.ticks.size() <= 17 && std::isfinite(a.hi));
        EXPECT_LE(a.ticks.back(), a.hi);
    }
}

} // namespace
