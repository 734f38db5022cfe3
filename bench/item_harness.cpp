// Hosting and watching the item.
#include "item_harness.h"

#include <cstdio>

#include "histories.h"
#include "item_window.h"
#include "load_sampler.h"
#include "test_registry.h"
#include "thread_census.h"

std::function<void(const PaintSeen&)> OnPublish;
int64_t PublishesSeen = 0;
int64_t PaintsSeen = 0;

namespace {

WNDPROC ItemProcedure = nullptr;
// The history the previous paint looked at and its write position then.
const SampleHistory* SeenHistory = nullptr;
int32_t SeenWriteIndex = 0;

// Counts the pushes since the previous paint from the write position, which
// moves by one per push, modulo the capacity, full or not.
void NotePaint() {
    ++PaintsSeen;
    PaintSeen seen;
    seen.time = Now();
    {
        ScopedLock guard(HistoryLock);
        if (!CpuHistory || CpuHistory->Count() == 0) {
            return;
        }
        const int32_t capacity = CpuHistory->Capacity();
        if (CpuHistory.get() != SeenHistory) {
            seen.published = CpuHistory->Count();
        } else {
            seen.published = (CpuHistory->WriteIndex() - SeenWriteIndex + capacity) % capacity;
        }
        SeenHistory = CpuHistory.get();
        SeenWriteIndex = CpuHistory->WriteIndex();
        seen.cpu = CpuHistory->At(CpuHistory->Count() - 1);
        seen.memory = MemoryHistory && MemoryHistory->Count() > 0
                          ? MemoryHistory->At(MemoryHistory->Count() - 1)
                          : -1;
    }
    if (seen.published == 0) {
        return;
    }
    PublishesSeen += seen.published;
    if (OnPublish) {
        OnPublish(seen);
    }
}

LRESULT CALLBACK WatchedItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcW(ItemProcedure, window, message, wParam, lParam);
    if (message == WM_PAINT) {
        NotePaint();
    }
    // A size change deletes the histories; a new one may reuse the address.
    if (!CpuHistory) {
        SeenHistory = nullptr;
    }
    return result;
}

void DispatchWaiting() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

void StoreSettings(std::initializer_list<std::pair<const wchar_t*, DWORD>> values) {
    DeleteItemKey();
    CreateItemKey();
    for (const auto& value : values) {
        StoreDword(value.first, value.second);
    }
}

HWND CreateItem(HWND host) {
    TODAYLISTITEM record = {};
    record.fEnabled = TRUE;
    record.hinstDLL = GetModuleHandleW(nullptr);
    HWND item = InitializeCustomItem(&record, host);
    if (item == nullptr) {
        std::printf("ERROR\tthe entry made no window\n");
        return nullptr;
    }
    ItemProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchedItemProc)));
    return item;
}

HWND CreateSamplingItem(HWND host) {
    StoreSettings({{L"SampleInterval", 0}, {L"DisplayMemory", 1}, {L"WindowSize", 2}});
    HWND item = CreateItem(host);
    if (item != nullptr) {
        PlaceItem(item, 240, 50);
    }
    return item;
}

void PlaceItem(HWND item, int width, int height) {
    MoveWindow(item, 0, 0, width, height, TRUE);
    UpdateWindow(item);
}

void PaintItem(HWND item) {
    InvalidateRect(item, nullptr, FALSE);
    UpdateWindow(item);
}

void RestartSampling(HWND item) {
    RECT client;
    GetClientRect(item, &client);
    SendMessageW(item, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    PaintItem(item);
}

void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        DispatchWaiting();
        const DWORD passed = GetTickCount() - start;
        if (passed >= milliseconds) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - passed, QS_ALLINPUT);
    }
}

bool PumpUntilTrue(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        DispatchWaiting();
        if (condition()) {
            return true;
        }
        const DWORD passed = GetTickCount() - start;
        if (passed >= timeoutMs) {
            return false;
        }
        // Paints come as messages; other conditions are looked at every 10 ms.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpUntilSignalled(HANDLE handle) {
    for (;;) {
        DispatchWaiting();
        if (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) {
            return;
        }
    }
}

int LiveSamplerThreads() {
    return ThreadsStartedAt(reinterpret_cast<const void*>(&LoadSampler));
}

int SettledSamplerThreads(DWORD timeoutMs) {
    int live = LiveSamplerThreads();
    const DWORD start = GetTickCount();
    while (live > 1 && GetTickCount() - start < timeoutMs) {
        PumpFor(20);
        live = LiveSamplerThreads();
    }
    return live;
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

double SecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(Now().QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

namespace {

bool DialogCancelled = false;

BOOL CALLBACK FindShownDialog(HWND window, LPARAM found) {
    wchar_t name[16];
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// A thread timer: the dialog's own modal loop dispatches it.
void CALLBACK CancelShownDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindShownDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog != nullptr) {
        KillTimer(nullptr, timer);
        DialogCancelled = true;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

} // namespace

bool OpenAndCancelOptions(HWND item) {
    DialogCancelled = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, CancelShownDialog);
    SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    if (!DialogCancelled) {
        KillTimer(nullptr, timer);
    }
    return DialogCancelled;
}
