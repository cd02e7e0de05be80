#!/usr/bin/env bash
# Installs every Debian package Kelvane and Brinecore need to build, test and
# run, and nothing that is already installed. Safe to run again at any time.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # tests
  libgtest-dev libgmock-dev
  # fuzzing and sanitizers with clang's runtime
  clang libclang-rt-14-dev
  # the program: Qt 6 widgets; PortAudio capture; the network outputs and
  # the serial port on standalone Asio (header-only)
  qt6-base-dev portaudio19-dev fonts-dejavu-core libasio-dev
  # JSON for --json and the web view's API (header-only)
  nlohmann-json3-dev
  # real peers used by the tests: sound server, pty pairs, audio
  # conversion, an independent AIS decoder and its daemon (a TCP client of
  # ours), network namespaces, a JSON reader, a display server
  pulseaudio pulseaudio-utils libasound2-plugins socat sox gpsd-clients gpsd iproute2 jq
  xvfb xauth
  # a real desktop for the tray test: window manager, tray host, clicks,
  # window listing and grabbing what a window shows
  openbox trayer xdotool x11-utils imagemagick
  # the web view's page in a real browser, driven from node (its modules
  # come from tests/web/package-lock.json through npm ci)
  chromium nodejs
  # the Windows builds: the library for 32- and 64-bit Windows, the station
  # and its programs for 64-bit (compilers with POSIX threads, for
  # std::thread; Asio from libasio-dev above), the installer, and wine to run
  # the 64-bit programs in the tests (python3 finds them free ports)
  g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686 binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686 nsis wine64 python3
  # the Debian packages: their build, their checker, and a scratch Debian
  # root to install them in; man to read their manual pages
  debhelper dpkg-dev lintian debootstrap man-db
)

# Debian's node comes without npm; a node that brings its own needs none.
if ! command -v npm >/dev/null 2>&1; then
  packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages are installed"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "setup: these packages are missing and neither root nor sudo is available:" >&2
  printf '  %s\n' "${missing[@]}" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}"
