// The background thread that measures processor and memory load and the
// handshake by which the item window starts and stops it.
#pragma once

#include <windows.h>

#include <atomic>

// Words shared with the item window outside the history lock.
extern std::atomic<LONG> SamplerRunning;
extern std::atomic<LONG> SamplerExited;
// The started sampler, from its creation until a stop has seen it exit and
// closed it; null when none runs. Used on the item window's thread only: the
// sampler names itself by its own pseudo-handle.
extern HANDLE SamplerThread;

// The thread procedure; the argument is a reference to the library it runs
// in, released as the thread ends, or null.
DWORD WINAPI LoadSampler(LPVOID);

// Arms the stop handshake and starts a sampler thread into SamplerThread.
void StartLoadSampler();
// Asks the sampler to stop, raises it to the normal priority so that it sees
// the request at its next test, and returns once it has left its loop, with
// SamplerThread closed and cleared; returns at once when none runs.
void StopLoadSampler();
// Frees what the handshake keeps between samplers; for the library's unload,
// when no sampler runs.
void ReleaseLoadSampler();
