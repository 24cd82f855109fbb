#!/usr/bin/env bash
# Installs a build into a scratch prefix and uses the installed tree as a
# user would: the installed KavroC, and a small C program built once through
# pkg-config and once through find_package(Kavro). Needs no network and no
# root.
#
#   check-install.sh <build folder> <source folder>
set -euo pipefail

build="$(cd "$1" && pwd)"
source="$(cd "$2" && pwd)"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/kavro-install.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/prefix"
out="$scratch/out"
mkdir -p "$out"
# Nothing may be found through the environment: the installed tree has to
# stand on its own.
unset LD_LIBRARY_PATH

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" \
    || { cat "$scratch/install.log" >&2; fail "cmake --install"; }

for file in bin/KavroC lib/libKavro.so.1.3.0 lib/libKavro.so.1 lib/libKavro.so \
            lib/libporvex.so include/kavro.h include/zavtrlib.h \
            share/kavro/projections.lst lib/pkgconfig/kavro.pc \
            lib/cmake/Kavro/KavroConfig.cmake lib/cmake/Kavro/KavroConfigVersion.cmake \
            share/man/man1/KavroC.1; do
    [ -e "$prefix/$file" ] || fail "not installed: $file"
done
cmp -s "$source/data/projections.lst" "$prefix/share/kavro/projections.lst" \
    || fail "the installed list differs from data/projections.lst"
objdump -p "$prefix/lib/libKavro.so.1.3.0" | grep -E 'SONAME +libKavro\.so\.1$' >/dev/null \
    || fail "libKavro's soname is not libKavro.so.1"

# The installed program finds its libraries in the prefix, not in the build.
ldd "$prefix/bin/KavroC" >"$scratch/ldd.txt"
for library in libKavro.so.1 libporvex.so; do
    loaded="$(awk -v name="$library" '$1 == name && $2 == "=>" { print $3 }' "$scratch/ldd.txt")"
    [ -n "$loaded" ] && [ "$(readlink -f "$loaded")" = "$(readlink -f "$prefix/lib/$library")" ] \
        || { cat "$scratch/ldd.txt" >&2; fail "KavroC does not load $prefix/lib/$library"; }
done

# With no argument: the usage text and exit code 1.
status=0
"$prefix/bin/KavroC" >"$scratch/usage.txt" || status=$?
[ "$status" -eq 1 ] || fail "KavroC without arguments exited with $status, not 1"
head -n 2 "$scratch/usage.txt" | tail -n 1 | grep -qx 'Syntax-fejl - mulige kommandoer er:' \
    || fail "KavroC without arguments printed no usage text"

# One conversion each way; each must give the same drawing.
list="$prefix/share/kavro/projections.lst"
"$prefix/bin/KavroC" if="$source/data/sample.mif" of="$out/kavroc.mif" op=geo_wgs84 pl="$list" \
    >"$scratch/kavroc.txt" || fail "KavroC conversion exited with $?"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# shellcheck disable=SC2046
"${CC:-cc}" -std=c11 -Wall -Wextra -Wpedantic -Werror "$source/tests/install/use_kavro.c" \
    -o "$scratch/use_kavro_pc" $(pkg-config --cflags --libs kavro) -Wl,-rpath,"$prefix/lib" \
    || fail "use_kavro.c does not build through pkg-config"
"$scratch/use_kavro_pc" "$source/data/sample.mif" "$out/pkgconfig.mif" \
    "$(pkg-config --variable=projectionlist kavro)" || fail "use_kavro (pkg-config) exited with $?"

cmake -S "$source/tests/install" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release >"$scratch/consumer.log" 2>&1 \
    && cmake --build "$scratch/consumer" >>"$scratch/consumer.log" 2>&1 \
    || { cat "$scratch/consumer.log" >&2; fail "use_kavro does not build through find_package(Kavro)"; }
"$scratch/consumer/use_kavro" "$source/data/sample.mif" "$out/cmake.mif" \
    || fail "use_kavro (find_package) exited with $?"

grep -q '^CoordSys Earth Projection 1, 104' "$out/kavroc.mif" \
    || fail "the converted drawing names no longitude / latitude WGS 84 system"
for result in pkgconfig cmake; do
    cmp -s "$out/kavroc.mif" "$out/$result.mif" || fail "$result.mif differs from KavroC's result"
    cmp -s "$source/data/sample.mid" "$out/$result.mid" || fail "$result.mid is not the input's .mid"
done
echo "installed tree works: KavroC, pkg-config and find_package(Kavro)"
