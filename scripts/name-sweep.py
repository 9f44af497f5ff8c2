#!/usr/bin/env python3
"""Completeness sweep: names a design document writes in backticks that the code never uses.

Usage: name-sweep.py DOCUMENT [--root DIR ...] [--min-length N] [--known FILE] [--dotted]

DOCUMENT is read at run time and never copied: for every section headed "# Part <number>: ..."
the names written in backticks (a backticked text that is one identifier; with --dotted also
each part of a Class.Member name) that are longer than --min-length (default 4) letters are
looked up as whole words in the sources under the roots (default: src and tools of this
checkout). The names that appear nowhere are printed per section. With --known, a file of
"<section>: name name ..." lines (as this script prints them), names already listed there are
left out, so only new gaps show.
"""
import argparse
import os
import re
import sys

IDENT = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
SOURCE_EXT = {".h", ".hpp", ".cpp", ".cc", ".c", ".py", ".sh", ".cmake", ".txt", ".ui", ".qrc"}


def code_words(roots):
    words = set()
    for root in roots:
        for dirpath, _, files in os.walk(root):
            for name in files:
                if os.path.splitext(name)[1] not in SOURCE_EXT:
                    continue
                try:
                    with open(os.path.join(dirpath, name), encoding="utf-8", errors="replace") as f:
                        words.update(IDENT.findall(f.read()))
                except OSError:
                    pass
    return words


def doc_names(path, min_length, dotted):
    """Yields (section, [names in order of first use])."""
    section, names = None, []
    heading = re.compile(r"^# Part (\d+\.\d+)\b")
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = heading.match(line)
            if m:
                if section:
                    yield section, names
                section, names = m.group(1), []
                continue
            if line.startswith("# ") and section:
                yield section, names
                section, names = None, []
                continue
            if not section:
                continue
            for quoted in re.findall(r"`([^`]+)`", line):
                quoted = quoted.strip()
                if IDENT.fullmatch(quoted):
                    words = [quoted]
                elif dotted and re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*(\.[A-Za-z_][A-Za-z0-9_]*)+", quoted):
                    words = quoted.split(".")
                else:
                    continue
                for word in words:
                    if len(word) > min_length and word not in names:
                        names.append(word)
    if section:
        yield section, names


def read_known(path):
    known = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip().lstrip("-").strip()
            if ":" not in line:
                continue
            section, rest = line.split(":", 1)
            known.setdefault(section.strip(), set()).update(rest.split())
    return known


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("document")
    p.add_argument("--root", action="append")
    p.add_argument("--min-length", type=int, default=4)
    p.add_argument("--known")
    p.add_argument("--dotted", action="store_true", help="also look up each part of Class.Member names")
    a = p.parse_args()
    roots = a.root or [os.path.join(here, "src"), os.path.join(here, "tools")]
    words = code_words(roots)
    known = read_known(a.known) if a.known else {}
    sections = missing_total = 0
    for section, names in doc_names(a.document, a.min_length, a.dotted):
        missing = [n for n in names if n not in words and n not in known.get(section, set())]
        if missing:
            sections += 1
            missing_total += len(missing)
            print(f"- {section}: {' '.join(sorted(missing))}")
    print(f"{missing_total} names in {sections} sections not found", file=sys.stderr)


if __name__ == "__main__":
    main()
