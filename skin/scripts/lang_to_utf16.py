#!/usr/bin/env python3
"""Writes a language text file as the programs read it (UTF-16 little-endian with
a byte-order mark, lines ended by CR LF) from its readable UTF-8 source."""
import sys


def main() -> int:
    if len(sys.argv) != 3:
        print("usage: lang_to_utf16.py SOURCE.txt OUTPUT.txt", file=sys.stderr)
        return 2
    with open(sys.argv[1], encoding="utf-8") as source:
        lines = source.read().splitlines()
    text = "\ufeff" + "".join(line + "\r\n" for line in lines)
    with open(sys.argv[2], "wb") as output:
        output.write(text.encode("utf-16-le"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
