#!/usr/bin/env bash
# kelvane-decode stands on the station alone: no toolkit may come with it
# (a headless station, the Windows build and the package depend on that).
#   links-no-qt.sh PROGRAM
set -uo pipefail
libraries=$(ldd "$1") || { echo "FAILED: ldd could not read $1"; exit 1; }
if qt=$(grep -i 'libqt' <<<"$libraries"); then
  echo "FAILED: $1 links Qt:"
  echo "$qt"
  exit 1
fi
echo "$1 links no Qt"
