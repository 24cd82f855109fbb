# Sourced by demo.sh and test.sh: makes sure the Debian packages the build
# and the tests need are there, then configures and builds in $BUILD_DIR.
set -euo pipefail

KAVRO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$KAVRO_ROOT/build}"
KAVRO_PACKAGES="g++ make cmake pkg-config libgtest-dev libproj-dev proj-data proj-bin gdal-bin locales ${KAVRO_EXTRA_PACKAGES:-}"

kavro_missing_packages() {
    local missing=""
    for package in $KAVRO_PACKAGES; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $package"
        fi
    done
    echo "$missing"
}

kavro_install_packages() {
    local missing
    missing="$(kavro_missing_packages)"
    if [ -z "$missing" ]; then return 0; fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "Kavro needs these Debian packages:$missing" >&2
        echo "Run as root:  apt-get update && apt-get install -y$missing" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    # shellcheck disable=SC2086
    apt-get install -y --no-install-recommends $missing
}

# A locale with a decimal comma, so that the tests can show that the C
# locale of the calling process never changes a written number.
kavro_comma_locale() {
    if locale -a 2>/dev/null | grep -qi '^da_DK.utf8$'; then return 0; fi
    if [ "$(id -u)" -eq 0 ] && [ -f /etc/locale.gen ]; then
        sed -i 's/^# *da_DK.UTF-8 UTF-8/da_DK.UTF-8 UTF-8/' /etc/locale.gen
        grep -q '^da_DK.UTF-8 UTF-8' /etc/locale.gen || echo 'da_DK.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen >/dev/null || true
    fi
}

kavro_build() {
    cmake -S "$KAVRO_ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release ${KAVRO_CMAKE_ARGS:-}
    cmake --build "$BUILD_DIR" -j"$(nproc)"
}
