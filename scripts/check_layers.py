#!/usr/bin/env python3
"""Checks the layering of the source tree and the length of functions.

Each folder may include only from the folders below it (RULES), whether the
include is written with quotes or angle brackets; an include without a
folder is the folder's own header, a generated one or a system header. In
every folder no function may be longer than MAX_LINES, counted from the
first line of its declaration to its closing brace.

Exits 1 and prints one line per breach; exits 0 quietly otherwise.
Usage: check_layers.py [SOURCE_ROOT]
"""
import os
import re
import sys

# folder -> folders its files may include from; every folder is named, and
# none may include from a folder above it.
RULES = {
    "wire": set(),
    "platform": set(),
    "serial": {"platform", "wire"},
    "image": {"platform", "wire"},
    "boot": {"platform", "wire", "image", "serial"},
    "link": {"platform", "wire", "image", "serial", "boot"},
    "sim": {"wire"},
    "record": {"platform", "wire", "image", "serial", "boot", "link", "fleet"},
    "station": {"platform", "wire", "image", "serial", "boot", "link"},
    "fleet": {"platform", "wire", "image"},
    "cli": {"platform", "wire", "image", "serial", "boot", "link", "record", "station", "fleet"},
    "window": {"platform", "wire", "image", "serial", "boot", "link", "record", "fleet"},
    # The windows draw: what they show comes from the window model, never
    # from the controller's folder.
    "app": {"platform", "wire", "image", "serial", "boot", "window"},
    "win32": {"platform", "wire", "image", "serial", "boot", "window"},
}
FOLDERS = set(RULES) | {"tests", "fuzz", "bench", "resources"}

MAX_LINES = 60

INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)', re.M)
SOURCE = re.compile(r"\.(h|hpp|cpp|cc)$")


def sources(root, folder):
    base = os.path.join(root, folder)
    for dirpath, _, files in os.walk(base):
        for name in sorted(files):
            if SOURCE.search(name):
                yield os.path.join(dirpath, name)


def include_breaches(root):
    for folder, allowed in RULES.items():
        for path in sources(root, folder):
            text = open(path, encoding="utf-8").read()
            for quoted, angled in INCLUDE.findall(text):
                target = quoted or angled
                top = target.split("/", 1)[0] if "/" in target else None
                if top is None or top == folder or top not in FOLDERS:
                    continue
                if top in allowed:
                    continue
                rel = os.path.relpath(path, root)
                written = f'"{quoted}"' if quoted else f"<{angled}>"
                yield f"{rel}: includes {written}; {folder}/ may not include from {top}/"


def strip_code(text):
    """Blanks comments, string and character literals and preprocessor lines,
    keeping every newline, so braces and line numbers are the code's own."""
    out = []
    i, n = 0, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if at_line_start and c == "#":
            # A preprocessor line, with its continuations.
            while i < n and not (text[i] == "\n" and text[i - 1] != "\\"):
                i += 1
            continue
        if c == "\n":
            out.append(c)
            at_line_start = True
            i += 1
            continue
        if not c.isspace():
            at_line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
            continue
        raw = re.match(r'R"([^(]*)\(', text[i:i + 20])
        if raw:
            end = text.find(")" + raw.group(1) + '"', i)
            end = n if end < 0 else end + len(raw.group(1)) + 2
            out.append('""' + "\n" * text.count("\n", i, end))
            i = end
            continue
        if c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)


SCOPE = re.compile(r"^(template\s*<.*>\s*)?(namespace|class|struct|union|enum|extern)\b", re.S)
FUNCTION_TAIL = re.compile(r"\)\s*(const|noexcept|override|final|mutable|->\s*[\w:<>,\s*&]+|\s)*$")


def long_functions(path):
    code = strip_code(open(path, encoding="utf-8").read())
    stack = []  # (kind, first line)
    header_start = 0
    for pos, c in enumerate(code):
        if c == ";" and not any(k in ("fn", "inner") for k, _ in stack):
            header_start = pos + 1
        elif c == "{":
            if any(k in ("fn", "inner") for k, _ in stack):
                stack.append(("inner", 0))
                continue
            header = code[header_start:pos]
            first = header_start + (len(header) - len(header.lstrip()))
            header = header.strip()
            if SCOPE.match(header):
                kind = "scope"
            elif "(" in header and FUNCTION_TAIL.search(header):
                kind = "fn"
            else:
                kind = "inner"
            stack.append((kind, code.count("\n", 0, first) + 1))
            header_start = pos + 1
        elif c == "}":
            if not stack:
                continue
            kind, first = stack.pop()
            if kind == "fn":
                last = code.count("\n", 0, pos) + 1
                if last - first + 1 > MAX_LINES:
                    yield first, last - first + 1
            if not any(k in ("fn", "inner") for k, _ in stack):
                header_start = pos + 1


def length_breaches(root):
    for folder in sorted(RULES):
        for path in sources(root, folder):
            rel = os.path.relpath(path, root)
            for first, lines in long_functions(path):
                yield f"{rel}:{first}: a function of {lines} lines (at most {MAX_LINES})"


def main():
    args = sys.argv[1:]
    root = args[0] if args else os.path.join(os.path.dirname(__file__), "..")
    breaches = list(include_breaches(root)) + list(length_breaches(root))
    for line in breaches:
        print(line)
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
