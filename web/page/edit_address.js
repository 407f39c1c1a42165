// An edit as an address, #NAME/edit/DATA, so that it can be shared as a link
// with no server to keep it: DATA is the source's UTF-8 compressed with raw
// DEFLATE, as CompressionStream("deflate-raw") makes it, in base64url without
// padding.
"use strict";

async function through(bytes, stream) {
    return new Uint8Array(await new Response(new Blob([bytes]).stream().pipeThrough(stream)).arrayBuffer());
}

// The address of NAME's editor holding SOURCE.
async function editAddress(name, source) {
    const packed = await through(new TextEncoder().encode(source), new CompressionStream("deflate-raw"));
    let binary = "";
    for (let i = 0; i < packed.length; i += 8192) binary += String.fromCharCode(...packed.subarray(i, i + 8192));
    const data = btoa(binary).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
    return `#${name}/edit/${data}`;
}

// The source the DATA of an address holds; fails if it holds none.
async function sourceOfAddress(data) {
    const binary = atob(data.replace(/-/g, "+").replace(/_/g, "/"));
    const packed = Uint8Array.from(binary, (c) => c.charCodeAt(0));
    return new TextDecoder("utf-8", { fatal: true }).decode(await through(packed, new DecompressionStream("deflate-raw")));
}
