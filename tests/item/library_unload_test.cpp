// The item library as the Today host uses it: loaded, its entry called, the
// window shown until the sampler runs, destroyed, and the library freed at
// once, over and over. The library must go away only after the sampler's
// thread has left it, and go away then.
#include <windows.h>

#include <gtest/gtest.h>

#include "test_host_window.h"
#include "test_registry.h"
#include "todaycmn.h"

namespace {

typedef HWND(WINAPI* ItemEntry)(TODAYLISTITEM*, HWND);

std::wstring LibraryPath() {
    std::wstring path = L"Z:";
    for (const char* c = TOVAMET_DLL; *c != '\0'; ++c) {
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return path;
}

TEST(LibraryUnload, FreeRightAfterDestroyUnloadsOnceTheSamplerHasLeft) {
    DeleteItemKey();
    CreateItemKey();
    StoreDword(L"SampleInterval", 0);
    TestHostWindow host;
    const std::wstring path = LibraryPath();
    for (int cycle = 0; cycle < 8; ++cycle) {
        HMODULE library = LoadLibraryW(path.c_str());
        ASSERT_NE(nullptr, library) << "error " << GetLastError();
        const ItemEntry entry = reinterpret_cast<ItemEntry>(
            reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(240))));
        ASSERT_NE(nullptr, entry);
        TODAYLISTITEM record = {};
        record.fEnabled = TRUE;
        record.hinstDLL = library;
        HWND item = entry(&record, host.Handle());
        ASSERT_NE(nullptr, item);
        MoveWindow(item, 0, 0, 240, 50, TRUE);
        UpdateWindow(item);
        // Into the sampler's first spin or sleep, by turns.
        PumpMessages(cycle % 2 == 0 ? 100 : 400);
        DestroyWindow(item);
        FreeLibrary(library);
        EXPECT_TRUE(PumpUntil([&] { return GetModuleHandleW(path.c_str()) == nullptr; }, 10000))
            << "cycle " << cycle << ": the library stays loaded";
    }
    DeleteItemKey();
}

} // namespace
