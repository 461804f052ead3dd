#include "prninfo/name_tables.h"

#include "prninfo/codes.h"

#include <cstring>

namespace patprn {

const NameTableRow TrayNameTable[] = {
    {"Tray 1", kTray1, 5000},
    {"Tray 2", kTray2, 5001},
    {"Tray 3", kTray3, 5002},
    {"Bypass Tray", kTrayBypass, 5003},
    {nullptr, kTrayUnknown, 0},
};

const NameTableRow OutBinNameTable[] = {
    {"Standard Tray", kBinStandard, 5010},
    {nullptr, kBinUnknown, 0},
};

const NameTableRow *NameTableFind(const NameTableRow *table, const char *name) {
    const NameTableRow *row = table;
    for (; row->name != nullptr; ++row) {
        if (name != nullptr && std::strcmp(row->name, name) == 0) return row;
    }
    return row;
}

}  // namespace patprn
