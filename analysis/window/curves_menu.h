#pragma once
// "File" of the analysis window: "Save curves..." and "Open curves...", and the recovery file
// that keeps curves a session ended without saving.

#include "vylsf.h"

#include <string>

namespace vantry {

constexpr const char* kCurvesFilter = "Curves (*.json)|*.json|(*.*)|*.*|";
/// Name of the recovery file in the host's data folder.
constexpr const char* kRecoveryName = "curves-recovery.json";

/// "Save curves...": every stored curve to a file the operator names (never an image a curve was
/// measured from); a failure is told.
void SAVECURVES(Vylsf& v);

/// "Open curves...": the curves of a file into the store under their data numbers, all or
/// nothing; unsaved curves it would replace are replaced only when the operator agrees.
void OPENCURVES(Vylsf& v);

/// When the analysis window or the program closes: curves stored since the last save or open go
/// to the recovery file in the host's data folder; when there are none, the recovery file this
/// session wrote is removed.
void keepUnsavedCurves(Vylsf& v);

/// At the program's start, once: the curves a session kept in the recovery file are offered;
/// either answer renames the file aside so it is offered once. A file that cannot be read is
/// told and left in place.
void offerKeptCurves(Vylsf& v);

} // namespace vantry
