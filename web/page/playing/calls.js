// The calls view: every call of a recorded run as a tree, in the order
// made, each call under its caller, named as the player names it and with
// what it returned. It follows the ARIA tree pattern: a tree of treeitems,
// each call's own calls in a group inside its item, aria-expanded on each
// that has calls under it; ↑ ↓ move between the items shown, → opens an item
// or goes to its first call, ← closes it or goes to its caller, Home and End
// go to the first and last item, and Enter, a click or a tap chooses a call.
// A call with many calls under it keeps them closed and counts them, and
// when opened shows them a hundred at a time, each hundred an item of its
// own; items are made only when first shown, so that the view of a long
// run opens at once. The calls under way at the player's step are marked,
// and shown, opened to if need be.
"use strict";

const FEW_CALLS = 20; // a call with more calls under it than this starts closed
const SHOWN_AT_FIRST = 200; // the items the view opens with, at most
const HUNDRED = 100; // the calls an item of a long list stands for

// Every call of RECORDING: { name, label, first, last, returned, children },
// where the call began in step first and returned in step last (or is under
// way at the end, last null); label is how the player names it, with its
// arguments as the call was made.
function callTree(recording) {
    const root = { children: [], first: 0, last: null };
    const open = [root];
    recording.steps.forEach((step, index) => {
        const k = index + 1;
        for (const op of step[2] ?? []) {
            if (op[0] === 1) {
                const [name, args] = recording.functions[op[1]];
                const call = { name, label: `${name}(${args.map((arg, i) => `${arg} = ${op[2 + i]}`).join(", ")})`,
                               first: k, last: null, returned: null, children: [], parent: open.at(-1),
                               index: open.at(-1).children.length };
                open.at(-1).children.push(call);
                open.push(call);
            } else if (op[0] === 0) {
                for (let i = 0; i < op[1] && open.length > 1; i++) {
                    const call = open.pop();
                    call.last = k;
                    // What a step returned is the innermost call's it ended.
                    if (i === 0 && "r" in (step[3] ?? {})) call.returned = step[3].r;
                }
            }
        }
    });
    return root;
}

// Whether CALL is under way after step k.
const underWay = (call, k) => call.first <= k && (call.last === null || k < call.last);

// The call among CALLS (in the order made) under way after step k, if any.
function callAt(calls, k) {
    let [low, high] = [0, calls.length - 1];
    while (low < high) {
        const middle = Math.ceil((low + high) / 2);
        if (calls[middle].first <= k) low = middle;
        else high = middle - 1;
    }
    return calls[low] && underWay(calls[low], k) ? calls[low] : null;
}

// The calls view of RECORDING, in ELEMENT: CHOOSE(call) is told the call
// chosen. Answers { follow(k) }, which marks the calls under way after
// step k.
function makeCallsView(element, recording, choose) {
    const root = callTree(recording);
    const tree = document.createElement("ul");
    tree.setAttribute("role", "tree");
    tree.setAttribute("aria-labelledby", element.querySelector("h3").id);
    element.append(tree);
    const items = new Map(); // each call's or hundred's item, once made
    let shown = 0;
    let current = null; // the item in the page's order of focus
    let marked = [];

    // A long list's hundreds: items that each stand for a hundred calls.
    const hundreds = (call) => Array.from({ length: Math.ceil(call.children.length / HUNDRED) }, (_, i) => ({
        hundred: true, parent: call, from: i * HUNDRED,
        children: call.children.slice(i * HUNDRED, (i + 1) * HUNDRED),
    }));
    const under = (node) => (!node.hundred && node.children.length > HUNDRED
        ? (node.hundreds ??= hundreds(node)) : node.children);

    function labelOf(node) {
        if (node.hundred)
            return text("calls_hundred", { from: node.from + 1, to: node.from + node.children.length });
        return node.returned === null ? node.label : text("returned", { call: node.label, value: node.returned });
    }

    function makeItem(node, level) {
        const item = document.createElement("li");
        item.setAttribute("role", "treeitem");
        item.setAttribute("aria-level", level);
        item.tabIndex = -1;
        const label = document.createElement("span");
        label.className = "call-label";
        label.innerHTML = `<span class="toggle" aria-hidden="true"></span><code>${escapeHtml(labelOf(node))}</code>`;
        if (!node.hundred && node.children.length > FEW_CALLS) {
            const count = document.createElement("span");
            count.className = "call-count";
            count.textContent = ` ${text(node.children.length === 1 ? "calls_one" : "calls_many", { n: node.children.length })}`;
            label.append(count);
        }
        // Named from its content, which browsers take for a tree item as its
        // own line, without the calls in its group.
        item.append(label);
        item.node = node;
        items.set(node, item);
        shown++;
        if (node.children.length) {
            item.setAttribute("aria-expanded", "false");
            const opens = node.children.length <= FEW_CALLS && shown + node.children.length <= SHOWN_AT_FIRST;
            if (opens) expand(item);
        }
        return item;
    }

    function expand(item) {
        if (!item.querySelector(":scope > [role=group]")) {
            const group = document.createElement("ul");
            group.setAttribute("role", "group");
            const level = Number(item.getAttribute("aria-level")) + 1;
            group.append(...under(item.node).map((node) => makeItem(node, level)));
            item.append(group);
        }
        item.setAttribute("aria-expanded", "true");
    }

    const collapse = (item) => item.setAttribute("aria-expanded", "false");

    // The items shown, in order.
    const visible = () => [...tree.querySelectorAll("[role=treeitem]")]
        .filter((item) => !item.parentElement.closest('[role=treeitem][aria-expanded="false"]'));

    function focus(item) {
        if (current) current.tabIndex = -1;
        current = item;
        item.tabIndex = 0;
        item.focus({ preventScroll: true });
        show(item);
    }

    // Scrolls the view, not the page, to ITEM.
    function show(item) {
        const top = item.offsetTop - tree.offsetTop;
        const height = item.querySelector(".call-label").offsetHeight;
        if (top < tree.scrollTop || top + height > tree.scrollTop + tree.clientHeight)
            tree.scrollTop = Math.max(0, top - tree.clientHeight / 3);
    }

    // The item of NODE, made and shown, its callers opened.
    function reveal(node) {
        if (!items.has(node)) {
            // The item whose group holds NODE's: its caller's, or the hundred's.
            const holder = !node.hundred && node.parent.children.length > HUNDRED
                ? under(node.parent)[Math.floor(node.index / HUNDRED)] : node.parent;
            expand(reveal(holder));
        }
        const item = items.get(node);
        for (let up = item.parentElement.closest("[role=treeitem]"); up; up = up.parentElement.closest("[role=treeitem]"))
            if (up.getAttribute("aria-expanded") === "false") up.setAttribute("aria-expanded", "true");
        return item;
    }

    function chooseItem(item) {
        if (item.node.hundred) {
            if (item.getAttribute("aria-expanded") === "true") collapse(item);
            else expand(item);
            return;
        }
        for (const chosen of tree.querySelectorAll("[aria-selected=true]")) chosen.removeAttribute("aria-selected");
        item.setAttribute("aria-selected", "true");
        choose(item.node);
    }

    tree.addEventListener("click", (event) => {
        const item = event.target.closest("[role=treeitem]");
        if (!item) return;
        if (event.target.closest(".toggle") && item.node.children.length) {
            if (item.getAttribute("aria-expanded") === "true") collapse(item);
            else expand(item);
        } else {
            chooseItem(item);
        }
        focus(item);
    });

    tree.addEventListener("keydown", (event) => {
        const item = event.target.closest("[role=treeitem]");
        if (!item || event.altKey || event.ctrlKey || event.metaKey) return;
        const list = visible();
        const at = list.indexOf(item);
        const open = item.getAttribute("aria-expanded");
        const moves = {
            ArrowDown: () => list[at + 1] && focus(list[at + 1]),
            ArrowUp: () => list[at - 1] && focus(list[at - 1]),
            Home: () => focus(list[0]),
            End: () => focus(list.at(-1)),
            ArrowRight: () => {
                if (open === "false") expand(item);
                else if (open === "true") focus(item.querySelector("[role=group] > [role=treeitem]"));
            },
            ArrowLeft: () => {
                if (open === "true") collapse(item);
                else if (item.parentElement.closest("[role=treeitem]")) focus(item.parentElement.closest("[role=treeitem]"));
            },
            Enter: () => chooseItem(item),
        };
        if (!(event.key in moves)) return;
        event.preventDefault();
        event.stopPropagation(); // the player's own keys are not the tree's
        moves[event.key]();
    });

    tree.append(...root.children.map((node) => makeItem(node, 1)));
    if (tree.firstElementChild) {
        current = tree.firstElementChild;
        current.tabIndex = 0;
    }

    return {
        follow(k) {
            for (const item of marked) {
                item.removeAttribute("data-under-way");
                item.removeAttribute("aria-current");
            }
            marked = [];
            let calls = root.children;
            let innermost = null;
            for (let call; (call = callAt(calls, k)); calls = call.children) innermost = call;
            for (let call = innermost; call && call !== root; call = call.parent) {
                const item = reveal(call);
                item.setAttribute("data-under-way", "");
                marked.push(item);
            }
            if (innermost) {
                marked[0].setAttribute("aria-current", "true");
                show(marked[0]);
            }
        },
    };
}
