#!/usr/bin/python3
"""Fails when a lower layer of the source tree includes, or links, a higher one.

    check_layers.py SOURCE_ROOT        checks the tree; one line per breach: file, line, rule
    check_layers.py --self-test        checks the checker on small trees of its own

Every folder of LAYERS may include (and its CMake targets may link) the project headers and targets of
the folders it names, and nothing else of the project; a folder that is not NO_QT may use Qt.
Third-party libraries with one owner (the SQL clients, the spreadsheet writer) are included by that
owner only. The tests and the benchmarks sit above everything and are not checked.
"""

import os
import re
import sys
import tempfile

DATA = "platform/toolkit/data"
EXPORT = "platform/toolkit/export"
WIDGETS = "platform/toolkit/widgets"
PROTOCOL = "platform/protocol"
CONTRACT = "platform/contract"
DATABASE = "platform/database"
SERVER = "platform/appserver"
HOSTLIB = "platform/hostlib"
SUITE = "platform/suite"
SIBLINGS = "platform/siblings"
WINDOW = "costanalysis"
DRIVER = "tools/driver"
EXPORT_TOOL = "tools/export"

TOOLKIT = {DATA, EXPORT, WIDGETS}
CLIENT_BELOW = TOOLKIT | {PROTOCOL, CONTRACT, HOSTLIB}

# Folder -> (name in messages, folders it may include and link).
LAYERS = {
    DATA: ("the data toolkit", set()),
    EXPORT: ("the export toolkit", {DATA}),
    PROTOCOL: ("the wire protocol", {DATA}),
    CONTRACT: ("the cost-methods contract", {DATA}),
    DATABASE: ("the suite database", {DATA}),
    SERVER: ("the application server", {DATA, PROTOCOL, CONTRACT, DATABASE}),
    WIDGETS: ("the toolkit widgets", {DATA, EXPORT}),
    HOSTLIB: ("the host library", TOOLKIT | {PROTOCOL, DATABASE}),
    SUITE: ("the suite", TOOLKIT | {PROTOCOL, DATABASE, HOSTLIB}),
    # Modules reach the server through the wire and the suite database through the host's local query;
    # they never see the server, the suite or each other.
    SIBLINGS: ("the sibling modules", CLIENT_BELOW),
    WINDOW: ("the cost-analysis window", CLIENT_BELOW),
    # The tools run the window and the server in one process.
    DRIVER: ("the driver", CLIENT_BELOW | {DATABASE, SERVER, WINDOW}),
    EXPORT_TOOL: ("the export tool", CLIENT_BELOW | {DATABASE, SERVER, WINDOW}),
}
NO_QT = {DATA, EXPORT, PROTOCOL, CONTRACT, DATABASE, SERVER}
UNCHECKED = {"tests", "bench"}  # above everything

# Third-party headers kept behind one folder: include pattern -> (owner, what it is).
OWNED_HEADERS = [
    (re.compile(r"^(sqlite3\.h|libpq-fe\.h)$"), DATABASE, "SQL client"),
    (re.compile(r"^xlsxwriter(\.h|/)"), EXPORT, "spreadsheet writer"),
]

QT_HEADER = re.compile(r"^(Qt|Q[A-Z])")
QT_TARGET = re.compile(r"^Qt[56]?::")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")


def area_of(path):
    """The folder of LAYERS (or UNCHECKED) holding a path relative to the root, None when none does."""
    for area in list(LAYERS) + sorted(UNCHECKED):
        if path == area or path.startswith(area + "/"):
            return area
    return None


def describe(area):
    allowed = sorted(LAYERS[area][1])
    return "%s (%s) may use only %s" % (LAYERS[area][0], area, ", ".join(allowed) if allowed else "nothing of the project")


def check_includes(root, rel, breaches):
    area = area_of(rel)
    if area is None or area in UNCHECKED:
        return
    here = os.path.dirname(rel)
    with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as source:
        for number, line in enumerate(source, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quoted, header = match.group(1) == '"', match.group(2)
            where = "%s:%d: #include %s" % (rel, number, header)
            if quoted:
                # Beside the file first, then from the source root, as the compiler looks.
                beside = os.path.normpath(os.path.join(here, header))
                target = beside if os.path.exists(os.path.join(root, beside)) else os.path.normpath(header)
                other = area_of(target)
                if other is not None and other != area and other not in LAYERS[area][1]:
                    breaches.append("%s: %s is above it: %s" % (where, other, describe(area)))
                continue
            if area in NO_QT and QT_HEADER.match(header):
                breaches.append("%s: Qt in %s (%s), which is plain C++ with no Qt" % (where, LAYERS[area][0], area))
            for pattern, owner, what in OWNED_HEADERS:
                if pattern.match(header) and area != owner:
                    breaches.append("%s: the %s is used through %s only" % (where, what, owner))


def cmake_targets(text):
    """(target, [linked items]) of every target_link_libraries call, and the targets a file defines."""
    defined = re.findall(r"\badd_(?:library|executable)\(\s*([A-Za-z0-9_.+-]+)", text)
    links = []
    for match in re.finditer(r"\btarget_link_libraries\(([^)]*)\)", text):
        words = match.group(1).split()
        if words:
            links.append((words[0], [w for w in words[1:] if w not in ("PUBLIC", "PRIVATE", "INTERFACE")]))
    return defined, links


def check_links(root, cmake_files, breaches):
    owner = {}
    parsed = []
    for rel in cmake_files:
        area = area_of(rel)
        if area is None:
            continue
        with open(os.path.join(root, rel), encoding="utf-8") as f:
            text = re.sub(r"#[^\n]*", "", f.read())
        defined, links = cmake_targets(text)
        for target in defined:
            owner.setdefault(target, area)
        parsed.append((rel, area, links))
    for rel, area, links in parsed:
        if area in UNCHECKED:
            continue
        for target, items in links:
            for item in items:
                where = "%s: %s links %s" % (rel, target, item)
                if QT_TARGET.match(item) and area in NO_QT:
                    breaches.append("%s: Qt in %s (%s), which is plain C++ with no Qt" % (where, LAYERS[area][0], area))
                other = owner.get(item)
                if other is not None and other != area and other not in LAYERS[area][1]:
                    breaches.append("%s: %s is above it: %s" % (where, other, describe(area)))


def check(root):
    sources, cmake_files = [], []
    for folder, dirs, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        dirs[:] = [d for d in dirs if not d.startswith(".") and not (rel_folder == "." and d.startswith("build"))]
        for name in files:
            rel = os.path.normpath(os.path.join(rel_folder, name))
            if name.endswith(SOURCE_SUFFIXES):
                sources.append(rel)
            elif name == "CMakeLists.txt":
                cmake_files.append(rel)
    breaches = []
    for rel in sorted(sources):
        check_includes(root, rel, breaches)
    check_links(root, sorted(cmake_files), breaches)
    return breaches, len(sources)


# --- The checker's own cases -----------------------------------------------------------------------

# (files of a small tree, text every breach must hold in order; empty: the tree is clean).
SELF_TESTS = [
    ({"platform/appserver/a.cpp": '#include "platform/toolkit/data/dataset.h"\n#include <vector>\n'}, []),
    ({"platform/appserver/a.cpp": '\n#include "platform/hostlib/x.h"\n'},
     ["platform/appserver/a.cpp:2: #include platform/hostlib/x.h: platform/hostlib is above it"]),
    ({"platform/toolkit/data/a.h": '#include "platform/protocol/wire.h"\n'},
     ["platform/toolkit/data/a.h:1: #include platform/protocol/wire.h: platform/protocol is above it: "
      "the data toolkit (platform/toolkit/data) may use only nothing of the project"]),
    ({"platform/database/a.cpp": "#  include <QString>\n#include <sqlite3.h>\n"},
     ["platform/database/a.cpp:1: #include QString: Qt in the suite database"]),
    ({"platform/protocol/a.cpp": "#include <QtCore/QObject>\n#include <libpq-fe.h>\n"},
     ["Qt in the wire protocol", "platform/protocol/a.cpp:2: #include libpq-fe.h: the SQL client is used through "
      "platform/database only"]),
    # A quoted include beside the file resolves there; one that climbs out is caught where it lands.
    ({"costanalysis/menu/a.cpp": '#include "b.h"\n', "costanalysis/menu/b.h": ""}, []),
    ({"costanalysis/menu/a.cpp": '#include "../../platform/appserver/plan.h"\n', "platform/appserver/plan.h": ""},
     ["costanalysis/menu/a.cpp:1: #include ../../platform/appserver/plan.h: platform/appserver is above it"]),
    ({"platform/siblings/a.cpp": '#include "costanalysis/window/w.h"\n'}, ["platform/siblings/a.cpp:1: #include costanalysis/window/w.h: costanalysis is above it"]),
    ({"platform/toolkit/widgets/a.cpp": "#include <QWidget>\n", "tests/x/a.cpp": '#include "tools/driver/d.h"\n'}, []),
    ({"platform/contract/CMakeLists.txt": "add_library(costcontract c.cpp)\n"
                                          "target_link_libraries(costcontract PUBLIC toolkit_data\n  Qt6::Core) # no\n",
      "platform/toolkit/data/CMakeLists.txt": "add_library(toolkit_data d.cpp)\n"},
     ["platform/contract/CMakeLists.txt: costcontract links Qt6::Core: Qt in the cost-methods contract"]),
    ({"platform/database/CMakeLists.txt": "add_library(suitedb s.cpp)\ntarget_link_libraries(suitedb PRIVATE hostlib)\n",
      "platform/hostlib/CMakeLists.txt": "add_library(hostlib h.cpp)\n# target_link_libraries(hostlib x)\n"},
     ["platform/database/CMakeLists.txt: suitedb links hostlib: platform/hostlib is above it: the suite database"]),
]


def self_test():
    failures = 0
    for number, (files, expected) in enumerate(SELF_TESTS, 1):
        with tempfile.TemporaryDirectory() as root:
            for rel, text in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
                with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                    f.write(text)
            breaches, _ = check(root)
        if len(breaches) != len(expected) or any(e not in b for e, b in zip(expected, breaches)):
            failures += 1
            print("case %d: expected %r\n        got %r" % (number, expected, breaches))
    print("%d of %d cases passed" % (len(SELF_TESTS) - failures, len(SELF_TESTS)))
    return 1 if failures else 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 2:
        print(__doc__.strip())
        return 2
    breaches, count = check(argv[1])
    for breach in breaches:
        print(breach)
    print("%d files checked, %d layering breach%s" % (count, len(breaches), "" if len(breaches) == 1 else "es"))
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
