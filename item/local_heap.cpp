// The library's allocation functions, over the platform's local heap.
#include <windows.h>

#include <new>

// These stand in for the C++ runtime's. Its nothrow forms call the throwing
// ones and catch what they throw, which brings the runtime's exception
// support and heap into the library. The item allocates only through the
// nothrow forms, and LocalAlloc answers a failure with null directly.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return LocalAlloc(LMEM_FIXED, size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return LocalAlloc(LMEM_FIXED, size);
}

void operator delete(void* block) noexcept {
    LocalFree(block);
}

void operator delete(void* block, std::size_t) noexcept {
    LocalFree(block);
}

void operator delete[](void* block) noexcept {
    LocalFree(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    LocalFree(block);
}
