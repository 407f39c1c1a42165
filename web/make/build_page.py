#!/usr/bin/env python3
"""build_page.py OUT SOURCE_ROOT NODE_MODULES NODE FLAGS LICENCES PROGRAM=MODULE=RECORDING...

Makes the web page in OUT, emptied first, in English (index.html) and in
Korean (ko/index.html), each with a list of contents and one section per
PROGRAM (its path in the source tree without .cpp, in the order given), and
the files both load: the page's own scripts and styles, xterm.js and its
style from NODE_MODULES, programs/PROGRAM.js, which holds the MODULE (the
program compiled to WebAssembly) compressed, and recordings/PROGRAM.js,
which holds the RECORDING of its run (record.py) for the player, each as a
script, so that the page needs no request a file:// page may not make.
Each section shows, as text in the page itself, the screen its program
writes before it first waits, made by running the MODULE under Node's WASI
with NODE, so that every picture is there before any script runs, or when
none may; and the program's source, coloured by highlight.js from
NODE_MODULES, which the page itself never loads. Every text comes from
texts.toml, in both languages, and each program's description from its
manual page in that language. The page's editor is CodeMirror, bundled
from NODE_MODULES into codemirror.js, and its compiler that of
compiler.py, which compiles an edit with the page's own build's FLAGS (a
list separated by semicolons) and whose licences are LICENCES (the same).
The licences of the page, of xterm.js, of CodeMirror and of the compiler go
with it. Nothing depends on the time or place of the build.
"""
import base64
import gzip
import hashlib
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tomllib

import compiler

HERE = os.path.dirname(os.path.abspath(__file__))
# The page's own scripts and styles, copied into its folder as they are,
# from the folders of the parts of the page they serve: running a program,
# playing a recording, editing, and recording an edit's run.
PAGE = os.path.join(HERE, "..", "page")
PARTS = ["running", "playing", "editing", "recording"]
SCRIPTS = ["loading.js", "wasi.js", "line_discipline.js", "page.js", "step_through.js", "editing.js"]
# Loaded when a player first opens.
PLAYER = ["recording.js", "calls.js", "player.js", "player.css"]
# The scripts of the compiler's worker.
WORKER_SCRIPTS = ["compile_worker.js", "instrument.js", "kept_compiler.js"]

# The languages the page is made in, each with the folder its page is in.
LANGUAGES = {"en": "", "ko": "ko/"}

# Each terminal's columns and rows: its whole picture, and the line the
# cursor ends on. stairprompt's is for typing into, with room to scroll back.
SIZES = {
    "gasket": (23, 13), "gridshapes": (12, 13), "apex": (21, 12), "funnel": (21, 22),
    "waist": (21, 22), "wedge": (81, 22), "drain": (21, 12), "stairfixed": (7, 8),
    "stairprompt": (40, 16), "steeple": (7, 6), "hello": (13, 3), "hellostream": (13, 3),
}

# The four ways of drawing, by the folder their programs are in.
WAYS = ["canvas", "raster", "recursive", "greetings"]


def load_texts():
    """The table of texts, each {"en": ..., "ko": ...}, by part and name;
    a text without both stops the build."""
    with open(os.path.join(HERE, "texts.toml"), "rb") as f:
        table = tomllib.load(f)
    for part, texts in table.items():
        for name, text in texts.items():
            missing = [lang for lang in LANGUAGES if not text.get(lang, "").strip()]
            if missing:
                sys.exit(f"build_page.py: the text {part}.{name} has no {', '.join(missing)}")
    return table


def fill(template, **values):
    """TEMPLATE with each {word} replaced by the value of that name."""
    return re.sub(r"\{(\w+)\}", lambda found: str(values[found.group(1)]), template)


def description(source_root, lang, name):
    """The one line that the program's manual page in LANG gives under its
    first section, the name."""
    folder = "man" if lang == "en" else os.path.join("man", lang)
    with open(os.path.join(source_root, folder, f"{name}.6"), encoding="utf-8") as f:
        text = f.read()
    line = re.search(r"^\.SH \S+\n(.*)$", text, re.MULTILINE).group(1)
    return line.split(r" \- ", 1)[1].replace("\\-", "-")


def contents(texts, source_root, lang, paths):
    """The list of contents: each way of drawing, with its programs, each
    linked to its section with its one-line description."""
    ways = []
    for folder in WAYS:
        programs = "".join(
            f'<li><a href="#{name}"><code>{name}</code></a>: '
            f"{html.escape(description(source_root, lang, name))}</li>\n"
            for name in (os.path.basename(path) for path in paths if path.startswith(folder + "/")))
        ways.append(f"<li>{texts['page'][f'way_{folder}'][lang]}\n<ul>\n{programs}</ul></li>\n")
    return (f'<nav aria-labelledby="contents">\n<h2 id="contents">{texts["page"]["contents"][lang]}</h2>\n'
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


def section(texts, source_root, lang, path, screen, listing):
    name = os.path.basename(path)
    cols, rows = SIZES[name]
    about = description(source_root, lang, name)
    words = {key: text[lang] for key, text in texts["page"].items()}
    # The line feed after <pre> is dropped by HTML, so that the screen's own
    # first line (steeple's is empty) stays.
    return f"""\
<section id="{name}" data-state="waiting" data-cols="{cols}" data-rows="{rows}">
<div class="terminal-side">
<h2><code>{name}</code></h2>
<p class="about">{html.escape(about[0].upper() + about[1:])}.</p>
<div class="screen"><div class="terminal-box" role="group" aria-label="{html.escape(fill(words['terminal_label'], name=name))}">
<pre class="first-screen" style="--cols: {cols}; --rows: {rows}">
{html.escape(screen)}</pre></div></div>
<p class="controls"><button class="run" type="button">{words['run']}</button>
<button class="stop" type="button" disabled>{words['stop']}</button>
<button class="step-through" type="button">{words['step_through']}</button>
<button class="edit" type="button" aria-pressed="false">{words['edit']}</button>
<button class="reset" type="button" disabled>{words['reset']}</button>
<span class="exit" aria-live="polite"></span></p>
</div>
<div class="source-side">
<p class="source-name"><code>{path}.cpp</code></p>
<pre class="listing" tabindex="0"><code class="hljs language-cpp">{listing}</code></pre>
</div>
</section>
"""


# A press of a section's button before the page's scripts have all run is
# held, and made again once they have, so that no click is lost while they
# load: in a page that has just opened, Run pressed at once runs.
EARLY_PRESSES = ("let heldPresses = [];"
                 "addEventListener(\"click\", (event) => {"
                 "const button = heldPresses && event.target.closest?.(\".controls button\");"
                 "if (button) { event.stopImmediatePropagation(); heldPresses.push(button); } }, true);"
                 "addEventListener(\"DOMContentLoaded\", () => {"
                 "const held = heldPresses; heldPresses = null; for (const button of held) button.click(); });")


def page(texts, source_root, lang, programs, compiler_name, worker_name):
    """The page in LANG: PROGRAMS are (path, first screen, listing);
    COMPILER_NAME is what the page keeps its compiler's files under, and
    WORKER_NAME the name of the worker that runs it."""
    words = {key: text[lang] for key, text in texts["page"].items()}
    up = "../" if LANGUAGES[lang] else ""  # from the page's folder to the files both pages load
    sections = "".join(section(texts, source_root, lang, *program) for program in programs)
    scripts = "".join(f'<script defer src="{up}{script}"></script>\n' for script in SCRIPTS)
    # Each page names the other; the other page is its own folder's, from here.
    alternates = "".join(f'<link rel="alternate" hreflang="{other}" href="{up}{folder}index.html">\n'
                         for other, folder in LANGUAGES.items())
    other = next(other for other in LANGUAGES if other != lang)
    link = (f'<p class="language"><a href="{up}{LANGUAGES[other]}index.html" hreflang="{other}" '
            f'lang="{other}">{words["other_language"]}</a></p>\n')
    # What the first scripts say, in the page's language; and the words the
    # style shows under a running terminal.
    first = json.dumps({key: text[lang] for key, text in texts["first"].items()}, ensure_ascii=False)
    states = f'--running: "{texts["first"]["running"][lang]}"; --reading: "{texts["first"]["reading"][lang]}";'
    paths = [path for path, _, _ in programs]
    return f"""\
<!DOCTYPE html>
<html lang="{lang}" data-compiler="{compiler_name}" data-compiler-worker="{worker_name}">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{words['title']}</title>
<meta name="description" content="{html.escape(words['description'])}">
<link rel="icon" href="data:,">
{alternates}<script>for (const link of document.querySelectorAll("link[hreflang]")) link.href = link.href;</script>
<script>{EARLY_PRESSES}</script>
<link rel="stylesheet" href="{up}xterm.css">
<link rel="stylesheet" href="{up}page.css">
<link rel="stylesheet" href="{up}highlight.css">
<style>:root {{ {states} }}</style>
<noscript><style>.controls {{ display: none; }}</style></noscript>
<script type="application/json" id="texts">{first}</script>
{scripts}</head>
<body>
<header>
{link}<h1>{words['title']}</h1>
<noscript><p>{words['no_script']}</p></noscript>
<p>{words['opening']}</p>
{contents(texts, source_root, lang, paths)}<p>{words['usage']}</p>
</header>
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


def texts_script(texts):
    """texts.js: the texts of the player and the editor in every language,
    handed to the page when the script loads with them."""
    later = {lang: {key: text[lang] for key, text in texts["later"].items()} for lang in LANGUAGES}
    return ("// The texts of the player and the editor, in every language the page is in.\n"
            f'"use strict";\ntextsLoaded({json.dumps(later, ensure_ascii=False, indent=1)});\n')


def main():
    out, source_root, node_modules, node, flags, licences, *programs = sys.argv[1:]
    texts = load_texts()
    triples = [program.split("=", 2) for program in programs]
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
    # The page's own files, but for the modules the build bundles.
    for part in PARTS:
        for own in sorted(os.listdir(os.path.join(PAGE, part))):
            if not own.endswith(".mjs"):
                shutil.copyfile(os.path.join(PAGE, part, own), os.path.join(out, own))
    subprocess.run([node, os.path.join(HERE, "bundle.mjs"), node_modules, os.path.join(PAGE, "editing", "codemirror.mjs"),
                    os.path.join(out, "codemirror.js"), os.path.join(out, "codemirror-LICENSE")], check=True)
    compiler_name = compiler.make(out, node_modules, source_root, flags.split(";"), licences.split(";"))
    # The compiler's worker, named after the compiler and the scripts it runs.
    worker = hashlib.sha256(compiler_name.encode())
    for script in WORKER_SCRIPTS:
        with open(os.path.join(out, script), "rb") as f:
            worker.update(f.read())
    worker_name = f"textpictures-compiler-worker-{worker.hexdigest()[:16]}"
    with open(os.path.join(out, "texts.js"), "w", encoding="utf-8") as f:
        f.write(texts_script(texts))
    os.makedirs(os.path.join(out, "programs"))
    os.makedirs(os.path.join(out, "recordings"))
    for path, module, recording in triples:
        name = os.path.basename(path)
        with open(os.path.join(out, "programs", f"{name}.js"), "w", encoding="utf-8") as f:
            f.write(program_script(name, module))
        with open(os.path.join(out, "recordings", f"{name}.js"), "w", encoding="utf-8") as f:
            f.write(recording_script(name, recording))
    paths = [path for path, _, _ in triples]
    listings = highlighted(node, node_modules,
                           [os.path.join(source_root, f"{path}.cpp") for path in paths])
    programs = [(path, first_screen(node, module), listing)
                for (path, module, _), listing in zip(triples, listings)]
    for lang, folder in LANGUAGES.items():
        os.makedirs(os.path.join(out, folder), exist_ok=True)
        with open(os.path.join(out, folder, "index.html"), "w", encoding="utf-8") as f:
            f.write(page(texts, source_root, lang, programs, compiler_name, worker_name))


if __name__ == "__main__":
    main()
