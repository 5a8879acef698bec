#!/usr/bin/env bash
# Builds the tool and runs its main job against the built-in simulated module: read the
# module's settings, write a change, and read them back to show it took. With a display
# (and TOVRA_NO_GUI unset), the window is started afterwards against the same module.
set -euo pipefail
TOVRA_ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$TOVRA_ROOT"
. scripts/deps.sh
# shellcheck disable=SC2086
tovra_ensure_packages $TOVRA_BUILD_PACKAGES
TOVRA_TARGETS="tovra-rf tovra-rf-tool" tovra_build build >/dev/null

tool=build/cli/tovra-rf
# A link in the virtual port directory, so that the window's port list shows it too.
if [ -n "${XDG_RUNTIME_DIR:-}" ]; then
    vdir=$XDG_RUNTIME_DIR/tovra-rf/ports
else
    vdir=/tmp/tovra-rf-$(id -u)/ports
fi
link=$vdir/run-$$
"$tool" simulate --link "$link" >/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done

step() { echo; echo "\$ tovra-rf $*"; "$tool" "$@"; }
echo "Simulated module on $link"
step read --port "$link"
step write --port "$link" --frequency 868.00 --power 5 --node-id 513
step read --port "$link"
step version --port "$link" --set v1.8

if [ -n "${DISPLAY:-}" ] && [ -z "${TOVRA_NO_GUI:-}" ] && [ -x build/app/tovra-rf-tool ]; then
    echo
    echo "Starting the window; pick $link in the port list, then Open and Read All."
    build/app/tovra-rf-tool
fi
