"""A small model of Windows CE for the emulated libraries: one table of rules,
a row per function the scenarios reach, each with the reference page its
argument rule comes from and the result or effect it has. A call that CE would
refuse fails the run, naming the function and the argument; a call to a
function the table lacks fails too, so nothing passes unmodelled.

The model keeps what the rows need: a registry, windows and classes, GDI
objects and their selections, events, critical sections, threads, the heap and
a scripted clock. Time moves only when the library asks for it: each tick
read costs the model 10 ms, of which the spinning thread gets CPU_SHARE as its
own time, booked to user or kernel time as the scenario says; a wait or sleep
moves the clock by its length. Its dialog manager builds modal dialogs from
the templates of the mapped image, as CE does, runs their modal loops and
answers their controls; the driver acts in them as the user would."""

import struct

from emulator import Fault
from unicorn.arm_const import UC_ARM_REG_SP

HKEY_LOCAL_MACHINE = 0x80000002
ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS = 0, 2, 234, 259
REG_DWORD = 4  # the only type the model's registry holds
WAIT_OBJECT_0, WAIT_TIMEOUT, INFINITE = 0, 0x102, 0xFFFFFFFF
CURRENT_THREAD = 0x41  # CE's GetCurrentThread(): SH_CURTHREAD + SYS_HANDLE_BASE
EVENT_PULSE, EVENT_RESET, EVENT_SET = 1, 2, 3
WS_CHILD, WS_VISIBLE = 0x40000000, 0x10000000
TICK_MS = 10
CPU_SHARE = 0.75  # of each tick, the spinning thread's own user time: 25 % load
STOCK = {0: "brush", 1: "brush", 2: "brush", 3: "brush", 4: "brush", 5: "brush",
         6: "pen", 7: "pen", 8: "pen", 13: "font", 15: "palette"}
OBJECT_TYPES = {1: "pen", 2: "brush", 5: "palette", 6: "font", 7: "bitmap"}
DEFAULT_BITMAP = 0x40  # what a new memory DC holds until a bitmap is selected
WNDCLASSW_SIZE, MEMORYSTATUS_SIZE, LOGFONTW_SIZE = 40, 32, 92
CONTROL_CLASSES = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox",
                   0x84: "ScrollBar", 0x85: "ComboBox"}


def need(ok, argument, value, why):
    """None when the argument is acceptable, else the refusal naming it."""
    if ok:
        return None
    if isinstance(value, int):
        return f"{argument} {value if -256 < value < 256 else hex(value)}: {why}"
    return f"{argument} {value!r}: {why}"


def first(*problems):
    return next((p for p in problems if p), None)


def ok(a, ce):
    return None


def a_window(a, ce):
    return need(a[0] in ce.windows, "hWnd", a[0], "no such window")


def a_dialog(a, ce):
    return need(ce.is_dialog(a[0]), "hDlg", a[0], "not a dialog")


# function, reference page, argument rule (a fault or None), result and effect
RULES = [
    ("DisableThreadLibraryCalls", "DisableThreadLibraryCalls (Windows CE 5.0)",
     lambda a, ce: need(a[0] == ce.module, "hLibModule", a[0], "not this library"), lambda a, ce: 1),
    ("GetModuleFileNameW", "GetModuleFileName (Windows CE 5.0)",
     lambda a, ce: need(a[0] == ce.module, "hModule", a[0], "not a loaded module"),
     lambda a, ce: ce.module_file_name(a)),
    ("LoadLibraryW", "LoadLibrary (Windows CE 5.0)",
     lambda a, ce: need(a.wstr(0) == ce.path, "lpLibFileName", a.wstr(0), "no such library"),
     lambda a, ce: ce.load_library()),
    ("FreeLibrary", "FreeLibrary (Windows CE 5.0)",
     lambda a, ce: need(a[0] == ce.module and ce.references > 1, "hLibModule", a[0],
                        "frees a reference the library does not hold"),
     lambda a, ce: ce.free_library()),
    ("FreeLibraryAndExitThread", "FreeLibraryAndExitThread (Windows CE 5.0)",
     lambda a, ce: need(a[0] == ce.module and ce.references > 1, "hLibModule", a[0],
                        "frees a reference the library does not hold"),
     lambda a, ce: ce.free_library_and_exit(a)),
    ("LocalAlloc", "LocalAlloc (Windows CE 5.0)",
     lambda a, ce: need(a[0] & ~0x40 == 0, "uFlags", a[0],
                        "CE has LMEM_FIXED and LMEM_ZEROINIT only"),
     lambda a, ce: ce.local_alloc(a[1])),
    ("LocalFree", "LocalFree (Windows CE 5.0)",
     lambda a, ce: need(a[0] == 0 or a[0] in ce.blocks, "hMem", a[0], "not an allocated block"),
     lambda a, ce: ce.blocks.discard(a[0])),
    ("InitializeCriticalSection", "InitializeCriticalSection (Windows CE 5.0)",
     lambda a, ce: need(a[0] not in ce.sections, "lpCriticalSection", a[0], "initialised twice"),
     lambda a, ce: ce.sections.update({a[0]: None})),
    ("DeleteCriticalSection", "DeleteCriticalSection (Windows CE 5.0)",
     lambda a, ce: need(ce.sections.get(a[0], 1) is None, "lpCriticalSection", a[0],
                        "not initialised, or still owned"),
     lambda a, ce: ce.sections.pop(a[0])),
    ("EnterCriticalSection", "EnterCriticalSection (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] in ce.sections, "lpCriticalSection", a[0], "not initialised"),
                         need(ce.sections.get(a[0]) is None, "lpCriticalSection", a[0],
                              "held by another thread: this model would deadlock")),
     lambda a, ce: ce.sections.update({a[0]: ce.thread()})),
    ("LeaveCriticalSection", "LeaveCriticalSection (Windows CE 5.0)",
     lambda a, ce: need(ce.sections.get(a[0]) == ce.thread(), "lpCriticalSection", a[0],
                        "not owned by the calling thread"),
     lambda a, ce: ce.leave(a[0])),
    ("CreateEventW", "CreateEvent (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] == 0, "lpEventAttributes", a[0], "must be NULL"),
                         need(a[3] == 0, "lpName", a[3], "named events are outside the model")),
     lambda a, ce: ce.new_handle("event", bool(a[2]))),
    ("EventModify", "EventModify (Windows CE 5.0)",
     lambda a, ce: first(need(ce.kind(a[0]) == "event", "hEvent", a[0], "not an event"),
                         need(a[1] in (EVENT_PULSE, EVENT_RESET, EVENT_SET), "func", a[1],
                              "EVENT_PULSE, EVENT_RESET or EVENT_SET")),
     lambda a, ce: ce.handles.update({a[0]: ("event", a[1] == EVENT_SET)}) or 1),
    ("CloseHandle", "CloseHandle (Windows CE 5.0)",
     lambda a, ce: need(a[0] in ce.handles, "hObject", a[0], "not an open handle"),
     lambda a, ce: ce.handles.pop(a[0]) and 1),
    ("CreateThread", "CreateThread (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] == 0, "lpsa", a[0], "must be NULL"),
                         need(ce.in_code(a[2]), "lpStartAddr", a[2], "not code of the library"),
                         need(a[4] & ~0x10004 == 0, "fdwCreate", a[4],
                              "CREATE_SUSPENDED and STACK_SIZE_PARAM_IS_A_RESERVATION only")),
     lambda a, ce: ce.create_thread(a)),
    ("SetThreadPriority", "SetThreadPriority (Windows CE 5.0)",
     lambda a, ce: first(need(ce.is_thread(a[0]), "hThread", a[0], "not a thread"),
                         need(0 <= a.signed(1) <= 7, "nPriority", a.signed(1),
                              "CE has 8 levels, 0 (time-critical) to 7 (idle), normal 3")),
     lambda a, ce: ce.priorities.update({ce.thread_of(a[0]): a.signed(1)}) or 1),
    ("GetThreadTimes", "GetThreadTimes (Windows CE 5.0)",
     lambda a, ce: first(need(ce.is_thread(a[0]), "hThread", a[0], "not a thread"),
                         need(all(a[i] for i in range(1, 5)), "lpUserTime", a[4],
                              "all four FILETIME pointers are written")),
     lambda a, ce: ce.thread_times(a)),
    ("GetTickCount", "GetTickCount (Windows CE 5.0)", ok, lambda a, ce: ce.tick()),
    ("Sleep", "Sleep (Windows CE 5.0)", ok, lambda a, ce: ce.wait(a[0], None)),
    ("WaitForSingleObject", "WaitForSingleObject (Windows CE 5.0)",
     lambda a, ce: need(ce.kind(a[0]) in ("event", "thread"), "hHandle", a[0], "not waitable"),
     lambda a, ce: ce.wait(a[1], a[0])),
    ("GlobalMemoryStatus", "GlobalMemoryStatus (Windows CE 5.0)",
     lambda a, ce: need(ce.m.u32(a[0]) == MEMORYSTATUS_SIZE, "dwLength", ce.m.u32(a[0]),
                        "sizeof(MEMORYSTATUS) is 32"),
     lambda a, ce: ce.memory_status(a[0])),
    ("RegOpenKeyExW", "RegOpenKeyEx (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] == HKEY_LOCAL_MACHINE or a[0] in ce.keys, "hKey", a[0],
                              "no open key"),
                         need(a[2] == 0, "ulOptions", a[2], "reserved, must be 0"),
                         need(a[3] == 0, "samDesired", a[3], "not supported, must be 0")),
     lambda a, ce: ce.open_key(a)),
    ("RegCloseKey", "RegCloseKey (Windows CE 5.0)",
     lambda a, ce: need(a[0] in ce.keys, "hKey", a[0], "not an open key"),
     lambda a, ce: ce.keys.pop(a[0]) and ce.handles.pop(a[0]) and ERROR_SUCCESS),
    ("RegQueryValueExW", "RegQueryValueEx (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] in ce.keys, "hKey", a[0], "not an open key"),
                         need(a[2] == 0, "lpReserved", a[2], "reserved, must be NULL")),
     lambda a, ce: ce.query_value(a)),
    ("RegSetValueExW", "RegSetValueEx (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] in ce.keys, "hKey", a[0], "not an open key"),
                         need(a[2] == 0, "Reserved", a[2], "reserved, must be 0")),
     lambda a, ce: ce.set_value(a)),
    ("RegEnumKeyExW", "RegEnumKeyEx (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] in ce.keys, "hKey", a[0], "not an open key"),
                         need(a[4] == 0, "lpReserved", a[4], "reserved, must be NULL")),
     lambda a, ce: ce.enum_key(a)),
    ("RegDeleteKeyW", "RegDeleteKey (Windows CE 5.0)",
     lambda a, ce: need(a[0] == HKEY_LOCAL_MACHINE or a[0] in ce.keys, "hKey", a[0], "no open key"),
     lambda a, ce: ce.delete_key(a)),
    ("SendMessageTimeout", "SendMessageTimeout (Windows CE 5.0)",
     lambda a, ce: need(a[4] == 0, "fuFlags", a[4], "SMTO_NORMAL is the only value CE takes"),
     lambda a, ce: ce.broadcast(a, waited=True)),
    ("SendNotifyMessageW", "SendNotifyMessage (Windows CE 5.0)", ok,
     lambda a, ce: ce.broadcast(a, waited=False)),
    ("UnregisterClassW", "UnregisterClass (Windows CE 5.0)",
     lambda a, ce: need(a[1] == ce.module, "hInstance", a[1], "not this library"),
     lambda a, ce: int(ce.classes.pop(a.wstr(0), None) is not None)),
    ("RegisterClassW", "RegisterClass (Windows CE 5.0)",
     lambda a, ce: ce.class_problem(a[0]), lambda a, ce: ce.register_class(a[0])),
    ("CreateWindowExW", "CreateWindowEx (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] & ~0x0C000008 == 0, "dwExStyle", a[0], "a style CE lacks"),
                         need(a.wstr(1) in ce.classes, "lpClassName", a.wstr(1), "no such class"),
                         need(a[8] in ce.windows, "hWndParent", a[8], "no such window")),
     lambda a, ce: ce.create_window(a)),
    ("GetWindow", "GetWindow (Windows CE 5.0)",
     lambda a, ce: first(a_window(a, ce),
                         need(a[1] in (0, 1, 2, 3, 4, 5), "uCmd", a[1], "not a GW_ value CE has")),
     lambda a, ce: ce.related_window(a[0], a[1])),
    ("GetClassNameW", "GetClassName (Windows CE 5.0)",
     lambda a, ce: first(a_window(a, ce),
                         need(a[2] > 0, "nMaxCount", a[2], "no room for the name")),
     lambda a, ce: ce.class_name(a)),
    ("GetParent", "GetParent (Windows CE 5.0)", a_window,
     lambda a, ce: ce.windows[a[0]]["parent"]),
    ("GetClientRect", "GetClientRect (Windows CE 5.0)", a_window,
     lambda a, ce: ce.put_rect(a[1], (0, 0, *ce.windows[a[0]]["size"]))),
    ("InvalidateRect", "InvalidateRect (Windows CE 5.0)", a_window,
     lambda a, ce: ce.invalidate(a)),
    ("DefWindowProcW", "DefWindowProc (Windows CE 5.0)", ok, lambda a, ce: 0),
    ("BeginPaint", "BeginPaint (Windows CE 5.0)", a_window,
     lambda a, ce: ce.begin_paint(a)),
    ("EndPaint", "EndPaint (Windows CE 5.0)",
     lambda a, ce: need(ce.kind(ce.m.u32(a[1])) == "paint", "lpPaint", a[1], "not from BeginPaint"),
     lambda a, ce: ce.delete_dc(ce.m.u32(a[1]))),
    ("GetDC", "GetDC (Windows CE 5.0)", ok, lambda a, ce: ce.new_dc("window dc")),
    ("ReleaseDC", "ReleaseDC (Windows CE 5.0)",
     lambda a, ce: need(ce.kind(a[1]) == "window dc", "hDC", a[1], "not from GetDC"),
     lambda a, ce: ce.delete_dc(a[1])),
    ("GetDeviceCaps", "GetDeviceCaps (Windows CE 5.0)",
     lambda a, ce: need(a[1] in (8, 10, 88, 90), "nIndex", a[1],
                        "outside the model: HORZRES, VERTRES, LOGPIXELSX/Y only"),
     lambda a, ce: {8: ce.screen[0], 10: ce.screen[1]}.get(a[1], ce.dpi)),
    ("GetSystemMetrics", "GetSystemMetrics (Windows CE 5.0)",
     lambda a, ce: need(a[0] in (0, 1), "nIndex", a[0], "outside the model: SM_CX/CYSCREEN only"),
     lambda a, ce: ce.screen[a[0]]),
    ("CreateCompatibleDC", "CreateCompatibleDC (Windows CE 5.0)",
     lambda a, ce: ce.dc_problem(a[0]), lambda a, ce: ce.new_dc("memory dc")),
    ("DeleteDC", "DeleteDC (Windows CE 5.0)",
     lambda a, ce: need(ce.kind(a[0]) == "memory dc", "hdc", a[0], "not a memory DC"),
     lambda a, ce: ce.delete_dc(a[0])),
    ("CreateCompatibleBitmap", "CreateCompatibleBitmap (Windows CE 5.0)",
     lambda a, ce: first(ce.dc_problem(a[0]),
                         need(a.signed(1) > 0 and a.signed(2) > 0, "nWidth", a[1],
                              "an empty bitmap")),
     lambda a, ce: ce.new_handle("bitmap")),
    ("CreateSolidBrush", "CreateSolidBrush (Windows CE 5.0)",
     lambda a, ce: need(a[0] >> 24 == 0, "crColor", a[0], "not an RGB colour"),
     lambda a, ce: ce.new_handle("brush")),
    ("CreatePen", "CreatePen (Windows CE 5.0)",
     lambda a, ce: need(a[0] in (0, 1, 5), "fnPenStyle", a[0], "CE has PS_SOLID, PS_DASH, PS_NULL"),
     lambda a, ce: ce.new_handle("pen")),
    ("CreateFontIndirectW", "CreateFontIndirect (Windows CE 5.0)", ok,
     lambda a, ce: ce.new_handle("font")),
    ("GetStockObject", "GetStockObject (Windows CE 5.0)",
     lambda a, ce: need(a[0] in STOCK, "fnObject", a[0], "no such stock object on CE"),
     lambda a, ce: 0x7000 + a[0]),
    ("GetObjectW", "GetObject (Windows CE 5.0)",
     lambda a, ce: need(a[0] == 0x700D and a[1] == LOGFONTW_SIZE, "cbBuffer", a[1],
                        "outside the model: the system font's LOGFONTW (92 bytes) only"),
     lambda a, ce: ce.write(a[2], struct.pack("<5i8B", -13, 0, 0, 0, 400, *[0] * 8)
                            + "Tahoma".encode("utf-16-le").ljust(64, b"\0")) or LOGFONTW_SIZE),
    ("SelectObject", "SelectObject (Windows CE 5.0)",
     lambda a, ce: first(ce.dc_problem(a[0]),
                         need(ce.kind(a[1]) in ("bitmap", "brush", "pen", "font"), "hgdiobj", a[1],
                              "not a GDI object")),
     lambda a, ce: ce.select(a[0], a[1])),
    ("GetCurrentObject", "GetCurrentObject (Windows CE 5.0)",
     lambda a, ce: first(ce.dc_problem(a[0]),
                         need(a[1] in OBJECT_TYPES, "uObjectType", a[1],
                              "OBJ_PEN, OBJ_BRUSH, OBJ_PAL, OBJ_FONT or OBJ_BITMAP")),
     lambda a, ce: ce.current_object(a[0], OBJECT_TYPES[a[1]])),
    ("DeleteObject", "DeleteObject (Windows CE 5.0)",
     lambda a, ce: first(need(ce.kind(a[0]) in ("bitmap", "brush", "pen", "font") and
                              ce.handles[a[0]][1] != "stock", "hObject", a[0],
                              "not a GDI object this library made"),
                         need(not ce.selected(a[0]), "hObject", a[0], "still selected into a DC")),
     lambda a, ce: ce.handles.pop(a[0]) and 1),
    ("FillRect", "FillRect (Windows CE 5.0)",
     lambda a, ce: first(ce.dc_problem(a[0]),
                         need(ce.kind(a[2]) == "brush", "hbr", a[2], "not a brush")),
     lambda a, ce: 1),
    ("SetBkMode", "SetBkMode (Windows CE 5.0)",
     lambda a, ce: first(ce.dc_problem(a[0]),
                         need(a[1] in (1, 2), "iBkMode", a[1], "TRANSPARENT or OPAQUE")),
     lambda a, ce: 2),
    ("SetTextColor", "SetTextColor (Windows CE 5.0)", lambda a, ce: ce.dc_problem(a[0]),
     lambda a, ce: 0),
    ("MoveToEx", "MoveToEx (Windows CE 5.0)", lambda a, ce: ce.dc_problem(a[0]), lambda a, ce: 1),
    ("LineTo", "LineTo (Windows CE 5.0)", lambda a, ce: ce.dc_problem(a[0]), lambda a, ce: 1),
    ("DrawTextW", "DrawText (Windows CE 5.0)",
     lambda a, ce: first(ce.dc_problem(a[0]), need(a.signed(2) >= -1, "nCount", a[2], "negative")),
     lambda a, ce: ce.draw_text(a)),
    ("BitBlt", "BitBlt (Windows CE 5.0)",
     lambda a, ce: first(ce.dc_problem(a[0]), ce.dc_problem(a[5]),
                         need(a[8] == 0x00CC0020, "dwRop", a[8],
                              "outside the model: SRCCOPY only")),
     lambda a, ce: 1),
    # The dialog manager and the controls (the methods after "Dialogs" below).
    ("FindResourceW", "FindResource (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] == ce.module, "hModule", a[0], "not this library"),
                         need(a[1] < 0x10000 and a[2] < 0x10000, "lpName", a[1],
                              "outside the model: resources by number only")),
     lambda a, ce: ce.find_resource(a[2], a[1])),
    ("LoadResource", "LoadResource (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] == ce.module, "hModule", a[0], "not this library"),
                         need(a[1] in ce.resources, "hResInfo", a[1], "not from FindResource")),
     lambda a, ce: ce.module + ce.m.u32(a[1])),
    ("SizeofResource", "SizeofResource (Windows CE 5.0)",
     lambda a, ce: need(a[1] in ce.resources, "hResInfo", a[1], "not from FindResource"),
     lambda a, ce: ce.m.u32(a[1] + 4)),
    ("DialogBoxIndirectParamW", "DialogBoxIndirectParam (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] == ce.module, "hInstance", a[0], "not this library"),
                         need(ce.m.u32(a[1]) != 0xFFFF0001, "lpTemplate", a[1],
                              "CE has no extended dialog templates"),
                         need(a[2] in ce.windows, "hWndParent", a[2], "no such window"),
                         need(ce.in_code(a[3]), "lpDialogFunc", a[3], "not code of the library")),
     lambda a, ce: ce.dialog_box(a)),
    ("EndDialog", "EndDialog (Windows CE 5.0)",
     lambda a, ce: need(any(r["dialog"] == a[0] and r["result"] is None for r in ce.modal),
                        "hDlg", a[0], "no running modal dialog"),
     lambda a, ce: next(r for r in ce.modal if r["dialog"] == a[0]).update(result=a[1]) or 1),
    ("SHInitDialog", "SHInitDialog (Pocket PC 2002 and later)",
     lambda a, ce: first(need(ce.m.u32(a[0]) == 1, "dwMask", ce.m.u32(a[0]), "SHIDIM_FLAGS"),
                         need(ce.is_dialog(ce.m.u32(a[0] + 4)), "hDlg", ce.m.u32(a[0] + 4),
                              "not a dialog"),
                         need(ce.m.u32(a[0] + 8) & ~0x1F == 0, "dwFlags", ce.m.u32(a[0] + 8),
                              "SHIDIF_ flags of Pocket PC 2003 only")),
     lambda a, ce: ce.init_dialog(ce.m.u32(a[0] + 4), ce.m.u32(a[0] + 8))),
    ("GetDlgItem", "GetDlgItem (Windows CE 5.0)", a_dialog,
     lambda a, ce: ce.control(a[0], a[1])),
    ("SendDlgItemMessageW", "SendDlgItemMessage (Windows CE 5.0)", a_dialog,
     lambda a, ce: ce.send(ce.control(a[0], a[1]), a[2], a[3], a[4])),
    ("SendMessageW", "SendMessage (Windows CE 5.0)", a_window,
     lambda a, ce: ce.send(a[0], a[1], a[2], a[3])),
    ("SetDlgItemTextW", "SetDlgItemText (Windows CE 5.0)",
     lambda a, ce: need(ce.control(a[0], a[1]), "nIDDlgItem", a[1], "no such control"),
     lambda a, ce: ce.windows[ce.control(a[0], a[1])].update(text=a.wstr(2)) or 1),
    ("SetWindowTextW", "SetWindowText (Windows CE 5.0)", a_window,
     lambda a, ce: ce.windows[a[0]].update(text=a.wstr(1)) or 1),
    ("ShowWindow", "ShowWindow (Windows CE 5.0)",
     lambda a, ce: first(a_window(a, ce),
                         need(a[1] in (0, 1, 3, 4, 5, 6, 8), "nCmdShow", a[1], "not on CE")),
     lambda a, ce: ce.windows[a[0]].update(shown=a[1] != 0)),
    ("GetWindowRect", "GetWindowRect (Windows CE 5.0)", a_window,
     lambda a, ce: ce.put_rect(a[1], ce.window_rect(a[0]))),
    ("MapWindowPoints", "MapWindowPoints (Windows CE 5.0)",
     lambda a, ce: need(a[0] in ce.windows or a[0] == 0, "hWndFrom", a[0], "no such window")
     or need(a[1] in ce.windows or a[1] == 0, "hWndTo", a[1], "no such window"),
     lambda a, ce: ce.map_points(a)),
    ("MapDialogRect", "MapDialogRect (Windows CE 5.0)", a_dialog,
     lambda a, ce: ce.put_rect(a[1], ce.dialog_units(a[0], ce.rect(a[1])))),
    ("BeginDeferWindowPos", "BeginDeferWindowPos (Windows CE 5.0)",
     lambda a, ce: need(a.signed(0) >= 0, "nNumWindows", a.signed(0), "negative"),
     lambda a, ce: ce.new_handle("batch", [])),
    ("DeferWindowPos", "DeferWindowPos (Windows CE 5.0)",
     lambda a, ce: first(need(ce.kind(a[0]) == "batch", "hWinPosInfo", a[0], "not a batch"),
                         need(ce.windows.get(a[1], {}).get("parent") in ce.windows, "hWnd",
                              a[1], "not a child window"),
                         need(a[7] & ~0x2FF == 0, "uFlags", a[7], "a SWP_ flag CE lacks")),
     lambda a, ce: ce.handles[a[0]][1].append((a[1], *(a.signed(i) for i in (3, 4, 5, 6))))
     or a[0]),
    ("EndDeferWindowPos", "EndDeferWindowPos (Windows CE 5.0)",
     lambda a, ce: need(ce.kind(a[0]) == "batch", "hWinPosInfo", a[0], "not a batch"),
     lambda a, ce: [ce.windows[w].update(place=(x, y, x + cx, y + cy))
                    for w, x, y, cx, cy in ce.handles.pop(a[0])[1]] and 1),
    ("SetWindowPos", "SetWindowPos (Windows CE 5.0)",
     lambda a, ce: first(need(ce.windows.get(a[0], {}).get("parent") in ce.windows, "hWnd",
                              a[0], "not a child window"),
                         need(a[6] & ~0x2FF == 0, "uFlags", a[6], "a SWP_ flag CE lacks")),
     lambda a, ce: ce.set_window_pos(a)),
    ("UnionRect", "UnionRect (Windows CE 5.0)", ok, lambda a, ce: ce.union_rect(a)),
    ("LoadIconW", "LoadIcon (Windows CE 5.0)",
     lambda a, ce: need(a[0] == ce.module and ce.find_resource(14, a[1]), "lpIconName", a[1],
                        "no such icon in this library"),
     lambda a, ce: ce.new_handle("icon")),
    ("LoadBitmapW", "LoadBitmap (Windows CE 5.0)",
     lambda a, ce: need(a[0] == ce.module and ce.find_resource(2, a[1]), "lpBitmapName", a[1],
                        "no such bitmap in this library"),
     lambda a, ce: ce.new_handle("bitmap")),
    ("DestroyIcon", "DestroyIcon (Windows CE 5.0)",
     lambda a, ce: need(ce.kind(a[0]) == "icon" and not any(
         w.get("image") == a[0] for w in ce.windows.values()), "hIcon", a[0],
         "not an icon, or one a control still shows"),
     lambda a, ce: ce.handles.pop(a[0]) and 1),
    ("InflateRect", "InflateRect (Windows CE 5.0)", ok,
     lambda a, ce: ce.put_rect(a[0], (v + d for v, d in zip(ce.rect(a[0]), (
         -a.signed(1), -a.signed(2), a.signed(1), a.signed(2)))))),
    ("wsprintfW", "wsprintf (Windows CE 5.0)", ok, lambda a, ce: ce.wsprintf(a)),
    ("memset", "memset (Windows CE 5.0)", ok,
     lambda a, ce: ce.write(a[0], bytes([a[1] & 0xFF]) * a[2]) or a[0]),
    ("wcscmp", "wcscmp (Windows CE 5.0)", ok,
     lambda a, ce: (a.wstr(0) > a.wstr(1)) - (a.wstr(0) < a.wstr(1))),
    ("memcpy", "memcpy (Windows CE 5.0)",
     lambda a, ce: need(a[0] + a[2] <= a[1] or a[1] + a[2] <= a[0], "dest", a[0], "overlaps src"),
     lambda a, ce: ce.write(a[0], bytes(ce.m.uc.mem_read(a[1], a[2]))) or a[0]),
]


class WindowsCe:
    """The state the rules read and change; one per emulated library."""

    def __init__(self, path, dpi=96, screen=(240, 320), kernel_share=0.0, times_fail=False,
                 font_cell=None):
        """screen: width and height at 96 dpi; kernel_share: the part of the
        spinning thread's time that CE books to the kernel, as a kernel that
        counts its own calls there would; font_cell: the dialog font's
        average character width and height in pixels (Tahoma's 8 points)."""
        self.path, self.dpi = path, dpi
        self.screen = (self.scaled(screen[0]), self.scaled(screen[1]))
        self.kernel_share, self.times_fail = kernel_share, times_fail
        self.font_cell = font_cell or (self.scaled(5), self.scaled(13))
        self.kernel_time = {}
        self.modal = []  # the running modal dialogs, innermost last
        self.pending = []  # (window, message, wParam, lParam) for the dialogs' loop
        self.dirty = set()  # dialogs to paint once nothing else is queued
        self.resources = set()  # the data entries FindResourceW handed out
        self.rules = {row[0]: row for row in RULES}
        self.m = None
        self.module = None
        self.references = 1
        self.clock = 1_000_000
        self.user_time = {}
        self.priorities = {}
        self.handles = {0x7000 + i: (kind, "stock") for i, kind in STOCK.items()}
        self.handles[0x7000 + DEFAULT_BITMAP] = ("bitmap", "stock")
        self.next_handle = 0x1000
        self.blocks = set()
        self.sections = {}
        self.registry = {}
        self.keys = {}
        self.classes = {}
        self.windows = {}
        self.selections = {}
        self.started = []  # (handle, start address, parameter, name) of each new thread
        self.invalidated = []
        self.texts = []
        self.broadcasts = []
        self.pause_after = None  # (thread name, count): end its turn after so many publishes

    def attach(self, machine):
        """Binds the model to a loaded library; an import without a rule fails
        the load, before any code runs, so nothing is left unmodelled."""
        self.m, self.module = machine, machine.base
        missing = sorted({f for _, f, _ in machine.image.import_slots() if f not in self.rules})
        if missing:
            raise Fault(f"{len(missing)} imports have no rule in the model of Windows CE: "
                        + ", ".join(missing))

    def scaled(self, length):
        """A length of the 96-dpi screen on this one."""
        return length * self.dpi // 96

    def write(self, address, data):
        self.m.uc.mem_write(address, bytes(data))

    def rect(self, address):
        return struct.unpack("<4i", self.m.uc.mem_read(address, 16))

    def put_rect(self, address, rect):
        self.write(address, struct.pack("<4i", *rect))
        return 1

    def call(self, name, a):
        row = self.rules.get(name)
        if row is None:
            raise Fault(f"{name} is not in the model of Windows CE")
        problem = row[2](a, self)
        if problem:
            raise Fault(f"Windows CE refuses {name}: {problem} ({row[1]})")
        return row[3](a, self)

    # Handles and threads.
    def new_handle(self, kind, state=None):
        self.next_handle += 4
        self.handles[self.next_handle] = (kind, state)
        return self.next_handle

    def kind(self, handle):
        return self.handles.get(handle, (None,))[0]

    def thread(self):
        return self.m.current.name

    def is_thread(self, handle):
        return handle == CURRENT_THREAD or self.kind(handle) == "thread"

    def thread_of(self, handle):
        return self.thread() if handle == CURRENT_THREAD else self.handles[handle][1]

    def in_code(self, address):
        rva, data = self.m.image.section_data(".text")
        return self.m.base + rva <= address < self.m.base + rva + len(data)

    def create_thread(self, a):
        name = f"thread {len(self.started) + 1}"
        handle = self.new_handle("thread", name)
        self.started.append((handle, a[2], a[3], name))
        return handle

    def load_library(self):
        self.references += 1
        return self.module

    def free_library(self):
        self.references -= 1
        return 1

    def free_library_and_exit(self, a):
        self.free_library()
        self.m.exit_thread(a[1])

    def module_file_name(self, a):
        text = self.path.encode("utf-16-le") + b"\0\0"
        self.write(a[1], text[:2 * a[2]])
        return len(self.path)

    def local_alloc(self, size):
        address = self.m.alloc(size, bytes(size))
        self.blocks.add(address)
        return address

    def leave(self, section):
        self.sections[section] = None
        self._maybe_pause()

    # Time.
    def tick(self):
        self.clock += TICK_MS
        name, share = self.thread(), int(TICK_MS * 10000 * CPU_SHARE)
        kernel = int(share * self.kernel_share)
        self.user_time[name] = self.user_time.get(name, 0) + share - kernel
        self.kernel_time[name] = self.kernel_time.get(name, 0) + kernel
        return self.clock & 0xFFFFFFFF

    def wait(self, timeout, handle):
        """Sleep and waits: a signalled event ends at once; a window thread
        that waits while a started thread has not finished hands it the turn."""
        if handle is not None and self.handles[handle][1] is True:
            return WAIT_OBJECT_0
        if timeout == INFINITE:
            raise Fault("an infinite wait that nothing in the model would end")
        self.clock += timeout
        if not self.thread().startswith("thread ") and \
                any(t.name.startswith("thread ") and not t.done for t in self.m.threads):
            self.m.end_turn()
        return WAIT_TIMEOUT

    def thread_times(self, a):
        if self.times_fail:
            return 0
        name = self.thread_of(a[0])
        for i in (1, 2):
            self.write(a[i], bytes(8))
        self.write(a[3], struct.pack("<Q", self.kernel_time.get(name, 0)))
        self.write(a[4], struct.pack("<Q", self.user_time.get(name, 0)))
        return 1

    def memory_status(self, address):
        # 64 MiB, of which 16 available: 75 % in use.
        self.write(address + 4, struct.pack("<7I", 75, 64 << 20, 16 << 20, 0, 0, 0, 0))

    # Registry: paths in lower case, each a dict of values.
    def key_path(self, handle, sub):
        base = "" if handle == HKEY_LOCAL_MACHINE else self.keys[handle]
        return "\\".join(p for p in (base, (sub or "").lower()) if p)

    def open_key(self, a):
        path = self.key_path(a[0], a.wstr(1))
        if path not in self.registry:
            return ERROR_FILE_NOT_FOUND
        handle = self.new_handle("key")
        self.keys[handle] = path
        self.m.put32(a[4], handle)
        return ERROR_SUCCESS

    def query_value(self, a):
        value = self.registry[self.keys[a[0]]].get(a.wstr(1))
        if value is None:
            return ERROR_FILE_NOT_FOUND
        if a[3]:
            self.m.put32(a[3], REG_DWORD)
        room = self.m.u32(a[5]) if a[5] else 0
        if a[5]:
            self.m.put32(a[5], 4)
        if a[4] and room < 4:
            return ERROR_MORE_DATA
        if a[4]:
            self.m.put32(a[4], value)
        return ERROR_SUCCESS

    def set_value(self, a):
        self.registry[self.keys[a[0]]][a.wstr(1)] = self.m.u32(a[4])
        return ERROR_SUCCESS

    def children(self, path):
        return sorted(p[len(path) + 1:] for p in self.registry
                      if p.startswith(path + "\\") and "\\" not in p[len(path) + 1:])

    def enum_key(self, a):
        names = self.children(self.keys[a[0]])
        if a[1] >= len(names):
            return ERROR_NO_MORE_ITEMS
        self.write(a[2], names[a[1]].encode("utf-16-le") + b"\0\0")
        self.m.put32(a[3], len(names[a[1]]))
        return ERROR_SUCCESS

    def delete_key(self, a):
        # CE's RegDeleteKey takes the key's subkeys with it.
        path = self.key_path(a[0], a.wstr(1))
        if path not in self.registry:
            return ERROR_FILE_NOT_FOUND
        for p in [p for p in self.registry if p == path or p.startswith(path + "\\")]:
            del self.registry[p]
        return ERROR_SUCCESS

    def broadcast(self, a, waited):
        self.broadcasts.append((a[0], a[1], a[2], a[3], self.thread(), waited))
        if waited and a[6]:
            self.m.put32(a[6], 0)
        return 1

    # Windows.
    def class_problem(self, address):
        style, proc, _, _, instance = struct.unpack("<5I", self.m.uc.mem_read(address, 20))
        return first(need(self.in_code(proc), "lpfnWndProc", proc, "not code of the library"),
                     need(instance == self.module, "hInstance", instance, "not this library"),
                     need(style & ~0x0003 == 0, "style", style,
                          "outside the model: CS_HREDRAW and CS_VREDRAW only"))

    def register_class(self, address):
        fields = struct.unpack("<10I", self.m.uc.mem_read(address, WNDCLASSW_SIZE))
        name = self.m.wstr(fields[9])
        if name in self.classes:
            return 0
        self.classes[name] = fields[1]
        return 0xC000 + len(self.classes)

    def create_window(self, a):
        handle = self.new_handle("window")
        self.windows[handle] = {"class": a.wstr(1), "name": a.wstr(2), "style": a[3],
                                "parent": a[8], "proc": self.classes[a.wstr(1)], "size": (0, 0)}
        return handle

    def related_window(self, window, command):
        """GetWindow over siblings in creation order (GW_HWNDFIRST, GW_HWNDLAST,
        GW_HWNDNEXT, GW_HWNDPREV) and the first child (GW_CHILD)."""
        parent = self.windows[window]["parent"]
        siblings = [w for w, f in self.windows.items() if f["parent"] == parent]
        at = siblings.index(window)
        if command == 5:  # GW_CHILD
            return next((w for w, f in self.windows.items() if f["parent"] == window), 0)
        chosen = {0: 0, 1: len(siblings) - 1, 2: at + 1, 3: at - 1}.get(command, -1)
        return siblings[chosen] if 0 <= chosen < len(siblings) else 0

    def class_name(self, a):
        name = self.windows[a[0]]["class"][:a[2] - 1]
        self.write(a[1], name.encode("utf-16-le") + b"\0\0")
        return len(name)

    def invalidate(self, a):
        if self.is_dialog(a[0]):
            self.dirty.add(a[0])
        self.invalidated.append((self.thread(), a[0], a[1], a[2]))
        self._maybe_pause()
        return 1

    def _maybe_pause(self):
        if self.pause_after and self.pause_after[0] == self.thread() and \
                len([i for i in self.invalidated if i[0] == self.thread()]) >= self.pause_after[1] \
                and self.thread() not in self.sections.values():
            self.pause_after = None
            self.m.end_turn()

    # Dialogs. DialogBoxIndirectParamW builds the dialog and ends the calling
    # thread's turn; the modal loop (settle) runs the dialog procedure nested
    # under it and resumes it with EndDialog's result. A message for a dialog
    # is queued for that loop, since the model cannot run a procedure inside
    # another call.
    def find_resource(self, kind, name):
        """The data entry of the first language of a resource in the mapped
        image, found through its three directory levels, or 0."""
        at = root = self.module + self.m.image.directories[2][0]
        for key in (kind, name, None):
            named, ids = struct.unpack("<HH", self.m.uc.mem_read(at + 12, 4))
            entries = [struct.unpack("<II", self.m.uc.mem_read(at + 16 + 8 * i, 8))
                       for i in range(named, named + ids)]
            target = next((t for k, t in entries if key in (None, k)), None)
            if target is None:
                return 0
            at = root + (target & 0x7FFFFFFF)
        self.resources.add(at)
        return at

    def field(self, at):
        """A template's sz-or-ord field: (ordinal or text, the address after it)."""
        if self.m.uc.mem_read(at, 2) == b"\xff\xff":
            return struct.unpack("<H", self.m.uc.mem_read(at + 2, 2))[0], at + 4
        text = self.m.wstr(at)
        return text, at + 2 * len(text) + 2

    def dialog_box(self, a):
        style, _, count, *box = struct.unpack("<IIH4h", self.m.uc.mem_read(a[1], 18))
        at = self.field(self.field(a[1] + 18)[1])[1]
        caption, at = self.field(at)
        if style & 0x40:  # DS_SETFONT: the point size and face, the font of the cell
            at = self.field(at + 2)[1]
        dialog = self.new_handle("window")
        self.windows[dialog] = {"class": "Dialog", "parent": 0, "owner": a[2], "proc": a[3],
                                "text": caption, "at": (0, 0),
                                "font": self.new_handle("font", "stock")}
        self.windows[dialog]["size"] = self.dialog_units(dialog, box)[2:]
        for _ in range(count):
            at = a[1] + (at - a[1] + 3 & ~3)
            item_style, _, x, y, cx, cy, ident = struct.unpack("<II4hH",
                                                               self.m.uc.mem_read(at, 18))
            kind, at = self.field(at + 18)
            title, at = self.field(at)
            at += 2 + struct.unpack("<H", self.m.uc.mem_read(at, 2))[0]
            control = self.new_handle("window")
            self.windows[control] = {
                "class": CONTROL_CLASSES.get(kind, kind), "parent": dialog, "id": ident,
                "style": item_style, "shown": bool(item_style & WS_VISIBLE), "items": [],
                "selection": -1, "check": 0, "text": title if isinstance(title, str) else "",
                "place": self.dialog_place(dialog, (x, y, cx, cy)),
                # CE's dialog manager loads an icon static's icon from the module.
                "image": self.new_handle("icon", "stock") if item_style & 0x1F == 3 else None}
        self.modal.append({"dialog": dialog, "result": None, "param": a[4]})
        self.pending.append((dialog, 0x110, 0, a[4]))  # WM_INITDIALOG
        self.dirty.add(dialog)
        self.m.end_turn()

    def is_dialog(self, window):
        return self.windows.get(window, {}).get("class") == "Dialog"

    def init_dialog(self, dialog, flags):
        """SHIDIF_SIZEDLG: the dialog fills the screen below the 26-pixel
        navigation bar, which holds the OK button of SHIDIF_DONEBUTTON."""
        self.windows[dialog]["done button"] = bool(flags & 1)
        if flags & 2:
            self.windows[dialog].update(at=(0, self.scaled(26)), full=True)
            self.resize_dialog(dialog)
        return 1

    def resize_dialog(self, dialog):
        width, height = self.screen[0], self.screen[1] - self.scaled(26)
        self.windows[dialog]["size"] = (width, height)
        self.pending.append((dialog, 5, 0, width | height << 16))  # WM_SIZE
        self.dirty.add(dialog)

    def turn(self, thread):
        """The screen turns; the shell resizes each full-screen dialog."""
        self.screen = self.screen[::-1]
        for run in self.modal:
            if self.windows[run["dialog"]].get("full"):
                self.resize_dialog(run["dialog"])
        self.settle(thread, None)

    def tap_control(self, thread, dialog, ident, choice=None):
        """A tap on a shown control: a list's entry, a check box, a button,
        each notifying its dialog as the control does."""
        control = self.control(dialog, ident)
        if not control or not self.windows[control]["shown"]:
            raise Fault(f"a tap on control {ident}, which the dialog does not show")
        if choice is not None:
            self.send(control, 0x14E, choice, 0)  # CB_SETCURSEL, then CBN_SELCHANGE
        elif self.windows[control]["style"] & 0xF == 3:  # an automatic check box
            self.windows[control]["check"] ^= 1
        self.deliver(thread, dialog, 0x111, ident | (choice is not None) << 16,  # WM_COMMAND
                     control)

    def deliver(self, thread, window, *message):
        """A message to a dialog's procedure on the window thread, nested
        under the innermost modal loop, and then what that loop has queued."""
        below = self.modal[-1]["context"].reg_read(UC_ARM_REG_SP) if self.modal else None
        self.settle(thread, self.m.call(thread, self.windows[window]["proc"], window, *message,
                                        below=below))

    def settle(self, thread, result):
        """The window thread's modal loops after a call on it: messages queued
        for the innermost dialog first, then its paints; a dialog ended by
        EndDialog resumes the call that opened it with the result."""
        if result is None and not thread.done:
            if not self.modal or "context" in self.modal[-1]:
                raise Fault("the window thread stopped outside a modal dialog")
            self.modal[-1]["context"] = thread.context
        while self.modal and "context" in self.modal[-1]:
            run = self.modal[-1]
            if run["result"] is not None:
                self.modal.pop()
                for w in [w for w, f in self.windows.items() if run["dialog"] in (w, f["parent"])]:
                    del self.windows[w]
                self.dirty.discard(run["dialog"])
                self.pending = [p for p in self.pending if p[0] in self.windows]
                self.settle(thread, self.m.resume(thread, run["context"], run["result"]))
            elif self.pending:
                self.deliver(thread, *self.pending.pop(0))
            elif self.dirty:
                self.deliver(thread, self.dirty.pop(), 0x0F, 0, 0)  # WM_PAINT
            else:
                break

    def dialog_units(self, dialog, rect):
        """CE's rule: x by the font's average character width over 4, y by its
        height over 8, each rounded as MulDiv rounds."""
        def scale(v, unit, parts):
            return (abs(v) * unit * 2 + parts) // (2 * parts) * (1 if v >= 0 else -1)
        (cx, cy), (left, top, right, bottom) = self.font_cell, rect
        return (scale(left, cx, 4), scale(top, cy, 8), scale(right, cx, 4), scale(bottom, cy, 8))

    def dialog_place(self, dialog, box):
        """A template's x, y, cx and cy as a rectangle: the dialog manager
        converts position and size each on its own."""
        left, top, width, height = self.dialog_units(dialog, box)
        return left, top, left + width, top + height

    def control(self, dialog, ident):
        return next((w for w, f in self.windows.items()
                     if f["parent"] == dialog and f.get("id") == ident & 0xFFFF), 0)

    def origin(self, window):
        """Where a window's client area lies on the screen."""
        fields = self.windows.get(window, {"parent": 0})
        if "place" in fields:
            x, y = self.origin(fields["parent"])
            return x + fields["place"][0], y + fields["place"][1]
        return fields.get("at", (0, 0))

    def window_rect(self, window):
        x, y = self.origin(window)
        fields = self.windows[window]
        if "place" in fields:
            left, top, right, bottom = fields["place"]
            return x, y, x + right - left, y + bottom - top
        return (x, y, x + fields["size"][0], y + fields["size"][1])

    def set_window_pos(self, a):
        """Moves a child; SWP_NOSIZE (1) keeps its size, SWP_NOMOVE (2) its place."""
        left, top, right, bottom = self.windows[a[0]]["place"]
        x, y = (left, top) if a[6] & 2 else (a.signed(2), a.signed(3))
        cx, cy = (right - left, bottom - top) if a[6] & 1 else (a.signed(4), a.signed(5))
        self.windows[a[0]].update(place=(x, y, x + cx, y + cy))
        return 1

    def union_rect(self, a):
        """The smallest rectangle holding both; an empty one counts for nothing."""
        rects = [self.rect(a[i]) for i in (1, 2)]
        rects = [r for r in rects if r[0] < r[2] and r[1] < r[3]]
        union = (min(r[0] for r in rects), min(r[1] for r in rects),
                 max(r[2] for r in rects), max(r[3] for r in rects)) if rects else (0, 0, 0, 0)
        self.put_rect(a[0], union)
        return 1 if rects else 0

    def map_points(self, a):
        (fx, fy), (tx, ty) = self.origin(a[0]), self.origin(a[1])
        for i in range(a[3]):
            x, y = struct.unpack("<2i", self.m.uc.mem_read(a[2] + 8 * i, 8))
            self.write(a[2] + 8 * i, struct.pack("<2i", x + fx - tx, y + fy - ty))
        return (fx - tx & 0xFFFF) | (fy - ty & 0xFFFF) << 16

    def send(self, window, message, w, l):
        """The answer of a dialog's or a control's own window procedure."""
        if window == 0:
            return 0
        c = self.windows[window]
        if message == 0x31:  # WM_GETFONT: the dialog's, which its controls share
            return self.windows[c["parent"] or window].get("font", 0)
        kind = (c["class"], message)
        if kind == ("ComboBox", 0x143):  # CB_ADDSTRING
            c["items"].append(self.m.wstr(l))
            return len(c["items"]) - 1
        if kind == ("ComboBox", 0x14E):  # CB_SETCURSEL; CB_ERR without a selection
            c["selection"] = w if w < len(c["items"]) else -1
            return c["selection"] & 0xFFFFFFFF
        if kind == ("ComboBox", 0x147):  # CB_GETCURSEL
            return c["selection"] & 0xFFFFFFFF
        if kind == ("Button", 0xF1) and c["style"] & 0xF in (2, 3):  # BM_SETCHECK, check box
            c["check"] = w
            return 0
        if kind == ("Button", 0xF0):  # BM_GETCHECK
            return c["check"]
        if c["class"] == "Static" and message in (0x172, 0x173) and \
                w == {3: 1, 14: 0}.get(c["style"] & 0x1F):  # STM_SETIMAGE, STM_GETIMAGE
            old = c["image"]
            c["image"] = l if message == 0x172 else old
            return old or 0
        raise Fault(f"message {message:#x} to a {c['class']} (id {c.get('id')}): "
                    "outside the model of Windows CE")

    # GDI.
    def begin_paint(self, a):
        dc = self.new_dc("paint")
        width, height = self.windows[a[0]]["size"]
        self.write(a[1], struct.pack("<2I4i", dc, 0, 0, 0, width, height))
        return dc

    def new_dc(self, kind):
        handle = self.new_handle(kind)
        self.selections[handle] = {}
        return handle

    def dc_problem(self, dc):
        return need(dc in self.selections, "hdc", dc, "not a device context")

    def delete_dc(self, dc):
        self.selections.pop(dc)
        self.handles.pop(dc)
        return 1

    def current_object(self, dc, kind):
        defaults = {"brush": 0, "pen": 7, "font": 13, "palette": 15, "bitmap": DEFAULT_BITMAP}
        return self.selections[dc].get(kind, 0x7000 + defaults[kind])

    def select(self, dc, obj):
        previous = self.current_object(dc, self.kind(obj))
        self.selections[dc][self.kind(obj)] = obj
        return previous

    def selected(self, obj):
        return any(obj in s.values() for s in self.selections.values())

    def draw_text(self, a):
        count = a.signed(2)
        text = self.m.wstr(a[1]) if count == -1 else bytes(
            self.m.uc.mem_read(a[1], 2 * count)).decode("utf-16-le")
        self.texts.append(text)
        return 16

    def wsprintf(self, a):
        form, out, arg, i = self.m.wstr(a[1]), [], 2, 0
        while i < len(form):
            if form[i] == "%" and i + 1 < len(form):
                code = form[i + 1]
                i += 2
                if code == "%":
                    out.append("%")
                    continue
                value = a[arg]
                arg += 1
                out.append(self.m.wstr(value) if code == "s" else
                           str(a.signed(arg - 1)) if code == "d" else
                           str(value) if code == "u" else format(value, "x"))
            else:
                out.append(form[i])
                i += 1
        text = "".join(out)
        self.write(a[0], text.encode("utf-16-le") + b"\0\0")
        return len(text)
