// Storage of the histories and their lock.
#include "histories.h"

CriticalSectionLock HistoryLock;
std::unique_ptr<SampleHistory> CpuHistory;
std::unique_ptr<SampleHistory> MemoryHistory;
int GridScrollOffset = 0;
