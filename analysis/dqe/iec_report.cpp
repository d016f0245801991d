#include "iec_report.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace vantry {
namespace {

std::string cell(const char* format, double v)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

} // namespace

std::vector<std::string> iecDqeCells(const IecDqeRow& r)
{
    return {cell("%.4f", r.f),     cell("%.5f", r.mtfH),  cell("%.5f", r.mtfV), cell("%.6e", r.nnpsH),
            cell("%.6e", r.nnpsV), cell("%.5f", r.dqeH), cell("%.5f", r.dqeV)};
}

bool isStandardFrequency(double f)
{
    const double halves = f / 0.5;
    return f > 0 && std::fabs(halves - std::round(halves)) < 1e-6;
}

void fillIecReport(DqeReport& report, const PreciseMtfResult& edgeH, const PreciseMtfResult& edgeV,
                   const IecNnpsResult& nnps, const IecDqeResult& dqe, const IecDqeInputs& in)
{
    report.title = "IEC-style DQE";
    report.nyquist = 1 / (2 * in.pitchMm);
    report.settings = {{"Air kerma", cell("%g", in.kerma) + " uGy"},
                       {"Beam quality", in.beam},
                       {"Edition of the beam table", in.edition},
                       {"q", cell("%g", in.q) + " 1/(mm^2 uGy), " + in.qFrom},
                       {"Conversion function", in.conversion.text()},
                       {"Nyquist frequency", cell("%.4g", report.nyquist) + " cycles/mm"},
                       {"Frequency bins", cell("%g", nnps.binWidth) + " cycles/mm wide"},
                       {"NNPS ROIs", std::to_string(nnps.rois) + " of 256 x 256, " +
                                         std::to_string(nnps.independentPixels) + " independent pixels"}};
    if (in.conversion.model != ConversionFunction::Model::None) {
        report.settings.emplace_back("Mean linearised signal", cell("%.4g", nnps.meanSignal) + " uGy");
    }
    report.tableHeader = {"f", "MTF_H", "MTF_V", "NNPS_H", "NNPS_V", "DQE_H", "DQE_V"};
    report.tableRows.clear();
    for (const IecDqeRow& r : dqe.rows) {
        if (isStandardFrequency(r.f)) report.tableRows.push_back(iecDqeCells(r));
    }
    const PreciseMtfResult* edges[2] = {&edgeH, &edgeV};
    for (int d = 0; d < 2; ++d) {
        ReportDirection& dir = d == 0 ? report.h : report.v;
        dir.name = d == 0 ? "H" : "V";
        dir.mtf = {edges[d]->freq, edges[d]->mtf, edges[d]->se};
        dir.nnps = {nnps.freq, d == 0 ? nnps.nnpsH : nnps.nnpsV, d == 0 ? nnps.seH : nnps.seV};
        dir.dqe = {};
        for (const IecDqeRow& r : dqe.rows) {
            dir.dqe.freq.push_back(r.f);
            dir.dqe.value.push_back(d == 0 ? r.dqeH : r.dqeV);
            dir.dqe.se.push_back(d == 0 ? r.seDqeH : r.seDqeV);
        }
    }
    report.method = iecMethodStatement();
    report.version = VANTRY_VERSION;
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
    report.date = date;
}

} // namespace vantry
