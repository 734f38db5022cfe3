// Fuzz target for the dialog template walker: any input is read without
// leaving its bounds, and a template it accepts is consistent.
#include <cstdint>
#include <cstring>
#include <memory>

#include "dialog_template.h"

namespace {

struct Walk {
    const std::uint16_t* begin;
    const std::uint16_t* end;
    std::size_t items;
};

bool Within(const std::uint16_t* field, const Walk& walk) {
    return field >= walk.begin && field < walk.end && SkipSzOrOrd(field, walk.end) != nullptr;
}

void CheckItem(const DialogTemplateItem& item, void* context) {
    Walk& walk = *static_cast<Walk*>(context);
    ++walk.items;
    if (!Within(item.classField, walk) || !Within(item.titleField, walk) ||
        SkipSzOrOrd(item.classField, walk.end) != item.titleField) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Resources are aligned; an exact-sized copy also lets the address
    // sanitizer see the first byte past the end.
    std::unique_ptr<unsigned char[]> copy(new unsigned char[size == 0 ? 1 : size]);
    std::memcpy(copy.get(), data, size);
    const auto* begin = reinterpret_cast<const std::uint16_t*>(copy.get());
    Walk walk = {begin, begin + size / sizeof(std::uint16_t), 0};
    DialogTemplate read;
    if (!ReadDialogTemplate(copy.get(), size, read, CheckItem, &walk)) {
        return 0;
    }
    if (walk.items != read.itemCount) {
        __builtin_trap();
    }
    return 0;
}
