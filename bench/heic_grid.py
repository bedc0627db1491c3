#!/usr/bin/env python3
"""Makes a grid HEIC as phones write them: a picture cut into square tiles, each tile an HEVC image
of its own, put together by a 'grid' item. heif-enc (libheif-examples) encodes the tiles; this
script only lays out the container (the HEIF format document, ISO/IEC 23008-12):

  heic_grid.py OUTPUT.heic WIDTH HEIGHT COLUMNS TILE.png... [--quality 50]

The tiles come row by row, all of one square size; those at the right and bottom edges are
padded, and the grid's output size WIDTH x HEIGHT crops them, as a camera's grid does. Used by
bench/compare (12 MP photos) and the tests (small grids).
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile


def box(kind, payload):
    return struct.pack(">I", 8 + len(payload)) + kind + payload


def full_box(kind, version, flags, payload):
    return box(kind, struct.pack(">I", (version << 24) | flags) + payload)


def children(data):
    """(kind, payload) of each box in `data`."""
    at = 0
    while at + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        yield kind, data[at + 8:at + size]
        at += size


def find(data, *path):
    for kind, payload in children(data):
        if kind == path[0]:
            if len(path) == 1:
                return payload
            inner = payload[4:] if kind in (b"meta",) else payload
            return find(inner, *path[1:])
    raise ValueError(f"no {path[0]} box")


def tile_parts(path):
    """(hvcC payload, coded bytes) of the primary image heif-enc wrote (it may add an EXIF
    item of its own)."""
    data = open(path, "rb").read()
    meta = find(data, b"meta")[4:]
    primary = struct.unpack(">H", find(meta, b"pitm")[4:6])[0]
    ipco = find(find(meta, b"iprp"), b"ipco")
    hvcc = next(p for k, p in children(ipco) if k == b"hvcC")
    iloc = find(meta, b"iloc")
    version = iloc[0]
    sizes = iloc[4:6]
    offset_size, length_size, base_size = sizes[0] >> 4, sizes[0] & 15, sizes[1] >> 4
    index_size = sizes[1] & 15 if version in (1, 2) else 0
    at = 6
    count = struct.unpack(">H", iloc[at:at + 2])[0]
    at += 2
    read = lambda n: (int.from_bytes(iloc[at:at + n], "big"), at + n)  # noqa: E731
    chunks = b""
    for _ in range(count):
        item, at = read(2)
        if version in (1, 2):
            _method, at = read(2)
        _ref, at = read(2)
        base, at = read(base_size)
        extents, at = read(2)
        for _ in range(extents):
            if index_size:
                _index, at = read(index_size)
            offset, at = read(offset_size)
            length, at = read(length_size)
            if item == primary:
                chunks += data[base + offset:base + offset + length]
    return hvcc, chunks


def grid_file(width, height, tile, columns, rows, tiles):
    count = len(tiles)
    grid_id, first_tile = 1, 2
    ftyp = box(b"ftyp", b"heic" + struct.pack(">I", 0) + b"mif1heic")
    hdlr = full_box(b"hdlr", 0, 0, b"\0" * 4 + b"pict" + b"\0" * 12 + b"\0")
    pitm = full_box(b"pitm", 0, 0, struct.pack(">H", grid_id))
    entries = [full_box(b"infe", 2, 0, struct.pack(">HH", grid_id, 0) + b"grid" + b"\0")]
    entries += [full_box(b"infe", 2, 1, struct.pack(">HH", first_tile + i, 0) + b"hvc1" + b"\0")
                for i in range(count)]
    iinf = full_box(b"iinf", 0, 0, struct.pack(">H", len(entries)) + b"".join(entries))
    refs = box(b"dimg", struct.pack(">HH", grid_id, count)
               + b"".join(struct.pack(">H", first_tile + i) for i in range(count)))
    iref = full_box(b"iref", 0, 0, refs)
    # Properties: 1 the grid's size, 2 the tiles' size, 3.. each tile's decoder configuration.
    ispe = lambda w, h: full_box(b"ispe", 0, 0, struct.pack(">II", w, h))  # noqa: E731
    props = [ispe(width, height), ispe(tile, tile)] + [box(b"hvcC", h) for h, _ in tiles]
    ipco = box(b"ipco", b"".join(props))
    # Property indices of 15 bits (flags 1), so that any number of tiles fits.
    associations = [struct.pack(">HBH", grid_id, 1, 1)]
    associations += [struct.pack(">HBHH", first_tile + i, 2, 0x8000 | (3 + i), 2)
                     for i in range(count)]
    ipma = full_box(b"ipma", 0, 1, struct.pack(">I", len(associations)) + b"".join(associations))
    iprp = box(b"iprp", ipco + ipma)
    descriptor = struct.pack(">BBBBHH", 0, 0, rows - 1, columns - 1, width, height)
    idat = box(b"idat", descriptor)

    def iloc(mdat_start):
        items = [struct.pack(">HHHH", grid_id, 1, 0, 1) + struct.pack(">II", 0, len(descriptor))]
        at = mdat_start
        for i, (_h, coded) in enumerate(tiles):
            items.append(struct.pack(">HHHH", first_tile + i, 0, 0, 1)
                         + struct.pack(">II", at, len(coded)))
            at += len(coded)
        # version 1: offset 4, length 4, base offset 0, index 0 bytes.
        return full_box(b"iloc", 1, 0, bytes([0x44, 0x00]) + struct.pack(">H", len(items))
                        + b"".join(items))

    def meta(mdat_start):
        return full_box(b"meta", 0, 0, hdlr + pitm + iloc(mdat_start) + iinf + iref + iprp + idat)

    head = len(ftyp) + len(meta(0)) + 8  # the iloc's length does not depend on the offsets
    payload = b"".join(coded for _h, coded in tiles)
    return ftyp + meta(head) + box(b"mdat", payload)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("output")
    parser.add_argument("width", type=int)
    parser.add_argument("height", type=int)
    parser.add_argument("columns", type=int)
    parser.add_argument("tiles", nargs="+")
    parser.add_argument("--quality", type=int, default=50)
    args = parser.parse_args()
    rows = len(args.tiles) // args.columns
    if rows * args.columns != len(args.tiles):
        parser.error("the tiles do not fill the rows")
    with open(args.tiles[0], "rb") as f:
        tile = struct.unpack(">I", f.read(24)[16:20])[0]  # a PNG's width
    coded = []
    with tempfile.TemporaryDirectory() as work:
        heic = os.path.join(work, "tile.heic")
        for png in args.tiles:
            subprocess.run(["heif-enc", "-q", str(args.quality), "-o", heic, png], check=True,
                           stdout=subprocess.DEVNULL)
            coded.append(tile_parts(heic))
    with open(args.output, "wb") as out:
        out.write(grid_file(args.width, args.height, tile, args.columns, rows, coded))
    return 0


if __name__ == "__main__":
    sys.exit(main())
