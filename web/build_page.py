#!/usr/bin/env python3
"""build_page.py OUT SOURCE_ROOT NODE_MODULES NODE PROGRAM=MODULE...

Makes the web page in OUT, emptied first: index.html with one section per
PROGRAM (its path in the source tree without .cpp, in the order given), and
the files it loads: the page's own scripts and style, xterm.js and its style
from NODE_MODULES, and programs/PROGRAM.js, which holds the MODULE (the
program compiled to WebAssembly) compressed, as a script, so that the page
needs no request a file:// page may not make. Each section shows, as text
in the page itself, the screen its program writes before it first waits,
made by running the MODULE under Node's WASI with NODE, so that every
picture is there before any script runs, or when none may. Nothing depends
on the time or place of the build.
"""
import base64
import gzip
import html
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = ["loading.js", "wasi.js", "line_discipline.js", "page.js"]

# Each terminal's columns and rows: its whole picture, and the line the
# cursor ends on. stairprompt's is for typing into, with room to scroll back.
SIZES = {
    "gasket": (23, 13), "gridshapes": (12, 13), "apex": (21, 12), "funnel": (21, 22),
    "waist": (21, 22), "wedge": (81, 22), "drain": (21, 12), "stairfixed": (7, 8),
    "stairprompt": (40, 16), "steeple": (7, 6), "hello": (13, 3), "hellostream": (13, 3),
}

DESCRIPTION = ("Twelve small C++ console programs that draw pictures in text, compiled to "
               "WebAssembly and running live in the page, each with its source.")

OPENING = """\
<h1>Text pictures</h1>
<noscript><p><strong>JavaScript is turned off</strong>, so the programs do not
run: each terminal shows the screen its program printed when the page was
made.</p></noscript>
<p>Twelve small console programs, compiled to WebAssembly from the same C++
source files as the Linux programs and running live below, each in a terminal
of its own. Ten draw pictures in text, a <code>*</code> for every cell inside a
figure and a blank for every cell outside it; two print a greeting in English
and Korean. They show four ways of drawing:</p>
<ul>
<li><strong>canvas</strong>: fill a static grid of characters completely, then
print it row by row (<code>gasket</code>, <code>gridshapes</code>);</li>
<li><strong>raster scan</strong>: ask a predicate about every cell, row by row,
and write each answer at once (<code>apex</code>, <code>funnel</code>,
<code>waist</code>, <code>wedge</code>, <code>drain</code>);</li>
<li><strong>recursion</strong>: recursive functions write the runs of stars and
blanks and the sequence of rows (<code>stairfixed</code>,
<code>stairprompt</code>, <code>steeple</code>);</li>
<li><strong>fixed text</strong>: write a greeting with line output or the
output stream (<code>hello</code>, <code>hellostream</code>).</li>
</ul>
<p>Each terminal first shows the screen its program printed when the page was
made, and the program itself starts when you reach it, so <code>drain</code>
is seen from its first frame. <strong>Run</strong> starts one again,
<strong>Stop</strong> ends it. <code>stairprompt</code> asks for a number:
click its terminal, type one and press Enter (Backspace erases, Ctrl-D ends
the input, Ctrl-C stops it). The source of each program is under its
terminal.</p>
"""


def description(source_root, name):
    """The one line that the program's manual page gives under NAME."""
    with open(os.path.join(source_root, "man", f"{name}.6"), encoding="utf-8") as f:
        text = f.read()
    line = re.search(r"^\.SH NAME\n(.*)$", text, re.MULTILINE).group(1)
    about = line.split(r" \- ", 1)[1].replace("\\-", "-")
    return about[0].upper() + about[1:] + "."


# A fresh terminal's cursor is already at the top-left corner, where drain's
# first frame begins by moving it.
HOME = b"\x1b[0;0f"


def first_screen(node, module):
    """What a fresh terminal shows of the bytes the program in MODULE writes
    before it first waits: those bytes as text, but for a move to where the
    cursor already is."""
    data = subprocess.run([node, "--no-warnings", os.path.join(HERE, "first_screen.mjs"), module],
                          stdout=subprocess.PIPE, check=True).stdout
    data = data.removeprefix(HOME)
    if b"\x1b" in data or b"\r" in data:
        sys.exit(f"build_page.py: {module} moves the cursor in its first screen")
    return data.decode("utf-8")


def section(source_root, node, path, module):
    name = os.path.basename(path)
    cols, rows = SIZES[name]
    with open(os.path.join(source_root, f"{path}.cpp"), encoding="utf-8") as f:
        source = f.read()
    # The line feed after <pre> is dropped by HTML, so that the screen's own
    # first line (steeple's is empty) stays.
    return f"""\
<section id="{name}" data-state="waiting" data-cols="{cols}" data-rows="{rows}">
<h2><code>{name}</code></h2>
<p class="about">{html.escape(description(source_root, name))}</p>
<div class="screen"><div class="terminal-box" role="group" aria-label="{name}'s terminal">
<pre class="first-screen" style="--cols: {cols}; --rows: {rows}">
{html.escape(first_screen(node, module))}</pre></div></div>
<p class="controls"><button class="run" type="button">Run</button>
<button class="stop" type="button" disabled>Stop</button>
<span class="exit" aria-live="polite"></span></p>
<p class="source-name"><code>{path}.cpp</code></p>
<pre class="listing"><code>{html.escape(source)}</code></pre>
</section>
"""


def page(source_root, node, pairs):
    sections = "".join(section(source_root, node, path, module) for path, module in pairs)
    scripts = "".join(f'<script defer src="{script}"></script>\n' for script in SCRIPTS)
    return f"""\
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Text pictures</title>
<meta name="description" content="{html.escape(DESCRIPTION)}">
<link rel="icon" href="data:,">
<link rel="stylesheet" href="xterm.css">
<link rel="stylesheet" href="page.css">
<noscript><style>.controls {{ display: none; }}</style></noscript>
{scripts}</head>
<body>
<header>
{OPENING}</header>
<main>
{sections}</main>
</body>
</html>
"""


def program_script(name, module):
    """programs/NAME.js: the module gzip-compressed (with no time in its
    header) and in base64, handed to the page when the script loads."""
    with open(module, "rb") as f:
        packed = gzip.compress(f.read(), compresslevel=9, mtime=0)
    return (f"// {name}, compiled to WebAssembly and gzip-compressed, in base64.\n"
            f'"use strict";\nprogramLoaded("{name}", "{base64.b64encode(packed).decode()}");\n')


def main():
    out, source_root, node_modules, node, *programs = sys.argv[1:]
    pairs = [program.split("=", 1) for program in programs]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    xterm = os.path.join(node_modules, "@xterm", "xterm")
    with open(os.path.join(xterm, "lib", "xterm.js"), encoding="utf-8") as f:
        # The page ships no source maps, so nothing may ask for one.
        script = re.sub(r"\n//# sourceMappingURL=\S+\s*$", "\n", f.read())
    with open(os.path.join(out, "xterm.js"), "w", encoding="utf-8") as f:
        f.write(script)
    shutil.copyfile(os.path.join(xterm, "css", "xterm.css"), os.path.join(out, "xterm.css"))
    for own in [*SCRIPTS, "page.css"]:
        shutil.copyfile(os.path.join(HERE, own), os.path.join(out, own))
    os.makedirs(os.path.join(out, "programs"))
    for path, module in pairs:
        name = os.path.basename(path)
        with open(os.path.join(out, "programs", f"{name}.js"), "w", encoding="utf-8") as f:
            f.write(program_script(name, module))
    with open(os.path.join(out, "index.html"), "w", encoding="utf-8") as f:
        f.write(page(source_root, node, pairs))


if __name__ == "__main__":
    main()
