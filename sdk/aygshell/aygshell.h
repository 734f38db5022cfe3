// The Pocket PC shell library's dialog call, as the stand-in provides it on
// the desktop: SHInitDialog gives a dialog the screen below the navigation bar
// and puts its caption and an OK into that bar. Values are the platform's.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

#define SHIDIM_FLAGS 0x0001

#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010

BOOL WINAPI SHInitDialog(PSHINITDLGINFO info);

#ifdef __cplusplus
}
#endif
