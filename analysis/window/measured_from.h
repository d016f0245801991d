#pragma once
// Filling a stored curve's CurveSource at the moment it is measured.

#include "curve_source.h"
#include "vylsf.h"

#include <string>
#include <utility>
#include <vector>

namespace vantry {

/// The image of `view` as read (path, its SHA-256 from the host, preset, pitch and its source),
/// its ROI, the method and settings given, the current date and time and the program version.
CurveSource measuredFrom(Vylsf& v, int view, std::string label, std::string method,
                         std::vector<std::pair<std::string, std::string>> settings);

/// A setting's number as its shortest text ("0.03", "5", "-0.0123").
std::string settingText(double value);

/// The current date and time in UTC, ISO 8601 ("2026-12-08T05:15:29Z").
std::string isoDateNow();

/// The program version this build states.
std::string programVersion();

} // namespace vantry
