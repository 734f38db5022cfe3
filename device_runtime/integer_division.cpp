// Integer division as the compiler calls it for the device (ARMv4T has no
// divide instruction). The compiler's own library for these is ELF, and the
// core library's __rt_ helpers take their arguments in another order, so the
// device build has its own: plain shift-and-subtract, constant shifts only (a
// variable 64-bit shift would itself be a helper call). The product never
// divides by zero; a zero divisor gives an all-ones quotient.
#include <cstdint>

namespace {

uint64_t DivideUnsigned64(uint64_t dividend, uint64_t divisor, uint64_t* remainder) {
    uint64_t quotient = 0;
    uint64_t partial = 0;
    for (int bit = 0; bit < 64; ++bit) {
        partial = (partial << 1) | (dividend >> 63);
        dividend <<= 1;
        quotient <<= 1;
        if (partial >= divisor) {
            partial -= divisor;
            quotient |= 1;
        }
    }
    *remainder = partial;
    return quotient;
}

uint32_t DivideUnsigned32(uint32_t dividend, uint32_t divisor, uint32_t* remainder) {
    uint32_t quotient = 0;
    uint32_t partial = 0;
    for (int bit = 0; bit < 32; ++bit) {
        partial = (partial << 1) | (dividend >> 31);
        dividend <<= 1;
        quotient <<= 1;
        if (partial >= divisor) {
            partial -= divisor;
            quotient |= 1;
        }
    }
    *remainder = partial;
    return quotient;
}

// Magnitudes as unsigned, so the most negative value needs no special case.
uint64_t Magnitude(int64_t v) {
    return v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
}

uint32_t Magnitude(int32_t v) {
    return v < 0 ? 0 - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
}

} // namespace

// C's rules: the quotient truncates toward zero, the remainder takes the
// dividend's sign.
extern "C" {

uint32_t __udivsi3(uint32_t a, uint32_t b) {
    uint32_t r;
    return DivideUnsigned32(a, b, &r);
}

uint32_t __umodsi3(uint32_t a, uint32_t b) {
    uint32_t r;
    DivideUnsigned32(a, b, &r);
    return r;
}

int32_t __divsi3(int32_t a, int32_t b) {
    uint32_t r;
    const uint32_t q = DivideUnsigned32(Magnitude(a), Magnitude(b), &r);
    return static_cast<int32_t>((a < 0) != (b < 0) ? 0 - q : q);
}

int32_t __modsi3(int32_t a, int32_t b) {
    uint32_t r;
    DivideUnsigned32(Magnitude(a), Magnitude(b), &r);
    return static_cast<int32_t>(a < 0 ? 0 - r : r);
}

uint64_t __udivdi3(uint64_t a, uint64_t b) {
    uint64_t r;
    return DivideUnsigned64(a, b, &r);
}

uint64_t __umoddi3(uint64_t a, uint64_t b) {
    uint64_t r;
    DivideUnsigned64(a, b, &r);
    return r;
}

int64_t __divdi3(int64_t a, int64_t b) {
    uint64_t r;
    const uint64_t q = DivideUnsigned64(Magnitude(a), Magnitude(b), &r);
    return static_cast<int64_t>((a < 0) != (b < 0) ? 0 - q : q);
}

int64_t __moddi3(int64_t a, int64_t b) {
    uint64_t r;
    DivideUnsigned64(Magnitude(a), Magnitude(b), &r);
    return static_cast<int64_t>(a < 0 ? 0 - r : r);
}
}
