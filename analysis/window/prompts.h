#pragma once
// Numbers asked of the operator in the analysis window.

#include "host.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantry {

/// The leading number of the answer to a prompt; an answer without a number, or a cancel, gives 0.
double askNumber(Host& host, std::string_view prompt, const std::string& deflt);
/// The same, but a cancel gives nullopt (for prompts whose cancel must not store anything).
std::optional<double> askNumberOrCancel(Host& host, std::string_view prompt, const std::string& deflt);
/// Nearest 32-bit integer of v, ties to even; values beyond the range (and NaN) give `outside`.
int32_t nearestInt(double v, int32_t outside);
/// Plain number text of a Single without its leading blank: ".987", "1", "-2.5".
std::string plainTrimmed(float v);

} // namespace vantry
