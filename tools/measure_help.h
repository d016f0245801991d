#pragma once
// The help texts of vantry-measure.

#include <string>

namespace vantry::cli {

/// Writes a help text to the standard output; 0, or 3 when it could not be written.
int printHelp(const std::string& text);
/// The help of one command: its usage lines, its sections and the closing rules; empty when the
/// help knows no such command.
std::string commandHelp(const std::string& command);

} // namespace vantry::cli
