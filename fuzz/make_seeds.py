#!/usr/bin/env python3
"""Writes the hand-made seeds of the fuzz corpora: small WAV files in several encodings (wave_file) and
command streams for the render loop (render_events). The other seeds come from the quillon tool and the
plug-in itself (see README.md). Usage: make_seeds.py <fuzz/corpus folder>"""
import math
import os
import struct
import sys


def riff(fmt_chunk, data, extra_chunks=b""):
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt_chunk)) + fmt_chunk + extra_chunks
    body += b"data" + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")
    return b"RIFF" + struct.pack("<I", len(body)) + body


def fmt(tag, channels, rate, bits, block_align, extra=None):
    chunk = struct.pack("<HHIIHH", tag, channels, rate, rate * block_align, block_align, bits)
    if extra is not None:
        chunk += struct.pack("<H", len(extra)) + extra
    return chunk


def sine(frames, scale):
    return [scale * math.sin(2 * math.pi * 440 * i / 8000) for i in range(frames)]


def mulaw(x):
    # G.711 mu-law of a value -1..1.
    sign = 0x80 if x < 0 else 0
    magnitude = min(int(abs(x) * 32635) + 0x84, 32767)
    exponent = max(0, magnitude.bit_length() - 8)
    mantissa = (magnitude >> (exponent + 3)) & 0x0F
    return ~(sign | (exponent << 4) | mantissa) & 0xFF


def waves():
    frames = 32
    yield "pcm8_mono.wav", riff(fmt(1, 1, 8000, 8, 1), bytes(int(128 + 100 * s) for s in sine(frames, 1.0)))
    stereo = b"".join(struct.pack("<hh", int(s), int(-s)) for s in sine(frames, 20000))
    yield "pcm16_stereo.wav", riff(fmt(1, 2, 8000, 16, 4), stereo)
    pcm24 = b"".join(struct.pack("<i", int(s))[:3] for s in sine(frames, 4000000))
    yield "pcm24_mono.wav", riff(fmt(1, 1, 8000, 24, 3), pcm24)
    yield "float32_mono.wav", riff(fmt(3, 1, 8000, 32, 4, b""), b"".join(struct.pack("<f", s) for s in sine(frames, 0.5)),
                                   b"fact" + struct.pack("<II", 4, frames))
    yield "mulaw_mono.wav", riff(fmt(7, 1, 8000, 8, 1, b""), bytes(mulaw(s) for s in sine(frames, 0.8)),
                                 b"fact" + struct.pack("<II", 4, frames))
    # IMA ADPCM: one 256-byte block of 505 samples (a 4-byte header, then 4-bit codes).
    block = struct.pack("<hBB", 0, 20, 0) + bytes((i * 37) & 0xFF for i in range(252))
    yield "ima_adpcm_mono.wav", riff(fmt(0x11, 1, 8000, 4, 256, struct.pack("<H", 505)), block,
                                     b"fact" + struct.pack("<II", 4, 505))
    # WAVE_FORMAT_EXTENSIBLE, 16-bit PCM sub-format.
    guid = struct.pack("<IHH", 1, 0x0000, 0x0010) + bytes([0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71])
    ext = struct.pack("<HI", 16, 4) + guid
    yield "extensible16_mono.wav", riff(fmt(0xFFFE, 1, 8000, 16, 2, ext),
                                        b"".join(struct.pack("<h", int(s)) for s in sine(frames, 10000)))


def render_streams():
    # Selector % 4: 0 parameter (index, 2 value bytes), 1 raw float parameter (index, 4 bytes),
    # 2 MIDI event (frame, status, data1, data2), 3 render a block.
    def event(frame, status, d1, d2):
        return bytes([2, frame & 0xFF, status, d1, d2])

    def param(index, value):
        v = int(value * 65535)
        return bytes([0, index & 0xFF, v & 0xFF, v >> 8])

    block = bytes([3])
    yield "note.bin", event(0, 0x90, 60, 100) + block * 4 + event(10, 0x80, 60, 0) + block * 2
    yield "chord_params.bin", (event(0, 0x90, 48, 90) + event(3, 0x90, 55, 90) + event(7, 0x91, 64, 90) + block +
                               param(0, 0.25) + param(40, 0.9) + param(123, 0.5) + block +
                               event(5, 0xB0, 1, 127) + event(6, 0xE0, 0, 96) + block +
                               event(20, 0xB0, 123, 0) + block)
    yield "program_change.bin", event(0, 0xC0, 3, 0) + event(1, 0x90, 72, 127) + block * 3
    yield "raw_float.bin", event(0, 0x90, 60, 100) + bytes([1, 5]) + struct.pack("<f", 0.75) + block * 2


def record_patches():
    # First byte: bit 0 bank, bit 1 patch mode; then patches of (3-byte offset, length, bytes) to the
    # well-formed base records. Offsets: frame count 632, first frame time 636, harmony loop 51436,
    # first envelope's point count 51444.
    def patch(offset, data):
        return struct.pack("<I", offset)[:3] + bytes([len(data)]) + data

    yield "patch_none_program.bin", bytes([2])
    yield "patch_none_bank.bin", bytes([3])
    yield "patch_counts.bin", bytes([2]) + patch(632, struct.pack("<i", 4)) + patch(51444, struct.pack("<i", 0))
    yield "patch_nan_times.bin", (bytes([2]) + patch(636, struct.pack("<f", float("nan"))) +
                                  patch(51436, struct.pack("<ff", float("inf"), float("nan"))))
    yield "patch_bank_slot.bin", bytes([3]) + patch(7104516, struct.pack("<i", 200))


def main():
    root = sys.argv[1]
    for folder, items in (("wave_file", waves()), ("render_events", render_streams()),
                          ("plugin_chunk", record_patches()), ("program_file", record_patches())):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        for name, data in items:
            with open(os.path.join(root, folder, name), "wb") as out:
                out.write(data)


if __name__ == "__main__":
    main()
