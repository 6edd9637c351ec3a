#!/usr/bin/env python3
"""The guarded-handler check against small made-up trees: what it must refuse
and what it must let through."""
import importlib.util
import pathlib
import sys
import tempfile

found = importlib.util.spec_from_file_location("check_guarded", sys.argv[1])
check = importlib.util.module_from_spec(found)
found.loader.exec_module(check)

CASES = [
    ("a member slot through Guarded", "connect(b, &B::clicked, this, Guarded(this, &X::go));", 0),
    ("a lambda through Guarded", "connect(b, &B::clicked, this, Guarded([this] { go(f(1, 2)); }));", 0),
    ("a bare member slot", "connect(b, &B::clicked, this, &X::go);", 1),
    ("a bare lambda", "connect(b, &B::clicked, this, [this] {\n    go();\n});", 1),
    ("a lambda variable", "auto h = [this] { go(); };\nconnect(b, &B::toggled, this, h);", 1),
    ("a queued connection of a guarded lambda", "QObject::connect(t, &T::done, this, Guarded([] {}), Qt::QueuedConnection);", 0),
    ("a call that only looks alike", "disconnect(b, &B::clicked, this, &X::go);", 0),
]

failures = 0
for what, body, expected in CASES:
    with tempfile.TemporaryDirectory() as tmp:
        root = pathlib.Path(tmp)
        (root / "src/shell").mkdir(parents=True)
        (root / "src/shell/X.cpp").write_text("void X::build()\n{\n" + body + "\n}\n", encoding="utf-8")
        found = check.unguarded(root)
        if len(found) != expected:
            failures += 1
            print(f"FAIL {what}: expected {expected} finding(s), got {found}")
print(f"{len(CASES) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
