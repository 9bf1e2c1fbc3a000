#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quillon needs, when any is missing. Extra
# package names given as arguments are installed as well (the fuzz run adds clang). With
# QUILLON_BENCH_PEERS=1 it also installs the synthesizers that BM_WholeSynthVersusPeers measures Quillon
# against (amsynth, zynaddsubfx-vst), each only where the package archive has it.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    zlib1g-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libfftw3-dev
    libsndfile1-dev
    libcairo2-dev libfreetype-dev fonts-liberation xfonts-base
    libxcb1-dev libxcb-shm0-dev
    libxcb-xtest0-dev xvfb xauth
    locales
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if [ "${QUILLON_BENCH_PEERS:-0}" = "1" ]; then
    $SUDO apt-get update -qq
    for p in amsynth zynaddsubfx-vst; do
        if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            continue
        fi
        if apt-cache show "$p" >/dev/null 2>&1; then
            echo "Installing benchmark peer: $p"
            DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$p" >/dev/null
        else
            echo "Benchmark peer $p is not in the package archive; BM_WholeSynthVersusPeers leaves it out"
        fi
    done
fi

# A comma-decimal locale, so that the tests can check that display texts ignore the process locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    if [ -f /etc/locale.gen ]; then
        $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
        $SUDO locale-gen >/dev/null 2>&1 || true
    fi
fi
