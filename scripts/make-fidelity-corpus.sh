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

# shellcheck source=SCRIPTDIR/lib/fluid-notes.sh
source "$root/scripts/lib/fluid-notes.sh"
fluid_install_missing make-fidelity-corpus

fonts=("$fluid_timgm6mb:")
[[ -f $fluid_musescore_lite ]] && fonts+=("$fluid_musescore_lite:_ms")

# General MIDI programs (counted from 0).
instruments=(piano:0 organ:19 violin:40 choir:52 trumpet:56 clarinet:71 flute:73)
notes=(36 43 50 57 64 71 78 84)

mkdir -p "$corpus"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

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
            # 2.5 s held at velocity 100 (2400 ticks), then 0.5 s (480 ticks).
            fluid_render_note "$out" "$file" "$program" "$note" 100 2400 480 "$work"
            made=$((made + 1))
        done
    done
done
"$quillon" fidelity --make-synthetic "$corpus"
echo "make-fidelity-corpus: $corpus ($made notes rendered now, $(find "$corpus" -name '*.wav' | wc -l) in all)"
