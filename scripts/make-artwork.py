#!/usr/bin/env python3
"""Draws the pictures of A_Tavrel into platform/win32/res/.

Every picture exists twice: at 1x for 96 DPI and at 2x (file name with
"@2x") for 192 DPI. The 2x picture is drawn at its own size, never enlarged
from the 1x one. Smooth shapes are drawn eight times larger and reduced with
a Lanczos filter; the tiny pictures (the title-strip buttons at 1x and the
16-colour icons) are pixel art kept below as character maps.

Bitmaps are written as every Windows from 95 on loads them: palettized,
4-bit when 16 colours are enough, else 8-bit, run-length encoded (BI_RLE8)
where that is smaller. Windows 95 and NT 4.0 have no alpha blending, so a
picture with transparent parts marks them with one key colour (KEY, pure
magenta, which no drawn pixel may come near) and the program masks that
colour out. Its soft edges and shadows are laid over the very pixels the
picture will stand on (the panel or the About window's ground, at the spot
where the program places it), so they blend without any alpha at run time.
The icon file is written by hand as well. Each file is read back, decoded
and checked after writing.

The output is the same, byte for byte, on every run: no randomness, no time
stamps. The build does not run this script; its output is committed.

Usage: /usr/bin/python3 scripts/make-artwork.py [output folder]
Needs Python 3 and Pillow (Debian: python3-pil).
"""
import math
import os
import struct
import sys

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter
except ImportError:
    sys.exit('make-artwork: needs Pillow; on Debian: apt-get install python3-pil, '
             'then run this with /usr/bin/python3')

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.join(HERE, os.pardir, 'platform', 'win32', 'res')

# Drawing is done this many times larger than the result.
SUPERSAMPLE = 8

# --------------------------------------------------------------------------
# Colours shared by the pictures.

PANEL = (64, 64, 64)             # the main window's back colour
TEAL = (38, 170, 160)            # the accent
TEAL_DARK = (22, 110, 104)
GLYPH = (24, 40, 96)             # title-strip button glyphs (navy slate)
SYNC_GREEN = (128, 255, 128)     # the running state
NAVY = (24, 36, 88)


def mix(a, b, t):
    """The colour a part t of the way from a to b."""
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def shade(c, d):
    """c made lighter (d > 0) or darker (d < 0) by d levels."""
    return tuple(max(0, min(255, x + d)) for x in c)


# --------------------------------------------------------------------------
# Smooth drawing.

class Sketch:
    """A transparent drawing surface in picture units.

    One unit is one pixel of the 1x picture; `scale` is 1 for the 1x picture,
    2 for the 2x one (any factor works). Shapes are painted on a surface
    SUPERSAMPLE times larger and layered with alpha compositing; result()
    reduces the surface to the picture's size.
    """

    def __init__(self, width, height, scale=1, ss=SUPERSAMPLE):
        self.width, self.height = width, height
        self.scale = scale
        self.k = scale * ss
        self.size = (int(round(width * scale)), int(round(height * scale)))
        self.big = (self.size[0] * ss, self.size[1] * ss)
        self.img = Image.new('RGBA', self.big, (0, 0, 0, 0))

    # -- coordinates
    def p(self, x, y):
        return (x * self.k, y * self.k)

    def pts(self, points):
        return [self.p(x, y) for x, y in points]

    # -- painting
    def mask(self):
        return Image.new('L', self.big, 0)

    def paint(self, mask, paint, alpha=1.0):
        """Lays `paint` (a colour or an RGBA image of the surface's size)
        over the surface where `mask` is set."""
        if isinstance(paint, Image.Image):
            layer = paint.copy()
            a = ImageChops.multiply(layer.getchannel('A'), mask)
        else:
            c = tuple(paint[:3])
            base_a = paint[3] if len(paint) > 3 else 255
            layer = Image.new('RGBA', self.big, c + (255,))
            a = mask if base_a == 255 else mask.point(lambda v: v * base_a // 255)
        if alpha < 1.0:
            a = a.point(lambda v: int(round(v * alpha)))
        layer.putalpha(a)
        self.img = Image.alpha_composite(self.img, layer)

    def shape(self, draw_fn, paint, alpha=1.0):
        m = self.mask()
        draw_fn(ImageDraw.Draw(m))
        self.paint(m, paint, alpha)
        return m

    def circle(self, cx, cy, r, paint, alpha=1.0):
        k = self.k
        return self.shape(lambda d: d.ellipse(
            [(cx - r) * k, (cy - r) * k, (cx + r) * k - 1, (cy + r) * k - 1], fill=255),
            paint, alpha)

    def ellipse(self, x0, y0, x1, y1, paint, alpha=1.0):
        k = self.k
        return self.shape(lambda d: d.ellipse([x0 * k, y0 * k, x1 * k - 1, y1 * k - 1], fill=255),
                          paint, alpha)

    def ring(self, cx, cy, r0, r1, paint, alpha=1.0):
        k = self.k
        m = self.mask()
        d = ImageDraw.Draw(m)
        d.ellipse([(cx - r1) * k, (cy - r1) * k, (cx + r1) * k - 1, (cy + r1) * k - 1], fill=255)
        d.ellipse([(cx - r0) * k, (cy - r0) * k, (cx + r0) * k - 1, (cy + r0) * k - 1], fill=0)
        self.paint(m, paint, alpha)
        return m

    def polygon(self, points, paint, alpha=1.0):
        return self.shape(lambda d: d.polygon(self.pts(points), fill=255), paint, alpha)

    def rect(self, x0, y0, x1, y1, paint, alpha=1.0, radius=0):
        k = self.k
        if radius:
            fn = lambda d: d.rounded_rectangle([x0 * k, y0 * k, x1 * k - 1, y1 * k - 1],
                                               radius=radius * k, fill=255)
        else:
            fn = lambda d: d.rectangle([x0 * k, y0 * k, x1 * k - 1, y1 * k - 1], fill=255)
        return self.shape(fn, paint, alpha)

    def line(self, points, width, paint, alpha=1.0, caps=True):
        """A polyline `width` units wide with round joints and caps."""
        k = self.k

        def fn(d):
            pp = self.pts(points)
            d.line(pp, fill=255, width=max(1, int(round(width * k))), joint='curve')
            if caps:
                r = width * k / 2
                for x, y in (pp[0], pp[-1]):
                    d.ellipse([x - r, y - r, x + r - 1, y + r - 1], fill=255)
        return self.shape(fn, paint, alpha)

    def sector(self, cx, cy, r0, r1, a0, a1, paint, alpha=1.0):
        """The part of the ring r0..r1 from angle a0 to a1 (degrees,
        clockwise from twelve o'clock)."""
        return self.polygon(arc_points(cx, cy, r1, a0, a1) +
                            arc_points(cx, cy, r0, a1, a0), paint, alpha)

    def shadow(self, mask, dx, dy, blur, alpha):
        """A soft black shadow of `mask`, moved by dx, dy units."""
        k = self.k
        m = mask.transform(self.big, Image.AFFINE, (1, 0, -dx * k, 0, 1, -dy * k))
        m = m.filter(ImageFilter.GaussianBlur(blur * k))
        self.paint(m, (0, 0, 0), alpha)

    # -- gradients (as RGBA images of the surface's size)
    def linear(self, x0, y0, x1, y1, stops):
        vx, vy = x1 - x0, y1 - y0
        n = vx * vx + vy * vy

        def t_of(x, y):
            return ((x - x0) * vx + (y - y0) * vy) / n
        return self._gradient(t_of, stops)

    def radial(self, cx, cy, r, stops):
        return self._gradient(lambda x, y: math.hypot(x - cx, y - cy) / r, stops)

    def _gradient(self, t_of, stops):
        # The parameter is worked out on a grid of a quarter of a unit and
        # stretched smoothly; the colours come from a 256-entry table.
        g = 4
        w, h = int(math.ceil(self.width * g)) + 1, int(math.ceil(self.height * g)) + 1
        data = bytes(max(0, min(255, int(round(t_of(x / g, y / g) * 255))))
                     for y in range(h) for x in range(w))
        t = Image.frombytes('L', (w, h), data)
        t = t.transform(self.big, Image.EXTENT,
                        (0, 0, self.big[0] / (self.k / g), self.big[1] / (self.k / g)),
                        Image.BILINEAR)
        bands = []
        for ch in range(4):
            lut = [_stop_colour(stops, i / 255)[ch] for i in range(256)]
            bands.append(t.point(lut))
        return Image.merge('RGBA', bands)

    def result(self):
        """The picture at its size, premultiplied (Pillow mode 'RGBa')."""
        return self.img.convert('RGBa').resize(self.size, Image.LANCZOS)


def _stop_colour(stops, t):
    """The colour at t of a gradient with stops [(t, colour), ...]."""
    stops = [(s, c if len(c) == 4 else tuple(c) + (255,)) for s, c in stops]
    if t <= stops[0][0]:
        return stops[0][1]
    for (s0, c0), (s1, c1) in zip(stops, stops[1:]):
        if t <= s1:
            return mix(c0, c1, (t - s0) / (s1 - s0) if s1 > s0 else 1)
    return stops[-1][1]


def arc_points(cx, cy, r, a0, a1, step=2.0):
    n = max(2, int(abs(a1 - a0) / step) + 1)
    out = []
    for i in range(n + 1):
        a = math.radians(a0 + (a1 - a0) * i / n)
        out.append((cx + r * math.sin(a), cy - r * math.cos(a)))
    return out


def polar(cx, cy, r, a):
    a = math.radians(a)
    return (cx + r * math.sin(a), cy - r * math.cos(a))


def premultiplied(img):
    """An 'RGBa' copy of an image given as RGBA, RGBa or RGB."""
    if img.mode == 'RGBa':
        return img
    return img.convert('RGBA').convert('RGBa')


def pixel_art(rows, colours):
    """A premultiplied picture from a character map; `colours` maps each
    character to (r, g, b, alpha) or None for a clear pixel."""
    h, w = len(rows), len(rows[0])
    img = Image.new('RGBA', (w, h), (0, 0, 0, 0))
    for y, row in enumerate(rows):
        assert len(row) == w, (y, row)
        for x, ch in enumerate(row):
            c = colours[ch]
            if c is not None:
                img.putpixel((x, y), c)
    return premultiplied(img)


# --------------------------------------------------------------------------
# Files.

def _dpi_to_ppm(dpi):
    return int(round(dpi / 0.0254))


# The colour that marks a picture's transparent pixels. At 16 bits per pixel
# a colour keeps only its top five or six bits, so no drawn colour may share
# those with the key either.
KEY = (255, 0, 255)

# A pixel of a transparent picture covered less than this (of 255) is left
# transparent: the faintest rim of a shadow is not worth a square edge.
OPAQUE_FROM = 12


def _near_key(c):
    return c[0] >= 248 and c[1] < 8 and c[2] >= 248


def palettize(img, keyed):
    """(palette, indexes) of an 'RGBA' picture whose alpha is 0 or 255 (keyed)
    or of an 'RGB' one. Exact when the colours fit, else a median-cut
    palette without dithering (dithering spoils the run-length coding and
    the pictures' calm gradients). The key, when used, is the last entry."""
    w, h = img.size
    rgb = img.convert('RGB')
    alpha = img.getchannel('A') if keyed else None
    clear = [a == 0 for a in alpha.getdata()] if keyed else [False] * (w * h)
    pixels = list(rgb.getdata())
    opaque = [c for c, t in zip(pixels, clear) if not t]
    room = 255 if keyed else 256
    colours = sorted(set(opaque))
    if len(colours) <= room:
        palette = colours
        index_of = {c: i for i, c in enumerate(palette)}
        indexes = [0 if t else index_of[c] for c, t in zip(pixels, clear)]
    else:
        filler = opaque[0]
        filled = Image.new('RGB', (w, h))
        filled.putdata([filler if t else c for c, t in zip(pixels, clear)])
        q = filled.quantize(colors=room, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
        flat = q.getpalette()[:room * 3]
        palette = [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
        indexes = list(q.getdata())
    assert not any(_near_key(c) for c in palette), 'a colour too close to the key'
    if keyed:
        key = len(palette)
        palette = palette + [KEY]
        indexes = [key if t else i for i, t in zip(indexes, clear)]
    return palette, indexes


def rle8(rows):
    """BI_RLE8 data of rows of indexes, given bottom row first: runs of equal
    bytes as (count, index), other stretches of three or more in absolute
    mode (0, count, bytes, padded to a word), an end of line after each row
    and an end of bitmap at the end."""
    out = bytearray()
    for n, row in enumerate(rows):
        i, w = 0, len(row)
        while i < w:
            j = i
            while j < w and j - i < 255 and row[j] == row[i]:
                j += 1
            if j - i >= 3 or j == w:
                out += bytes((j - i, row[i]))
                i = j
                continue
            # A literal stretch up to the next run of three.
            k = i
            while k < w and k - i < 255:
                if k + 2 < w and row[k] == row[k + 1] == row[k + 2]:
                    break
                k += 1
            if k - i < 3:
                for x in range(i, k):
                    out += bytes((1, row[x]))
            else:
                out += bytes((0, k - i)) + bytes(row[i:k])
                if (k - i) % 2:
                    out += b'\0'
            i = k
        out += b'\0\1' if n == len(rows) - 1 else b'\0\0'
    return bytes(out)


def unrle8(data, w, h):
    """The rows (bottom row first) of BI_RLE8 data; checks its structure."""
    rows, row, i = [], [], 0
    while True:
        count, value = data[i], data[i + 1]
        i += 2
        if count:
            row += [value] * count
        elif value == 0:
            rows.append(row)
            row = []
        elif value == 1:
            rows.append(row)
            break
        else:
            assert value != 2, 'no deltas are written'
            row += list(data[i:i + value])
            i += value + value % 2
    assert i == len(data) and len(rows) == h, 'RLE8 structure'
    assert all(len(r) == w for r in rows), 'RLE8 row length'
    return rows


def bmp_bytes(img, dpi, keyed):
    """A Windows BMP (file header, 40-byte BITMAPINFOHEADER, palette,
    bottom-up rows) of a picture: 4-bit or 8-bit, BI_RLE8 when smaller."""
    w, h = img.size
    palette, indexes = palettize(img, keyed)
    bits = 4 if len(palette) <= 16 else 8
    rows = [indexes[y * w:(y + 1) * w] for y in range(h - 1, -1, -1)]
    stride = (w * bits + 31) // 32 * 4
    plain = bytearray()
    for row in rows:
        if bits == 8:
            line = bytes(row)
        else:
            line = bytes((row[x] << 4) | (row[x + 1] if x + 1 < w else 0) for x in range(0, w, 2))
        plain += line + b'\0' * (stride - len(line))
    compression, data = 0, bytes(plain)
    if bits == 8:
        packed = rle8(rows)
        if len(packed) < len(data):
            compression, data = 1, packed
    ppm = _dpi_to_ppm(dpi)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, compression, len(data), ppm, ppm,
                       len(palette), 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    offset = 14 + len(info) + len(pal)
    head = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    return head + info + pal + data


def read_bmp(path):
    """Reads back a BMP written by bmp_bytes and checks its header. Returns
    (width, height, bits, compression, image as 'RGBA', key pixels clear)."""
    with open(path, 'rb') as f:
        blob = f.read()
    magic, size, r1, r2, offset = struct.unpack_from('<2sIHHI', blob, 0)
    (hsize, w, h, planes, bits, comp, isize,
     xppm, yppm, used, important) = struct.unpack_from('<IiiHHIIiiII', blob, 14)
    assert magic == b'BM' and size == len(blob) and r1 == r2 == 0, path
    assert hsize == 40 and planes == 1 and w > 0 and h > 0 and important == 0, path
    assert (bits, comp) in ((4, 0), (8, 0), (8, 1)), path
    assert 0 < used <= 1 << bits and offset == 54 + 4 * used, path
    assert offset + isize == len(blob), path
    palette = [struct.unpack_from('<BBBB', blob, 54 + 4 * i)[2::-1] for i in range(used)]
    data = blob[offset:]
    stride = (w * bits + 31) // 32 * 4
    if comp == 1:
        rows = unrle8(data, w, h)
    else:
        assert isize == stride * h, path
        rows = []
        for y in range(h):
            line = data[y * stride:(y + 1) * stride]
            if bits == 8:
                rows.append(list(line[:w]))
            else:
                rows.append([(line[x // 2] >> (4 if x % 2 == 0 else 0)) & 15 for x in range(w)])
    img = Image.new('RGBA', (w, h))
    img.putdata([palette[i] + ((0,) if palette[i] == KEY else (255,))
                 for row in reversed(rows) for i in row])
    return w, h, bits, comp, img


# The standard 16-colour palette, in the order 4-bit icons use it.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def _and_mask(w, h, clear):
    """The 1-bit AND mask, bottom-up, rows padded to 32 bits; `clear(x, y)`
    tells a transparent pixel."""
    stride = (w + 31) // 32 * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if clear(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def icon_entry_4bit(rows):
    """(width, height, colours, bits, data) of a 16-colour icon image from a
    map of palette indexes (None for transparent)."""
    h, w = len(rows), len(rows[0])
    stride = (w * 4 + 31) // 32 * 4
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            i = rows[y][x] or 0
            row[x // 2] |= i << 4 if x % 2 == 0 else i
        xor += row
    mask = _and_mask(w, h, lambda x, y: rows[y][x] is None)
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in VGA16)
    return (w, h, 16, 4, info + pal + bytes(xor) + mask)


def icon_entry_32bit(img):
    """The same for a 32-bit image (straight alpha, as icons want it)."""
    img = img.convert('RGBA')
    w, h = img.size
    raw = img.tobytes('raw', 'BGRA')
    xor = b''.join(raw[y * w * 4:(y + 1) * w * 4] for y in range(h - 1, -1, -1))
    alpha = img.getchannel('A')
    mask = _and_mask(w, h, lambda x, y: alpha.getpixel((x, y)) == 0)
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return (w, h, 0, 32, info + xor + mask)


# Before XP an icon has no alpha: a pixel is either drawn or clear. Its soft
# edges are laid on the button face, and a pixel is drawn from half opacity.
FACE = (192, 192, 192)
ICON_OPAQUE_FROM = 128


def icon_entry_8bit(img):
    """The same for a 256-colour image of a straight-alpha picture: the
    palette made from its own colours, soft edges laid on FACE (what the
    icon mostly stands on before XP: the button face and the taskbar),
    clear where it is more than half transparent."""
    img = img.convert('RGBA')
    w, h = img.size
    laid = Image.alpha_composite(Image.new('RGBA', img.size, FACE + (255,)), img).convert('RGB')
    clear = lambda x, y: img.getpixel((x, y))[3] < ICON_OPAQUE_FROM
    indexed = laid.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = indexed.getpalette()[:255 * 3]
    pal += [0] * (256 * 3 - len(pal))
    stride = (w + 3) // 4 * 4
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            row[x] = 0 if clear(x, y) else indexed.getpixel((x, y))
        xor += row
    mask = _and_mask(w, h, clear)
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
    rgbq = b''.join(struct.pack('<BBBB', pal[3 * i + 2], pal[3 * i + 1], pal[3 * i], 0) for i in range(256))
    return (w, h, 0, 8, info + rgbq + bytes(xor) + mask)


def icon_entry_4bit_from(img):
    """A 16-colour image of a straight-alpha picture: each pixel laid on
    FACE and given the nearest standard colour."""
    img = img.convert('RGBA')
    w, h = img.size
    laid = Image.alpha_composite(Image.new('RGBA', img.size, FACE + (255,)), img)
    nearest = lambda c: min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(VGA16[i], c[:3])))
    rows = [[None if img.getpixel((x, y))[3] < ICON_OPAQUE_FROM else nearest(laid.getpixel((x, y)))
             for x in range(w)] for y in range(h)]
    return icon_entry_4bit(rows)


def read_ico_32bit(path):
    """{size: 'RGBA' picture} of an icon file's 32-bit images."""
    with open(path, 'rb') as f:
        data = f.read()
    count = struct.unpack_from('<H', data, 4)[0]
    out = {}
    for i in range(count):
        w, h, _, _, _, bits, size, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
        w, h = w or 256, h or 256
        if bits != 32:
            continue
        xor = data[offset + 40:offset + 40 + w * h * 4]
        rows = [xor[(h - 1 - y) * w * 4:(h - y) * w * 4] for y in range(h)]
        out[w] = Image.frombytes('RGBA', (w, h), b''.join(rows), 'raw', 'BGRA')
    return out


def app_icon(path):
    """The program's icon: its 32-bit pictures (XP draws their alpha) and,
    for the systems before, 16- and 256-colour images with masks made from
    them, as stop.ico has."""
    pictures = read_ico_32bit(path)
    assert sorted(pictures) == [16, 32, 48], sorted(pictures)
    entries = [icon_entry_4bit_from(pictures[16]), icon_entry_4bit_from(pictures[32])]
    entries += [icon_entry_8bit(pictures[s]) for s in (16, 32, 48)]
    entries += [icon_entry_32bit(pictures[s]) for s in (16, 32, 48)]
    return ico_bytes(entries)


def ico_bytes(entries):
    head = struct.pack('<HHH', 0, 1, len(entries))
    offset = len(head) + 16 * len(entries)
    dirs, blobs = [], []
    for w, h, colours, bits, data in entries:
        dirs.append(struct.pack('<BBBBHHII', w % 256, h % 256, colours, 0, 1, bits,
                                len(data), offset))
        blobs.append(data)
        offset += len(data)
    return head + b''.join(dirs) + b''.join(blobs)


# --------------------------------------------------------------------------
# 1. The clock panel's background.

def draw_panel(s):
    """The compact clock panel, 273x116 units, at scale s (1 or 2).

    Top to bottom: the light title strip (rows 0..13, its last row a dark
    separation line); the dark inset display behind the clock row
    (rows 15..52); the information row; and from row 78 the control tray,
    set off by the thin teal accent line. Under text everything stays calm
    and dark enough for white text (contrast well above 7:1).
    """
    W, H = 273, 116
    img = Image.new('RGB', (W * s, H * s), PANEL)
    d = ImageDraw.Draw(img)

    def fill(x, y, w, h, c):
        d.rectangle([x * s, y * s, (x + w) * s - 1, (y + h) * s - 1], fill=c)

    def vgrad(x, y, w, h, c0, c1):
        for r in range(h * s):
            t = (r + 0.5) / (h * s)
            d.line([(x * s, y * s + r), ((x + w) * s - 1, y * s + r)], fill=mix(c0, c1, t))

    def hair(x0, x1, y, c, at=0):
        """A line one device pixel high in unit row y (at: which device row
        of the unit row at 2x)."""
        d.line([(x0 * s, y * s + at), ((x1 + 1) * s - 1, y * s + at)], fill=c)

    def vhair(x, y0, y1, c, at=0):
        d.line([(x * s + at, y0 * s), (x * s + at, (y1 + 1) * s - 1)], fill=c)

    # Title strip: light steel, brighter at the top, a crisp dark edge.
    vgrad(0, 0, W, 13, (238, 242, 247), (196, 205, 218))
    hair(0, W - 1, 0, (252, 253, 255))
    fill(0, 13, W, 1, (74, 84, 100))
    if s == 2:
        hair(0, W - 1, 13, (50, 57, 68), at=1)
    # The strip's ends.
    vhair(0, 0, 12, (172, 181, 195))
    vhair(W - 1, 0, 12, (160, 170, 185), at=s - 1)
    # A groove sets the three buttons at the right apart from the title.
    for y in range(2 * s, 12 * s):
        img.putpixel((238 * s, y), (150, 160, 176))
        img.putpixel((238 * s + 1, y), (250, 251, 253))

    # The dark body: graphite, a little lighter at the top.
    vgrad(0, 14, W, 64, (66, 67, 70), (60, 61, 64))

    # The display: an inset band behind the clock row, with a fine bevel.
    x0, y0, x1, y1 = 3, 15, 269, 52
    vgrad(x0, y0, x1 - x0 + 1, y1 - y0 + 1, (34, 36, 40), (42, 44, 48))
    hair(x0, x1, y0, (24, 25, 28))
    vhair(x0, y0, y1, (26, 27, 30))
    hair(x0, x1, y1, (80, 82, 86), at=s - 1)
    vhair(x1, y0, y1, (78, 80, 84), at=s - 1)
    if s == 2:
        hair(x0 + 1, x1, y0, (30, 31, 35), at=1)
        vhair(x0, y0 + 1, y1 - 1, (31, 32, 36), at=1)

    # The control tray under the information row, with the accent line.
    vgrad(0, 79, W, 36, (54, 55, 59), (49, 50, 54))
    fill(0, 78, W, 1, TEAL_DARK)
    hair(0, W - 1, 78, (40, 150, 142))
    for x in range(W * s):
        # The accent line fades out towards both ends.
        t = min(x, W * s - 1 - x) / (40.0 * s)
        if t < 1:
            for r in range(s):
                c = img.getpixel((x, 78 * s + r))
                img.putpixel((x, 78 * s + r), mix((60, 61, 64), c, t))
    # Bottom edge.
    fill(0, 115, W, 1, (34, 35, 38))
    if s == 2:
        hair(0, W - 1, 115, (42, 43, 46))
    # Left and right edges of the body.
    vhair(0, 14, 114, (44, 45, 48))
    vhair(W - 1, 14, 114, (40, 41, 44), at=s - 1)

    # A small teal lamp at the left of the title strip.
    sk = Sketch(16, 14, s)
    sk.circle(7.5, 6.5, 2.4, (60, 84, 96))
    sk.circle(7.5, 6.5, 1.8, sk.radial(7.0, 6.0, 2.2, [(0, (140, 236, 226)), (1, TEAL)]))
    lamp = sk.result().convert('RGBA')
    base = img.crop((0, 0, 16 * s, 14 * s)).convert('RGBA')
    img.paste(Image.alpha_composite(base, lamp).convert('RGB'), (0, 0))
    return img


# --------------------------------------------------------------------------
# 2. The title strip's buttons.

GLYPH_COLOURS = {
    '.': None,
    '#': GLYPH + (255,),
    '+': GLYPH + (150,),
    ':': GLYPH + (70,),
}

TRAY_SEND_1X = [
    '..........',
    '....##....',
    '....##....',
    '....##....',
    '.+######+.',
    '..+####+..',
    '...+##+...',
    '#...++...#',
    '#........#',
    '##########',
    '..........',
    '..........',
    '..........',
]

SMALL_CLOCK_1X = [
    '..........',
    '.##....##.',
    '..##..##..',
    '...####...',
    '..........',
    '##########',
    '..........',
    '...####...',
    '..##..##..',
    '.##....##.',
    '..........',
    '..........',
    '..........',
]

HOME_1X = [
    '...######.',
    '........#.',
    '..#####.#.',
    '.....+#.#.',
    '....+##.#.',
    '...+#+#.#.',
    '..+#+.#...',
    '.+#+......',
    '+#+.......',
    '#+........',
    '..........',
]


def draw_tray_send(s):
    sk = Sketch(10, 13, s)
    w = 1.35
    sk.line([(5, 1.2), (5, 6.0)], w, GLYPH)
    sk.polygon([(1.6, 4.6), (8.4, 4.6), (5, 8.2)], GLYPH)
    sk.line([(0.8, 7.6), (0.8, 9.6), (9.2, 9.6), (9.2, 7.6)], w, GLYPH, caps=False)
    return sk.result()


def draw_small_clock(s):
    sk = Sketch(10, 13, s)
    w = 1.3
    # Two chevrons closing on a bar, kept clear of it so that they do not
    # read as a cross.
    sk.line([(1.5, 1.0), (5, 3.3), (8.5, 1.0)], w, GLYPH)
    sk.line([(0.4, 5.5), (9.6, 5.5)], w, GLYPH, caps=False)
    sk.line([(1.5, 10.0), (5, 7.7), (8.5, 10.0)], w, GLYPH)
    return sk.result()


def draw_home(s):
    sk = Sketch(10, 11, s)
    w = 1.25
    sk.line([(3.4, 0.6), (8.6, 0.6), (8.6, 5.8)], w, GLYPH, caps=False)
    sk.line([(0.6, 9.4), (6.3, 3.7)], w * 1.05, GLYPH)
    sk.line([(2.5, 2.9), (6.9, 2.9), (6.9, 7.3)], w, GLYPH)
    return sk.result()


# --------------------------------------------------------------------------
# 3. The stopwatch: icon and About picture.

# 16-colour maps. K black, D dark grey, L light grey, W white, B navy,
# T dark cyan (the accent), . transparent.
ICON_KEYS = {'.': None, 'K': 0, 'B': 4, 'T': 6, 'L': 7, 'D': 8, 'W': 15}

STOPWATCH_32 = [
    '............KKKKKKKK............',
    '............KWLLLLDK............',
    '............KKKKKKKK............',
    '..............KLDK.....KK.......',
    '..............KLDK....KLLK......',
    '............KKKKKKKK.KLLLDK.....',
    '..........KKKKLLLLKKKKKLLDDK....',
    '........KKKLLLLLLLLLLKKKKDDK....',
    '.......KKLLLLLWWWWLLLLLKKKK.....',
    '......KKLLLWWWWKKWWWWLLLKK......',
    '.....KKLLLWDWWWKKWWWDWLLLKK.....',
    '.....KLLLWWWWWWWTTTTWWWLLDK.....',
    '....KKLLWWWWWWWWTTTTTWWWLDKK....',
    '....KLLWDWWWWWWWTTTTTTWDWDDK....',
    '...KKLLWWWWWWWWWTTTTTTTWWDDKK...',
    '...KLLWWWWWWWWWWTTTTTTTWWWDDK...',
    '...KLLWWWWWWWWWWTTTTTTTWWWDDK...',
    '...KLLWKKWWWWWWKKBBBBBBKKWDDK...',
    '...KLLWKKWWWWWWKKBBBBBBKKWDDK...',
    '...KLLWWWWWWWWWWWWWWWWWWWWDDK...',
    '...KLLWWWWWWWWWWWWWWWWWWWWDDK...',
    '...KKLLWWWWWWWWWWWWWWWWWWDDKK...',
    '....KLLWDWWWWWWWWWWWWWWDWDDK....',
    '....KKLLWWWWWWWWWWWWWWWWDDKK....',
    '.....KLLLWWWWWWWWWWWWWWDDDK.....',
    '.....KKLLLWDWWWKKWWWDWDDDKK.....',
    '......KKLDDWWWWKKWWWWDDDKK......',
    '.......KKDDDDDWWWWDDDDDKK.......',
    '........KKKDDDDDDDDDDKKK........',
    '..........KKKKDDDDKKKK..........',
    '............KKKKKKKK............',
    '................................',
]

STOPWATCH_16 = [
    '......KKKKK.....',
    '.......KLK......',
    '.......KLK...KK.',
    '......KKKKK.KLLK',
    '....KKLLLLLKKLDK',
    '...KLLWWKWWLKKK.',
    '...KLWWWKTTWLK..',
    '..KLWWWWKTTTWDK.',
    '..KLWWWWKTTTWDK.',
    '..KLKWWWKBBBKDK.',
    '..KLWWWWWWWWWDK.',
    '..KLWWWWWWWWWDK.',
    '...KLWWWWWWWDK..',
    '...KLLWWKWWDDK..',
    '....KKDDDDDKK...',
    '......KKKKK.....',
]


def draw_stopwatch(sk):
    """The stopwatch in 48x48 units: a steel case with crown and pusher, a
    light face whose first quarter is filled in teal, one hand at three."""
    cx, cy, R = 24.0, 27.0, 18.6
    steel = [(0, (236, 240, 245)), (0.45, (178, 186, 198)), (1, (84, 92, 106))]
    dark = (36, 40, 48)

    # Shadow of the whole watch.
    m = sk.mask()
    dm = ImageDraw.Draw(m)
    k = sk.k
    dm.ellipse([(cx - R) * k, (cy - R) * k, (cx + R) * k, (cy + R) * k], fill=255)
    dm.rectangle([19 * k, 1 * k, 29 * k, 9 * k], fill=255)
    sk.shadow(m, 0.8, 1.4, 1.3, 0.45)

    # Pusher at half past one: a stem and a cap, turned 45 degrees.
    def turned_rect(r0, r1, half, a):
        ux, uy = math.sin(math.radians(a)), -math.cos(math.radians(a))
        vx, vy = -uy, ux
        return [(cx + ux * r + vx * t, cy + uy * r + vy * t)
                for r, t in ((r0, -half), (r1, -half), (r1, half), (r0, half))]
    sk.polygon(turned_rect(R - 1, R + 2.8, 2.1, 45), dark)
    sk.polygon(turned_rect(R - 0.5, R + 2.8, 1.35, 45), sk.linear(36, 8, 40, 12, steel))
    sk.polygon(turned_rect(R + 2.2, R + 5.4, 3.7, 45), dark)
    sk.polygon(turned_rect(R + 2.9, R + 4.7, 3.0, 45), sk.linear(36, 5, 41, 10, steel))

    # Crown: stem and cap.
    sk.rect(21.2, 4.5, 26.8, 10, dark)
    sk.rect(22.0, 4.5, 26.0, 10, sk.linear(22, 0, 26, 0, steel))
    sk.rect(18.0, 0.6, 30.0, 5.6, dark, radius=1.6)
    sk.rect(18.8, 1.4, 29.2, 4.8, sk.linear(18, 1, 30, 5, steel), radius=1.1)
    sk.rect(19.6, 1.9, 28.4, 2.6, (255, 255, 255), alpha=0.55, radius=0.4)

    # Case: steel ring lit from the upper left, dark outline.
    sk.circle(cx, cy, R, dark)
    sk.circle(cx, cy, R - 0.8, sk.linear(cx - 14, cy - 14, cx + 14, cy + 14, steel))
    sk.ring(cx, cy, R - 1.6, R - 1.1, (255, 255, 255), alpha=0.35)
    # Bezel and face.
    sk.circle(cx, cy, 15.2, (46, 50, 58))
    sk.circle(cx, cy, 14.4, sk.radial(cx - 4, cy - 5, 19,
                                      [(0, (255, 255, 252)), (0.6, (240, 243, 246)),
                                       (1, (206, 212, 222))]))
    # Elapsed quarter.
    sk.sector(cx, cy, 0, 11.4, 0, 90, sk.radial(cx, cy, 11.4, [(0, (110, 214, 204)), (1, TEAL)]),
              alpha=0.9)
    # Minute and hour marks.
    for i in range(60):
        a = i * 6
        if i % 5 == 0:
            w, r0 = (1.5, 10.6) if i % 15 == 0 else (1.0, 11.6)
            sk.line([polar(cx, cy, r0, a), polar(cx, cy, 13.4, a)], w, (40, 46, 58), caps=False)
        else:
            sk.line([polar(cx, cy, 12.6, a), polar(cx, cy, 13.4, a)], 0.45, (110, 118, 130),
                    caps=False)
    # The hand, with a short tail, and the hub.
    sk.line([(cx - 3.5, cy), (cx + 12.6, cy)], 1.5, NAVY)
    sk.line([(cx, cy), (cx, cy - 11.2)], 0.9, TEAL_DARK)
    sk.circle(cx, cy, 2.2, NAVY)
    sk.circle(cx, cy, 0.9, (150, 230, 222))
    # Glass: a soft light on the upper left of the face.
    m = sk.mask()
    dm = ImageDraw.Draw(m)
    dm.ellipse([(cx - 13.4) * k, (cy - 13.6) * k, (cx + 9) * k, (cy + 6) * k], fill=255)
    dm.ellipse([(cx - 11) * k, (cy - 9.6) * k, (cx + 14) * k, (cy + 13) * k], fill=0)
    sk.paint(m.filter(ImageFilter.GaussianBlur(0.8 * k)), (255, 255, 255), alpha=0.35)


def stopwatch(size, scale_units=48):
    sk = Sketch(scale_units, scale_units, size / scale_units)
    draw_stopwatch(sk)
    return sk.result()


# --------------------------------------------------------------------------
# 4. Synchronisation state.

def draw_sync_clock(s):
    """A clock face inside two circling green arrows."""
    sk = Sketch(32, 32, s)
    c = 16.0
    # Face.
    sk.circle(c, c, 9.6, (30, 34, 40))
    sk.circle(c, c, 8.9, sk.linear(8, 8, 24, 24, [(0, (236, 240, 245)), (1, (150, 158, 170))]))
    sk.circle(c, c, 7.8, sk.radial(c - 2, c - 3, 11, [(0, (255, 255, 255)), (1, (214, 220, 228))]))
    for a in range(0, 360, 30):
        r0 = 5.6 if a % 90 == 0 else 6.4
        sk.line([polar(c, c, r0, a), polar(c, c, 7.2, a)], 1.0 if a % 90 == 0 else 0.7,
                (50, 56, 70), caps=False)
    sk.line([(c, c), polar(c, c, 5.8, 0)], 1.3, NAVY)
    sk.line([(c, c), polar(c, c, 4.2, 300)], 1.5, NAVY)
    sk.circle(c, c, 1.3, NAVY)
    # Two arrows chasing each other clockwise.
    r, half = 12.9, 1.15
    dark = (20, 70, 30)
    for start in (28, 208):
        end = start + 118
        sk.sector(c, c, r - half - 0.6, r + half + 0.6, start, end, dark, alpha=0.6)
        sk.sector(c, c, r - half, r + half, start, end, SYNC_GREEN)
        tip = polar(c, c, r, end + 17)
        a1 = polar(c, c, r + 3.1, end)
        a2 = polar(c, c, r - 3.1, end)
        sk.polygon([a1, tip, a2], dark, alpha=0.6)
        sk.polygon([polar(c, c, r + 2.5, end + 0.5), polar(c, c, r, end + 14),
                    polar(c, c, r - 2.5, end + 0.5)], SYNC_GREEN)
        sk.polygon([a1, tip, a2], SYNC_GREEN)
    return sk.result()


def draw_yak(s):
    """A friendly yak's head seen from the front."""
    sk = Sketch(32, 32, s)
    fur = (150, 98, 58)
    fur_dark = (104, 64, 36)
    fur_light = (196, 140, 88)
    horn = [(0, (250, 242, 222)), (1, (196, 178, 140))]
    outline = (52, 30, 16)

    # Horns: sweeping out and up from the top of the head.
    def horn_shape(side):
        pts = [(13.0, 9.6), (9.0, 10.4), (5.4, 9.6), (3.0, 7.0), (2.4, 3.2),
               (3.8, 5.6), (6.0, 7.0), (9.4, 7.0), (13.4, 6.6)]
        return pts if side < 0 else [(32 - x, y) for x, y in pts]
    for side in (-1, 1):
        pts = horn_shape(side)
        sk.line(pts + [pts[0]], 0.8, outline, alpha=0.8)
        sk.polygon(pts, sk.linear(16, 7, 16 + side * 14, 2, horn))

    # Ears, sticking out below the horns.
    for side in (-1, 1):
        sk.polygon([(16 + side * 6.5, 12.2), (16 + side * 12.6, 11.4), (16 + side * 13.2, 13.2),
                    (16 + side * 11.0, 15.4), (16 + side * 6.5, 15.6)], outline)
        sk.polygon([(16 + side * 7.0, 12.8), (16 + side * 12.2, 12.0), (16 + side * 12.5, 13.2),
                    (16 + side * 10.6, 14.8), (16 + side * 7.0, 15.0)], fur)
        sk.polygon([(16 + side * 8.6, 13.2), (16 + side * 11.6, 12.8), (16 + side * 10.2, 14.2),
                    (16 + side * 8.6, 14.3)], (214, 150, 136))

    # Shaggy hair hanging at the sides and under the chin.
    shag = []
    for side in (-1, 1):
        shag.append([(16 + side * 5.0, 12.0), (16 + side * 9.2, 14.0), (16 + side * 10.0, 19.0),
                     (16 + side * 10.6, 24.0), (16 + side * 9.2, 23.4), (16 + side * 9.6, 27.4),
                     (16 + side * 7.8, 26.2), (16 + side * 7.4, 29.6), (16 + side * 5.8, 27.8),
                     (16 + side * 4.6, 30.4), (16 + side * 3.4, 28.0), (16 + side * 0, 28.0)])
    for pts in shag:
        sk.polygon(pts, fur_dark)
    # Head.
    head = [(10.0, 9.0), (22.0, 9.0), (24.0, 13.0), (23.2, 20.0), (21.0, 25.6), (16, 27.4),
            (11.0, 25.6), (8.8, 20.0), (8.0, 13.0)]
    sk.polygon(head, sk.linear(16, 9, 16, 27, [(0, fur), (1, shade(fur, -22))]))
    # Muzzle.
    sk.ellipse(10.6, 19.4, 21.4, 27.6, outline, alpha=0.55)
    sk.ellipse(11.0, 19.6, 21.0, 27.0, sk.linear(16, 19, 16, 27, [(0, (222, 190, 150)),
                                                                 (1, (186, 150, 112))]))
    sk.ellipse(12.6, 22.2, 14.8, 24.2, (60, 34, 22))
    sk.ellipse(17.2, 22.2, 19.4, 24.2, (60, 34, 22))
    sk.line([(13.6, 25.5), (16, 26.3), (18.4, 25.5)], 0.7, (96, 58, 36))
    # Eyes, just under the fringe.
    for ex in (12.0, 20.0):
        sk.circle(ex, 17.6, 1.55, (24, 14, 10))
        sk.circle(ex - 0.45, 17.1, 0.55, (255, 255, 255))
    # Fringe: locks falling over the forehead, tips down to the eyes.
    tips = [(8.2, 14.6), (10.2, 16.0), (12.4, 15.2), (14.4, 16.6), (16.2, 15.4), (18.0, 16.6),
            (20.0, 15.2), (22.0, 16.0), (23.8, 14.6)]
    top = [(24.0, 11.0), (22.6, 8.4), (19.0, 6.6), (16.0, 6.2), (13.0, 6.6), (9.4, 8.4), (8.0, 11.0)]
    fringe = [(8.0, 11.0)]
    for i, t in enumerate(tips):
        fringe.append(t)
        if i + 1 < len(tips):
            n = tips[i + 1]
            fringe.append(((t[0] + n[0]) / 2, min(t[1], n[1]) - 2.6))
    fringe += top
    sk.polygon([(x, y + 0.4) for x, y in fringe], outline, alpha=0.7)
    sk.polygon(fringe, sk.linear(16, 6, 16, 16, [(0, fur_light), (1, fur_dark)]))
    # A few light strands.
    for x0, x1 in ((11.0, 10.4), (14.0, 14.2), (17.6, 17.8), (21.0, 21.6)):
        sk.line([(x0, 8.4), (x1, 13.0)], 0.6, (226, 178, 120), alpha=0.8)
    return sk.result()


# --------------------------------------------------------------------------
# 5. The About window.

def draw_about_back(s):
    """A dark graphite ground, lighter at the upper left, with a faint
    watch bezel in the lower right corner."""
    W, H = 292, 268
    sk = Sketch(W, H, s, ss=2)
    sk.rect(0, 0, W, H, sk.linear(0, 0, W, H, [(0, (72, 74, 80)), (1, (42, 44, 50))]))
    cx, cy, R = 300.0, 292.0, 124.0
    sk.ring(cx, cy, R - 0.5, R + 0.5, (255, 255, 255), alpha=0.07)
    sk.ring(cx, cy, R - 18, R - 17, (255, 255, 255), alpha=0.05)
    for i in range(0, 120):
        a = 270 + i * 0.75 * 4
        if a > 360:
            break
        long = i % 5 == 0
        sk.line([polar(cx, cy, R - (12 if long else 7), a), polar(cx, cy, R - 3, a)],
                1.4 if long else 0.8, (255, 255, 255), alpha=0.09 if long else 0.06, caps=False)
    # A fine line under the header block.
    sk.rect(16, 146, 276, 147, sk.linear(16, 0, 276, 0, [(0, TEAL + (150,)), (0.7, TEAL + (40,)),
                                                         (1, TEAL + (0,))]))
    return sk.result().convert('RGBA').convert('RGB')


def draw_about_suite(s):
    """The mark of the v.r.n software suite: three chevrons running right,
    then a tapering line."""
    sk = Sketch(128, 40, s)
    colours = [(196, 206, 220), (112, 150, 206), TEAL]
    for i, c in enumerate(colours):
        x = 6 + i * 15
        pts = [(x, 6), (x + 8, 6), (x + 22, 20), (x + 8, 34), (x, 34), (x + 14, 20)]
        sk.polygon([(px + 0.8, py + 1.2) for px, py in pts], (0, 0, 0), alpha=0.35)
        sk.polygon(pts, sk.linear(x, 6, x, 34, [(0, shade(c, 30)), (1, shade(c, -30))]))
    sk.polygon([(56, 19), (124, 19.6), (124, 20.4), (56, 21)],
               sk.linear(56, 0, 124, 0, [(0, TEAL + (255,)), (1, TEAL + (0,))]))
    return sk.result()


def draw_button(s, pressed):
    """A face for the About window's buttons, 97x25 units. The label area
    is 92x17 at 2,6; the raised face shows a lighter top rim above it."""
    W, H = 97, 25
    sk = Sketch(W, H, s, ss=4)
    edge = (14, 18, 36)
    # The rounded corners show the About window's ground.
    sk.rect(0, 0, W, H, (50, 52, 58))
    sk.rect(0, 0, W, H, edge, radius=2.2)
    if not pressed:
        sk.rect(1, 1, W - 1, H - 1, sk.linear(0, 1, 0, 24, [(0, (92, 112, 184)), (0.16, (58, 76, 150)),
                                                          (0.2, (32, 44, 104)), (1, (22, 30, 72))]),
                radius=1.6)
        sk.rect(1.2, 1.2, W - 1.2, 2.0, (190, 205, 255), alpha=0.45, radius=0.6)
        sk.rect(1, 23.2, W - 1, 24, (8, 10, 24), alpha=0.6)
    else:
        sk.rect(1, 1, W - 1, H - 1, sk.linear(0, 1, 0, 24, [(0, (120, 130, 158)), (0.12, (176, 186, 210)),
                                                          (1, (198, 206, 226))]),
                radius=1.6)
        sk.rect(1, 1, 2.2, H - 1, (96, 104, 130), alpha=0.5)
    return sk.result().convert('RGBA').convert('RGB')


# --------------------------------------------------------------------------

def icon_rows(char_map):
    return [[ICON_KEYS[ch] for ch in row] for row in char_map]


def laid_on(img, ground, x, y, s):
    """A transparent picture laid over `ground` (an 'RGB' picture at the same
    scale s) with its top left corner at unit x, y: 'RGBA' whose alpha is
    255 where the picture covers the ground and 0 (the key) elsewhere."""
    straight = img.convert('RGBA')
    w, h = straight.size
    base = ground.crop((x * s, y * s, x * s + w, y * s + h)).convert('RGBA')
    laid = Image.alpha_composite(base, straight)
    laid.putalpha(straight.getchannel('A').point(lambda v: 255 if v >= OPAQUE_FROM else 0))
    return laid


# Where the program places each transparent picture, in units (twips / 15):
# on which ground and at which point. The title strip's buttons and the
# synchronisation pictures stand on the panel, the product and suite marks
# on the About window's ground.
PLACES = {
    'tray_send': ('panel', 242, 1), 'small_clock': ('panel', 253, 1), 'home': ('panel', 263, 1),
    'sync_clock': ('panel', 224, 21), 'yak': ('panel', 224, 21),
    'about_product': ('about_back', 16, 16), 'about_suite': ('about_back', 16, 184),
}


def build():
    """All pictures as {file name: bytes}."""
    out = {}
    grounds = {('panel', 1): draw_panel(1), ('panel', 2): draw_panel(2),
               ('about_back', 1): draw_about_back(1), ('about_back', 2): draw_about_back(2)}

    def opaque(name, draw):
        for s, suffix, dpi in ((1, '', 96), (2, '@2x', 192)):
            out[name + suffix + '.bmp'] = bmp_bytes(draw(s), dpi, keyed=False)

    def transparent(name, img1, img2):
        ground, x, y = PLACES[name]
        for s, img, suffix, dpi in ((1, img1, '', 96), (2, img2, '@2x', 192)):
            laid = laid_on(premultiplied(img), grounds[(ground, s)], x, y, s)
            out[name + suffix + '.bmp'] = bmp_bytes(laid, dpi, keyed=True)

    opaque('panel', lambda s: grounds[('panel', s)])
    transparent('tray_send', pixel_art(TRAY_SEND_1X, GLYPH_COLOURS), draw_tray_send(2))
    transparent('small_clock', pixel_art(SMALL_CLOCK_1X, GLYPH_COLOURS), draw_small_clock(2))
    transparent('home', pixel_art(HOME_1X, GLYPH_COLOURS), draw_home(2))
    transparent('sync_clock', draw_sync_clock(1), draw_sync_clock(2))
    transparent('yak', draw_yak(1), draw_yak(2))
    opaque('about_back', lambda s: grounds[('about_back', s)])
    transparent('about_product', stopwatch(48), stopwatch(96))
    transparent('about_suite', draw_about_suite(1), draw_about_suite(2))
    opaque('button_up', lambda s: draw_button(s, False))
    opaque('button_down', lambda s: draw_button(s, True))
    out['stop.ico'] = ico_bytes([icon_entry_4bit(icon_rows(STOPWATCH_16)),
                                 icon_entry_4bit(icon_rows(STOPWATCH_32)),
                                 icon_entry_32bit(stopwatch(64))])
    return out


# Exact sizes the program expects, and which pictures have transparent parts.
EXPECTED = {
    'panel': (273, 116), 'tray_send': (10, 13), 'small_clock': (10, 13),
    'home': (10, 11), 'sync_clock': (32, 32), 'yak': (32, 32),
    'about_back': (292, 268), 'about_product': (48, 48), 'about_suite': (128, 40),
    'button_up': (97, 25), 'button_down': (97, 25),
}


def check(folder):
    for name, (w, h) in EXPECTED.items():
        for suffix, k in (('', 1), ('@2x', 2)):
            got = read_bmp(os.path.join(folder, name + suffix + '.bmp'))
            assert got[:2] == (w * k, h * k), (name + suffix, got[:2])
            # Transparent where the picture does not cover its ground, and
            # only there; opaque pictures have no key pixel at all.
            clear = got[4].getchannel('A').getextrema()
            if name in PLACES:
                assert clear == (0, 255), (name + suffix, 'no transparent or no opaque part')
            else:
                assert clear == (255, 255), (name + suffix, 'an opaque picture with key pixels')
    ico = Image.open(os.path.join(folder, 'stop.ico'))
    assert ico.format == 'ICO'
    assert sorted(ico.info['sizes']) == [(16, 16), (32, 32), (64, 64)], ico.info['sizes']
    for size, char_map in (((16, 16), STOPWATCH_16), ((32, 32), STOPWATCH_32)):
        ico.size = size
        img = ico.convert('RGBA')
        assert img.size == size
        for y, row in enumerate(char_map):
            for x, ch in enumerate(row):
                r, g, b, a = img.getpixel((x, y))
                if ICON_KEYS[ch] is None:
                    assert a == 0, (size, x, y)
                else:
                    assert (r, g, b, a) == VGA16[ICON_KEYS[ch]] + (255,), (size, x, y)
    ico.size = (64, 64)
    assert ico.convert('RGBA').getchannel('A').getextrema() == (0, 255)


def check_app_icon(path):
    with open(path, 'rb') as f:
        data = f.read()
    count = struct.unpack_from('<H', data, 4)[0]
    kinds = sorted((struct.unpack_from('<H', data, 12 + 16 * i)[0], data[6 + 16 * i]) for i in range(count))
    assert kinds == [(4, 16), (4, 32), (8, 16), (8, 32), (8, 48), (32, 16), (32, 32), (32, 48)], kinds
    for size in (16, 32):
        ico = Image.open(path)
        ico.size = (size, size)
        assert ico.convert('RGBA').getchannel('A').getextrema() == (0, 255)


def main(argv):
    folder = os.path.abspath(argv[1] if len(argv) > 1 else DEFAULT_OUT)
    os.makedirs(folder, exist_ok=True)
    for name, blob in sorted(build().items()):
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(blob)
    check(folder)
    icon = os.path.join(os.path.dirname(folder), 'A_Tavrel.ico')
    if os.path.exists(icon):
        blob = app_icon(icon)
        with open(icon, 'wb') as f:
            f.write(blob)
        check_app_icon(icon)
    print('make-artwork: wrote and checked %d files in %s' % (len(EXPECTED) * 2 + 1, folder))


if __name__ == '__main__':
    main(sys.argv)
