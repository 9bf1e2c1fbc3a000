#!/usr/bin/env bash
# Cross-builds Quillon for Windows with mingw-w64 and checks the result under wine.
#   scripts/build-windows.sh [x86_64|i686 ...]      (default: both)
# Needs scripts/install-windows-deps.sh once. For each architecture it builds Quillon.dll, quillon.exe and
# the Windows tests into build-win64 / build-win32, checks that the DLL imports nothing but Windows system
# DLLs, runs the tests and `quillon.exe info` under wine, compares the editor's picture of
# `quillon.exe gui --screenshot` at both zooms and a render of examples/demo.mid with the native ones, and
# packs the zip a user installs from.
#
# The build-time tools (skin generator, bank compiler) run natively: QUILLON_NATIVE_TOOLS_DIR names a native
# build folder that has them; otherwise build-native-tools is configured and built here.
# JOBS (default 2) sets the parallel jobs. QUILLON_WIN32_SUITE=1 also builds the portable part of
# quillon-tests for x86_64 and runs it under wine.
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
# No Mono or Gecko (not installed): wine must not offer to download them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The editor's window tests need a display: without one, a virtual X server of our own, started before wine
# so that wine's desktop process uses it too.
if [[ -z "${DISPLAY:-}" ]] && command -v Xvfb >/dev/null; then
    number=90
    while [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]]; do number=$((number + 1)); done
    Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null || true' EXIT
    export DISPLAY=":$number"
    for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$number ]] && break; sleep 0.1; done
fi
wineserver -p 2>/dev/null || true # a persistent server: each wine call then starts in a tenth of a second
# The first call starts wine's background services; they must not inherit a pipe of ours (a reader of
# that pipe would wait for them forever), so wine's output below always goes to files.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

version=$(sed -n 's/^project(Quillon VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

# The archive a user installs from: the DLL without its debugging sections, the Quillon folder beside it
# (Data, Banks, example Programs, licences) and the install text, in Quillon-<version>-<win64|win32>.zip.
package() {
    local arch=$1 dir=$2 bits=$3 otherbits=$4 triplet=$5
    local name="Quillon-$version-$arch" stage="$dir/package"
    rm -rf "$stage" && mkdir -p "$stage/$name/Quillon/Data" "$stage/$name/Quillon/Banks" "$stage/$name/Quillon/LICENSES"
    "$triplet-strip" --strip-unneeded -o "$stage/$name/Quillon.dll" "$dir/Quillon.dll"
    cp "$root/data/factory.bma" "$stage/$name/Quillon/Data/"
    cp "$dir/Banks/"*.bpb "$stage/$name/Quillon/Banks/"
    cp "$root/LICENSES/"*.md "$stage/$name/Quillon/LICENSES/"
    cmake -DQUILLON_TOOL="$native/quillon" -DQUILLON_SETTINGS_TOOL=none -DQUILLON_DATA_DIR="$stage/$name/Quillon" \
        -DQUILLON_RECORD_SETTINGS=OFF -P "$root/cmake/QuillonInstallData.cmake" >/dev/null
    local other=win64
    [[ $arch == win64 ]] && other=win32
    sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" -e "s/@BITS@/$bits/g" -e "s/@OTHERBITS@/$otherbits/g" \
        -e "s/@OTHERARCH@/$other/g" -e 's/$/\r/' "$root/packaging/windows/INSTALL.txt" >"$stage/$name/INSTALL.txt"
    rm -f "$dir/$name.zip"
    (cd "$stage" && cmake -E tar cf "$dir/$name.zip" --format=zip "$name")
    echo "-- $dir/$name.zip: $(stat -c %s "$dir/$name.zip") bytes, DLL $(stat -c %s "$stage/$name/Quillon.dll") bytes"
}

status=0
for arch in "${arches[@]}"; do
    case "$arch" in
    x86_64 | win64) triplet=x86_64-w64-mingw32 dir="$root/build-win64" label=win64 bits=64 otherbits=32 ;;
    i686 | win32) triplet=i686-w64-mingw32 dir="$root/build-win32" label=win32 bits=32 otherbits=64 ;;
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
    (cd "$dir" && timeout 300 wine ./quillon-win32-tests.exe >"$dir/win32-tests.log" 2>&1 </dev/null) || true
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
        # The editor's own message boxes and dialogs, as on Linux: the system's are modal and would wait for
        # a user. The suite chooses them in its redirected registry key as well, but wine's redirection
        # does not reach every read, so the prefix's own key says it too.
        wine reg add 'HKCU\Software\Brindmor Audio\Quillon' /v FileDialog /d editor /f >/dev/null 2>&1 </dev/null || true
        # A test waiting for a user (a modal box) must not hold up the run: ten minutes at most.
        (cd "$dir" && timeout 600 wine ./quillon-tests.exe >"$dir/quillon-tests.log" 2>&1 </dev/null) || true
        grep -E '^\[  (PASSED|SKIPPED|FAILED)  \]|^\[==========\] .* ran' "$dir/quillon-tests.log" |
            grep -v ', listed below' || true
        grep -q '^\[  PASSED  \]' "$dir/quillon-tests.log" && ! grep -q '^\[  FAILED  \]' "$dir/quillon-tests.log" ||
            { grep '^\[  FAILED  \]' "$dir/quillon-tests.log" | head -20; echo "FAIL: quillon-tests under wine" >&2; status=1; }
    fi


    # The editor as `quillon gui --screenshot` draws it at 100 % and 200 %, pixel for pixel as on Linux.
    for zoom in 1 2; do
        echo "-- quillon.exe gui --screenshot --page 0 --zoom $zoom, compared with the native picture"
        (cd "$dir" && wine ./quillon.exe gui --screenshot "editor-win-$zoom.png" --page 0 --zoom "$zoom" \
            >"$dir/gui.log" 2>&1 </dev/null) || { cat "$dir/gui.log"; status=1; }
        "$native/quillon" gui --screenshot "$dir/editor-native-$zoom.png" --page 0 --zoom "$zoom" >/dev/null ||
            status=1
        python3 "$root/scripts/lib/compare-pictures.py" "$dir/editor-native-$zoom.png" "$dir/editor-win-$zoom.png" ||
            status=1
    done

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
        python3 "$root/scripts/lib/compare-renders.py" "$dir/demo-native-$variant.wav" "$dir/demo-win-$variant.wav" ||
            status=1
    done

    # Names outside the ANSI code page, on the command line and in every path: the tool and the plug-in
    # in such a folder (found there by their module path), a program, a bank and a render written into
    # another. Wine hands the arguments over as UTF-8 only in a UTF-8 locale.
    echo "-- quillon.exe with non-ASCII folder and file names"
    tools="$dir/paths/Wërkzeug 音" sounds="$dir/paths/Klänge 音色"
    rm -rf "$dir/paths" && mkdir -p "$tools" "$sounds" && cp "$dir/quillon.exe" "$dir/Quillon.dll" "$tools/"
    (cd "$tools" && export LC_ALL=C.UTF-8 &&
        wine ./quillon.exe program --wave saw --name "Größe" -o "../Klänge 音色/Größe.bpa" &&
        wine ./quillon.exe bank "../Klänge 音色/Größe.bpa" -o "../Klänge 音色/Bänk ♪.bpb" &&
        wine ./quillon.exe render "$root/examples/demo.mid" --bank "../Klänge 音色/Bänk ♪.bpb" \
            -o "../Klänge 音色/Démo.wav") >"$dir/paths.log" 2>&1 </dev/null || { cat "$dir/paths.log"; status=1; }
    for file in "Größe.bpa" "Bänk ♪.bpb" "Démo.wav"; do
        [[ -s "$sounds/$file" ]] || { echo "FAIL: quillon.exe did not write $sounds/$file" >&2; status=1; }
    done
    ls "$sounds" | sed 's/^/   /'
    package "$label" "$dir" "$bits" "$otherbits" "$triplet"
done
[[ $status -eq 0 ]] && echo "== all checks passed" || echo "== FAILED" >&2
exit $status
