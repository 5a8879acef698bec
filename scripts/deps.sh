# Sourced by the top-level scripts: installs the Debian packages a step needs when they
# are missing (as root), or says exactly what to run (otherwise).

# Packages the build and the tests need.
TOVRA_BUILD_PACKAGES="cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
libcli11-dev nlohmann-json3-dev qt6-base-dev libgl-dev"

tovra_missing_packages() {
    local missing=""
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $p"
        fi
    done
    echo "$missing"
}

tovra_ensure_packages() {
    local missing
    missing=$(tovra_missing_packages "$@")
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing:$missing"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq >/dev/null
        # shellcheck disable=SC2086
        apt-get install -y -qq --no-install-recommends $missing >/dev/null
    else
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo apt-get install$missing" >&2
        exit 1
    fi
}

# Configure and build a tree. Usage: tovra_build DIR [cmake options...]
# TOVRA_TARGETS, when set, limits the build to those targets.
tovra_build() {
    local dir=$1
    shift
    cmake -S "$TOVRA_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="${TOVRA_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
    local targets=()
    for t in ${TOVRA_TARGETS:-}; do targets+=(--target "$t"); done
    cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}
