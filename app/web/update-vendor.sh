#!/usr/bin/env bash
# Refreshes assets/vendor/ from the versions pinned in package-lock.json: the
# page's libraries and the land outline are committed, so that neither the
# build nor the browser fetches anything. Run by hand after changing a
# version in package.json (and `npm install --package-lock-only`).
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp package.json package-lock.json "$work/"
(cd "$work" && npm ci --no-audit --no-fund --ignore-scripts)
n=$work/node_modules
v=assets/vendor
find "$v" -mindepth 1 ! -name README.md -delete
mkdir -p "$v/leaflet" "$v/topojson-client" "$v/uplot" "$v/world-atlas"
cp "$n/leaflet/dist/leaflet.js" "$n/leaflet/dist/leaflet.css" "$n/leaflet/LICENSE" "$v/leaflet/"
cp "$n/topojson-client/dist/topojson-client.min.js" "$n/topojson-client/LICENSE" "$v/topojson-client/"
cp "$n/uplot/dist/uPlot.iife.min.js" "$n/uplot/dist/uPlot.min.css" "$n/uplot/LICENSE" "$v/uplot/"
cp "$n/world-atlas/land-50m.json" "$n/world-atlas/LICENSE" "$v/world-atlas/"
