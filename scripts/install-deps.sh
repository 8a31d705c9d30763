#!/usr/bin/env bash
# Installs what building, running and testing Tonvela needs from Debian's packages.
# Safe to run again: when everything is already there it returns at once without apt-get.
set -euo pipefail

PACKAGES=(
  # building the program and its tests (CMake presets with Ninja, GoogleTest, Qt 6 Widgets,
  # libpulse and libsndfile for the sound backend)
  cmake ninja-build g++ pkg-config
  libgtest-dev
  qt6-base-dev qt6-base-dev-tools
  libpulse-dev libsndfile1-dev
  # the window tests: Qt's own Chinese texts, and a face with the Chinese glyphs so the labels
  # never show as boxes
  qt6-translations-l10n fonts-arphic-uming
  # the sound tests: a private PulseAudio server with a null sink, pactl/parecord to record it
  pulseaudio pulseaudio-utils
  # the sound tests a second time on PipeWire: the daemon, its session manager wireplumber
  # (which needs a D-Bus session bus of its own, from dbus-daemon) and pipewire-pulse, which
  # speaks the PulseAudio protocol
  pipewire pipewire-pulse wireplumber dbus-daemon
  # the end-to-end run and the docs screenshot: Xvfb, xwininfo to see it is up, xdotool to
  # type, sox to measure the recording, ImageMagick's import for scripts/screenshot.sh
  xvfb x11-utils xdotool sox imagemagick
  # the end-to-end run as a Wayland client: the weston compositor (and qt6-wayland, below)
  weston
  # the second-start and close-during-playback runs: a real window manager that brings a window
  # forward, delivers Alt+F4 and shows the attention mark; x11-utils (above) gives xprop
  openbox
  # the .deb that CPack builds: dpkg-shlibdeps and the file command it calls
  dpkg-dev file
  # building the icon sizes rendered from the SVG drawing
  librsvg2-bin
  # the package test: the .deb held to Debian's own checks (lintian; hardening-check from
  # devscripts, which reads the program with binutils; appstreamcli; desktop-file-validate), and
  # the Qt Wayland plugin whose package the .deb must depend on
  lintian devscripts binutils appstream desktop-file-utils qt6-wayland
  # the Windows cross-build (mingw-w64 with posix threads, for std::thread and std::mutex;
  # GoogleTest's sources, built for Windows), its tests under Wine (64-bit only), the NSIS
  # installer, and a Chinese font that Wine's window tests map the Windows faces onto
  g++-mingw-w64-x86-64-posix googletest wine wine64 nsis fonts-wqy-microhei
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
