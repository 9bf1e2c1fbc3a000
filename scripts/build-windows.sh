#!/usr/bin/env bash
# Cross-builds Quillon for Windows with mingw-w64 and checks the result under wine.
#   scripts/build-windows.sh [x86_64|i686 ...]      (default: both)
# Needs scripts/install-windows-deps.sh once. For each architecture it builds Quillon.dll, quillon.exe and
# the Windows tests into build-win64 / build-win32, checks that the DLL imports nothing but Windows system
# DLLs, runs the tests and `quillon.exe info` under wine, compares the editor's picture of
# `quillon.exe gui --screenshot` at both zooms with the native one, and for x86_64 renders examples/demo.mid
# and compares it with the native render of the same command.
#
# The build-time tools (skin generator, bank compiler) run natively: QUILLON_NATIVE_TOOLS_DIR names a native
# build folder that has them; otherwise build-native-tools is configured and built here.
# JOBS (default 2) sets the parallel jobs. QUILLON_WIN32_SUITE=1 also builds the portable part of
# quillon-tests for x86_64 and runs it under wine (its counts are reported; failures do not fail the script).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${JOBS:-2}"
arches=("$@")
[[ ${#arches[@]} -gt 0 ]] || arches=(x86_64 i686)
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

native="${QUILLON_NATIVE_TOOLS_DIR:-$root/build-native-tools}"
if [[ ! -x "$native/quillon-skingen" || ! -x "$native/quillon" || -z "${QUILLON_NATIVE_TOOLS_DIR:-}" ]]; then
    echo "== native tools in $native"
    cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_BUILD_BENCH=OFF \
        "${launcher[@]}" >/dev/null
    cmake --build "$native" -j"$jobs" --target quillon-skingen quillon Quillon
fi

# Windows system DLLs the plug-in may import (case-insensitive); anything else fails the build.
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|msvcrt|comdlg32|msacm32|winmm|ws2_32|bcrypt|shlwapi|comctl32|uxtheme|dwmapi|imm32|api-ms-win-.*)\.dll$'

export WINEDEBUG="${WINEDEBUG:--all}"
wineserver -p 2>/dev/null || true # a persistent server: each wine call then starts in a tenth of a second
# The first call starts wine's background services; they must not inherit a pipe of ours (a reader of
# that pipe would wait for them forever), so wine's output below always goes to files.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

status=0
for arch in "${arches[@]}"; do
    case "$arch" in
    x86_64 | win64) triplet=x86_64-w64-mingw32 dir="$root/build-win64" ;;
    i686 | win32) triplet=i686-w64-mingw32 dir="$root/build-win32" ;;
    *) echo "unknown architecture '$arch' (x86_64 or i686)" >&2; exit 2 ;;
    esac
    echo "== $triplet in $dir"
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triplet.cmake" -DQUILLON_NATIVE_TOOLS_DIR="$native" \
        "${launcher[@]}" >/dev/null
    cmake --build "$dir" -j"$jobs" --target Quillon quillon quillon-win32-tests factory_banks

    echo "-- imports of Quillon.dll"
    imports=$("$triplet-objdump" -p "$dir/Quillon.dll" | sed -n 's/^\s*DLL Name: //p')
    echo "$imports" | sed 's/^/   /'
    if bad=$(echo "$imports" | grep -viE "$allowed"); then
        echo "FAIL: Quillon.dll imports non-system DLLs: $bad" >&2
        status=1
    fi
    exports=$("$triplet-objdump" -p "$dir/Quillon.dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
    echo "-- exports: $exports"
    [[ "$exports" == "VSTPluginMain main " ]] || { echo "FAIL: unexpected exports" >&2; status=1; }

    echo "-- tests under wine"
    (cd "$dir" && wine ./quillon-win32-tests.exe >"$dir/win32-tests.log" 2>&1 </dev/null) || true
    tail -3 "$dir/win32-tests.log"
    grep -q '^\[  PASSED  \]' "$dir/win32-tests.log" && ! grep -q '^\[  FAILED  \]' "$dir/win32-tests.log" ||
        { echo "FAIL: Windows tests" >&2; status=1; }

    echo "-- quillon.exe info"
    (cd "$dir" && wine ./quillon.exe info --plugin Quillon.dll >"$dir/info.log" 2>&1 </dev/null) || true
    head -12 "$dir/info.log"
    grep -q '^Effect name: *Quillon' "$dir/info.log" || { echo "FAIL: quillon.exe info" >&2; status=1; }

    if [[ "${QUILLON_WIN32_SUITE:-0}" == 1 && ( "$arch" == x86_64 || "$arch" == win64 ) ]]; then
        echo "-- quillon-tests (portable part) under wine"
        cmake -S "$root" -B "$dir" -DQUILLON_WIN32_SUITE=ON >/dev/null
        cmake --build "$dir" -j"$jobs" --target quillon-tests
        (cd "$dir" && wine ./quillon-tests.exe >"$dir/quillon-tests.log" 2>&1 </dev/null) || true
        grep -E '^\[  (PASSED|FAILED)  \]|^\[==========\] .* ran' "$dir/quillon-tests.log" | grep -v ', listed below' || true
    fi

    # The editor as `quillon gui --screenshot` draws it at 100 % and 200 %, pixel for pixel as on Linux.
    for zoom in 1 2; do
        echo "-- quillon.exe gui --screenshot --page 0 --zoom $zoom, compared with the native picture"
        (cd "$dir" && wine ./quillon.exe gui --screenshot "editor-win-$zoom.png" --page 0 --zoom "$zoom" \
            >"$dir/gui.log" 2>&1 </dev/null) || { cat "$dir/gui.log"; status=1; }
        "$native/quillon" gui --screenshot "$dir/editor-native-$zoom.png" --page 0 --zoom "$zoom" >/dev/null ||
            status=1
        python3 - "$dir/editor-native-$zoom.png" "$dir/editor-win-$zoom.png" <<'PY' || status=1
import struct, sys, zlib
def pixels(path):
    data, at, idat, header = open(path, 'rb').read(), 8, b'', None
    while at < len(data):
        size, tag = struct.unpack('>I4s', data[at:at + 8])
        body = data[at + 8:at + 8 + size]
        if zlib.crc32(tag + body) != struct.unpack('>I', data[at + 8 + size:at + 12 + size])[0]:
            sys.exit(f'{path}: bad CRC in {tag}')
        if tag == b'IHDR': header = struct.unpack('>II', body[:8]) + (body[9],)
        if tag == b'IDAT': idat += body
        at += 12 + size
    width, height, colour = header
    stride, raw, rows, above = width * {0: 1, 2: 3, 6: 4}[colour], zlib.decompress(idat), [], None
    bpp = stride // width
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - bpp] if i >= bpp else 0
            b = above[i] if above else 0
            c = above[i - bpp] if above and i >= bpp else 0
            p = a + b - c
            paeth = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
            row[i] = (row[i] + [0, a, b, (a + b) // 2, paeth][kind]) & 255
        rows.append(bytes(row)); above = row
    return header, b''.join(rows)
native, windows = pixels(sys.argv[1]), pixels(sys.argv[2])
print(f'   {native[0][0]} x {native[0][1]}: ' + ('identical pixels' if native == windows else 'DIFFERENT'))
if native != windows: sys.exit('the editor pictures differ')
PY
    done

    if [[ "$arch" == x86_64 || "$arch" == win64 ]]; then
        # The song on the default (empty) program, as `quillon render` plays it without options, and on the
        # first sound of the Factory A bank.
        for variant in default bank; do
            options=()
            [[ $variant == bank ]] && options=(--bank "$dir/Banks/Factory A.bpb")
            echo "-- render examples/demo.mid ${options[*]}, compared with the native render"
            (cd "$root" && wine "$dir/quillon.exe" render examples/demo.mid -o "$dir/demo-win-$variant.wav" \
                "${options[@]}" >"$dir/render.log" 2>&1 </dev/null) || { cat "$dir/render.log"; status=1; }
            (cd "$root" && "$native/quillon" render examples/demo.mid -o "$dir/demo-native-$variant.wav" \
                "${options[@]}") || status=1
            python3 - "$dir/demo-native-$variant.wav" "$dir/demo-win-$variant.wav" <<'PY' || status=1
import array, math, struct, sys
def samples(path):
    data = open(path, 'rb').read()
    at = 12
    while at + 8 <= len(data):
        tag, size = data[at:at + 4], struct.unpack('<I', data[at + 4:at + 8])[0]
        if tag == b'data':
            values = array.array('f'); values.frombytes(data[at + 8:at + 8 + size]); return values
        at += 8 + size + (size & 1)
    sys.exit(f'{path}: no data chunk')
native, windows = samples(sys.argv[1]), samples(sys.argv[2])
if len(native) != len(windows): sys.exit(f'lengths differ: {len(native)} and {len(windows)} samples')
diff = max((abs(a - b) for a, b in zip(native, windows)), default=0.0)
peak = max((abs(a) for a in native), default=0.0)
print(f'   {len(native) // 2} frames, peak {peak:.3g}, max difference ' +
      (f'{20 * math.log10(diff):.1f} dBFS' if diff > 0 else '0 (bit-identical)'))
if diff > 1e-4: sys.exit('the renders differ by more than -80 dBFS')
PY
        done
    fi
done
[[ $status -eq 0 ]] && echo "== all checks passed" || echo "== FAILED" >&2
exit $status
