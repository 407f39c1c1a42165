"""The compiler of the page's editor, put into the page's folder compiler/,
with compile_worker.js in the page to run it:

  - Clang and LLD for WebAssembly and WASI, the npm package @yowasp/clang,
    as the lock file pins it: its modules as they are, its script with one
    write made to grow rather than copy (copy_compiler_script), and its
    sysroot (llvm-resources.tar) less the headers only other machines than
    WebAssembly use (x86, ARM, GPUs and others) and the sanitizers';
  - binaryen.js, the npm package binaryen, whose Asyncify pass makes what
    the compiler links able to pause, as wasm-opt makes the page's own
    programs: its script, and its module on its own (split_binaryen.py),
    so that a browser can keep the code it compiles from it;
  - LICENSE, the licences of both and of what the sysroot holds;
  - manifest.json: the flags an edit is compiled with, the repository's
    headers by path, the bytes clang's files and binaryen.js take, which
    the compiler fetches on its first run, the calls a program may pause
    in, and what a recording of an edited run takes as one step
    (one_step.py), as the build's recordings do; and the files the page
    keeps in the browser's Cache Storage, each with its size and SHA-256,
    under a name made from those of all of them, which make() answers.
"""
import glob
import hashlib
import json
import os
import re
import shutil
import sys
import tarfile

import one_step
import split_binaryen

# The calls a program may have to wait in, as the page's own are made to.
WAITING = ["wasi_snapshot_preview1.fd_write", "wasi_snapshot_preview1.fd_read",
           "wasi_snapshot_preview1.poll_oneoff"]

# What an edit is compiled with besides the page's own build's flags: for the
# page's system interface, WASI preview 1; with its headers found from the
# repository's top, as they are in the build; with diagnostics the editor can
# read; in at most 256 MiB of memory, so that a program that takes all it can
# fails as one that runs out, not by taking the tab's; and with its stack
# below its data, so that a stack that overflows traps rather than
# overwriting them.
EDIT_FLAGS = ["--target=wasm32-wasip1", "-I.", "-fno-color-diagnostics", "-fno-caret-diagnostics",
              "-Wl,--max-memory=268435456", "-Wl,--stack-first"]

# The sysroot's headers for other machines, by name at its include/ folder's
# top, and its folders of them.
OTHER_MACHINES = re.compile(
    r"^include/(?:[^/]*intrin[^/]*\.h|(?:avx|arm|hexagon|hvx_|riscv_|sifive_|opencl-|__clang_cuda|__clang_hip|"
    r"__clang_spirv|hlsl|altivec|vecintrin|msa|cpuid|mm3dnow|mm_malloc|cet|velintrin|htm|s390|nvptx|amdgpu|gpu)"
    r"[^/]*\.h|(?:sanitizer|profile|fuzzer|orc|xray|hlsl|ppc_wrappers|openmp_wrappers|cuda_wrappers|"
    r"llvm_libc_wrappers|llvm_offload_wrappers|zos_wrappers)(?:/.*)?)$")

# The program folders, whose headers an edit may include.
FOLDERS = ["canvas", "raster", "recursive", "greetings", "common"]


# What the page keeps of the compiler: the files its first run fetches.
KEPT = re.compile(r"\.(wasm|tar)$")

# The compiler's file system copies a whole file again at each write to it,
# which an object file of a large static array (gasket's canvas is 18 MiB of
# zeros) makes take seconds. Its write is given room to grow instead, in a
# buffer of its own that only its writes fill; the files it did not make,
# the sysroot's among them, are copied before they are written, as before.
# And it fetches its files itself, wrapping each response to count its bytes,
# which makes a response a browser cannot keep compiled code for: given a
# fetch of the page's (globalThis.fetchCompilerFile), which counts them
# itself, it uses that one as it comes.
SLOW_WRITE = """\
  write(contents) {
    const offset = Number(this.offset);
    const newData = new Uint8Array(Math.max(this.file.data.length, offset + contents.length));
    newData.set(this.file.data);
    newData.subarray(offset).set(contents);
    this.file.data = newData;
    this.offset += BigInt(contents.length);
  }
"""
GROWING_WRITE = """\
  write(contents) {
    const offset = Number(this.offset);
    const end = offset + contents.length;
    let data = this.file.data;
    if (!WriteStream.grown.has(data.buffer) || end > data.buffer.byteLength - data.byteOffset) {
      const room = new Uint8Array(Math.max(end, 2 * data.length, 65536));
      room.set(data);
      WriteStream.grown.add(room.buffer);
      data = room.subarray(0, data.length);
    }
    if (end > data.length) data = new Uint8Array(data.buffer, data.byteOffset, end);
    data.set(contents, offset);
    this.file.data = data;
    this.offset += BigInt(contents.length);
  }
  static grown = new WeakSet();
"""


OWN_FETCH = """\
    let fetchFn = fetch_default;
    if (fetchProgress !== void 0) {
"""
PAGE_FETCH = """\
    let fetchFn = globalThis.fetchCompilerFile ?? fetch_default;
    if (fetchProgress !== void 0 && !globalThis.fetchCompilerFile) {
"""


def copy_compiler_script(source, out):
    """Copies the compiler's script, its file system's write made to grow and
    its fetch the page's."""
    with open(source, encoding="utf-8") as f:
        script = f.read()
    if script.count(SLOW_WRITE) != 1 or script.count(OWN_FETCH) != 1:
        sys.exit("compiler.py: the compiler's script no longer writes or fetches files as it did")
    with open(out, "w", encoding="utf-8") as f:
        f.write(script.replace(SLOW_WRITE, GROWING_WRITE).replace(OWN_FETCH, PAGE_FETCH))


def trimmed_sysroot(tar, out):
    """Copies the tar archive TAR to OUT, block for block, but for the
    members for other machines."""
    with tarfile.open(tar) as archive, open(tar, "rb") as source, open(out, "wb") as target:
        for member in archive.getmembers():
            if OTHER_MACHINES.match(member.name):
                continue
            source.seek(member.offset)
            end = member.offset_data + (member.size + 511) // 512 * 512
            target.write(source.read(end - member.offset))
        target.write(bytes(1024))  # the end of the archive


def licence(node_modules, licences):
    """The licences of the compiler, its sysroot and binaryen.js: LICENCES are
    the Apache License 2.0's text and Debian's statements of those of LLVM
    (with its exceptions) and of wasi-libc, the projects the sysroot is
    built from."""
    clang = json.load(open(os.path.join(node_modules, "@yowasp", "clang", "package.json")))
    binaryen = json.load(open(os.path.join(node_modules, "binaryen", "package.json")))
    parts = [f"""\
The compiler in this folder is the npm package @yowasp/clang {clang['version']}: LLVM, Clang
and LLD built for WebAssembly, with a sysroot for WebAssembly and WASI of wasi-libc
and LLVM's libc++ and compiler-rt. LLVM, Clang, LLD, libc++ and compiler-rt are
under the Apache License 2.0 with LLVM Exceptions, and wasi-libc under the licences
Debian's statement of it gives, both below. binaryen.js, the npm package binaryen
{binaryen['version']}, is under the Apache License 2.0; its own notice is last.
"""]
    for path in [*licences, os.path.join(node_modules, "binaryen", "LICENSE")]:
        with open(path, encoding="utf-8") as f:
            parts.append(f"==== {os.path.basename(os.path.dirname(path)) or path}: {os.path.basename(path)}\n\n{f.read()}")
    return "\n\n".join(parts)


def make(out, node_modules, source_root, build_flags, licences):
    """Puts the compiler into OUT/compiler/: BUILD_FLAGS are those of the
    page's own build, LICENCES as licence() takes them."""
    folder = os.path.join(out, "compiler")
    os.makedirs(folder)
    generated = os.path.join(node_modules, "@yowasp", "clang", "gen")
    for name in sorted(os.listdir(generated)):
        if name.endswith(".tar"):
            trimmed_sysroot(os.path.join(generated, name), os.path.join(folder, name))
        elif name == "bundle.js":
            copy_compiler_script(os.path.join(generated, name), os.path.join(folder, name))
        else:
            shutil.copyfile(os.path.join(generated, name), os.path.join(folder, name))
    with open(os.path.join(node_modules, "binaryen", "index.js"), encoding="utf-8") as f:
        script, module = split_binaryen.split(f.read())
    with open(os.path.join(folder, "binaryen.js"), "w", encoding="utf-8") as f:
        f.write(script)
    with open(os.path.join(folder, "binaryen.wasm"), "wb") as f:
        f.write(module)
    with open(os.path.join(folder, "LICENSE"), "w", encoding="utf-8") as f:
        f.write(licence(node_modules, licences))
    headers = {}
    for program_folder in FOLDERS:
        for path in sorted(glob.glob(os.path.join(source_root, program_folder, "*.h"))):
            with open(path, encoding="utf-8") as f:
                headers[os.path.relpath(path, source_root)] = f.read()
    # What the compiler's first run fetches: clang's modules and sysroot,
    # and binaryen's script and module beside them; what the page keeps of
    # them, named by what they hold.
    binaryen_files = ("binaryen.js", "binaryen.wasm")
    binaryen = sum(os.path.getsize(os.path.join(folder, name)) for name in binaryen_files)
    clang = sum(os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder)
                if KEPT.search(name) and name not in binaryen_files)
    kept = {}
    for name in sorted(os.listdir(folder)):
        if KEPT.search(name):
            with open(os.path.join(folder, name), "rb") as f:
                kept[name] = {"size": os.path.getsize(f.name), "sha256": hashlib.sha256(f.read()).hexdigest()}
    name = "textpictures-compiler-" + hashlib.sha256(json.dumps(kept, sort_keys=True).encode()).hexdigest()[:16]
    manifest = {"binaryen": binaryen, "clang": clang, "flags": [*EDIT_FLAGS, *build_flags], "headers": headers,
                "waiting": WAITING, "oneStep": {"files": one_step.FILES, "functions": one_step.FUNCTIONS},
                "kept": {"name": name, "files": kept}}
    with open(os.path.join(folder, "manifest.json"), "w", encoding="utf-8") as f:
        json.dump(manifest, f, indent=1, sort_keys=True)
    return name
