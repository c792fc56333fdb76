#include "cli/Csv.h"

#include "fetch/MemTable.h"

std::string CsvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

namespace {

std::string Cell(const TFieldValue &value) {
    if (const auto *number = std::get_if<int32_t>(&value))
        return std::to_string(*number);
    if (const auto *text = std::get_if<std::string>(&value))
        return CsvField(*text);
    return {};
}

} // namespace

std::string TableCsv(const TMemTable &table) {
    std::string csv;
    const auto &fields = table.Fields();
    for (size_t f = 0; f < fields.size(); ++f)
        csv += (f ? "," : "") + CsvField(fields[f].Name);
    csv += "\r\n";
    // A pending new row is not stored data: it shows in the grid only.
    const int stored = table.RowCount() - (table.State() == dsInsert ? 1 : 0);
    for (int row = 0; row < stored; ++row) {
        for (size_t f = 0; f < fields.size(); ++f)
            csv += (f ? "," : "") + Cell(table.Cell(row, int(f)));
        csv += "\r\n";
    }
    return csv;
}
