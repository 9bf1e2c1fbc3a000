#!/usr/bin/env python3
"""Compares the pixels of two PNG pictures (8-bit grey, RGB or RGBA, not interlaced), checking every chunk's
CRC on the way. Prints the size and whether the pixels are identical.
    compare-pictures.py REFERENCE.png OTHER.png"""
import struct, sys, zlib
def pixels(path):
    data, at, idat, header = open(path, 'rb').read(), 8, b'', None
    while at < len(data):
        size, tag = struct.unpack('>I4s', data[at:at + 8])
        body = data[at + 8:at + 8 + size]
        if zlib.crc32(tag + body) != struct.unpack('>I', data[at + 8 + size:at + 12 + size])[0]:
            sys.exit(f'{path}: bad CRC in {tag}')
        if tag == b'IHDR': header = struct.unpack('>II', body[:8]) + (body[9],)
        if tag == b'IDAT': idat += body
        at += 12 + size
    width, height, colour = header
    stride, raw, rows, above = width * {0: 1, 2: 3, 6: 4}[colour], zlib.decompress(idat), [], None
    bpp = stride // width
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - bpp] if i >= bpp else 0
            b = above[i] if above else 0
            c = above[i - bpp] if above and i >= bpp else 0
            p = a + b - c
            paeth = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
            row[i] = (row[i] + [0, a, b, (a + b) // 2, paeth][kind]) & 255
        rows.append(bytes(row)); above = row
    return header, b''.join(rows)
native, windows = pixels(sys.argv[1]), pixels(sys.argv[2])
print(f'   {native[0][0]} x {native[0][1]}: ' + ('identical pixels' if native == windows else 'DIFFERENT'))
if native != windows: sys.exit('the editor pictures differ')
