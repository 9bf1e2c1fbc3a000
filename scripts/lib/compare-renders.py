#!/usr/bin/env python3
"""Compares two float WAV renders of the same song: same length, and the largest sample difference at or
below a limit in dBFS (default -120). Prints the frames, the peak and the difference.
    compare-renders.py REFERENCE.wav OTHER.wav [LIMIT_DBFS]"""
import array
import math
import struct
import sys


def samples(path):
    data = open(path, 'rb').read()
    at = 12
    while at + 8 <= len(data):
        tag, size = data[at:at + 4], struct.unpack('<I', data[at + 4:at + 8])[0]
        if tag == b'data':
            values = array.array('f')
            values.frombytes(data[at + 8:at + 8 + size])
            return values
        at += 8 + size + (size & 1)
    sys.exit(f'{path}: no data chunk')


reference, other = samples(sys.argv[1]), samples(sys.argv[2])
limit = float(sys.argv[3]) if len(sys.argv) > 3 else -120.0
if len(reference) != len(other):
    sys.exit(f'lengths differ: {len(reference)} and {len(other)} samples')
diff = max((abs(a - b) for a, b in zip(reference, other)), default=0.0)
peak = max((abs(a) for a in reference), default=0.0)
print(f'   {len(reference) // 2} frames, peak {peak:.3g}, max difference ' +
      (f'{20 * math.log10(diff):.1f} dBFS' if diff > 0 else '0 (bit-identical)'))
if peak == 0:
    sys.exit('the render is silent')
if diff > 10 ** (limit / 20):
    sys.exit(f'the renders differ by more than {limit:g} dBFS')
