#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quillon needs, when any is missing. Extra
# package names given as arguments are installed as well (the fuzz run adds clang).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    zlib1g-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libfftw3-dev
    libsndfile1-dev
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

# A comma-decimal locale, so that the tests can check that display texts ignore the process locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    if [ -f /etc/locale.gen ]; then
        $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
        $SUDO locale-gen >/dev/null 2>&1 || true
    fi
fi
