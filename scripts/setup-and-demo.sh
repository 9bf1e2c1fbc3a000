#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the host, and renders the demo: a short MIDI phrase
# (examples/demo.mid) played through Quillon with a program authored by `quillon program`, into demo.wav.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
quillon="$root/build/quillon"
"$quillon" info --plugin "$root/build/Quillon.so" | head -n 12
"$quillon" program --wave saw --name "Demo Saw" --param 76=1 --param 100=1 -o "$root/build/demo.bpa"
"$quillon" render "$root/examples/demo.mid" --program "$root/build/demo.bpa" -o "$root/demo.wav"
echo "Wrote $root/demo.wav"
