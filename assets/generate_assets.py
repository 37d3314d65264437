#!/usr/bin/env python3
"""Draws Varnetik's three embedded pictures, and the icon once more for installing, next to this script.

  varnetik.ico   32 x 32, 16 colours: window and application icon
  varnetik.png   the same icon as a PNG with alpha, for the desktop's icon theme when installed
  logo.jpg       200 x 47 baseline JPEG: the logo at the top right of the main window
  donation.gif   98 x 26 GIF: the donation button of the info window

Only the Python standard library is used and the output is byte-for-byte reproducible, so the committed
files can always be regenerated and compared. Run: python3 assets/generate_assets.py
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# --- A small 5 x 7 pixel font of our own, only the letters the pictures need -------------------------

GLYPHS = {
    "A": [".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"],
    "B": ["XXXX.", "X...X", "X...X", "XXXX.", "X...X", "X...X", "XXXX."],
    "D": ["XXXX.", "X...X", "X...X", "X...X", "X...X", "X...X", "XXXX."],
    "E": ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    "I": [".XXX.", "..X..", "..X..", "..X..", "..X..", "..X..", ".XXX."],
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "M": ["X...X", "XX.XX", "X.X.X", "X.X.X", "X...X", "X...X", "X...X"],
    "N": ["X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X", "X...X"],
    "O": [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    "P": ["XXXX.", "X...X", "X...X", "XXXX.", "X....", "X....", "X...."],
    "R": ["XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"],
    "S": [".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."],
    "T": ["XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "..X.."],
    "U": ["X...X", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    "V": ["X...X", "X...X", "X...X", "X...X", "X...X", ".X.X.", "..X.."],
}

HEART = [".XX...XX.", "XXXX.XXXX", "XXXXXXXXX", "XXXXXXXXX", ".XXXXXXX.", "..XXXXX..", "...XXX...",
         "....X...."]


class Canvas:
    """A width x height grid of colour values (any hashable value: RGB tuples or palette indices)."""

    def __init__(self, width, height, fill):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x, y, w, h, colour):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, colour)

    def bitmap(self, rows, x, y, scale, colour):
        for r, row in enumerate(rows):
            for c, cell in enumerate(row):
                if cell == "X":
                    self.rect(x + c * scale, y + r * scale, scale, scale, colour)

    def text(self, text, x, y, scale, spacing, colour, space_width):
        for ch in text:
            if ch == " ":
                x += space_width
                continue
            self.bitmap(GLYPHS[ch], x, y, scale, colour)
            x += 5 * scale + spacing
        return x

    @staticmethod
    def text_width(text, scale, spacing, space_width):
        width = 0
        for i, ch in enumerate(text):
            width += space_width if ch == " " else 5 * scale + (spacing if i + 1 < len(text) else 0)
        return width

    def stroke(self, x0, y0, x1, y1, thickness, colour):
        """A straight line of the given thickness, stamped as squares along its length."""
        steps = max(abs(x1 - x0), abs(y1 - y0))
        for i in range(steps + 1):
            x = x0 + (x1 - x0) * i / steps
            y = y0 + (y1 - y0) * i / steps
            self.rect(int(round(x)), int(round(y)), thickness, thickness, colour)

    def square_wave(self, x0, x1, y_high, y_low, period, thickness, colour):
        """A digital signal: high and low levels joined by vertical edges, starting low."""
        level_low = True
        x = x0
        while x < x1:
            end = min(x + period // 2, x1)
            y = y_low if level_low else y_high
            self.rect(x, y, end - x, thickness, colour)
            if end < x1:
                self.rect(end - thickness // 2, y_high, thickness, y_low - y_high + thickness, colour)
            level_low = not level_low
            x = end


# --- Icon: 32 x 32, 16 colours, BMP image with AND mask inside an ICO directory -----------------------

# The classic 16-colour palette, as (R, G, B).
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT = None


def draw_icon():
    navy, blue, white, yellow = 4, 12, 15, 11
    canvas = Canvas(32, 32, TRANSPARENT)
    # A rounded navy tile with a lighter rim.
    canvas.rect(2, 1, 28, 30, navy)
    canvas.rect(1, 2, 30, 28, navy)
    for x in range(3, 29):
        canvas.put(x, 1, blue)
    for y in range(3, 29):
        canvas.put(1, y, blue)
    # A bold V above a yellow serial signal.
    canvas.stroke(6, 4, 15, 19, 3, white)
    canvas.stroke(25, 4, 16, 19, 3, white)
    canvas.square_wave(4, 28, 22, 27, 8, 2, yellow)
    return canvas


def encode_ico(canvas):
    width, height = canvas.width, canvas.height
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE16)
    colour_rows = []
    mask_rows = []
    for y in reversed(range(height)):  # BMP rows run bottom-up
        row = canvas.pixels[y]
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        colour_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, width, 2)))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is TRANSPARENT else 0)
        mask_rows.append(bits.to_bytes(width // 8, "big"))
    image = header + palette + b"".join(colour_rows) + b"".join(mask_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width, height, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


# --- The icon once more as PNG: desktops look up installed application icons as PNG or SVG ----------

def stored_zlib(data):
    """A zlib stream of uncompressed deflate blocks. Unlike zlib.compress, its bytes do not depend on
    which zlib build Python uses, so the committed file stays reproducible."""
    out = bytearray(b"\x78\x01")
    for start in range(0, len(data), 65535):
        chunk = data[start:start + 65535]
        final = 1 if start + 65535 >= len(data) else 0
        out += struct.pack("<BHH", final, len(chunk), len(chunk) ^ 0xFFFF) + chunk
    out += struct.pack(">I", zlib.adler32(data))
    return bytes(out)


def png_chunk(kind, payload):
    return struct.pack(">I", len(payload)) + kind + payload + struct.pack(">I", zlib.crc32(kind + payload))


def encode_png(canvas):
    """8-bit RGBA; palette entries become opaque colours, transparent pixels alpha 0."""
    rows = bytearray()
    for row in canvas.pixels:
        rows.append(0)  # filter type: none
        for p in row:
            rows += b"\x00\x00\x00\x00" if p is TRANSPARENT else bytes(PALETTE16[p]) + b"\xff"
    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", stored_zlib(bytes(rows)))
            + png_chunk(b"IEND", b""))


# --- Logo: 200 x 47, baseline JPEG ------------------------------------------------------------------

def draw_logo():
    background = (244, 247, 251)
    navy = (26, 58, 107)
    teal = (32, 128, 112)
    amber = (255, 196, 57)
    canvas = Canvas(200, 47, background)
    # Emblem: a navy tile carrying an amber serial signal.
    canvas.rect(4, 4, 39, 39, navy)
    canvas.square_wave(8, 40, 15, 30, 10, 3, amber)
    title = "VARNETIK"
    subtitle = "MODBUS MASTER"
    x0 = 52
    canvas.text(title, x0, 4, 3, 3, navy, 9)
    canvas.text(subtitle, x0 + 1, 31, 2, 1, teal, 6)
    return canvas


ZIGZAG = sorted(range(64), key=lambda i: (i // 8 + i % 8, (i % 8) if (i // 8 + i % 8) % 2 == 0 else (i // 8)))

LUMA_QUANT = [
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57, 69, 56,
    14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
]
CHROMA_QUANT = [
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99, 99, 99,
    47, 66, 99, 99, 99, 99, 99, 99,
] + [99] * 32


def scaled_quant(table, quality):
    scale = 200 - 2 * quality
    return [min(255, max(1, (q * scale + 50) // 100)) for q in table]


COS = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]


def fdct_8x8(block):
    """Forward DCT of 64 level-shifted samples (row-major); returns 64 coefficients (row-major)."""
    def dct_1d(values):
        out = []
        for u in range(8):
            cu = math.sqrt(0.5) if u == 0 else 1.0
            out.append(0.5 * cu * sum(values[x] * COS[u][x] for x in range(8)))
        return out

    rows = [dct_1d(block[r * 8:(r + 1) * 8]) for r in range(8)]
    result = [0.0] * 64
    for c in range(8):
        column = dct_1d([rows[r][c] for r in range(8)])
        for r in range(8):
            result[r * 8 + c] = column[r]
    return result


def magnitude(value):
    """JPEG size category and the additional bits of a coefficient."""
    size = abs(value).bit_length()
    bits = value if value >= 0 else value + (1 << size) - 1
    return size, bits


def jpeg_symbols(canvas, quality):
    """Per component, the list of (dc_symbols, ac_symbols) with their extra bits, block by block."""
    width, height = canvas.width, canvas.height
    padded_w = (width + 7) // 8 * 8
    padded_h = (height + 7) // 8 * 8
    planes = [[[0.0] * padded_w for _ in range(padded_h)] for _ in range(3)]
    for y in range(padded_h):
        for x in range(padded_w):
            r, g, b = canvas.pixels[min(y, height - 1)][min(x, width - 1)]
            planes[0][y][x] = 0.299 * r + 0.587 * g + 0.114 * b
            planes[1][y][x] = -0.168736 * r - 0.331264 * g + 0.5 * b + 128
            planes[2][y][x] = 0.5 * r - 0.418688 * g - 0.081312 * b + 128
    quants = [scaled_quant(LUMA_QUANT, quality), scaled_quant(CHROMA_QUANT, quality)]
    blocks = []  # in MCU order: for each 8x8 position, Y, Cb, Cr
    previous_dc = [0, 0, 0]
    for by in range(0, padded_h, 8):
        for bx in range(0, padded_w, 8):
            for comp in range(3):
                samples = [planes[comp][by + r][bx + c] - 128 for r in range(8) for c in range(8)]
                coefficients = fdct_8x8(samples)
                quant = quants[0 if comp == 0 else 1]
                zz = [int(round(coefficients[ZIGZAG[k]] / quant[ZIGZAG[k]])) for k in range(64)]
                dc_diff = zz[0] - previous_dc[comp]
                previous_dc[comp] = zz[0]
                size, bits = magnitude(dc_diff)
                dc = (size, size, bits)
                ac = []
                run = 0
                for k in range(1, 64):
                    if zz[k] == 0:
                        run += 1
                        continue
                    while run > 15:
                        ac.append((0xF0, 0, 0))
                        run -= 16
                    size, bits = magnitude(zz[k])
                    ac.append(((run << 4) | size, size, bits))
                    run = 0
                if run > 0:
                    ac.append((0x00, 0, 0))
                blocks.append((comp, dc, ac))
    return blocks, quants, padded_w, padded_h


def fixed_length_table(symbols):
    """A valid Huffman table giving every used symbol a code of the same length. The length leaves the
    all-ones code unused, as JPEG requires."""
    values = sorted(set(symbols))
    length = 1
    while (1 << length) <= len(values):
        length += 1
    counts = [0] * 16
    counts[length - 1] = len(values)
    codes = {value: (index, length) for index, value in enumerate(values)}
    return counts, values, codes


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.accumulator = 0
        self.count = 0

    def write(self, value, length):
        for i in reversed(range(length)):
            self.accumulator = (self.accumulator << 1) | ((value >> i) & 1)
            self.count += 1
            if self.count == 8:
                self.out.append(self.accumulator)
                if self.accumulator == 0xFF:
                    self.out.append(0x00)  # byte stuffing
                self.accumulator = 0
                self.count = 0

    def flush(self):
        if self.count:
            self.write((1 << (8 - self.count)) - 1, 8 - self.count)
        return bytes(self.out)


def segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def encode_jpeg(canvas, quality=92):
    blocks, quants, _, _ = jpeg_symbols(canvas, quality)
    # Table 0 serves luminance, table 1 both chrominance components.
    dc_syms = [[], []]
    ac_syms = [[], []]
    for comp, dc, ac in blocks:
        table = 0 if comp == 0 else 1
        dc_syms[table].append(dc[0])
        ac_syms[table].extend(symbol for symbol, _, _ in ac)
    dc_tables = [fixed_length_table(s) for s in dc_syms]
    ac_tables = [fixed_length_table(s) for s in ac_syms]

    writer = BitWriter()
    for comp, dc, ac in blocks:
        table = 0 if comp == 0 else 1
        code, length = dc_tables[table][2][dc[0]]
        writer.write(code, length)
        writer.write(dc[2], dc[1])
        for symbol, size, bits in ac:
            code, length = ac_tables[table][2][symbol]
            writer.write(code, length)
            writer.write(bits, size)
    scan = writer.flush()

    out = bytearray(b"\xFF\xD8")
    out += segment(0xE0, b"JFIF\x00" + struct.pack(">BBBHHBB", 1, 1, 0, 1, 1, 0, 0))
    for index, quant in enumerate(quants):
        out += segment(0xDB, bytes([index]) + bytes(quant[ZIGZAG[k]] for k in range(64)))
    components = b"".join(struct.pack(">BBB", cid, 0x11, 0 if cid == 1 else 1) for cid in (1, 2, 3))
    out += segment(0xC0, struct.pack(">BHHB", 8, canvas.height, canvas.width, 3) + components)
    for cls, tables in ((0, dc_tables), (1, ac_tables)):
        for index, (counts, values, _) in enumerate(tables):
            out += segment(0xC4, bytes([(cls << 4) | index]) + bytes(counts) + bytes(values))
    scan_components = b"".join(struct.pack(">BB", cid, 0x00 if cid == 1 else 0x11) for cid in (1, 2, 3))
    out += segment(0xDA, bytes([3]) + scan_components + bytes([0, 63, 0]))
    out += scan
    out += b"\xFF\xD9"
    return bytes(out)


# --- Donation picture: 98 x 26, GIF with LZW ---------------------------------------------------------

def draw_donation():
    # Palette indices into DONATION_PALETTE.
    outside, rim, fill, ink, heart = 0, 1, 2, 3, 4
    canvas = Canvas(98, 26, outside)
    canvas.rect(1, 0, 96, 26, rim)
    canvas.rect(0, 1, 98, 24, rim)
    canvas.rect(2, 2, 94, 22, fill)
    canvas.rect(1, 2, 1, 22, fill)
    canvas.rect(96, 2, 1, 22, fill)
    canvas.rect(2, 1, 94, 1, fill)
    canvas.rect(2, 24, 94, 1, fill)
    text = "SPENDEN"
    text_width = Canvas.text_width(text, 2, 1, 0)
    total = 9 + 4 + text_width
    x = (98 - total) // 2
    canvas.bitmap(HEART, x, 9, 1, heart)
    canvas.text(text, x + 13, 6, 2, 1, ink, 0)
    return canvas


DONATION_PALETTE = [(255, 255, 255), (217, 162, 27), (255, 196, 57), (26, 58, 107), (210, 47, 47)]


def lzw_codes(indices, min_code_size):
    """GIF LZW: yields (code, bit length) pairs including the leading clear and the final end code."""
    clear = 1 << min_code_size
    end = clear + 1
    table = {(i,): i for i in range(clear)}
    next_code = end + 1

    def width():
        # The decoder reads each code with the width its own table (one entry behind ours) needs.
        return min(12, (next_code - 1).bit_length())

    yield clear, width()
    prefix = ()
    for index in indices:
        candidate = prefix + (index,)
        if candidate in table:
            prefix = candidate
            continue
        yield table[prefix], width()
        table[candidate] = next_code
        next_code += 1
        if next_code == 4096:
            yield clear, width()
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
        prefix = (index,)
    if prefix:
        yield table[prefix], width()
    yield end, width()


def encode_gif(canvas, palette):
    bits_per_index = 4
    colours = list(palette) + [(0, 0, 0)] * ((1 << bits_per_index) - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", canvas.width, canvas.height, 0x80 | ((bits_per_index - 1) << 4)
                       | (bits_per_index - 1), 0, 0)
    out += b"".join(struct.pack("BBB", *c) for c in colours)
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, canvas.width, canvas.height, 0)
    min_code_size = bits_per_index
    out.append(min_code_size)
    accumulator = 0
    count = 0
    data = bytearray()
    indices = [p for row in canvas.pixels for p in row]
    for code, length in lzw_codes(indices, min_code_size):
        accumulator |= code << count  # GIF packs codes least significant bit first
        count += length
        while count >= 8:
            data.append(accumulator & 0xFF)
            accumulator >>= 8
            count -= 8
    if count:
        data.append(accumulator & 0xFF)
    for start in range(0, len(data), 255):
        chunk = data[start:start + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)  # block terminator
    out += b"\x3B"
    return bytes(out)


def main():
    outputs = {
        "varnetik.ico": encode_ico(draw_icon()),
        "varnetik.png": encode_png(draw_icon()),
        "logo.jpg": encode_jpeg(draw_logo()),
        "donation.gif": encode_gif(draw_donation(), DONATION_PALETTE),
    }
    for name, data in outputs.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
