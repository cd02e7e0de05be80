#!/usr/bin/env bash
# The tray on a real desktop: an X server (Xvfb), a window manager (openbox)
# and a tray host (trayer).
#   - Kelvane starts on a fresh settings store beside a running tray, is
#     minimised, and must show a visible icon in the tray that brings the
#     window back on a double click.
#   - The tray host dies while the window waits in it: the window must become
#     reachable again (iconified); a new tray host must get the icon back.
#   - Without a tray host, minimising must leave the window reachable
#     (iconified, not withdrawn); a tray host started afterwards gets the
#     icon, and the window goes into it.
#
#   real-tray-test.sh KELVANE_PROGRAM
#   real-tray-test.sh --installed BUILD_DIR   installs into a scratch prefix
#                                             and tests the installed program
#
# Every wait is for an event, with a deadline only a broken program reaches.
# A failure names its step and shows the tray's window tree and the logs.
# Exit 77 (skipped) with a message when the desktop cannot be had.
set -uo pipefail

work=$(mktemp -d)
pids=()
step="setting up"
kelvane_log=""
tray_log=""

skip() { echo "SKIPPED: $*"; exit 77; }

fail() {
  echo "FAILED while $step: $*"
  if [ -n "${DISPLAY:-}" ]; then
    echo "--- the tray's window tree and Kelvane's windows (xwininfo -root -tree) ---"
    tray_tree
  fi
  for log in "$kelvane_log" "$tray_log" "$work/openbox.log"; do
    [ -n "$log" ] && [ -f "$log" ] || continue
    echo "--- $(basename "$log") ---"
    tail -n 40 "$log"
  done
  exit 1
}

for tool in Xvfb openbox trayer xdotool xwininfo xprop import identify; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (./setup.sh installs it)"
done

# Stops one process this script started, and forgets it.
stop() {
  kill "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  local kept=()
  for pid in "${pids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
  pids=("${kept[@]}")
}
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

# Polls a command until it succeeds. The deadline is far beyond what a busy
# machine needs: only a broken program reaches it.
wait_for() {
  local deadline=$((SECONDS + 30))
  while ((SECONDS < deadline)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# Xvfb picks a free display and writes its number to the descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
pids+=($xvfb_pid)
exec 3>&-
# Up, or given up.
xvfb_settled() { [ -s "$work/display" ] || ! kill -0 "$xvfb_pid"; }
wait_for xvfb_settled
[ -s "$work/display" ] || skip "no X server could be started: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

# A minimise request sent before the window manager runs is lost: wait for it.
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
wait_for wm_running || skip "the window manager did not start: $(cat "$work/openbox.log")"

# Marks the lines of the tray's panel and the windows inside it.
panel_awk='
  /"panel": \("panel" "trayer"\)/ { match($0, /[^ ]/); depth = RSTART; in_panel = 1 }
  in_panel && !/"panel": / { match($0, /[^ ]/); if (RSTART <= depth) in_panel = 0 }'
# The panel's subtree in the window tree, and Kelvane's windows elsewhere.
tray_tree() {
  xwininfo -root -tree 2>&1 | awk "$panel_awk"'
    in_panel || /Kelvane/ { print }' | head -n 60
}

has_panel() {
  local tree
  tree=$(xwininfo -root -tree) && [[ $tree == *'"panel": ("panel" "trayer")'* ]]
}
no_panel() { ! has_panel; }
trays=0
start_tray() {
  trays=$((trays + 1))
  tray_log="$work/trayer-$trays.log"
  trayer --edge top --align right --widthtype pixel --width 160 --heighttype pixel --height 32 \
    --transparent false --tint 0x336699 >"$tray_log" 2>&1 &
  tray_pid=$!
  pids+=($tray_pid)
  wait_for has_panel && return
  ((trays == 1)) && skip "the tray host did not start: $(cat "$tray_log")"
  kill -0 "$tray_pid" 2>/dev/null && fail "the tray host runs but shows no panel"
  wait "$tray_pid"
  fail "the tray host ended with status $?"
}
stop_tray() {
  stop "$tray_pid"
  wait_for no_panel || fail "the tray's panel outlived the tray host"
}

find_window() {
  window=$(xdotool search --onlyvisible --name '^Kelvane [0-9]' 2>/dev/null | head -n 1)
  [ -n "$window" ]
}
start_kelvane() {
  local home="$work/home-$1"
  mkdir -p "$home"
  kelvane_log="$work/kelvane-$1.log"
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_STATE_HOME="$home/.local/state" "$program" >"$kelvane_log" 2>&1 &
  kelvane_pid=$!
  pids+=($kelvane_pid)
  wait_for find_window || fail "the Kelvane window never appeared"
  # Managed by the window manager, which then acts on a minimise request.
  wait_for is_state "$window" Normal || fail "the window manager never took the window (state $(wm_state "$window"))"
}

wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/.*window state: //p'; }
is_state() { [ "$(wm_state "$1")" = "$2" ]; }
# Hidden: unmapped and not iconified (the window manager may drop WM_STATE).
is_hidden() {
  xwininfo -id "$1" | grep -q 'Map State: IsUnMapped' && ! is_state "$1" Iconic
}

# The icon Kelvane embedded in the tray: a window named Kelvane inside the
# tray's panel. Prints "ID X Y WIDTH HEIGHT" (absolute position).
tray_icon() {
  xwininfo -root -tree | awk "$panel_awk"'
    in_panel && /"Kelvane": \("Kelvane" "Kelvane"\)/ {
      split($NF, abs, "+"); split($(NF-1), geometry, "+"); split(geometry[1], size, "x")
      print $1, abs[2], abs[3], size[1], size[2]; exit
    }'
}
# Embedded and shown by the tray.
has_tray_icon() {
  local icon
  read -r icon _ <<<"$(tray_icon)"
  [ -n "$icon" ] && xwininfo -id "$icon" | grep -q 'Map State: IsViewable'
}

minimise_into_tray() {
  xdotool windowminimize "$window"
  wait_for has_tray_icon || fail "no Kelvane icon was shown in the tray"
  wait_for is_hidden "$window" || fail "the minimised window did not go to the tray (state $(wm_state "$window"))"
}

# A double click that lost its second half (the clicks came too far apart on
# a busy machine) restores nothing and is given again.
restore_from_tray() {
  read -r icon x y width height <<<"$(tray_icon)"
  [ -n "$icon" ] || fail "no Kelvane icon in the tray to click"
  for _ in 1 2; do
    xdotool mousemove $((x + width / 2)) $((y + height / 2)) click --repeat 2 --delay 80 1
    wait_for is_state "$window" Normal && return 0
  done
  fail "a double click on the tray icon did not bring the window back (state $(wm_state "$window"))"
}

# --- A tray running before the program -------------------------------------
step="starting the tray host"
start_tray
step="starting Kelvane beside the tray"
start_kelvane tray
# The title bar's icon is the program's own (Qt gives a window without one
# a generic 48x48 icon): its first image has our icon's size.
own_size=$(identify -format '%w, %h' "$(dirname "$0")/../../../app/shell/resources/kelvane.png")
xprop -id "$window" -f _NET_WM_ICON 32c _NET_WM_ICON | grep -q "_NET_WM_ICON(CARDINAL) = $own_size," ||
  fail "the window does not carry the program's icon ($own_size): $(xprop -id "$window" -f _NET_WM_ICON 32c _NET_WM_ICON | cut -c1-60)"

step="minimising into the tray"
minimise_into_tray
read -r icon x y width height <<<"$(tray_icon)"
import -window "$icon" "$work/tray.png" || fail "could not grab the tray icon"
colours=$(identify -format '%k' "$work/tray.png")
echo "tray icon ${width}x${height}, ${colours} colours"
[ "$colours" -gt 1 ] || fail "the tray icon is one colour: nothing to see"
step="double-clicking the tray icon"
restore_from_tray

# --- The tray host restarted while the window waits in it --------------------
step="minimising into the tray again"
minimise_into_tray
step="stopping the tray host"
stop_tray
# The program may give its window a new native window to come back iconified.
iconified_window() {
  local id
  for id in $(xdotool search --name '^Kelvane [0-9]' 2>/dev/null); do
    is_state "$id" Iconic && window=$id && return 0
  done
  return 1
}
wait_for iconified_window ||
  fail "with its tray gone the window is not iconified (state $(wm_state "$window")): it cannot be reached"
step="starting a new tray host"
start_tray
wait_for has_tray_icon || fail "no Kelvane icon was shown in the new tray"
wait_for is_hidden "$window" || fail "the window did not go into the new tray (state $(wm_state "$window"))"
step="double-clicking the icon in the new tray"
restore_from_tray
echo "a restarted tray host gets the icon back"
stop "$kelvane_pid"

# --- Without a tray: the window must stay reachable -------------------------
step="stopping the tray host for a start without one"
stop_tray
step="starting Kelvane without a tray"
start_kelvane notray
step="minimising without a tray"
xdotool windowminimize "$window"
wait_for is_state "$window" Iconic || fail "without a tray the minimised window is $(wm_state "$window"), not iconified"
# Long enough for the program to have looked for a tray again.
sleep 1.5
is_state "$window" Iconic || fail "without a tray the minimised window went $(wm_state "$window")"
echo "without a tray the minimised window stays iconified"

# --- A tray host started after the program was minimised --------------------
step="starting a tray host after the program"
start_tray
wait_for has_tray_icon || fail "a tray host started later got no Kelvane icon"
wait_for is_hidden "$window" || fail "the window did not go into the tray started later (state $(wm_state "$window"))"
step="double-clicking the icon in the tray started later"
restore_from_tray
echo "a tray host started after the program gets the icon"
