// The platform's Interlocked calls in the device build. mingw-w64's headers
// make InterlockedExchange and its kin compiler built-ins, which ARMv4T (no
// exclusive loads or stores) turns into calls of these __sync helpers; each
// goes to the core library's Interlocked function of that job, which CE makes
// atomic on its processors. A std::atomic read-modify-write calls __atomic_*
// helpers instead, which stay undefined: the link refuses it. The barrier is
// here too.
#include <windows.h>

extern "C" {

LONG WINAPI CoreInterlockedExchange(LONG volatile* target,
                                    LONG value) __asm__("InterlockedExchange");
LONG WINAPI CoreInterlockedExchangeAdd(LONG volatile* target,
                                       LONG value) __asm__("InterlockedExchangeAdd");
LONG WINAPI CoreInterlockedCompareExchange(LONG volatile* target, LONG exchange,
                                           LONG comparand) __asm__("InterlockedCompareExchange");
}

// The compiler declares these itself, over untyped words.
namespace {

LONG volatile* Word(volatile void* target) {
    return static_cast<LONG volatile*>(target);
}

unsigned int Bits(LONG value) {
    return static_cast<unsigned int>(value);
}

LONG Value(unsigned int bits) {
    return static_cast<LONG>(bits);
}

} // namespace

extern "C" {

unsigned int __sync_lock_test_and_set_4(volatile void* target, unsigned int value) {
    return Bits(CoreInterlockedExchange(Word(target), Value(value)));
}

unsigned int __sync_fetch_and_add_4(volatile void* target, unsigned int value) {
    return Bits(CoreInterlockedExchangeAdd(Word(target), Value(value)));
}

unsigned int __sync_add_and_fetch_4(volatile void* target, unsigned int value) {
    return Bits(CoreInterlockedExchangeAdd(Word(target), Value(value))) + value;
}

unsigned int __sync_fetch_and_sub_4(volatile void* target, unsigned int value) {
    return Bits(CoreInterlockedExchangeAdd(Word(target), -Value(value)));
}

unsigned int __sync_sub_and_fetch_4(volatile void* target, unsigned int value) {
    return Bits(CoreInterlockedExchangeAdd(Word(target), -Value(value))) - value;
}

unsigned int __sync_val_compare_and_swap_4(volatile void* target, unsigned int comparand,
                                           unsigned int exchange) {
    return Bits(CoreInterlockedCompareExchange(Word(target), Value(exchange), Value(comparand)));
}
}

// A full barrier where the compiler asks for one. The ARMv4T devices CE runs
// on have one processor and no barrier instruction: ordering against other
// threads needs nothing more than the call, which the compiler does not move
// memory accesses across.
extern "C" void __sync_synchronize() {}
