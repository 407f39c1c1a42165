// The parts of CodeMirror the page's editor uses, bundled by the build into
// one script, codemirror.js, that hands them to the page as CodeMirror.
export { EditorState, StateEffect, StateField, Transaction } from "@codemirror/state";
export { Decoration, EditorView, drawSelection, highlightActiveLine, highlightActiveLineGutter, keymap,
         lineNumbers } from "@codemirror/view";
export { defaultKeymap, history, historyKeymap } from "@codemirror/commands";
export { bracketMatching, indentOnInput, syntaxHighlighting } from "@codemirror/language";
export { cpp, cppLanguage } from "@codemirror/lang-cpp";
export { classHighlighter, highlightCode } from "@lezer/highlight";
