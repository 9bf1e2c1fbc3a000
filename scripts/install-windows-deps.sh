#!/usr/bin/env bash
# Installs what the Windows cross build needs on Debian, when any of it is missing (safe to run again):
# the mingw-w64 GCC compilers with the posix thread model (std::thread), static zlib for mingw, wine
# (64- and 32-bit, after adding the i386 architecture) to run the tools and tests, with libgsm for both
# (wine's GSM 6.10 codec driver loads it when a GSM file is decoded), and Xvfb for the editor's window tests. Nothing else is pulled in (no recommends). GoogleTest's sources come with
# scripts/install-deps.sh (libgtest-dev).
set -euo pipefail
packages=(
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    libz-mingw-w64-dev
    wine wine64 wine32:i386 libgsm1 libgsm1:i386
    xvfb xauth
)
SUDO=""
if [[ $EUID -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
