// Modal dialogs from the item's own templates.
#include "modal_dialog.h"

#include "aygshell.h"
#include "item_state.h"

INT_PTR RunModalDialog(int templateId, HWND owner, DLGPROC procedure) {
    HRSRC found = FindResourceW(ModuleInstance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    HGLOBAL loaded = found != nullptr ? LoadResource(ModuleInstance, found) : nullptr;
    if (loaded == nullptr) {
        return -1;
    }
    // On Windows CE a loaded resource is its data; the desktop needs LockResource.
    const DLGTEMPLATE* dialogTemplate = static_cast<const DLGTEMPLATE*>(LockResource(loaded));
    return DialogBoxIndirectParamW(ModuleInstance, dialogTemplate, owner, procedure, 0);
}

void InitFullScreenDialog(HWND dialog) {
    SHINITDLGINFO info;
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLG;
    SHInitDialog(&info);
}
