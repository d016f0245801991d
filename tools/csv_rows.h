#pragma once
// The rows of a CSV text: fields separated by commas, quoted fields holding commas, quotes ("")
// and line ends, CRLF or LF line ends.

#include <string>
#include <vector>

namespace vantry::cli {

struct CsvRow {
    int line = 0; ///< line of the file the row starts on, from 1
    std::vector<std::string> cells;
};

/// The rows of `text`, blank lines left out; an empty list with `error` set (naming the line)
/// when a quoted field is not closed.
std::vector<CsvRow> csvRows(const std::string& text, std::string& error);

} // namespace vantry::cli
