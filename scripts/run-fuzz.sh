#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while on its committed seeds.
# Usage: scripts/run-fuzz.sh [seconds per target, default 60] [build-dir]
# Two targets run at a time. New inputs go to a scratch folder; a crash, leak, timeout or sanitizer report
# fails the run and leaves the input in <build-dir>/fuzz-artifacts/. Prints executions and coverage per target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
dir="${2:-$root/build-fuzz}"

"$root/scripts/install-deps.sh" clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_BUILD_FUZZ=ON -DQUILLON_BUILD_BENCH=OFF -DQUILLON_WERROR=ON >/dev/null
cmake --build "$dir" -j"$(nproc)" --target fuzz

artifacts="$dir/fuzz-artifacts"
scratch="$dir/fuzz-scratch"
rm -rf "$scratch"
mkdir -p "$artifacts" "$scratch"

run_target() {
    local target="$1" extra=()
    [ -f "$root/fuzz/dict/$target.dict" ] && extra+=("-dict=$root/fuzz/dict/$target.dict")
    [ "$target" = render_events ] && extra+=("-max_len=4096")
    mkdir -p "$scratch/$target"
    if "$dir/fuzz/fuzz_$target" "$scratch/$target" "$root/fuzz/corpus/$target" -max_total_time="$seconds" \
        -timeout=25 -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "${extra[@]}" \
        >"$scratch/$target.log" 2>&1; then
        local runs cov
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$scratch/$target.log" | grep -o '[0-9]*$' || true)
        cov=$(grep -o 'cov: [0-9]*' "$scratch/$target.log" | tail -n 1 | grep -o '[0-9]*' || true)
        echo "fuzz_$target: ${runs:-?} executions, coverage ${cov:-?}, no finding"
    else
        echo "fuzz_$target: FAILED"
        tail -n 60 "$scratch/$target.log"
        return 1
    fi
}
export -f run_target
export root dir seconds artifacts scratch

targets=(plugin_chunk program_file harmony_file midi_assignment_file wave_file midi_file render_events dispatcher)
printf '%s\n' "${targets[@]}" | xargs -P 2 -I{} bash -c 'run_target {}'
