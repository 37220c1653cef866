#!/usr/bin/env python3
"""Every Chinese text of the program's sources goes through tr(), translate()
or one of Qt's marking macros, so that it reaches the catalogue. Resource
paths (":/...") are names, not texts.

    scripts/lint-translations.py [SOURCE_DIR]   lists bare texts; status 1 if any
    scripts/lint-translations.py --self-test    checks the scanner on the shapes
                                                of code the program uses
"""
import os
import re
import sys

PROGRAM_FOLDERS = ["app", "boxservice", "core", "cli", "agent", "mainwindow", "views", "dialogs", "widgets"]
MARKERS = {"tr", "translate", "QT_TR_NOOP", "QT_TRANSLATE_NOOP", "trUtf8"}
HAN = re.compile("[\u3400-\u4dbf\u4e00-\u9fff\uf900-\ufaff]")


def scan(code):
    """Blanks out the comments of C++ `code` (keeping line breaks) and returns
    it with its string literals as (text, start, end): start is the offset of
    the opening quote, end the offset just after the closing one. Character
    literals are skipped; raw string literals are not used in the program."""
    out = list(code)
    literals = []
    i, n = 0, len(code)
    while i < n:
        c = code[i]
        following = code[i + 1] if i + 1 < n else ""
        if c == "/" and following == "/":
            while i < n and code[i] != "\n":
                out[i] = " "
                i += 1
        elif c == "/" and following == "*":
            close = code.find("*/", i + 2)
            stop = n if close < 0 else close + 2
            for j in range(i, stop):
                if out[j] != "\n":
                    out[j] = " "
            i = stop
        elif c in "\"'":
            start = i
            text = []
            i += 1
            while i < n and code[i] != c:
                if code[i] == "\\" and i + 1 < n:
                    i += 1  # the escaped character stands for itself
                text.append(code[i])
                i += 1
            i += 1
            if c == '"':
                literals.append(("".join(text), start, i))
        else:
            i += 1
    return "".join(out), literals


def is_marked(code, literals, start):
    """Whether the literal at `start` is an argument of a marking call: walking
    back over blanks and the literals before it (adjacent pieces of one text,
    or the context of translate), the call's opening parenthesis must follow
    one of the marking names."""
    ends = {end: begin for _, begin, end in literals}
    i = start - 1
    while True:
        while i >= 0 and code[i].isspace():
            i -= 1
        if i < 0:
            return False
        if code[i] in "\",":
            if code[i] == ",":
                i -= 1
                while i >= 0 and code[i].isspace():
                    i -= 1
            if i + 1 not in ends:
                return False
            i = ends[i + 1] - 1
            continue
        if code[i] != "(":
            return False
        i -= 1
        while i >= 0 and code[i].isspace():
            i -= 1
        name_end = i + 1
        while i >= 0 and (code[i].isalnum() or code[i] == "_"):
            i -= 1
        return code[i + 1:name_end] in MARKERS


def bare_texts(path, source):
    code, literals = scan(source)
    for text, start, _ in literals:
        if HAN.search(text) and not text.startswith(":/") and not is_marked(code, literals, start):
            yield "%s:%d: \"%s\"" % (path, source.count("\n", 0, start) + 1, text)


def self_test():
    cases = [
        ('label->setText(tr("名称"));', True),
        ('tr (  "名称" )', True),
        ('QCoreApplication::translate("Box", "名称")', True),
        ('translate("Box",\n    "名称")', True),
        ('tr("第一行"\n   "第二行")', True),
        ('QT_TRANSLATE_NOOP("Box", "名称")', True),
        ('label->setText("名称");', False),
        ('QString("名称").arg(x)', False),
        ('attr("名称")', False),
        ('make("x", "名称")', False),
    ]
    failures = 0
    for code, marked in cases:
        stripped, literals = scan(code)
        if not literals or is_marked(stripped, literals, literals[-1][1]) != marked:
            print("scanner wrong on: %r" % code)
            failures += 1
    _, literals = scan('// "名称"\n/* "是否" */ x = \'a\'; y = "\\"q\\"";')
    if [text for text, _, _ in literals] != ['"q"']:
        print("scanner does not skip comments and character literals: %r" % literals)
        failures += 1
    return failures


def main():
    if sys.argv[1:] == ["--self-test"]:
        return 1 if self_test() else 0
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    bare = []
    files = 0
    for folder in PROGRAM_FOLDERS:
        for where, _, names in os.walk(os.path.join(root, folder)):
            for name in sorted(names):
                if name.endswith((".cpp", ".h")):
                    path = os.path.join(where, name)
                    files += 1
                    with open(path, encoding="utf-8") as source:
                        bare.extend(bare_texts(os.path.relpath(path, root), source.read()))
    if files < 50:
        print("only %d source files found under %s" % (files, root))
        return 1
    for line in bare:
        print("outside tr(): " + line)
    return 1 if bare else 0


if __name__ == "__main__":
    sys.exit(main())
