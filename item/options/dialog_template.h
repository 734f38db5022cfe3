// Reading the standard dialog template form (a DLGTEMPLATE header followed by
// DLGITEMTEMPLATE entries) without the platform, within the template's size.
#pragma once

#include <cstddef>
#include <cstdint>

// 0xFFFF in a class or title field: an ordinal follows.
constexpr std::uint16_t DialogOrdinalMarker = 0xFFFF;
// The id that unnamed labels share.
constexpr std::uint16_t DialogUnnamedId = 0xFFFF;
constexpr std::uint32_t DialogSetFontStyle = 0x40;

// Class atoms of the controls that a re-layout refreshes; edits and scroll
// bars (0x0081, 0x0084) are only moved.
constexpr std::uint16_t ButtonClassAtom = 0x0080;
constexpr std::uint16_t StaticClassAtom = 0x0082;
constexpr std::uint16_t ListBoxClassAtom = 0x0083;
constexpr std::uint16_t ComboBoxClassAtom = 0x0085;

// One control of a template. The two field pointers point into the template
// and stay valid as long as it does; rectangles are in dialog units.
struct DialogTemplateItem {
    std::uint32_t style;
    std::int16_t x;
    std::int16_t y;
    std::int16_t cx;
    std::int16_t cy;
    std::uint16_t id;
    const std::uint16_t* classField;
    const std::uint16_t* titleField;
};

struct DialogTemplate {
    std::uint32_t style;
    std::uint16_t itemCount;
};

// Called for each item of a template in order, with the caller's context.
typedef void (*DialogItemVisitor)(const DialogTemplateItem& item, void* context);

// Steps over one sz-or-ord field: 0x0000 alone, 0xFFFF and an ordinal, or a
// zero-terminated UTF-16 string. Returns the word just past the field, or
// nullptr when the field does not end before `end`.
const std::uint16_t* SkipSzOrOrd(const std::uint16_t* field, const std::uint16_t* end);

// True when `field` holds an ordinal (0xFFFF and one more word).
inline bool IsOrdinalField(const std::uint16_t* field) {
    return field[0] == DialogOrdinalMarker;
}

// Reads the header and every item of the template in `data`, which must be
// 4-byte aligned as resources are, handing each item as it is read to `visit`
// when that is not null. Returns false, leaving `result` unusable, when any
// field the items need lies beyond `size` bytes, when the template is in the
// extended form, or when the data is misaligned; the items before the fault
// have been visited then, so a caller that must not act on a malformed
// template reads it once without a visitor first.
bool ReadDialogTemplate(const void* data, std::size_t size, DialogTemplate& result,
                        DialogItemVisitor visit = nullptr, void* context = nullptr);
