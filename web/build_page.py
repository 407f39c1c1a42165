#!/usr/bin/env python3
"""build_page.py OUT SOURCE_ROOT NODE_MODULES PROGRAM=MODULE...

Makes the web page in OUT, emptied first: index.html with one section per
PROGRAM (its path in the source tree without .cpp, in the order given), and
the files it loads: the page's own scripts and style, xterm.js and its style
from NODE_MODULES, and programs.js, which holds every MODULE (the program
compiled to WebAssembly) compressed, so that the page needs no request a
file:// page may not make. Nothing depends on the time or place of the build.
"""
import base64
import gzip
import html
import os
import re
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = ["wasi.js", "line_discipline.js", "page.js"]

OPENING = """\
<h1>Text pictures</h1>
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
<p>Each program starts when the page opens. <strong>Run</strong> starts one
again, <strong>Stop</strong> ends it. <code>stairprompt</code> asks for a
number: click its terminal, type one and press Enter (Backspace erases, Ctrl-D
ends the input, Ctrl-C stops it). The source of each program is under its
terminal.</p>
"""


def description(source_root, name):
    """The one line that the program's manual page gives under NAME."""
    with open(os.path.join(source_root, "man", f"{name}.6"), encoding="utf-8") as f:
        text = f.read()
    line = re.search(r"^\.SH NAME\n(.*)$", text, re.MULTILINE).group(1)
    about = line.split(r" \- ", 1)[1].replace("\\-", "-")
    return about[0].upper() + about[1:] + "."


def section(source_root, path):
    name = os.path.basename(path)
    with open(os.path.join(source_root, f"{path}.cpp"), encoding="utf-8") as f:
        source = f.read()
    return f"""\
<section id="{name}" data-state="running">
<h2><code>{name}</code></h2>
<p class="about">{html.escape(description(source_root, name))}</p>
<div class="screen"><div class="terminal" aria-label="{name}'s terminal"></div></div>
<p class="controls"><button class="run" type="button">Run</button>
<button class="stop" type="button">Stop</button>
<span class="exit" aria-live="polite"></span></p>
<p class="source-name"><code>{path}.cpp</code></p>
<pre><code>{html.escape(source)}</code></pre>
</section>
"""


def page(source_root, paths):
    sections = "".join(section(source_root, path) for path in paths)
    scripts = "".join(f'<script src="{script}"></script>\n'
                      for script in ["xterm.js", "programs.js", *SCRIPTS])
    return f"""\
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Text pictures</title>
<link rel="icon" href="data:,">
<link rel="stylesheet" href="xterm.css">
<link rel="stylesheet" href="page.css">
</head>
<body>
<header>
{OPENING}</header>
<main>
{sections}</main>
<noscript><p>The programs run in JavaScript, which is turned off.</p></noscript>
{scripts}</body>
</html>
"""


def programs_script(modules):
    """programs.js: every module gzip-compressed (with no time in its header)
    and in base64, by program name."""
    lines = ["// The programs, compiled to WebAssembly and gzip-compressed, in base64.",
             '"use strict";', "const PROGRAMS = {"]
    for name, module in modules:
        with open(module, "rb") as f:
            packed = gzip.compress(f.read(), compresslevel=9, mtime=0)
        lines.append(f'    {name}: "{base64.b64encode(packed).decode()}",')
    lines.append("};")
    return "\n".join(lines) + "\n"


def main():
    out, source_root, node_modules, *programs = sys.argv[1:]
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
    with open(os.path.join(out, "programs.js"), "w", encoding="utf-8") as f:
        f.write(programs_script((os.path.basename(path), module) for path, module in pairs))
    with open(os.path.join(out, "index.html"), "w", encoding="utf-8") as f:
        f.write(page(source_root, [path for path, _ in pairs]))


if __name__ == "__main__":
    main()
