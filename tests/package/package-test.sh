#!/usr/bin/env bash
# The Debian packages as an operator gets them. lintian passes every package;
# the library has its soname and exactly its three functions. Then, in a
# scratch Debian 12 root (debootstrap, minbase): apt installs the headless
# receiver and the library from the .deb files with every dependency from
# Debian and no toolkit; the installed kelvane-decode decodes the bundled
# recording as the build does; the manual pages render and name every option;
# the service is valid, not enabled, and each example of its options file is
# accepted; the window's package installs and its window starts; a C program
# builds against the development package alone and decodes a recording;
# apt remove keeps the configuration and the user, apt purge leaves nothing.
#
#   tests/package/package-test.sh [PACKAGE_DIR [BUILD_DIR]]
#
# PACKAGE_DIR holds what ./build.sh package built (default build-package);
# BUILD_DIR, if given, is a build of the same sources whose kelvane-decode
# output the packaged one must match byte for byte. The Debian root needs
# root and namespaces; it is skipped, with the reason, where either is
# missing or Debian's mirror cannot be reached. The Debian root with the
# test's own tools and the packages downloaded are kept for a week in
# $KELVANE_PACKAGE_CACHE (default ~/.cache/kelvane-package).
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(realpath "${1:-build-package}")
reference=${2:-}
started=$SECONDS
passed=0
fail() { echo "FAILED: $*" >&2; exit 1; }
pass() { passed=$((passed + 1)); echo "ok ($((SECONDS - started)) s): $*"; }

version=$(sed -n 's/^project(Kelvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
declare -A deb
for p in kelvane kelvane-decode libbrinecore1 libbrinecore-dev; do
  deb[$p]="$out/${p}_${version}_${arch}.deb"
  [ -f "${deb[$p]}" ] || fail "no ${deb[$p]}: run ./build.sh package first"
done
recording=tests/data/audio/bergen-48k-u8.wav
work=$(mktemp -d)
root=""
cleanup() {
  # Mounts live in the namespaces of in_root alone; --one-file-system keeps
  # rm out of anything that is mounted all the same.
  [ -n "$root" ] && rm -rf --one-file-system "$root"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- The packages as files -----------------------------------------------

lintian --fail-on error,warning "$out"/*.deb >"$work/lintian" 2>&1 ||
  fail "lintian: $(cat "$work/lintian")"
pass "lintian: no errors or warnings in $(ls "$out"/*.deb | wc -l) packages"

dpkg-deb -x "${deb[libbrinecore1]}" "$work/lib"
library=$(find "$work/lib" -name 'libBrinecore.so*')
[ "$(basename "$library")" = libBrinecore.so.1 ] || fail "libbrinecore1 holds $library"
objdump -p "$library" | grep -Eq 'SONAME +libBrinecore\.so\.1$' || fail "soname: $(objdump -p "$library" | grep SONAME)"
cmake -DNM=nm -DLIBRARY="$library" -P tests/demod/CheckExports.cmake || fail "exports of $library"
dpkg-deb -c "${deb[libbrinecore-dev]}" | grep -q 'usr/lib/.*/libBrinecore.so -> libBrinecore.so.1$' ||
  fail "libbrinecore-dev has no link libBrinecore.so"
pass "libBrinecore.so.1: soname and exactly three functions; the development link"

# --- A scratch Debian root -----------------------------------------------

mirror=http://deb.debian.org/debian
skip() {
  echo "SKIPPED: the packages in a Debian root: $*"
  echo "package test: $passed passed, 0 failed, 1 skipped ($((SECONDS - started)) s)"
  exit 0
}
[ "$(id -u)" -eq 0 ] || skip "it needs root (chroot, mounts)"
unshare --mount --pid --net --fork true 2>/dev/null || skip "no namespaces can be made here"
timeout 20 bash -c 'exec 3<>/dev/tcp/deb.debian.org/80' 2>/dev/null || skip "$mirror cannot be reached"
command -v debootstrap >/dev/null || fail "debootstrap is missing: run ./setup.sh"

# A command in the root, as in a container: its own mounts (/dev, /proc) and
# processes, gone when it ends; IN_ROOT_NET=none gives it no network at all.
in_root() {
  local net=()
  [ "${IN_ROOT_NET:-}" = none ] && net=(--net)
  unshare --mount --pid --fork "${net[@]}" -- sh -c \
    'mount --rbind /dev "$0/dev" && mount -t proc proc "$0/proc" && exec chroot "$0" "$@"' \
    "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    LC_ALL=C.UTF-8 HOME=/root "$@"
}
# A scratch root need not survive a power cut: dpkg skips its syncs.
apt_in_root() {
  in_root apt-get -y -q -o Dpkg::Use-Pty=0 -o Dpkg::Options::=--force-unsafe-io \
    --no-install-recommends "$@"
}

cache=${KELVANE_PACKAGE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvane-package}
base="$cache/bookworm-$arch-base.tar"
mkdir -p "$cache/archives"
# The root in memory where there is room: unpacking and removing a few
# hundred megabytes there takes seconds, not a minute. Roots of runs that
# were killed are removed after four hours.
scratch=$out
if [ "$(df --output=avail -k /dev/shm 2>/dev/null | tail -1)" -gt $((3 * 1024 * 1024)) ] 2>/dev/null; then
  scratch=/dev/shm
  find /dev/shm -maxdepth 1 -name 'kelvane-package-root.*' -mmin +240 \
    -exec rm -rf --one-file-system {} + 2>/dev/null || true
fi
root=$(mktemp -d "$scratch/kelvane-package-root.XXXXXX")
# Its top is everyone's /, as the packages' users need it.
chmod 755 "$root"
if [ -n "$(find "$base" -mtime -7 2>/dev/null)" ]; then
  tar -C "$root" --no-overwrite-dir -xf "$base"
else
  # Debian 12 as a server has it, with what this test uses: systemd to
  # check the unit, man, and a C compiler. Rebuilt weekly, with a fresh
  # download cache.
  echo "making the Debian root (debootstrap, about two minutes)"
  rm -f "$cache"/archives/*.deb
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap" 2>&1 ||
    fail "debootstrap: $(tail -20 "$work/debootstrap")"
  cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  apt_in_root update >"$work/apt" 2>&1 || fail "apt-get update: $(cat "$work/apt")"
  apt_in_root install systemd man-db gcc libc6-dev >"$work/apt" 2>&1 ||
    fail "the test's tools: $(tail -20 "$work/apt")"
  in_root apt-get clean
  tar -C "$root" -cf "$base.$$" . && mv "$base.$$" "$base"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$cache"/archives/*.deb "$root/var/cache/apt/archives/" 2>/dev/null || true
mkdir -p "$root/tmp/debs"
cp "${deb[@]}" "$root/tmp/debs/"
cp tests/package/count-frames.c "$root/tmp/"
apt_in_root update >"$work/apt" 2>&1 || fail "apt-get update: $(cat "$work/apt")"

# The headless receiver: dependencies from Debian, no toolkit, its user.
apt_in_root install "/tmp/debs/$(basename "${deb[kelvane-decode]}")" \
  "/tmp/debs/$(basename "${deb[libbrinecore1]}")" >"$work/apt" 2>&1 ||
  fail "apt-get install kelvane-decode libbrinecore1: $(tail -30 "$work/apt")"
qt=$(in_root dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' 'libqt6*' 2>/dev/null | grep '^ii' || true)
[ -z "$qt" ] || fail "kelvane-decode brought Qt: $qt"
in_root id -nG kelvane | grep -qw audio || fail "user kelvane: $(in_root id kelvane 2>&1)"
in_root dpkg-query -W -f='${Conffiles}\n' kelvane-decode | grep -q '^ /etc/default/kelvane ' ||
  fail "/etc/default/kelvane is not a conffile"
pass "kelvane-decode and libbrinecore1 installed from Debian without Qt; user kelvane in audio"

# The recording, as the service's user: the build's sentences, the library
# found.
in_root runuser -u kelvane -- kelvane-decode /usr/share/kelvane/recordings/bergen-48k-u8.wav \
  >"$work/decoded" 2>"$work/decoded.err" || fail "kelvane-decode: $(cat "$work/decoded.err")"
grep -q "demodulator library" "$work/decoded.err" && fail "library not found: $(cat "$work/decoded.err")"
if [ -n "$reference" ]; then
  "$reference/bin/kelvane-decode" "$recording" >"$work/reference" 2>/dev/null ||
    fail "$reference/bin/kelvane-decode failed"
  cmp -s "$work/decoded" "$work/reference" ||
    fail "packaged and built decodes differ: $(diff "$work/decoded" "$work/reference")"
fi
[ "$(grep -c '^!AIVDM' "$work/decoded")" -eq 4 ] || fail "decoded: $(cat "$work/decoded")"
in_root brinecore-dump /usr/share/kelvane/recordings/bergen-48k-u8.wav 2>&1 >/dev/null |
  grep -q '^4 frames with a good FCS, 0 with a bad one' || fail "brinecore-dump"
pass "the bundled recording: the build's four sentences, through the library; brinecore-dump"

# The manual pages render, and every option of --help is in kelvane-decode's.
for page in kelvane-decode brinecore-dump; do
  in_root env MANWIDTH=250 man "$page" >"$work/$page.txt" 2>"$work/man.err" ||
    fail "man $page: $(cat "$work/man.err")"
  grep -q '^EXIT STATUS' "$work/$page.txt" || fail "man $page has no exit status"
done
options=$(in_root kelvane-decode --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
for option in $options; do
  grep -q -- "$option\b" "$work/kelvane-decode.txt" || fail "man kelvane-decode lacks $option"
done
pass "man kelvane-decode (all $(echo "$options" | wc -w) options) and man brinecore-dump"

# The service: a valid unit, not enabled on installation, and every
# KELVANE_OPTIONS line of its file (commented or not) accepted by the program
# as the service's user: without a sound card a run ends with 1, a malformed
# option with 2. No network: the examples name hosts.
in_root systemd-analyze verify kelvane.service >"$work/verify" 2>&1 ||
  fail "systemd-analyze verify: $(cat "$work/verify")"
[ ! -s "$work/verify" ] || fail "systemd-analyze verify: $(cat "$work/verify")"
[ "$(in_root systemctl is-enabled kelvane.service 2>&1)" = disabled ] ||
  fail "kelvane.service is $(in_root systemctl is-enabled kelvane.service 2>&1) after installation"
examples=0
while IFS= read -r line; do
  options=${line#*KELVANE_OPTIONS=\"}
  options=${options%\"}
  status=0
  # Split into words as systemd splits $KELVANE_OPTIONS.
  # shellcheck disable=SC2086
  IN_ROOT_NET=none in_root runuser -u kelvane -- timeout 10 kelvane-decode $options \
    >/dev/null 2>"$work/example.err" || status=$?
  [ "$status" -ne 2 ] || fail "the example \"$options\": $(cat "$work/example.err")"
  examples=$((examples + 1))
done < <(grep -E '^#?KELVANE_OPTIONS=' "$root/etc/default/kelvane")
[ "$examples" -ge 5 ] || fail "only $examples option lines in /etc/default/kelvane"
pass "kelvane.service verified, disabled; the $examples option lines of /etc/default/kelvane accepted"

# The window: its Qt from Debian, and it starts.
apt_in_root install "/tmp/debs/$(basename "${deb[kelvane]}")" >"$work/apt" 2>&1 ||
  fail "apt-get install kelvane: $(tail -30 "$work/apt")"
status=0
in_root env HOME=/tmp/window-home QT_QPA_PLATFORM=offscreen timeout 3 Kelvane >"$work/window" 2>&1 ||
  status=$?
[ "$status" -eq 124 ] || fail "Kelvane ended with $status: $(cat "$work/window")"
pass "kelvane installed from Debian; the window runs"

# Someone else's C program against the development package alone.
apt_in_root install "/tmp/debs/$(basename "${deb[libbrinecore-dev]}")" >"$work/apt" 2>&1 ||
  fail "apt-get install libbrinecore-dev: $(tail -30 "$work/apt")"
in_root cc -Wall -Wextra -Werror -o /tmp/count-frames /tmp/count-frames.c -lBrinecore \
  >"$work/cc" 2>&1 || fail "cc -lBrinecore: $(cat "$work/cc")"
counted=$(in_root /tmp/count-frames /usr/share/kelvane/recordings/bergen-48k-u8.wav)
[ "$counted" = "4 good, 0 bad" ] || fail "count-frames: $counted"
pass "a C program built with Brinecore.h and -lBrinecore decodes the recording"

# Remove, then purge. Before: what the service would have left (an enabled
# unit, its log and its working folder) and the list of our files.
in_root systemctl enable kelvane.service >/dev/null 2>&1 || fail "systemctl enable kelvane"
in_root sh -c 'mkdir -p /var/log/kelvane /var/lib/kelvane && echo x >/var/log/kelvane/ais.log &&
  echo x >/var/lib/kelvane/air.wav && chown -R kelvane:kelvane /var/log/kelvane /var/lib/kelvane'
packages=(kelvane kelvane-decode libbrinecore1 libbrinecore-dev)
in_root dpkg -L "${packages[@]}" | sort -u >"$work/files"
apt_in_root remove "${packages[@]}" >"$work/apt" 2>&1 || fail "apt-get remove: $(tail -20 "$work/apt")"
[ -f "$root/etc/default/kelvane" ] || fail "apt remove took /etc/default/kelvane"
in_root getent passwd kelvane >/dev/null || fail "apt remove took the user kelvane"
[ ! -e "$root/usr/bin/kelvane-decode" ] || fail "apt remove left kelvane-decode"
# Only what kept its configuration is left to purge.
configured=$(in_root dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null |
  awk '$1 == "rc" { print $2 }' || true)
[ "$configured" = kelvane-decode ] || fail "configuration kept after apt remove: ${configured:-none}"
apt_in_root purge kelvane-decode >"$work/apt" 2>&1 || fail "apt-get purge: $(tail -20 "$work/apt")"
while IFS= read -r path; do
  if [ -e "$root$path" ] && [ ! -d "$root$path" ]; then fail "apt purge left $path"; fi
done <"$work/files"
# man-db's cache of the pages it rendered is its own, pruned by its daily job.
left=$(cd "$root" && find . -xdev \( -path ./tmp -o -path ./proc -o -path ./dev -o -path ./var/cache/man \) -prune -o \
  \( -iname '*kelvane*' -o -iname '*brinecore*' \) -print)
[ -z "$left" ] || fail "apt purge left: $left"
in_root getent passwd kelvane >/dev/null && fail "apt purge left the user kelvane"
in_root getent group kelvane >/dev/null && fail "apt purge left the group kelvane"
pass "apt remove kept /etc/default/kelvane and the user; apt purge left nothing of ours"

cp -n "$root"/var/cache/apt/archives/*.deb "$cache/archives/" 2>/dev/null || true
echo "package test: $passed passed, 0 failed ($((SECONDS - started)) s)"
