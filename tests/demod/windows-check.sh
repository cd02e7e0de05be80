#!/usr/bin/env bash
# Brinecore for Windows: builds the DLL and the programs with MinGW-w64,
# 64-bit (build-windows, the tree of ./build.sh windows) and 32-bit
# (build-win32); checks both DLLs' export tables, the 32-bit one's __stdcall
# functions; runs the C interface test and brinecore-dump with the 64-bit
# DLL under wine64, and compares every decode (listing, summary, exit status,
# trace file) with the Linux build's byte for byte.
#   tests/demod/windows-check.sh [LINUX_BUILD_DIR]   (default build-test)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
linux=${1:-build-test}
jobs=$(nproc 2>/dev/null || echo 2)

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$wine")/wineserver
if [ ! -x "$wine" ]; then
  echo "windows-check: wine64 is missing (./setup.sh installs it)" >&2
  exit 1
fi

for build in x86_64:build-windows i686:build-win32; do
  cmake -S . -B "${build#*:}" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-${build%%:*}.cmake"
  cmake --build "${build#*:}" --parallel "$jobs"
done
cmake --build "$linux" --target brinecore-dump

# The 64-bit build's own wine prefix, the one its tests use; made before any
# comparison, so that no "created the configuration directory" line ends up
# in a program's output.
export WINEPREFIX=$root/build-windows/wine WINEDEBUG=-all
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" --wait
trap '"$wineserver" -k 2>/dev/null || true' EXIT

ctest --test-dir build-win32 --output-on-failure --no-tests=error
ctest --test-dir build-windows --output-on-failure --no-tests=error

# Drive E: of the prefix is a scratch folder, so that the library's Windows
# trace path e:\Scanner\Kelvane\debug.txt can be read back.
scratch=$(mktemp -d)
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$scratch" "$WINEPREFIX/dosdevices/e:"' EXIT
mkdir -p "$scratch/e" "$scratch/linux" "$scratch/windows"

linux_dump=$root/$linux/bin/brinecore-dump
windows_dump=$root/build-windows/bin/brinecore-dump.exe
failed=0

# Runs one decode on both sides, in the recordings' folder: NAME then the
# arguments; "-" as the last reads the recording named by STDIN_FILE. With
# NO_TRACE_FOLDER=1 neither side can make the trace file's folder (Windows: no
# drive E:).
decode() {
  local name=$1
  shift
  local input=/dev/null
  if [ "${!#}" = - ]; then
    input=$STDIN_FILE
  fi
  local state=$scratch/linux-state
  if [ "${NO_TRACE_FOLDER:-0}" = 1 ]; then
    state=/dev/null
    rm -f "$WINEPREFIX/dosdevices/e:"
  else
    ln -sfn "$scratch/e" "$WINEPREFIX/dosdevices/e:"
  fi
  local side status
  for side in linux windows; do
    rm -rf "$scratch/e/Scanner" "$scratch/linux-state"
    status=0
    if [ "$side" = linux ]; then
      (cd tests/data/audio && XDG_STATE_HOME="$state" "$linux_dump" "$@") \
        <"$input" >"$scratch/$side/$name.out" 2>"$scratch/$side/$name.err" || status=$?
      if [ -f "$scratch/linux-state/Kelvane/debug.txt" ]; then
        # The Windows library writes its trace file in text mode.
        sed 's/$/\r/' "$scratch/linux-state/Kelvane/debug.txt" >"$scratch/$side/$name.trace"
      fi
    else
      (cd tests/data/audio && "$wine" "$windows_dump" "$@") \
        <"$input" >"$scratch/$side/$name.out" 2>"$scratch/$side/$name.err" || status=$?
      if [ -f "$scratch/e/Scanner/Kelvane/debug.txt" ]; then
        cp "$scratch/e/Scanner/Kelvane/debug.txt" "$scratch/$side/$name.trace"
      fi
    fi
    echo "$status" >"$scratch/$side/$name.status"
  done
  local part
  for part in out err status trace; do
    if [ -e "$scratch/linux/$name.$part" ] || [ -e "$scratch/windows/$name.$part" ]; then
      if ! cmp -s "$scratch/linux/$name.$part" "$scratch/windows/$name.$part"; then
        echo "windows-check: brinecore-dump $*: the $part differs between Linux and Windows" >&2
        diff "$scratch/linux/$name.$part" "$scratch/windows/$name.$part" | head -10 >&2 || true
        failed=1
      fi
    fi
  done
}

decode bergen bergen-48k-u8.wav
decode rtl-fm rtl-fm-50k-u8.wav
# A loud copy of bergen: its clipped samples hold the bytes that a stream in
# text mode would change (CR, LF, 0x1A).
sox -D tests/data/audio/bergen-48k-u8.wav -e unsigned-integer -b 8 "$scratch/loud.wav" vol 2 \
  2>/dev/null
STDIN_FILE=$scratch/loud.wav decode loud-stdin -
decode bergen-trace --trace bergen-48k-u8.wav
NO_TRACE_FOLDER=1 decode rtl-fm-no-trace-file --trace rtl-fm-50k-u8.wav
decode stereo bergen-48k-s16-stereo.wav

# Equal is not enough: the decodes must have found what the recordings hold.
require() {
  local what=$1
  shift
  if ! "$@"; then
    echo "windows-check: $what" >&2
    failed=1
  fi
}
out=$scratch/linux
require "bergen: not 4 good frames" test "$(grep -c 'FCS good' "$out/bergen.out")" = 4
require "rtl-fm: not 1 good frame" test "$(grep -c 'FCS good' "$out/rtl-fm.out")" = 1
require "loud bergen: no CR, LF or 0x1A" test "$(tr -dc '\r\n\032' <"$scratch/loud.wav" | wc -c)" -gt 0
require "loud bergen from standard input: not 4 good frames" \
  test "$(grep -c 'FCS good' "$out/loud-stdin.out")" = 4
require "bergen --trace: no trace text" grep -q '^\*' "$out/bergen-trace.out"
require "bergen --trace: no trace file" grep -q 'init reached' "$out/bergen-trace.trace"
require "stereo: not refused" grep -qx 1 "$out/stereo.status"
require "rtl-fm --trace without a trace folder: no frame" grep -q 'FCS good' \
  "$out/rtl-fm-no-trace-file.out"

if [ "$failed" -ne 0 ]; then
  echo "windows-check: FAILED" >&2
  exit 1
fi
echo "windows-check: the DLLs export what they should; under wine the 64-bit build decodes" \
  "as the Linux build does"
