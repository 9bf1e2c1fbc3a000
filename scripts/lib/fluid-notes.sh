# shellcheck shell=bash
# Single General MIDI notes played by FluidSynth, shared by the scripts that render sampled notes.
# Source it, then call fluid_install_missing SCRIPT-NAME and fluid_render_note.

fluid_timgm6mb=/usr/share/sounds/sf2/TimGM6mb.sf2
# shellcheck disable=SC2034 # read by the scripts that source this file
fluid_musescore_lite=/usr/share/sounds/sf3/MuseScore_General_Lite.sf3

# Installs fluidsynth and the TimGM6mb sound font (and the packages named as arguments after the script's
# name, e.g. musescore-general-soundfont-small) when missing; as root with apt-get, else it asks for them.
fluid_install_missing() {
    local script=$1 need=() package
    shift
    command -v fluidsynth >/dev/null || need+=(fluidsynth)
    [[ -f $fluid_timgm6mb ]] || need+=(timgm6mb-soundfont)
    for package in "$@"; do
        dpkg-query -W -f '${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || need+=("$package")
    done
    ((${#need[@]})) || return 0
    if [[ $(id -u) -ne 0 ]]; then
        echo "$script: please install ${need[*]} (apt-get)" >&2
        return 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
}

# A variable-length quantity of a Standard MIDI File, as printf escapes.
fluid_vlq() {
    local value=$1 bytes
    bytes=$(printf '\\x%02x' $((value & 0x7f)))
    value=$((value >> 7))
    while ((value > 0)); do
        bytes=$(printf '\\x%02x' $(((value & 0x7f) | 0x80)))$bytes
        value=$((value >> 7))
    done
    printf '%s' "$bytes"
}

# A Standard MIDI File of one note: program change, note on, held HOLD ticks, note off, then TAIL ticks
# until the end of the track (120 bpm, 480 ticks a quarter note: 960 ticks a second).
# Usage: fluid_write_midi PATH PROGRAM NOTE VELOCITY HOLD TAIL
fluid_write_midi() {
    local path=$1 program=$2 note=$3 velocity=$4 hold=$5 tail=$6 track length
    track="\\x00\\xc0$(printf '\\x%02x' "$program")"
    track+="\\x00\\x90$(printf '\\x%02x\\x%02x' "$note" "$velocity")"
    track+="$(fluid_vlq "$hold")\\x80$(printf '\\x%02x' "$note")\\x40"
    track+="$(fluid_vlq "$tail")\\xff\\x2f\\x00"
    length=$(printf '%b' "$track" | wc -c)
    {
        printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0'
        printf 'MTrk'
        printf '%b' "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((length >> 24 & 255)) $((length >> 16 & 255)) \
            $((length >> 8 & 255)) $((length & 255)))"
        printf '%b' "$track"
    } >"$path"
}

# Plays one note into a 44.1 kHz WAV file without reverb or chorus.
# Usage: fluid_render_note OUT.wav SOUNDFONT PROGRAM NOTE VELOCITY HOLD-TICKS TAIL-TICKS [WORK-DIR]
fluid_render_note() {
    local out=$1 font=$2 program=$3 note=$4 velocity=$5 hold=$6 tail=$7 work=${8:-$(dirname "$1")}
    fluid_write_midi "$work/note.mid" "$program" "$note" "$velocity" "$hold" "$tail"
    fluidsynth -ni -q -R 0 -C 0 -g 1.0 -r 44100 -F "$out" "$font" "$work/note.mid" >/dev/null 2>&1
}
