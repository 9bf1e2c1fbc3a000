#!/usr/bin/env bash
# Makes the factory harmonies, factory/harmonies/NAME.qh: sampled General MIDI notes analysed into timed
# harmony frames, which the factory program descriptions read with `harmony NAME.qh`.
# Usage: scripts/make-factory-harmonies.sh [--check-only] [build-dir [NAME...]]
#   --check-only  render and analyse, check the frames' fundamentals, write nothing
#   build-dir     where the built `quillon` is (default: build)
#   NAME...       only these harmonies (default: all of the table below)
#
# Each note is played by FluidSynth (Debian package fluidsynth, installed here when missing together
# with the sound fonts) without reverb or chorus at 44.1 kHz into a temporary folder, analysed with
# `quillon analyze --mode MODE`, and written with `quillon harmony text`; the comments at the top of
# each file name the sound font, its package and licence, the program, note, velocity and mode. Neither
# the sound fonts nor the rendered notes are kept. Licences: LICENSES/sound-fonts.md.
#
# Every kept frame's fundamental must lie within 50 cents of the note, else the script stops with an
# error (an octave off counts as off): the table below records per harmony the source, velocity, note
# and mode that analyse cleanly with today's analyser.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
check_only=0
if [[ ${1:-} == --check-only ]]; then
    check_only=1
    shift
fi
build="${1:-$root/build}"
shift || true
quillon="$build/quillon"
out_dir="$root/factory/harmonies"
[[ -x "$quillon" ]] || { echo "make-factory-harmonies: no quillon in $build (build it first)" >&2; exit 1; }

# shellcheck source=SCRIPTDIR/lib/fluid-notes.sh
source "$root/scripts/lib/fluid-notes.sh"
fluid_install_missing make-factory-harmonies musescore-general-soundfont-small

# The sound fonts by short name: file, description for the comments.
declare -A font_file=([ms]="$fluid_musescore_lite" [tim]="$fluid_timgm6mb")
declare -A font_text=(
    [ms]="MuseScore General Lite 0.2.1 (Debian package musescore-general-soundfont-small; MIT licence, parts public domain or CC0; Fluid R3 samples (c) 2000-2002, 2008 Frank Wen, mono version (c) 2014-2017 Michael Cowgill, adaptation (c) 2018-2021 S. Christian Collins)"
    [tim]="TimGM6mb 1.3 (Debian package timgm6mb-soundfont; GNU GPL version 2; (c) 2004 Tim Brechbill, 2010 David Bolton)"
)

# General MIDI program names (programs counted from 0).
declare -A gm_name=(
    [0]="Acoustic Grand Piano" [4]="Electric Piano 1" [5]="Electric Piano 2" [6]="Harpsichord" [7]="Clavi"
    [8]="Celesta" [10]="Music Box" [11]="Vibraphone" [12]="Marimba" [16]="Drawbar Organ" [18]="Rock Organ"
    [19]="Church Organ" [20]="Reed Organ" [21]="Accordion" [33]="Electric Bass (finger)" [38]="Synth Bass 1"
    [40]="Violin" [41]="Viola" [42]="Cello" [43]="Contrabass" [45]="Pizzicato Strings"
    [48]="String Ensemble 1" [49]="String Ensemble 2" [52]="Choir Aahs" [53]="Voice Oohs" [54]="Synth Voice"
    [56]="Trumpet" [57]="Trombone" [58]="Tuba" [60]="French Horn" [61]="Brass Section" [65]="Alto Sax"
    [68]="Oboe" [70]="Bassoon" [71]="Clarinet" [73]="Flute" [75]="Pan Flute"
)

# NAME FONT PROGRAM NOTE VELOCITY MODE KIND [fold] [note: why]
#   KIND held: 3 s held, then 1 s for the release; decay: 3.5 s held (the natural decay), then 0.5 s.
#   fold: a frame whose fundamental lies an octave or two below the note (the organ's sub-octave and
#   quint ranks make the sound's period that long) keeps only the harmonics of the note; the ranks
#   below it and between its harmonics are left out.
#   note: the text after it goes into the comments (why this source, velocity, note or mode).
harmonies=(
    "violin ms 40 67 100 medium held"
    "viola ms 41 60 100 medium held"
    "cello ms 42 48 100 medium held"
    "contrabass ms 43 36 100 medium held"
    "strings ms 48 60 100 medium held"
    "slowstrings ms 49 60 80 medium held note: velocity 80: at velocity 100 the first frame lies 50 cents flat"
    "pizzicato ms 45 60 100 medium decay"
    "trumpet ms 56 65 100 medium held"
    "trombone ms 57 53 100 medium held"
    "horn ms 60 57 100 soft held note: soft mode: in medium mode one frame of the attack lies 52 cents flat"
    "tuba ms 58 39 100 medium held note: note 39 (D#2) instead of 41 (F2): on 40 to 43 the attack frame lies 53 to 65 cents sharp"
    "brass ms 61 60 100 medium held"
    "flute ms 73 72 100 medium held"
    "clarinet ms 71 60 100 medium held"
    "oboe ms 68 67 120 medium held note: velocity 120: at velocity 100 the first frame lies 50 cents sharp"
    "bassoon ms 70 48 100 medium held"
    "altosax ms 65 62 100 medium held"
    "panflute ms 75 72 100 medium held"
    "churchorgan ms 19 60 80 soft held note: velocity 80 and soft mode: at velocity 100 a frame of the release lies 5 semitones flat, in medium mode two frames 58 cents sharp (the ranks beat)"
    "drawbar ms 16 60 100 medium held fold note: folded from two octaves below the key, where MuseScore General Lite's drawbar organ sounds most"
    "rockorgan ms 18 60 100 medium held fold"
    "reedorgan ms 20 60 100 medium held"
    "accordion ms 21 60 100 medium held"
    "choir-aah ms 52 60 100 soft held note: soft mode: in medium mode one frame lies 51 cents sharp"
    "voice-ooh ms 53 59 100 medium held note: note 59 (B3) instead of 60 (C4): on 60 and 61 the attack frame lies 70 cents sharp"
    "synthvoice ms 54 60 120 medium held note: velocity 120: at velocity 100 a frame of the release lies 74 cents sharp"
    "piano ms 0 60 100 medium decay"
    "epiano ms 4 60 100 medium decay"
    "epiano2 ms 5 60 100 medium decay"
    "harpsichord ms 6 60 100 medium decay"
    "clavinet ms 7 48 120 medium decay note: velocity 120: at velocity 100 a frame of the release lies 6 semitones flat"
    "celesta ms 8 72 100 medium decay"
    "musicbox ms 10 72 100 medium decay"
    "vibraphone ms 11 72 100 medium decay"
    "marimba ms 12 60 100 medium decay"
    "fingerbass ms 33 40 100 medium decay"
    "synthbass ms 38 36 100 medium decay"
)

note_name() {
    local names=(C C# D D# E F F# G G# A A# B)
    printf '%s%d' "${names[$1 % 12]}" $(($1 / 12 - 1))
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
[[ $check_only -eq 1 ]] || mkdir -p "$out_dir"

# Whether harmony NAME was asked for (all are when none was named).
wanted() {
    local asked
    ((${#selected[@]})) || return 0
    for asked in "${selected[@]}"; do
        [[ $asked == "$1" ]] && return 0
    done
    return 1
}
selected=("$@")
for asked in "${selected[@]}"; do
    found=0
    for entry in "${harmonies[@]}"; do
        [[ ${entry%% *} == "$asked" ]] && found=1
    done
    ((found)) || { echo "make-factory-harmonies: no harmony '$asked' in the table" >&2; exit 1; }
done

failed=0
made=0
for entry in "${harmonies[@]}"; do
    read -r name font program note velocity mode kind rest <<<"$entry"
    wanted "$name" || continue
    fold=0
    why=""
    if [[ $rest == fold* ]]; then
        fold=1
        rest="${rest#fold}"
        rest="${rest# }"
    fi
    [[ $rest == note:* ]] && why="${rest#note: }"
    if [[ $kind == held ]]; then
        hold=2880 tail=960 # 3 s and 1 s at 960 ticks a second
    else
        hold=3360 tail=480 # 3.5 s and 0.5 s
    fi
    wav="$work/$name.wav"
    fluid_render_note "$wav" "${font_file[$font]}" "$program" "$note" "$velocity" "$hold" "$tail" "$work"
    if ! "$quillon" analyze "$wav" -o "$work/$name.bpa" --mode "$mode" --name "$name" >"$work/$name.txt" 2>&1; then
        echo "make-factory-harmonies: $name: the analysis failed:" >&2
        cat "$work/$name.txt" >&2
        failed=$((failed + 1))
        continue
    fi

    # Per frame: its index, time, fundamental, its offset from the note in cents and how many harmonics
    # of the frame make one of the note (1, or 2 and 4 for a frame locked an octave or two low when
    # folding); an offset beyond 50 cents fails.
    if ! awk -v note="$note" -v fold="$fold" -v name="$name" '
        $1 ~ /^[0-9]+$/ && NF >= 3 && $2 ~ /^[0-9.]+$/ {
            cents = 1200 * log($3 / (440 * 2 ^ ((note - 69) / 12))) / log(2)
            step = 1
            if (fold && cents < -1150 && cents > -1250) { step = 2; cents += 1200 }
            if (fold && cents < -2350 && cents > -2450) { step = 4; cents += 2400 }
            printf "%d %s %s %+.0f %d\n", $1, $2, $3, cents, step
            if (cents > 50 || cents < -50) {
                printf "make-factory-harmonies: %s: frame %d at %s s: %s Hz, %+.0f cents from the note\n",
                    name, $1, $2, $3, cents > "/dev/stderr"
                bad = 1
            }
        }
        END { exit bad }' "$work/$name.txt" >"$work/$name.frames"; then
        failed=$((failed + 1))
        continue
    fi
    frames=$(wc -l <"$work/$name.frames")
    range=$(awk 'NR == 1 || $4 < lo { lo = $4 } NR == 1 || $4 > hi { hi = $4 }
                 END { printf "%+d..%+d cents", lo, hi }' "$work/$name.frames")
    folded=$(awk '$5 > 1' "$work/$name.frames" | wc -l)
    summary="$name: $font program $program, note $note, velocity $velocity, $mode: $frames frames, $range"
    ((folded == 0)) || summary+=", $folded folded"
    if ((check_only)); then
        echo "$summary"
        continue
    fi

    gm="${gm_name[$program]}"
    comments=(
        "Factory harmony '$name': $gm, resynthesised by Quillon's analyser from one sampled note."
        "Source: ${font_text[$font]}."
        "General MIDI program $program (counted from 0): $gm; note $note ($(note_name "$note")), velocity $velocity;"
        "played by FluidSynth without reverb or chorus at 44.1 kHz, $([[ $kind == held ]] && echo "held 3 s, then 1 s of release" || echo "held 3.5 s as it decays, then 0.5 s"); frames after $([[ $kind == held ]] && echo 3 || echo 3.5) s belong to the release;"
        "analysed with 'quillon analyze --mode $mode': $frames frames, fundamentals $range from the note."
    )
    [[ -z $why ]] || comments+=("Choice: $why.")
    ((fold == 0)) || comments+=("Folded: $folded frame(s) locked one or two octaves below the note (on the organ's sub-octave rank) keep only the harmonics of the note; the ranks below it and the quints between are left out.")
    comments+=("Made by scripts/make-factory-harmonies.sh; licences in LICENSES/sound-fonts.md.")
    comment_args=()
    for line in "${comments[@]}"; do
        comment_args+=(--comment "$line")
    done
    "$quillon" harmony text "$work/$name.bpa" -o "$work/$name.qh" "${comment_args[@]}" >/dev/null

    # Folding: harmonic k of a frame folded by STEP becomes harmonic k/STEP where STEP divides k; the
    # other harmonics are left out (phases likewise, by the frame's time).
    awk -v framesfile="$work/$name.frames" '
        BEGIN { while ((getline line < framesfile) > 0) { split(line, f, " "); step[f[1]] = f[5] } }
        $1 == "frame" { s = step[n++]; at[$2] = s }
        $1 == "phases" { s = at[$2] }
        ($1 == "frame" || $1 == "phases") && s > 1 {
            line = $1 " " $2
            for (i = 2 + s; i <= NF; i += s) line = line " " $i
            if ($1 == "frame") sub(/( 255)+$/, "", line)
            print line
            next
        }
        { print }' "$work/$name.qh" >"$work/$name.folded"

    # The first frame must be at time 0 and must sound; it is the loudest harmonic within 60 dB of the
    # loudest of the file.
    if ! awk -v name="$name" '
        $1 == "frame" {
            m = 255
            for (i = 3; i <= NF; i++) if ($i < m) m = $i
            if (++n == 1) { t0 = $2; first = m }
            if (m < best || n == 1) best = m
        }
        END {
            if (n == 0) { print "make-factory-harmonies: " name ": no frames" > "/dev/stderr"; exit 1 }
            if (t0 != 0) { print "make-factory-harmonies: " name ": the first frame is at " t0 " s" > "/dev/stderr"; exit 1 }
            if (first - best > 120) {
                printf "make-factory-harmonies: %s: the first frame is silent (%.1f dB below the loudest)\n",
                    name, (first - best) / 2 > "/dev/stderr"
                exit 1
            }
        }' "$work/$name.folded"; then
        failed=$((failed + 1))
        continue
    fi
    mv "$work/$name.folded" "$out_dir/$name.qh"
    echo "$summary"
    made=$((made + 1))
done

if ((failed)); then
    echo "make-factory-harmonies: $failed harmonies failed" >&2
    exit 1
fi
((check_only)) || echo "make-factory-harmonies: $made harmonies written to $out_dir"
