// Bounded walk over a standard dialog template. Every read is checked against
// the template's size first, so a truncated or corrupt resource is refused
// as a whole instead of being read past its end.
#include "dialog_template.h"

#include <algorithm>

namespace {

// The header and the fixed part of an item are both 18 bytes.
constexpr std::size_t FixedPartWords = 9;

// Template fields are little-endian, as is every processor the item runs on.
std::uint32_t ReadDword(const std::uint16_t* at) {
    return at[0] | (static_cast<std::uint32_t>(at[1]) << 16);
}

bool IsExtendedForm(const std::uint16_t* words) {
    return words[0] == 1 && words[1] == 0xFFFF;
}

} // namespace

const std::uint16_t* SkipSzOrOrd(const std::uint16_t* field, const std::uint16_t* end) {
    if (field >= end) {
        return nullptr;
    }
    if (field[0] == 0) {
        return field + 1;
    }
    if (field[0] == DialogOrdinalMarker) {
        return end - field >= 2 ? field + 2 : nullptr;
    }
    const std::uint16_t* terminator = std::find(field, end, 0);
    return terminator == end ? nullptr : terminator + 1;
}

bool ReadDialogTemplate(const void* data, std::size_t size, DialogTemplate& result,
                        DialogItemVisitor visit, void* context) {
    if (reinterpret_cast<std::uintptr_t>(data) % alignof(std::uint16_t) != 0) {
        return false;
    }
    const auto* words = static_cast<const std::uint16_t*>(data);
    const std::size_t wordCount = size / sizeof(std::uint16_t);
    const std::uint16_t* end = words + wordCount;
    if (wordCount < FixedPartWords || IsExtendedForm(words)) {
        return false;
    }
    result.style = ReadDword(words);
    result.itemCount = words[4];

    const std::uint16_t* menu = words + FixedPartWords;
    const std::uint16_t* windowClass = SkipSzOrOrd(menu, end);
    const std::uint16_t* caption = windowClass ? SkipSzOrOrd(windowClass, end) : nullptr;
    const std::uint16_t* next = caption ? SkipSzOrOrd(caption, end) : nullptr;
    if (next != nullptr && (result.style & DialogSetFontStyle) != 0) {
        // The point size, then the face name.
        next = next < end ? SkipSzOrOrd(next + 1, end) : nullptr;
    }
    if (next == nullptr) {
        return false;
    }

    for (std::uint16_t i = 0; i < result.itemCount; ++i) {
        // Items start on 4-byte boundaries counted from the template's start.
        const std::size_t offset = (static_cast<std::size_t>(next - words) + 1) & ~std::size_t{1};
        if (offset > wordCount || wordCount - offset < FixedPartWords) {
            return false;
        }
        const std::uint16_t* fixed = words + offset;
        DialogTemplateItem item;
        item.style = ReadDword(fixed);
        item.x = static_cast<std::int16_t>(fixed[4]);
        item.y = static_cast<std::int16_t>(fixed[5]);
        item.cx = static_cast<std::int16_t>(fixed[6]);
        item.cy = static_cast<std::int16_t>(fixed[7]);
        item.id = fixed[8];
        item.classField = fixed + FixedPartWords;
        item.titleField = SkipSzOrOrd(item.classField, end);
        const std::uint16_t* dataSize =
            item.titleField ? SkipSzOrOrd(item.titleField, end) : nullptr;
        if (dataSize == nullptr || dataSize == end) {
            return false;
        }
        // The creation-data size does not count its own word: the platform's
        // dialog manager steps over the word, then over the size in whole
        // words (an odd size loses its last byte), and starts the next item
        // at the following 4-byte boundary.
        const std::size_t dataWords = *dataSize / sizeof(std::uint16_t);
        if (static_cast<std::size_t>(end - dataSize) - 1 < dataWords) {
            return false;
        }
        next = dataSize + 1 + dataWords;
        if (visit != nullptr) {
            visit(item, context);
        }
    }
    return true;
}
