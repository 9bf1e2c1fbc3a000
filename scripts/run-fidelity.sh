#!/usr/bin/env bash
# Measures the analyser's fidelity over the note corpus (made first when missing) and prints the Markdown
# tables of `quillon fidelity`. Not part of the test run: it takes minutes.
# Usage: scripts/run-fidelity.sh [build-dir] [corpus-dir] [quillon fidelity options, e.g. --harmonics]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
corpus="${2:-$build/fidelity-corpus}"
shift $(($# < 2 ? $# : 2))
[[ -x "$build/quillon" ]] || { echo "run-fidelity: no quillon in $build (build the quillon target)" >&2; exit 1; }
if [[ ! -d "$corpus" ]] || [[ -z "$(find "$corpus" -name '*.wav' -print -quit)" ]]; then
    "$root/scripts/make-fidelity-corpus.sh" "$build" "$corpus" >&2
fi
exec "$build/quillon" fidelity "$@" "$corpus"
