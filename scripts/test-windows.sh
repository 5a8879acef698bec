#!/usr/bin/env bash
# Cross-builds the Windows build (tool and tests) with mingw-w64, warnings as errors, and
# runs the tests under Wine. The serial line tests talk to a native pty peer through COM
# ports that are links in the Wine prefix ($WINEPREFIX/dosdevices/com20 -> /dev/pts/N);
# the link and CLI tests talk to a native `tovra-rf simulate` linked as COM22, started
# afresh for every test program so that none sees settings another one wrote. Ends with
# the summary line "N passed, N failed"; exits non-zero on any failure.
#
#   bash scripts/test-windows.sh
#
# Installs nothing: when a tool is missing it prints the apt-get line and stops.
# Environment: TOVRA_WIN_BUILD (default build-win), TOVRA_WIN_NATIVE_BUILD (default
# build-win-native), TOVRA_NATIVE_TOOL (a native tovra-rf to use instead of building
# one), TOVRA_WINEPREFIX (default <build>/wineprefix, made on first use).
set -euo pipefail
TOVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOVRA_ROOT"

# Windows test executables, by path in the build tree; each is a CMake target of the
# same name. Add more here.
TOVRA_WINDOWS_TESTS=(
    tests/protocol/protocol_tests.exe
    tests/serial/serial_tests.exe
    tests/serial/serial_logic_tests.exe
    tests/serial/win32/serial_win32_tests.exe
    tests/link/link_tests.exe
    tests/cli/cli_tests.exe
)
# COM ports linked to the peer: one above 9 (device-namespace name), one at most 9.
COM_LONG=20
COM_SHORT=5
COM_DANGLING=21  # a link to nothing: present in the prefix, yet no port
COM_MODULE=22    # the native simulated module
TEST_TIMEOUT_S=300
# Programs that print figures rather than test; TOVRA_WIN_MEASURE=0 leaves them out.
TOVRA_WINDOWS_MEASURES=(
    tests/serial/win32/serial_measure_win32.exe
)
[ "${TOVRA_WIN_MEASURE:-1}" = 0 ] && TOVRA_WINDOWS_MEASURES=()

BUILD=${TOVRA_WIN_BUILD:-$TOVRA_ROOT/build-win}
NATIVE=${TOVRA_WIN_NATIVE_BUILD:-$TOVRA_ROOT/build-win-native}
export WINEPREFIX=${TOVRA_WINEPREFIX:-$BUILD/wineprefix}
export WINEARCH=win64
export WINEDEBUG=-all

section() { echo; echo "=== $* ($(date +%T))"; }

# --- tools -------------------------------------------------------------------------
missing=()
need() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
need cmake cmake
need c++ g++
need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64
need wine wine
need wineboot wine
need wineserver wine
need xvfb-run xvfb
need xauth xauth
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
if [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null 2>&1; then :; else
    missing+=(wine64)
fi
if [ ${#missing[@]} -gt 0 ]; then
    # shellcheck disable=SC2207
    unique=($(printf '%s\n' "${missing[@]}" | sort -u))
    echo "Missing tools for the Windows tests. Install them with:" >&2
    echo "  sudo apt-get install -y ${unique[*]}" >&2
    exit 1
fi

jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

# --- builds ------------------------------------------------------------------------
# Everything but the window (which needs Qt for Windows), so that the whole Windows build
# stays free of warnings, not just the parts tested here.
section "cross-build (mingw-w64) in $BUILD"
cmake -S "$TOVRA_ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$TOVRA_ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVRA_BUILD_GUI=OFF -DTOVRA_BUILD_CLI=ON \
    -DTOVRA_WERROR=ON >/dev/null
cmake --build "$BUILD" -j"$jobs"
for exe in "${TOVRA_WINDOWS_TESTS[@]}" "${TOVRA_WINDOWS_MEASURES[@]}" cli/tovra-rf.exe; do
    if [ ! -f "$BUILD/$exe" ]; then
        echo "The cross-build made no $exe." >&2
        exit 1
    fi
done

section "native pty peer and simulated module in $NATIVE"
cmake -S "$TOVRA_ROOT/tests/wine/peer" -B "$NATIVE" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOVRA_WERROR=ON >/dev/null
# TOVRA_NATIVE_TOOL names a tovra-rf already built natively (CI has one), saving a build.
if [ -n "${TOVRA_NATIVE_TOOL:-}" ] && [ -x "$TOVRA_NATIVE_TOOL" ]; then
    cmake --build "$NATIVE" -j"$jobs" --target pty_peer
    NATIVE_TOOL=$(cd "$(dirname "$TOVRA_NATIVE_TOOL")" && pwd)/$(basename "$TOVRA_NATIVE_TOOL")
else
    cmake --build "$NATIVE" -j"$jobs" --target pty_peer tovra-rf
    NATIVE_TOOL="$NATIVE/tool/cli/tovra-rf"
fi

# --- Wine prefix -------------------------------------------------------------------
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    section "creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Without the overrides, prefix creation waits many minutes for Mono and Gecko.
    if ! WINEDLLOVERRIDES="mscoree,mshtml=" timeout -k 10 300 xvfb-run -a wineboot -i \
        </dev/null >"$BUILD/wineboot.log" 2>&1; then
        tail -n 20 "$BUILD/wineboot.log" >&2
        echo "Creating the Wine prefix failed; log in $BUILD/wineboot.log" >&2
        exit 1
    fi
    timeout -k 5 60 wineserver -w || true
fi

# --- peer and Wine server ----------------------------------------------------------
peer_pid=""
module_pid=""
module_link="$WINEPREFIX/dosdevices/com$COM_MODULE"

# Ends the simulated module, if one runs; it removes its link on the way out. One that
# does not stop within 5 s is killed, so the run never waits on it.
stop_module() {
    if [ -n "$module_pid" ]; then
        kill "$module_pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$module_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$module_pid" 2>/dev/null || true
        wait "$module_pid" 2>/dev/null || true
        module_pid=""
    fi
    rm -f "$module_link"
}

# A fresh simulated module at the window's initial settings, behind COM$COM_MODULE.
start_module() {
    local log=$1
    stop_module
    "$NATIVE_TOOL" simulate --link "$module_link" </dev/null >"$log" 2>&1 &
    module_pid=$!
    for _ in $(seq 100); do
        [ -L "$module_link" ] && return 0
        kill -0 "$module_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$log" >&2
    echo "The simulated module did not start." >&2
    return 1
}

cleanup() {
    stop_module
    if [ -n "$peer_pid" ]; then
        kill "$peer_pid" 2>/dev/null || true
        wait "$peer_pid" 2>/dev/null || true
    fi
    # Ends this prefix's server and whatever Wine processes this run left behind.
    wineserver -k 2>/dev/null || true
    rm -f "$WINEPREFIX/dosdevices/com$COM_LONG" "$WINEPREFIX/dosdevices/com$COM_SHORT" \
        "$WINEPREFIX/dosdevices/com$COM_DANGLING"
}
trap cleanup EXIT
# Interrupted or told to stop: still end the peer, the module and the Wine server.
trap 'exit 130' INT
trap 'exit 143' TERM

# A server of our own, so that its messages (it prints its object table when the line
# hangs up) go to a log, not into the test output.
wineserver -k 2>/dev/null || true
wineserver -p </dev/null >"$BUILD/wineserver.log" 2>&1

port_file="$BUILD/pty_peer.port"
rm -f "$port_file"
"$NATIVE/pty_peer" --dosdevices "$WINEPREFIX/dosdevices" --link "com$COM_LONG" \
    --link "com$COM_SHORT" --port-file "$port_file" </dev/null >"$BUILD/pty_peer.log" 2>&1 &
peer_pid=$!
for _ in $(seq 100); do
    [ -s "$port_file" ] && break
    kill -0 "$peer_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$port_file" ]; then
    cat "$BUILD/pty_peer.log" >&2
    echo "The pty peer did not start." >&2
    exit 1
fi
export TOVRA_PEER_PORT
TOVRA_PEER_PORT=$(cat "$port_file")
ln -sfn /nonexistent/tovra-no-device "$WINEPREFIX/dosdevices/com$COM_DANGLING"
export TOVRA_TEST_COM_LONG=$COM_LONG TOVRA_TEST_COM_SHORT=$COM_SHORT
export TOVRA_TEST_COM_DANGLING=$COM_DANGLING
export TOVRA_TEST_MODULE_PORT=COM$COM_MODULE
# Wine hands the Unix environment to Windows programs; these reach the tests as they are.
export WINEDLLOVERRIDES="mscoree,mshtml="

# --- tests -------------------------------------------------------------------------
passed=0
failed=0
skipped=0
broken=()
for exe in "${TOVRA_WINDOWS_TESTS[@]}"; do
    name=$(basename "$exe" .exe)
    log="$BUILD/$name.wine.log"
    section "$name under Wine"
    if ! start_module "$BUILD/$name.module.log"; then
        failed=$((failed + 1))
        broken+=("$name")
        continue
    fi
    rc=0
    timeout -k 10 "$TEST_TIMEOUT_S" wine "$BUILD/$exe" --gtest_brief=1 --gtest_color=no \
        </dev/null >"$log" 2>&1 || rc=$?
    # Failures and the figures the tests print; the full output stays in the log.
    grep -v -e '^Running main()' -e '^\[==========\]' -e '^\[----------\]' "$log" || true
    # Brief output has no failure count: it is what ran less what passed or was skipped.
    ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$log" | tail -n 1)
    p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -n 1)
    s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -n 1)
    f=""
    [ -n "$ran" ] && f=$((ran - ${p:-0} - ${s:-0}))
    passed=$((passed + ${p:-0}))
    failed=$((failed + ${f:-0}))
    skipped=$((skipped + ${s:-0}))
    if [ "$rc" -ne 0 ] && [ -z "$f" ]; then
        # Crashed, hung or never reached its summary: count the program as one failure.
        echo "$name ended with status $rc without a test summary; log in $log"
        failed=$((failed + 1))
        broken+=("$name")
    elif [ "$rc" -ne 0 ] || [ "$f" -gt 0 ]; then
        broken+=("$name")
    fi
done

# The Windows tool itself, once, against a fresh module: a read that must decode.
section "tovra-rf.exe read under Wine"
if start_module "$BUILD/tovra-rf.module.log" &&
    timeout -k 10 60 wine "$BUILD/cli/tovra-rf.exe" read --port "COM$COM_MODULE" --json \
        </dev/null >"$BUILD/tovra-rf.wine.log" 2>&1 &&
    grep -q '"net_id"' "$BUILD/tovra-rf.wine.log"; then
    cat "$BUILD/tovra-rf.wine.log"
    passed=$((passed + 1))
else
    cat "$BUILD/tovra-rf.wine.log" 2>/dev/null || true
    echo "tovra-rf.exe read --port COM$COM_MODULE failed; log in $BUILD/tovra-rf.wine.log"
    failed=$((failed + 1))
    broken+=(tovra-rf.exe)
fi
stop_module

for exe in "${TOVRA_WINDOWS_MEASURES[@]}"; do
    section "$(basename "$exe" .exe) under Wine (figures)"
    timeout -k 10 120 wine "$BUILD/$exe" "COM$COM_LONG" </dev/null 2>&1 ||
        echo "(measurement failed; not counted as a test)"
done

echo
echo "Windows tests under Wine ($(wine --version 2>/dev/null)):" \
    "${#TOVRA_WINDOWS_TESTS[@]} programs and a tovra-rf.exe read," \
    "$skipped skipped${broken:+, failing: ${broken[*]}}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ ${#broken[@]} -eq 0 ]
