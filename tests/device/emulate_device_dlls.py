#!/usr/bin/env python3
"""The shipped ARM libraries run on an emulated ARM core against the model of
Windows CE (ce_model.py), as the Today host and the cabinet installer would
drive them, and their plain logic against the native build's answers.

  emulate_device_dlls.py run --shipped ARM_SHIPPED
      Tovamet, at 96 dpi with the default settings and at 192 dpi with a
      stored size: DllMain attach, InitializeCustomItem, the height queries,
      a paint that starts the sampler, the sampler's measuring and sleeping
      periods on the scripted clock, a second paint, a second item window that
      the publishes repaint too and whose WM_DESTROY leaves the sampler
      running, the first window's WM_DESTROY stopping it, detach.
      The sampler's periods once more with part of the spin booked to kernel
      time, and with GetThreadTimes failing.
      TovametSetup: the four hooks around the model registry; Install_Exit,
      whose notify-send the device takes, starts no thread.
  emulate_device_dlls.py dialogs --shipped ARM_SHIPPED --wine-run WINE_RUN --figures PROGRAM
      The steps of DIALOG_STEPS on each screen of DIALOG_SCREENS: a tap, the
      options dialog and the colour picker built by the model's dialog
      manager from the library's templates, a turn of the screen; the control
      rectangles, height reports and stored settings must equal those that
      PROGRAM (the x86-64 build) gives for the same steps under Wine.
  emulate_device_dlls.py logic --shipped ARM_SHIPPED --oracle PROGRAM --seeds FOLDER...
      CpuLoadOfPeriod, MemoryLoadPercent, SampleHistory and ReadDialogTemplate
      at the addresses of the link map, over the same inputs as PROGRAM (a
      native build of the same sources), the walker over every dialog template
      in the seed folders, whole, cut short and misaligned.

Must run under Debian's /usr/bin/python3, which has python3-unicorn.
"""

import argparse
import os
import struct
import subprocess
import sys
import time

from ce_model import WS_CHILD, WS_VISIBLE, WindowsCe
from emulator import Fault, Machine
from pe_image import PeImage

WM_DESTROY, WM_PAINT, WM_SETTINGCHANGE = 0x02, 0x0F, 0x1A
WM_TODAYCUSTOM_QUERYREFRESHCACHE = 0x4F3
# CE's TODAYLISTITEM: szName[32], tlit, dwOrder, cyp, fEnabled, fOptions,
# grfFlags, szDLLPath[260], hinstDLL, hwndCustom, fSizeOnDraw, prgbCachedData,
# cbCachedData.
TODAYLISTITEM_SIZE, CYP, FENABLED, DLLPATH, HINSTDLL = 628, 72, 76, 88, 608
DEVICE_FOLDER = "\\Program Files\\Tovamet"
SETTINGS_KEY = "software\\microsoft\\today\\items\\tovamet"
failures = []
machines = []


def expect(ok, what, got=None):
    if not ok:
        failures.append(what + ("" if got is None else f": got {got!r}"))


def load(folder, name, model):
    image = PeImage(os.path.join(folder, name + ".dll"))
    # Away from the preferred base, so a missing relocation shows.
    base = 0x20000000 if image.preferred_base != 0x20000000 else 0x30000000
    machine = Machine(image, os.path.join(folder, name + ".map"), model, base)
    model.attach(machine)
    machines.append(machine)
    return image, machine


def wide(machine, text):
    return machine.alloc(2 * len(text) + 2, text.encode("utf-16-le") + b"\0\0")


def open_item(folder, ce, stored, strip):
    """DllMain attach, the host's entry call and its height queries; stored:
    the item's registry values, strip: the height they give at 96 dpi."""
    ce.registry = {SETTINGS_KEY: dict(stored)}
    image, m = load(folder, "Tovamet", ce)
    host = m.thread("window")
    entry = m.base + image.entry_rva
    expect(m.call(host, entry, m.base, 1, 0) == 1, "Tovamet: DllMain attach returns TRUE")
    width = ce.screen[0]

    item = m.alloc(TODAYLISTITEM_SIZE)
    m.uc.mem_write(item, "Tovamet".encode("utf-16-le"))
    m.put32(item + FENABLED, 1)
    m.uc.mem_write(item + DLLPATH, ce.path.encode("utf-16-le"))
    m.put32(item + HINSTDLL, m.base)
    parent = ce.new_handle("window")
    ce.windows[parent] = {"class": "DesktopExplorerWindow", "parent": 0, "size": ce.screen}
    window = m.call(host, m.base + image.export_rva(ordinal=240), item, parent)
    made = ce.windows.get(window, {})
    expect(made.get("class") == "TovametClass" and made.get("parent") == parent
           and made.get("style", 0) & (WS_CHILD | WS_VISIBLE) == WS_CHILD | WS_VISIBLE,
           "InitializeCustomItem creates a visible child window of the host", made)
    proc = made.get("proc")
    if proc is None:
        return None

    expect(m.call(host, proc, window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, item, 0) == 1,
           "the first height query reports a change")
    height = m.u32(item + CYP)
    expect(height == ce.scaled(strip), f"cyp at {ce.dpi} dpi with {stored}", height)
    expect(m.call(host, proc, window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, item, 0) == 0,
           "a second height query reports no change")
    ce.windows[window]["size"] = (width, height)
    return image, m, host, entry, window, proc, item


def run_item(folder, dpi, stored, strip, kernel_share, times_fail, caption):
    """One host session; kernel_share: the part of the spin's time CE books
    to the kernel; times_fail: every GetThreadTimes fails."""
    ce = WindowsCe(DEVICE_FOLDER + "\\Tovamet.dll", dpi, kernel_share=kernel_share,
                   times_fail=times_fail)
    opened = open_item(folder, ce, stored, strip)
    if opened is None:
        return
    image, m, host, entry, window, proc, item = opened
    expect(m.call(host, proc, window, WM_PAINT, 0, 0) == 0, "WM_PAINT returns 0")
    expect(len(ce.started) == 1, "the first paint starts one sampler", ce.started)
    if not ce.started:
        return
    _, start, parameter, name = ce.started[0]
    expect(parameter == m.base and ce.references == 2,
           "the sampler holds a reference of its own to the library", (parameter, ce.references))

    sampler = m.thread(name)
    ce.pause_after = (name, 2)
    m.call(sampler, start, parameter)
    published = [i for i in ce.invalidated if i[0] == name]
    expect(published == [(name, window, 0, 0)] * 2 and not sampler.done,
           "one measuring and one sleeping period publish to the item window", published)
    expect(ce.priorities.get(name) == 7, "the sampler measures at CE's idle priority",
           ce.priorities.get(name))

    m.call(host, proc, window, WM_PAINT, 0, 0)
    expect(ce.texts[-1:] == [caption], f"the caption with {kernel_share:.0%} of the spin booked "
           f"to the kernel{', GetThreadTimes failing' if times_fail else ''}", ce.texts[-1:])

    # A second item window beside the first: every publish repaints both, and
    # only the last window's WM_DESTROY stops the sampler.
    parent = ce.windows[window]["parent"]
    second = m.call(host, m.base + image.export_rva(ordinal=240), item, parent)
    expect(second in ce.windows and second != window, "a second entry call makes a second window",
           second)
    if second in ce.windows:
        seen = len(ce.invalidated)
        ce.pause_after = (name, len([i for i in ce.invalidated if i[0] == name]) + 2)
        m.resume(sampler)
        repainted = sorted({i[1] for i in ce.invalidated[seen:] if i[0] == name})
        expect(repainted == sorted({window, second}), "a publish repaints both item windows",
               repainted)
        expect(m.call(host, proc, second, WM_DESTROY, 0, 0) == 0 and not sampler.done
               and ce.priorities.get(name) == 7,
               "the first of two windows to go leaves the sampler measuring")
        del ce.windows[second]

    stopped = m.call(host, proc, window, WM_DESTROY, 0, 0)
    expect(stopped is None and ce.priorities.get(name) == 3,
           "WM_DESTROY raises the sampler to CE's normal priority and waits for it",
           (stopped, ce.priorities.get(name)))
    m.resume(sampler)
    expect(sampler.done and ce.references == 1, "the sampler exits and drops its reference",
           (sampler.done, ce.references))
    expect(m.resume(host) == 0 and host.done, "WM_DESTROY returns 0 once the sampler has gone")

    expect(m.call(host, entry, m.base, 0, 0) == 1, "Tovamet: DllMain detach returns TRUE")
    left = sorted(k for k, s in ce.handles.values() if s != "stock" and k in
                  ("bitmap", "brush", "pen", "font", "paint", "memory dc", "window dc", "key"))
    expect(not left and not ce.blocks and not ce.sections,
           "no GDI object, device context, key, heap block or critical section is left",
           (left, ce.blocks, ce.sections))


# dpi, stored settings, the strip's height at 96 dpi, the part of the spin's
# time booked to the kernel (each pass calls GetTickCount, a kernel call on
# CE; kernels differ in where they book it), GetThreadTimes failing, the
# caption after one measuring and one sleeping period.
ITEM_RUNS = [
    (96, {}, 50, 0.0, False, " CPU: 25% Mem: 75% used"),
    (192, {"WindowSize": 1}, 40, 0.0, False, " CPU: 25% Mem: 75% used"),
    (96, {}, 50, 0.5, False, " CPU: 25% Mem: 75% used"),
    # No sample from a failed query: only the sleeping periods publish, the
    # processor's 0 % that no measurement has replaced, and the memory.
    (96, {}, 50, 0.0, True, " CPU: 0% Mem: 75% used"),
]


def run_setup(folder):
    items, apps = "software\\microsoft\\today\\items", "software\\apps"
    ce = WindowsCe(DEVICE_FOLDER + "\\TovametSetup.dll")
    image, m = load(folder, "TovametSetup", ce)
    installer = m.thread("installer")
    entry = m.base + image.entry_rva
    expect(m.call(installer, entry, m.base, 1, 0) == 1, "TovametSetup: DllMain attach returns TRUE")
    path = wide(m, DEVICE_FOLDER)
    hooks = [("Install_Init", (0, 1, 1, path)), ("Install_Exit", (0, path, 0, 0, 0, 0, 0)),
             ("Uninstall_Init", (0, path)), ("Uninstall_Exit", (0,))]
    for hook, arguments in hooks:
        ce.registry.update({items: {}, items + "\\tovamet": {"WindowSize": 1},
                            items + "\\tovamet\\cache": {}, apps: {},
                            apps + "\\brisvale tovamet": {"Instl": 1}, items + "\\other": {}})
        ce.broadcasts.clear()
        result = m.call(installer, m.base + image.export_rva(name=hook), *arguments)
        expect(result == 0, f"{hook} returns 0", result)
        # Where the platform takes the notify-send, nothing outlives the hook.
        expect(not ce.started or hook != "Install_Exit",
               "Install_Exit starts no thread of its own on the device", ce.started)
        for _, start, parameter, name in ce.started:
            m.call(m.thread(name), start, parameter)
        ce.started.clear()
        removed = hook.endswith("_Init")
        expect(all((key in ce.registry) != removed for key in
                   (items + "\\tovamet", items + "\\tovamet\\cache", apps + "\\brisvale tovamet"))
               and items + "\\other" in ce.registry,
               f"{hook} {'deletes' if removed else 'keeps'} the item's keys and no other",
               sorted(ce.registry))
        expect([b[:4] for b in ce.broadcasts] == [(0xFFFF, WM_SETTINGCHANGE, 0xF2, 0)],
               f"{hook} broadcasts the Today refresh once", ce.broadcasts)
        # Install_Exit leaves the installer's thread without waiting.
        expect(all(b[4:] != ("installer", True) for b in ce.broadcasts) or hook != "Install_Exit",
               "Install_Exit does not wait for the receivers", ce.broadcasts)
    expect(ce.references == 1, "the hooks leave no reference to the library", ce.references)
    expect(m.call(installer, entry, m.base, 0, 0) == 1, "TovametSetup: DllMain detach returns TRUE")


WM_COMMAND, WM_LBUTTONUP = 0x111, 0x202
IDOK, IDCANCEL = 1, 2
# A user's steps in the dialogs, one a row: the action, then control ids, a
# list index or a point of the 96-dpi screen. The same rows drive the x86-64
# build under Wine (dialog_figures.exe), whose figures this run must equal.
DIALOG_STEPS = [
    ("tap item",),  # the options dialog from the template of the screen's shape
    # Where the dialog manager put the buttons and the check box (a combo box's
    # height is its closed field's, which the font sets: outside the model).
    ("rects", 1038, 1039, 1040, 1044),
    ("choose", 1017, 0), ("choose", 1015, 3), ("choose", 1019, 1),  # size, interval, % as
    ("click", 1044),  # the memory check box
    ("click", 1039), ("tap", 125, 84), ("click", 1041),  # grid: a swatch, then Transparent
    ("turn",), ("rects", 2, 1041),  # the picker's re-layout for the turned screen
    ("ok",),
    ("click", 1040), ("tap", 75, 134), ("ok",),  # CPU: a swatch of the turned grid
    ("click", 1038), ("tap", 25, 34), ("click", IDCANCEL),  # background: Cancel keeps it
    ("ok",), ("height",),
    ("tap item",), ("choose", 1017, 1), ("click", 1042), ("tap", 25, 84), ("ok",),
    ("cancel",), ("height",),  # the options' Cancel undoes the text colour and the size
]
# Screens as width x height at dpi, and whether the steps turn the screen
# (width and height swapped): Wine's virtual desktop has no portrait modes to
# turn a short screen to.
DIALOG_SCREENS = [((240, 320), 96, True), ((320, 240), 96, False), ((480, 640), 192, True),
                  ((640, 480), 192, False), ((240, 240), 96, False)]


def dialog_steps(turns):
    return [step for step in DIALOG_STEPS if turns or step[0] != "turn"]


def start_wine(wine_run, figures_program, screen, dpi, turns):
    """The x86-64 build's run of the same steps, under Wine."""
    steps = [":".join(map(str, step)) for step in dialog_steps(turns)]
    return subprocess.Popen([wine_run, "--screen", "x".join(map(str, screen)), "--dpi", str(dpi),
                             "--", figures_program] + steps, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)


def run_dialogs(folder, wine, screen, dpi, turns):
    """The steps at one screen, against the x86-64 build's figures."""
    size = f"{screen[0]}x{screen[1]}, {dpi} dpi"
    out, err = wine.communicate()
    theirs = out.splitlines()
    if wine.returncode != 0 or not theirs[:1] or not theirs[0].startswith("units "):
        expect(False, f"the x86-64 figures at {size}", (wine.returncode, err[-300:]))
        return
    ce = WindowsCe(DEVICE_FOLDER + "\\Tovamet.dll", dpi, screen=(screen[0] * 96 // dpi,
                   screen[1] * 96 // dpi), font_cell=tuple(int(v) for v in theirs[0].split()[1:]))
    opened = open_item(folder, ce, {}, 50)
    if opened is None:
        return
    _, m, host, _, window, proc, item = opened
    mine, before = [], set(ce.handles)
    for action, *n in dialog_steps(turns):
        dialog = ce.modal[-1]["dialog"] if ce.modal else None
        if action == "tap item":
            ce.settle(host, m.call(host, proc, window, WM_LBUTTONUP, 0, 5 | 5 << 16))
        elif action == "height":
            answer = m.call(host, proc, window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, item, 0)
            mine.append(f"height {answer}" + (f" {m.u32(item + CYP)}" if answer else ""))
        elif action == "rects":
            mine += [f"rect {i} " + " ".join(map(str, ce.windows[ce.control(dialog, i)]["place"]))
                     for i in n]
        elif action == "turn":
            ce.turn(host)
        elif action == "tap":
            ce.deliver(host, dialog, WM_LBUTTONUP, 0, ce.scaled(n[0]) | ce.scaled(n[1]) << 16)
        elif action in ("ok", "cancel"):
            # The OK of the navigation bar, or Escape, whose IDCANCEL the dialog manager sends.
            expect(action == "cancel" or ce.windows[dialog].get("done button"),
                   "SHInitDialog gave the dialog its OK button")
            ce.deliver(host, dialog, WM_COMMAND, IDOK if action == "ok" else IDCANCEL, 0)
        else:
            ce.tap_control(host, dialog, n[0], n[1] if action == "choose" else None)
    mine += [f"stored {name} {value}" for name, value in ce.registry[SETTINGS_KEY].items()]
    # The figures in the steps' order, the stored values in any.
    theirs, mine = (sorted(lines, key=lambda line: line if line.startswith("stored") else "")
                    for lines in (theirs[1:], mine))
    for a, b in zip(theirs, mine):
        expect(a == b, f"{size}: the x86-64 build's {a!r}, ARM", b)
    expect(len(theirs) == len(mine) and not ce.modal and host.done,
           f"{size}: every step ran, every dialog closed", (theirs, mine))
    left = sorted(k for h, (k, s) in ce.handles.items() if h not in before and s != "stock" and
                  k in ("bitmap", "brush", "pen", "font", "icon", "paint", "memory dc", "batch"))
    expect(not left, f"{size}: the dialogs leave no GDI object, icon or batch", left)


# Inputs only: the expected answers come from the native build.
CPU_INPUTS = [(0, 0), (0, 1000), (7_500_000, 1000), (10_000_000, 1000), (20_000_000, 1000),
              (9_999, 1), (2_500_000, 250), (1 << 40, 250), (2**64 - 1, 2**32 - 1), (123_456, 7)]
MEMORY_INPUTS = [(0, 0), (16 << 20, 64 << 20), (0, 1), (1, 1), (1, 3), (5, 3), (2**63, 1),
                 (2**64 - 1, 2**64 - 1), (48_000_001, 96_000_000), (1, 2**64 - 1)]
RING_INPUTS = [(1, [5, 6]), (3, [1, 2]), (3, [1, 2, 3, 4, 5]), (4, [-1, 127, 128, 255, 256, -129]),
               (241, list(range(500)))]


def run_logic(folder, oracle, seed_folders):
    ce = WindowsCe(DEVICE_FOLDER + "\\Tovamet.dll")
    image, m = load(folder, "Tovamet", ce)
    t = m.thread("logic")
    cpu = m.rebased(("_Z15CpuLoadOfPeriod", "CpuLoadOfPeriod("))
    memory = m.rebased(("_Z17MemoryLoadPercent", "MemoryLoadPercent("))
    construct = m.rebased(("_ZN13SampleHistoryC2", "SampleHistory::SampleHistory("))
    push = m.rebased(("_ZN13SampleHistory4Push", "SampleHistory::Push("))
    at = m.rebased(("_ZNK13SampleHistory2At", "SampleHistory::At("))
    walk = m.rebased(("_Z18ReadDialogTemplate", "ReadDialogTemplate("))
    seeds = sorted(os.path.join(d, f) for d in seed_folders if os.path.isdir(d)
                   for f in os.listdir(d) if not f.startswith("."))[:400]
    expect(seeds, "dialog templates to walk", seed_folders)
    walks = [(p, shift, size) for p in seeds for size in sorted({os.path.getsize(p), 30, 60})
             for shift in (0, 2) if size <= os.path.getsize(p)]
    requests = [f"cpu {g} {e}" for g, e in CPU_INPUTS] \
        + [f"mem {a} {b}" for a, b in MEMORY_INPUTS] \
        + [f"ring {c} {' '.join(map(str, v))}" for c, v in RING_INPUTS] \
        + [f"walk {p} {shift} {size}" for p, shift, size in walks]
    answers = subprocess.run([oracle], input="\n".join(requests) + "\n", capture_output=True,
                             text=True, check=True).stdout.splitlines()
    expect(len(answers) == len(requests), "an answer from the native build per request")

    def lo_hi(v):
        return v & 0xFFFFFFFF, v >> 32

    result = m.alloc(8)
    got = []
    for gain, elapsed in CPU_INPUTS:
        # pcc struct return: the hidden result pointer comes first, in r0.
        m.call(t, cpu, result, *lo_hi(gain), elapsed)
        valid, percent = struct.unpack("<Bb", m.uc.mem_read(result, 2))
        got.append(f"{valid} {percent}")
    for available, total in MEMORY_INPUTS:
        value = m.call(t, memory, *lo_hi(available), *lo_hi(total))
        got.append(str(value - (1 << 32) if value >> 31 else value))
    for capacity, values in RING_INPUTS:
        ring = m.alloc(64)
        m.call(t, construct, ring, capacity)
        for v in values:
            m.call(t, push, ring, v)
        count = min(capacity, len(values))
        samples = [m.call(t, at, ring, i) for i in range(count)]
        got.append(" ".join(str(s - (1 << 32) if s >> 31 else s) for s in [count] + samples))
    items = []

    def visit(a):
        style, x, y, cx, cy, ident = struct.unpack("<I4hH", m.uc.mem_read(a[0], 14))
        cls, title = struct.unpack("<II", m.uc.mem_read(a[0] + 16, 8))
        items.append(f"{style} {x} {y} {cx} {cy} {ident} {cls - start} {title - start}")

    visitor = m.callback(visit)
    header = m.alloc(8)
    buffer = m.alloc(max((size for _, _, size in walks), default=0) + 4)
    for path, shift, size in walks:
        with open(path, "rb") as f:
            data = f.read()[:size]
        start = buffer + shift
        m.uc.mem_write(start, data)
        items.clear()
        ok = m.call(t, walk, start, size, header, visitor, 0) & 0xFF
        style, count = struct.unpack("<IH", m.uc.mem_read(header, 6))
        got.append(" ".join([f"{ok} {style if ok else 0} {count if ok else 0}"] + items))
    for request, answer, mine in zip(requests, answers, got):
        expect(answer == mine, f"{request[:90]}: native {answer[:90]!r}, ARM", mine[:90])
    print(f"plain logic: {len(requests)} requests, {len(walks)} template walks "
          f"over {len(seeds)} files")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["run", "dialogs", "logic"])
    parser.add_argument("--wine-run", help="scripts/wine-run, for the x86-64 figures")
    parser.add_argument("--figures", help="the x86-64 build's dialog_figures.exe")
    parser.add_argument("--shipped", required=True, help="folder of the shipped ARM libraries")
    parser.add_argument("--oracle", help="the native build's answering program")
    parser.add_argument("--seeds", nargs="*", default=[], help="folders of dialog templates")
    args = parser.parse_args()
    if not os.path.isfile(os.path.join(args.shipped, "Tovamet.dll")):
        sys.exit(f"no shipped ARM libraries in {args.shipped}: scripts/build makes them")
    began = time.monotonic()
    try:
        if args.mode == "run":
            for run in ITEM_RUNS:
                run_item(args.shipped, *run)
            run_setup(args.shipped)
        elif args.mode == "dialogs":
            runs = [(start_wine(args.wine_run, args.figures, *screen), *screen)
                    for screen in DIALOG_SCREENS]
            for run in runs:
                run_dialogs(args.shipped, *run)
        else:
            run_logic(args.shipped, args.oracle, args.seeds)
    except (Fault, KeyError) as e:
        failures.append(f"the emulation stopped: {e}")
    for failure in failures:
        print("FAIL", failure)
    calls = sum(m.call_count for m in machines)
    print(f"{args.mode}: {len(failures)} failures in {time.monotonic() - began:.2f} s, "
          f"{calls} calls into the model of Windows CE")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
