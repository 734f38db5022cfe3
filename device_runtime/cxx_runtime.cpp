// The one object of the C++ runtime the product names: the tag of the
// non-throwing new. The device build links no C++ runtime.
#include <new>

const std::nothrow_t std::nothrow{};
