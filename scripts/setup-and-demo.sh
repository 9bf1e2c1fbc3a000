#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the host, and runs the main job.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
"$root/build/quillon" info --plugin "$root/build/Quillon.so"
