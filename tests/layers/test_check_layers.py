#!/usr/bin/env python3
"""The layer check passes on the tree and fails on planted violations."""
import os
import subprocess
import sys
import tempfile

root = os.path.abspath(sys.argv[1])
script = os.path.join(root, "scripts", "check-layers")


def check(tree):
    r = subprocess.run([sys.executable, script, tree], capture_output=True, text=True)
    return r.returncode, r.stdout


code, out = check(root)
assert code == 0, out

planted = {
    "core/grid.h": '#include "link/frame.h"\n',            # up
    "link/frame.h": '#include <QLabel>\n#include "core/grid.h"\n',  # widget header
    "numbers/codec.cpp": '#include "settings/codec.h"\n',  # sideways
    "settings/codec.h": "",
    "office/layout.cpp": '#include "app/session.h"\n',     # up
    "app/session.h": '#include "office/layout.h"\n#include <QtWidgets/QWidget>\n',
    "ui/tab.cpp": '#include "app/session.h"\n#include <QLabel>\n',  # allowed
    "sim/device.cpp": '#include "link/frame.h"\n',         # the device includes only itself
}
with tempfile.TemporaryDirectory() as tree:
    for path, text in planted.items():
        os.makedirs(os.path.join(tree, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(tree, path), "w") as f:
            f.write(text)
    code, out = check(tree)
    lines = [l for l in out.splitlines() if ": includes " in l]
    expected = [
        'app/session.h: includes the widget header <QtWidgets/QWidget>',
        'core/grid.h: includes "link/frame.h": core/ -> link/ points up',
        'link/frame.h: includes the widget header <QLabel>',
        'numbers/codec.cpp: includes "settings/codec.h": numbers/ -> settings/ points sideways',
        'office/layout.cpp: includes "app/session.h": office/ -> app/ points up',
        'sim/device.cpp: includes "link/frame.h" (sim/ and link/ do not include each other)',
    ]
    assert code == 1, out
    assert sorted(lines) == sorted(expected), out
print("ok")
