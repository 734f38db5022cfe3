// How many processor samples the item's history holds, read under its lock;
// -1 while no first paint has made the history.
#pragma once

#include "histories.h"

inline int CpuCount() {
    ScopedLock guard(HistoryLock);
    return CpuHistory ? CpuHistory->Count() : -1;
}
