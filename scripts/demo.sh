#!/usr/bin/env bash
# Installs what is missing, builds, and converts the shipped sample drawing
# from UTM zone 32 / ETRS89 to longitude/latitude on WGS84.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
kavro_install_packages
kavro_build
mkdir -p "$BUILD_DIR/demo"
"$BUILD_DIR/bin/KavroC" if="$KAVRO_ROOT/data/sample.mif" of="$BUILD_DIR/demo/sample_wgs84.mif" \
    op=geo_wgs84 pl="$KAVRO_ROOT/data/projections.lst" | iconv -f WINDOWS-1252 -t UTF-8
status=${PIPESTATUS[0]}
echo "Written: $BUILD_DIR/demo/sample_wgs84.mif and .mid (exit code $status)"
exit "$status"
