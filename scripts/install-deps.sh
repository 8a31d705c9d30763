#!/usr/bin/env bash
# Installs what building, running and testing Tonvela needs from Debian's packages.
# Safe to run again: when everything is already there it returns at once without apt-get.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ clang pkg-config file dpkg-dev
  libgtest-dev libgmock-dev googletest
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
  libpulse-dev libsndfile1-dev
  # fonts so the Chinese texts never show as boxes
  fonts-arphic-uming
  # sound tests: a private PulseAudio server with a null sink, and its tools
  pulseaudio pulseaudio-utils sox espeak-ng
  # window tests and screenshots (imagemagick also makes the Windows icon)
  xvfb xauth x11-utils xdotool imagemagick
  # Windows cross-build (posix threads: std::thread and std::mutex), its tests under Wine (64-bit
  # only), the installer, and a Chinese font Wine's window tests map the Windows faces onto
  g++-mingw-w64-x86-64-posix wine wine64 nsis fonts-wqy-microhei
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

SUDO=()
if [[ $(id -u) -ne 0 ]]; then
  SUDO=(sudo)
fi
echo "Installing: ${missing[*]}"
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "${missing[@]}"
