#!/usr/bin/env bash
# Lists both factory banks with their measures: per program its slot, name, category, frames, what it
# uses, the peak of a C major chord, the MasLevel for a -6 dBFS peak, DC, clicks, the release's silence
# and the CPU cost relative to a plain sawtooth with chorus and reverb.
# Usage: scripts/list-factory.sh [build-dir]   (default: build; the banks are built first)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
cmake --build "$dir" -j2 --target quillon Quillon factory_banks >/dev/null
for bank in "Factory A" "Factory B"; do
    file="$dir/Banks/$bank.bpb"
    if [[ ! -f "$file" ]]; then
        echo "$file: not built (no description?)" >&2
        continue
    fi
    echo "== $bank"
    "$dir/quillon" bank --list "$file" --measure --plugin "$dir/Quillon.so"
    echo
done
