"""An ARM Windows CE library under Unicorn, loaded as the device loads it: the
image mapped away from its preferred base, its base relocations applied and
every import bound to a stub that the model of Windows CE answers. Threads are
Unicorn contexts run one at a time; a stub may end the running one's turn.
A fault names the address, the nearest symbol of the link map and the last
calls."""

import collections
import struct

from unicorn import UC_ARCH_ARM, UC_HOOK_BLOCK, UC_HOOK_CODE, UC_MODE_ARM, Uc, UcError
from unicorn.arm_const import (UC_ARM_REG_LR, UC_ARM_REG_PC, UC_ARM_REG_R0, UC_ARM_REG_R1,
                               UC_ARM_REG_R2, UC_ARM_REG_R3, UC_ARM_REG_SP)

from pe_image import find_symbol, map_symbols

ARGUMENT_REGISTERS = (UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3)
STUBS, STUB_SPACE = 0x0F000000, 0x10000  # one 4-byte slot per import, then callbacks
RETURN = 0x0F100000  # where every call made from here returns to
HEAP, HEAP_SIZE = 0x40000000, 0x400000
STACKS, STACK_SIZE = 0x50000000, 0x20000
BX_LR = struct.pack("<I", 0xE12FFF1E)
IMAGE_REL_BASED_HIGHLOW = 3
THREADS = 8
RUN_LIMIT_US = 60_000_000


class Fault(Exception):
    pass


class Arguments:
    """The APCS view of a call: r0-r3, then the caller's stack words."""

    def __init__(self, machine):
        self.m = machine
        self.regs = [machine.uc.reg_read(r) for r in ARGUMENT_REGISTERS]
        self.sp = machine.uc.reg_read(UC_ARM_REG_SP)

    def __getitem__(self, i):
        return self.regs[i] if i < 4 else self.m.u32(self.sp + 4 * (i - 4))

    def signed(self, i):
        v = self[i]
        return v - (1 << 32) if v >> 31 else v

    def wstr(self, i):
        return self.m.wstr(self[i]) if self[i] else None


class Thread:
    """One emulated thread: its own stack, and its registers between turns."""

    def __init__(self, name, index):
        self.name = name
        self.top = STACKS + (index + 1) * STACK_SIZE - 16
        self.context = None
        self.done = False
        self.result = None


class Machine:
    def __init__(self, image, map_path, model, base):
        self.image, self.base, self.model = image, base, model
        self.symbols = map_symbols(map_path)
        self.uc = uc = Uc(UC_ARCH_ARM, UC_MODE_ARM)
        self.calls = collections.deque(maxlen=12)
        self.call_count = 0
        self.threads = []
        self.current = None
        self.error = None
        self.turn_over = False
        self.heap_next = HEAP
        if base == image.preferred_base:
            raise Fault("the library must be loaded away from its preferred base")
        size = (image.image_size + 0xFFF) & ~0xFFF
        uc.mem_map(base, size)
        uc.mem_write(base, image.data[:image.sections[0][3]])
        for name, *_ in image.sections:
            rva, data = image.section_data(name)
            uc.mem_write(base + rva, data)
        delta = (base - image.preferred_base) & 0xFFFFFFFF
        for rva, kind in image.relocations():
            if kind != IMAGE_REL_BASED_HIGHLOW:
                raise Fault(f"base relocation of type {kind} at {rva:#x}: "
                            "CE's loader applies HIGHLOW")
            self.put32(base + rva, (self.u32(base + rva) + delta) & 0xFFFFFFFF)
        uc.mem_map(STUBS, STUB_SPACE)
        uc.mem_write(STUBS, BX_LR * (STUB_SPACE // 4))
        uc.mem_map(RETURN, 0x1000)
        uc.mem_map(HEAP, HEAP_SIZE)
        uc.mem_map(STACKS, THREADS * STACK_SIZE)
        self.stubs = {}
        for library, function, slot in image.import_slots():
            address = STUBS + 4 * len(self.stubs)
            self.stubs[address] = function
            self.put32(base + slot, address)
        self.callbacks = {}
        uc.hook_add(UC_HOOK_CODE, self._on_stub, begin=STUBS, end=STUBS + STUB_SPACE - 1)
        # Unicorn reports a memory fault at the start of the translated block,
        # so the fault report names the last block entered as well.
        self.block = 0
        uc.hook_add(UC_HOOK_BLOCK, self._on_block, begin=base, end=base + size - 1)

    def _on_block(self, uc, address, size, user):
        self.block = address

    # Memory.
    def u32(self, address):
        return struct.unpack("<I", self.uc.mem_read(address, 4))[0]

    def put32(self, address, value):
        self.uc.mem_write(address, struct.pack("<I", value & 0xFFFFFFFF))

    def wstr(self, address, limit=1024):
        raw = bytes(self.uc.mem_read(address, 2 * limit))
        end = next(i for i in range(0, len(raw), 2) if raw[i:i + 2] == b"\0\0")
        return raw[:end].decode("utf-16-le")

    def alloc(self, size, data=None):
        address = self.heap_next
        self.heap_next = (address + max(size, 1) + 15) & ~15
        if self.heap_next > HEAP + HEAP_SIZE:
            raise Fault("the emulated heap is full")
        if data is not None:
            self.uc.mem_write(address, bytes(data))
        return address

    def rebased(self, name_prefixes):
        """The loaded address of the one symbol of the link map named so."""
        return find_symbol(self.symbols, *name_prefixes) - self.image.preferred_base + self.base

    def callback(self, function):
        """An address the library may call, answered by function(Arguments)."""
        address = STUBS + STUB_SPACE - 4 * (len(self.callbacks) + 1)
        self.callbacks[address] = function
        return address

    # Threads.
    def thread(self, name):
        if len(self.threads) == THREADS:
            raise Fault(f"no stack left for a thread {name!r}")
        self.threads.append(Thread(name, len(self.threads)))
        return self.threads[-1]

    def call(self, thread, address, *args, below=None):
        """Runs address(*args) on thread until it returns or its turn ends;
        below: a stack pointer of the thread's suspended call, under which
        this call nests (a dialog procedure inside its modal loop)."""
        uc = self.uc
        if thread.context is not None:
            uc.context_restore(thread.context)
        words = [a & 0xFFFFFFFF for a in args]
        top = thread.top if below is None else below - 64
        sp = (top - 4 * max(0, len(words) - 4)) & ~7
        for i, w in enumerate(words[4:]):
            self.put32(sp + 4 * i, w)
        for r, w in zip(ARGUMENT_REGISTERS, words):
            uc.reg_write(r, w)
        uc.reg_write(UC_ARM_REG_SP, sp)
        uc.reg_write(UC_ARM_REG_LR, RETURN)
        thread.done = False
        return self._run(thread, address)

    def resume(self, thread, context=None, result=None):
        """Continues thread, or a context saved from it, where its turn
        ended; result: what the call that ended the turn returns."""
        self.uc.context_restore(context or thread.context)
        if result is not None:
            self.uc.reg_write(UC_ARM_REG_R0, result & 0xFFFFFFFF)
        return self._run(thread, self.uc.reg_read(UC_ARM_REG_PC))

    def end_turn(self):
        """Stops the running thread after this call; resume() continues it."""
        self.turn_over = True

    def exit_thread(self, code):
        self.current.done, self.current.result = True, code
        self.turn_over = True

    def _run(self, thread, pc):
        self.current, self.turn_over, self.error, self.block = thread, False, None, 0
        try:
            self.uc.emu_start(pc, RETURN, timeout=RUN_LIMIT_US)
        except UcError as e:
            self.fault(f"{e}")
        if self.error is not None:
            self.fault(self.error)
        pc = self.uc.reg_read(UC_ARM_REG_PC)
        if pc == RETURN:
            thread.done, thread.result = True, self.uc.reg_read(UC_ARM_REG_R0)
        elif not self.turn_over:
            self.fault(f"still running after {RUN_LIMIT_US // 1000000} s")
        else:
            self.uc.reg_write(UC_ARM_REG_PC, self.uc.reg_read(UC_ARM_REG_LR))
        thread.context = self.uc.context_save()
        return thread.result if thread.done else None

    def _on_stub(self, uc, address, size, user):
        try:
            args = Arguments(self)
            if address in self.callbacks:
                result = self.callbacks[address](args)
            else:
                name = self.stubs.get(address)
                if name is None:
                    raise Fault(f"a jump to {address:#x}, which is no import")
                self.call_count += 1
                shown = ", ".join(hex(a) for a in args.regs)
                self.calls.append(f"{self.current.name}: {name}({shown})")
                result = self.model.call(name, args)
            uc.reg_write(UC_ARM_REG_R0, (result or 0) & 0xFFFFFFFF)
        except Fault as e:
            self.error = str(e)
        except Exception as e:  # a model error must not vanish inside Unicorn
            self.error = f"{type(e).__name__}: {e}"
        # A stop request is lost when the same hook also moves the pc, so a
        # stopping stub leaves the return to _run.
        if self.error is not None or self.turn_over:
            uc.emu_stop()
        else:
            uc.reg_write(UC_ARM_REG_PC, uc.reg_read(UC_ARM_REG_LR))

    def where(self, pc):
        if pc == RETURN:
            return "the return to the emulator"
        if pc in self.stubs:
            return f"the stub of {self.stubs[pc]}"
        at = pc - self.base + self.image.preferred_base
        best = max(((a, n) for n, a in self.symbols.items() if a <= at and not n.startswith(".")),
                   default=None)
        return f"{best[1]}+{at - best[0]:#x}" if best else "no symbol"

    def fault(self, what):
        pc = self.uc.reg_read(UC_ARM_REG_PC)
        lr = self.uc.reg_read(UC_ARM_REG_LR)
        raise Fault(f"thread {self.current.name!r}: {what} at {pc:#010x} ({self.where(pc)}), "
                    f"in the block at {self.block:#010x} ({self.where(self.block)}), "
                    f"lr {lr:#010x} ({self.where(lr)}); last calls:\n  " + "\n  ".join(self.calls))
