#pragma once

#include "fetch/MemTable.h"

#include <QStringList>

// What a cell holds, as the tests write it: digits for an integer, the text, or `null`.
inline QString Shown(const TFieldValue &value, const QString &null) {
    if (const auto *number = std::get_if<int32_t>(&value))
        return QString::number(*number);
    if (const auto *text = std::get_if<std::string>(&value))
        return QString::fromLatin1(text->data(), qsizetype(text->size()));
    return null;
}

// Every row the table shows, cells joined by "|".
inline QStringList Rows(const TMemTable &table, const QString &null) {
    QStringList rows;
    for (int r = 0; r < table.RowCount(); ++r) {
        QStringList cells;
        for (int f = 0; f < int(table.Fields().size()); ++f)
            cells << Shown(table.Cell(r, f), null);
        rows << cells.join('|');
    }
    return rows;
}
