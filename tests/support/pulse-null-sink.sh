#!/usr/bin/env bash
# Makes sure a PulseAudio server answers and has the null sinks
# "kelvane_null" (48000 Hz, mono) and "kelvane_stereo" (two channels) for the
# live-capture tests: audio played into a sink comes back from its monitor
# source, as from one receiver (or two) on the sound card.
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
for sink in kelvane_null:1 kelvane_stereo:2; do
  if ! pactl list short sinks | grep -q "^[0-9]*[[:space:]]${sink%:*}[[:space:]]"; then
    pactl load-module module-null-sink sink_name="${sink%:*}" rate=48000 channels="${sink#*:}" >/dev/null
  fi
done
echo "pulse-null-sink: kelvane_null and kelvane_stereo ready on $(pactl info | sed -n 's/^Server String: //p')"
