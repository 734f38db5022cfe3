// Integer division as the compiler calls it for the device (ARMv4T has no
// divide instruction). The compiler's own library for these is ELF, and the
// core library's __rt_ helpers take their arguments in another order, so the
// device build has its own: plain shift-and-subtract, constant shifts only (a
// variable 64-bit shift would itself be a helper call). The product never
// divides by zero; a zero divisor gives an all-ones quotient.
#include <cstdint>
#include <type_traits>

namespace {

template <typename Unsigned>
Unsigned DivideUnsigned(Unsigned dividend, Unsigned divisor, Unsigned* remainder) {
    constexpr int Bits = sizeof(Unsigned) * 8;
    Unsigned quotient = 0;
    Unsigned partial = 0;
    for (int bit = 0; bit < Bits; ++bit) {
        partial = (partial << 1) | (dividend >> (Bits - 1));
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

template <typename Unsigned> Unsigned Quotient(Unsigned a, Unsigned b) {
    Unsigned r;
    return DivideUnsigned(a, b, &r);
}

template <typename Unsigned> Unsigned Remainder(Unsigned a, Unsigned b) {
    Unsigned r;
    DivideUnsigned(a, b, &r);
    return r;
}

// Magnitudes as unsigned, so the most negative value needs no special case.
template <typename Signed> std::make_unsigned_t<Signed> Magnitude(Signed v) {
    using Unsigned = std::make_unsigned_t<Signed>;
    return v < 0 ? 0 - static_cast<Unsigned>(v) : static_cast<Unsigned>(v);
}

// C's rules: the quotient truncates toward zero, the remainder takes the
// dividend's sign.
template <typename Signed> Signed SignedQuotient(Signed a, Signed b) {
    const auto q = Quotient(Magnitude(a), Magnitude(b));
    return static_cast<Signed>((a < 0) != (b < 0) ? 0 - q : q);
}

template <typename Signed> Signed SignedRemainder(Signed a, Signed b) {
    const auto r = Remainder(Magnitude(a), Magnitude(b));
    return static_cast<Signed>(a < 0 ? 0 - r : r);
}

} // namespace

extern "C" {

uint32_t __udivsi3(uint32_t a, uint32_t b) {
    return Quotient(a, b);
}
uint32_t __umodsi3(uint32_t a, uint32_t b) {
    return Remainder(a, b);
}
int32_t __divsi3(int32_t a, int32_t b) {
    return SignedQuotient(a, b);
}
int32_t __modsi3(int32_t a, int32_t b) {
    return SignedRemainder(a, b);
}
uint64_t __udivdi3(uint64_t a, uint64_t b) {
    return Quotient(a, b);
}
uint64_t __umoddi3(uint64_t a, uint64_t b) {
    return Remainder(a, b);
}
int64_t __divdi3(int64_t a, int64_t b) {
    return SignedQuotient(a, b);
}
int64_t __moddi3(int64_t a, int64_t b) {
    return SignedRemainder(a, b);
}
}
