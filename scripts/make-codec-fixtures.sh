#!/usr/bin/env bash
# Writes the encoded wave files of tests/data/codecs and their reference decodings, both made by SoX, so
# that the codec services of every platform (libsndfile on Linux, the Audio Compression Manager on
# Windows) are checked against one independent decoder without SoX on the test machine.
#   scripts/make-codec-fixtures.sh            (needs sox: apt-get install sox)
# Each file holds a two-tone signal at 8 kHz, most long enough that the wave reader decodes them in more
# than one conversion. tests/data/codecs/sox-decoded.txt gets one line per file:
#   <file> <channels> <frames> <FNV-1a 64 of the 16-bit little-endian PCM samples SoX decodes, in hex>
# For MS ADPCM SoX's decoding is kept as well (<name>.sox.wav, 16-bit PCM): decoders of that format may
# round their predictions differently (Windows' drivers divide where SoX shifts), and a test then measures
# how far they stray.
# Dither is off and random numbers are fixed, so that a run gives the same files again. The files are
# committed; run this again only to change them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/tests/data/codecs"
command -v sox >/dev/null || { echo "sox is needed (apt-get install sox)" >&2; exit 1; }
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# name, channels, seconds, sox encoding options
cases=(
    "ima-adpcm-mono 1 1.5 -e ima-adpcm"
    "ima-adpcm-stereo 2 1.5 -e ima-adpcm"
    "ms-adpcm-mono 1 0.5 -e ms-adpcm"
    "ms-adpcm-stereo 2 0.5 -e ms-adpcm"
    "mu-law-stereo 2 0.75 -e u-law"
    "a-law-mono 1 0.75 -e a-law"
    "gsm610-mono 1 4 -e gsm-full-rate"
)
listing="$out/sox-decoded.txt"
echo "# Written by scripts/make-codec-fixtures.sh with $(sox --version | sed 's/^sox: *//')" >"$listing"
for entry in "${cases[@]}"; do
    read -r name channels seconds options <<<"$entry"
    # Two tones, one per channel or mixed for one channel, 3 dB below full scale so that nothing clips.
    sox -R -D -n -r 8000 -b 16 -c 2 "$work/$name-tones.wav" synth "$seconds" sine 440 sine 1320 gain -n -3
    sox -R -D "$work/$name-tones.wav" -c "$channels" "$work/$name-source.wav"
    # shellcheck disable=SC2086 # the options are words
    sox -R -D "$work/$name-source.wav" $options "$out/$name.wav"
    sox "$out/$name.wav" -t raw -e signed -b 16 -L "$work/$name.raw"
    [[ $name == ms-adpcm-* ]] && sox "$out/$name.wav" -e signed -b 16 "$out/$name.sox.wav"
    [[ $(soxi -c "$out/$name.wav") == "$channels" ]] || { echo "$name: not $channels channels" >&2; exit 1; }
    python3 - "$work/$name.raw" "$name.wav" "$channels" >>"$listing" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
h = 0xcbf29ce484222325
for byte in data:
    h = ((h ^ byte) * 0x100000001b3) & 0xffffffffffffffff
channels = int(sys.argv[3])
print(f'{sys.argv[2]} {channels} {len(data) // (2 * channels)} {h:016x}')
PY
done
cat "$listing"
