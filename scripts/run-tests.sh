#!/usr/bin/env bash
# Builds and runs the whole test suite. Usage: scripts/run-tests.sh [build-dir] [extra cmake args...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
shift || true
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$dir" "$@"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
