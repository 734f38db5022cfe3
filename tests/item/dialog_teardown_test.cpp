// A host that tears the item down while its dialogs are open: it destroys
// the item window and frees the library from a timer that fires inside the
// options dialog's loop, or the picker's, as a host that reloads its items
// on a refresh broadcast does. Also a second tap while the dialog runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "dialog_driver.h"
#include "item_library.h"
#include "picker_grid.h"
#include "resource.h"
#include "test_canvas.h"
#include "test_host_window.h"
#include "test_registry.h"
#include "todaycmn.h"

namespace {

// Stored before each test: no grid, a white processor trace and no memory
// trace, so that the trace alone shows white.
const struct {
    const wchar_t* name;
    DWORD value;
} Stored[] = {
    {L"WindowSize", 2},  {L"SampleInterval", 0}, {L"BackgroundColor", 0},
    {L"GridColor", ~0u}, {L"SampleColor", 1},    {L"MemoryColor", 6},
    {L"TextColor", 8},   {L"DisplayMode", 0},    {L"DisplayMemory", 0},
};
const COLORREF White = RGB(255, 255, 255);

BOOL CALLBACK CountDialog(HWND window, LPARAM count) {
    wchar_t className[16];
    GetClassNameW(window, className, 16);
    *reinterpret_cast<int*>(count) += lstrcmpW(className, L"#32770") == 0 ? 1 : 0;
    return TRUE;
}

// Dialog windows of this thread, shown or not.
int DialogWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountDialog, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Code run from a freed library crashes; the test ends at once instead of
// waiting on the platform's debugger.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* crash) {
    std::fprintf(stderr, "crash: exception 0x%08lx at %p\n", crash->ExceptionRecord->ExceptionCode,
                 crash->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    ExitProcess(3);
}

class DialogTeardown : public testing::Test {
  protected:
    void SetUp() override {
        SetUnhandledExceptionFilter(EndOnCrash);
        DeleteItemKey();
        CreateItemKey();
        for (const auto& value : Stored) {
            StoreDword(value.name, value.value);
        }
        item = LoadItemLibrary(host.Handle(), library);
        ASSERT_NE(nullptr, item) << "library " << library;
        MoveWindow(item, 0, 0, 240, 50, TRUE);
        UpdateWindow(item);
    }
    void TearDown() override {
        if (item != nullptr) {
            DestroyWindow(item);
            FreeLibrary(library);
        }
        DeleteItemKey();
    }

    // What the host does from its timer: the item and the library go.
    DialogStep DestroyAndFree() {
        return [this](HWND) {
            DestroyWindow(item);
            item = nullptr;
            FreeLibrary(library);
        };
    }

    // Taps the item; the driver runs the steps inside its dialogs.
    void Tap(std::vector<DialogStep> steps) {
        DialogDriver driver(std::move(steps));
        SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        EXPECT_TRUE(driver.Finished()) << "every step ran";
        EXPECT_EQ(0, driver.ForcedEnds()) << "no dialog was left for the driver to end";
    }

    void ExpectTornDownCleanly() {
        EXPECT_EQ(nullptr, item) << "the host's timer ran";
        EXPECT_EQ(0, DialogWindows()) << "the dialogs went with the item";
        EXPECT_TRUE(IsWindowEnabled(host.Handle())) << "the host has its input back";
        for (const auto& value : Stored) {
            EXPECT_EQ(value.value, StoredDword(value.name, 0xDEADBEEF))
                << "nothing saved: " << value.name;
        }
        // Loaded again: a new item that samples, paints and opens its options.
        item = LoadItemLibrary(host.Handle(), library);
        ASSERT_NE(nullptr, item) << "loaded again";
        TODAYLISTITEM record = {};
        EXPECT_EQ(TRUE, SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                                     reinterpret_cast<WPARAM>(&record), 0));
        EXPECT_EQ(50u, record.cyp);
        MoveWindow(item, 0, 0, 240, 50, TRUE);
        TestCanvas shown(240, 50);
        EXPECT_TRUE(PumpUntil(
            [&] {
                UpdateWindow(item);
                shown.CaptureClient(item);
                return shown.CountColor(White, 0, 0, 240, 50) > 0;
            },
            10000))
            << "the processor trace shows";
        Tap({Click(IDCANCEL)});
    }

    TestHostWindow host;
    HWND item = nullptr;
    HMODULE library = nullptr;
};

// The centre of palette swatch k in the colour picker on a 96-dpi portrait
// screen.
POINT PickerSwatch(int k) {
    const PixelBox s = PickerSwatchBox(PickerGridFor(DialogShape::Tall, 96, 96), k);
    return {(s.left + s.right) / 2, (s.top + s.bottom) / 2};
}

DialogStep TapSwatch(int k) {
    return [k](HWND dialog) {
        const POINT at = PickerSwatch(k);
        TapAt(dialog, at.x, at.y);
    };
}

TEST_F(DialogTeardown, InsideTheOptionsDialog) {
    // A colour picked with OK changes the live settings at once.
    Tap({Click(IDC_EDIT_CPU), TapSwatch(7), Click(IDOK), DestroyAndFree()});
    ExpectTornDownCleanly();
}

TEST_F(DialogTeardown, InsideThePicker) {
    Tap({Click(IDC_EDIT_CPU), TapSwatch(7), DestroyAndFree()});
    ExpectTornDownCleanly();
}

TEST_F(DialogTeardown, SecondTapDuringTheDialogOpensNothing) {
    int dialogs = -1;
    Tap({[&](HWND) { PostMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(5, 5)); },
         [&](HWND) { dialogs = DialogWindows(); }, Click(IDCANCEL)});
    EXPECT_EQ(1, dialogs) << "the posted tap reached the item inside the dialog's loop";
}

} // namespace
