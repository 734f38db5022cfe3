// Re-layout of live dialogs under Wine. The oracle is Wine's own dialog
// manager: a dialog re-laid out with a template must have its controls where
// a dialog freshly created from that template has them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dialog_relayout.h"
#include "resource.h"
#include "template_words.h"

namespace {

constexpr std::uint32_t DialogStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT;
constexpr std::uint32_t ChildStyle = WS_CHILD | WS_VISIBLE;
constexpr int Unnamed = 0xFFFF;

HINSTANCE Module() {
    return GetModuleHandleW(nullptr);
}

INT_PTR CALLBACK PassiveDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

struct ResourceTemplate {
    const void* data;
    DWORD size;
};

ResourceTemplate LoadTemplate(int id) {
    const HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(id), RT_DIALOG);
    const HGLOBAL loaded = found ? LoadResource(Module(), found) : nullptr;
    return {loaded ? LockResource(loaded) : nullptr, found ? SizeofResource(Module(), found) : 0};
}

// A modeless dialog made by the platform's dialog manager, destroyed at scope exit.
class Dialog {
  public:
    explicit Dialog(const void* data)
        : window(CreateDialogIndirectParamW(Module(), static_cast<const DLGTEMPLATE*>(data),
                                            nullptr, PassiveDialog, 0)) {}
    explicit Dialog(int id) : Dialog(LoadTemplate(id).data) {}
    explicit Dialog(const TemplateWords& words) : Dialog(words.Data()) {}
    ~Dialog() {
        if (window != nullptr) {
            DestroyWindow(window);
        }
    }
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    HWND window;
};

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " - " + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

RECT ToDialog(HWND dialog, RECT r) {
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Where a control sits in its dialog's client area.
std::string PlaceOf(HWND dialog, HWND control) {
    RECT r = {};
    GetWindowRect(control, &r);
    return Describe(ToDialog(dialog, r));
}

std::string PlaceOf(HWND dialog, int id) {
    return PlaceOf(dialog, GetDlgItem(dialog, id));
}

std::wstring TextOf(HWND dialog, int id) {
    wchar_t text[128] = L"\xdead";
    GetDlgItemTextW(dialog, id, text, 128);
    return text;
}

std::vector<HWND> Controls(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        controls.push_back(c);
    }
    return controls;
}

// Place and text of every control, in creation order.
std::vector<std::string> Snapshot(HWND dialog) {
    std::vector<std::string> state;
    for (HWND c : Controls(dialog)) {
        wchar_t text[128] = L"";
        GetWindowTextW(c, text, 128);
        state.push_back(PlaceOf(dialog, c) + " " + std::string(text, text + wcslen(text)));
    }
    return state;
}

// Every named control of `live` must sit where `oracle` has its namesake.
void ExpectNamedControlsLike(HWND live, HWND oracle, const char* what) {
    int compared = 0;
    for (HWND c : Controls(oracle)) {
        const int id = GetDlgCtrlID(c);
        if (id == Unnamed) {
            continue;
        }
        ASSERT_NE(nullptr, GetDlgItem(live, id)) << what << ": control " << id;
        EXPECT_EQ(PlaceOf(oracle, c), PlaceOf(live, id)) << what << ": control " << id;
        ++compared;
    }
    EXPECT_GT(compared, 0) << what;
}

int Relayout(HWND dialog, const TemplateWords& words) {
    return RelayoutDialogFromTemplate(Module(), dialog, words.Data(), words.Bytes());
}

TEST(RelayoutDialog, PickerTakesTheShortPlacesAndBack) {
    Dialog live(IDD_COLOR_PICKER);
    Dialog tall(IDD_COLOR_PICKER);
    Dialog shortOracle(IDD_COLOR_PICKER_SHORT);
    ASSERT_NE(nullptr, live.window);
    ASSERT_NE(nullptr, shortOracle.window);
    ASSERT_NE(PlaceOf(tall.window, IDCANCEL), PlaceOf(shortOracle.window, IDCANCEL))
        << "the two layouts must differ for this test to mean anything";

    EXPECT_EQ(1, RelayoutDialog(Module(), live.window, IDD_COLOR_PICKER_SHORT));
    ExpectNamedControlsLike(live.window, shortOracle.window, "tall re-laid out short");
    EXPECT_EQ(L"Cancel", TextOf(live.window, IDCANCEL));
    EXPECT_EQ(L"Transparent", TextOf(live.window, IDC_TRANSPARENT));

    EXPECT_EQ(1, RelayoutDialog(Module(), live.window, IDD_COLOR_PICKER));
    ExpectNamedControlsLike(live.window, tall.window, "and back to tall");
}

TEST(RelayoutDialog, OptionsTakeTheShortPlaces) {
    Dialog live(IDD_OPTIONS);
    Dialog shortOracle(IDD_OPTIONS_SHORT);
    ASSERT_NE(nullptr, live.window);
    ASSERT_NE(nullptr, shortOracle.window);

    EXPECT_EQ(0, RelayoutDialog(Module(), live.window, IDD_OPTIONS_SHORT))
        << "the labels share one id, so the layout is incomplete";
    // Dropped lists are not compared: Wine's combo box takes the dropped
    // height from the collapsed one at creation, before the dialog's font
    // arrives, so a fresh dialog's lists differ from moved ones anyhow.
    ExpectNamedControlsLike(live.window, shortOracle.window, "options tall re-laid out short");
    // Every label item lands on the first label: it ends at the last one's
    // place and with its text, and the moves were made despite the result.
    HWND lastLabel = nullptr;
    for (HWND c : Controls(shortOracle.window)) {
        if (GetDlgCtrlID(c) == Unnamed) {
            lastLabel = c;
        }
    }
    ASSERT_NE(nullptr, lastLabel);
    EXPECT_EQ(PlaceOf(shortOracle.window, lastLabel), PlaceOf(live.window, Unnamed));
    EXPECT_EQ(L"Show % as:", TextOf(live.window, Unnamed));
}

TEST(RelayoutDialog, OwnTemplatePutsEverythingBack) {
    Dialog live(IDD_COLOR_PICKER);
    Dialog oracle(IDD_COLOR_PICKER);
    ASSERT_NE(nullptr, live.window);
    SetDlgItemTextW(live.window, IDCANCEL, L"changed");
    SetDlgItemTextW(live.window, IDC_TRANSPARENT, L"");
    SetWindowPos(GetDlgItem(live.window, IDCANCEL), nullptr, 1, 2, 3, 4, SWP_NOZORDER);

    EXPECT_EQ(1, RelayoutDialog(Module(), live.window, IDD_COLOR_PICKER));
    EXPECT_EQ(Snapshot(oracle.window), Snapshot(live.window));
}

TEST(RelayoutDialog, EmptyTitleClearsTheText) {
    TemplateWords words;
    words.DialogWithFont(DialogStyle, 2, u"T");
    words.Item(ChildStyle | BS_PUSHBUTTON, 5, 5, 40, 12, 10).Atom(0x80).Word(0).Word(0);
    words.Item(ChildStyle | SS_LEFT, 5, 25, 40, 12, 11).Atom(0x82).Word(0).Word(0);
    Dialog live(IDD_COLOR_PICKER);
    Dialog dialog(words);
    ASSERT_NE(nullptr, dialog.window);
    SetDlgItemTextW(dialog.window, 10, L"old");
    SetDlgItemTextW(dialog.window, 11, L"old");

    EXPECT_EQ(1, Relayout(dialog.window, words));
    EXPECT_EQ(L"", TextOf(dialog.window, 10));
    EXPECT_EQ(L"", TextOf(dialog.window, 11));
}

// A list box and a combo box with a selection, and one of each without.
TemplateWords ListsTemplate(std::int16_t y) {
    TemplateWords words;
    words.DialogWithFont(DialogStyle, 4, u"Lists");
    // Wine's list box rounds its height to whole entries at creation by the
    // font it had before the dialog's font arrived; without integral height
    // both dialogs keep the template's height.
    const std::uint32_t list = ChildStyle | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    const std::uint32_t combo = ChildStyle | WS_VSCROLL | CBS_DROPDOWNLIST;
    words.Item(list, 5, y, 60, 30, 20).Atom(0x83).Word(0).Word(0);
    words.Item(list, 70, y, 60, 30, 21).Atom(0x83).Word(0).Word(0);
    words.Item(combo, 5, y + 40, 60, 60, 22).Atom(0x85).Word(0).Word(0);
    words.Item(combo, 70, y + 40, 60, 60, 23).Atom(0x85).Word(0).Word(0);
    return words;
}

TEST(RelayoutDialog, ListsKeepAndShowTheirSelection) {
    const TemplateWords tall = ListsTemplate(5);
    const TemplateWords moved = ListsTemplate(60);
    Dialog dialog(tall);
    ASSERT_NE(nullptr, dialog.window);
    for (int i = 0; i < 40; ++i) {
        const std::wstring entry = L"entry " + std::to_wstring(i);
        for (int id : {20, 21}) {
            SendDlgItemMessageW(dialog.window, id, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(entry.c_str()));
        }
        for (int id : {22, 23}) {
            SendDlgItemMessageW(dialog.window, id, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(entry.c_str()));
        }
    }
    SendDlgItemMessageW(dialog.window, 20, LB_SETCURSEL, 30, 0);
    SendDlgItemMessageW(dialog.window, 22, CB_SETCURSEL, 7, 0);
    // Scrolled away from its selection: selecting again brings it back into view.
    SendDlgItemMessageW(dialog.window, 20, LB_SETTOPINDEX, 0, 0);

    EXPECT_EQ(1, Relayout(dialog.window, moved));
    EXPECT_EQ(30, SendDlgItemMessageW(dialog.window, 20, LB_GETCURSEL, 0, 0));
    EXPECT_NE(0, SendDlgItemMessageW(dialog.window, 20, LB_GETTOPINDEX, 0, 0))
        << "the selected entry is scrolled into view";
    EXPECT_EQ(-1, SendDlgItemMessageW(dialog.window, 21, LB_GETCURSEL, 0, 0));
    EXPECT_EQ(7, SendDlgItemMessageW(dialog.window, 22, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"entry 7", TextOf(dialog.window, 22));
    EXPECT_EQ(-1, SendDlgItemMessageW(dialog.window, 23, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"", TextOf(dialog.window, 23));
    Dialog oracle(moved);
    ExpectNamedControlsLike(dialog.window, oracle.window, "lists moved down");
}

TemplateWords IconTemplate(std::uint16_t icon, std::int16_t x) {
    TemplateWords words;
    words.DialogWithFont(DialogStyle, 1, u"Icon");
    words.Item(ChildStyle | SS_ICON, x, 3, 21, 20, IDC_ITEM_ICON).Atom(0x82).Atom(icon).Word(0);
    return words;
}

TEST(RelayoutDialog, IconStaticGetsTheNewIcon) {
    const TemplateWords first = IconTemplate(IDI_TOVAMET, 0);
    const TemplateWords second = IconTemplate(IDI_TOVAMET_CPU, 20);
    Dialog dialog(first);
    ASSERT_NE(nullptr, dialog.window);
    const LRESULT before =
        SendDlgItemMessageW(dialog.window, IDC_ITEM_ICON, STM_GETIMAGE, IMAGE_ICON, 0);
    ASSERT_NE(0, before) << "the dialog manager gave the static its icon";

    EXPECT_EQ(1, Relayout(dialog.window, second));
    const auto after = reinterpret_cast<HICON>(
        SendDlgItemMessageW(dialog.window, IDC_ITEM_ICON, STM_GETIMAGE, IMAGE_ICON, 0));
    EXPECT_NE(reinterpret_cast<HICON>(before), after);
    EXPECT_EQ(LoadIconW(Module(), MAKEINTRESOURCEW(IDI_TOVAMET_CPU)), after);

    Dialog oracle(second);
    ExpectNamedControlsLike(dialog.window, oracle.window, "icon");
}

// The platform's own check-mark and close-box bitmaps (OBM_CHECK, OBM_CLOSE),
// loaded with no module.
constexpr std::uint16_t CheckBitmap = 32760;
constexpr std::uint16_t CloseBitmap = 32754;

TemplateWords BitmapTemplate(std::uint16_t bitmap) {
    TemplateWords words;
    words.DialogWithFont(DialogStyle, 1, u"Bitmap");
    words.Item(ChildStyle | SS_BITMAP, 5, 5, 30, 30, 30).Atom(0x82).Atom(bitmap).Word(0);
    return words;
}

SIZE BitmapSize(HANDLE bitmap) {
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

TEST(RelayoutDialog, BitmapStaticGetsTheNewBitmapAndFreesTheOld) {
    const TemplateWords check = BitmapTemplate(CheckBitmap);
    const TemplateWords close = BitmapTemplate(CloseBitmap);
    Dialog dialog(check);
    ASSERT_NE(nullptr, dialog.window);
    const auto image = [&] {
        return reinterpret_cast<HANDLE>(
            SendDlgItemMessageW(dialog.window, 30, STM_GETIMAGE, IMAGE_BITMAP, 0));
    };

    ASSERT_EQ(1, RelayoutDialogFromTemplate(nullptr, dialog.window, check.Data(), check.Bytes()));
    const HANDLE first = image();
    ASSERT_EQ(OBJ_BITMAP, GetObjectType(first));
    const HBITMAP reference = LoadBitmapW(nullptr, MAKEINTRESOURCEW(CloseBitmap));
    const SIZE closeSize = BitmapSize(reference);
    DeleteObject(reference);

    EXPECT_EQ(1, RelayoutDialogFromTemplate(nullptr, dialog.window, close.Data(), close.Bytes()));
    const HANDLE second = image();
    EXPECT_NE(first, second);
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(second));
    EXPECT_EQ(closeSize.cx, BitmapSize(second).cx);
    EXPECT_EQ(closeSize.cy, BitmapSize(second).cy);
    EXPECT_EQ(0u, GetObjectType(first)) << "the replaced bitmap is deleted";
}

TEST(RelayoutDialog, UnnamedItemsShareTheFirstLabel) {
    struct Case {
        int labels;
        int expected;
    };
    for (const Case& c : {Case{1, 1}, Case{2, 0}, Case{3, 0}}) {
        TemplateWords created;
        TemplateWords relaid;
        created.DialogWithFont(DialogStyle, static_cast<std::uint16_t>(c.labels + 1), u"Labels");
        relaid.DialogWithFont(DialogStyle, static_cast<std::uint16_t>(c.labels + 1), u"Labels");
        for (int i = 0; i < c.labels; ++i) {
            const auto y = static_cast<std::int16_t>(10 * i);
            created.Item(ChildStyle, 0, y, 30, 8, Unnamed).Atom(0x82).Text(u"created").Word(0);
            relaid.Item(ChildStyle, 50, static_cast<std::int16_t>(y + 3), 30, 8, Unnamed)
                .Atom(0x82);
            relaid.Text(i == c.labels - 1 ? u"last" : u"other").Word(0);
        }
        created.Item(ChildStyle | BS_PUSHBUTTON, 0, 60, 40, 12, 7).Atom(0x80).Text(u"b").Word(0);
        relaid.Item(ChildStyle | BS_PUSHBUTTON, 60, 70, 40, 12, 7).Atom(0x80).Text(u"b").Word(0);
        Dialog dialog(created);
        Dialog oracle(relaid);
        ASSERT_NE(nullptr, dialog.window);

        EXPECT_EQ(c.expected, Relayout(dialog.window, relaid)) << c.labels << " unnamed items";
        ExpectNamedControlsLike(dialog.window, oracle.window, "button beside the labels");
        EXPECT_EQ(PlaceOf(oracle.window, Controls(oracle.window)[c.labels - 1]),
                  PlaceOf(dialog.window, Unnamed))
            << c.labels << " unnamed items: the first label takes the last one's place";
        EXPECT_EQ(L"last", TextOf(dialog.window, Unnamed)) << c.labels << " unnamed items";
    }
}

TEST(RelayoutDialog, EmptyTemplateSucceedsAndMovesNothing) {
    TemplateWords empty;
    empty.DialogWithFont(DialogStyle, 0, u"Empty");
    Dialog dialog(IDD_COLOR_PICKER);
    ASSERT_NE(nullptr, dialog.window);
    const std::vector<std::string> before = Snapshot(dialog.window);
    EXPECT_EQ(1, Relayout(dialog.window, empty));
    EXPECT_EQ(before, Snapshot(dialog.window));
}

TEST(RelayoutDialog, BrokenTemplatesMoveNothing) {
    Dialog dialog(IDD_COLOR_PICKER);
    ASSERT_NE(nullptr, dialog.window);
    SetDlgItemTextW(dialog.window, IDCANCEL, L"kept");
    const std::vector<std::string> before = Snapshot(dialog.window);

    EXPECT_EQ(0, RelayoutDialog(Module(), dialog.window, 9999)) << "no such template";
    EXPECT_EQ(before, Snapshot(dialog.window));

    // Cut inside the last item: the first item is whole, yet must not move.
    const ResourceTemplate shortTemplate = LoadTemplate(IDD_COLOR_PICKER_SHORT);
    ASSERT_NE(nullptr, shortTemplate.data);
    for (DWORD cut : {2u, 8u, 30u}) {
        std::vector<std::uint16_t> copy(shortTemplate.size / 2);
        std::memcpy(copy.data(), shortTemplate.data, copy.size() * 2);
        EXPECT_EQ(0, RelayoutDialogFromTemplate(Module(), dialog.window, copy.data(),
                                                shortTemplate.size - cut))
            << "cut " << cut << " bytes";
        EXPECT_EQ(before, Snapshot(dialog.window)) << "cut " << cut << " bytes";
    }
    EXPECT_EQ(1, RelayoutDialogFromTemplate(Module(), dialog.window, shortTemplate.data,
                                            shortTemplate.size))
        << "whole, the same template applies";
}

TEST(RelayoutDialog, SkipsItemsWithoutControl) {
    TemplateWords words;
    words.DialogWithFont(DialogStyle, 3, u"Picker");
    words.Item(ChildStyle | BS_PUSHBUTTON, 10, 10, 50, 14, IDCANCEL)
        .Atom(0x80)
        .Text(u"Cancel")
        .Word(0);
    words.Item(ChildStyle | BS_PUSHBUTTON, 10, 30, 50, 14, 4321).Atom(0x80).Text(u"none").Word(0);
    words.Item(ChildStyle | BS_AUTOCHECKBOX, 10, 50, 55, 10, IDC_TRANSPARENT)
        .Atom(0x80)
        .Text(u"T")
        .Word(0);
    TemplateWords withoutStray;
    withoutStray.DialogWithFont(DialogStyle, 2, u"Picker");
    withoutStray.Item(ChildStyle | BS_PUSHBUTTON, 10, 10, 50, 14, IDCANCEL)
        .Atom(0x80)
        .Text(u"Cancel")
        .Word(0);
    withoutStray.Item(ChildStyle | BS_AUTOCHECKBOX, 10, 50, 55, 10, IDC_TRANSPARENT)
        .Atom(0x80)
        .Text(u"T")
        .Word(0);
    Dialog dialog(IDD_COLOR_PICKER);
    Dialog oracle(withoutStray);
    ASSERT_NE(nullptr, dialog.window);

    EXPECT_EQ(1, Relayout(dialog.window, words));
    ExpectNamedControlsLike(dialog.window, oracle.window, "with an item of no control");
}

// Two buttons; the first carries creation data of `dataSize` bytes after a
// title of `title`, stepped over as the platform's dialog manager does.
TemplateWords CreationDataTemplate(const char16_t* title, std::uint16_t dataSize, std::int16_t y) {
    TemplateWords words;
    words.DialogWithFont(DialogStyle, 2, u"Data");
    words.Item(ChildStyle | BS_PUSHBUTTON, 5, y, 40, 12, 10).Atom(0x80).Text(title).Word(dataSize);
    for (int i = 0; i < dataSize / 2; ++i) {
        words.Word(0x5A5A);
    }
    words.Item(ChildStyle | BS_PUSHBUTTON, 50, static_cast<std::int16_t>(y + 20), 40, 12, 20)
        .Atom(0x80);
    words.Text(u"second").Word(0);
    return words;
}

TEST(RelayoutDialog, CreationDataIsSteppedOverLikeTheDialogManager) {
    for (const char16_t* title : {u"A", u"AB"}) {
        for (std::uint16_t size : {0, 2, 3, 6}) {
            const TemplateWords plain = CreationDataTemplate(title, 0, 5);
            const TemplateWords withData = CreationDataTemplate(title, size, 40);
            Dialog dialog(plain);
            Dialog oracle(withData);
            ASSERT_NE(nullptr, oracle.window) << "size " << size;
            ASSERT_NE(nullptr, GetDlgItem(oracle.window, 20)) << "size " << size;

            EXPECT_EQ(1, Relayout(dialog.window, withData)) << "size " << size;
            ExpectNamedControlsLike(dialog.window, oracle.window, "creation data");
            EXPECT_EQ(L"second", TextOf(dialog.window, 20));
        }
    }
}

} // namespace
