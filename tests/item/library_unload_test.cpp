// The item library as the Today host uses it: loaded, its entry called, the
// window shown until the sampler runs, destroyed, and the library freed at
// once, over and over. The library must go away only after the sampler's
// thread has left it, go away then, and leave nothing of its own behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "item_library.h"
#include "process_resources.h"
#include "test_host_window.h"
#include "test_registry.h"
#include "todaycmn.h"

namespace {

class LibraryUnload : public testing::Test {
  protected:
    void SetUp() override {
        DeleteItemKey();
        CreateItemKey();
        StoreDword(L"SampleInterval", 0);
    }
    void TearDown() override { DeleteItemKey(); }

    // A fresh copy of the library, its entry called.
    HWND LoadItem() {
        EXPECT_FALSE(ItemLibraryLoaded()) << "an earlier copy stays loaded";
        HWND item = LoadItemLibrary(host.Handle(), library);
        EXPECT_NE(nullptr, item) << "library " << library << ", error " << GetLastError();
        return item;
    }

    // Frees the library right after the item's destruction, as the host
    // does, and waits until it has gone.
    bool DestroyAndFree(HWND item) {
        DestroyWindow(item);
        FreeLibrary(library);
        return PumpUntil([] { return !ItemLibraryLoaded(); }, 10000);
    }

    // One host cycle: the item shown until its sampler is `into` ms into its
    // first spin or sleep, then destroyed and freed.
    bool Cycle(DWORD into) {
        HWND item = LoadItem();
        if (item == nullptr) {
            return false;
        }
        MoveWindow(item, 0, 0, 240, 50, TRUE);
        UpdateWindow(item);
        PumpMessages(into);
        return DestroyAndFree(item);
    }

    TestHostWindow host;
    HMODULE library = nullptr;
};

TEST_F(LibraryUnload, DestroyBeforeAnyPaintHasNoSamplerToWaitFor) {
    HWND item = LoadItem();
    ASSERT_NE(nullptr, item);
    const DWORD start = GetTickCount();
    const bool unloaded = DestroyAndFree(item);
    // Waiting for a sampler that never started would never end.
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_TRUE(unloaded);
}

TEST_F(LibraryUnload, CyclesUnloadOnceTheSamplerHasLeftAndLeaveNothingBehind) {
    std::string methods;
    ASSERT_TRUE(ProbeResourceMethods(methods)) << methods;
    // The platform's own first-use allocations are not the item's.
    for (int cycle = 0; cycle < 2; ++cycle) {
        ASSERT_TRUE(Cycle(100)) << "warm-up cycle " << cycle;
    }
    const ResourceCounts before = CountResources();
    for (int cycle = 0; cycle < 50; ++cycle) {
        // Into the sampler's first spin or sleep, by turns.
        ASSERT_TRUE(Cycle(cycle % 2 == 0 ? 100 : 400)) << "cycle " << cycle << ": still loaded";
    }
    const ResourceCounts after = CountResources();
    EXPECT_EQ(before.gdiObjects, after.gdiObjects) << "GDI objects; " << methods;
    EXPECT_EQ(before.handles, after.handles) << "handles; " << methods;
}

} // namespace
