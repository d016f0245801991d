#pragma once
// Data numbers of the curve store: which number a new curve is offered, the question before a
// stored curve is replaced, and the one prompt that asks for a stored curve.
//
// The MTF and the noise curves share one row of data numbers, labels (DATALBL) and colours: a
// number holds at most one curve, of either kind. Storing a curve under a number clears whatever
// curve of the other kind it held, so a label always names the curve drawn under it.

#include "vylsf.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantry {

enum class CurveKind { Mtf, Nnps };

/// Whether data number d (1 .. 7) holds a curve of `kind`.
bool holdsCurve(const VylsfRecord& r, CurveKind kind, int16_t d);
/// The number a new curve is offered: the first that holds no curve at all; when every number
/// holds one, the curve of the same kind stored last, else the first of the same kind, else 7.
int16_t firstFreeNumber(const VylsfRecord& r, CurveKind kind);
/// The stored curve of `kind` offered by a prompt that reads one: the one stored last when it is
/// still there, else the first of that kind, else 1.
int16_t lastStoredNumber(const VylsfRecord& r, CurveKind kind);

/// The number a Clip offers: DATANO, the curve stored last, when it is of `kind`; else
/// lastStoredNumber.
int16_t offeredToRead(const VylsfRecord& r, CurveKind kind);

/// Asks `prompt` (default: firstFreeNumber) for the number a new curve of `kind` with the label
/// `label` is stored under; the answer is rounded and held to 1 .. 7. A number that holds a curve
/// is taken only after "Yes" to a question naming it. On success the number becomes DATANO, its
/// label `label`, a curve of the other kind under it is removed, and its slot is returned; nullopt
/// for a cancel or "No" (nothing changes).
std::optional<size_t> askNewCurveSlot(Vylsf& v, std::string_view prompt, CurveKind kind,
                                      const std::string& label);
/// Stores nothing but makes room: number d (1 .. 7) loses any curve of the kind other than `kind`.
void dropOtherKind(VylsfRecord& r, CurveKind kind, int16_t d);
/// The question asked before the curve under number d is replaced, naming it.
std::string replaceQuestion(const VylsfRecord& r, int16_t d);

/// Asks `prompt` (default `deflt`) for the number of a stored curve of `kind` and returns its
/// slot; nullopt for a cancel, or after a message for a number outside 1 .. 7 or one holding no
/// curve of `kind` of 4 points or more (`missing` is that message; empty: "There is no MTF curve
/// under No.N: ...").
std::optional<size_t> askStoredCurve(Vylsf& v, std::string_view prompt, int16_t deflt, CurveKind kind,
                                     const std::string& missing = {});

/// The caption of a chart of stored curves: "MTF 1 SAMPLE-EDGE H, 3 SAMPLE-EDGE V" for the curves
/// of `kind` among CHARTLIST ("MTF: no curve" without any).
std::string chartCaption(const VylsfRecord& r, CurveKind kind);

} // namespace vantry
