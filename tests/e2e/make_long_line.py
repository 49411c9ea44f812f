#!/usr/bin/env python3
"""Writes the answers of a case that holds one very long line, for run_case.py's
"generate" option:

  make_long_line.py OUTDIR HEAD FILL SIZE TAIL

stdin.txt is HEAD, then FILL repeated until SIZE bytes of it are written, then
TAIL. The texts take backslash escapes (\\n, \\t, \\x00)."""
import codecs
import os
import sys


def text(arg):
    return codecs.decode(arg, "unicode_escape").encode("latin-1")


def main():
    out, head, fill, size, tail = sys.argv[1], text(sys.argv[2]), text(sys.argv[3]), int(sys.argv[4]), text(sys.argv[5])
    chunk = fill * max(1, (1 << 20) // len(fill))
    with open(os.path.join(out, "stdin.txt"), "wb") as f:
        f.write(head)
        written = 0
        while written + len(chunk) <= size:
            f.write(chunk)
            written += len(chunk)
        f.write(fill * ((size - written) // len(fill)))
        f.write(tail)


if __name__ == "__main__":
    main()
