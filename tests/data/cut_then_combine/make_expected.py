#!/usr/bin/env python3
"""Writes what corvane-batch showed and wrote for cut-then-combine runs when every tile waited
for the end of the run: one file per row of tests/e2e/cut_then_combine_test.cpp, with the exit
status, the progress lines, and each file of the output folder with the SHA-1 of its bytes.

    make_expected.py CORVANE_BATCH OUTPUT_FOLDER WORK_FOLDER

The sources are BMP files made byte for byte as the test makes them.
"""
import hashlib
import os
import shutil
import struct
import subprocess
import sys

SIZES = [(40, 20), (30, 30), (20, 10), (24, 16), (16, 12)]
ROWS = {
    'CutByCount': (['--cut', '2x1', '--combine', '2x2', '-f', 'png,bmp'], '.bmp', False),
    'CutByCell': (['--cut-cell', '16x16', '--combine', '3x2', '-f', 'png,bmp'], '.bmp', False),
    'OverwritingItsSources': (['--cut', '2x1', '--combine', '1x1', '-f', 'bmp', '--on-clash',
                               'overwrite'], '.BMP', True),
    'SameFormatAsTheSources': (['--cut', '2x2', '--combine', '3x1', '--same-format'], '.bmp',
                               False),
}


def pixel(x, y, seed):
    return ((x * 9 + seed * 40) & 255, (y * 13 + seed) & 255, (seed * 70 + x * y) & 255)


def write_bmp(path, width, height, seed):
    stride = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            red, green, blue = pixel(x, y, seed)
            row += bytes((blue, green, red))
        data += row + b'\0' * (stride - len(row))
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


def main():
    binary, target, work = sys.argv[1:4]
    for name, (arguments, extension, in_place) in ROWS.items():
        root = os.path.join(work, name)
        shutil.rmtree(root, ignore_errors=True)
        source = os.path.join(root, 'src')
        os.makedirs(source)
        for i, stem in enumerate('abcde'):
            write_bmp(os.path.join(source, stem + extension), *SIZES[i], i + 1)
        with open(os.path.join(source, 'c2.txt'), 'w') as f:
            f.write('not a picture')
        out = source if in_place else os.path.join(root, 'out')
        os.makedirs(out, exist_ok=True)
        run = subprocess.run([binary, '--threads', '1'] + arguments + ['-o', out, source],
                             capture_output=True, text=True)
        files = [n + ' ' + hashlib.sha1(open(os.path.join(out, n), 'rb').read()).hexdigest()
                 for n in sorted(os.listdir(out))]
        with open(os.path.join(target, name + '.txt'), 'w') as f:
            f.write(f'exit {run.returncode}\n' + run.stdout + '--\n' + '\n'.join(files) + '\n')


main()
