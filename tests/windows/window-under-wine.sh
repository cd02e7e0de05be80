#!/usr/bin/env bash
# Kelvane.exe, the 64-bit Windows window, under wine64 on a desktop of the
# test's own (Xvfb, openbox, trayer as the tray):
#  - it appears with its title;
#  - Replay File through the system's file dialog (the path typed with
#    xdotool) shows the counts the Linux build gives the same recording, and
#    its log holds the same sentences; the vessel window opens on them;
#  - a setting changed in the window is in wine's registry after exit (reg
#    query) and is back at the next start;
#  - minimised, its icon is in the tray and a double click brings it back;
#  - the installer installs silently (/S), the installed program starts, and
#    the uninstaller removes the programs and keeps the settings.
# What the window shows is read by window-texts.exe, another Windows program.
#   tests/windows/window-under-wine.sh [LINUX_BUILD_DIR [WINDOWS_BUILD_DIR]]
#   [--screenshot FILE]  also keeps a picture of the window after the replay
# Exit status 77: wine64 or the desktop's programs are missing.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
linux=$root/${1:-build-test}
windows=$root/${2:-build-windows}
screenshot=
[ "${3:-}" = --screenshot ] && screenshot=${4:-}

skip() { echo "window-under-wine: SKIPPED: $*"; exit 77; }
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$wine")/wineserver
[ -x "$wine" ] || skip "wine64 is missing (./setup.sh installs it)"
for tool in Xvfb openbox trayer xdotool xwininfo xprop import identify; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is missing (./setup.sh installs it)"
done
cmake --build "$windows" --target Kelvane window-texts installer >/dev/null || { echo "FAILED: the Windows build"; exit 1; }
cmake --build "$linux" --target kelvane-decode >/dev/null || { echo "FAILED: the Linux build"; exit 1; }

scratch=$(mktemp -d)
pids=()
cleanup() {
  "$wineserver" -k 2>/dev/null
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

failed=0
fail() { echo "FAILED: $*"; failed=1; }
# Polls a command for up to a minute: a busy machine starts wine slowly.
eventually() {
  local i
  for i in $(seq 600); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

# The desktop: an X server on a free display, a window manager, a tray.
exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || skip "no X server could be started: $(cat "$scratch/xvfb.log")"
export DISPLAY=":$(cat "$scratch/display")"
openbox >"$scratch/openbox.log" 2>&1 &
pids+=($!)
eventually sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
  skip "the window manager did not start: $(cat "$scratch/openbox.log")"
trayer --edge top --align right --widthtype pixel --width 160 --heighttype pixel --height 32 \
  --transparent false --tint 0x336699 >"$scratch/trayer.log" 2>&1 &
pids+=($!)
eventually sh -c 'xwininfo -root -tree | grep -q "\"panel\": (\"panel\" \"trayer\")"' ||
  skip "the tray did not start: $(cat "$scratch/trayer.log")"

# The Windows build's own prefix, without the settings or an installation a
# run before left.
export WINEPREFIX=$windows/wine WINEDEBUG=-all
"$wine" wineboot --init >/dev/null 2>&1
"$wine" reg delete 'HKCU\Software\Kelvane' /f >/dev/null 2>&1
rm -rf "$WINEPREFIX/drive_c/Program Files/Kelvane"
"$wineserver" --wait
texts() { "$wine" "$windows/bin/window-texts.exe" "$@" 2>/dev/null | tr -d '\r'; }
# A control's text, by the window's control number (1000 + its place in
# the list of controls, window/WindowView.h).
text_of() { texts "Kelvane 0" | awk -F'\t' -v id="$1" '$1 == id { print $5 }'; }
checked() { texts "Kelvane 0" | awk -F'\t' -v id="$1" '$1 == id { print $3 }'; }
window_up() { xdotool search --onlyvisible --name '^Kelvane 0' >/dev/null; }
window_gone() { ! pgrep -f 'Kelvane.exe' >/dev/null; }

recording="$root/tests/data/audio/bergen-48k-u8.wav"
wine_recording="Z:${recording//\//\\}"
"$linux/bin/kelvane-decode" "$recording" >"$scratch/linux.out" 2>"$scratch/linux.err"
count() { sed -n "s/^$1: //p" "$scratch/linux.err"; }

# --- Start, replay, counts ---------------------------------------------------------
# The log on, at a place of the test's; the serial port off.
settings='HKCU\Software\Kelvane\Settings'
"$wine" reg add "$settings" /v EnableSerial /d False /f >/dev/null 2>&1
"$wine" reg add "$settings" /v EnableLogfile /d True /f >/dev/null 2>&1
"$wine" reg add "$settings" /v LogFileName /d "Z:${scratch//\//\\}\\replay.log" /f >/dev/null 2>&1
"$wine" "$windows/bin/Kelvane.exe" >"$scratch/kelvane.log" 2>&1 &
eventually window_up || { fail "the window never appeared: $(tail -5 "$scratch/kelvane.log")"; exit 1; }
title=$(xdotool search --onlyvisible --name '^Kelvane 0' getwindowname | head -n 1)
[[ "$title" =~ ^Kelvane\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "the window's title is \"$title\""

texts "Kelvane 0" --click 1001  # Replay File
eventually xdotool search --onlyvisible --name '^Select Wav File$' || { fail "no file dialog"; exit 1; }
dialog=$(xdotool search --onlyvisible --name '^Select Wav File$' | head -n 1)
xdotool windowactivate --sync "$dialog"
xdotool type --delay 10 "$wine_recording"
xdotool key Return
replayed() { [ "$(text_of 1001)" = "Replay File" ] && [ -n "$(text_of 1006)" ] &&
             xdotool search --name "bergen-48k-u8.wav" >/dev/null; }
eventually replayed || fail "the replay did not end: Replay File reads \"$(text_of 1001)\""
for pair in 1006:Syncs 1007:Valid 1008:Errors 1014:"1, 2, 3" 1015:5 1016:"18, 19" 1017:24 1018:Other; do
  id=${pair%%:*}
  name=${pair#*:}
  want=$(count "$name")
  [ "$want" = 0 ] && want=""  # a count that never went up keeps its empty caption
  got=$(text_of "$id")
  [ "$got" = "$want" ] || fail "$name shows \"$got\", the Linux build counts \"$want\""
done
[ "$(text_of 1010)" = "100%" ] || fail "the valid percentage is \"$(text_of 1010)\""
cmp -s <(tr -d '\r' <"$scratch/replay.log") <(tr -d '\r' <"$scratch/linux.out") ||
  fail "the log differs from the Linux build's sentences"
cmp -s "$scratch/replay.log" "$scratch/linux.out" || fail "the log's bytes differ from the Linux build's"
# The vessel window lists who was heard, and the main window lives on.
texts "Kelvane 0" --click 1003  # Vessels
eventually xdotool search --onlyvisible --name '^Kelvane - Vessels$' || fail "the vessel window did not open"
window_up || fail "the main window went with the vessel window"
if [ -n "$screenshot" ]; then
  window=$(xdotool search --onlyvisible --name '^Kelvane 0' | head -n 1)
  import -window "$window" "$screenshot" || fail "no screenshot"
fi

# --- Minimised into the tray, and back -------------------------------------------
window=$(xdotool search --onlyvisible --name '^Kelvane 0' | head -n 1)
xdotool windowminimize "$window"
tray_icon() {
  xwininfo -root -tree | awk '
    /"panel": \("panel" "trayer"\)/ { inside = 1; next }
    inside && /"explorer.exe"/ { split($NF, abs, "+"); split($(NF-1), g, "+"); split(g[1], size, "x");
                                 print abs[2] + size[1] / 2, abs[3] + size[2] / 2; exit }'
}
has_tray_icon() { [ -n "$(tray_icon)" ]; }
eventually has_tray_icon || fail "no icon in the tray: $(xwininfo -root -tree | grep -A5 panel)"
eventually sh -c '! xdotool search --onlyvisible --name "^Kelvane 0"' || fail "the minimised window did not go to the tray"
if has_tray_icon; then
  read -r x y <<<"$(tray_icon)"
  restored=false
  for _ in 1 2 3; do
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
    if eventually window_up; then restored=true; break; fi
  done
  $restored || fail "a double click on the tray icon did not bring the window back"
fi

# --- Settings in the registry, and back at the next start --------------------------
texts "Kelvane 0" --click 1002  # High sensitivity
eventually sh -c "[ \"\$(\"$wine\" \"$windows/bin/window-texts.exe\" 'Kelvane 0' | tr -d '\r' | awk -F'\t' '\$1 == 1002 { print \$3 }')\" = 1 ]" ||
  fail "High sensitivity did not tick"
texts "Kelvane 0" --close
eventually window_gone || fail "the window did not close"
"$wine" reg query "$settings" >"$scratch/registry" 2>/dev/null
tr -d '\r' <"$scratch/registry" | grep -Eq 'HighSensitivity +REG_SZ +True$' ||
  fail "the registry lacks HighSensitivity True: $(cat "$scratch/registry")"
[ "$(tr -d '\r' <"$scratch/registry" | grep -c 'REG_SZ')" -ge 13 ] || fail "fewer than 13 settings were written"
"$wine" "$windows/bin/Kelvane.exe" >>"$scratch/kelvane.log" 2>&1 &
eventually window_up || fail "the window did not come back"
[ "$(checked 1002)" = 1 ] || fail "High sensitivity was not ticked at the next start"
texts "Kelvane 0" --close
eventually window_gone || fail "the window did not close again"

# --- The installer -----------------------------------------------------------------
installer=$(ls "$windows"/Kelvane-*-setup.exe)
"$wine" "$installer" /S >/dev/null 2>&1
installed="$WINEPREFIX/drive_c/Program Files/Kelvane"
for file in bin/Kelvane.exe bin/kelvane-decode.exe bin/brinecore-dump.exe bin/Brinecore.dll \
            share/kelvane/recordings/bergen-48k-u8.wav Uninstall.exe; do
  eventually test -e "$installed/$file" || fail "the installer did not install $file"
done
"$wine" "$installed/bin/Kelvane.exe" >>"$scratch/kelvane.log" 2>&1 &
eventually window_up || fail "the installed program did not start"
texts "Kelvane 0" --close
eventually window_gone || fail "the installed program did not close"
"$wine" "$installed/Uninstall.exe" /S >/dev/null 2>&1
eventually sh -c "[ ! -e \"$installed/bin/Kelvane.exe\" ] && [ ! -e \"$installed/Uninstall.exe\" ]" ||
  fail "the uninstaller left the programs: $(ls -R "$installed" 2>&1 | head)"
"$wine" reg query "$settings" /v HighSensitivity >/dev/null 2>&1 || fail "the uninstaller removed the settings"

[ $failed -eq 0 ] && echo "window-under-wine: the window, its tray, its settings and its installer work"
exit $failed
