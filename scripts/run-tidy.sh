#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy at the top of the repository) over the project's own sources: src/, tools/,
# bench/ and fuzz/. Usage: scripts/run-tidy.sh [build-dir, default build-tidy]
# A build folder without a cache is configured with clang, the benchmarks and the fuzz targets, so that its
# compile database names every source; nothing is built. Any warning fails the run, except those whose file
# and check scripts/tidy-pending.txt lists (findings waiting for a fix in files under other work).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-tidy}"
pending="$root/scripts/tidy-pending.txt"

"$root/scripts/install-deps.sh" clang clang-tidy
if [ -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" >/dev/null # refresh the compile database (new or removed sources)
else
    CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUILLON_BUILD_FUZZ=ON -DQUILLON_BUILD_BENCH=ON >/dev/null
fi

log="$dir/clang-tidy.log"
start=$SECONDS
status=0
run-clang-tidy -p "$dir" -j"$(nproc)" -quiet "^$root/(src|tools|bench|fuzz)/" >"$log" 2>&1 || status=$?
files=$(grep -c -E "\"file\": \"$root/(src|tools|bench|fuzz)/" "$dir/compile_commands.json" || true)
echo "clang-tidy: $files files in $((SECONDS - start)) s"

# Every diagnostic once, as "path:line:col: kind: message [check]" with the path relative to the root.
diagnostics=$(sed -e 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '^/[^:]+:[0-9]+:[0-9]+: (warning|error): ' |
    sed -e "s|^$root/||" -e 's/,-warnings-as-errors\]$/]/' | sort -u || true)
known=$(grep -v -E '^[[:space:]]*(#|$)' "$pending" 2>/dev/null || true)

fresh=""
while IFS= read -r line; do
    [ -n "$line" ] || continue
    file="${line%%:*}"
    check=$(sed -n 's/.*\[\([^]]*\)\]$/\1/p' <<<"$line")
    if grep -qxF "$file $check" <<<"$known"; then continue; fi
    fresh+="$line"$'\n'
done <<<"$diagnostics"

while IFS= read -r entry; do
    [ -n "$entry" ] || continue
    file="${entry%% *}"
    check="${entry#* }"
    if ! grep -F "$file:" <<<"$diagnostics" | grep -qF "[$check]"; then
        echo "note: '$entry' in $(basename "$pending") no longer fires; remove it"
    fi
done <<<"$known"

if [ -n "$fresh" ]; then
    printf '%s' "$fresh"
    echo "clang-tidy: $(printf '%s' "$fresh" | grep -c .) finding(s); the full output is in $log"
    exit 1
fi
if [ -z "$diagnostics" ] && [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    echo "clang-tidy: run-clang-tidy failed ($status) without a diagnostic; see $log"
    exit 1
fi
if [ -n "$diagnostics" ]; then
    echo "clang-tidy: clean apart from $(grep -c . <<<"$diagnostics") pending finding(s) listed in $(basename "$pending")"
else
    echo "clang-tidy: clean"
fi
