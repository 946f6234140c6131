#!/usr/bin/env python3
"""Writes the key-definition file and the key-defaults file from skin/KeyTable.txt.

usage: make_key_files.py TABLE DEFINITIONS_OUT DEFAULTS_OUT

The table's header comment describes its columns. Both outputs are little-endian:
  definitions: uint32 count, then per key: uint32 name bytes, UTF-16LE name,
               int16 value1, int16 value2, 4 code blocks of 10 entries
               {int16 code, uint8 flag, uint8 0}; block 0 is the key's sequence.
  defaults:    uint32 count, then per key {uint32 key id, uint32 scan code | flag << 16}.
"""
import struct
import sys

PREFIX_FLAGS = {0xE0: 1, 0xE1: 2}
BLOCKS = 4
CODES_PER_BLOCK = 10


class TableError(Exception):
    pass


def hash_key_name(name):
    """The key id: djb2 over the UTF-16 units, 32-bit wrap-around, signed."""
    data = name.encode("utf-16-le")
    value = 5381
    for i in range(0, len(data), 2):
        value = (value * 33 + (data[i] | data[i + 1] << 8)) & 0xFFFFFFFF
    return value - (1 << 32) if value >= 1 << 31 else value


def parse_sequence(text):
    """'E0+1D' -> [(0xE0, 1), (0x1D, 0)]."""
    entries = []
    for index, token in enumerate(text.split("+")):
        if len(token) != 2:
            raise TableError("bad code %r in %r" % (token, text))
        try:
            code = int(token, 16)
        except ValueError:
            raise TableError("bad code %r in %r" % (token, text))
        if index == 0 and code in PREFIX_FLAGS:
            entries.append((code, PREFIX_FLAGS[code]))
        else:
            if code == 0:
                raise TableError("code 00 ends a sequence early in %r" % text)
            entries.append((code, 0))
    if len(entries) > CODES_PER_BLOCK:
        raise TableError("more than %d codes in %r" % (CODES_PER_BLOCK, text))
    if entries[0][1] != 0 and len(entries) < 2:
        raise TableError("a prefix without a code in %r" % text)
    return entries


def derive(entries):
    """{scan code, flag} as the program derives it from a sequence."""
    if entries[0][1] == 0:
        return entries[0][0], 0
    return entries[-1][0], entries[0][1]


def read_table(path):
    keys = []
    seen_elements, seen_names, seen_ids = set(), set(), {}
    with open(path, encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            where = "%s:%d: " % (path, number)
            columns = line.split()
            if len(columns) != 6:
                raise TableError(where + "expected 6 columns, found %d" % len(columns))
            element, name, sequence, value1, value2, default = columns
            try:
                if not element.startswith("BUTTON_KB_") or element in seen_elements:
                    raise TableError("element %r is not a new BUTTON_KB_ element" % element)
                if name in seen_names:
                    raise TableError("name %r is listed twice" % name)
                key_id = hash_key_name(name)
                if key_id in seen_ids:
                    raise TableError("names %r and %r have the same key id" % (seen_ids[key_id], name))
                entries = parse_sequence(sequence)
                default_code = derive(entries if default == "=" else parse_sequence(default))
                values = (int(value1, 16), int(value2, 16))
                for value in values:
                    if not -0x8000 <= value <= 0x7FFF:
                        raise TableError("value %d does not fit 16 bits" % value)
            except (TableError, ValueError) as error:
                raise TableError(where + str(error))
            seen_elements.add(element)
            seen_names.add(name)
            seen_ids[key_id] = name
            keys.append((name, key_id, entries, values, default_code))
    if not keys:
        raise TableError(path + ": no keys")
    return keys


def definitions_file(keys):
    out = [struct.pack("<I", len(keys))]
    for name, _, entries, values, _ in keys:
        encoded = name.encode("utf-16-le")
        out.append(struct.pack("<I", len(encoded)))
        out.append(encoded)
        out.append(struct.pack("<hh", *values))
        for block in range(BLOCKS):
            codes = entries if block == 0 else []
            for index in range(CODES_PER_BLOCK):
                code, flag = codes[index] if index < len(codes) else (0, 0)
                out.append(struct.pack("<hBB", code, flag, 0))
    return b"".join(out)


def defaults_file(keys):
    out = [struct.pack("<I", len(keys))]
    for _, key_id, _, _, (code, flag) in keys:
        out.append(struct.pack("<iI", key_id, code | flag << 16))
    return b"".join(out)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    try:
        keys = read_table(argv[1])
    except (OSError, TableError) as error:
        sys.stderr.write("make_key_files: %s\n" % error)
        return 1
    for path, data in ((argv[2], definitions_file(keys)), (argv[3], defaults_file(keys))):
        with open(path, "wb") as output:
            output.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
