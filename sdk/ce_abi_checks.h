// The layout of every structure the product passes across the platform
// boundary, as Windows CE lays it out (32-bit ARM) and as 64-bit Windows does
// for the Windows build. The device build takes the desktop's headers and an
// ARM calling standard (APCS) whose alignment of 64-bit members is 4 where
// CE's is 8: each build checks its own numbers here, so a header or ABI that
// lays a structure out otherwise stops the build. None of these structures
// holds a 64-bit member, so none needs an explicit alignment.
#pragma once

#include <windows.h>

#include <cstddef>

#include "aygshell.h"
#include "todaycmn.h"

#if defined(_WIN32_WCE)
#define CE_LAYOUT(type, member, ceOffset, x64Offset)                                               \
    static_assert(offsetof(type, member) == (ceOffset), #type "::" #member " offset on CE")
#define CE_SIZE(type, ceSize, x64Size) static_assert(sizeof(type) == (ceSize), #type " size on CE")
#elif defined(_WIN64)
#define CE_LAYOUT(type, member, ceOffset, x64Offset)                                               \
    static_assert(offsetof(type, member) == (x64Offset), #type "::" #member " offset on x64")
#define CE_SIZE(type, ceSize, x64Size)                                                             \
    static_assert(sizeof(type) == (x64Size), #type " size on x64")
#else
#error "layouts are stated for Windows CE and 64-bit Windows"
#endif

CE_SIZE(POINT, 8, 8);
CE_LAYOUT(POINT, y, 4, 4);

CE_SIZE(RECT, 16, 16);
CE_LAYOUT(RECT, top, 4, 4);
CE_LAYOUT(RECT, right, 8, 8);
CE_LAYOUT(RECT, bottom, 12, 12);

CE_SIZE(FILETIME, 8, 8);
CE_LAYOUT(FILETIME, dwHighDateTime, 4, 4);

CE_SIZE(PAINTSTRUCT, 64, 72);
CE_LAYOUT(PAINTSTRUCT, fErase, 4, 8);
CE_LAYOUT(PAINTSTRUCT, rcPaint, 8, 12);
CE_LAYOUT(PAINTSTRUCT, fRestore, 24, 28);
CE_LAYOUT(PAINTSTRUCT, rgbReserved, 32, 36);

// CE's MEMORYSTATUS is all DWORDs; the desktop's sizes are SIZE_T.
CE_SIZE(MEMORYSTATUS, 32, 56);
CE_LAYOUT(MEMORYSTATUS, dwTotalPhys, 8, 8);
CE_LAYOUT(MEMORYSTATUS, dwAvailPhys, 12, 16);

CE_SIZE(LOGFONTW, 92, 92);
CE_LAYOUT(LOGFONTW, lfWeight, 16, 16);
CE_LAYOUT(LOGFONTW, lfCharSet, 23, 23);
CE_LAYOUT(LOGFONTW, lfFaceName, 28, 28);

CE_SIZE(WNDCLASSW, 40, 72);
CE_LAYOUT(WNDCLASSW, lpfnWndProc, 4, 8);
CE_LAYOUT(WNDCLASSW, hInstance, 16, 24);
CE_LAYOUT(WNDCLASSW, hbrBackground, 28, 48);
CE_LAYOUT(WNDCLASSW, lpszClassName, 36, 64);

CE_SIZE(SHINITDLGINFO, 12, 24);
CE_LAYOUT(SHINITDLGINFO, hDlg, 4, 8);
CE_LAYOUT(SHINITDLGINFO, dwFlags, 8, 16);

// Dialog templates are packed to 2 bytes on both.
CE_SIZE(DLGTEMPLATE, 18, 18);
CE_LAYOUT(DLGTEMPLATE, cdit, 8, 8);
CE_LAYOUT(DLGTEMPLATE, cy, 16, 16);
CE_SIZE(DLGITEMTEMPLATE, 18, 18);
CE_LAYOUT(DLGITEMTEMPLATE, x, 8, 8);
CE_LAYOUT(DLGITEMTEMPLATE, id, 16, 16);

CE_SIZE(TODAYLISTITEM, 628, 648);
CE_LAYOUT(TODAYLISTITEM, tlit, 64, 64);
CE_LAYOUT(TODAYLISTITEM, cyp, 72, 72);
CE_LAYOUT(TODAYLISTITEM, fEnabled, 76, 76);
CE_LAYOUT(TODAYLISTITEM, szDLLPath, 88, 88);
CE_LAYOUT(TODAYLISTITEM, hinstDLL, 608, 608);
CE_LAYOUT(TODAYLISTITEM, hwndCustom, 612, 616);
CE_LAYOUT(TODAYLISTITEM, prgbCachedData, 620, 632);
CE_LAYOUT(TODAYLISTITEM, cbCachedData, 624, 640);

CE_SIZE(TODAYDRAWWATERMARKINFO, 24, 32);
CE_LAYOUT(TODAYDRAWWATERMARKINFO, rc, 4, 8);
CE_LAYOUT(TODAYDRAWWATERMARKINFO, hwnd, 20, 24);

// A structure is rounded to its members' alignment only, as CE's compiler
// rounds it; APCS alone rounds every structure to 4 bytes.
namespace AbiProbe {
struct ThreeWords {
    WORD a, b, c;
};
struct OneChar {
    char c;
};
} // namespace AbiProbe
CE_SIZE(AbiProbe::ThreeWords, 6, 6);
CE_SIZE(AbiProbe::OneChar, 1, 1);

// CE's CRITICAL_SECTION is five words; the desktop header's is larger, which
// CE tolerates (it writes only its own five).
#if defined(_WIN32_WCE)
static_assert(sizeof(CRITICAL_SECTION) >= 20, "CRITICAL_SECTION holds CE's");
#endif

#undef CE_LAYOUT
#undef CE_SIZE
