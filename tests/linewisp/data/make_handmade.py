#!/usr/bin/env python3
# Writes two metafiles by hand, record by record as [MS-WMF] lays them out,
# for the record kinds that LibreOffice's exporter never emits (it turns every
# shape into polygons): rectangles, ellipses, arcs, pies, chords, hatched and
# hollow brushes, null pens, ExtTextOut with a clip box, TextOut, object slot
# reuse, a window origin away from 0 and a y axis that runs upwards.
#
#   primitives.wmf  placeable, 1440 units per inch, origin (0, 0)
#   origin.wmf      placeable, bounding box (1000, 2000)-(2000, 3000) with a
#                   window origin at its bottom and the y axis flipped
import struct, sys, os

def rec(fn, *words):
    return struct.pack('<IH', 3 + len(words), fn) + b''.join(struct.pack('<h', w) for w in words)

def rec_bytes(fn, data):
    if len(data) % 2: data += b'\0'
    return struct.pack('<IH', 3 + len(data) // 2, fn) + data

def colour(r, g, b):
    c = r | (g << 8) | (b << 16)
    return [c & 0xFFFF if c & 0xFFFF < 0x8000 else (c & 0xFFFF) - 0x10000, c >> 16]

def pen(style, r, g, b, width=1):
    return rec(0x02FA, style, width, 0, *colour(r, g, b))

def brush(style, r, g, b, hatch=0):
    return rec(0x02FC, style, *colour(r, g, b), hatch)

def font(height, weight, face, escapement=0):
    lf = struct.pack('<hhhhhBBBBBBBB', height, 0, escapement, escapement, weight, 0, 0, 0, 0, 0, 0, 0, 0)
    return rec_bytes(0x02FB, lf + face.encode() + b'\0')

def ext_text(x, y, box, text):
    data = struct.pack('<hhhH', y, x, len(text), 0x0004) + struct.pack('<hhhh', *box) + text.encode()
    return rec_bytes(0x0A32, data)

def text_out(x, y, text):
    t = text.encode()
    if len(t) % 2: t += b'\0'
    return rec_bytes(0x0521, struct.pack('<h', len(text)) + t + struct.pack('<hh', y, x))

def select(i): return rec(0x012D, i)
def delete(i): return rec(0x01F0, i)
def box_rec(fn, l, t, r, b): return rec(fn, b, r, t, l)
def arc_rec(fn, l, t, r, b, xs, ys, xe, ye): return rec(fn, ye, xe, ys, xs, b, r, t, l)
def poly(fn, pts): return rec(fn, len(pts), *[v for p in pts for v in p])

def metafile(bbox, inch, records):
    body = b''.join(records) + rec(0)
    nobj = 8
    maxrec = max(struct.unpack_from('<I', body, i)[0] for i in offsets(body))
    head = struct.pack('<HHHIHIH', 1, 9, 0x0300, (18 + len(body)) // 2, nobj, maxrec, 0)
    ph = struct.pack('<IHhhhhHI', 0x9AC6CDD7, 0, *bbox, inch, 0)
    cs = 0
    for i in range(0, 20, 2): cs ^= struct.unpack_from('<H', ph, i)[0]
    return ph + struct.pack('<H', cs) + head + body

def offsets(body):
    i = 0
    while i < len(body):
        yield i
        i += struct.unpack_from('<I', body, i)[0] * 2

def primitives():
    r = [rec(0x020B, 0, 0), rec(0x020C, 1500, 2000), rec(0x0201, *colour(255, 255, 255))]
    # Slot 0: background brush; slot 1: null pen. The first rectangle covers
    # the bounding box: it is the picture's background.
    r += [brush(0, 235, 235, 220), select(0), pen(5, 0, 0, 0), select(1)]
    r += [box_rec(0x041B, 0, 0, 2000, 1500)]
    # Slot 0 freed and reused for a black pen; slot 2 a blue brush.
    r += [delete(0), pen(0, 0, 0, 0), select(0), brush(0, 40, 80, 200), select(2)]
    r += [box_rec(0x041B, 100, 100, 600, 500)]
    # Ellipse with the null pen (slot 1).
    r += [select(1), delete(2), brush(0, 220, 50, 30), select(2)]
    r += [box_rec(0x0418, 700, 100, 1300, 500)]
    # Pie and chord with a dark green pen.
    r += [delete(0), pen(0, 0, 80, 0), select(0), delete(2), brush(0, 60, 180, 60), select(2)]
    r += [arc_rec(0x081A, 100, 600, 600, 1100, 600, 850, 350, 600)]
    r += [delete(2), brush(0, 250, 200, 40), select(2)]
    r += [arc_rec(0x0830, 700, 600, 1300, 1000, 1300, 700, 700, 700)]
    # Arc with a magenta pen.
    r += [delete(0), pen(0, 180, 0, 180), select(0)]
    r += [arc_rec(0x0817, 1400, 100, 1900, 600, 1900, 350, 1650, 100)]
    # A hollow brush: a frame with only its outline.
    r += [delete(2), brush(1, 0, 0, 0), select(2)]
    r += [box_rec(0x041B, 1400, 650, 1900, 1000)]
    # A poly-polygon with a hole and a polyline.
    r += [delete(2), brush(0, 120, 60, 160), select(2)]
    outer = [(100, 1150), (600, 1150), (600, 1450), (100, 1450)]
    inner = [(250, 1250), (450, 1250), (450, 1350), (250, 1350)]
    pts = outer + inner
    r += [rec(0x0538, 2, 4, 4, *[v for p in pts for v in p])]
    r += [poly(0x0325, [(700, 1450), (800, 1150), (900, 1450), (1000, 1150), (1100, 1450)])]
    # Text: ExtTextOut clipped to its box, and TextOut.
    r += [rec(0x0209, *colour(0, 0, 120)), rec(0x0102, 1), font(-120, 400, 'DejaVu Sans'), select(3)]
    r += [ext_text(1250, 1100, (1250, 1100, 1950, 1250), 'Linewisp')]
    r += [rec(0x0209, *colour(160, 0, 0)), text_out(1250, 1300, 'WMF')]
    return metafile((0, 0, 2000, 1500), 1440, r)

def origin():
    # Logical y runs upwards from the bounding box's bottom (3000).
    r = [rec(0x020B, 3000, 1000), rec(0x020C, -1000, 1000)]
    r += [pen(0, 0, 0, 0), select(0), brush(0, 30, 120, 200), select(1)]
    r += [poly(0x0324, [(1100, 2100), (1900, 2100), (1500, 2900)])]
    r += [delete(1), brush(0, 230, 160, 30), select(1)]
    r += [box_rec(0x041B, 1100, 2800, 1400, 2600)]
    r += [rec(0x0209, *colour(0, 0, 0)), rec(0x0102, 1), font(-100, 700, 'DejaVu Sans'), select(2)]
    r += [text_out(1450, 2800, 'up')]
    return metafile((1000, 2000, 2000, 3000), 1000, r)

out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
open(os.path.join(out, 'primitives.wmf'), 'wb').write(primitives())
open(os.path.join(out, 'origin.wmf'), 'wb').write(origin())
