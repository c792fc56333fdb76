#pragma once

#include "fetch/MemTable.h"

// The fields of the class table tklasse and of the start-number table ttider, whose key
// is its start number.
inline std::vector<TFieldDef> ClassTableFields() {
    return {{"id", ftAutoInc},     {"fra", ftInteger},          {"til", ftInteger},
            {"tid", ftString, 15}, {"intervall", ftString, 10}, {"parstart", ftInteger},
            {"sjekk", ftInteger}};
}

inline std::vector<TFieldDef> TimesTableFields() {
    return {{"id", ftAutoInc},         {"startnr", ftInteger},    {"navn", ftString, 10},
            {"tidsek1", ftInteger},    {"tidstr1", ftString, 15}, {"tidsek2", ftInteger},
            {"tidstr2", ftString, 15}, {"tidsek3", ftInteger},    {"tidstr3", ftString, 15}};
}

inline const std::string TimesTableKey = "startnr";
