// mingw-w64's malloc.h takes _mm_malloc from the x86 compiler's own header.
// The ARM compiler has none and nothing here uses it: this stands in for it.
#pragma once
