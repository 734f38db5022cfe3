// The two sample histories, the grid offset, and the one lock that guards
// them between the sampler thread and the renderer.
#pragma once

#include <windows.h>

#include <memory>

#include "sample_history.h"

// A critical section built at library load and deleted at unload.
class CriticalSectionLock {
  public:
    CriticalSectionLock() { InitializeCriticalSection(&section); }
    ~CriticalSectionLock() { DeleteCriticalSection(&section); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

    void Lock() { EnterCriticalSection(&section); }
    void Unlock() { LeaveCriticalSection(&section); }

  private:
    CRITICAL_SECTION section;
};

// Holds a lock for the life of a scope.
class ScopedLock {
  public:
    explicit ScopedLock(CriticalSectionLock& lock) : lock(lock) { lock.Lock(); }
    ~ScopedLock() { lock.Unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

  private:
    CriticalSectionLock& lock;
};

extern CriticalSectionLock HistoryLock;

// Created and deleted only on the item window's thread, while no sampler runs.
extern std::unique_ptr<SampleHistory> CpuHistory;
extern std::unique_ptr<SampleHistory> MemoryHistory;

// x of the first vertical grid line; written by the sampler under HistoryLock.
extern int GridScrollOffset;

// The memory sample of a period sampled while memory was off: no reading, so
// it is never drawn or shown. Readings lie within -100 to 100.
const int NotMeasured = -128;
