// Fuzz target for the dialog template walker: any input is read without
// leaving its bounds, and a template it accepts is consistent.
#include <cstdint>
#include <cstring>
#include <memory>

#include "dialog_template.h"

namespace {

bool Within(const std::uint16_t* field, const std::uint16_t* begin, const std::uint16_t* end) {
    return field >= begin && field < end && SkipSzOrOrd(field, end) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Resources are aligned; an exact-sized copy also lets the address
    // sanitizer see the first byte past the end.
    std::unique_ptr<unsigned char[]> copy(new unsigned char[size == 0 ? 1 : size]);
    std::memcpy(copy.get(), data, size);
    DialogTemplate read;
    if (!ReadDialogTemplate(copy.get(), size, read)) {
        return 0;
    }
    const auto* begin = reinterpret_cast<const std::uint16_t*>(copy.get());
    const std::uint16_t* end = begin + size / sizeof(std::uint16_t);
    if (read.items.size() != read.itemCount) {
        __builtin_trap();
    }
    for (const DialogTemplateItem& item : read.items) {
        if (!Within(item.classField, begin, end) || !Within(item.titleField, begin, end) ||
            SkipSzOrOrd(item.classField, end) != item.titleField) {
            __builtin_trap();
        }
    }
    return 0;
}
