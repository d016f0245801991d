#pragma once
// What a DQE report shows: the inputs, the curves per direction, the table as the command line
// prints it, the warnings and the method statement. Filled by whoever measured (vantry-measure,
// the analysis window's "Report..."); written to PDF by the Qt shell (ui/dqe_report_pdf.h)
// through Host::writeReport or directly.

#include <string>
#include <utility>
#include <vector>

namespace vantry {

/// One image the measurement read.
struct ReportFile {
    std::string role;      ///< "Edge H", "Edge V", "Flat field 1", ...
    std::string path;      ///< as given; the writer adds its SHA-256
    std::string preset;    ///< detector entry it was read with
    double pitchMm = 0;    ///< pixel pitch used
    std::string pitchFrom; ///< "preset", "imager-pixel-spacing" or "pixel-spacing"
    std::string roi;       ///< "X,Y,W,H" in image pixels
};

/// A curve against frequency (cycles/mm) with the standard error of each value (empty: none).
struct ReportCurve {
    std::vector<double> freq, value, se;
};

/// The curves of one direction: " H" frequencies along the image rows (x), " V" along columns (y).
struct ReportDirection {
    std::string name; ///< "H" or "V"
    ReportCurve mtf, nnps, dqe;
};

struct DqeReport {
    std::string title;
    std::vector<ReportFile> files;
    /// Further inputs as label and value text, in order: air kerma, beam, edition, q and where it
    /// came from, conversion function, Nyquist frequency, ...
    std::vector<std::pair<std::string, std::string>> settings;
    ReportDirection h, v;
    double nyquist = 0; ///< cycles/mm, the end of the charts' frequency axes
    /// The table at the standard frequencies, each cell text exactly as the command line prints it.
    std::vector<std::string> tableHeader;
    std::vector<std::vector<std::string>> tableRows;
    std::vector<std::string> warnings; ///< each as printed ("warning ...")
    std::vector<std::string> method;   ///< paragraphs: the method and its departures from the standard
    std::string version;               ///< program version
    std::string date;                  ///< date and time of the measurement, ISO 8601
};

} // namespace vantry
