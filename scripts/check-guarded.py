#!/usr/bin/env python3
"""Fails when a signal of the program is connected to a handler that does not
run guarded: an exception out of a slot would unwind through Qt's own frames,
and a busy library or a lost server would not be offered again. Every
connect() in the program's sources hands its handler through Guarded(...),
except the few connections listed below, which reach no data."""
import pathlib
import re
import sys

# Connections that only drive Qt's own machinery (an event loop waiting for
# a keychain job, a worker thread's end), where no handler of ours runs.
EXEMPT = {
    "src/shell/ConnectionSettings.cpp",
    "src/app/Startup.cpp",
}
EXEMPT_FOLDERS = ("src/reports/libreoffice/",)


def split_arguments(text, start):
    """The top-level arguments of the call whose '(' ends just before start."""
    depth, args, begin, i, quote = 0, [], start, start, None
    while i < len(text):
        c = text[i]
        if quote:
            if c == "\\":
                i += 2
                continue
            if c == quote:
                quote = None
        elif c in "\"'":
            quote = c
        elif c in "([{":
            depth += 1
        elif c in ")]}":
            if depth == 0:
                args.append(text[begin:i])
                return args, i
            depth -= 1
        elif c == "," and depth == 0:
            args.append(text[begin:i])
            begin = i + 1
        i += 1
    return args, i


def unguarded(root):
    found = []
    for path in sorted(root.glob("src/**/*.cpp")):
        rel = path.relative_to(root).as_posix()
        if rel in EXEMPT or rel.startswith(EXEMPT_FOLDERS):
            continue
        text = path.read_text(encoding="utf-8")
        for m in re.finditer(r"(?<![\w:>.])(?:QObject::)?connect\(", text):
            args, _ = split_arguments(text, m.end())
            if len(args) < 4:
                continue
            handler = args[3].strip()
            if not handler.startswith("Guarded("):
                line = text.count("\n", 0, m.start()) + 1
                found.append(f"{rel}:{line}: handler not guarded: {handler.splitlines()[0][:60]}")
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    problems = unguarded(root)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
