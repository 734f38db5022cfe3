"""A small model of Windows CE for the emulated libraries: one table of rules,
a row per function the scenarios reach, each with the reference page its
argument rule comes from and the result or effect it has. A call that CE would
refuse fails the run, naming the function and the argument; a call to a
function the table lacks fails too, so nothing passes unmodelled.

The model keeps what the rows need: a registry, windows and classes, GDI
objects and their selections, events, critical sections, threads, the heap and
a scripted clock. Time moves only when the library asks for it: each tick
read costs the model 10 ms, of which the spinning thread gets CPU_SHARE as its
own user time; a wait or sleep moves the clock by its length."""

import struct

from emulator import Fault

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
     lambda a, ce: first(need(a[0] in ce.windows, "hWnd", a[0], "no such window"),
                         need(a[1] in (0, 1, 2, 3, 4, 5), "uCmd", a[1], "not a GW_ value CE has")),
     lambda a, ce: ce.related_window(a[0], a[1])),
    ("GetClassNameW", "GetClassName (Windows CE 5.0)",
     lambda a, ce: first(need(a[0] in ce.windows, "hWnd", a[0], "no such window"),
                         need(a[2] > 0, "nMaxCount", a[2], "no room for the name")),
     lambda a, ce: ce.class_name(a)),
    ("GetParent", "GetParent (Windows CE 5.0)",
     lambda a, ce: need(a[0] in ce.windows, "hWnd", a[0], "no such window"),
     lambda a, ce: ce.windows[a[0]]["parent"]),
    ("GetClientRect", "GetClientRect (Windows CE 5.0)",
     lambda a, ce: need(a[0] in ce.windows, "hWnd", a[0], "no such window"),
     lambda a, ce: ce.write(a[1], struct.pack("<4i", 0, 0, *ce.windows[a[0]]["size"])) or 1),
    ("InvalidateRect", "InvalidateRect (Windows CE 5.0)",
     lambda a, ce: need(a[0] in ce.windows, "hWnd", a[0], "no such window"),
     lambda a, ce: ce.invalidate(a)),
    ("DefWindowProcW", "DefWindowProc (Windows CE 5.0)", ok, lambda a, ce: 0),
    ("BeginPaint", "BeginPaint (Windows CE 5.0)",
     lambda a, ce: need(a[0] in ce.windows, "hWnd", a[0], "no such window"),
     lambda a, ce: ce.begin_paint(a)),
    ("EndPaint", "EndPaint (Windows CE 5.0)",
     lambda a, ce: need(ce.kind(ce.m.u32(a[1])) == "paint", "lpPaint", a[1], "not from BeginPaint"),
     lambda a, ce: ce.delete_dc(ce.m.u32(a[1]))),
    ("GetDC", "GetDC (Windows CE 5.0)", ok, lambda a, ce: ce.new_dc("window dc")),
    ("ReleaseDC", "ReleaseDC (Windows CE 5.0)",
     lambda a, ce: need(ce.kind(a[1]) == "window dc", "hDC", a[1], "not from GetDC"),
     lambda a, ce: ce.delete_dc(a[1])),
    ("GetDeviceCaps", "GetDeviceCaps (Windows CE 5.0)",
     lambda a, ce: need(a[1] in (88, 90), "nIndex", a[1], "outside the model: LOGPIXELSX/Y only"),
     lambda a, ce: ce.dpi),
    ("GetSystemMetrics", "GetSystemMetrics (Windows CE 5.0)",
     lambda a, ce: need(a[0] in (0, 1), "nIndex", a[0], "outside the model: SM_CX/CYSCREEN only"),
     lambda a, ce: ce.scaled((240, 320)[a[0]])),
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

    def __init__(self, path, dpi=96):
        self.path, self.dpi = path, dpi
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
        self.m, self.module = machine, machine.base

    def scaled(self, length):
        """A length of the 96-dpi screen on this one."""
        return length * self.dpi // 96

    def write(self, address, data):
        self.m.uc.mem_write(address, bytes(data))

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
        name = self.thread()
        self.user_time[name] = self.user_time.get(name, 0) + int(TICK_MS * 10000 * CPU_SHARE)
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
        user = self.user_time.get(self.thread_of(a[0]), 0)
        for i in range(1, 4):
            self.write(a[i], bytes(8))
        self.write(a[4], struct.pack("<Q", user))
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
        GW_HWNDNEXT, GW_HWNDPREV); the model has no owners or children."""
        parent = self.windows[window]["parent"]
        siblings = [w for w, f in self.windows.items() if f["parent"] == parent]
        at = siblings.index(window)
        chosen = {0: 0, 1: len(siblings) - 1, 2: at + 1, 3: at - 1}.get(command, -1)
        return siblings[chosen] if 0 <= chosen < len(siblings) else 0

    def class_name(self, a):
        name = self.windows[a[0]]["class"][:a[2] - 1]
        self.write(a[1], name.encode("utf-16-le") + b"\0\0")
        return len(name)

    def invalidate(self, a):
        self.invalidated.append((self.thread(), a[0], a[1], a[2]))
        self._maybe_pause()
        return 1

    def _maybe_pause(self):
        if self.pause_after and self.pause_after[0] == self.thread() and \
                len([i for i in self.invalidated if i[0] == self.thread()]) >= self.pause_after[1] \
                and self.thread() not in self.sections.values():
            self.pause_after = None
            self.m.end_turn()

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
