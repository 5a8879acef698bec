#!/usr/bin/env bash
# Takes docs/window.png: starts a simulated module, shows the window under Xvfb, opens
# the module's port, presses Read All and saves the window once the reply is in.
#
#   scripts/screenshot.sh [BUILD_DIR]      (default: build)
#
# Uses `tovra-rf simulate` when the CLI is built, else the snapshot helper's own module.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
BUILD=${1:-build}
OUT=docs/window.png

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets="ui_snapshot"
grep -q '^TOVRA_BUILD_CLI:BOOL=ON' "$BUILD/CMakeCache.txt" && [ -f cli/CMakeLists.txt ] &&
    targets="$targets tovra-rf"
# shellcheck disable=SC2086
cmake --build "$BUILD" -j2 --target $targets >/dev/null

command -v xvfb-run >/dev/null || { echo "screenshot: needs xvfb (apt-get install xvfb)" >&2; exit 1; }

port=()
sim=""
cleanup() {
    if [ -n "$sim" ]; then
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
    fi
    [ -n "${linkdir:-}" ] && rm -rf "$linkdir"
}
trap cleanup EXIT
if [ -x "$BUILD/cli/tovra-rf" ]; then
    linkdir=$(mktemp -d)
    link="$linkdir/sim0"
    "$BUILD/cli/tovra-rf" simulate --link "$link" --frequency 868.00 --spreading-factor 1024 \
        --bandwidth 250K --power 5 --node-id 513 --net-id 12 >/dev/null &
    sim=$!
    for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
    [ -e "$link" ] || { echo "screenshot: the simulated module did not start" >&2; exit 1; }
    port=("$link")
fi

mkdir -p docs
xvfb-run -a -s "-screen 0 800x600x24" "$BUILD/tests/ui/ui_snapshot" "$OUT" "${port[@]}"
