// The item as the benchmarks host it: made by its own entry inside a
// stand-in Today host window, placed, watched paint by paint, and its
// sampler threads counted from outside.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>

// Replaces the item's stored settings with exactly these values.
void StoreSettings(std::initializer_list<std::pair<const wchar_t*, DWORD>> values);

// Calls the entry with an enabled record and watches the new window's paints;
// prints the error row and returns null when the entry makes no window.
HWND CreateItem(HWND host);
// Stores the settings most suites run with (250 ms, memory on, large), then
// creates the item and places it at 240 x 50.
HWND CreateSamplingItem(HWND host);
// Places the item as the host does: MoveWindow (sends WM_SIZE), then paints.
void PlaceItem(HWND item, int width, int height);
// Asks for a paint and runs it now.
void PaintItem(HWND item);
// Restarts sampling after a close: WM_SIZE drops the kept samples, the paint
// after it starts a fresh sampler.
void RestartSampling(HWND item);

// What one paint found: how many samples were published since the paint
// before it, and the newest samples.
struct PaintSeen {
    LARGE_INTEGER time;
    int published;
    int cpu;
    int memory;
};
// Called on the window's thread after every paint that found new samples.
extern std::function<void(const PaintSeen&)> OnPublish;
// Publishes seen since the process started.
extern int64_t PublishesSeen;
extern int64_t PaintsSeen;

// Dispatches messages for the given time without polling, so that the waiting
// thread costs no processor time between messages.
void PumpFor(DWORD milliseconds);
// Dispatches messages until the condition holds; false on time-out.
bool PumpUntilTrue(const std::function<bool()>& condition, DWORD timeoutMs);
// Dispatches messages until the handle is signalled.
void PumpUntilSignalled(HANDLE handle);

// Live threads of this process that run the sampler's routine, told by their
// start address.
int LiveSamplerThreads();
// Waits up to timeoutMs for threads that have left the sampler's loop to end,
// then counts again.
int SettledSamplerThreads(DWORD timeoutMs);

double SecondsSince(const LARGE_INTEGER& start);
LARGE_INTEGER Now();

// Taps the item (WM_LBUTTONUP) and cancels the options dialog as soon as it
// shows. Returns true when a dialog showed and was cancelled.
bool OpenAndCancelOptions(HWND item);
