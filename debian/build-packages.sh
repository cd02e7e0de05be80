#!/usr/bin/env bash
# Builds the Debian packages from this source tree in a folder of their own:
# OUT/src holds a copy of the sources (its build folder is kept between runs,
# so a second build only compiles what changed) and the .deb files land in
# OUT. The version is the project's, from CMakeLists.txt.
#
#   debian/build-packages.sh [OUT]     (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-build-package}")
src="$out/src"
version=$(sed -n 's/^project(Kelvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "build-packages: no version in CMakeLists.txt" >&2; exit 1; }

# A fresh copy of the sources, with their times kept so that the kept build
# folder sees what changed. Files git ignores (other build folders) stay out.
mkdir -p "$src"
find "$src" -mindepth 1 -maxdepth 1 ! -name 'obj-*' -exec rm -rf {} +
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do
      [ -e "$file" ] && printf '%s\0' "$file"
    done | tar --null -T - -cf - | tar -xf - -C "$src"
else
  tar --exclude='./build*' --exclude='./.git' -cf - . | tar -xf - -C "$src"
fi

# The package carries the project's version: a version that debian/changelog
# does not have yet gets an entry of its own in the copy.
changelog_version=$(dpkg-parsechangelog -l debian/changelog -S Version)
if [ "$changelog_version" != "$version" ]; then
  echo "build-packages: debian/changelog is at $changelog_version, the project at $version:" \
    "building $version (add an entry to debian/changelog)" >&2
  maintainer=$(dpkg-parsechangelog -l debian/changelog -S Maintainer)
  {
    printf 'kelvane (%s) unstable; urgency=medium\n\n' "$version"
    printf '  * Built from the sources of Kelvane %s.\n\n' "$version"
    printf ' -- %s  %s\n\n' "$maintainer" "$(date -R)"
    cat debian/changelog
  } >"$src/debian/changelog"
fi

rm -f "$out"/*.deb "$out"/*.ddeb "$out"/*.changes "$out"/*.buildinfo
jobs=$(nproc 2>/dev/null || echo 2)
cd "$src"
# The test suite runs in CI on the same sources; the package build does not
# repeat it. -nc keeps the build folder of the last run.
DEB_BUILD_OPTIONS="nocheck parallel=$jobs ${DEB_BUILD_OPTIONS:-}" \
  dpkg-buildpackage -b -us -uc -nc
cd "$out"
echo "build-packages: built in $out:"
ls -1 ./*.deb
