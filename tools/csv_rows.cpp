#include "csv_rows.h"

namespace vantry::cli {

std::vector<CsvRow> csvRows(const std::string& text, std::string& error)
{
    std::vector<CsvRow> rows;
    CsvRow row;
    std::string cell;
    bool quoted = false, any = false;
    int line = 1, quoteLine = 0;
    row.line = 1;
    const auto endRow = [&] {
        row.cells.push_back(cell);
        cell.clear();
        const bool blank = row.cells.size() == 1 && row.cells[0].empty() && !any;
        if (!blank) rows.push_back(row);
        row = CsvRow{};
        any = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n') ++line;
                cell += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            any = true;
            quoteLine = line;
        } else if (c == ',') {
            row.cells.push_back(cell);
            cell.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            endRow();
            row.line = ++line;
        } else {
            cell += c;
        }
    }
    if (quoted) {
        error = "line " + std::to_string(quoteLine) + ": a quoted field is not closed";
        return {};
    }
    if (!cell.empty() || !row.cells.empty() || any) endRow();
    return rows;
}

} // namespace vantry::cli
