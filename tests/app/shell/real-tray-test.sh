#!/usr/bin/env bash
# The tray on a real desktop: an X server (Xvfb), a window manager (openbox)
# and a tray host (trayer). Kelvane starts on a fresh settings store, is
# minimised, and must show a visible icon in the tray that brings the window
# back on a double click. Without a tray host, minimising must leave the
# window reachable (iconified, not withdrawn).
#
#   real-tray-test.sh KELVANE_PROGRAM
#   real-tray-test.sh --installed BUILD_DIR   installs into a scratch prefix
#                                             and tests the installed program
#
# Exit 77 (skipped) with a message when the desktop cannot be had.
set -uo pipefail

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }

for tool in Xvfb openbox trayer xdotool xwininfo xprop import identify; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (./setup.sh installs it)"
done

work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if [ "$1" = "--installed" ]; then
  prefix="$work/prefix"
  cmake --install "$2" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$work/install.log")"
  program="$prefix/bin/Kelvane"
  # The desktop entry names its icon by theme name: that icon must be there.
  entry="$prefix/share/applications/kelvane.desktop"
  icon_name=$(sed -n 's/^Icon=//p' "$entry")
  [ -n "$icon_name" ] || fail "$entry names no icon"
  icon_file="$prefix/share/icons/hicolor/256x256/apps/$icon_name.png"
  [ "$(identify -format '%wx%h' "$icon_file" 2>/dev/null)" = "256x256" ] ||
    fail "the desktop entry's icon $icon_name is not installed as a 256x256 image at $icon_file"
else
  program=$1
fi
[ -x "$program" ] || fail "no program at $program"

# Xvfb picks a free display and writes its number to the descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || skip "no X server could be started: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

openbox >"$work/openbox.log" 2>&1 &
pids+=($!)

# Polls a command until it succeeds, for up to ten seconds.
wait_for() {
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

start_kelvane() {
  local home="$work/home-$1"
  mkdir -p "$home"
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_STATE_HOME="$home/.local/state" "$program" >"$work/kelvane-$1.log" 2>&1 &
  kelvane_pid=$!
  pids+=($kelvane_pid)
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Kelvane [0-9]' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "the Kelvane window never appeared: $(cat "$work/kelvane-$1.log")"
}

wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/.*window state: //p'; }
is_state() { [ "$(wm_state "$1")" = "$2" ]; }
# Hidden: unmapped and not iconified (the window manager may drop WM_STATE).
is_hidden() {
  xwininfo -id "$1" | grep -q 'Map State: IsUnMapped' && ! is_state "$1" Iconic
}

# The icon Kelvane embedded in the tray: a window named Kelvane below the
# tray's panel. Prints "ID X Y WIDTH HEIGHT" (absolute position).
tray_icon() {
  xwininfo -root -tree | awk '
    /"panel": \("panel" "trayer"\)/ { inside = 1; next }
    inside && /"Kelvane": \("Kelvane" "Kelvane"\)/ {
      split($NF, abs, "+"); split($(NF-1), geometry, "+"); split(geometry[1], size, "x")
      print $1, abs[2], abs[3], size[1], size[2]; exit
    }'
}

# --- With a tray ------------------------------------------------------------
trayer --edge top --align right --widthtype pixel --width 160 --heighttype pixel --height 32 \
  --transparent false --tint 0x336699 >"$work/trayer.log" 2>&1 &
pids+=($!)
wait_for sh -c 'xwininfo -root -tree | grep -q "\"panel\": (\"panel\" \"trayer\")"' ||
  skip "the tray host did not start: $(cat "$work/trayer.log")"

start_kelvane tray
# The title bar's icon is the program's own (Qt gives a window without one
# a generic 48x48 icon): its first image has our icon's size.
own_size=$(identify -format '%w, %h' "$(dirname "$0")/../../../app/shell/resources/kelvane.png")
xprop -id "$window" -f _NET_WM_ICON 32c _NET_WM_ICON | grep -q "_NET_WM_ICON(CARDINAL) = $own_size," ||
  fail "the window does not carry the program's icon ($own_size): $(xprop -id "$window" -f _NET_WM_ICON 32c _NET_WM_ICON | cut -c1-60)"

xdotool windowminimize "$window"
has_tray_icon() { [ -n "$(tray_icon)" ]; }
wait_for has_tray_icon || fail "no Kelvane icon was embedded in the tray"
wait_for is_hidden "$window" || fail "the minimised window did not go to the tray (state $(wm_state "$window"))"
read -r icon x y width height <<<"$(tray_icon)"
import -window "$icon" "$work/tray.png" || fail "could not grab the tray icon"
colours=$(identify -format '%k' "$work/tray.png")
echo "tray icon ${width}x${height}, ${colours} colours"
[ "$colours" -gt 1 ] || fail "the tray icon is one colour: nothing to see"

xdotool mousemove $((x + width / 2)) $((y + height / 2)) click --repeat 2 --delay 80 1
wait_for is_state "$window" Normal || fail "a double click on the tray icon did not bring the window back (state $(wm_state "$window"))"
kill "$kelvane_pid"

# --- Without a tray: the window must stay reachable -------------------------
kill "${pids[2]}"
wait_for sh -c '! xwininfo -root -tree | grep -q "\"panel\": (\"panel\" \"trayer\")"'
start_kelvane notray
xdotool windowminimize "$window"
wait_for is_state "$window" Iconic || fail "without a tray the minimised window is $(wm_state "$window"), not iconified"
sleep 0.5
is_state "$window" Iconic || fail "without a tray the minimised window went $(wm_state "$window")"
echo "without a tray the minimised window stays iconified"
