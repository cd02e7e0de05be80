#!/usr/bin/env bash
# Makes sure a PulseAudio server answers and has a null sink "kelvane_null"
# (48000 Hz, mono) for the live-capture tests: audio played into the sink
# comes back from its monitor source, as from a receiver on the sound card.
# Starts a server of its own when none answers (CI has none). Leaves the
# user's default devices alone.
set -euo pipefail

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  echo "pulse-null-sink: XDG_RUNTIME_DIR is not set" >&2
  exit 1
fi
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

if ! pactl info >/dev/null 2>&1; then
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
    --load=module-native-protocol-unix 2>/dev/null || true
  for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
fi
if ! pactl info >/dev/null 2>&1; then
  echo "pulse-null-sink: no PulseAudio server answers and none could be started" >&2
  exit 1
fi
if ! pactl list short sinks | grep -q '^[0-9]*[[:space:]]kelvane_null[[:space:]]'; then
  pactl load-module module-null-sink sink_name=kelvane_null rate=48000 channels=1 >/dev/null
fi
echo "pulse-null-sink: kelvane_null ready on $(pactl info | sed -n 's/^Server String: //p')"
