#!/usr/bin/env python3
"""Writes src/web/NamedReferences.inc: the rows of the named character references of HTML as
browsers read them (every name of html.entities.html5, the ones a browser also reads without ";"
included), sorted by name so the decoder can search the table in halves. The table around them is
src/web/NamedReferenceTable.cpp.

    python3 tools/named_references.py > src/web/NamedReferences.inc
"""

import html.entities

entries = sorted(html.entities.html5.items(), key=lambda item: item[0].encode("ascii"))

print("// Made by tools/named_references.py from Python's html.entities.html5; do not edit by hand.")
print("// The rows of kNamedReferences (web/NamedReferenceTable.cpp): sorted by name, byte by byte. A name")
print("// without \";\" is one a browser also reads without it.")
print("// clang-format off")
for name, value in entries:
    points = [ord(c) for c in value]
    assert 1 <= len(points) <= 2
    second = points[1] if len(points) == 2 else 0
    print('    {"%s", 0x%X, 0x%X},' % (name, points[0], second))
print("// clang-format on")
