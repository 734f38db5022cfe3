// The Today host's interface as the item and the host stand-in see it: the
// item record, the custom-item messages, the watermark request and the type
// of the entry that the host calls by ordinal. Field order and values are the
// platform's.
#pragma once

#include <windows.h>

enum TODAYLISTITEMTYPE {
    tlitOwnerInfo = 0,
    tlitAppointments,
    tlitMail,
    tlitTasks,
    tlitCustom,
    tlitNil
};

struct TODAYLISTITEM {
    WCHAR szName[32];
    TODAYLISTITEMTYPE tlit;
    DWORD dwOrder;
    DWORD cyp;
    BOOL fEnabled;
    BOOL fOptions;
    DWORD grfFlags;
    WCHAR szDLLPath[MAX_PATH];
    HINSTANCE hinstDLL;
    HWND hwndCustom;
    BOOL fSizeOnDraw;
    BYTE* prgbCachedData;
    DWORD cbCachedData;
};

struct TODAYDRAWWATERMARKINFO {
    HDC hdc;
    RECT rc;
    HWND hwnd;
};

constexpr UINT WM_TODAYCUSTOM_CLEARCACHE = WM_USER + 242;
constexpr UINT WM_TODAYCUSTOM_QUERYREFRESHCACHE = WM_USER + 243;
constexpr UINT TODAYM_DRAWWATERMARK = WM_USER + 101;

static_assert(WM_TODAYCUSTOM_CLEARCACHE == 0x04F2, "clear-cache message");
static_assert(WM_TODAYCUSTOM_QUERYREFRESHCACHE == 0x04F3, "refresh-query message");
static_assert(TODAYM_DRAWWATERMARK == 0x0465, "watermark message");
static_assert(tlitCustom == 4, "custom item type");

// The custom item's entry, exported by ordinal 240.
typedef HWND(WINAPI* PFNCUSTOMINITIALIZEITEM)(TODAYLISTITEM* item, HWND parent);
