"""binaryen.js, the npm package binaryen, as two files: its WebAssembly
module, which it carries inside itself as a string, on its own, and the
script around it, which instantiates that module from wherever the page
gives it.

A browser keeps the code it compiled from a module fetched on its own
(WebAssembly.compileStreaming), but not from one built from a string, which
it compiles anew in every worker. The script calls its Emscripten factory
with the page's globalThis.binaryenOptions, whose instantiateWasm is to
instantiate binaryen.wasm; the string is left empty.
"""
import re
import sys

# The module's string, x6(`...`), in the script as npm has it (binaryen 132),
# and the factory's one call, at the script's end.
MODULE = re.compile(r"x6\(`((?:[^`\\]|\\.)*)`\)", re.S)
FACTORY_CALL = "var jr=await S6(),"
OPTIONS_CALL = "var jr=await S6(globalThis.binaryenOptions),"

SIMPLE = {"n": "\n", "r": "\r", "t": "\t", "b": "\b", "f": "\f", "v": "\v", "0": "\0"}


def cooked(literal):
    """The value of a JavaScript template literal's text, escapes undone."""
    out = []
    i = 0
    while i < len(literal):
        c = literal[i]
        if c != "\\":
            out.append("\n" if c == "\r" else c)
            i += 1 + (c == "\r" and literal[i + 1:i + 2] == "\n")
            continue
        e = literal[i + 1]
        if e == "x":
            out.append(chr(int(literal[i + 2:i + 4], 16)))
            i += 4
        elif e == "u" and literal[i + 2] == "{":
            end = literal.index("}", i)
            out.append(chr(int(literal[i + 3:end], 16)))
            i = end + 1
        elif e == "u":
            out.append(chr(int(literal[i + 2:i + 6], 16)))
            i += 6
        elif e in SIMPLE:
            out.append(SIMPLE[e])
            i += 2
        elif e in "\r\n\u2028\u2029":
            i += 2 + (e == "\r" and literal[i + 2:i + 3] == "\n")
        else:
            out.append(e)
            i += 2
    return "".join(out)


def split(script):
    """Answers (the script, patched, and the module's bytes) for binaryen.js's
    text SCRIPT; stops the build if it is not made as expected."""
    found = MODULE.findall(script)
    if len(found) != 1 or script.count(FACTORY_CALL) != 1:
        sys.exit("split_binaryen.py: binaryen.js no longer carries its module as it did")
    module = bytes(ord(c) & 0xFF for c in cooked(found[0]))
    if not module.startswith(b"\0asm"):
        sys.exit("split_binaryen.py: the string in binaryen.js is not a WebAssembly module")
    script = MODULE.sub(lambda _: "x6(``)", script).replace(FACTORY_CALL, OPTIONS_CALL)
    return script, module
