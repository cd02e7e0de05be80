#!/usr/bin/env bash
# One entry point for people and CI:
#   ./build.sh run    installs what is missing, builds, and starts the program
#   ./build.sh test   installs what is missing, builds, and runs every test
#   ./build.sh bench  builds and runs the throughput benchmarks
#   ./build.sh package  builds the Debian packages in build-package/
#   ./build.sh windows  installs what is missing and cross-builds the 64-bit
#                       Windows programs and their installer into build-windows/
set -euo pipefail
cd "$(dirname "$0")"

jobs=$(nproc 2>/dev/null || echo 2)

configure_and_build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" --parallel "$jobs"
}

case "${1:-}" in
  run)
    ./setup.sh
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    shift
    exec ./build/bin/Kelvane "$@"
    ;;
  test)
    ./setup.sh
    configure_and_build build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_WERROR=ON
    # The live-capture test records from a PulseAudio null sink.
    export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/kelvane-runtime-$(id -u)}"
    tests/support/pulse-null-sink.sh
    ctest --test-dir build-test --output-on-failure --parallel "$jobs"
    ;;
  bench)
    ./setup.sh
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build --target bench
    ;;
  package)
    ./setup.sh
    debian/build-packages.sh build-package
    ;;
  windows)
    ./setup.sh
    # The tree tests/demod/windows-check.sh and tests/windows/ test, with
    # their settings: built once for both.
    configure_and_build build-windows -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_WERROR=ON \
      -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw-x86_64.cmake"
    echo "build.sh: the Windows programs are in build-windows/bin:" \
      "$(cd build-windows/bin && echo *.exe *.dll)"
    echo "build.sh: the installer is build-windows/$(cd build-windows && echo Kelvane-*-setup.exe)"
    ;;
  *)
    echo "usage: ./build.sh run|test|bench|package|windows" >&2
    exit 2
    ;;
esac
