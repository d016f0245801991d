#pragma once
// What a vantry-measure command found, kept so that it can be written in each output format:
// the text scripts have always read, a CSV table, or one JSON object.

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <utility>
#include <vector>

namespace vantry::cli {

enum class OutputFormat { Text, Csv, Json };

/// A figure of the result: its name and its value as the text output prints it.
struct Figure {
    std::string name;
    std::string text;
};

/// A table of numbers (a curve against frequency, the points of a fit), each cell as the text
/// output prints it.
struct ResultTable {
    std::string name;                 ///< "mtf", "nnps", "dqe", "points"
    std::string label;                ///< the curve's label, or empty
    std::vector<std::string> columns; ///< "frequency", "mtf", ...
    std::vector<std::vector<std::string>> rows;
};

/// One image the command read: what it was for and where it is. Its checksum is taken only by
/// the formats that print it.
struct InputFile {
    std::string role; ///< "image", "edge", "flat field 2", ...
    std::string path;
    double pitchMm = 0;
    std::string pitchFrom;
};

/// A command's output and, when it failed, the exit status and the reason.
struct CommandOutput {
    std::string command;
    std::string text; ///< the text output, exactly as it has always been printed
    std::vector<Figure> figures;
    std::vector<ResultTable> tables;
    std::vector<InputFile> inputs;
    /// What the measurement was made with, in order: preset, pitch, roi, method, its settings.
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<std::string> warnings; ///< without the leading "warning "
    int status = 0;
    std::string reason; ///< why the command was refused (status 2 or 3)

    /// Appends to the text output as printf would write it.
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    /// Appends "NAME VALUE" to the text and keeps it as a figure.
    void field(const std::string& name, const std::string& value);
    /// Appends warning lines ("warning ...", each ending in a line feed) to the text and keeps them.
    void warningText(const std::string& lines);
    /// Starts a table that the following point lines fill.
    void table(const std::string& name, const std::vector<std::string>& columns, const std::string& label = "");
    /// Appends "point C1 C2 ..." to the text and the cells as a row of the last table.
    void point(const std::vector<std::string>& cells);
    /// A setting of the measurement (metadata).
    void setting(const std::string& name, const std::string& value);
    /// A usage error: the reason, status 2.
    int usage(const std::string& why);
    /// A refusal: the reason, status 3.
    int refuse(const std::string& why);
};

/// "%.9g" and other printf texts of one number.
std::string numberText(const char* format, double value);

/// The table of a clipboard of TAB-separated rows after a header line: every line after the
/// first that holds a TAB, its cells split at the TABs.
std::vector<std::vector<std::string>> tabRows(const std::string& clipboard);

/// The output as one JSON object: command, status (and reason), version, date, units, inputs,
/// settings, figures, warnings and the tables as arrays of columns.
nlohmann::ordered_json outputJson(const CommandOutput& out, const std::string& date);
/// The output as CSV: "# key: value" lines with the metadata, figures and warnings, then the
/// first table with its header row (or, without a table, the figures as one row).
std::string outputCsv(const CommandOutput& out, const std::string& date);
/// A CSV field: as it is, or quoted when it holds a comma, a quote or a line end.
std::string csvCell(const std::string& text);
/// The output in the format; the text format is the text itself.
std::string formatted(const CommandOutput& out, OutputFormat format);

} // namespace vantry::cli
