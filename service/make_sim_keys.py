#!/usr/bin/env python3
"""Writes the simulated keyboard's key list from the skin's key table.

usage: make_sim_keys.py KeyTable.txt out.inc

One line per device key code, in table order (a code that two buttons share is
listed once): {scan code, prefix flag, default scan code, default prefix flag}.
"""
import sys


def parse_sequence(text):
    codes = [int(b, 16) for b in text.split('+')]
    if not 1 <= len(codes) <= 10:
        raise ValueError('bad sequence ' + text)
    flag = {0xE0: 1, 0xE1: 2}.get(codes[0], 0)
    if flag and len(codes) < 2:
        raise ValueError('prefix without a code: ' + text)
    return codes[-1], flag


def main(table, out):
    rows, seen = [], set()
    with open(table, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            line = line.split('#', 1)[0].strip()
            if not line:
                continue
            cols = line.split()
            if len(cols) != 6:
                raise SystemExit('%s:%d: six columns expected' % (table, number))
            scan, flag = parse_sequence(cols[2])
            dscan, dflag = (scan, flag) if cols[5] == '=' else parse_sequence(cols[5])
            group = {1: 2, 2: 4}.get(flag, 0)
            code = scan | (group << 16)
            if code in seen:
                continue
            seen.add(code)
            rows.append('{0x%02X, %d, 0x%02X, %d},  // %s' % (scan, flag, dscan, dflag, cols[1]))
    with open(out, 'w', encoding='utf-8') as f:
        f.write('// Written by make_sim_keys.py from the skin\'s key table; do not edit.\n')
        f.write('\n'.join(rows) + '\n')


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
