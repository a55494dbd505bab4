#!/usr/bin/env python3
"""Writes the zlib streams the inflater's tests read: testing/
png_fixtures/NAME.zlib, each of which inflates to the first bytes of
varied.raw (how many: the table below, which the tests repeat).

    testing/make_png_fixtures.py

Python's zlib makes them, with the strategies that give each kind of
deflate block: stored, fixed Huffman codes, dynamic codes, Huffman-only,
run-length, several blocks with flushes between them, and back references
that reach across the whole 32 KiB window. The output is deterministic
for a given zlib.
"""

import random
import zlib
from pathlib import Path

OUT = Path(__file__).resolve().parent / "png_fixtures"


def varied_bytes(size, seed):
    """Words and numbers with repeats near and far, so that the compressor
    uses literals, short and long matches and every distance range."""
    rng = random.Random(seed)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(1, 9)))
             for _ in range(300)]
    out = bytearray()
    while len(out) < size:
        choice = rng.random()
        if choice < 0.6:
            out += rng.choice(words) + b" "
        elif choice < 0.8:
            out += bytes(rng.randrange(256) for _ in range(rng.randint(1, 20)))
        elif len(out) > 40000 and choice < 0.9:
            start = len(out) - rng.randint(30000, 32768)
            out += out[start:start + rng.randint(3, 300)]
        else:
            out += bytes([rng.randrange(256)]) * rng.randint(3, 400)
    return bytes(out[:size])


def compress(data, level=9, strategy=zlib.Z_DEFAULT_STRATEGY, flush_every=None):
    c = zlib.compressobj(level, zlib.DEFLATED, 15, 9, strategy)
    if flush_every is None:
        return c.compress(data) + c.flush()
    out = b""
    for i in range(0, len(data), flush_every):
        out += c.compress(data[i:i + flush_every])
        out += c.flush(zlib.Z_FULL_FLUSH if (i // flush_every) % 2 else zlib.Z_SYNC_FLUSH)
    return out + c.flush()


# name -> (how many bytes of varied.raw it holds, compressor options)
FIXTURES = {
    "stored": (40000, dict(level=0)),
    "fixed": (20000, dict(strategy=zlib.Z_FIXED)),
    "dynamic": (70000, {}),
    "huffman-only": (20000, dict(strategy=zlib.Z_HUFFMAN_ONLY)),
    "run-length": (30000, dict(strategy=zlib.Z_RLE)),
    "flushed-blocks": (70000, dict(level=6, flush_every=7000)),
    "one-byte": (1, {}),
    "empty": (0, {}),
}


def main():
    OUT.mkdir(exist_ok=True)
    data = varied_bytes(70000, 1)
    (OUT / "varied.raw").write_bytes(data)
    for name, (size, options) in FIXTURES.items():
        (OUT / (name + ".zlib")).write_bytes(compress(data[:size], **options))


if __name__ == "__main__":
    main()
