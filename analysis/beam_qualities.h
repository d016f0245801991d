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
};

struct BeamList {
    std::vector<BeamQuality> beams; ///< in file order; the first of a name is the one used
    std::vector<std::string> errors; ///< one per unreadable line (or the file), naming it
};

/// Parses the list's text: a header line, then "NAME Q EDITION" per line (blanks or tabs between
/// the fields; empty lines and lines starting with '#' are skipped). A line whose q is not a
/// positive number, or that lacks a field, is reported and left out; the rest is kept.
BeamList parseBeamList(std::string_view text);
/// Reads and parses the list file; a missing or oversized file gives one error naming it.
BeamList readBeamList(const std::filesystem::path& path);
/// The first beam of that name (case-insensitive); nullptr when there is none.
const BeamQuality* findBeam(const BeamList& list, std::string_view name);

} // namespace vantry
