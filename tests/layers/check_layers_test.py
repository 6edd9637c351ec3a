#!/usr/bin/env python3
"""Runs scripts/check-layers.py on small made-up trees."""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-layers.py")

# Two layers, `low` below `high`; `high` links Qt Widgets, `low` does not.
LAYERS = """\
# kestrune_layer(commented LINKS nothing)
kestrune_layer(low QT Core)
kestrune_layer(high
  LINKS low
  QT Gui Widgets)
"""
BASE = {
    "CMakeLists.txt": LAYERS,
    "src/low/Low.h": "#pragma once\n#include <QString>\n",
    "src/low/Low.cpp": '#include "low/Low.h"\n',
    "src/high/High.h": '#pragma once\n#include "low/Low.h"\n#include <QWidget>\n',
}

# name, files added to (or replacing those of) BASE, the faults expected,
# one substring per printed line; no faults means the check passes.
CASES = [
    ("includes below and its own folder", {}, []),
    (
        "includes a layer above",
        {"src/low/Bad.cpp": '#include "low/Low.h"\n#include "high/High.h"\n'},
        ['src/low/Bad.cpp:2: #include "high/High.h": low would need to link high'],
    ),
    (
        "includes a header that is not there",
        {"src/high/Gone.cpp": '#include "low/Renamed.h"\n'},
        ['src/high/Gone.cpp:1: #include "low/Renamed.h": no such project header'],
    ),
    (
        "includes a project header in angle brackets",
        {"src/low/Angle.cpp": "#include <high/High.h>\n"},
        ["src/low/Angle.cpp:1: #include <high/High.h>: low would need to link high"],
    ),
    (
        "includes a header through a link's link",
        {
            "CMakeLists.txt": LAYERS + "kestrune_layer(top LINKS high)\n",
            "src/top/Top.cpp": '#include "low/Low.h"\n',
        },
        [],
    ),
    (
        "links an unknown layer",
        {"CMakeLists.txt": LAYERS + "kestrune_layer(top LINKS high nowhere)\n"},
        ["top links nowhere, which is not a declared layer"],
    ),
    (
        "links a layer past its LINKS list",
        {"CMakeLists.txt": LAYERS + "target_link_libraries(kestrune_low PUBLIC kestrune_high Qt6::Gui)\n"},
        ["low links high outside its LINKS list"],
    ),
    (
        "a layer without Widgets includes a widget",
        {"src/low/Widget.cpp": "#include <QWidget>\n#include <QtWidgets/QLabel>\n#include <QtWidgets>\n"},
        [
            "src/low/Widget.cpp:1: #include <QWidget>: low does not link Qt Widgets",
            "src/low/Widget.cpp:2: #include <QtWidgets/QLabel>: low does not link Qt Widgets",
            "src/low/Widget.cpp:3: #include <QtWidgets>: low does not link Qt Widgets",
        ],
    ),
    (
        "a folder that no target builds",
        {"src/stray/Stray.cpp": "\n"},
        ["src/stray/Stray.cpp: the folder src/stray belongs to no target"],
    ),
    (
        "a sub-folder target and an executable reach what they link",
        {
            "CMakeLists.txt": LAYERS
            + "add_subdirectory(src/low/engine)\n"
            + "add_executable(prog src/high/main/main.cpp)\n"
            + "target_link_libraries(prog PRIVATE kestrune_high kestrune_engine)\n",
            "src/low/engine/CMakeLists.txt": "add_library(kestrune_engine STATIC Engine.cpp Engine.h)\n"
            + "target_link_libraries(kestrune_engine PUBLIC kestrune_low PRIVATE /usr/lib/libother.so)\n",
            "src/low/engine/Engine.h": '#include "low/Low.h"\n',
            "src/low/engine/Engine.cpp": '#include "low/engine/Engine.h"\n#include "high/High.h"\n',
            "src/high/main/main.cpp": '#include "low/engine/Engine.h"\n#include "high/High.h"\n',
            "src/high/Uses.cpp": '#include "low/engine/Engine.h"\n',
        },
        [
            'src/high/Uses.cpp:1: #include "low/engine/Engine.h": high would need to link engine',
            'src/low/engine/Engine.cpp:2: #include "high/High.h": engine would need to link high',
        ],
    ),
]


def write_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


class CheckLayersTest(unittest.TestCase):
    def test_cases(self):
        for name, files, expected in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                write_tree(root, {**BASE, **files})
                write_tree(root, {"qt/QtWidgets/QWidget": "", "qt/QtWidgets/QLabel": ""})
                run = subprocess.run(
                    [sys.executable, SCRIPT, "--source-dir", root, "--widgets-dir", os.path.join(root, "qt/QtWidgets")],
                    capture_output=True,
                    text=True,
                )
                lines = run.stdout.splitlines()
                self.assertEqual(run.returncode, 1 if expected else 0, run.stdout + run.stderr)
                self.assertEqual(len(lines), len(expected), run.stdout)
                for want in expected:
                    self.assertTrue(any(want in line for line in lines), f"{want!r} not in:\n{run.stdout}")


if __name__ == "__main__":
    unittest.main()
