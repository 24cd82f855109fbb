#!/usr/bin/env bash
# Builds the Debian package with CPack (in build-package/, or
# $KAVRO_PACKAGE_BUILD_DIR), installs it with dpkg -i, runs the
# installed KavroC (the usage text with exit code 1, and one conversion with
# the installed projection list), and removes the package again. Run as
# root, on a machine where the kavro package is not installed.
# CPack's Debian generator needs the file utility.
KAVRO_EXTRA_PACKAGES="${KAVRO_EXTRA_PACKAGES:-} file"
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

if [ "$(id -u)" -ne 0 ]; then
    echo "package-check.sh installs a package with dpkg: run it as root" >&2
    exit 1
fi
if dpkg-query -W -f='${Status}' kavro 2>/dev/null | grep -q "install ok installed"; then
    echo "the kavro package is installed already; remove it first (dpkg -r kavro)" >&2
    exit 1
fi

kavro_install_packages
# A build of its own, of what the package ships and nothing else.
BUILD_DIR="${KAVRO_PACKAGE_BUILD_DIR:-$KAVRO_ROOT/build-package}"
cmake -S "$KAVRO_ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DKAVRO_TESTS=OFF -DKAVRO_BENCH=OFF
cmake --build "$BUILD_DIR" -j"$(nproc)" --target KavroC

scratch="$(mktemp -d "${TMPDIR:-/tmp}/kavro-package.XXXXXX")"
installed=0
cleanup() {
    if [ "$installed" -eq 1 ]; then dpkg --purge kavro >/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The package.
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD_DIR/CMakeCache.txt")"
deb="$scratch/kavro_${version}_$(dpkg --print-architecture).deb"
(cd "$BUILD_DIR" && cpack -G DEB -B "$scratch") >"$scratch/cpack.log" \
    || { cat "$scratch/cpack.log" >&2; fail "cpack"; }
[ -f "$deb" ] || { ls "$scratch" >&2; fail "no $(basename "$deb")"; }
dpkg-deb --field "$deb" Package Version Architecture Depends
dpkg-deb --field "$deb" Depends | grep 'libproj[0-9]' >/dev/null || fail "the package does not depend on PROJ's runtime library"
dpkg-deb --field "$deb" Depends | grep 'proj-data' >/dev/null || fail "the package does not depend on proj-data"

# Installed.
installed=1  # from here on the package goes again, even after a failed dpkg -i
dpkg -i "$deb"
for file in /usr/bin/KavroC /usr/lib/libKavro.so.1 /usr/lib/libporvex.so \
            /usr/include/kavro.h /usr/share/kavro/projections.lst \
            /usr/lib/pkgconfig/kavro.pc /usr/lib/cmake/Kavro/KavroConfig.cmake \
            /usr/share/man/man1/KavroC.1; do
    [ -e "$file" ] || fail "the package did not install $file"
done
# ldconfig ran: a program linked with -lKavro and no run path finds it.
ldconfig -p | grep 'libKavro\.so\.1 .*/lib/libKavro\.so\.1$' >/dev/null \
    || fail "the loader's cache does not know libKavro.so.1"

# The installed program: usage text and exit code 1 ...
cd "$scratch"
status=0
env -u LD_LIBRARY_PATH KavroC >usage.txt || status=$?
[ "$status" -eq 1 ] || fail "KavroC without arguments exited with $status, not 1"
grep -qx 'Syntax-fejl - mulige kommandoer er:' usage.txt || fail "KavroC printed no usage text"
iconv -f WINDOWS-1252 usage.txt

# ... and one conversion with the installed list.
cp "$KAVRO_ROOT/data/sample.mif" "$KAVRO_ROOT/data/sample.mid" "$scratch/"
status=0
env -u LD_LIBRARY_PATH KavroC if=sample.mif of=sample_wgs84.mif op=geo_wgs84 \
    pl=/usr/share/kavro/projections.lst >run.txt || status=$?
iconv -f WINDOWS-1252 run.txt
[ "$status" -eq 0 ] || fail "the conversion exited with $status"
grep -q '^CoordSys Earth Projection 1, 104' sample_wgs84.mif || fail "the result names no WGS 84 longitude / latitude system"
cmp -s sample.mid sample_wgs84.mid || fail "the .mid companion was not copied"
cmp -s sample.mif "$KAVRO_ROOT/data/sample.mif" || fail "the input changed"

# Removed, with nothing left behind.
cd /
dpkg --purge kavro
installed=0
[ ! -e /usr/bin/KavroC ] && [ ! -e /usr/lib/libKavro.so.1 ] || fail "removing the package left files behind"
ldconfig -p | grep 'libKavro\.so' >/dev/null && fail "the loader's cache still knows libKavro"
echo "package check passed: $(basename "$deb")"
