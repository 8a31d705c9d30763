#!/usr/bin/env bash
# Installs from Debian's packages what Tonvela needs, and nothing more:
#
#   install-deps.sh run    building and running the program (scripts/run.sh)
#   install-deps.sh test   that, and what every test needs (scripts/test.sh; the default)
#
# Safe to run again: when everything is already there it returns at once without apt-get.
set -euo pipefail

RUN_PACKAGES=(
  # building the program: CMake presets with Ninja, Qt 6 Widgets, libpulse and libsndfile for the
  # sound backend
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools
  libpulse-dev libsndfile1-dev
  # running it: Qt's own Chinese texts, a face with the Chinese glyphs so the labels never show as
  # boxes, and the Qt platform plugin for a Wayland session without Xwayland
  qt6-translations-l10n fonts-arphic-uming qt6-wayland
)

TEST_PACKAGES=(
  # the tests themselves (GoogleTest; Qt Test comes with qt6-base-dev)
  libgtest-dev
  # the sound tests: a private PulseAudio server with a null sink, pactl/parecord to record it
  pulseaudio pulseaudio-utils
  # the sound tests a second time on PipeWire: the daemon, its session manager wireplumber
  # (which needs a D-Bus session bus of its own, from dbus-daemon) and pipewire-pulse, which
  # speaks the PulseAudio protocol
  pipewire pipewire-pulse wireplumber dbus-daemon
  # the end-to-end runs and the docs screenshot: Xvfb, xwininfo to see it is up, xdotool to
  # type, xclip to read back what the boxes hold, sox to measure the recording, ImageMagick's
  # import for scripts/screenshot.sh
  xvfb x11-utils xdotool xclip sox imagemagick
  # the end-to-end run as a Wayland client: the weston compositor
  weston
  # the second-start and close-during-playback runs: a real window manager that brings a window
  # forward, delivers Alt+F4 and shows the attention mark; x11-utils (above) gives xprop; socat
  # listens as another user where a start without a private runtime folder must not look
  openbox socat
  # the .deb that CPack builds: dpkg-shlibdeps and the file command it calls, and the icon sizes
  # rendered from the SVG drawing
  dpkg-dev file librsvg2-bin
  # the package test: the .deb held to Debian's own checks (lintian; hardening-check from
  # devscripts, which reads the program with binutils; appstreamcli; desktop-file-validate)
  lintian devscripts binutils appstream desktop-file-utils
  # the Windows cross-build (mingw-w64 with posix threads, for std::thread and std::mutex;
  # GoogleTest's sources, built for Windows), its tests under Wine (64-bit only), the NSIS
  # installer, and a Chinese font that Wine's window tests map the Windows faces onto
  g++-mingw-w64-x86-64-posix googletest wine wine64 nsis fonts-wqy-microhei
)

case ${1:-test} in
  run) PACKAGES=("${RUN_PACKAGES[@]}") ;;
  test) PACKAGES=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
  *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

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
