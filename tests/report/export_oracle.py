#!/usr/bin/env python3
"""Reads an exported file with Python's own readers and prints what they see (UTF-8).

html FILE: one line per table row, the cell texts joined by " | "; an img cell as
           "[img SRC WxH exists|missing]".
csv FILE:  one line per record: the field count, then the fields joined by " | ".
tags FILE: "balanced N" when every element opened in the HTML is closed in order (N
           elements), else the first tag that breaks the nesting and the open ones.
"""
import csv
import html.parser
import io
import os
import sys


class Cells(html.parser.HTMLParser):
    def __init__(self, base):
        super().__init__(convert_charrefs=True)
        self.base = base
        self.rows = []
        self.cell = None
        self.charset = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "meta" and "content" in a and "charset=" in a["content"]:
            self.charset = a["content"].split("charset=")[1]
        if tag == "tr":
            self.rows.append([])
        elif tag == "td":
            self.cell = ""
        elif tag == "img" and self.cell is not None:
            src = a.get("src", "")
            ok = "exists" if os.path.isfile(os.path.join(self.base, src)) else "missing"
            self.cell += "[img %s %sx%s %s]" % (src, a.get("width"), a.get("height"), ok)

    def handle_endtag(self, tag):
        if tag == "td" and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


class Nesting(html.parser.HTMLParser):
    VOID = {"meta", "img", "br", "hr", "input", "link", "col", "area", "base", "wbr"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open = []
        self.count = 0
        self.error = None

    def handle_starttag(self, tag, attrs):
        if tag not in self.VOID:
            self.open.append(tag)
            self.count += 1

    def handle_endtag(self, tag):
        if self.error:
            return
        if not self.open or self.open[-1] != tag:
            self.error = "</%s> closes <%s>" % (tag, self.open[-1] if self.open else "nothing")
        else:
            self.open.pop()


def main():
    mode, name = sys.argv[1], sys.argv[2]
    raw = open(name, "rb").read()
    out = io.TextIOWrapper(sys.stdout.buffer, encoding="utf-8", newline="\n")
    if mode == "html":
        # The declared charset decides; a file without one is read as Latin-1.
        probe = Cells(os.path.dirname(name))
        probe.feed(raw.decode("latin-1"))
        p = Cells(os.path.dirname(name))
        p.feed(raw.decode(probe.charset or "latin-1"))
        for r in p.rows:
            out.write(" | ".join(r) + "\n")
    elif mode == "tags":
        p = Nesting()
        p.feed(raw.decode("latin-1"))
        p.close()
        if p.error or p.open:
            out.write("%s; open: %s\n" % (p.error or "end of file", " ".join(p.open)))
        else:
            out.write("balanced %d\n" % p.count)
    elif mode == "csv":
        text = raw.decode(sys.argv[3] if len(sys.argv) > 3 else "cp1251")
        for rec in csv.reader(io.StringIO(text, newline=""), delimiter=";"):
            out.write("%d: %s\n" % (len(rec), " | ".join(rec)))
    out.flush()


main()
