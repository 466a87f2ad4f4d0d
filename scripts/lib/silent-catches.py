#!/usr/bin/python3
"""Flags every catch block of the C++ sources that neither passes its error
on nor leaves a trace, so that no error is dropped without a word.

A block passes when it throws (or rethrows), traces (TraceDroppedError(),
an error's .Trace()), keeps the error for another thread
(std::current_exception), ends the process or tells the user (FailFast,
MessageBoxW), or says in a comment beginning "handled:" what the error
becomes instead (a reason recorded, a retry, a value that means it).

  silent-catches.py FOLDER...   exit 1 and one line per block found
"""
import os
import re
import sys

PASSES = re.compile(r"\bthrow\b|\bTraceDroppedError\s*\(|\.Trace\s*\(|std::current_exception"
                    r"|\bFailFast\s*\(|\bMessageBoxW\s*\(|//\s*handled:")
CATCH = re.compile(r"\bcatch\s*\(([^)]*)\)\s*\{")


def block_after(text, start):
    """The text of the block whose opening brace ends at start."""
    depth, at = 1, start
    while depth and at < len(text):
        depth += {"{": 1, "}": -1}.get(text[at], 0)
        at += 1
    return text[start:at - 1]


def silent_catches(path):
    with open(path, encoding="utf-8", errors="replace") as source:
        text = source.read()
    for match in CATCH.finditer(text):
        if not PASSES.search(block_after(text, match.end())):
            line = text.count("\n", 0, match.start()) + 1
            yield f"{path}:{line}: catch ({match.group(1)}) neither passes the error on nor traces it"


def main():
    found = [finding
             for folder in sys.argv[1:]
             for root, _, names in os.walk(folder)
             for name in sorted(names) if name.endswith((".cpp", ".h"))
             for finding in silent_catches(os.path.join(root, name))]
    for finding in found:
        print(finding)
    if found:
        print("(trace it with TraceDroppedError(), or say in a \"// handled:\" comment what it becomes)")
    return 1 if found else 0


sys.exit(main())
