#!/usr/bin/env bash
# A UDP destination given by name while the name server never answers: in a
# network and mount namespace of its own, /etc/resolv.conf points at a UDP
# listener on 127.0.0.1:53 that reads every query and never replies.
# kelvane-decode must not wait for it (it would wait 90 s: timeout:30,
# attempts:3), and the destination by address must get every message; nor
# must it wait with a TCP target by name.
#
#   dead-name-server-test.sh KELVANE_DECODE RECORDING.wav
#
# Exit 77 (skipped) with a message where no namespace can be made.
set -uo pipefail

decoder=$1
wav=$2
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }

for tool in unshare socat ip getent timeout; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
unshare -mn true 2>/dev/null || skip "no network and mount namespace can be made here (unshare -mn needs root)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'nameserver 127.0.0.1\noptions timeout:30 attempts:3\n' >"$work/resolv.conf"

unshare -mn bash -s "$decoder" "$wav" "$work" <<'INSIDE'
set -uo pipefail
decoder=$1 wav=$2 work=$3
fail() { echo "FAILED: $*"; exit 1; }
ip link set lo up
mount --bind "$work/resolv.conf" /etc/resolv.conf
socat -u UDP4-RECV:53,bind=127.0.0.1 OPEN:"$work/queries",creat,append &
dns=$!
socat -u UDP4-RECV:10111,bind=127.0.0.1 OPEN:"$work/received",creat,append &
listener=$!
trap 'kill $dns $listener 2>/dev/null' EXIT
sleep 0.3
# The resolver here really never answers.
timeout 2 getent hosts ais-feed.example >/dev/null
[ $? -eq 124 ] || fail "the name server in the namespace answered"

start=$(date +%s.%N)
timeout 60 "$decoder" --udp "ais-feed.example:10110,127.0.0.1:10111" "$wav" >"$work/out" 2>"$work/err"
status=$?
end=$(date +%s.%N)
[ $status -eq 0 ] || fail "kelvane-decode ended with $status: $(cat "$work/err")"
echo "the replay took $(awk "BEGIN { printf \"%.3f\", $end - $start }") s while the name server never answered"
sleep 0.3
messages=$(grep -c '^!AIVDM' "$work/out")
[ "$messages" -ge 4 ] || fail "only $messages messages decoded"
[ "$(cat "$work/received")" = "$(cat "$work/out")" ] || fail "the destination by address did not get every message"
grep -q "^UDP: $messages datagrams sent, $messages failed$" "$work/err" ||
  fail "the name's sends were not counted as failures: $(grep '^UDP' "$work/err")"

# The same for a TCP target by name: the run and the close do not wait for
# the lookup, and every message is dropped and counted.
timeout 60 "$decoder" --tcp "ais-feed.example:10110" "$wav" >"$work/out-tcp" 2>"$work/err-tcp"
status=$?
[ $status -eq 0 ] || fail "kelvane-decode with a TCP target ended with $status: $(cat "$work/err-tcp")"
grep -q "^TCP ais-feed.example:10110: 0 messages sent, $messages dropped, 0 reconnects$" "$work/err-tcp" ||
  fail "the TCP target's messages were not counted as dropped: $(grep '^TCP' "$work/err-tcp")"
INSIDE
