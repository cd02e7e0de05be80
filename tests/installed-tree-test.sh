#!/usr/bin/env bash
# The programs as a user gets them: installed into a scratch prefix and run
# from there, they find the library beside them and the bundled recordings
# where the replay dialog opens; and brinecore-dump lists a recording's
# frames and writes the library's trace.
#
#   installed-tree-test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build=$1
source=$2
fail() { echo "FAILED: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
recording="$source/tests/data/audio/bergen-48k-u8.wav"

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
  fail "cmake --install: $(cat "$work/install.log")"
for file in bin/Kelvane bin/kelvane-decode bin/brinecore-dump lib/libBrinecore.so.1 \
            lib/libBrinecore.so include/Brinecore.h \
            share/applications/kelvane.desktop share/kelvane/recordings/bergen-48k-u8.wav \
            share/kelvane/recordings/LICENSE-birktj-ais-decoder share/man/man1/kelvane-decode.1 \
            share/man/man1/brinecore-dump.1 share/man/man1/Kelvane.1; do
  [ -e "$work/prefix/$file" ] || fail "not installed: $file"
done

# The library, found from the program's own folder: no fallback message, and
# the four messages of the recording.
"$work/prefix/bin/kelvane-decode" "$recording" >"$work/out" 2>"$work/err" || fail "kelvane-decode: $(cat "$work/err")"
grep -q "demodulator library" "$work/err" && fail "the installed kelvane-decode did not find its library: $(cat "$work/err")"
[ "$(grep -c '^!AIVDM' "$work/out")" -eq 4 ] || fail "installed kelvane-decode decoded $(grep -c '^!AIVDM' "$work/out") messages"
cmp -s "$work/out" <("$build/bin/kelvane-decode" "$recording" 2>/dev/null) || fail "installed and built decodes differ"

# brinecore-dump, installed: linked with the library, it finds it in the
# installation's library folder. Every frame listed with its check, the trace
# on request.
dump="$work/prefix/bin/brinecore-dump"
"$dump" "$recording" >"$work/dump" 2>"$work/dump.err" || fail "brinecore-dump: $(cat "$work/dump.err")"
[ "$(grep -c 'FCS good' "$work/dump")" -eq 4 ] || fail "brinecore-dump listed: $(cat "$work/dump")"
grep -q "^4 frames with a good FCS, 0 with a bad one" "$work/dump.err" || fail "summary: $(cat "$work/dump.err")"
XDG_STATE_HOME="$work/state" "$dump" --trace "$recording" >"$work/trace" 2>/dev/null || fail "brinecore-dump --trace"
grep -q '^\*Period=' "$work/trace" || fail "no trace text: $(head -3 "$work/trace")"
[ -s "$work/state/Kelvane/debug.txt" ] || fail "no trace file written"
"$dump" "$source/tests/data/audio/bergen-48k-s16-stereo.wav" >/dev/null 2>"$work/stereo.err" &&
  fail "brinecore-dump took a stereo file"
grep -q "Wave data must be 8-bit / mono." "$work/stereo.err" || fail "stereo refusal: $(cat "$work/stereo.err")"
echo "installed tree and brinecore-dump as expected"
