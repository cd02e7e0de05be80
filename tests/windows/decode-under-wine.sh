#!/usr/bin/env bash
# kelvane-decode.exe, the 64-bit Windows build, under wine64, held to the
# Linux build's kelvane-decode:
#  - the bundled recordings, mono and stereo, on each demodulator, as JSON
#    and from standard input: standard output byte for byte, standard error
#    but for the speed line, and the exit status; a file that cannot be read
#    and a malformed option say what they say on Linux; the log file holds
#    the sentences, and a full disk is reported;
#  - live from a sound card: wave-in through wine's PulseAudio driver, from
#    a private PulseAudio server whose null sink's monitor is the default
#    input, a recording played into the sink, mono and stereo (--record too),
#    stopped by SIGINT (a Ctrl+C for the program): the replay's sentences and
#    counters;
#  - its outputs reaching this machine: UDP to a loopback socket, a client of
#    its TCP server, a listener for its TCP client, and COM1 (a pty pair made
#    by socat); its web view serves the Linux build's page and API;
# and prints, beside the Linux build's, its speed on a longer recording for
# each demodulator.
#   tests/windows/decode-under-wine.sh [LINUX_BUILD_DIR [WINDOWS_BUILD_DIR]]
#   (default build-test and build-windows, both built; ./build.sh windows
#   builds the second). Exit status 77: wine64 or PulseAudio is missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
linux=$root/${1:-build-test}
windows=$root/${2:-build-windows}

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$wine")/wineserver
if [ ! -x "$wine" ]; then
  echo "decode-under-wine: SKIPPED: wine64 is missing (./setup.sh installs it)" >&2
  exit 77
fi
for tool in pulseaudio pactl paplay; do
  if ! command -v "$tool" >/dev/null; then
    echo "decode-under-wine: SKIPPED: $tool is missing (./setup.sh installs PulseAudio)" >&2
    exit 77
  fi
done
for tree in "$linux" "$windows"; do
  if [ ! -f "$tree/CMakeCache.txt" ]; then
    echo "decode-under-wine: $tree is not configured (./build.sh test, ./build.sh windows)" >&2
    exit 1
  fi
done
cmake --build "$linux" --target kelvane-decode Brinecore >/dev/null
cmake --build "$windows" --target kelvane-decode Brinecore >/dev/null
linux_decode=$linux/bin/kelvane-decode
windows_decode=$windows/bin/kelvane-decode.exe
audio=$root/tests/data/audio
started=$(date +%s)

scratch=$(mktemp -d)
com_before=
pulse_pid=
socat_pid=
cleanup() {
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null
  if [ -n "$com_before" ]; then
    # The prefix's COM ports as they were.
    "$wine" reg delete 'HKLM\Software\Wine\Ports' /v COM1 /f >/dev/null 2>&1
    "$wineserver" -k 2>/dev/null
    rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
    while read -r port target; do
      [ -z "$port" ] || ln -s "$target" "$WINEPREFIX/dosdevices/$port"
    done <"$com_before"
  fi
  "$wineserver" -k 2>/dev/null
  rm -rf "$scratch"
}
trap 'cleanup || true' EXIT
mkdir -p "$scratch/linux" "$scratch/windows" "$scratch/pulse"

# COM1: one end of a pty pair, the other read by the test.
socat "pty,raw,echo=0,link=$scratch/com1" "pty,raw,echo=0,link=$scratch/com1-far" &
socat_pid=$!

# The Windows build's own prefix (tests/demod/windows-check.sh uses it too):
# sound through PulseAudio, nothing else, and COM1 the pty, set where wine
# looks when it starts (its device manager makes the links of the COM ports
# then, and would replace one made meanwhile). Then a server kept running,
# which saves starting one for every program.
export WINEPREFIX=$windows/wine WINEDEBUG=-all
"$wine" wineboot --init >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f >/dev/null 2>&1
com_before=$scratch/com-before
for link in "$WINEPREFIX"/dosdevices/com[0-9]*; do
  [ ! -L "$link" ] || echo "${link##*/} $(readlink "$link")"
done >"$com_before"
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$scratch/com1" /f >/dev/null 2>&1
"$wineserver" --wait
"$wineserver" -p >/dev/null 2>&1

# A PulseAudio server of the test's own: its default input can be set
# without touching anyone else's. Its null sinks' monitors are the inputs.
export PULSE_SERVER=unix:$scratch/pulse/native
XDG_RUNTIME_DIR=$scratch/pulse HOME=$scratch/pulse \
  pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 \
  --load="module-native-protocol-unix socket=$scratch/pulse/native auth-anonymous=1" \
  --load="module-null-sink sink_name=kelvane_mono rate=48000 channels=1" \
  --load="module-null-sink sink_name=kelvane_stereo rate=48000 channels=2" \
  >"$scratch/pulse/log" 2>&1 &
pulse_pid=$!

failed=0
fail() {
  echo "decode-under-wine: $*" >&2
  failed=1
}
# Polls up to 30 s for a condition (a command).
eventually() {
  local i
  for i in $(seq 300); do
    if "$@"; then
      return 0
    fi
    sleep 0.1
  done
  "$@"
}
# Waits for a background process, killed after 60 s; its status in $waited.
bounded_wait() {
  local i
  for i in $(seq 600); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$1" 2>/dev/null; then
    kill -KILL "$1"
  fi
  waited=0
  wait "$1" || waited=$?
}
has_text() { grep -qF -- "$2" "$1" 2>/dev/null; }
lines_at_least() { [ "$(wc -l <"$1" 2>/dev/null || echo 0)" -ge "$2" ]; }
bytes_at_least() { [ "$(wc -c <"$1" 2>/dev/null || echo 0)" -ge "$2" ]; }
free_port() {
  python3 -c 'import socket,sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM if sys.argv[1] == "udp" else socket.SOCK_STREAM)
s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' "$1"
}
# Standard error without the speed line, which differs by nature.
without_speed() { grep -av ' s of audio in .* real time$' "$1" || true; }

# decode NAME ARGS...: both builds in the recordings' folder; "-" as the last
# argument reads the file STDIN_FILE. Each side's out, err and status kept.
decode() {
  local name=$1
  shift
  local input=/dev/null
  if [ "${!#}" = - ]; then
    input=$STDIN_FILE
  fi
  local status=0
  (cd "$audio" && timeout 120 "$linux_decode" "$@") <"$input" >"$scratch/linux/$name.out" \
    2>"$scratch/linux/$name.err" || status=$?
  echo "$status" >"$scratch/linux/$name.status"
  status=0
  (cd "$audio" && timeout 120 "$wine" "$windows_decode" "$@") <"$input" >"$scratch/windows/$name.out" \
    2>"$scratch/windows/$name.err" || status=$?
  echo "$status" >"$scratch/windows/$name.status"
}
# same NAME: the Windows run said what the Linux run said.
same() {
  local name=$1 l=$scratch/linux/$1 w=$scratch/windows/$1
  if ! cmp -s "$l.out" "$w.out"; then
    fail "$name: standard output differs from Linux"
    diff "$l.out" "$w.out" | head -10 >&2 || true
  fi
  if ! cmp -s <(without_speed "$l.err") <(without_speed "$w.err"); then
    fail "$name: standard error differs from Linux"
    diff <(without_speed "$l.err") <(without_speed "$w.err") | head -10 >&2 || true
  fi
  if ! cmp -s "$l.status" "$w.status"; then
    fail "$name: exit status $(cat "$w.status"), on Linux $(cat "$l.status")"
  fi
}
check() {
  local what=$1
  shift
  "$@" || fail "$what"
}

# --- Recordings ------------------------------------------------------------
for demod in library builtin burst; do
  for file in bergen-48k-u8.wav bergen-48k-s16-stereo.wav rtl-fm-50k-u8.wav; do
    decode "$demod-$file" --demod "$demod" "$file"
    same "$demod-$file"
  done
done
check "bergen: not 4 sentences" test "$(grep -c '^!AIVDM' "$scratch/windows/library-bergen-48k-u8.wav.out")" = 4
check "bergen stereo: not 8 sentences on A and B" \
  test "$(grep -c '^!AIVDM,1,1,,[AB],' "$scratch/windows/burst-bergen-48k-s16-stereo.wav.out")" = 8
check "rtl-fm: no sentence" grep -q '^!AIVDM' "$scratch/windows/builtin-rtl-fm-50k-u8.wav.out"

decode json-mono --json bergen-48k-u8.wav
same json-mono
decode json-stereo --json --demod burst bergen-48k-s16-stereo.wav
same json-stereo
check "--json: no mmsi" grep -q '"mmsi":' "$scratch/windows/json-stereo.out"

# Standard input: a loud copy, whose clipped samples hold the bytes a stream
# in text mode would change (CR, LF, 0x1A), and the 16-bit stereo file.
sox -D "$audio/bergen-48k-u8.wav" -e unsigned-integer -b 8 "$scratch/loud.wav" vol 2 2>/dev/null
check "loud bergen: no CR, LF or 0x1A" test "$(tr -dc '\r\n\032' <"$scratch/loud.wav" | wc -c)" -gt 0
STDIN_FILE=$scratch/loud.wav decode stdin-loud -
same stdin-loud
check "loud bergen from standard input: not 4 sentences" \
  test "$(grep -c '^!AIVDM' "$scratch/windows/stdin-loud.out")" = 4
STDIN_FILE=$audio/bergen-48k-s16-stereo.wav decode stdin-stereo --demod builtin -
same stdin-stereo

# What cannot be read, and what is not an option.
decode missing no-such-file.wav
same missing
decode not-wav README.md
same not-wav
decode folder .
same folder
decode bad-demod --demod fastest bergen-48k-u8.wav
same bad-demod
decode bad-udp --udp 127.0.0.1 bergen-48k-u8.wav
same bad-udp
decode unknown --colour bergen-48k-u8.wav
same unknown
for name in missing not-wav folder; do
  check "$name: not exit status 1" grep -qx 1 "$scratch/windows/$name.status"
done
for name in bad-demod bad-udp unknown; do
  check "$name: not exit status 2" grep -qx 2 "$scratch/windows/$name.status"
done

# --- Log file ----------------------------------------------------------------
run_windows() {
  local name=$1
  shift
  local status=0
  (cd "$audio" && timeout 120 "$wine" "$windows_decode" "$@") <"${STDIN_FILE:-/dev/null}" \
    >"$scratch/windows/$name.out" 2>"$scratch/windows/$name.err" || status=$?
  echo "$status" >"$scratch/windows/$name.status"
}
run_windows log --log "Z:$scratch/log.txt" bergen-48k-u8.wav
check "--log: the log is not standard output" cmp -s "$scratch/log.txt" "$scratch/windows/log.out"
run_windows log-missing-folder --log "Z:$scratch/no/such/folder/log.txt" bergen-48k-u8.wav
check "--log in a missing folder: not reported" \
  grep -q "^kelvane-decode: --log: cannot open log file .*; going on without it" \
  "$scratch/windows/log-missing-folder.err"
check "--log in a missing folder: no decode" cmp -s "$scratch/windows/log.out" \
  "$scratch/windows/log-missing-folder.out"
run_windows log-full --log 'Z:\dev\full' bergen-48k-u8.wav
check "--log on a full disk: not reported once" test "$(grep -c \
  '^kelvane-decode: Unable to write to log file at Z:\\dev\\full! ' "$scratch/windows/log-full.err")" = 1
check "--log on a full disk: the decode stopped" cmp -s "$scratch/windows/log.out" \
  "$scratch/windows/log-full.out"

# --- Outputs to this machine ------------------------------------------------
expected=$scratch/windows/log.out
expected_bytes=$(wc -c <"$expected")

# UDP: one datagram per message to a loopback socket.
port=$(free_port udp)
socat -u "UDP4-RECV:$port,bind=127.0.0.1" "OPEN:$scratch/udp.got,creat,trunc" &
udp_reader=$!
eventually has_text /proc/net/udp "$(printf ':%04X ' "$port")" || true
run_windows udp --udp "127.0.0.1:$port" bergen-48k-u8.wav
eventually bytes_at_least "$scratch/udp.got" "$expected_bytes" || true
kill "$udp_reader" 2>/dev/null || true
wait "$udp_reader" 2>/dev/null || true
check "--udp: the datagrams are not the sentences" cmp -s "$scratch/udp.got" "$expected"
check "--udp: not 4 datagrams sent" grep -q "^UDP: 4 datagrams sent, 0 failed" "$scratch/windows/udp.err"

# The TCP outputs get the recording through standard input in two parts: its
# header while the peer connects, then the rest once it is connected.
head -c 44 "$audio/bergen-48k-u8.wav" >"$scratch/head.wav"
tail -c +45 "$audio/bergen-48k-u8.wav" >"$scratch/rest.wav"
start_piped() {  # NAME ARGS...: kelvane-decode.exe reading the fifo $scratch/NAME.in
  local name=$1
  shift
  mkfifo "$scratch/$name.in"
  (cd "$audio" && exec "$wine" "$windows_decode" "$@" -) <"$scratch/$name.in" \
    >"$scratch/windows/$name.out" 2>"$scratch/windows/$name.err" &
  piped=$!
  exec 3>"$scratch/$name.in"
  cat "$scratch/head.wav" >&3
}
finish_piped() {
  cat "$scratch/rest.wav" >&3
  exec 3>&-
  bounded_wait "$piped"
  echo "$waited" >"$scratch/windows/$1.status"
}

# The TCP server, with a client on this machine.
port=$(free_port tcp)
start_piped tcp-server --tcp-server "127.0.0.1:$port"
eventually has_text "$scratch/windows/tcp-server.err" "listening on" ||
  fail "--tcp-server: not listening: $(cat "$scratch/windows/tcp-server.err")"
socat -u "TCP4:127.0.0.1:$port" "OPEN:$scratch/tcp-server.got,creat,trunc" &
tcp_reader=$!
eventually has_text "$scratch/windows/tcp-server.err" " connected" ||
  fail "--tcp-server: the client was not accepted: $(cat "$scratch/windows/tcp-server.err")"
finish_piped tcp-server
eventually bytes_at_least "$scratch/tcp-server.got" "$expected_bytes" || true
kill "$tcp_reader" 2>/dev/null || true
wait "$tcp_reader" 2>/dev/null || true
check "--tcp-server: the client did not get the sentences" cmp -s "$scratch/tcp-server.got" "$expected"
check "--tcp-server: not 4 messages sent" grep -q "^TCP server: 4 messages sent" \
  "$scratch/windows/tcp-server.err"

# The TCP client, pushing to a listener on this machine.
port=$(free_port tcp)
socat -u "TCP4-LISTEN:$port,bind=127.0.0.1,reuseaddr" "OPEN:$scratch/tcp.got,creat,trunc" &
tcp_listener=$!
eventually has_text /proc/net/tcp "$(printf '0100007F:%04X' "$port")" || true
start_piped tcp --tcp "127.0.0.1:$port"
eventually has_text "$scratch/windows/tcp.err" ": connected" ||
  fail "--tcp: never connected: $(cat "$scratch/windows/tcp.err")"
finish_piped tcp
eventually bytes_at_least "$scratch/tcp.got" "$expected_bytes" || true
kill "$tcp_listener" 2>/dev/null || true
wait "$tcp_listener" 2>/dev/null || true
check "--tcp: the listener did not get the sentences" cmp -s "$scratch/tcp.got" "$expected"
check "--tcp: not 4 messages sent" grep -q "^TCP 127.0.0.1:$port: 4 messages sent, 0 dropped" \
  "$scratch/windows/tcp.err"

# COM1, the pty pair made first.
check "COM1 is not the test's pty" test "$(readlink "$WINEPREFIX/dosdevices/com1")" = "$scratch/com1"
cat "$scratch/com1-far" >"$scratch/serial.got" &
serial_reader=$!
run_windows serial --serial COM1,4800,n,8,1 bergen-48k-u8.wav
eventually bytes_at_least "$scratch/serial.got" "$expected_bytes" || true
kill "$serial_reader" 2>/dev/null || true
wait "$serial_reader" 2>/dev/null || true
check "--serial COM1: the port did not carry the sentences" cmp -s "$scratch/serial.got" "$expected"
check "--serial COM1,4800: not at 4800 baud" grep -q "^speed 4800 baud" \
  <(stty -F "$scratch/com1" 2>&1)

# The web view: the page and the API the Linux build serves, for the same
# recording (kept serving after its end until interrupted).
http_get() {
  python3 -c 'import sys, urllib.request
sys.stdout.buffer.write(urllib.request.urlopen(sys.argv[1], timeout=5).read())' "$1" >"$2" 2>/dev/null
}
serve_web() {  # SIDE PORT COMMAND...
  local side=$1 port=$2
  shift 2
  "$@" --http "127.0.0.1:$port" --keep-serving "$audio/bergen-48k-u8.wav" >/dev/null 2>"$scratch/$side/web.err" &
  web_pid=$!
  if eventually has_text "$scratch/$side/web.err" "serving the web view"; then
    for path in / /api/messages /api/vessels; do
      http_get "http://127.0.0.1:$port$path" "$scratch/$side/web${path//\//-}" || fail "--http on $side: $path not served"
    done
  else
    fail "--http on $side: never served: $(cat "$scratch/$side/web.err")"
  fi
  kill -INT "$web_pid" 2>/dev/null || true
  bounded_wait "$web_pid"
}
serve_web linux "$(free_port tcp)" "$linux_decode"
serve_web windows "$(free_port tcp)" "$wine" "$windows_decode"
# The vessels differ only in when they were heard.
for side in linux windows; do
  sed -E 's/"last_heard":[0-9.]+/"last_heard":0/g' "$scratch/$side/web-api-vessels" >"$scratch/$side/web-vessels"
done
for served in web- web-api-messages web-vessels; do
  check "--http: $served differs from the Linux build's" \
    cmp -s "$scratch/linux/$served" "$scratch/windows/$served"
done
check "--http: the page is empty" test -s "$scratch/windows/web-"

# --- Live from the sound card -------------------------------------------------
if ! eventually pactl info >/dev/null 2>&1; then
  fail "no PulseAudio server of our own: $(cat "$scratch/pulse/log")"
fi
run_windows list --list-devices
check "--list-devices: no device 0" grep -q "^0: ." "$scratch/windows/list.out"
decode no-device --device 99
same no-device
check "--device 99: not the message of a missing device" grep -q "The device number (99) cannot be found." \
  "$scratch/windows/no-device.err"

capturing() { pactl list short source-outputs | grep -q .; }
# live NAME SINK FILE ARGS...: FILE played into SINK while
# kelvane-decode.exe --device 0 (the default input: SINK's monitor) decodes
# it; stopped once it has as many sentences as the Linux replay of FILE.
live() {
  local name=$1 sink=$2 file=$3
  shift 3
  (cd "$audio" && "$linux_decode" "$file") >"$scratch/linux/$name.out" 2>"$scratch/linux/$name.err"
  pactl set-default-source "$sink.monitor"
  (cd "$audio" && exec "$wine" "$windows_decode" --device 0 "$@") </dev/null \
    >"$scratch/windows/$name.out" 2>"$scratch/windows/$name.err" &
  local pid=$!
  eventually capturing || fail "$name: kelvane-decode.exe never opened the input"
  paplay --device="$sink" "$audio/$file" || fail "$name: paplay failed"
  eventually lines_at_least "$scratch/windows/$name.out" "$(wc -l <"$scratch/linux/$name.out")" || true
  kill -INT "$pid"
  bounded_wait "$pid"
  check "$name: stopped with exit status $waited (137: it did not stop)" test "$waited" = 0
  check "$name: overruns" grep -q "^Overruns: 0$" "$scratch/windows/$name.err"
  # The counters as the replay counted them (the summary printed on stop).
  check "$name: the counters are not those of the replay" cmp -s \
    <(sed -n '/^Syncs:/,/^Other:/p;/^Valid [AB]:/p' "$scratch/linux/$name.err") \
    <(sed -n '/^Syncs:/,/^Other:/p;/^Valid [AB]:/p' "$scratch/windows/$name.err")
}
live live-mono kelvane_mono bergen-48k-u8.wav --rate 48000
check "live mono: not the sentences of the replay" cmp -s "$scratch/linux/live-mono.out" \
  "$scratch/windows/live-mono.out"
live live-stereo kelvane_stereo bergen-48k-s16-stereo.wav --stereo --record "Z:$scratch/live.wav"
check "live stereo: not the sentences of the replay" cmp -s <(sort "$scratch/linux/live-stereo.out") \
  <(sort "$scratch/windows/live-stereo.out")
# The recording is what was decoded: 16-bit stereo that replays the same.
"$linux_decode" "$scratch/live.wav" >"$scratch/live-replayed.out" 2>"$scratch/live-replayed.err" ||
  fail "the live recording does not replay: $(cat "$scratch/live-replayed.err")"
check "the live recording does not replay as it was decoded live" cmp -s "$scratch/live-replayed.out" \
  "$scratch/windows/live-stereo.out"
check "the live recording is not 16-bit stereo" test "$(od -An -tu2 -j22 -N2 "$scratch/live.wav" |
  tr -d ' ')$(od -An -tu2 -j34 -N2 "$scratch/live.wav" | tr -d ' ')" = 216

if [ "$failed" -ne 0 ]; then
  echo "decode-under-wine: FAILED" >&2
  exit 1
fi
echo "decode-under-wine: kelvane-decode.exe under wine decodes as the Linux build does, live too," \
  "and reaches UDP, TCP and COM1 peers ($(($(date +%s) - started)) s)"

# --- Speed beside the Linux build ---------------------------------------------
# Printed, not judged: wine's overhead and the machine's load vary. The
# bundled recording repeated: MINUTES of 8-bit mono, a quarter as much of
# 16-bit stereo.
minutes=${KELVANE_BENCH_MINUTES:-30}
repeats=$((minutes * 6000 / 544))
sox "$audio/bergen-48k-u8.wav" "$scratch/mono.wav" repeat "$repeats" 2>/dev/null
sox "$audio/bergen-48k-s16-stereo.wav" "$scratch/stereo.wav" repeat $((repeats / 4)) 2>/dev/null
speed() { sed -n 's/.*: \([0-9]*\) × real time$/\1/p' "$1"; }
echo "decode-under-wine: speed in × real time, $minutes min of 8-bit mono, $((minutes / 4)) of 16-bit stereo:"
printf '  %-10s %-7s %8s %8s\n' demod input Linux wine
for demod in library builtin burst; do
  for input in mono stereo; do
    "$linux_decode" --quiet --demod "$demod" "$scratch/$input.wav" 2>"$scratch/bench.linux" || true
    "$wine" "$windows_decode" --quiet --demod "$demod" "Z:$scratch/$input.wav" 2>"$scratch/bench.windows" ||
      true
    printf '  %-10s %-7s %8s %8s\n' "$demod" "$input" "$(speed "$scratch/bench.linux")" \
      "$(speed "$scratch/bench.windows")"
  done
done
