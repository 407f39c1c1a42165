#!/usr/bin/env python3
"""build_page.py OUT SOURCE_ROOT NODE_MODULES NODE PROGRAM=MODULE=RECORDING...

Makes the web page in OUT, emptied first: index.html, with a list of
contents and one section per PROGRAM (its path in the source tree without
.cpp, in the order given), and the files it loads: the page's own scripts
and styles, xterm.js and its style from NODE_MODULES, programs/PROGRAM.js,
which holds the MODULE (the program compiled to WebAssembly) compressed, and
recordings/PROGRAM.js, which holds the RECORDING of its run (record.py) for
the player, each as a script, so that the page needs no request a file://
page may not make.
Each section shows, as text in the page itself, the screen its program
writes before it first waits, made by running the MODULE under Node's WASI
with NODE, so that every picture is there before any script runs, or when
none may; and the program's source, coloured by highlight.js from
NODE_MODULES, which the page itself never loads. The licences of the page
and of xterm.js go with it. Nothing depends on the time or place of the
build.
"""
import base64
import gzip
import html
import json
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
# The page's own scripts and styles, copied into it as they are.
PAGE = os.path.join(HERE, "..", "page")
SCRIPTS = ["loading.js", "wasi.js", "line_discipline.js", "page.js", "step_through.js"]
# Loaded when a player first opens.
PLAYER = ["recording.js", "player.js", "player.css"]

# Each terminal's columns and rows: its whole picture, and the line the
# cursor ends on. stairprompt's is for typing into, with room to scroll back.
SIZES = {
    "gasket": (23, 13), "gridshapes": (12, 13), "apex": (21, 12), "funnel": (21, 22),
    "waist": (21, 22), "wedge": (81, 22), "drain": (21, 12), "stairfixed": (7, 8),
    "stairprompt": (40, 16), "steeple": (7, 6), "hello": (13, 3), "hellostream": (13, 3),
}

DESCRIPTION = ("Twelve small C++ console programs that draw pictures in text, compiled to "
               "WebAssembly and running live in the page, each beside its source.")

# The four ways of drawing, by the folder their programs are in.
WAYS = {
    "canvas": ("canvas", "fill a static grid of characters completely, then print it row by row"),
    "raster": ("raster scan", "ask a predicate about every cell, row by row, and write each "
                              "answer at once"),
    "recursive": ("recursion", "recursive functions write the runs of stars and blanks and the "
                               "sequence of rows"),
    "greetings": ("fixed text", "write a greeting with line output or the output stream"),
}

OPENING = """\
<h1>Text pictures</h1>
<noscript><p><strong>JavaScript is turned off</strong>, so the programs do not
run: each terminal shows the screen its program printed when the page was
made.</p></noscript>
<p>Twelve small console programs, compiled to WebAssembly from the same C++
source files as the Linux programs and running live below, each in a terminal
of its own with its source. Ten draw pictures in text, a <code>*</code> for
every cell inside a figure and a blank for every cell outside it; two print a
greeting in English and Korean. They show four ways of drawing:</p>
"""

USAGE = """\
<p>Each terminal first shows the screen its program printed when the page was
made, and the program starts when you reach it, so <code>drain</code> is seen
from its first frame. <strong>Run</strong> starts one again, <strong>Stop</strong>
ends it. <code>stairprompt</code> asks for a number: click its terminal, type
one and press Enter (Backspace erases, Ctrl-D ends the input, Ctrl-C stops it).
<strong>Step through</strong> replays a recorded run line by line: pick a cell
to find the step that wrote it.</p>
"""


def description(source_root, name):
    """The one line that the program's manual page gives under NAME."""
    with open(os.path.join(source_root, "man", f"{name}.6"), encoding="utf-8") as f:
        text = f.read()
    line = re.search(r"^\.SH NAME\n(.*)$", text, re.MULTILINE).group(1)
    return line.split(r" \- ", 1)[1].replace("\\-", "-")


def contents(source_root, paths):
    """The list of contents: each way of drawing, with its programs, each
    linked to its section with its one-line description."""
    ways = []
    for folder, (way, how) in WAYS.items():
        programs = "".join(
            f'<li><a href="#{name}"><code>{name}</code></a>: '
            f"{html.escape(description(source_root, name))}</li>\n"
            for name in (os.path.basename(path) for path in paths if path.startswith(folder + "/")))
        ways.append(f"<li><strong>{way}</strong>: {how}\n<ul>\n{programs}</ul></li>\n")
    return ('<nav aria-labelledby="contents">\n<h2 id="contents">Contents</h2>\n'
            f'<ul class="ways">\n{"".join(ways)}</ul>\n</nav>\n')


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


def highlighted(node, node_modules, files):
    """Each C++ source file as HTML, coloured by highlight.js."""
    done = subprocess.run([node, os.path.join(HERE, "highlight.mjs"), node_modules, *files],
                          stdout=subprocess.PIPE, check=True)
    return json.loads(done.stdout)


def section(source_root, node, path, module, listing):
    name = os.path.basename(path)
    cols, rows = SIZES[name]
    about = description(source_root, name)
    # The line feed after <pre> is dropped by HTML, so that the screen's own
    # first line (steeple's is empty) stays.
    return f"""\
<section id="{name}" data-state="waiting" data-cols="{cols}" data-rows="{rows}">
<div class="terminal-side">
<h2><code>{name}</code></h2>
<p class="about">{html.escape(about[0].upper() + about[1:])}.</p>
<div class="screen"><div class="terminal-box" role="group" aria-label="{name}'s terminal">
<pre class="first-screen" style="--cols: {cols}; --rows: {rows}">
{html.escape(first_screen(node, module))}</pre></div></div>
<p class="controls"><button class="run" type="button">Run</button>
<button class="stop" type="button" disabled>Stop</button>
<button class="step-through" type="button">Step through</button>
<span class="exit" aria-live="polite"></span></p>
</div>
<div class="source-side">
<p class="source-name"><code>{path}.cpp</code></p>
<pre class="listing" tabindex="0"><code class="hljs language-cpp">{listing}</code></pre>
</div>
</section>
"""


def page(source_root, node, node_modules, pairs):
    paths = [path for path, _ in pairs]
    listings = highlighted(node, node_modules,
                           [os.path.join(source_root, f"{path}.cpp") for path in paths])
    sections = "".join(section(source_root, node, path, module, listing)
                       for (path, module), listing in zip(pairs, listings))
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
<link rel="stylesheet" href="highlight.css">
<noscript><style>.controls {{ display: none; }}</style></noscript>
{scripts}</head>
<body>
<header>
{OPENING}{contents(source_root, paths)}{USAGE}</header>
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


def recording_script(name, recording):
    """recordings/NAME.js: the recording, handed to the page when the script
    loads."""
    with open(recording, encoding="utf-8") as f:
        data = f.read().strip()
    return (f"// {name}'s run, recorded step by step when the page was made, for its player.\n"
            f'"use strict";\nrecordingLoaded("{name}", {data});\n')


def main():
    out, source_root, node_modules, node, *programs = sys.argv[1:]
    triples = [program.split("=", 2) for program in programs]
    pairs = [(path, module) for path, module, _ in triples]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    xterm = os.path.join(node_modules, "@xterm", "xterm")
    with open(os.path.join(xterm, "lib", "xterm.js"), encoding="utf-8") as f:
        # The page ships no source maps, so nothing may ask for one.
        script = re.sub(r"\n//# sourceMappingURL=\S+\s*$", "\n", f.read())
    with open(os.path.join(out, "xterm.js"), "w", encoding="utf-8") as f:
        f.write(script)
    shutil.copyfile(os.path.join(xterm, "css", "xterm.css"), os.path.join(out, "xterm.css"))
    shutil.copyfile(os.path.join(xterm, "LICENSE"), os.path.join(out, "xterm-LICENSE"))
    shutil.copyfile(os.path.join(source_root, "LICENSE"), os.path.join(out, "LICENSE"))
    for own in [*SCRIPTS, *PLAYER, "page.css", "highlight.css"]:
        shutil.copyfile(os.path.join(PAGE, own), os.path.join(out, own))
    os.makedirs(os.path.join(out, "programs"))
    for path, module in pairs:
        name = os.path.basename(path)
        with open(os.path.join(out, "programs", f"{name}.js"), "w", encoding="utf-8") as f:
            f.write(program_script(name, module))
    os.makedirs(os.path.join(out, "recordings"))
    for path, _, recording in triples:
        name = os.path.basename(path)
        with open(os.path.join(out, "recordings", f"{name}.js"), "w", encoding="utf-8") as f:
            f.write(recording_script(name, recording))
    with open(os.path.join(out, "index.html"), "w", encoding="utf-8") as f:
        f.write(page(source_root, node, node_modules, pairs))


if __name__ == "__main__":
    main()
