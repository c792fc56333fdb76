#pragma once

#include <string>

class TMemTable;

// The table as CSV: a header row of the field names, then the stored rows in table order, an empty
// cell for null, fields quoted where they hold a comma, a quote or a line end, and every
// record ended by CR LF. Text goes out as the bytes stored.
std::string TableCsv(const TMemTable &table);

// One CSV field, quoted when needed.
std::string CsvField(const std::string &text);
