#include "status/name_tables.h"

#include "platform/win32.h"

namespace patprn {

const NameTableRow TrayNameTable[] = {
    {"Tray 1", 3, 5000},
    {"Tray 2", 4, 5001},
    {"Tray 3", 5, 5002},
    {"Bypass Tray", 1, 5003},
    {nullptr, 0, 0},
};

const NameTableRow OutBinNameTable[] = {
    {"Standard Tray", 1, 5010},
    {nullptr, 255, 0},
};

const NameTableRow *NameTableFind(const NameTableRow *table, const char *name) {
    const NameTableRow *row = table;
    for (; row->name != nullptr; ++row) {
        if (name != nullptr && lstrcmpA(row->name, name) == 0) return row;
    }
    return row;
}

}  // namespace patprn
