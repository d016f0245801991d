#pragma once
// The beam-quality list BEAMQ.TXT beside the program: photons per mm^2 and uGy of each beam.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

inline constexpr const char* kBeamListFileName = "BEAMQ.TXT";

struct BeamQuality {
    std::string name;    ///< "RQA5"
    double q = 0;        ///< photon fluence per air kerma, 1 / (mm^2 uGy)
    std::string edition; ///< the standard's edition the value comes from
    int line = 0;        ///< the line of the list it was read from
};

struct BeamList {
    std::vector<BeamQuality> beams; ///< in file order; the first of a name is the one used
    /// One per unreadable or repeated line (or the file), naming it.
    std::vector<std::string> errors;
    /// Whether the error at the same index is a repeated name (the list itself is usable).
    std::vector<bool> repeat;

    /// The errors that make the list unusable as a whole: unreadable lines or file.
    std::vector<std::string> faults() const;
    /// The errors that report a name repeated within one edition.
    std::vector<std::string> repeats() const;
};

/// The edition an edition text names, as the list's repeats are counted: its last run of exactly
/// four digits (the year: "2015" of "IEC62220-1-1:2015"), else the whole text.
std::string editionKey(std::string_view edition);

/// Parses the list's text: a header line, then "NAME Q EDITION" per line (blanks or tabs between
/// the fields; empty lines and lines starting with '#' are skipped). A line whose q is not a
/// positive number, or that lacks a field, is reported and left out; a name repeated within one
/// edition (case-insensitive) is reported and the first line of it kept; the rest is kept.
BeamList parseBeamList(std::string_view text);
/// Reads and parses the list file; a missing or oversized file gives one error naming it.
BeamList readBeamList(const std::filesystem::path& path);
/// The first beam of that name (case-insensitive); nullptr when there is none.
const BeamQuality* findBeam(const BeamList& list, std::string_view name);
/// The first beam of that name (case-insensitive) whose edition text contains `edition` ("2015",
/// "2003"); nullptr when there is none.
const BeamQuality* findBeam(const BeamList& list, std::string_view name, std::string_view edition);

} // namespace vantry
