#!/usr/bin/env python3
"""Checks that every source under src/ includes only what its target links.

The targets come from the build files: each kestrune_layer(NAME LINKS ...)
of the top CMakeLists.txt owns src/NAME/, and every other library or
executable whose sources live under src/ (the top file's own, or those of an
add_subdirectory(src/...)) owns the folders of its sources. A file may
include a project header when the header's folder belongs to its own target
or to one it links, directly or through its links. A header that does not
exist, a link to an unknown layer and a Qt Widgets header in a target that
does not link Qt Widgets fail as well.

Prints one line per fault and exits with 1 when there is any.
"""

import argparse
import os
import re
import sys

SOURCE_SUFFIXES = (".cpp", ".h")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
COMMAND = re.compile(r"\b([A-Za-z_]\w*)\s*\(([^()]*)\)")
TARGET_PREFIX = "kestrune_"


class Target:
    def __init__(self, name, links, qt=(), declared_as_layer=False):
        self.name = name
        self.links = list(links)
        self.qt = set(qt)
        self.declared_as_layer = declared_as_layer
        self.folders = set()


def strip_comments(text):
    """Drops CMake line comments, leaving '#' inside quoted strings alone."""
    out = []
    for line in text.splitlines():
        quoted = False
        for i, ch in enumerate(line):
            if ch == '"' and (i == 0 or line[i - 1] != "\\"):
                quoted = not quoted
            elif ch == "#" and not quoted:
                line = line[:i]
                break
        out.append(line)
    return "\n".join(out)


def commands(path, root):
    with open(path, encoding="utf-8") as f:
        text = strip_comments(f.read())
    folders = {
        "${CMAKE_SOURCE_DIR}": root,
        "${PROJECT_SOURCE_DIR}": root,
        "${CMAKE_CURRENT_SOURCE_DIR}": os.path.dirname(path),
        "${CMAKE_CURRENT_LIST_DIR}": os.path.dirname(path),
    }
    for m in COMMAND.finditer(text):
        args = m.group(2)
        for name, folder in folders.items():
            args = args.replace(name, folder)
        yield m.group(1).lower(), [a.strip('"') for a in args.split()]


def split_keywords(args, keywords):
    """kestrune_layer's arguments: the name, then lists after each keyword."""
    parts = {k: [] for k in keywords}
    current = None
    for a in args[1:]:
        if a in keywords:
            current = a
        elif current:
            parts[current].append(a)
    return parts


def unit_name(target):
    return target[len(TARGET_PREFIX):] if target.startswith(TARGET_PREFIX) else target


def read_targets(root, faults):
    """The layers and the other targets built from src/, by their unit name."""
    src = os.path.join(root, "src")
    targets = {}
    link_lines = []  # (target, links) from target_link_libraries
    build_files = [os.path.join(root, "CMakeLists.txt")]
    seen = 0
    while seen < len(build_files):
        build_file = build_files[seen]
        seen += 1
        base = os.path.dirname(build_file)
        for cmd, args in commands(build_file, root):
            if cmd == "kestrune_layer" and args:
                parts = split_keywords(args, ("LINKS", "QT", "EXTRA"))
                t = Target(args[0], parts["LINKS"], parts["QT"], declared_as_layer=True)
                t.folders.add(args[0])
                targets[t.name] = t
            elif cmd == "add_subdirectory" and args:
                sub = os.path.normpath(os.path.join(base, args[0]))
                if sub.startswith(src + os.sep):
                    build_files.append(os.path.join(sub, "CMakeLists.txt"))
            elif cmd in ("add_library", "add_executable") and args:
                sources = [os.path.normpath(os.path.join(base, a)) for a in args[1:]]
                folders = {
                    os.path.relpath(os.path.dirname(s), src)
                    for s in sources
                    if s.startswith(src + os.sep) and s.endswith(SOURCE_SUFFIXES)
                }
                if folders:
                    t = Target(unit_name(args[0]), [])
                    t.folders = folders
                    targets[t.name] = t
            elif cmd == "target_link_libraries" and args:
                link_lines.append((unit_name(args[0]), args[1:]))

    for name, links in link_lines:
        if name not in targets:
            continue
        # Only the project's own targets count, not Qt's or the system's.
        own = [unit_name(l) for l in links if l.startswith(TARGET_PREFIX)]
        if targets[name].declared_as_layer:
            # A layer's direction is its LINKS list and nothing else.
            faults += [f"CMakeLists.txt: {name} links {l} outside its LINKS list" for l in own]
        else:
            targets[name].links += own

    for t in targets.values():
        for l in t.links:
            if l not in targets:
                faults.append(f"CMakeLists.txt: {t.name} links {l}, which is not a declared layer")
        t.links = [l for l in t.links if l in targets]
    return targets


def reach(targets, name):
    """The target itself and everything it links, directly or not."""
    seen, todo = set(), [name]
    while todo:
        n = todo.pop()
        if n not in seen:
            seen.add(n)
            todo += targets[n].links
    return seen


def widgets_headers(widgets_dir):
    if not widgets_dir or not os.path.isdir(widgets_dir):
        return set()
    return {f for f in os.listdir(widgets_dir) if f.startswith("Q") and "." not in f}


def is_widgets_header(header, widgets):
    return header == "QtWidgets" or header.startswith("QtWidgets/") or header in widgets


def check(root, widgets_dir):
    root = os.path.abspath(root)
    faults = []
    targets = read_targets(root, faults)
    src = os.path.join(root, "src")
    owner = {}
    for t in targets.values():
        for folder in t.folders:
            owner[folder] = t.name
    top_folders = {f.split("/")[0] for f in owner}
    widgets = widgets_headers(widgets_dir)

    for dirpath, dirnames, filenames in os.walk(src):
        dirnames.sort()
        folder = os.path.relpath(dirpath, src)
        for filename in sorted(filenames):
            if not filename.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.join(dirpath, filename)
            shown = os.path.relpath(path, root)
            target = owner.get(folder)
            if target is None:
                faults.append(f"{shown}: the folder src/{folder} belongs to no target")
                continue
            reachable = reach(targets, target)
            uses_widgets = any(q.endswith("Widgets") for n in reachable for q in targets[n].qt)
            with open(path, encoding="utf-8", errors="replace") as f:
                lines = f.readlines()
            for number, line in enumerate(lines, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                quoted, header = m.group(1) == '"', m.group(2)
                written = f'"{header}"' if quoted else f"<{header}>"
                where = f"{shown}:{number}: #include {written}"
                if not quoted and is_widgets_header(header, widgets) and not uses_widgets:
                    faults.append(f"{where}: {target} does not link Qt Widgets")
                    continue
                if not quoted and header.split("/")[0] not in top_folders:
                    continue  # a system or library header
                if quoted and os.path.isfile(os.path.join(dirpath, header)):
                    header = os.path.relpath(os.path.join(dirpath, header), src)
                if not os.path.isfile(os.path.join(src, header)):
                    faults.append(f"{where}: no such project header")
                    continue
                needed = owner.get(os.path.dirname(header))
                if needed is None:
                    faults.append(f"{where}: src/{os.path.dirname(header)} belongs to no target")
                elif needed not in reachable:
                    faults.append(f"{where}: {target} would need to link {needed}")
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument(
        "--source-dir",
        default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
        help="the project folder (holds CMakeLists.txt and src/)",
    )
    parser.add_argument("--widgets-dir", help="the QtWidgets include folder")
    args = parser.parse_args()
    faults = check(args.source_dir, args.widgets_dir)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
