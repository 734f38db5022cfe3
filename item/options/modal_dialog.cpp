// Modal dialogs from the item's own templates, and the places of their controls.
#include "modal_dialog.h"

#include "aygshell.h"
#include "item_state.h"

namespace {

// A modal run in progress; runs nest on the stack of the window's thread.
struct ModalRun {
    HWND dialog; // null until the dialog has initialised
    ModalRun* outer;
};

ModalRun* InnermostRun = nullptr;

} // namespace

INT_PTR RunModalDialog(int templateId, HWND owner, DLGPROC procedure) {
    HRSRC found = FindResourceW(ModuleInstance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    HGLOBAL loaded = found != nullptr ? LoadResource(ModuleInstance, found) : nullptr;
    if (loaded == nullptr) {
        return -1;
    }
    // On Windows CE a loaded resource is its data; the desktop needs LockResource.
    const DLGTEMPLATE* dialogTemplate = static_cast<const DLGTEMPLATE*>(LockResource(loaded));
    ModalRun run = {nullptr, InnermostRun};
    InnermostRun = &run;
    const INT_PTR result =
        DialogBoxIndirectParamW(ModuleInstance, dialogTemplate, owner, procedure, 0);
    InnermostRun = run.outer;
    return result;
}

void InitFullScreenDialog(HWND dialog) {
    if (InnermostRun != nullptr) {
        InnermostRun->dialog = dialog;
    }
    SHINITDLGINFO info;
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLG;
    SHInitDialog(&info);
}

void CloseModalDialogs() {
    for (ModalRun* run = InnermostRun; run != nullptr; run = run->outer) {
        HWND dialog = run->dialog;
        run->dialog = nullptr;
        // The system destroys each dialog as its loop, still on this
        // thread's stack, ends; the tap handler holds the library until then.
        if (dialog != nullptr) {
            EndDialog(dialog, IDCANCEL);
        }
    }
}

RECT ClientPlace(HWND dialog, HWND control) {
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}
