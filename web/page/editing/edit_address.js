// An edit as an address, #NAME/edit/DATA, so that it can be shared as a link
// with no server to keep it: DATA is the source's UTF-8 compressed with raw
// DEFLATE, as CompressionStream("deflate-raw") makes it, in base64url without
// padding.
"use strict";

// The most an address's source may unpack to: a few bytes of DEFLATE can
// unpack to gigabytes, which would take the tab's memory before any check.
const MOST_UNPACKED = 1 << 20;

async function through(bytes, stream) {
    return new Uint8Array(await new Response(new Blob([bytes]).stream().pipeThrough(stream)).arrayBuffer());
}

// What BYTES unpack to, or a failure with .tooLarge set once more than
// MOST_UNPACKED have come. They are handed to the decompressor 256 bytes at
// a time, as it asks for them, so that no piece of what it unpacks can be
// much larger than a quarter of a megabyte: a browser may unpack all it is
// given at once.
async function unpacked(bytes) {
    let at = 0;
    const pieces = new ReadableStream({
        pull(controller) {
            if (at < bytes.length) controller.enqueue(bytes.slice(at, (at += 256)));
            else controller.close();
        },
    });
    const reader = pieces.pipeThrough(new DecompressionStream("deflate-raw")).getReader();
    const parts = [];
    let size = 0;
    for (let part; !(part = await reader.read()).done;) {
        size += part.value.length;
        if (size > MOST_UNPACKED) {
            reader.cancel();
            throw Object.assign(new Error("too large"), { tooLarge: size });
        }
        parts.push(part.value);
    }
    return new Uint8Array(await new Blob(parts).arrayBuffer());
}

// The address of NAME's editor holding SOURCE.
async function editAddress(name, source) {
    const packed = await through(new TextEncoder().encode(source), new CompressionStream("deflate-raw"));
    let binary = "";
    for (let i = 0; i < packed.length; i += 8192) binary += String.fromCharCode(...packed.subarray(i, i + 8192));
    const data = btoa(binary).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
    return `#${name}/edit/${data}`;
}

// The source the DATA of an address holds; fails if it holds none, or one
// too large to unpack.
async function sourceOfAddress(data) {
    const binary = atob(data.replace(/-/g, "+").replace(/_/g, "/"));
    const packed = Uint8Array.from(binary, (c) => c.charCodeAt(0));
    return new TextDecoder("utf-8", { fatal: true }).decode(await unpacked(packed));
}
