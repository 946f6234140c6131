#!/usr/bin/env python3
"""Draws the English (US) key page from the key table and the key geometry.

usage: make_layout_page.py KeyTable.txt KeyGeometry.txt OUT_XML SVG_DIR

Writes the layout page (a KEYBOARD skin file) and four keyboard-wide pictures as
SVG (normal, hovered, assigned and the mask that cuts each key's shape), which
the build turns into the skin's BMP images. Fails, writing nothing, when the two
tables disagree: a key missing from either, a key twice, keys that overlap.
"""
import sys
from xml.sax.saxutils import escape, quoteattr

UNIT = 38        # pixels per key unit
MARGIN = 8       # around the keys
GAP = 3          # between neighbouring keys
PAGE_LEFT, PAGE_TOP = 37, 268  # where the picture lies in the main window: inside the page area
PREFIX = 'BUTTON_KB_'

# The label drawn on each key; a key not listed shows its own name.
LABELS = {
    'ESC': 'Esc', 'PRTSC': 'PrtSc', 'SCRLK': 'ScrLk', 'PAUSE': 'Pause', 'TILDE': '`',
    'MINUS': '-', 'PLUS': '=', 'BKSPC': 'Bksp', 'INSRT': 'Ins', 'HOME': 'Home', 'PGUP': 'PgUp',
    'NUMLK': 'Num', 'NUMSH': '/', 'NUMSR': '*', 'NUMMS': '-', 'TAB': 'Tab', 'LTCRBKT': '[',
    'RTCRBKT': ']', 'VRTLINE': '\\', 'DEL': 'Del', 'END': 'End', 'PGDOWN': 'PgDn', 'NUMPLUS': '+',
    'CAPSLK': 'Caps', 'COLON': ';', 'QUOTN': "'", 'EU1_NOTE2': '#', 'ENTER': 'Enter',
    'BRAZIL_NUM_DECIMAL': ',', 'LTSHFT': 'Shift', 'EU2_NOTE2': '<', 'LESSTHN': ',', 'GRTRTHN': '.',
    'QTNMRK': '/', 'INTL1_RO': 'Ro', 'RTSHFT': 'Shift', 'UPARW': '\u2191', 'NUMENTR': 'Ent',
    'LTCTRL': 'Ctrl', 'LTWIN': 'Win', 'LTALT': 'Alt', 'INTL5_MUHENKAN': 'Muhen', 'SPACE': '',
    'INTL4_HENKAN': 'Henk', 'INTL2_KATA_HIRA': 'Kana', 'RTALT': 'Alt', 'RTWIN': 'Win', 'QXR': 'QXR',
    'MENU': 'Menu', 'RTCTRL': 'Ctrl', 'LTARW': '\u2190', 'DWNARW': '\u2193', 'RTARW': '\u2192',
    'NUM_PT': '.', 'INTL2_YEN': '\u00a5', 'LANG2_HANJA': 'Hanja', 'LANG1_HANG_ENG': 'H/E',
    'LMCR1': 'M1', 'LMCR2': 'M2', 'LMCR3': 'M3', 'LMCR4': 'M4', 'LMCR5': 'M5',
}
for n in range(10):
    LABELS['NUM%d' % n] = str(n)

# Keys that Wine's X keymap (and some Windows layouts) give no name: the page
# names them through a language key of their own.
TOOLTIPS = {
    'LMCR1': '$KEY_F13', 'LMCR2': '$KEY_F14', 'LMCR3': '$KEY_F15', 'LMCR4': '$KEY_F16',
    'LMCR5': '$KEY_F17', 'QXR': '$KEY_F18', 'EU1_NOTE2': '$KEY_EU1', 'EU2_NOTE2': '$KEY_EU2',
    'INTL2_YEN': '$KEY_YEN', 'INTL2_KATA_HIRA': '$KEY_KATAKANA_HIRAGANA',
    'INTL5_MUHENKAN': '$KEY_MUHENKAN', 'INTL4_HENKAN': '$KEY_HENKAN', 'INTL1_RO': '$KEY_RO',
    'LANG2_HANJA': '$KEY_HANJA', 'LANG1_HANG_ENG': '$KEY_HANGUL', 'BRAZIL_NUM_DECIMAL': '$KEY_NUM_COMMA',
}

STATES = {  # image name: (key face, label)
    'KeyboardEnglish_Normal': ('#2b2b2b', '#d8d8d8'),
    'KeyboardEnglish_Over': ('#3d6aa8', '#ffffff'),
    'KeyboardEnglish_Down': ('#c57700', '#ffffff'),
}
MASK = 'KeyboardEnglish_Mask'


def fail(message):
    sys.exit('make_layout_page: ' + message)


def read_rows(path, columns):
    rows = []
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            line = line.split('#', 1)[0].strip()
            if not line:
                continue
            parts = line.split()
            if len(parts) != columns:
                fail('%s:%d: %d columns expected' % (path, number, columns))
            rows.append((number, parts))
    return rows


def main(key_table, geometry, out_xml, svg_dir):
    keys = []  # (element, key name) in table order
    for number, parts in read_rows(key_table, 6):
        if not parts[0].startswith(PREFIX):
            fail('%s:%d: %s is no key button' % (key_table, number, parts[0]))
        keys.append((parts[0], parts[1]))
    places = {}
    for number, parts in read_rows(geometry, 5):
        element = PREFIX + parts[0]
        if element in places:
            fail('%s:%d: %s placed twice' % (geometry, number, parts[0]))
        try:
            x, y, w, h = (float(v) for v in parts[1:])
        except ValueError:
            fail('%s:%d: numbers expected' % (geometry, number))
        if w <= 0 or h <= 0 or x < 0 or y < 0:
            fail('%s:%d: a key needs a place and a size' % (geometry, number))
        places[element] = (x, y, w, h)
    elements = [e for e, _ in keys]
    if len(set(elements)) != len(elements):
        fail('a key button appears twice in the key table')
    missing = [e for e in elements if e not in places]
    extra = [e for e in places if e not in set(elements)]
    if missing or extra:
        fail('tables disagree: not placed %s, not a key %s' % (missing, extra))

    rects = {}
    for element in elements:
        x, y, w, h = places[element]
        left = MARGIN + round(x * UNIT) + GAP // 2
        top = MARGIN + round(y * UNIT) + GAP // 2
        rects[element] = (left, top, round(w * UNIT) - GAP, round(h * UNIT) - GAP)
    names = list(rects)
    for i, a in enumerate(names):
        al, at, aw, ah = rects[a]
        for b in names[i + 1:]:
            bl, bt, bw, bh = rects[b]
            if al < bl + bw and bl < al + aw and at < bt + bh and bt < at + ah:
                fail('%s and %s overlap' % (a, b))
    width = max(l + w for l, _, w, _ in rects.values()) + MARGIN
    height = max(t + h for _, t, _, h in rects.values()) + MARGIN

    def svg(face, label, mask):
        out = ['<?xml version="1.0" encoding="UTF-8"?>',
               '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
               % (width, height, width, height),
               '<rect width="%d" height="%d" fill="%s"/>' % (width, height, '#ffffff' if mask else '#101010')]
        for element in elements:
            l, t, w, h = rects[element]
            out.append('<rect x="%d" y="%d" width="%d" height="%d" rx="4" fill="%s"/>'
                       % (l, t, w, h, '#000000' if mask else face))
            short = element[len(PREFIX):]
            text = LABELS.get(short, short)
            if not mask and text:
                size = 13 if len(text) <= 2 else 10 if len(text) <= 4 else 9
                out.append('<text x="%d" y="%d" font-family="DejaVu Sans" font-size="%d" fill="%s" '
                           'text-anchor="middle">%s</text>' % (l + w // 2, t + h // 2 + size // 3, size, label,
                                                               escape(text)))
        out.append('</svg>')
        return '\n'.join(out) + '\n'

    for name, (face, label) in STATES.items():
        with open('%s/%s.svg' % (svg_dir, name), 'w', encoding='utf-8') as f:
            f.write(svg(face, label, False))
    with open('%s/%s.svg' % (svg_dir, MASK), 'w', encoding='utf-8') as f:
        f.write(svg(None, None, True))

    def images(indent):
        return ''.join('%s<%s>%s.bmp</%s>\n' % (indent, tag, name, tag) for tag, name in
                       (('SBMN', 'KeyboardEnglish_Normal'), ('SBMO', 'KeyboardEnglish_Over'),
                        ('SBMD', 'KeyboardEnglish_Down'), ('SBMM', MASK)))

    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<!-- The English (US) key page, drawn by the build from KeyTable.txt and',
           '     KeyGeometry.txt (scripts/make_layout_page.py): edit those, not this file. -->',
           '<KEYBOARD>',
           '  <KEYBOARDDEF name="KBDDEF_WINDOWS" file="KeyDefinitions.bin" kbddefaults="KeyDefaults_US.bin"/>',
           '  <BITMAPLIST>',
           '    <BITMAPITEM name="BITMAP_MECHKBD">',
           '      <SBMN>KeyboardEnglish_Normal.bmp</SBMN>',
           '      <RECT left="%d" top="%d" right="%d" bottom="%d"/>' % (PAGE_LEFT, PAGE_TOP, width, height),
           '    </BITMAPITEM>',
           '  </BITMAPLIST>',
           '  <KBDKEYLIST windowid="BITMAP_MECHKBD">',
           '    <BUTTONBITMAPS>',
           images('      ').rstrip('\n'),
           '    </BUTTONBITMAPS>']
    for element, key_name in keys:
        l, t, w, h = rects[element]
        short = element[len(PREFIX):]
        picture = element if short == 'BRAZIL_NUM_DECIMAL' else 'BITMAP_KB_' + short
        tooltip = ' tooltip=%s' % quoteattr(TOOLTIPS[short]) if short in TOOLTIPS else ''
        out.append('    <KBDKEY name="%s" kbddefid=%s%s>' % (element, quoteattr(key_name), tooltip))
        out.append('      <RECT left="%d" top="%d" right="%d" bottom="%d"/>' % (l, t, w, h))
        out.append('      <BMPINFO name="%s">' % picture)
        out.append(images('        ').rstrip('\n'))
        out.append('        <RECT left="%d" top="%d" right="%d" bottom="%d"/>' % (l, t, w, h))
        out.append('      </BMPINFO>')
        out.append('    </KBDKEY>')
    out += ['  </KBDKEYLIST>', '</KEYBOARD>']
    with open(out_xml, 'w', encoding='utf-8') as f:
        f.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
