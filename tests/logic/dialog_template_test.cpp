// Template walker: header and item fields, the sz-or-ord rule, where creation
// data puts the next item, and refusal of truncated or corrupt templates.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "dialog_template.h"
#include "template_words.h"

namespace {

using Words = TemplateWords;
constexpr std::uint16_t Ord = TemplateWords::Ord;

std::size_t Offset(const Words& t, const std::uint16_t* p) {
    return static_cast<std::size_t>(p - t.w.data());
}

// The header and the items the walk visited, in order.
struct ReadTemplate : DialogTemplate {
    std::vector<DialogTemplateItem> items;
};

bool ReadAll(const void* data, std::size_t size, ReadTemplate& out) {
    out.items.clear();
    return ReadDialogTemplate(
        data, size, out,
        [](const DialogTemplateItem& item, void* items) {
            static_cast<std::vector<DialogTemplateItem>*>(items)->push_back(item);
        },
        &out.items);
}

// The colour picker's tall template: font, two buttons with text titles.
Words PickerTemplate() {
    Words t;
    t.Header(0x90C00440, 2).Word(0).Word(0).Text(u"Tovamet Color Settings").Word(8).Text(u"System");
    t.Item(0x50010000, 83, 138, 50, 14, 2).Word(Ord).Word(0x80).Text(u"Cancel").Word(0);
    t.Item(0x50010003, 7, 140, 55, 10, 1041).Word(Ord).Word(0x80).Text(u"Transparent").Word(0);
    return t;
}

// Reads a copy that holds exactly `size` bytes, so any read past them is an
// out-of-bounds access the address sanitizer reports.
bool ReadExact(const Words& t, std::size_t size, ReadTemplate& out) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[size == 0 ? 1 : size]);
    std::memcpy(copy.get(), t.w.data(), size);
    return ReadAll(copy.get(), size, out);
}

TEST(SkipSzOrOrd, StepsOverEachFormOfField) {
    struct Case {
        std::vector<std::uint16_t> field;
        std::ptrdiff_t expected; // words stepped over, -1 for refused
        const char* what;
    };
    const Case cases[] = {
        {{0x0000, 0x1234}, 1, "empty string is one word"},
        {{Ord, 0x0082, 0x1234}, 2, "ordinal"},
        {{Ord, 0x0000, 0x1234}, 2, "ordinal of value 0"},
        {{Ord, Ord, 0x1234}, 2, "ordinal of value 0xFFFF"},
        {{u'O', u'K', 0x0000, 0x1234}, 3, "string with its terminator"},
        {{u'O', u'K'}, -1, "string without terminator"},
        {{Ord}, -1, "ordinal cut after its marker"},
        {{}, -1, "no word at all"},
    };
    for (const Case& c : cases) {
        const std::uint16_t* begin = c.field.data();
        const std::uint16_t* after = SkipSzOrOrd(begin, begin + c.field.size());
        if (c.expected < 0) {
            EXPECT_EQ(nullptr, after) << c.what;
        } else {
            ASSERT_NE(nullptr, after) << c.what;
            EXPECT_EQ(c.expected, after - begin) << c.what;
        }
    }
}

TEST(ReadDialogTemplate, ReadsHeaderAndEveryItem) {
    Words t;
    t.Header(0x90C00440, 3).Word(Ord).Word(7).Text(u"Cls").Text(u"Caption").Word(8).Text(u"System");
    t.Item(0x50000003, -4, 3, 21, 20, 1046).Word(Ord).Word(0x82).Word(Ord).Word(130).Word(0);
    t.Item(0x50010000, 113, 32, 20, 11, 0xFFFF).Text(u"MyClass").Word(0).Word(0);
    t.Item(0x50210003, 69, -99, 64, 73, 1015).Word(Ord).Word(0x85).Text(u"x").Word(0);

    ReadTemplate read;
    ASSERT_TRUE(ReadAll(t.w.data(), t.Bytes(), read));
    EXPECT_EQ(0x90C00440u, read.style);
    EXPECT_EQ(3, read.itemCount);
    ASSERT_EQ(3u, read.items.size());

    const DialogTemplateItem& icon = read.items[0];
    EXPECT_EQ(0x50000003u, icon.style);
    EXPECT_EQ(-4, icon.x) << "coordinates are signed";
    EXPECT_EQ(3, icon.y);
    EXPECT_EQ(21, icon.cx);
    EXPECT_EQ(20, icon.cy);
    EXPECT_EQ(1046, icon.id);
    EXPECT_TRUE(IsOrdinalField(icon.classField));
    EXPECT_EQ(0x82, icon.classField[1]);
    EXPECT_TRUE(IsOrdinalField(icon.titleField));
    EXPECT_EQ(130, icon.titleField[1]);

    const DialogTemplateItem& named = read.items[1];
    EXPECT_EQ(0xFFFF, named.id);
    EXPECT_EQ(0, std::memcmp(u"MyClass", named.classField, 8 * sizeof(std::uint16_t)));
    EXPECT_EQ(0, named.titleField[0]) << "empty title";
    EXPECT_EQ(Offset(t, named.classField) + 8, Offset(t, named.titleField));

    const DialogTemplateItem& combo = read.items[2];
    EXPECT_EQ(-99, combo.y);
    EXPECT_EQ(1015, combo.id);
    EXPECT_EQ(0x85, combo.classField[1]);
    EXPECT_EQ(u'x', combo.titleField[0]);
}

TEST(ReadDialogTemplate, FontFieldsOnlyWithSetFontStyle) {
    // Without DS_SETFONT the first item follows the caption directly; reading
    // a point size and face name there would swallow the item.
    Words t;
    t.Header(0x90C00000, 1).Word(0).Word(0).Text(u"A");
    t.Item(0x50010000, 1, 2, 3, 4, 77).Word(Ord).Word(0x80).Text(u"B").Word(0);
    ReadTemplate read;
    ASSERT_TRUE(ReadAll(t.w.data(), t.Bytes(), read));
    ASSERT_EQ(1u, read.items.size());
    EXPECT_EQ(77, read.items[0].id);
    EXPECT_EQ(4, read.items[0].cy);
}

TEST(ReadDialogTemplate, EmptyTemplateHasNoItems) {
    Words t;
    t.Header(0x90C00440, 0).Word(0).Word(0).Word(0).Word(8).Text(u"System");
    ReadTemplate read;
    ASSERT_TRUE(ReadAll(t.w.data(), t.Bytes(), read));
    EXPECT_EQ(0, read.itemCount);
    EXPECT_TRUE(read.items.empty());
}

TEST(ReadDialogTemplate, CreationDataPlacesTheNextItem) {
    // The size word does not count itself; the next item starts at the first
    // 4-byte boundary after the word and the size's whole words. Titles of
    // one and two characters put the size word at offsets 2 and 0 mod 4.
    struct Case {
        const char16_t* title;
        std::uint16_t size;
        std::size_t padWords; // words between the size word and the next item
    };
    const Case cases[] = {
        {u"A", 0, 0},  {u"AB", 0, 1}, {u"A", 2, 2},  {u"AB", 2, 1}, {u"A", 6, 4},
        {u"AB", 6, 3}, {u"A", 3, 2},  {u"AB", 3, 1}, {u"AB", 1, 1}, {u"A", 1, 0},
    };
    for (const Case& c : cases) {
        Words t;
        t.Header(0x90C00440, 2).Word(0).Word(0).Word(0).Word(8).Text(u"System");
        t.Item(0x50010000, 0, 0, 10, 10, 10).Word(Ord).Word(0x80).Text(c.title);
        const std::size_t sizeWord = t.w.size();
        t.Word(c.size);
        for (std::size_t i = 0; i < c.padWords; ++i) {
            t.Word(0xAAAA);
        }
        ASSERT_EQ(0u, t.w.size() % 2) << "case places the next item off a boundary";
        t.Item(0x50010000, 5, 6, 7, 8, 20).Word(Ord).Word(0x80).Text(u"B").Word(0);
        ReadTemplate read;
        ASSERT_TRUE(ReadAll(t.w.data(), t.Bytes(), read))
            << "size " << c.size << " at byte " << 2 * sizeWord;
        ASSERT_EQ(2u, read.items.size());
        EXPECT_EQ(20, read.items[1].id) << "size " << c.size << " at byte " << 2 * sizeWord;
        EXPECT_EQ(8, read.items[1].cy) << "size " << c.size << " at byte " << 2 * sizeWord;
    }
}

TEST(ReadDialogTemplate, EveryTruncationIsRefused) {
    // The picker template ends with the last item's size word, so each
    // shorter prefix cuts a field that the walk needs.
    const Words t = PickerTemplate();
    ReadTemplate read;
    ASSERT_TRUE(ReadExact(t, t.Bytes(), read));
    ASSERT_EQ(2u, read.items.size());
    for (std::size_t size = 0; size < t.Bytes(); ++size) {
        EXPECT_FALSE(ReadExact(t, size, read)) << "prefix of " << size << " bytes";
    }
}

TEST(ReadDialogTemplate, RefusesCorruptTemplates) {
    struct Case {
        Words t;
        const char* what;
    };
    std::vector<Case> cases;
    {
        Words t = PickerTemplate();
        t.w[4] = 3;
        cases.push_back({t, "item count larger than the items"});
    }
    {
        Words t = PickerTemplate();
        t.w[4] = 0xFFFF;
        cases.push_back({t, "item count of 0xFFFF"});
    }
    {
        Words t;
        t.Header(0x90C00440, 0).Word(0).Word(0).Word(u'T').Word(u'o');
        cases.push_back({t, "caption without terminator"});
    }
    {
        Words t;
        t.Header(0x90C00440, 0).Word(0).Word(0).Word(0).Word(8).Word(u'S');
        cases.push_back({t, "face name without terminator"});
    }
    {
        Words t;
        t.Header(0x90C00440, 0).Word(0).Word(0).Word(0);
        cases.push_back({t, "point size missing"});
    }
    {
        Words t;
        t.Header(0x90C00440, 1).Word(0).Word(0).Word(0).Word(8).Text(u"System");
        t.Item(0x50010000, 0, 0, 10, 10, 10)
            .Word(Ord)
            .Word(0x80)
            .Text(u"A")
            .Word(8)
            .Word(1)
            .Word(2);
        cases.push_back({t, "creation data past the end"});
    }
    {
        Words t;
        t.Header(0x90C00440, 1).Word(0).Word(0).Word(0).Word(8).Text(u"System");
        t.Item(0x50010000, 0, 0, 10, 10, 10).Word(Ord).Word(0x80).Word(u'A').Word(u'B');
        cases.push_back({t, "item title without terminator"});
    }
    {
        Words t;
        t.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(0x90C00440).Word(0).Word(0).Word(0).Word(0);
        t.Word(0).Word(0).Word(0).Word(0).Word(0);
        cases.push_back({t, "extended form"});
    }
    for (const Case& c : cases) {
        ReadTemplate read;
        EXPECT_FALSE(ReadExact(c.t, c.t.Bytes(), read)) << c.what;
    }
}

TEST(ReadDialogTemplate, AcceptsPaddingAfterTheLastItem) {
    Words t = PickerTemplate();
    t.Word(0).Word(0).Word(0);
    ReadTemplate read;
    EXPECT_TRUE(ReadAll(t.w.data(), t.Bytes(), read));
    EXPECT_EQ(2u, read.items.size());
}

TEST(ReadDialogTemplate, RefusesMisalignedData) {
    const Words t = PickerTemplate();
    std::vector<unsigned char> shifted(t.Bytes() + 1);
    std::memcpy(shifted.data() + 1, t.w.data(), t.Bytes());
    ReadTemplate read;
    EXPECT_FALSE(ReadAll(shifted.data() + 1, t.Bytes(), read));
}

} // namespace
