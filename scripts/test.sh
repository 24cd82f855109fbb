#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
kavro_install_packages
kavro_comma_locale
kavro_build
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" ${KAVRO_CTEST_ARGS:-}
