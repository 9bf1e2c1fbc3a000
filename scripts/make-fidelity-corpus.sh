#!/usr/bin/env bash
# Makes the note corpus that `quillon fidelity` measures: one held note per file, named INSTRUMENT-NOTE.wav.
# Usage: scripts/make-fidelity-corpus.sh [build-dir] [corpus-dir]
#   build-dir   where the built `quillon` is (default: build); it writes the synthetic notes
#   corpus-dir  where the notes go (default: BUILD-DIR/fidelity-corpus); nothing here is kept in git
#
# General MIDI notes are played by FluidSynth from the TimGM6mb sound font (Debian packages fluidsynth and
# timgm6mb-soundfont, installed here when missing), without reverb or chorus: seven instruments, MIDI
# notes 36..84 in steps of 7 (8 notes each), 2.5 s held at velocity 100, then 0.5 s of release. When
# musescore-general-soundfont-small is installed its notes are added as INSTRUMENT_ms-NOTE.wav. The
# synthetic notes (synth_*) come from `quillon fidelity --make-synthetic`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
corpus="${2:-$build/fidelity-corpus}"
quillon="$build/quillon"
[[ -x "$quillon" ]] || { echo "make-fidelity-corpus: no quillon in $build (build it first)" >&2; exit 1; }

need=()
command -v fluidsynth >/dev/null || need+=(fluidsynth)
[[ -f /usr/share/sounds/sf2/TimGM6mb.sf2 ]] || need+=(timgm6mb-soundfont)
if ((${#need[@]})); then
    if [[ $(id -u) -ne 0 ]]; then
        echo "make-fidelity-corpus: please install ${need[*]} (apt-get)" >&2
        exit 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

fonts=("/usr/share/sounds/sf2/TimGM6mb.sf2:")
[[ -f /usr/share/sounds/sf3/MuseScore_General_Lite.sf3 ]] &&
    fonts+=("/usr/share/sounds/sf3/MuseScore_General_Lite.sf3:_ms")

# General MIDI programs (counted from 0).
instruments=(piano:0 organ:19 violin:40 choir:52 trumpet:56 clarinet:71 flute:73)
notes=(36 43 50 57 64 71 78 84)

mkdir -p "$corpus"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A variable-length quantity of a Standard MIDI File, as printf escapes.
vlq() {
    local value=$1 bytes
    bytes=$(printf '\\x%02x' $((value & 0x7f)))
    value=$((value >> 7))
    while ((value > 0)); do
        bytes=$(printf '\\x%02x' $(((value & 0x7f) | 0x80)))$bytes
        value=$((value >> 7))
    done
    printf '%s' "$bytes"
}

# One note: program change, note on, held 2.5 s (at 120 bpm and 480 ticks a quarter note: 2400 ticks),
# note off, then 0.5 s until the end of the track.
write_midi() {
    local path=$1 program=$2 note=$3 track
    track="\\x00\\xc0$(printf '\\x%02x' "$program")"
    track+="\\x00\\x90$(printf '\\x%02x' "$note")\\x64"
    track+="$(vlq 2400)\\x80$(printf '\\x%02x' "$note")\\x40"
    track+="$(vlq 480)\\xff\\x2f\\x00"
    local length
    length=$(printf '%b' "$track" | wc -c)
    {
        printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0'
        printf 'MTrk'
        printf '%b' "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((length >> 24 & 255)) $((length >> 16 & 255)) \
            $((length >> 8 & 255)) $((length & 255)))"
        printf '%b' "$track"
    } >"$path"
}

made=0
for font in "${fonts[@]}"; do
    file="${font%%:*}"
    suffix="${font##*:}"
    for entry in "${instruments[@]}"; do
        name="${entry%%:*}"
        program="${entry##*:}"
        for note in "${notes[@]}"; do
            out="$corpus/$name$suffix-$note.wav"
            [[ -f "$out" ]] && continue
            write_midi "$work/note.mid" "$program" "$note"
            fluidsynth -ni -q -R 0 -C 0 -g 1.0 -r 44100 -F "$out" "$file" "$work/note.mid" >/dev/null 2>&1
            made=$((made + 1))
        done
    done
done
"$quillon" fidelity --make-synthetic "$corpus"
echo "make-fidelity-corpus: $corpus ($made notes rendered now, $(find "$corpus" -name '*.wav' | wc -l) in all)"
