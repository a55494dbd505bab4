#!/usr/bin/env python3
"""Prints one random HTML document, the same bytes for the same seed.

    testing/random_html.py SEED [--size N] [--trace]
    testing/random_html.py SEED --options
    testing/random_html.py --images DIR

The documents feed testing/compile-random, which checks that whatever
`tagweave --html5` writes for them compiles with pdflatex. They use every
element the --html5 mode handles, in order and out of it: the head (title,
meta author, scripts, styles), elements that show nothing (template,
noscript, iframe, canvas, form controls, the hidden attribute), headings,
blocks, lists of every kind nested past LaTeX's depth, preformatted text,
type styles nested past TeX's grouping limit, links with every awkward URL
character, images (present, missing, remote, unsupported and corrupt),
tables of every shape, MathML and SVG, every character LaTeX reserves, many
scripts, emoji, control characters, invalid UTF-8, and malformed markup.

SEED is any integer. N is the rough size in bytes of the body to aim for
(default DEFAULT_SIZE); a few shapes (deep nesting, huge tables) go past it
on purpose. --trace lists on standard error the shapes the document used.
--options prints the tagweave options (title, author, numbering, contents,
class) that go with the seed's document. --images DIR writes the image files that documents refer to into DIR:
documents expect them beside themselves.
"""

import argparse
import functools
import random
import re
import shlex
import struct
import sys
import zlib
from pathlib import Path

# Small enough that pdflatex takes well under a second on a document.
DEFAULT_SIZE = 3000
# Nesting depth of ordinary random structure; deeper nesting comes from the
# shapes that nest on purpose (deep_inline, deep_blocks, deep_lists).
MAX_DEPTH = 5
# TeX allows 255 grouping levels and the HTML standard's parser here keeps
# 512 open elements: deep inline nesting goes past the first and up to the
# second.
DEEP_INLINE_LEVELS = (256, 600)
# The parser here keeps 512 open elements; past that it nests no further,
# and what would have been children become siblings. Structure written just
# below the limit comes out flattened like that.
PARSER_DEPTH_LIMIT = 512
# How far below the limit the structure starts: deep enough that its own
# elements cross the limit.
DEPTH_LIMIT_MARGIN = 16
# LaTeX nests lists (and quote, which is a list) six deep at most.
DEEP_LIST_LEVELS = (7, 30)
# Enough items that letter labels (26) and small roman ones run out.
MANY_ITEMS = (27, 60)
# More columns than a page holds, and more rows than a page holds.
MANY_COLUMNS = (20, 120)
MANY_ROWS = (40, 120)
# Past this many columns, or in a huge table, cells hold a word or one small
# element, so that the document stays a few kilobytes.
SMALL_CELL_COLUMNS = 10
# TeX Live's input buffer: a line of LaTeX longer than this stops pdflatex.
TEX_BUFFER_BYTES = 200000

# --- Image files ------------------------------------------------------------


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(width, height, color_type, bit_depth=8, interlace=0, palette=None, extra=b"",
        data=None):
    """A PNG whose pixels are all zero bytes, or whose IDAT holds `data`."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[color_type]
    row_bytes = (width * channels * bit_depth + 7) // 8
    raw = b"".join(b"\x00" + b"\x00" * row_bytes for _ in range(height))
    ihdr = struct.pack(">IIBBBBB", width, height, bit_depth, color_type, 0, 0, interlace)
    chunks = png_chunk(b"IHDR", ihdr)
    if palette is not None:
        chunks += png_chunk(b"PLTE", palette)
    if data is None:
        data = zlib.compress(raw, 9)
    chunks += extra + png_chunk(b"IDAT", data) + png_chunk(b"IEND", b"")
    return b"\x89PNG\r\n\x1a\n" + chunks


def damaged_data_pngs():
    """RGBA pictures, which pdflatex decodes (libpng) rather than copies:
    one whole, and some whose data is damaged in ways that stop pdflatex
    ("libpng: internal error") though every chunk and CRC is right."""
    width, height = 12, 9
    rows = b"".join(bytes([r % 5]) + bytes((r * 7 + c * 3) % 256 for c in range(4 * width))
                    for r in range(height))
    data = zlib.compress(rows, 9)
    flipped = bytearray(data)
    flipped[len(flipped) // 2] ^= 0x55
    bad_filter = bytearray(rows)
    bad_filter[4 * width + 1] = 9  # the second row's filter type
    made = {
        "varied-alpha.png": data,
        "damaged-data.png": bytes(flipped),
        "truncated-data.png": data[:len(data) // 2],
        "bad-filter.png": zlib.compress(bytes(bad_filter), 9),
        "short-data.png": zlib.compress(rows[:-(4 * width + 1)], 9),
    }
    return {name: png(width, height, 6, data=d) for name, d in made.items()}


def jpeg_segment(marker, data):
    return b"\xff" + bytes([marker]) + struct.pack(">H", len(data) + 2) + data


def jpeg_gray_8x8():
    """A baseline JPEG of one 8x8 grey block, built by hand: every
    coefficient is zero, so the scan is one DC difference of category 0 and
    an end of block, both coded by one-symbol Huffman tables as '0'."""
    jfif = b"JFIF\x00\x01\x01\x01\x00\x48\x00\x48\x00\x00"
    quant = b"\x00" + bytes([1] * 64)
    frame = b"\x08" + struct.pack(">HH", 8, 8) + b"\x01" + b"\x01\x11\x00"
    one_code_of_length_one = b"\x01" + b"\x00" * 15
    dc_table = b"\x00" + one_code_of_length_one + b"\x00"
    ac_table = b"\x10" + one_code_of_length_one + b"\x00"
    scan = b"\x01" + b"\x01\x00" + b"\x00\x3f\x00"
    return (b"\xff\xd8" + jpeg_segment(0xE0, jfif) + jpeg_segment(0xDB, quant)
            + jpeg_segment(0xC0, frame) + jpeg_segment(0xC4, dc_table)
            + jpeg_segment(0xC4, ac_table) + jpeg_segment(0xDA, scan)
            + b"\x3f" + b"\xff\xd9")


def minimal_pdf():
    """A one-page PDF with a correct cross-reference table."""
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 20 10] >>"]
    out = b"%PDF-1.4\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    return out


@functools.lru_cache(maxsize=None)
def image_files():
    """Name -> bytes of every file the documents' images may name."""
    tiny = png(1, 1, 2)
    jpeg = jpeg_gray_8x8()
    # A pHYs chunk of one pixel per metre: a 1x1 image a metre wide.
    one_metre = png_chunk(b"pHYs", struct.pack(">IIB", 1, 1, 1))
    return {
        "tiny.png": tiny,
        "UPPER.PNG": tiny,
        "a b.png": tiny,
        "x_y.png": tiny,
        "dot.name.png": tiny,
        "per%cent.png": tiny,
        "img/sub.png": tiny,
        "hash#1.png": tiny,
        "brace{x}.png": tiny,
        "tilde~.png": tiny,
        "caret^.png": tiny,
        "\u00e9.png": tiny,
        "back\\slash.png": tiny,
        "two  spaces.png": tiny,
        "quote'.png": tiny,
        "-dash.png": tiny,
        "bra[c]ket.png": tiny,
        "gray.png": png(2, 2, 0),
        "palette.png": png(1, 1, 3, palette=b"\xff\x00\x00"),
        "alpha.png": png(2, 1, 6),
        "sixteen.png": png(1, 1, 2, bit_depth=16),
        "interlaced.png": png(1, 1, 2, interlace=1),
        "metre.png": png(1, 1, 2, extra=one_metre),
        "wide.png": png(20000, 1, 0),
        "tall.png": png(1, 20000, 0),
        "tiny.jpg": jpeg,
        "tiny.jpeg": jpeg,
        "UPPER.JPG": jpeg,
        "tiny.pdf": minimal_pdf(),
        "tiny.gif": b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
                    b",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;",
        "drawing.svg": b'<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"/>\n',
        "figure.eps": b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 4 4\nshowpage\n",
        **damaged_data_pngs(),
        "corrupt.png": b"\x89PNG\r\n\x1a\nthis is not a PNG at all",
        "empty.png": b"",
        "truncated.png": tiny[:40],
        "jpeg-inside.png": jpeg,
        "png-inside.jpg": tiny,
        "text.jpg": b"just text\n",
        "corrupt.pdf": b"%PDF-1.4\nnot really\n",
        "tiny.webp": b"RIFF\x1a\x00\x00\x00WEBPVP8L\x0d\x00\x00\x00/\x00\x00\x00\x10\x07\x10\x11\x11\x88\x88\xfe\x07\x00",
    }


def write_images(directory):
    directory = Path(directory)
    for name, data in image_files().items():
        path = directory / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    (directory / "dir.png").mkdir(exist_ok=True)


MISSING_IMAGES = ["missing.png", "nope/none.jpg", "missing file.pdf", "gone.JPG",
                  "../outside.png", "/absolute/missing.png", "no-extension", "x.tiff",
                  "x.bmp", "x.ico", "x.avif"]
REMOTE_IMAGES = ["http://example.com/x.png", "https://example.org/a/b.jpg?w=10&h=2",
                 "//cdn.example.com/x.gif", "data:image/png;base64,iVBORw0KGgo=",
                 "file:///etc/passwd", "ftp://example.com/x.png",
                 "https://example.com/%7Euser/x%20y.png#frag"]
ODD_LOCAL_IMAGES = ["hash%231.png", "a%20b.png", "per%25cent.png", "%C3%A9.png", "tiny.png?v=1", "tiny.png#frag", "./tiny.png", "img/../tiny.png",
                    "tiny.png ", " tiny.png", "TINY.png", "dir.png", "img/", ".", "",
                    "%2e%2e/tiny.png", "img/../../tiny.png", "/etc/passwd", "/proc/self/environ"]

# --- Text -------------------------------------------------------------------

WORDS = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod "
         "tempor the quick brown fox jumps over a lazy dog").split()

LATEX_SPECIALS = [
    "\\", "{", "}", "$", "&amp;", "&", "#", "^", "_", "~", "%", "&lt;", "&gt;", ">",
    "|", '"', "'", "`", "-", "--", "---", "``", "''", "&lt;&lt;", ">>", ",,", "!`", "?`",
    "\\\\", "\\end{document}", "\\par", "\\def\\x{", "^^M", "^^5c", "^^^^0041", "%%",
    "#1", "##", "$$", "\\(", "\\[", "\\verb|x|", "\\begin{verbatim}", "\\end{verbatim}",
    "\\iffalse", "\\fi", "\\relax", "\\csname", "\\input{x}", "\\write18{ls}", "~~",
    "{}}", "{{", "\\item", "\\\\[1cm]", "\\newline", "ff fi fl ffi ffl", "1--2",
    "a---b", "``quoted''", ",,low''", "&lt;&lt;guillemets>>", "\u00a1!\u00bf?", '"a"',
    "\\`", "\\'", '\\"', "\\~", "\\^", "\\c", "\\i", "-\u00ad-", "x^2_3", "50%",
    "100\\%", "C:\\Windows\\", "\\\\server\\share", "~user", "{\\bf x}", "}{", "\\}",
    "\\{", "&lt;3", "a &lt; b", "a&lt;b", "x < 1", "<3", "[", "]", "[optional]",
    "\\\\*", "\\hline", "\\end{tabular}", "\\end{itemize}", "\\endinput", "\\stop",
    "'''", "----", "```", "..." , ". . .", "\\@", "@", "\\makeatletter", "*", "\\*",
]

SCRIPTS = [
    "\u0391\u03bb\u03c6\u03ac\u03b2\u03b7\u03c4\u03bf \u0390\u03b0 \u03d0\u03d1\u03d5\u03d6 \u03c2",
    "\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440 \u0401\u0451\u042a\u044a \u0462\u0463 \u0490\u0491 \u0407\u0457 \u040e\u045e",
    "\u6f22\u5b57\u304b\u306a\u30ab\u30ca\ud55c\uad6d\uc5b4 \u4e2d\u6587\u6e2c\u8a66 \uff76\uff80\uff76\uff85 \U0002000b",
    "\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645 \u0661\u0662\u0663 \ufdfa \ufefb",
    "\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd \u05b0\u05b4",
    "\u0928\u092e\u0938\u094d\u0924\u0947 \u0926\u0941\u0928\u093f\u092f\u093e \u0915\u094d\u0937",
    "\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35 \u0532\u0561\u0580\u0565\u0582 \u10d2\u10d0\u10db\u10d0\u10e0\u10ef\u10dd\u10d1\u10d0 \u1230\u120b\u121d",
    "\u0bb5\u0ba3\u0b95\u0bcd\u0b95\u0bae\u0bcd \u0f56\u0f7c\u0f51 \u182e\u1823\u1829\u182d\u1823\u182f \u13e3\u13b3\u13a9 \u16a0\u16a2\u16a6 \U00010330\U00010331 \U00010000 \U00012000 \U00013000",
    "\u00c6gir \u0152uvre \u00df \u1e9e \u0133 \u013fl \u0149 \u017f \u01c5 \u01c4 \u01c8 \u01cb \u01f2 \u0237 \u0250 \u0283 \u014b \u00d0 \u00f0 \u00de \u00fe \u0141 \u0142 \u0150 \u0151 \u0170 \u0171 \u0218 \u0219 \u021a \u021b \u0105 \u0119 \u0116 \u0117 \u0126 \u0127 \u0130 \u0131 \u0138 \u01f0",
    "Ti\u1ebfng Vi\u1ec7t \u1ed7 \u1eb7 \u1eed",
    "\u0294 \u025b \u028a \u0259 \u02c8 \u02d0",
    "\u2190 \u2192 \u2191 \u2193 \u2194 \u21d0 \u21d2 \u21d4 \u21a6 \u27f6 \u2934 \u2794",
    "\u2200\u2203\u2205\u2207\u2208\u2209\u220b\u220f\u2211\u2212\u2213\u2217\u221a\u221d\u221e\u2220\u2227\u2228\u2229\u222a\u222b\u222c\u222e\u2234\u223c\u2245\u2248\u2260\u2261\u2264\u2265\u2282\u2283\u2286\u2287\u2295\u2297\u22a5\u22c5\u2308\u2309\u230a\u230b\u2329\u232a \u2135 \u210f \u2113 \u2115 \u211d \u2124 \U0001d538 \U0001d54f \U0001d49c \U0001d4e9 \u2153 \u215e \u2103 \u2109 \u2126 \u2127 \u212a \u212b",
    "\u250c\u2500\u252c\u2500\u2510\u2502 \u2502\u251c\u253c\u2524\u2514\u2500\u2534\u2500\u2518\u2554\u2550\u2557\u2551\u255a\u255d\u2591\u2592\u2593\u2588\u2580\u2584",
    "\u2605\u2606\u2660\u2663\u2665\u2666\u266a\u266b\u263a\u263b\u263c\u2640\u2642\u2713\u2717\u2714\u2718\u2764\u2603\u2318\u2325\u23ce\u232b \u26a0 \u2622",
    "\u20ac \u00a3 \u00a5 \u00a2 \u20b9 \u20bd \u20a9 \u20aa \u20ab \u20bf \u00a4 \u20a0",
    "\u2026 \u201e \u201c \u201d \u2018 \u2019 \u201a \u00ab \u00bb \u2039 \u203a \u00b7 \u2022 \u2020 \u2021 \u2030 \u2031 \u2032 \u2033 \u2034 \u203c \u2047 \u2048 \u2049 \u2010 \u2011 \u2012 \u2013 \u2014 \u2015 \u2016 \u203b \u2042 \u00b6 \u00a7 \u00a9 \u00ae \u2122 \u00b0 \u00b1 \u00d7 \u00f7 \u00bc \u00bd \u00be \u00b5 \u00ac \u00a6 \u00a1 \u00bf \u00aa \u00ba \u00b9 \u00b2 \u00b3 \u00a8 \u00af \u00b4 \u00b8 \u02c6 \u02dc \u02dd",
    "\U0001f600 \U0001f389 \U0001f44d\U0001f3fd \U0001f468\u200d\U0001f469\u200d\U0001f467\u200d\U0001f466 \U0001f3f3\ufe0f\u200d\U0001f308 \U0001f1eb\U0001f1f7 \U0001f1fa\U0001f1f3 \u2764\ufe0f \u261d\U0001f3ff \U0001f9d1\u200d\U0001f4bb 1\ufe0f\u20e3 #\ufe0f\u20e3 \U0001faa0 \U0001f3f4\U000e0067\U000e0062\U000e0073\U000e0063\U000e0074\U000e007f",
    "e\u0301 a\u0308\u0323 \u0301start n\u0303 \u20dd \u0338 x\u0332 Z\u0324\u0354\u0367\u0311\u0313a\u0356\u032d\u0308\u0307l\u036e\u0312\u036bg\u030c\u0317\u035a\u031ao\u0319\u0314\u036e\u0307\u0350\u0307",
    "\ufffd \ufffe \uffff \ufdd0 \U0001fffe \U0010ffff \ue000 \U000f0000 \ufeff",
    "a\u200bb c\u200cd e\u200df \u200e\u200f \u202aL\u202c \u202bR\u202c \u202eevil\u202c \u2066\u2067\u2068\u2069 \u2028 \u2029 soft\u00adhyphen no\u00a0break \u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a \u3000 \u180e \ufe0f \U000e0001 a\U000e0100",
]

CONTROLS = [chr(c) for c in range(1, 32)] + ["\x7f"] + [chr(c) for c in range(0x80, 0xa0)]

CHAR_REFS = [
    "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&nbsp;", "&shy;", "&ZeroWidthSpace;",
    "&hellip;", "&mdash;", "&ndash;", "&notin;", "&not", "&notit;", "&ampfoo", "&copy",
    "&#0;", "&#x0;", "&#xD800;", "&#xDFFF;", "&#x110000;", "&#99999999999;", "&#x80;",
    "&#x9F;", "&#128;", "&#x1F600;", "&#65", "&#x41", "&#;", "&#x;", "&;", "&unknown;",
    "&#12;", "&#13;", "&#x7F;", "&#xFFFE;", "&#x10FFFF;", "&NotNestedGreaterGreater;",
    "&fjlig;", "&bne;", "&nvlt;", "&Afr;", "&lbrace;", "&bsol;", "&Hat;", "&lowbar;",
    "&dollar;", "&percnt;", "&num;", "&tilde;", "&grave;", "&DiacriticalTilde;",
    "&InvisibleTimes;", "&af;", "&NewLine;", "&Tab;", "&#92;", "&#123;&#125;", "&#x24;",
]

# Bytes that are not UTF-8, written as the surrogates that 'surrogateescape'
# turns back into single bytes.
INVALID_UTF8 = ["\udcff", "\udcc0\udc80", "\udce2\udc82", "\udc80", "\udced\udca0\udc80",
                "\udcf4\udc90\udc80\udc80", "\udcfe", "\udcc3"]

LINE_ENDS = ["\r", "\r\n", "\n", "\n\n", "\r\n\r\n", "\f", "\t", "\v", "\r\r", "\n\r"]

URL_BASES = ["http://example.com/", "https://ex.org/a/b?c=d&amp;e=f#g", "mailto:a_b@example.com?subject=",
             "ftp://x/", "javascript:alert(1)", "", "#", "../", "/", "file:///tmp/",
             "data:text/plain,", "tel:+1", "//host/", "news:x", "urn:isbn:", "HTTP://EXAMPLE.COM/",
             "https://example.com/%7Euser/", "http://[::1]:8080/", "run:/usr/bin/xterm ",
             "r\nun:", "FILE:x.pdf", "other.pdf", "jav\tascript:x", "vbscript:", "guide/"]
URL_PIECES = ["#", "%", "%20", "%%", "%zz", "%2", "~", "\\", "{", "}", " ", "\u00e9", "\u65e5\u672c",
              '"', "'", "^", "|", "&lt;", "<", ">", "&amp;", "&", "$", "_", "#1", "##",
              "\\end{document}", "\n", "\t", "`", "[", "]", "(", ")", ";", "=", "?", "@", "!",
              "*", "+", ",", ":", "\\\\", "\u00a0", "\u200b", "\x00", "\U0001f600", "%E2%82%AC",
              "\\#", "\\%", "}{", "-", "--", "\r\n", "&#x7B;", "&quot;"]

ODD_IDS = ["sec 1", "a#b", "50%", "x_y", "{id}", "\\id", "\u00fcn\u00ef", "\u65e5\u672c", "", "a&quot;b",
           "1", "-", "..", "a~b", "^", "$x", "&amp;", "&lt;>", "a}b", "#", "%%", "\\end{document}",
           "a\tb", "dup", "dup", "x" * 300, "a b c", "\u00a0", "\U0001f600", "a--b", "''",
           "a,b", "a=b", "a/b", "a\\b{c}"]

INLINE_TAGS = ["b", "strong", "i", "em", "cite", "dfn", "var", "u", "ins", "del", "s", "strike",
               "sub", "sup", "small", "big", "q", "span", "font", "abbr", "mark", "code", "kbd",
               "samp", "tt", "bdi", "bdo", "time", "data", "label", "nobr", "blink", "acronym",
               "x-custom", "foo:bar"]
DEEP_INLINE_TAGS = ["b", "i", "em", "strong", "span", "sub", "sup", "small", "u", "q", "font",
                    "abbr", "mark", "cite", "code", "tt", "kbd", "var", "dfn", "ins", "samp"]
BLOCK_TAGS = ["p", "div", "section", "article", "main", "header", "footer", "nav", "aside",
              "address", "center", "blockquote", "hgroup", "search", "dialog", "fieldset",
              "figure", "details", "listing", "dir", "menu"]
NUMBER_VALUES = ["1", "2", "3", "0", "-1", "-5", "1000", "65534", "65535", "99999", "abc", "",
                 "2.5", " 3 ", "+2", "1e3", "2147483648", "99999999999999999999", "-2147483649",
                 "0x10", "\u0663", "4000", "3999"]


class Generator:
    def __init__(self, seed, size):
        self.rng = random.Random(seed)
        self.budget = size
        self.ids = []
        self.used = set()

    # --- helpers ------------------------------------------------------------

    def feature(self, name):
        self.used.add(name)

    def chance(self, probability):
        return self.rng.random() < probability

    def pick(self, items):
        return self.rng.choice(items)

    def spend(self, text):
        self.budget -= len(text)
        return text

    def out_of_budget(self):
        return self.budget <= 0

    def quoted(self, value):
        """An attribute value in quotes that do not end it early."""
        if '"' not in value:
            return '"' + value + '"'
        if "'" not in value:
            return "'" + value + "'"
        return '"' + value.replace('"', "&quot;") + '"'

    def attr(self, name, value):
        if value is None:
            return " " + name
        if value and self.chance(0.1) and all(c not in value for c in " \t\n\r\f\"'=<>`"):
            return " %s=%s" % (name, value)
        return " %s=%s" % (name, self.quoted(value))

    def common_attrs(self):
        attrs = ""
        if self.chance(0.15):
            attrs += self.attr("id", self.new_id())
        if self.chance(0.05):
            attrs += self.attr("hidden", self.pick([None, "", "hidden", "until-found"]))
            self.feature("hidden attribute")
        if self.chance(0.05):
            attrs += self.attr("dir", self.pick(["rtl", "ltr", "auto"]))
        if self.chance(0.05):
            attrs += self.attr("lang", self.pick(["ar", "he", "zh", "ja", "ru", "el", "x-}{", ""]))
        if self.chance(0.05):
            attrs += self.attr("style", self.pick(["display:none", "color:red", "}{\\", "font-size:900%"]))
        if self.chance(0.05):
            attrs += self.attr("title", self.text_run(4))
        if self.chance(0.05):
            attrs += self.attr("class", self.pick(["x", "a b", "}", "\\x"]))
        return attrs

    def new_id(self):
        value = self.pick(ODD_IDS) if self.chance(0.6) else "id%d" % self.rng.randrange(1000)
        self.ids.append(value)
        return value

    # --- text ---------------------------------------------------------------

    def word(self):
        return self.pick(WORDS)

    def long_word(self):
        self.feature("very long word")
        length = self.rng.randint(100, 1200)
        kind = self.rng.randrange(7)
        if kind == 0:
            return "".join(self.pick("abcdefghijklmnopqrstuvwxyz") for _ in range(length))
        if kind == 1:
            return "https://example.com/" + "a_b/" * (length // 4)
        if kind == 2:
            return "7" * length
        if kind == 3:
            return self.pick(["-", "\\", "~", "_", "%", "#", "{", "}", "$", "^", "&amp;"]) * (length // 5)
        if kind == 4:
            return "\u6f22\u5b57" * (length // 4)
        if kind == 5:
            return "\U0001f600" * (length // 8)
        return "Donaudampfschifffahrtsgesellschaftskapit\u00e4n" * (length // 40 + 1)

    def text_piece(self):
        roll = self.rng.random()
        if roll < 0.45:
            return self.word()
        if roll < 0.62:
            self.feature("LaTeX specials")
            return self.pick(LATEX_SPECIALS)
        if roll < 0.74:
            self.feature("scripts and symbols")
            script = self.pick(SCRIPTS)
            start = self.rng.randrange(len(script))
            return script[start:start + self.rng.randint(1, 30)]
        if roll < 0.79:
            self.feature("character references")
            return self.pick(CHAR_REFS)
        if roll < 0.82:
            self.feature("control characters")
            return self.pick(CONTROLS)
        if roll < 0.84:
            self.feature("invalid UTF-8")
            return self.pick(INVALID_UTF8)
        if roll < 0.85:
            self.feature("NUL byte")
            return "\x00"
        if roll < 0.90:
            self.feature("line ends")
            return self.pick(LINE_ENDS)
        if roll < 0.91:
            return self.long_word()
        return self.pick([" ", "  ", ".", ",", "!", "?", ":", ";", "(", ")", "&nbsp;", "\u00a0"])

    def text_run(self, pieces=None):
        if pieces is None:
            pieces = self.rng.randint(1, 8)
        out = []
        for _ in range(pieces):
            out.append(self.text_piece())
            if self.chance(0.7):
                out.append(" ")
        return self.spend("".join(out))

    # --- inline content -----------------------------------------------------

    def inline(self, depth):
        parts = []
        for _ in range(self.rng.randint(1, 4)):
            parts.append(self.inline_item(depth))
            if self.out_of_budget():
                break
        return "".join(parts)

    def inline_item(self, depth):
        if depth >= MAX_DEPTH or self.out_of_budget():
            return self.text_run(self.rng.randint(1, 3))
        choices = [
            (30, self.text_run),
            (14, lambda: self.styled(depth)),
            (5, lambda: self.link(depth)),
            (3, self.image),
            (3, self.line_break),
            (2, lambda: self.foreign(depth)),
            (2, self.form_control),
            (2, self.invisible),
            (1, self.empty_inline),
            (1, lambda: self.misnested(depth)),
            (1, self.ruby),
        ]
        return self.weighted(choices)()

    def weighted(self, choices):
        total = sum(weight for weight, _ in choices)
        roll = self.rng.uniform(0, total)
        for weight, choice in choices:
            roll -= weight
            if roll <= 0:
                return choice
        return choices[-1][1]

    def styled(self, depth):
        tag = self.pick(INLINE_TAGS)
        self.feature("inline " + tag)
        attrs = self.common_attrs()
        if tag == "font":
            attrs += self.attr(self.pick(["size", "color", "face"]),
                               self.pick(["7", "+3", "-9", "red", "#zz}", "Times New Roman", "\\x"]))
        elif tag in ("abbr", "acronym"):
            attrs += self.attr("title", self.text_run(3))
        elif tag == "bdo":
            attrs += self.attr("dir", self.pick(["rtl", "ltr"]))
        elif tag == "q" and self.chance(0.3):
            attrs += self.attr("cite", self.url())
        inner = self.inline(depth + 1) if self.chance(0.85) else self.block_sequence(depth + 1)
        close = "</%s>" % tag if self.chance(0.9) else ""
        return "<%s%s>%s%s" % (tag, attrs, inner, close)

    def url(self):
        self.feature("awkward URL")
        base = self.pick(URL_BASES)
        pieces = [self.pick(URL_PIECES) for _ in range(self.rng.randint(0, 6))]
        if self.chance(0.03):
            pieces.append("x" * self.rng.randint(500, 2000))
        return self.spend(base + "".join(pieces))

    def link(self, depth):
        self.feature("link")
        if self.ids and self.chance(0.3):
            self.feature("in-page link")
            href = "#" + self.pick(self.ids)
        elif self.chance(0.15):
            self.feature("in-page link")
            href = "#" + self.pick(ODD_IDS)
        else:
            href = self.url()
        attrs = "" if self.chance(0.05) else self.attr("href", href)
        if self.chance(0.1):
            attrs += self.attr("name", self.new_id())
        attrs += self.common_attrs()
        roll = self.rng.random()
        if roll < 0.15:
            self.feature("link holding blocks")
            inner = self.block_sequence(depth + 1)
        elif roll < 0.22:
            inner = self.image()
        elif roll < 0.26:
            inner = ""
        elif roll < 0.3:
            self.feature("nested link")
            inner = self.text_run(2) + self.link(depth + 1)
        else:
            inner = self.inline(depth + 1)
        return "<a%s>%s</a>" % (attrs, inner)

    def image(self):
        self.feature("image")
        roll = self.rng.random()
        if roll < 0.45:
            self.feature("local image file")
            src = self.pick(list(image_files()))
        elif roll < 0.6:
            src = self.pick(MISSING_IMAGES)
        elif roll < 0.75:
            src = self.pick(REMOTE_IMAGES)
        elif roll < 0.9:
            src = self.pick(ODD_LOCAL_IMAGES)
        else:
            src = self.url()
        attrs = "" if self.chance(0.05) else self.attr("src", src)
        if self.chance(0.6):
            attrs += self.attr("alt", self.text_run(3) if self.chance(0.8) else "")
        for dimension in ("width", "height"):
            if self.chance(0.2):
                attrs += self.attr(dimension, self.pick(NUMBER_VALUES + ["100%", "50px", "1e9"]))
        if self.chance(0.1):
            attrs += self.attr("srcset", "tiny.png 1x, tiny.jpg 2x")
        if self.chance(0.05):
            attrs += self.attr("hidden", None)
        tag = "image" if self.chance(0.05) else "img"
        end = "/>" if self.chance(0.2) else ">"
        return self.spend("<%s%s%s" % (tag, attrs, end))

    def line_break(self):
        self.feature("br")
        return self.pick(["<br>", "<br>", "<br/>", "<br><br>", "</br>", "<br><br><br>", "<wbr>",
                          "<br clear=all>"])

    def empty_inline(self):
        self.feature("empty element")
        tag = self.pick(INLINE_TAGS + ["a", "a href=x"])
        return "<%s></%s>" % (tag, tag.split()[0])

    def ruby(self):
        self.feature("ruby")
        return "<ruby>\u6f22<rp>(</rp><rt>kan</rt><rp>)</rp>\u5b57<rt>ji</ruby>"

    def misnested(self, depth):
        """Start and end tags in no order: the parser's adoption agency,
        foster parenting and implied ends sort them out."""
        self.feature("misnesting")
        tags = INLINE_TAGS[:12] + ["p", "div", "a", "li", "td", "tr", "table", "h2", "ul", "pre",
                                   "dt", "dd", "blockquote", "caption", "body", "html", "head",
                                   "form", "button", "select", "option", "h5", "nobr", "center"]
        parts = []
        for _ in range(self.rng.randint(3, 14)):
            tag = self.pick(tags)
            if self.chance(0.5):
                parts.append("<%s>" % tag)
            else:
                parts.append("</%s>" % tag)
            if self.chance(0.6):
                parts.append(self.text_run(self.rng.randint(1, 2)))
        return self.spend("".join(parts))

    def invisible(self):
        """Elements that show nothing, or only their fallback text."""
        self.feature("invisible elements")
        content = self.text_run(2)
        return self.spend(self.pick([
            "<script>var x = '</p><b>' + \"%s\"; if (a < b && c) {}</script>" % content,
            "<script><!--<script>x</script>-->still script</script>",
            "<style>p::after { content: '\\\\}%%' } %s</style>" % content,
            "<template><li>%s<td>cell<p>para</template>" % content,
            "<noscript><p>%s</p></noscript>" % content,
            "<iframe src=\"x.html\"><p>%s</p></iframe>" % content,
            "<canvas width=10><p>%s</p></canvas>" % content,
            "<object data=\"x.swf\"><param name=a value=b>%s</object>" % content,
            "<video src=\"v.mp4\"><source src=\"a.webm\"><track src=t.vtt>%s</video>" % content,
            "<audio controls>%s</audio>" % content,
            "<embed src=\"x.swf\">",
            "<noembed>%s</noembed>" % content,
            "<noframes>%s</noframes>" % content,
            "<picture><source srcset=\"tiny.png\"><img src=\"tiny.gif\" alt=\"%s\"></picture>" % content,
            "<map name=m><area shape=rect href=\"#\" alt=\"%s\"></map>" % content,
            "<span hidden>%s</span>" % content,
            "<title>%s</title>" % content,
            "<!-- %s -- > --!> -->" % content,
            "<!--->%s" % content,
            "<?php echo '%s'; ?>" % content,
            "<!x %s>" % content,
            "<![CDATA[ %s ]]>" % content,
        ]))

    def form_control(self):
        self.feature("form controls")
        value = self.text_run(2)
        return self.spend(self.pick([
            "<input type=text value=%s>" % self.quoted(value),
            "<input type=checkbox checked> %s" % value,
            "<input type=radio name=r>",
            "<input type=hidden value=%s>" % self.quoted(value),
            "<input type=submit value=%s>" % self.quoted(value),
            "<input type=image src=tiny.png alt=%s>" % self.quoted(value),
            "<input type=file>",
            "<input>",
            "<select><option>%s<option selected>b<optgroup label=g><option>c</select>" % value,
            "<select><p>not a paragraph<b>x</b></select>",
            "<textarea rows=2>%s <b>not bold</b> \\end{verbatim}</textarea>" % value,
            "<textarea>\n\n%s</textarea>" % value,
            "<button type=button>%s</button>" % value,
            "<button><div>%s</div><p>in a button</button>" % value,
            "<label for=x>%s</label>" % value,
            "<output>%s</output>" % value,
            "<progress value=0.5 max=1>%s</progress>" % value,
            "<meter value=2 min=0 max=5>%s</meter>" % value,
            "<keygen name=k>",
            "<datalist id=d><option value=%s></datalist>" % self.quoted(value),
        ]))

    def foreign(self, depth):
        self.feature("math and svg")
        text = self.text_run(2)
        return self.spend(self.pick([
            "<math><mi>x</mi><mo>+</mo><mn>1</mn><msup><mi>e</mi><mn>2</mn></msup>"
            "<mfrac><mi>a</mi><mi>b</mi></mfrac><mtext>%s</mtext></math>" % text,
            "<math display=\"block\"><mrow><msqrt><mi>\u03c0</mi></msqrt></mrow></math>",
            "<math><semantics><mi>y</mi><annotation-xml encoding=\"text/html\">"
            "<div>%s</div><p>para</annotation-xml></semantics></math>" % text,
            "<math><mi><b>%s</b></mi></math>" % text,
            "<math><mtext><table><tr><td>%s</table></mtext></math>" % text,
            "<math><p>%s</p></math>" % text,
            "<svg width=10 height=10><circle r=4/><text x=1>%s</text>"
            "<foreignObject><p>html in svg</p><ul><li>item</ul></foreignObject>"
            "<title>%s</title><desc>d</desc><style>x{}</style><script>y</script></svg>" % (text, text),
            "<svg><![CDATA[ raw < & %s ]]></svg>" % text,
            "<svg><font color=red>%s</font></svg>" % text,
            "<svg><g><text><tspan>%s</tspan></text></g></svg>" % text,
            "<svg><desc><h2>%s</h2></desc></svg>" % text,
            "<math><mglyph/><malignmark/><mi>x</mi>" if self.chance(0.1) else "<svg/>",
        ]))

    # --- blocks -------------------------------------------------------------

    def block_sequence(self, depth, count=None):
        if count is None:
            count = self.rng.randint(1, 3)
        parts = []
        for _ in range(count):
            parts.append(self.block(depth))
            if self.out_of_budget():
                break
        return "".join(parts)

    def block(self, depth):
        if depth >= MAX_DEPTH or self.out_of_budget():
            return self.inline_item(MAX_DEPTH)
        choices = [
            (14, lambda: self.paragraph(depth)),
            (6, lambda: self.heading(depth)),
            (8, lambda: self.container(depth)),
            (7, lambda: self.list_(depth)),
            (3, lambda: self.description_list(depth)),
            (5, lambda: self.preformatted()),
            (6, lambda: self.table(depth)),
            (2, lambda: self.figure(depth)),
            (2, lambda: self.details(depth)),
            (2, self.rule),
            (2, self.line_break),
            (2, self.stray_item),
            (2, self.empty_block),
            (2, lambda: self.hidden_block(depth)),
            (2, lambda: self.form(depth)),
            (6, lambda: self.inline(depth)),
            (1, self.invisible),
            (1, lambda: self.misnested(depth)),
        ]
        return self.weighted(choices)()

    def paragraph(self, depth):
        self.feature("p")
        opening = "<p%s>" % self.common_attrs()
        if self.chance(0.1):
            self.feature("br first in a paragraph")
            opening += "<br>"
        close = "</p>" if self.chance(0.7) else ""
        return opening + self.inline(depth + 1) + close

    def heading(self, depth):
        level = self.rng.randint(1, 6)
        self.feature("h%d" % level)
        roll = self.rng.random()
        if roll < 0.12:
            self.feature("heading holding blocks")
            inner = self.pick(["<div>", "<p>", ""]) + self.block_sequence(depth + 1)
        elif roll < 0.17:
            inner = ""
        elif roll < 0.2:
            self.feature("headings nested through a div")
            inner = "<div>" + self.text_run(1) + "<h%d>inner</h%d></div>" % (
                self.rng.randint(1, 6), self.rng.randint(1, 6))
        else:
            inner = self.inline(depth + 1)
        return "<h%d%s>%s</h%d>" % (level, self.common_attrs(), inner, level)

    def container(self, depth):
        tag = self.pick(BLOCK_TAGS)
        self.feature("block " + tag)
        inner = self.block_sequence(depth + 1)
        if tag == "details":
            inner = "<summary>" + self.inline(depth + 1) + "</summary>" + inner
        close = "</%s>" % tag if self.chance(0.9) else ""
        return "<%s%s>%s%s" % (tag, self.common_attrs(), inner, close)

    def list_(self, depth):
        tag = self.pick(["ul", "ol", "ol", "menu", "dir"])
        self.feature("list " + tag)
        attrs = self.common_attrs()
        if tag == "ol":
            if self.chance(0.4):
                self.feature("ol start")
                attrs += self.attr("start", self.pick(NUMBER_VALUES))
            if self.chance(0.4):
                attrs += self.attr("type", self.pick(["a", "A", "i", "I", "1", "x", ""]))
            if self.chance(0.15):
                attrs += self.attr("reversed", None)
        if self.chance(0.1):
            self.feature("many items")
            count = self.rng.randint(*MANY_ITEMS)
        else:
            count = self.rng.choice([0, 1, 1, 2, 2, 3, 4])
        items = []
        for _ in range(count):
            items.append(self.list_item(depth, many=count > 10))
            if self.out_of_budget():
                break
        if self.chance(0.05):
            items.insert(0, self.text_run(1))  # text before any item
        close = "</%s>" % tag if self.chance(0.9) else ""
        return "<%s%s>%s%s" % (tag, attrs, "".join(items), close)

    def list_item(self, depth, many=False):
        attrs = ""
        if self.chance(0.1):
            attrs += self.attr("value", self.pick(NUMBER_VALUES))
        if self.chance(0.05):
            attrs += self.attr("hidden", None)
            self.feature("hidden attribute")
        if many:
            inner = self.word()
        elif self.chance(0.35):
            self.feature("block content in items")
            inner = self.block_sequence(depth + 1)
        else:
            inner = self.inline(depth + 1)
        close = "</li>" if self.chance(0.5) else ""
        return "<li%s>%s%s" % (attrs, inner, close)

    def description_list(self, depth):
        self.feature("dl")
        parts = []
        for _ in range(self.rng.randint(0, 4)):
            shape = self.rng.randrange(6)
            term = "<dt>" + (self.block_sequence(depth + 1) if self.chance(0.15)
                             else self.inline(depth + 1))
            definition = "<dd>" + (self.block_sequence(depth + 1) if self.chance(0.3)
                                   else self.inline(depth + 1))
            if shape == 0:
                parts.append(term)  # a term without its description
            elif shape == 1:
                parts.append(definition)  # a description without its term
            elif shape == 2:
                parts.append("<div>" + term + definition + "</div>")
            elif shape == 3:
                parts.append(self.text_run(1))
            else:
                parts.append(term + ("</dt>" if self.chance(0.5) else "") + definition)
            if self.out_of_budget():
                break
        return "<dl%s>%s</dl>" % (self.common_attrs(), "".join(parts))

    def stray_item(self):
        self.feature("item outside any list")
        return self.spend(self.pick(["<li>", "<dt>", "<dd>", "</li>", "</dd>", "</ul>"])
                          + self.text_run(2))

    def preformatted(self):
        tag = self.pick(["pre", "pre", "pre", "listing", "xmp", "textarea"])
        self.feature("preformatted " + tag)
        lines = []
        for _ in range(self.rng.randint(0, 6)):
            lines.append(self.pre_line(markup=tag in ("pre", "listing")))
        start = self.pick(["", "\n", "\n\n", "\r\n", " "])
        return self.spend("<%s%s>%s%s</%s>" % (tag, self.common_attrs(), start,
                                                "\n".join(lines), tag))

    def pre_line(self, markup):
        roll = self.rng.randrange(12)
        if roll == 0:
            self.feature("pre long line")
            return "".join(self.pick("abc{}\\_x ") for _ in range(self.rng.randint(100, 600)))
        if roll == 1:
            self.feature("pre tabs")
            return "\t\tx\ty\t\t" + self.word()
        if roll == 2:
            return " " * self.rng.randint(1, 40) + self.word()
        if roll == 3:
            return ""
        if roll == 4:
            return "".join(self.pick(LATEX_SPECIALS) for _ in range(6))
        if roll == 5:
            return self.pick(["\\end{verbatim}", "\\end{Verbatim}", "\\end{alltt}",
                              "\\end{lstlisting}", "\\end{document}", "}", "%", "\\\\"])
        if roll == 6 and markup:
            self.feature("pre with markup")
            return self.pick(["<b>bold</b> x_1", "<span class=x>span{}</span>",
                              "<a href=\"#x\">link%</a>", "<i>it</i>\\", "<br>after br",
                              "<img src=tiny.png alt=img>", "<code>c~</code>",
                              "<em><strong>deep</strong></em>", "<u>under</u>",
                              "<sup>2</sup><sub>i</sub>", "<p>para</p>", "<div>d</div>"])
        if roll == 7:
            return self.text_run(3)
        if roll == 8:
            return "trailing spaces   "
        if roll == 9:
            return self.pick(SCRIPTS)[:20]
        if roll == 10:
            return self.pick(CONTROLS) + "\f" + "\x00" + "\r"
        return self.word() + " " + self.word()

    def table(self, depth):
        self.feature("table")
        roll = self.rng.random()
        if roll < 0.05:
            self.feature("empty table")
            return self.pick(["<table></table>", "<table><tr></tr></table>",
                              "<table><caption></caption></table>", "<table><tr><td></table>"])
        rows = self.rng.randint(1, 4)
        columns = self.rng.randint(1, 5)
        huge = False
        if roll < 0.1:
            self.feature("many columns")
            columns = self.rng.randint(*MANY_COLUMNS)
            rows = self.rng.randint(1, 2)
        elif roll < 0.12:
            self.feature("huge table")
            rows = self.rng.randint(*MANY_ROWS)
            huge = True
        parts = ["<table%s>" % self.common_attrs()]
        caption_at = self.rng.randrange(rows + 3) if self.chance(0.3) else -1
        if self.chance(0.1):
            parts.append("<colgroup><col span=2><col></colgroup>")
        if self.chance(0.05):
            self.feature("text directly in a table")
            parts.append(self.text_run(2))
        sections = self.pick([[], ["thead", "tbody"], ["tbody"], ["tfoot", "tbody"],
                              ["thead", "tbody", "tfoot"]])
        per_section = max(1, rows // max(1, len(sections)))
        row_number = 0
        for section in sections or [None]:
            if section:
                parts.append("<%s>" % section)
            for _ in range(per_section):
                if row_number == caption_at:
                    parts.append(self.caption(depth))
                parts.append(self.table_row(depth, columns, header=section == "thead",
                                            small_cells=huge or columns > SMALL_CELL_COLUMNS))
                row_number += 1
                if self.out_of_budget() and not huge:
                    break
            if section and self.chance(0.7):
                parts.append("</%s>" % section)
        if caption_at >= row_number:
            parts.append(self.caption(depth))
        if self.chance(0.9):
            parts.append("</table>")
        return "".join(parts)

    def caption(self, depth):
        self.feature("caption")
        inner = self.block_sequence(depth + 1) if self.chance(0.2) else self.inline(depth + 1)
        return "<caption%s>%s</caption>" % (self.common_attrs(), inner)

    def table_row(self, depth, columns, header=False, small_cells=False):
        parts = ["<tr%s>" % ("" if self.chance(0.95) else " hidden")]
        for _ in range(columns):
            tag = "th" if header or self.chance(0.1) else "td"
            self.feature("cell " + tag)
            attrs = ""
            if self.chance(0.12):
                self.feature("colspan")
                attrs += self.attr("colspan", self.pick(NUMBER_VALUES))
            if self.chance(0.12):
                self.feature("rowspan")
                attrs += self.attr("rowspan", self.pick(NUMBER_VALUES))
            if self.chance(0.03):
                attrs += self.attr("hidden", None)
            content = self.small_cell() if small_cells else self.cell_content(depth)
            parts.append("<%s%s>%s" % (tag, attrs, content))
            if self.chance(0.5):
                parts.append("</%s>" % tag)
        if self.chance(0.6):
            parts.append("</tr>")
        return "".join(parts)

    def small_cell(self):
        return self.pick(["", self.word(), "x", "<br>", "\\", "[", "<ul><li>a</ul>", "<hr>"])

    def cell_content(self, depth):
        roll = self.rng.random()
        if roll < 0.1:
            return ""
        if roll < 0.15:
            self.feature("br in a cell")
            return "<br>" + self.text_run(1)
        if roll < 0.4:
            self.feature("block content in cells")
            return self.block_sequence(depth + 1)
        if roll < 0.45 and depth < MAX_DEPTH:
            self.feature("nested table")
            return self.table(depth + 1)
        return self.inline(depth + 1)

    def figure(self, depth):
        self.feature("figure")
        image = self.image()
        caption = "<figcaption>" + (self.block_sequence(depth + 1) if self.chance(0.2)
                                    else self.inline(depth + 1)) + "</figcaption>"
        shape = self.rng.randrange(5)
        if shape == 0:
            inner = caption + image
        elif shape == 1:
            inner = image + caption + caption
        elif shape == 2:
            inner = self.block_sequence(depth + 1) + caption
        elif shape == 3:
            return caption  # a caption outside any figure
        else:
            inner = image + caption
        return "<figure%s>%s</figure>" % (self.common_attrs(), inner)

    def details(self, depth):
        self.feature("details")
        summary = "<summary>" + (self.block_sequence(depth + 1) if self.chance(0.2)
                                 else self.inline(depth + 1)) + "</summary>"
        shape = self.rng.randrange(4)
        body = self.block_sequence(depth + 1)
        if shape == 0:
            inner = summary + body
        elif shape == 1:
            inner = body  # no summary
        elif shape == 2:
            inner = summary + summary + body
        else:
            return summary  # a summary outside any details
        attrs = self.attr("open", None) if self.chance(0.5) else ""
        return "<details%s>%s</details>" % (attrs, inner)

    def rule(self):
        self.feature("hr")
        return self.pick(["<hr>", "<hr/>", "<hr noshade size=9>", "<p>text<hr>after", "<hr><hr>"])

    def empty_block(self):
        self.feature("empty element")
        return self.pick(["<p></p>", "<ul></ul>", "<ol></ol>", "<dl></dl>", "<pre></pre>",
                          "<h3></h3>", "<li></li>", "<blockquote></blockquote>",
                          "<figure></figure>", "<details></details>", "<summary></summary>",
                          "<caption></caption>", "<tr></tr>", "<td></td>", "<center></center>",
                          "<address></address>", "<div></div>", "<section></section>",
                          "<ol start=5></ol>", "<dt></dt>", "<dd></dd>", "<menu></menu>",
                          "<figcaption></figcaption>", "<h1> </h1>", "<p>&nbsp;</p>",
                          "<ul><li></li></ul>", "<ol><li></li><li></li></ol>"])

    def hidden_block(self, depth):
        self.feature("hidden attribute")
        shape = self.rng.randrange(6)
        if shape == 0:
            return "<div hidden>%s</div>" % self.block_sequence(depth + 1)
        if shape == 1:
            return "<ul><li hidden>%s</ul>" % self.text_run(1)
        if shape == 2:
            return "<table><tr hidden><td>%s</table>" % self.text_run(1)
        if shape == 3:
            return "<dl><dt hidden>%s<dd hidden>x</dl>" % self.text_run(1)
        if shape == 4:
            return "<table><caption hidden>c</caption><tr><td hidden>%s</table>" % self.text_run(1)
        return "<h2 hidden>%s</h2><ol hidden><li>x</ol>" % self.text_run(1)

    def form(self, depth):
        self.feature("form")
        inner = "".join(self.form_control() for _ in range(self.rng.randint(1, 3)))
        if self.chance(0.5):
            inner = "<fieldset><legend>%s</legend>%s</fieldset>" % (self.text_run(1), inner)
        return '<form action="x?a=1&amp;b=%%">%s%s</form>' % (inner, self.block_sequence(depth + 1, 1))

    # --- nesting on purpose -------------------------------------------------

    def deep_inline(self):
        self.feature("inline nesting past 255 levels")
        levels = self.rng.randint(*DEEP_INLINE_LEVELS)
        tags = [self.pick(DEEP_INLINE_TAGS) for _ in range(levels)]
        opening = "".join("<%s>" % tag for tag in tags)
        closing = "".join("</%s>" % tag for tag in reversed(tags)) if self.chance(0.7) else ""
        return opening + self.innermost() + closing

    def innermost(self):
        """What the deepest level holds: text, or now and then blocks, which
        must still fit there."""
        if self.chance(0.3):
            self.feature("blocks at the deepest level")
            return self.block_sequence(MAX_DEPTH - 2)
        return self.text_run(2)

    def deep_blocks(self):
        self.feature("block nesting deep")
        tag = self.pick(["div", "blockquote", "section", "blockquote", "details", "figure",
                         "center", "aside"])
        levels = self.rng.randint(*DEEP_LIST_LEVELS) if tag != "div" else self.rng.randint(100, 500)
        return "<%s>" % tag * levels + self.innermost() + "</%s>" % tag * levels

    def deep_lists(self):
        self.feature("lists nested past six levels")
        levels = self.rng.randint(*DEEP_LIST_LEVELS)
        opening = []
        closing = []
        for level in range(levels):
            kind = self.pick(["ul", "ol", "dl", "menu", "blockquote", "ol", "table"])
            if kind == "dl":
                opening.append("<dl><dt>term %d<dd>" % level)
            elif kind == "blockquote":
                opening.append("<blockquote>")
            elif kind == "table":
                opening.append("<table><tr><td>cell %d<td>" % level)
            else:
                opening.append("<%s><li>item %d" % (kind, level))
            closing.append("</%s>" % kind)
        return "".join(opening) + self.innermost() + "".join(reversed(closing))

    def at_depth_limit(self):
        self.feature("structure at the parser's depth limit")
        levels = PARSER_DEPTH_LIMIT - self.rng.randint(0, DEPTH_LIMIT_MARGIN)
        tag = self.pick(["div", "span", "b", "blockquote", "section"])
        return "<%s>" % tag * levels + self.block_sequence(MAX_DEPTH - 3, 3)

    def giant_line(self):
        """Text whose LaTeX, kept on one line, is longer than TeX's input
        buffer: "~" becomes some 17 bytes, the others stay as they are."""
        self.feature("line past TeX's input buffer")
        text = self.pick(["~" * (TEX_BUFFER_BYTES // 16), "word " * (TEX_BUFFER_BYTES // 5),
                          "x" * TEX_BUFFER_BYTES])
        return self.pick(["<p>%s</p>", "<ul><li>%s</ul>", "<table><tr><td>%s</table>",
                          "<pre>%s</pre>", "<h2>%s</h2>", "<dl><dt>%s<dd>x</dl>",
                          "<a href=x>%s</a>", "<b>%s</b>"]) % text

    def deep_tables(self):
        self.feature("tables nested deep")
        levels = self.rng.randint(3, 12)
        return "<table><tr><td>" * levels + self.innermost() + "</td></tr></table>" * levels

    # --- the document -------------------------------------------------------

    def doctype(self):
        return self.pick(["<!DOCTYPE html>\n", "<!doctype html>", "",
                          '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN">\n',
                          '<!DOCTYPE html PUBLIC "-//W3O//DTD W3 HTML 3.0//EN">\n',
                          "<!DOCTYPE>", "\ufeff<!DOCTYPE html>"])

    def head(self):
        parts = []
        if self.chance(0.1):
            self.feature("windows-1252 document")
            parts.append('<meta charset="windows-1252">')
        for _ in range(self.rng.choice([0, 1, 1, 1, 2])):
            self.feature("title")
            title = self.pick([self.text_run(), "", "<b>not bold</b> &amp; \\x", self.long_word(),
                               "line\none\r\ntwo"])
            parts.append("<title>%s</title>" % title)
        for _ in range(self.rng.choice([0, 1, 1, 2])):
            self.feature("meta author")
            name = self.pick(["author", "Author", "AUTHOR", "author ", "creator"])
            if self.chance(0.1):
                parts.append("<meta name=%s>" % name)
            else:
                content = self.pick([self.text_run(3), "", "J.~Doe & A_B {Ltd}, 50% #2 ^ \\ $",
                                     "A&#10;&#10;B", self.long_word()])
                parts.append("<meta name=%s content=%s>" % (name, self.quoted(content)))
        extras = [
            '<meta name="description" content="%s">' % self.word(),
            '<meta http-equiv="refresh" content="0; url=x">',
            '<link rel="stylesheet" href="a b.css">',
            '<base href="http://example.com/dir/">',
            "<style>body { color: red } </p> \\end{document}</style>",
            "<script>document.write('<p>x</p>'); // </scr + ipt></script>",
            "<noscript><link rel=stylesheet href=n.css><p>no script</p></noscript>",
            "<template><p>template in head</p></template>",
            "<script type=module>import x from 'y';</script>",
        ]
        for _ in range(self.rng.randint(0, 3)):
            self.feature("head extras")
            parts.append(self.pick(extras))
        return "".join(parts)

    def eof_tail(self):
        """Constructs that the end of the input cuts off."""
        self.feature("cut off by the end of input")
        return self.pick(["<!-- never closed", "<div", '<a href="x', "<!DOCTYPE",
                          "<script>never closed", "<textarea>never closed", "<plaintext>rest <b>",
                          "<svg><![CDATA[ open", "&#x", "<title>open", "<style>open",
                          "<xmp>open", "<iframe>open", "<noembed>open", "</", "<", "<p class=",
                          "<table><tr><td>open", "<ul><li>open", "<pre>open", "<h1>open",
                          "<b><i><u>open", "<dl><dt>open"])

    def document(self):
        if self.chance(0.02):
            self.feature("degenerate document")
            return self.pick(["", " ", "\n", "<!DOCTYPE html>", "<!-- -->", "<title>t</title>",
                              "<html></html>", "<body>", "\x00", "<frameset></frameset>",
                              "<br>", "<p>", "</p>", "<ul>", "<table>", "<pre>", "<h1>"])
        parts = [self.doctype()]
        explicit = self.chance(0.7)
        if explicit:
            parts.append("<html%s><head>" % self.attr("lang", self.pick(["en", "de", "zh"])))
        parts.append(self.head())
        if explicit:
            parts.append("</head>\n<body%s>\n" % self.common_attrs())
        nesting = [(0.12, self.deep_inline), (0.1, self.deep_blocks), (0.12, self.deep_lists),
                   (0.06, self.deep_tables), (0.01, self.giant_line),
                   (0.05, self.at_depth_limit)]
        body = []
        while not self.out_of_budget():
            body.append(self.block(0))
            body.append(self.pick(["\n", "", " ", "\n\n"]))
        for probability, shape in nesting:
            if self.chance(probability):
                body.insert(self.rng.randrange(len(body) + 1), shape())
        if self.chance(0.05):
            self.feature("second body and html tags")
            body.insert(self.rng.randrange(len(body) + 1),
                        self.pick(["<body class=x>", "<html lang=y>", "<head><title>late</title>",
                                   "</body>", "</html>", "<frameset>"]))
        parts.extend(body)
        if explicit and self.chance(0.8):
            parts.append("</body></html>\n")
        if self.chance(0.1):
            parts.append(self.eof_tail())
        document = "".join(parts)
        if self.chance(0.05):
            self.feature("minified: no line feeds")
            document = re.sub("[\r\n]+", " ", document)
        return document


# The frame's options on the command line, which tagweave takes beside the
# page: a title and an author with every character LaTeX reserves, and the
# standard classes with their usual options.
OPTION_TITLES = ["Q&A: #1 of 100% {x} ~y ^z \\ <a> _ $5", "", "\U0001f600 \u00fcn\u00ef \u65e5\u672c",
                 "A title\n\nover a blank line", "[bracketed]", "\\end{document}"]
OPTION_STYLES = ["{article}", "[12pt]{report}", "{book}", "[twocolumn]{article}",
                 "[a4paper,11pt]{article}", "[twoside,openright]{report}"]


def command_options(seed):
    """The tagweave options that go with the document of `seed`: none for
    half of the seeds, a mix of the frame's options for the others."""
    rng = random.Random("options %d" % seed)
    if rng.random() < 0.5:
        return []
    options = []
    for flag, probability in (("-n", 0.5), ("-c", 0.4), ("-p", 0.2)):
        if rng.random() < probability:
            options.append(flag)
    for flag, values, probability in (("-t", OPTION_TITLES, 0.3), ("-a", OPTION_TITLES, 0.3),
                                      ("-o", OPTION_STYLES, 0.3)):
        if rng.random() < probability:
            options += [flag, rng.choice(values)]
    return options


def encode(document, rng):
    """The document's bytes: UTF-8, the stray bytes it asked for, and now and
    then the whole of it in UTF-16 behind a byte order mark."""
    if rng.random() < 0.02:
        return b"\xff\xfe" + document.encode("utf-16-le", "surrogatepass")
    return document.encode("utf-8", "surrogateescape")


def generate(seed, size=DEFAULT_SIZE):
    """The document for `seed` as bytes, and the names of the shapes it used."""
    generator = Generator(seed, size)
    document = generator.document()
    data = encode(document, generator.rng)
    if data.startswith(b"\xff\xfe"):
        generator.feature("UTF-16 document")
    return data, generator.used


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("seed", type=int, nargs="?")
    parser.add_argument("--size", type=int, default=DEFAULT_SIZE)
    parser.add_argument("--trace", action="store_true")
    parser.add_argument("--images", metavar="DIR")
    parser.add_argument("--options", action="store_true",
                        help="print the tagweave options that go with the seed instead")
    args = parser.parse_args()
    if args.images:
        write_images(args.images)
        return
    if args.seed is None:
        parser.error("a seed is needed")
    if args.options:
        print(shlex.join(command_options(args.seed)))
        return
    data, used = generate(args.seed, args.size)
    sys.stdout.buffer.write(data)
    if args.trace:
        for name in sorted(used):
            print(name, file=sys.stderr)


if __name__ == "__main__":
    main()
