#!/usr/bin/env bash
# CI check of the Debian package: builds it (scripts/package.sh), installs it with
# apt-get, runs the INSTALLED programs (version, encode, read and write against the
# simulated module, the window for a few seconds), checks the installed files, and removes
# the package again whatever happened. Needs root. Exits non-zero on any failure; every
# step has a time limit.
#
#   sudo bash scripts/test-package.sh
set -euo pipefail
TOVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOVRA_ROOT"
. scripts/deps.sh

PACKAGE=tovra-rf-tool
BIN=/usr/bin/tovra-rf
WINDOW=/usr/bin/tovra-rf-tool
BUILD_TIMEOUT_S=${TOVRA_PKG_BUILD_TIMEOUT:-3600}  # a fresh Release build on two cores
APT_TIMEOUT_S=600
RUN_TIMEOUT_S=60
READ_ALL_FRAME="AF AF 00 00 AF 80 02 0C 00 00 00 00 00 00 00 00 00 00 00 00 9B 0D 0A"

section() { echo; echo "=== $* ($(date +%T))"; }
fail() { echo "test-package: FAILED: $*" >&2; exit 1; }
ok() { echo "ok: $*"; }

[ "$(id -u)" -eq 0 ] || fail "run as root: the package is installed and removed with apt-get"
# man-db renders the man pages; desktop-file-utils checks the menu entry.
tovra_ensure_packages dpkg-dev man-db desktop-file-utils

version=$(sed -n 's/^project(tovra_rf_tool VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project version in CMakeLists.txt"

work=$(mktemp -d)
sim_pid=""
cleanup() {
    local rc=$?
    set +e
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    section "removing $PACKAGE"
    if ! dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "ok installed"; then
        echo "$PACKAGE is not installed; nothing to remove"
    elif ! DEBIAN_FRONTEND=noninteractive timeout -k 10 "$APT_TIMEOUT_S" \
        apt-get remove -y "$PACKAGE" >"$work/remove.log" 2>&1; then
        cat "$work/remove.log" >&2
        echo "test-package: FAILED: apt-get remove $PACKAGE" >&2
        rc=1
    elif dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "ok installed"; then
        echo "test-package: FAILED: $PACKAGE is still installed" >&2
        rc=1
    elif [ -e "$BIN" ] || [ -e "$WINDOW" ]; then
        echo "test-package: FAILED: the programs are still there after removal" >&2
        rc=1
    else
        ok "$PACKAGE removed"
    fi
    rm -rf "$work"
    [ "$rc" -eq 0 ] && echo && echo "test-package: passed"
    exit "$rc"
}
trap cleanup EXIT

if dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "ok installed"; then
    echo "note: $PACKAGE $(dpkg-query -W -f='${Version}' "$PACKAGE") is installed already;" \
        "it is replaced by the new build and removed at the end"
fi

# --- build -------------------------------------------------------------------------
section "building the package"
timeout -k 10 "$BUILD_TIMEOUT_S" bash scripts/package.sh >"$work/package.out" ||
    fail "scripts/package.sh (exit $?)"
deb=$(tail -n 1 "$work/package.out")
[ -f "$deb" ] || fail "scripts/package.sh printed no package path (got '$deb')"
echo "$deb ($(stat -c %s "$deb") bytes)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Computed by dpkg-shlibdeps from the binaries; the window needs Qt Widgets.
case "$depends" in *libc6*libqt6widgets6*) ;; *) fail "Depends lacks libc6 or libqt6widgets6" ;; esac

# --- install -----------------------------------------------------------------------
section "apt-get install $deb"
# --reinstall: a package of the same version left installed must not stand in for this one.
DEBIAN_FRONTEND=noninteractive timeout -k 10 "$APT_TIMEOUT_S" \
    apt-get install -y --reinstall "$deb" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "apt-get install"; }
installed=$(dpkg-query -W -f='${Version}' "$PACKAGE")
[ "$installed" = "$version" ] || fail "installed version $installed, expected $version"
ok "$PACKAGE $installed installed"

# --- installed files ---------------------------------------------------------------
section "installed files (dpkg -L $PACKAGE)"
expected=(
    /usr/bin/tovra-rf
    /usr/bin/tovra-rf-tool
    /usr/share/applications/tovra-rf-tool.desktop
    /usr/share/icons/hicolor/16x16/apps/tovra-rf-tool.png
    /usr/share/icons/hicolor/32x32/apps/tovra-rf-tool.png
    /usr/share/icons/hicolor/48x48/apps/tovra-rf-tool.png
    /usr/share/man/man1/tovra-rf.1.gz
    /usr/share/man/man1/tovra-rf-tool.1.gz
    /usr/share/doc/tovra-rf-tool/README.md
    /usr/share/doc/tovra-rf-tool/copyright
    /usr/share/doc/tovra-rf-tool/docs/user-guide.md
    /usr/share/doc/tovra-rf-tool/docs/window.png
)
dpkg -L "$PACKAGE" >"$work/files"
for f in "${expected[@]}"; do
    grep -qxF "$f" "$work/files" || fail "dpkg -L does not list $f"
    [ -f "$f" ] || fail "$f is listed but not on disk"
done
# Nothing else: no test programs, no GoogleTest headers or libraries, no stray files.
while read -r f; do
    [ -d "$f" ] && continue
    printf '%s\n' "${expected[@]}" | grep -qxF "$f" || fail "unexpected file in the package: $f"
done <"$work/files"
ok "${#expected[@]} files, each where it belongs, nothing else"

[ "$(command -v tovra-rf)" = "$BIN" ] || fail "tovra-rf on the PATH is $(command -v tovra-rf)"
desktop-file-validate /usr/share/applications/tovra-rf-tool.desktop ||
    fail "desktop-file-validate"
ok "desktop file valid"
for page in tovra-rf tovra-rf-tool; do
    [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page: $(man -w "$page")"
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings "$page" >"$work/$page.man" 2>"$work/$page.warn" ||
        fail "man $page"
    [ -s "$work/$page.warn" ] && { cat "$work/$page.warn" >&2; fail "man $page warns"; }
    grep -q '^NAME' "$work/$page.man" || fail "man $page has no NAME section"
done
ok "man tovra-rf and man tovra-rf-tool render without warnings"

# --- installed programs ------------------------------------------------------------
section "installed $BIN"
run() { timeout -k 5 "$RUN_TIMEOUT_S" "$@"; }
out=$(run "$BIN" --version) || fail "tovra-rf --version"
echo "$out"
[ "$out" = "tovra-rf $version" ] || fail "tovra-rf --version printed '$out', expected 'tovra-rf $version'"
out=$(run "$BIN" encode read-all) || fail "tovra-rf encode read-all"
echo "$out"
[ "$out" = "$READ_ALL_FRAME" ] || fail "tovra-rf encode read-all printed '$out'"

# Settings other than the window's initial values, so that the read shows a real reply.
link="$work/sim0"
"$BIN" simulate --link "$link" --frequency 868.125 --node-id 513 --net-id 7 \
    >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 300); do
    [ -e "$link" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log" >&2; fail "tovra-rf simulate ended"; }
    sleep 0.1
done
[ -e "$link" ] || { cat "$work/sim.log" >&2; fail "tovra-rf simulate made no link in 30 s"; }
head -n 2 "$work/sim.log"

echo "\$ tovra-rf read --port $link"
run "$BIN" read --port "$link" >"$work/read.out" 2>&1 || { cat "$work/read.out" >&2; fail "read"; }
cat "$work/read.out"
grep -qE '^frequency +868\.13 MHz$' "$work/read.out" || fail "read: frequency is not 868.13 MHz"
grep -qE '^node id +513$' "$work/read.out" || fail "read: node id is not 513"
grep -qE '^net id +7$' "$work/read.out" || fail "read: net id is not 7"

echo "\$ tovra-rf write --port $link --power 3"
run "$BIN" write --port "$link" --power 3 >"$work/write.out" 2>&1 ||
    { cat "$work/write.out" >&2; fail "write"; }
cat "$work/write.out"
grep -qx "Written; read back and verified." "$work/write.out" || fail "write was not verified"
run "$BIN" read --port "$link" --json >"$work/read.json" || fail "read --json"
grep -q '"power": 3,' "$work/read.json" || { cat "$work/read.json" >&2; fail "power is not 3"; }
ok "read, write and read back against the simulated module"

section "installed $WINDOW"
# Offscreen: no display needed. A window that starts stays up until the time-out ends it.
rc=0
QT_QPA_PLATFORM=offscreen timeout -k 5 5 "$WINDOW" >"$work/window.log" 2>&1 || rc=$?
[ "$rc" -eq 124 ] || { cat "$work/window.log" >&2; fail "tovra-rf-tool ended by itself (exit $rc)"; }
ok "tovra-rf-tool starts and runs"
