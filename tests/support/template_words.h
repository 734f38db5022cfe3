// Builds dialog templates word by word, laid out as the resource compiler
// lays them out, for tests that need unusual or malformed ones. Plain C++ so
// the native tests can use it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TemplateWords {
    static constexpr std::uint16_t Ord = 0xFFFF;

    std::vector<std::uint16_t> w;

    TemplateWords& Word(std::uint16_t v) {
        w.push_back(v);
        return *this;
    }
    TemplateWords& Dword(std::uint32_t v) {
        return Word(static_cast<std::uint16_t>(v & 0xFFFF))
            .Word(static_cast<std::uint16_t>(v >> 16));
    }
    TemplateWords& Text(const char16_t* s) {
        for (; *s != 0; ++s) {
            Word(static_cast<std::uint16_t>(*s));
        }
        return Word(0);
    }
    TemplateWords& Atom(std::uint16_t atom) { return Word(Ord).Word(atom); }
    TemplateWords& Align() {
        while (w.size() % 2 != 0) {
            Word(0);
        }
        return *this;
    }
    // Style and item count, a dialog of 140 x 159 units, no menu or class.
    TemplateWords& Header(std::uint32_t style, std::uint16_t count) {
        return Dword(style).Dword(0).Word(count).Word(0).Word(0).Word(140).Word(159);
    }
    // Header, empty menu and class, the caption and the 8-point "System" font.
    TemplateWords& DialogWithFont(std::uint32_t style, std::uint16_t count,
                                  const char16_t* caption) {
        return Header(style, count).Word(0).Word(0).Text(caption).Word(8).Text(u"System");
    }
    // Style, extended style, rectangle and id of an item, aligned first.
    TemplateWords& Item(std::uint32_t style, std::int16_t x, std::int16_t y, std::int16_t cx,
                        std::int16_t cy, std::uint16_t id) {
        Align().Dword(style).Dword(0);
        return Word(static_cast<std::uint16_t>(x))
            .Word(static_cast<std::uint16_t>(y))
            .Word(static_cast<std::uint16_t>(cx))
            .Word(static_cast<std::uint16_t>(cy))
            .Word(id);
    }
    const void* Data() const { return w.data(); }
    std::size_t Bytes() const { return w.size() * sizeof(std::uint16_t); }
};
