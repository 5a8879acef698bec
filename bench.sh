#!/usr/bin/env bash
# Builds the tool in Release (in build-bench) and prints the benchmark table: every figure
# with its target, the peer measured in the same run, and the ratio.
#
#   ./bench.sh                           all figures (about a minute)
#   ./bench.sh --only 2,3                some figures
#   ./bench.sh --soak [--cycles N] [--seed S]
#                                        the endurance run instead (10,000 cycles unless
#                                        told); exits non-zero on any loss, leak or crash
set -euo pipefail
TOVRA_ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$TOVRA_ROOT"
. scripts/deps.sh

usage() { sed -n '2,9s/^# \{0,1\}//p' "$0"; }

soak=0
soak_args=()
figure_args=()
while [ $# -gt 0 ]; do
    case $1 in
        --soak) soak=1 ;;
        --cycles | --seed)
            [ $# -ge 2 ] || { usage >&2; exit 2; }
            soak_args+=("$1" "$2")
            shift
            ;;
        --only)
            [ $# -ge 2 ] || { usage >&2; exit 2; }
            figure_args+=(--only "$2")
            shift
            ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
    shift
done
if [ ${#soak_args[@]} -gt 0 ] && [ $soak -eq 0 ]; then
    echo "--cycles and --seed go with --soak" >&2
    exit 2
fi

# python3-serial: the pyserial peer of figures 3, 8 and 10.
# shellcheck disable=SC2086
tovra_ensure_packages $TOVRA_BUILD_PACKAGES python3 python3-serial

build=build-bench
log=$build/build.log
mkdir -p "$build"
build_targets() {
    if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTOVRA_BUILD_BENCH=ON \
        -DTOVRA_BUILD_TESTS=OFF -DTOVRA_BUILD_GUI=ON -DTOVRA_BUILD_CLI=ON &&
        cmake --build "$build" -j"$(nproc)" "$@"; } >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        echo "bench.sh: the Release build failed; the whole log is in $log" >&2
        exit 1
    fi
}

if [ $soak -eq 1 ]; then
    build_targets --target bench_soak
    exec "$build/bench/bench_soak" "${soak_args[@]}"
fi

build_targets
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)," \
    "kernel $(uname -r), load average $(cut -d' ' -f1-3 /proc/loadavg)"
exec /usr/bin/python3 bench/run_figures.py "$build" "${figure_args[@]}"
