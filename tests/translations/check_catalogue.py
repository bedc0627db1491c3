#!/usr/bin/env python3
"""Fails when a text the programs show has no English translation.

Runs lupdate over the sources into a copy of translations/corvane_en.ts (the tree's file is left
alone) and names every message that is new, unfinished or empty: a text added or changed in the
sources without its translation. `cmake --build build --target update_translations` brings the
texts into the catalogue for translating.

usage: check_catalogue.py LUPDATE CATALOGUE SOURCE_FOLDER...
"""
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path


def text_of(element):
    # lupdate writes a carriage return as <byte value="xd"/>.
    parts = [element.text or ""]
    for byte in element:
        parts.append(chr(int(byte.get("value")[1:], 16)) + (byte.tail or ""))
    return "".join(parts)


def main():
    lupdate, catalogue, sources = sys.argv[1], Path(sys.argv[2]), sys.argv[3:]
    with tempfile.TemporaryDirectory() as scratch:
        copy = Path(scratch) / catalogue.name
        shutil.copyfile(catalogue, copy)
        subprocess.run([lupdate, "-silent", "-locations", "none", "-no-obsolete", *sources,
                        "-ts", str(copy)], check=True)
        untranslated = []
        for message in ET.parse(copy).getroot().iter("message"):
            translation = message.find("translation")
            if translation.get("type") == "unfinished" or not text_of(translation).strip():
                untranslated.append(text_of(message.find("source")))
    for source in untranslated:
        print(f"no English translation: {source!r}")
    if untranslated:
        print(f"{len(untranslated)} text(s) without English in {catalogue}; run "
              "`cmake --build build --target update_translations` and translate them")
        return 1
    print(f"every text has its English translation ({catalogue.name})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
