#!/usr/bin/env bash
# Installs what the Windows cross build needs on Debian (run as root; safe to run again):
# the mingw-w64 GCC compilers with the posix thread model (std::thread), static zlib for mingw,
# and wine (64- and 32-bit) to run the tools and tests, with libgsm for both (wine's GSM 6.10 codec driver
# loads it when a GSM file is decoded). Nothing else is pulled in (no recommends).
set -euo pipefail
if [[ $EUID -ne 0 ]]; then
    echo "install-windows-deps.sh: run as root" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update
apt-get install -y --no-install-recommends \
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
    libz-mingw-w64-dev \
    wine wine64 wine32:i386 libgsm1 libgsm1:i386
