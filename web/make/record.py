#!/usr/bin/env python3
"""record.py PROGRAM SOURCE_ROOT SOURCE OUT [TYPED]

Records one run of PROGRAM for the page's player and writes it to OUT as
JSON. PROGRAM is built for this machine (x86-64), statically, at -O0 with
debug information, from SOURCE, its path under SOURCE_ROOT; TYPED is the
line typed on its standard input, if any.

It runs PROGRAM under gdb one source line at a time through the project's
own files, and notes after every step:
  - the file and line just run;
  - the calls of the program's functions, outermost first, each with its
    arguments, and the locals whose declarations have run, with their values;
  - what a function of the program that returned during the step gave back;
  - the bytes the step produced: those it wrote, and those it left waiting to
    be written, in the C library's buffer or in stairprompt's gathered
    pieces; not the later flush that writes them;
  - the typed input the step read, which a terminal echoes;
  - in a program that draws on a canvas (a static arr), the step that stored
    the canvas cell a printed byte came from.
The C library, the C++ library and what every program shares (common/) are
not stepped into: a call into them is part of the line that makes it. Nor is
stairprompt's hand-over of its gathered pieces to the system, which empties
the pieces as it writes them. A call to sleep returns at once, so that
drain's pauses are steps, not waits.

The bytes the steps produced, put together, must be what PROGRAM writes when
it runs on its own, or the recording fails. Nothing in it depends on the
machine or its environment: no address is shown, nor a local before its
declaration has run, and the C library's debug symbols, installed or not,
change no step, since the program's C library is linked into it.

Run by Python, it starts gdb (or the one GDB names) on itself, and gdb makes
the recording.
"""
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import traceback

try:
    import gdb
except ImportError:
    # gdb's own account of each step goes nowhere; failures come on
    # standard error.
    sys.exit(subprocess.run([os.environ.get("GDB", "gdb"), "-batch", "-nx", "-q", "-iex", "set debuginfod enabled off",
                             "-x", os.path.abspath(__file__)], stdout=subprocess.DEVNULL,
                            env=dict(os.environ, RECORD_ARGS=json.dumps(sys.argv[1:]))).returncode)

# Calls taken as one step, as the C library's are (one_step.py).
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import one_step  # noqa: E402

ONE_STEP_FILES = one_step.FILES
ONE_STEP_FUNCTIONS = one_step.FUNCTIONS


class Failure(Exception):
    pass


class Recorder:
    def __init__(self, program, root, source, typed):
        self.program = program
        self.root = os.path.realpath(root)
        self.typed = typed
        self.files = [source]  # the program's own, then the headers it runs lines of
        self.text = {}  # the text of each line run in a header, by file index and line
        self.functions = []  # [name, argument names] of each function called
        self.steps = []
        self.frames = []  # each call, outermost first: the values shown, the locals declared
        self.paths = {}  # each source file's path under the root, by its name in gdb
        self.written = b""  # what the program has written so far
        self.produced = b""  # and what it had produced, as of the last step
        self.read_from = 0  # how far the typed input has been read
        self.returned = None  # what the call that returned during the step gave back
        self.continuing = False  # whether the next step goes on with the line it returned to
        self.call_lines = {}  # the line each call is in, by depth
        self.accesses = []  # (store or read, canvas cell, where) during the step
        self.stored_at = {}  # the step that last stored each canvas cell

    # Where the program is.

    def relative(self, frame):
        """The path under the source root of the file FRAME is in, or None."""
        symtab = frame.find_sal().symtab
        if symtab is None:
            return None
        if symtab.filename not in self.paths:
            path = os.path.realpath(symtab.fullname())
            inside = path.startswith(self.root + os.sep)
            self.paths[symtab.filename] = os.path.relpath(path, self.root) if inside else None
        return self.paths[symtab.filename]

    def stepped(self, frame):
        path = self.relative(frame)
        return (path is not None and not path.startswith(ONE_STEP_FILES)
                and frame.name() not in ONE_STEP_FUNCTIONS)

    def program_frames(self):
        """The calls of the program's stepped functions, main first."""
        found = []
        frame = gdb.newest_frame()
        while frame is not None:
            if self.stepped(frame):
                found.append(frame)
            if frame.name() == "main":
                break
            frame = frame.older()
        return found[::-1]

    def position(self):
        frame = gdb.newest_frame()
        return self.relative(frame), frame.find_sal().line

    def alive(self):
        return gdb.selected_inferior().pid != 0

    # Running.

    def start(self, typed_file, output):
        """Starts the program, its input and output in files, and stops it
        as main begins."""
        for setting in ["pagination off", "confirm off", "width 0", "startup-with-shell on"]:
            gdb.execute(f"set {setting}")
        gdb.execute(f"file {self.program}", to_string=True)
        gdb.Breakpoint("main", internal=True)
        try:
            gdb.execute("info address sleep", to_string=True)
            gdb.Breakpoint("sleep", internal=True)
        except gdb.error:
            pass  # a program that never sleeps
        canvas = gdb.lookup_static_symbol("arr") or gdb.lookup_global_symbol("arr")
        if canvas is not None:
            watch_canvas(self, canvas)
        self.output = output
        gdb.execute(f"run < {typed_file} > {output}", to_string=True)
        # Where standard output's buffered bytes begin (and, after them,
        # end), and stairprompt's count of pieces and the pieces themselves.
        self.buffer = int(gdb.parse_and_eval("&stdout->_IO_write_base"))
        self.pieces = None
        if gdb.lookup_global_symbol("pieces") or gdb.lookup_static_symbol("pieces"):
            self.pieces = (int(gdb.parse_and_eval("&pieceCount")), int(gdb.parse_and_eval("&pieces")))
        # main, called: the first step's to show.
        self.entered = self.note_calls(None)

    def step(self):
        """Runs the program on to the start of another line, the entry to one
        of its functions, or the return from one."""
        start = self.position()
        gdb.execute("step", to_string=True)
        while self.alive():
            frame = gdb.newest_frame()
            if frame.name() == "sleep":
                gdb.execute("return (unsigned int) 0", to_string=True)
            elif self.stepped(frame):
                return
            elif not self.program_frames():
                # main has returned: the rest is the C library's exit.
                gdb.execute("continue", to_string=True)
                return
            else:
                gdb.execute("finish", to_string=True)
            # Back in the line that made the call: the step ends there if
            # the call was the last of the line, as it would have had the
            # call been stepped over.
            frame = gdb.newest_frame()
            if self.stepped(frame):
                if gdb.find_pc_line(frame.pc()).pc == frame.pc() and self.position() != start:
                    return
                gdb.execute("step", to_string=True)

    # What the program produced and read.

    def output_so_far(self):
        """Every byte the program has written or left waiting to be written."""
        if os.stat(self.output).st_size > len(self.written):
            with open(self.output, "rb") as f:
                f.seek(len(self.written))
                self.written += f.read()
        return self.written + self.held()

    def held(self):
        """What waits to be written: in the C library's buffer for standard
        output, and in stairprompt's gathered pieces."""
        if not self.alive():
            return b""
        memory = gdb.selected_inferior().read_memory
        base, end = struct.unpack("<QQ", memory(self.buffer, 16))
        held = bytes(memory(base, end - base)) if end > base else b""
        if self.pieces is not None:
            count = struct.unpack("<i", memory(self.pieces[0], 4))[0]
            for i in range(count):
                start, length = struct.unpack("<QQ", memory(self.pieces[1] + 16 * i, 16))
                held += bytes(memory(start, length))
        return held

    def input_read(self):
        """How far the program has read its standard input."""
        if not self.alive() or not self.typed:
            return self.read_from
        with open(f"/proc/{gdb.selected_inferior().pid}/fdinfo/0") as f:
            return int(re.search(r"^pos:\s*(\d+)", f.read(), re.M).group(1))

    # The calls and their values.

    def show(self, value):
        """A value as the player shows it, never an address."""
        kind = value.type.strip_typedefs()
        if kind.code == gdb.TYPE_CODE_REF:
            return self.location(int(value.referenced_value().address))
        if kind.code == gdb.TYPE_CODE_BOOL:
            return "true" if bool(value) else "false"
        if kind.code in (gdb.TYPE_CODE_INT, gdb.TYPE_CODE_CHAR, gdb.TYPE_CODE_ENUM):
            if kind.name in ("char", "signed char", "unsigned char"):
                return json.dumps(chr(int(value) & 0xFF))[1:-1].join("''")
            return int(value)
        if kind.code == gdb.TYPE_CODE_FLT:
            return str(value)
        if kind.code == gdb.TYPE_CODE_PTR:
            if int(value) == 0:
                return "nullptr"
            place = self.location(int(value), pointer=True)
            if place:
                return place
            if kind.target().sizeof == 1:
                return json.dumps(value.string()[:40], ensure_ascii=False)
            return "a pointer"
        return "{…}"

    def location(self, address, pointer=False):
        """Where ADDRESS is, by the object it is in: arr[106], or
        &starPages[4094] for a pointer; None when it is in no named object."""
        found = re.match(r"(\w+)(?: \+ (\d+))? in section",
                         gdb.execute(f"info symbol {address}", to_string=True))
        if not found:
            return None
        name, offset = found.group(1), int(found.group(2) or 0)
        symbol = gdb.lookup_global_symbol(name) or gdb.lookup_static_symbol(name)
        kind = symbol.type.strip_typedefs() if symbol else None
        if kind is None or kind.code != gdb.TYPE_CODE_ARRAY:
            return None if offset else f"&{name}" if pointer else name
        size = kind.target().sizeof
        element = f"{name}[{offset // size}]" if offset % size == 0 else f"{name} + {offset}"
        return f"&{element}" if pointer else element

    def variables(self, frame):
        """The frame's arguments, and its locals in scope in the order of
        their declarations, as symbols."""
        arguments, locals_ = [], []
        block = frame.block()
        while block is not None:
            for symbol in block:
                if symbol.is_argument:
                    arguments.append(symbol)
                elif symbol.is_variable or symbol.is_constant:
                    locals_.append(symbol)
            if block.function is not None:
                break
            block = block.superblock
        return arguments, sorted(locals_, key=lambda symbol: symbol.line)

    def note_calls(self, run):
        """The changes to the calls since the last step, as the player's
        operations: [0, n] n calls returned; [1, function, arguments...] a
        call began; [2, depth, name, value] a variable is shown with a new
        value; [3, depth, name] it has gone out of scope. RUN is the file,
        line and depth of the line just run: a local is shown once a line at
        or after its declaration has run in its scope."""
        frames = self.program_frames()
        ops = []
        if len(frames) < len(self.frames):
            ops.append([0, len(self.frames) - len(frames)])
            del self.frames[len(frames):]
        for depth, frame in enumerate(frames):
            arguments, locals_ = self.variables(frame)
            values = {symbol.name: self.show(symbol.value(frame)) for symbol in arguments}
            if depth == len(self.frames):
                entry = [frame.name(), list(values)]
                if entry not in self.functions:
                    self.functions.append(entry)
                ops.append([1, self.functions.index(entry), *values.values()])
                self.frames.append({"values": values, "declared": set()})
                if depth > 0:
                    Returning(self, frame)
                continue
            call = self.frames[depth]
            in_scope = {(symbol.name, symbol.line) for symbol in locals_}
            call["declared"] &= in_scope
            if run and run[2] == depth:
                call["declared"] |= {key for key in in_scope if key[1] <= run[1]}
            values.update({symbol.name: self.show(symbol.value(frame)) for symbol in locals_
                           if (symbol.name, symbol.line) in call["declared"]})
            ops += [[3, depth, name] for name in call["values"] if name not in values]
            ops += [[2, depth, name, value] for name, value in values.items()
                    if call["values"].get(name) != value]
            call["values"] = values
        return ops

    def mid_line(self, depth):
        """Whether, after a call at DEPTH returned, its caller is still in
        the line that made the call, which the next step goes on with."""
        frame = gdb.newest_frame()
        line = gdb.find_pc_line(frame.pc())
        return line.pc != frame.pc() or self.position() == self.call_lines[depth - 1]

    # Recording.

    def record(self):
        with tempfile.TemporaryDirectory() as workspace:
            typed_file = os.path.join(workspace, "typed")
            with open(typed_file, "w", encoding="utf-8") as f:
                f.write(self.typed)
            # The same program run on its own, side by side, for its bytes.
            with open(typed_file, "rb") as typed:
                alone = subprocess.Popen([self.program], stdin=typed, stdout=subprocess.PIPE)
            self.start(typed_file, os.path.join(workspace, "output"))
            while self.alive():
                where = self.position()
                depth = len(self.program_frames()) - 1
                self.call_lines[depth] = where
                self.returned = None
                self.step()
                self.note_step(where, depth)
        recorded = "".join(step[1] for step in self.steps if len(step) > 1).encode()
        ours = alone.communicate()[0]
        if recorded != ours:
            raise Failure(f"the steps' bytes, put together, are {len(recorded)} bytes, not the "
                          f"program's {len(ours)}: {recorded[:60]!r} against {ours[:60]!r}")

    def note_step(self, where, depth):
        path, line = where
        if path not in self.files:
            self.files.append(path)
        file_index = self.files.index(path)
        if file_index:
            with open(os.path.join(self.root, path), encoding="utf-8") as f:
                self.text.setdefault(str(file_index), {})[str(line)] = f.read().split("\n")[line - 1]
        alive = self.alive()
        ops = self.note_calls((path, line, depth)) if alive else [[0, len(self.frames)]]
        if not self.steps:
            ops = self.entered + ops

        produced = self.output_so_far()
        if not produced.startswith(self.produced):
            raise Failure(f"step {len(self.steps) + 1}, {path}:{line}, took back bytes it had produced")
        out = produced[len(self.produced):]
        self.produced = produced

        notes = {}
        if self.returned is not None:
            notes["r"] = self.returned
        if self.continuing:
            notes["R"] = 1  # the line goes on after the call that returned
        self.continuing = alive and self.returned is not None and self.mid_line(depth)
        read = self.input_read()
        if read != self.read_from:
            notes["t"] = self.typed.encode()[self.read_from:read].decode()
            self.read_from = read
        stored = self.canvas_reads(gdb.newest_frame().pc() if alive else None)
        if out and stored is not None:
            notes["s"] = stored

        step = [line if not file_index else [file_index, line], out.decode("utf-8"), ops, notes]
        while len(step) > 1 and not step[-1]:
            step.pop()
        self.steps.append(step)

    def canvas_reads(self, pc):
        """Notes the canvas cells the step stored, and answers the step that
        stored the last cell it read, if any. An access noted at PC, where
        the step ended, is the next step's: its instruction has not run."""
        accesses = [access for access in self.accesses if access[2] != pc]
        self.accesses = [access for access in self.accesses if access[2] == pc]
        read = None
        for kind, cell, _ in accesses:
            if kind == "store":
                self.stored_at[cell] = len(self.steps) + 1
            else:
                read = self.stored_at.get(cell)
        return read

    def result(self):
        return {"program": os.path.basename(self.program), "typed": self.typed,
                "files": self.files, "text": self.text, "functions": self.functions,
                "steps": self.steps}


class Returning(gdb.FinishBreakpoint):
    """Stops where a call of the program's returns, noting what it gave."""

    def __init__(self, recorder, frame):
        super().__init__(frame, internal=True)
        self.recorder = recorder
        self.void = frame.function().type.target().code == gdb.TYPE_CODE_VOID

    def stop(self):
        if not self.void and self.return_value is not None:
            self.recorder.returned = self.recorder.show(self.return_value)
        return True


# A byte moved to or from memory, in gdb's AT&T syntax, and its memory
# operand: displacement(base, index, scale).
BYTE_MOVE = re.compile(r"^(movb|movzb[lwq]|movsb[lwq]|mov)\s+(.*?)(?:\s+#.*)?$")
MEMORY = re.compile(r"^(-?0x[0-9a-f]+|-?\d+)?\((%\w+)?(?:,(%\w+)(?:,(\d))?)?\)$")
BYTE_REGISTER = re.compile(r"^%(al|bl|cl|dl|sil|dil|ah|bh|ch|dh|r\d+b)$")


class CanvasAccess(gdb.Breakpoint):
    """On an instruction of the program's that moves a byte to or from
    memory: notes the canvas cell it stores or reads, if any, and goes on."""

    def __init__(self, recorder, address, canvas, store, operand):
        super().__init__(f"*{address}", internal=True)
        self.recorder, self.canvas, self.store, self.operand = recorder, canvas, store, operand

    def stop(self):
        displacement, base, index, scale = self.operand
        frame = gdb.newest_frame()
        address = int(displacement or "0", 0)
        if base:
            address += int(frame.read_register(base[1:]))
        if index:
            address += int(frame.read_register(index[1:])) * int(scale or 1)
        start, size = self.canvas
        if start <= address < start + size:
            self.recorder.accesses.append(("store" if self.store else "read", address - start, frame.pc()))
        return False


def watch_canvas(recorder, canvas):
    """Puts a CanvasAccess on every byte moved through memory by the
    functions of the program's own source file, but for its locals'."""
    bounds = (int(canvas.value().address), canvas.type.sizeof)
    architecture = gdb.selected_inferior().architecture()
    symtab = gdb.lookup_global_symbol("main").symtab
    for block in (symtab.global_block(), symtab.static_block()):
        for symbol in block:
            if not symbol.is_function or symbol.symtab.filename != symtab.filename:
                continue
            body = gdb.block_for_pc(int(symbol.value().address))
            for instruction in architecture.disassemble(body.start, body.end - 1):
                found = BYTE_MOVE.match(instruction["asm"])
                if not found:
                    continue
                operands = re.split(r",(?![^(]*\))", found.group(2))
                memory = [i for i, operand in enumerate(operands) if MEMORY.match(operand)]
                if len(memory) != 1 or re.search(r"%r[bs]p", operands[memory[0]]):
                    continue
                if found.group(1) == "mov" and not any(BYTE_REGISTER.match(o) for o in operands):
                    continue
                CanvasAccess(recorder, instruction["addr"], bounds, memory[0] == len(operands) - 1,
                             MEMORY.match(operands[memory[0]]).groups())


def main():
    program, root, source, out, *typed = json.loads(os.environ["RECORD_ARGS"])
    recorder = Recorder(os.path.abspath(program), root, source, f"{typed[0]}\n" if typed else "")
    try:
        recorder.record()
        with open(out, "w", encoding="utf-8") as f:
            json.dump(recorder.result(), f, ensure_ascii=False, separators=(",", ":"))
            f.write("\n")
    except Exception as failure:
        # gdb would go on after a failed script, and the program with it.
        print(f"record.py: {os.path.basename(program)}: {failure}", file=sys.stderr)
        if not isinstance(failure, Failure):
            traceback.print_exc()
        if recorder.alive():
            gdb.execute("kill", to_string=True)
        os._exit(1)
    os._exit(0)


main()
