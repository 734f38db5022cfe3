// Re-layout of a live dialog from another template of the same dialog.
#include "dialog_relayout.h"

namespace {

// The low bits of a static's style that give its type (SS_TYPEMASK).
constexpr std::uint32_t StaticTypeMask = 0x1F;

void ReplaceImage(HINSTANCE module, HWND dialog, int id, std::uint16_t ordinal, UINT type) {
    const auto old =
        reinterpret_cast<HANDLE>(SendDlgItemMessageW(dialog, id, STM_GETIMAGE, type, 0));
    const HANDLE fresh = type == IMAGE_ICON
                             ? static_cast<HANDLE>(LoadIconW(module, MAKEINTRESOURCEW(ordinal)))
                             : static_cast<HANDLE>(LoadBitmapW(module, MAKEINTRESOURCEW(ordinal)));
    if (fresh == nullptr) {
        // Keep the image the control has rather than blank it.
        return;
    }
    SendDlgItemMessageW(dialog, id, STM_SETIMAGE, type, reinterpret_cast<LPARAM>(fresh));
    // The loader may hand back the very icon the control shows (the desktop
    // shares icons loaded by id); freeing that one would blank the control.
    if (old == nullptr || old == fresh) {
        return;
    }
    if (type == IMAGE_ICON) {
        DestroyIcon(static_cast<HICON>(old));
    } else {
        DeleteObject(old);
    }
}

void RefreshTitle(HINSTANCE module, HWND dialog, const DialogTemplateItem& item, bool isStatic) {
    if (!IsOrdinalField(item.titleField)) {
        SetDlgItemTextW(dialog, item.id, reinterpret_cast<const wchar_t*>(item.titleField));
        return;
    }
    // Only statics show an image named by ordinal; a button's style bits of
    // the same value mean a check box, which takes no STM_ message.
    if (!isStatic) {
        return;
    }
    switch (item.style & StaticTypeMask) {
    case SS_ICON:
        ReplaceImage(module, dialog, item.id, item.titleField[1], IMAGE_ICON);
        break;
    case SS_BITMAP:
        ReplaceImage(module, dialog, item.id, item.titleField[1], IMAGE_BITMAP);
        break;
    default:
        break;
    }
}

// Selecting the current entry again makes a moved list show it.
void Reselect(HWND dialog, int id, UINT getMessage, UINT setMessage) {
    const LRESULT selection = SendDlgItemMessageW(dialog, id, getMessage, 0, 0);
    if (selection != -1) {
        SendDlgItemMessageW(dialog, id, setMessage, static_cast<WPARAM>(selection), 0);
    }
}

struct Placement {
    HWND dialog;
    HDWP batch;
    int unnamedItems;
};

void PlaceControl(const DialogTemplateItem& item, void* context) {
    Placement& placement = *static_cast<Placement*>(context);
    const HWND control = GetDlgItem(placement.dialog, item.id);
    if (item.id == DialogUnnamedId) {
        ++placement.unnamedItems;
    }
    // A null window in the batch would make the whole batch fail.
    if (control == nullptr) {
        return;
    }
    // The dialog manager converts position and size each on its own;
    // converting the right and bottom edges instead can round a control
    // one pixel wider or higher than a dialog made from this template.
    RECT place = {item.x, item.y, item.cx, item.cy};
    MapDialogRect(placement.dialog, &place);
    placement.batch = DeferWindowPos(placement.batch, control, nullptr, place.left, place.top,
                                     place.right, place.bottom, SWP_NOZORDER);
}

struct Refresh {
    HINSTANCE module;
    HWND dialog;
};

void RefreshPlacedControl(const DialogTemplateItem& item, void* context) {
    const Refresh& refresh = *static_cast<const Refresh*>(context);
    if (GetDlgItem(refresh.dialog, item.id) != nullptr) {
        RefreshControl(refresh.module, refresh.dialog, item);
    }
}

} // namespace

void RefreshControl(HINSTANCE module, HWND dialog, const DialogTemplateItem& item) {
    if (!IsOrdinalField(item.classField)) {
        return;
    }
    switch (item.classField[1]) {
    case ButtonClassAtom:
        RefreshTitle(module, dialog, item, false);
        break;
    case StaticClassAtom:
        RefreshTitle(module, dialog, item, true);
        break;
    case ListBoxClassAtom:
        Reselect(dialog, item.id, LB_GETCURSEL, LB_SETCURSEL);
        break;
    case ComboBoxClassAtom:
        Reselect(dialog, item.id, CB_GETCURSEL, CB_SETCURSEL);
        break;
    default:
        break;
    }
}

int RelayoutDialogFromTemplate(HINSTANCE module, HWND dialog, const void* data, std::size_t size) {
    // The whole template is read before anything moves, so a malformed one
    // leaves the dialog as it was.
    DialogTemplate layout;
    if (!ReadDialogTemplate(data, size, layout)) {
        return 0;
    }
    // Reserved for every item, so the batch never grows and its handle stays
    // the one opened here.
    Placement placement = {dialog, BeginDeferWindowPos(layout.itemCount), 0};
    ReadDialogTemplate(data, size, layout, PlaceControl, &placement);
    EndDeferWindowPos(placement.batch);
    // Refreshed after the move, as a new dialog sets images after creating
    // its controls: an icon static then sizes itself to its icon, and a list
    // scrolls its selection into view at its new size.
    Refresh refresh = {module, dialog};
    ReadDialogTemplate(data, size, layout, RefreshPlacedControl, &refresh);
    // Unnamed items all land on the first unnamed control: with two or more
    // the layout is incomplete.
    return placement.unnamedItems < 2 ? 1 : 0;
}

int RelayoutDialog(HINSTANCE module, HWND dialog, int templateId) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    if (found == nullptr) {
        return 0;
    }
    const HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) {
        return 0;
    }
    // LockResource only turns the handle into the data's address: resources
    // stay mapped for the module's life, so there is nothing to release.
    return RelayoutDialogFromTemplate(module, dialog, LockResource(loaded),
                                      SizeofResource(module, found));
}
