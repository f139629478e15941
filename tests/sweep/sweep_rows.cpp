#include "sweep_row.h"

namespace zksweep {

const zk_wchar* wide64k() {
    static const std::basic_string<zk_wchar> text(65536, zk_wchar('a'));
    return text.c_str();
}

const zk_wchar* wideSurrogates() {
    static const zk_wchar text[] = {0xD800, 'x', 0xDC00, 'y', 0xD83D, 0};
    return text;
}

const char* narrow64k() {
    static const std::string text(65536, 'a');
    return text.c_str();
}

const zk_wchar* wideEmpty() {
    static const zk_wchar text[] = {0};
    return text;
}

Rows allRows() {
    Rows rows;
    addStutterRows(rows);
    addThrottleRows(rows);
    addIoTunerRows(rows);
    addMemoryRows(rows);
    addPowerRows(rows);
    addDiskRows(rows);
    addAffinityRows(rows);
    addSoftDemoteRows(rows);
    addBoostUtilRows(rows);
    addRestoreRows(rows);
    addLifecycleRows(rows);
    return rows;
}

}  // namespace zksweep
