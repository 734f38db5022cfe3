// Included first in every ARM translation unit. The device build compiles
// mingw-w64's headers with a bare ARM compiler, which does not set the names a
// mingw compiler sets; these give them, as they are for a 32-bit CE target.
#pragma once

#define __MINGW32__ 1
#define _WIN32 1
#define WIN32 1
// ARM has one calling convention: the keywords mean nothing there.
#define __stdcall
#define __cdecl
#define __fastcall
#define __thiscall
#define __declspec(x) __attribute__((x))
