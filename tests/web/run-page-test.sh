#!/usr/bin/env bash
# The web view's page in a real browser: Debian's Chromium driven by
# puppeteer-core (installed here from the committed package-lock.json).
#   run-page-test.sh NODE_DIR SCRIPT ARGS...
# Exit 77 (skipped) only when node, Chromium or the node modules cannot be had.
set -uo pipefail
node_dir=$1
script=$2
shift 2
source_dir=$(cd "$(dirname "$0")" && pwd)

if ! command -v node >/dev/null 2>&1; then
    echo "skipped: node is not installed (./setup.sh installs it)"
    exit 77
fi
chromium=${KELVANE_CHROMIUM:-/usr/bin/chromium}
if [ ! -x "$chromium" ]; then
    echo "skipped: no Chromium at $chromium (./setup.sh installs it)"
    exit 77
fi
mkdir -p "$node_dir"
# npm ci again only when the lock file changed; offline first.
if ! cmp -s "$source_dir/package-lock.json" "$node_dir/package-lock.json" || [ ! -d "$node_dir/node_modules" ]; then
    cp "$source_dir/package.json" "$source_dir/package-lock.json" "$node_dir/"
    if ! (cd "$node_dir" && npm ci --no-audit --no-fund --ignore-scripts --prefer-offline >npm-ci.log 2>&1); then
        rm -f "$node_dir/package-lock.json"
        echo "skipped: npm ci could not install the test's node modules:"
        tail -5 "$node_dir/npm-ci.log"
        exit 77
    fi
fi
KELVANE_NODE_MODULES=$node_dir/node_modules KELVANE_CHROMIUM=$chromium exec node "$script" "$@"
