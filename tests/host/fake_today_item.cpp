// A fake Today item for the host tests: a child window of one solid colour
// (or the host's watermark) that reports a fixed height once, and writes what
// the host does to it into the registry for the test to read.
#include <windows.h>

#include <string>

#include "fake_today_item.h"
#include "todaycmn.h"

namespace {

const wchar_t FakeClass[] = L"FakeTodayItem";
const wchar_t ModalClass[] = L"FakeModalWindow";
const wchar_t ItemsKey[] = L"Software\\Microsoft\\Today\\Items\\";

HINSTANCE Module;
bool LoadCounted;

struct FakeItem {
    std::wstring Name;
    DWORD Height;
    DWORD Color;
    DWORD TapHeight;
    DWORD Modal;
    bool HeightChanged;
};

DWORD ReadValue(const std::wstring& key, const wchar_t* value, DWORD fallback) {
    DWORD data = fallback;
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data,
                     &size) != ERROR_SUCCESS) {
        return fallback;
    }
    return data;
}

void WriteValue(const std::wstring& key, const wchar_t* value, DWORD data) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(handle, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                       sizeof(data));
        RegCloseKey(handle);
    }
}

std::wstring ReportKey(const FakeItem& item) {
    return std::wstring(FakeReportKey) + L"\\" + item.Name;
}

void CountUp(const std::wstring& key, const wchar_t* value) {
    WriteValue(key, value, ReadValue(key, value, 0) + 1);
}

LRESULT CALLBACK ModalWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONUP) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A window over the host with a loop of its own, as a modal dialog has; the
// item may be gone afterwards, so only the key is used then.
void RunModalWindow(HWND item, const std::wstring& reportKey) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ModalWindowProc;
    windowClass.hInstance = Module;
    windowClass.lpszClassName = ModalClass;
    RegisterClassW(&windowClass);
    HWND owner = GetAncestor(item, GA_ROOT);
    HWND modal =
        CreateWindowExW(0, ModalClass, FakeModalCaption, WS_POPUP | WS_CAPTION | WS_VISIBLE, 20,
                        100, 200, 100, owner, nullptr, Module, nullptr);
    EnableWindow(owner, FALSE);
    MSG message{};
    while (IsWindow(modal) && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
    }
    EnableWindow(owner, TRUE);
    WriteValue(reportKey, FakeDestroyedAtModalEndValue,
               ReadValue(reportKey, FakeDestroyedValue, 0));
}

void Paint(HWND window, const FakeItem& item) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    if (item.Color == FakeTransparent) {
        TODAYDRAWWATERMARKINFO info{dc, client, window};
        SendMessageW(GetParent(window), TODAYM_DRAWWATERMARK, 0, reinterpret_cast<LPARAM>(&info));
        FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    } else {
        HBRUSH brush = CreateSolidBrush(item.Color);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK FakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* item = reinterpret_cast<FakeItem*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (item == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        if (!item->HeightChanged) {
            return FALSE;
        }
        item->HeightChanged = false;
        reinterpret_cast<TODAYLISTITEM*>(wParam)->cyp = item->Height;
        return TRUE;
    case WM_PAINT:
        Paint(window, *item);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        WriteValue(ReportKey(*item), FakeTapDownValue, static_cast<DWORD>(lParam));
        return 0;
    case WM_LBUTTONUP:
        WriteValue(ReportKey(*item), FakeTapUpValue, static_cast<DWORD>(lParam));
        if (item->TapHeight != 0) {
            item->Height = item->TapHeight;
            item->HeightChanged = true;
        }
        if (item->Modal != 0) {
            RunModalWindow(window, ReportKey(*item));
        }
        return 0;
    case WM_DESTROY:
        CountUp(ReportKey(*item), FakeDestroyedValue);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete item;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

extern "C" HWND WINAPI InitializeFakeItem(TODAYLISTITEM* record, HWND parent) {
    if (!record->fEnabled) {
        return nullptr;
    }
    if (!LoadCounted) {
        LoadCounted = true;
        CountUp(FakeReportKey, FakeLoadsValue);
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = FakeWindowProc;
    windowClass.hInstance = Module;
    windowClass.lpszClassName = FakeClass;
    RegisterClassW(&windowClass);

    const std::wstring key = std::wstring(ItemsKey) + record->szName;
    auto* item = new FakeItem{record->szName,
                              ReadValue(key, FakeHeightValue, 20),
                              ReadValue(key, FakeColorValue, RGB(128, 128, 128)),
                              ReadValue(key, FakeTapHeightValue, 0),
                              ReadValue(key, FakeModalValue, 0),
                              true};
    CountUp(ReportKey(*item), FakeCreatedValue);
    // The window owns the record from WM_NCCREATE on and deletes it last.
    return CreateWindowExW(0, FakeClass, item->Name.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                           parent, nullptr, Module, item);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        Module = instance;
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // A library that is loaded again may land elsewhere: its class goes
        // with it.
        UnregisterClassW(FakeClass, instance);
        UnregisterClassW(ModalClass, instance);
    }
    return TRUE;
}
