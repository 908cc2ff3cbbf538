#!/usr/bin/env python3
"""Every code block of docs/guide.md, shell commands and sample output aside, appears
verbatim in a file under examples/: the guide shows the examples' real lines."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
guide = (root / "docs" / "guide.md").read_text()
sources = [p.read_text() for p in (root / "examples").rglob("*") if p.suffix in {".cpp", ".h", ".txt"}]
blocks = re.findall(r"^```(\w*)\n(.*?)^```$", guide, re.M | re.S)
missing = [code for lang, code in blocks if lang not in {"sh", "text"} and not any(code in text for text in sources)]
for code in missing:
    print("docs/guide.md shows lines that are not in examples/:\n" + code)
sys.exit(1 if missing or len(blocks) < 10 else 0)
