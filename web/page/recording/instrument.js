// The pass that makes a program record its own run: it reads the LLVM IR
// that clang gives for the program at -O0 with debug information
// (-S -emit-llvm -g), and adds calls to the hooks of the recorder
// (recorder.js), imported from the module "record":
//   enter(function)       as each of the program's functions begins;
//   declare(variable, at) where an argument or a local is declared, with
//                         its address, so that its value can be read;
//   line(site)            before each instruction that starts a new line;
//   back(site)            where a call of the program's returns into the
//                         middle of a line, which then goes on;
//   leave_TYPE(value)     before each return, with the value returned;
//   load(at), store(at)   around each byte moved to or from memory through
//                         a pointer, in a program that has a canvas (arr);
//   global(index, at)     as main begins, for each named global, so that a
//                         pointer into one can be named;
//   gathered(at, count)   as main begins, in a program that gathers pieces
//                         of output to write later (stairprompt's pieces).
// main also makes standard output unbuffered, so that the bytes a line
// writes reach the recorder in that line's step.
//
// The functions stepped through are those of the program's own source and
// of the project's headers, but for those the build-time recorder takes as
// one step too (notStepped): the C and C++ libraries are never stepped into.
// Each hook's static facts (a site's file, line and scope, a variable's
// name, kind and declaration) go into the table the recorder reads.

const HOOKS = `
declare void @record.enter(i32) "wasm-import-module"="record" "wasm-import-name"="enter"
declare void @record.declare(i32, ptr) "wasm-import-module"="record" "wasm-import-name"="declare"
declare void @record.line(i32) "wasm-import-module"="record" "wasm-import-name"="line"
declare void @record.back(i32) "wasm-import-module"="record" "wasm-import-name"="back"
declare void @record.leave() "wasm-import-module"="record" "wasm-import-name"="leave"
declare void @record.leave_i32(i32) "wasm-import-module"="record" "wasm-import-name"="leave_i32"
declare void @record.leave_i64(i64) "wasm-import-module"="record" "wasm-import-name"="leave_i64"
declare void @record.leave_f64(double) "wasm-import-module"="record" "wasm-import-name"="leave_f64"
declare void @record.leave_ptr(ptr) "wasm-import-module"="record" "wasm-import-name"="leave_ptr"
declare void @record.load(ptr) "wasm-import-module"="record" "wasm-import-name"="load"
declare void @record.store(ptr) "wasm-import-module"="record" "wasm-import-name"="store"
declare void @record.global(i32, ptr) "wasm-import-module"="record" "wasm-import-name"="global"
declare void @record.gathered(ptr, ptr) "wasm-import-module"="record" "wasm-import-name"="gathered"
`;

// _IONBF, as the C library has it.
const UNBUFFERED = 2;

// A metadata node's fields, "key: value" separated by commas at the top
// level, strings kept whole.
function fields(text) {
    const found = {};
    let depth = 0;
    let quoted = false;
    let start = 0;
    const take = (end) => {
        const part = text.slice(start, end).trim();
        const colon = part.indexOf(":");
        if (colon > 0) found[part.slice(0, colon).trim()] = part.slice(colon + 1).trim();
    };
    for (let i = 0; i < text.length; i++) {
        const c = text[i];
        if (quoted) {
            if (c === "\\") i++;
            else if (c === '"') quoted = false;
        } else if (c === '"') quoted = true;
        else if (c === "(" || c === "{") depth++;
        else if (c === ")" || c === "}") depth--;
        else if (c === "," && depth === 0) {
            take(i);
            start = i + 1;
        }
    }
    take(text.length);
    return found;
}

// An IR string, "...", with its \XX escapes, as text.
function unquote(value) {
    if (!value?.startsWith('"')) return null;
    const bytes = [];
    const body = value.slice(1, -1);
    for (let i = 0; i < body.length; i++) {
        if (body[i] === "\\") {
            bytes.push(parseInt(body.slice(i + 1, i + 3), 16));
            i += 2;
        } else {
            bytes.push(...new TextEncoder().encode(body[i]));
        }
    }
    return new TextDecoder().decode(new Uint8Array(bytes));
}

const ref = (value) => (value && /^!\d+$/.test(value) ? Number(value.slice(1)) : null);

// Every metadata node: id -> { kind, fields } or, for a tuple, { items }.
function readMetadata(lines) {
    const nodes = new Map();
    for (const line of lines) {
        const node = /^!(\d+) = (?:distinct )?!(\w+)\((.*)\)$/.exec(line);
        if (node) {
            nodes.set(Number(node[1]), { kind: node[2], fields: fields(node[3]) });
            continue;
        }
        const tuple = /^!(\d+) = (?:distinct )?!\{(.*)\}$/.exec(line);
        if (tuple) nodes.set(Number(tuple[1]), { items: tuple[2] ? tuple[2].split(", ").map(ref) : [] });
    }
    return nodes;
}

// A path as the project names it: "./../common/x.h", seen from the root
// folder, is "common/x.h".
function normalise(path) {
    const parts = [];
    for (const part of path.split("/")) {
        if (part === "..") parts.pop();
        else if (part && part !== ".") parts.push(part);
    }
    return parts.join("/");
}

// What a value of a type is shown as, and how many bytes it takes:
// { kind, size }, where kind is int, uint, char, bool, float, pointer,
// string (a pointer to char), reference or aggregate.
function typeOf(nodes, id) {
    for (let seen = 0; seen < 64; seen++) {
        const node = nodes.get(id);
        if (!node) return { kind: "pointer", size: 4 }; // void *: a null type
        const f = node.fields ?? {};
        const size = Number(f.size ?? 0) / 8;
        if (node.kind === "DIBasicType") {
            const encoding = f.encoding ?? "";
            if (/boolean/.test(encoding)) return { kind: "bool", size };
            if (/float/.test(encoding)) return { kind: "float", size };
            if (/char/.test(encoding) && size === 1) return { kind: "char", size };
            return { kind: /unsigned|UTF/.test(encoding) ? "uint" : "int", size };
        }
        if (node.kind === "DIDerivedType") {
            const tag = f.tag ?? "";
            if (/pointer_type/.test(tag)) {
                const target = typeOf(nodes, ref(f.baseType));
                return { kind: target.kind === "char" ? "string" : "pointer", size: 4 };
            }
            if (/reference_type/.test(tag)) return { kind: "reference", size: 4 };
            if (/const|volatile|typedef|restrict|atomic/.test(tag)) {
                id = ref(f.baseType);
                continue;
            }
            return { kind: "aggregate", size };
        }
        if (node.kind === "DICompositeType" && /enumeration/.test(f.tag ?? "")) return { kind: "int", size };
        return { kind: "aggregate", size };
    }
    return { kind: "aggregate", size: 0 };
}

// A global's size, and for an array the size of its first level's
// elements, from its debug type.
function layoutOf(nodes, id) {
    for (let seen = 0; seen < 64; seen++) {
        const node = nodes.get(id);
        if (!node) return null;
        const f = node.fields ?? {};
        if (node.kind === "DIDerivedType" && /const|volatile|typedef/.test(f.tag ?? "")) {
            id = ref(f.baseType);
            continue;
        }
        const size = Number(f.size ?? 0) / 8;
        if (node.kind === "DICompositeType" && /array_type/.test(f.tag ?? "")) {
            const first = nodes.get(nodes.get(ref(f.elements))?.items?.[0]);
            const count = Number(first?.fields?.count ?? 0);
            return { size, element: count ? size / count : size };
        }
        return { size, element: 0 };
    }
    return null;
}

// The IR type a hook takes a value of TYPE as, and how to get there.
const WIDENED = { i1: ["i32", "zext"], i8: ["i32", "zext"], i16: ["i32", "zext"], float: ["double", "fpext"] };
const LEAVE = { i32: "leave_i32", i64: "leave_i64", double: "leave_f64", ptr: "leave_ptr" };

const DBG = /, !dbg !(\d+)/;
const CALLEE = /\bcall\b[^@%]*?(?:\([^)]*\)\s*)?(@[-\w.$]+|@"[^"]+"|%[-\w.$]+)\(/;

// Instruments IR, the text of a module clang made from the program whose
// source is PATH, stepping through the functions for which
// stepped(file, name) holds; HEADERS are the texts of the headers it may
// include, by path. Answers { ir, table }: the IR with the hooks' calls,
// and the table of what they refer to, with the text of each header line
// a step may run.
export function instrument(ir, { path, stepped, headers }) {
    const lines = ir.split("\n");
    const nodes = readMetadata(lines);
    const table = { files: [path], functions: [], sites: [], variables: [], scopes: [], globals: [],
                    canvas: null, gathered: false, text: {} };

    const fileOf = (id) => {
        const file = nodes.get(id)?.fields;
        if (!file) return null;
        const name = unquote(file.filename) ?? "";
        const folder = unquote(file.directory) ?? "";
        return normalise(name.startsWith("/") ? name : `${folder}/${name}`);
    };
    const fileIndex = (file) => {
        if (!table.files.includes(file)) table.files.push(file);
        return table.files.indexOf(file);
    };
    // Each scope once, with its parent's index; a function's is its own root.
    const scopeIndex = new Map();
    const scopeOf = (id) => {
        if (scopeIndex.has(id)) return scopeIndex.get(id);
        const node = nodes.get(id);
        const parent = node?.kind === "DISubprogram" || !node ? -1 : scopeOf(ref(node.fields.scope));
        table.scopes.push(parent);
        scopeIndex.set(id, table.scopes.length - 1);
        return table.scopes.length - 1;
    };
    const scopeFile = (id) => {
        for (let node = nodes.get(id); node; node = nodes.get(ref(node.fields.scope))) {
            if (node.fields.file) return fileOf(ref(node.fields.file));
            if (node.kind === "DISubprogram") break;
        }
        return null;
    };
    // A site: where a line begins, or goes on after a call.
    const site = (location, fn) => {
        const at = nodes.get(location).fields;
        const scope = ref(at.scope);
        table.sites.push([fileIndex(scopeFile(scope) ?? path), Number(at.line), scopeOf(scope), fn]);
        return table.sites.length - 1;
    };
    const lineOf = (location) => {
        const at = nodes.get(location)?.fields;
        if (!at || Number(at.line) === 0) return null;
        return `${scopeFile(ref(at.scope))}:${at.line}`;
    };

    // The named globals defined here, each with its size.
    const globals = [];
    for (const line of lines) {
        const found = /^(@[-\w.$]+|@"[^"]+") = (?!external)[^!]*!dbg !(\d+)/.exec(line);
        if (!found || / thread_local /.test(line)) continue;
        const expression = nodes.get(Number(found[2]));
        const variable = nodes.get(ref(expression?.fields?.var))?.fields;
        const name = unquote(variable?.name);
        const layout = variable && layoutOf(nodes, ref(variable.type));
        if (!name || !layout) continue;
        globals.push(found[1]);
        table.globals.push({ name, ...layout });
        if (name === "arr") table.canvas = table.globals.length - 1;
    }
    const pieces = globals[table.globals.findIndex(({ name }) => name === "pieces")];
    const pieceCount = globals[table.globals.findIndex(({ name }) => name === "pieceCount")];
    table.gathered = Boolean(pieces && pieceCount);

    // The functions stepped through, by their IR names.
    const defined = new Map();
    for (const line of lines) {
        const found = /^define .*?(@[-\w.$]+|@"[^"]+")\(.*!dbg !(\d+) \{$/.exec(line);
        if (!found) continue;
        const program = nodes.get(Number(found[2]));
        const f = program?.fields ?? {};
        const file = fileOf(ref(f.file));
        if (program?.kind !== "DISubprogram" || /DIFlagArtificial/.test(f.flags ?? "") || !file
            || !stepped(file, unquote(f.name))) continue;
        defined.set(found[1], { id: Number(found[2]), name: unquote(f.name) });
    }

    let temporary = 0;
    const fresh = () => `%record.${temporary++}`;
    const out = [];
    let hasStdout = false;
    let hasSetvbuf = false;

    for (let i = 0; i < lines.length; i++) {
        const line = lines[i];
        if (/^@stdout = /.test(line)) hasStdout = true;
        if (/^declare .*@setvbuf\(/.test(line)) hasSetvbuf = true;
        const header = /^define .*?(@[-\w.$]+|@"[^"]+")\(/.exec(line);
        if (!header || !defined.has(header[1])) {
            out.push(line);
            continue;
        }
        let end = i;
        while (lines[end] !== "}") end++;
        out.push(line, ...instrumentFunction(lines.slice(i + 1, end), defined.get(header[1])), "}");
        i = end;
    }

    function instrumentFunction(body, { id, name }) {
        const f = nodes.get(id).fields;
        const fn = table.functions.length;
        const returns = typeOf(nodes, nodes.get(ref(nodes.get(ref(f.type))?.fields?.types))?.items?.[0] ?? -1);
        const isVoid = (nodes.get(ref(nodes.get(ref(f.type))?.fields?.types))?.items ?? [null])[0] === null;
        table.functions.push({ name, returns: isVoid ? null : returns.kind });
        const allocas = new Set(body.map((l) => /^\s+(%[-\w.$]+) = alloca /.exec(l)?.[1]).filter(Boolean));
        const done = [];
        const debugAt = (l) => Number(DBG.exec(l)?.[1] ?? 0) || null;

        // The function's start: after its allocas, and for main first the
        // set-up the recorder needs.
        let at = 0;
        if (/^\w/.test(body[0] ?? "")) done.push(body[at++]); // the entry block's label, if named
        while (at < body.length && / = alloca /.test(body[at])) done.push(body[at++]);
        if (name === "main" && !f.linkageName?.includes("_Z")) {
            globals.forEach((global, index) => done.push(`  call void @record.global(i32 ${index}, ptr ${global})`));
            if (table.gathered) done.push(`  call void @record.gathered(ptr ${pieces}, ptr ${pieceCount})`);
            const stream = fresh();
            done.push(`  ${stream} = load ptr, ptr @stdout, align 4`,
                      `  ${fresh()} = call i32 @setvbuf(ptr ${stream}, ptr null, i32 ${UNBUFFERED}, i32 0)`);
        }
        done.push(`  call void @record.enter(i32 ${fn})`);

        let previous = null; // the line of the instruction before, in this block
        let pendingPhi = null; // a phi's line, whose hook goes after the block's phis
        for (; at < body.length; at++) {
            const l = body[at];
            if (!l.trim()) {
                done.push(l);
                continue;
            }
            if (/^\S/.test(l)) { // a block's label
                previous = null;
                done.push(l);
                continue;
            }
            const declared = /^\s+#dbg_declare\((\w+) (%[-\w.$]+|%"[^"]+"), !(\d+), !DIExpression\(([^)]*)\)/.exec(l);
            if (declared) {
                done.push(l);
                const variable = nodes.get(Number(declared[3]))?.fields;
                if (!variable) continue;
                const type = declared[4] ? { kind: "aggregate", size: 0 } : typeOf(nodes, ref(variable.type));
                const argument = Number(variable.arg ?? 0);
                table.variables.push({ name: unquote(variable.name), kind: type.kind, size: type.size, fn,
                                       scope: scopeOf(ref(variable.scope)), line: Number(variable.line),
                                       arg: argument - 1 });
                done.push(`  call void @record.declare(i32 ${table.variables.length - 1}, ptr ${declared[2]})`);
                continue;
            }
            if (/^\s+#dbg_/.test(l)) {
                done.push(l);
                continue;
            }
            // A branch to the block that follows makes no code, so its line
            // is never run on its own.
            const branch = /^\s+br label (%[-\w.$]+|%"[^"]+")/.exec(l)?.[1];
            const falls = branch && body.slice(at + 1).find((next) => /^\S/.test(next))?.startsWith(`${branch.slice(1)}:`);
            const location = falls ? null : debugAt(l);
            const where = location && lineOf(location);
            if (/^\s+%[-\w.$]+ = phi /.test(l)) {
                if (where && where !== previous) pendingPhi = location;
                if (where) previous = where;
                done.push(l);
                continue;
            }
            // A phi's line begins where the block's phis end.
            if (pendingPhi !== null) {
                done.push(`  call void @record.line(i32 ${site(pendingPhi, fn)})`);
                previous = lineOf(pendingPhi);
                pendingPhi = null;
            }
            if (where && where !== previous) done.push(`  call void @record.line(i32 ${site(location, fn)})`);
            if (where) previous = where;

            const ret = /^\s+ret (\S+)(?: (.*?))?(?:, !dbg.*)?$/.exec(l);
            if (ret) {
                const [type, value] = [ret[1], ret[2]];
                if (type === "void" || isVoid) done.push("  call void @record.leave()");
                else if (LEAVE[type]) done.push(`  call void @record.${LEAVE[type]}(${type} ${value})`);
                else if (WIDENED[type]) {
                    const [wide, how] = WIDENED[type];
                    const widened = fresh();
                    done.push(`  ${widened} = ${how} ${type} ${value} to ${wide}`,
                              `  call void @record.${LEAVE[wide]}(${wide} ${widened})`);
                } else done.push("  call void @record.leave()");
                done.push(l);
                continue;
            }
            done.push(l);

            if (table.canvas !== null) {
                const stored = /^\s+store (?:volatile )?i8 .*, ptr (%[-\w.$]+|%"[^"]+")(?:, align \d+)?(?:, !.*)?$/.exec(l);
                const loaded = /^\s+%[-\w.$]+ = load (?:volatile )?i8, ptr (%[-\w.$]+|%"[^"]+")(?:, align \d+)?(?:, !.*)?$/.exec(l);
                const pointer = stored?.[1] ?? loaded?.[1];
                if (pointer && !allocas.has(pointer)) done.push(`  call void @record.${stored ? "store" : "load"}(ptr ${pointer})`);
            }

            // A call of one of the program's functions, or through a
            // pointer, that returns into the middle of its line.
            const callee = CALLEE.exec(l)?.[1];
            if (callee && (defined.has(callee) || callee.startsWith("%")) && location) {
                let next = at + 1;
                while (next < body.length && (/^\s+#dbg_/.test(body[next]) || (/^\s+\S/.test(body[next]) && !debugAt(body[next]))))
                    next++;
                const following = next < body.length && /^\s+\S/.test(body[next]) ? lineOf(debugAt(body[next])) : null;
                if (following === null || following === where) done.push(`  call void @record.back(i32 ${site(location, fn)})`);
            }
        }
        return done;
    }

    for (const [file, line] of table.sites) {
        const header = headers[table.files[file]];
        if (file > 0 && header !== undefined) (table.text[file] ??= {})[line] = header.split("\n")[line - 1];
    }
    const extra = [HOOKS];
    if (!hasStdout) extra.push("@stdout = external constant ptr, align 4");
    if (!hasSetvbuf) extra.push("declare i32 @setvbuf(ptr, ptr, i32, i32)");
    return { ir: [...out, ...extra].join("\n"), table };
}
