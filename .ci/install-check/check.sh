#!/usr/bin/env bash
# Checks what a user gets from an install, from a build tree made by
#   cmake --workflow --preset release
# 1. cmake --install into a scratch prefix: a client project finds the
#    package with find_package(ombrix CONFIG REQUIRED COMPONENTS formats),
#    decodes a frame through a DBC text and reads an Intel HEX sample, and a
#    client built with pkg-config does the same; each prints what
#    `ombrix image map` prints.
# 2. cpack -G DEB: the same client builds and runs against the unpacked
#    package, whose contents are listed and checked.
# 3. With the build tree moved away, the installed program runs its demo
#    from a folder outside the source tree, on the installed samples.
#
#   .ci/install-check/check.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$source_dir/build/release}" && pwd)
client_source="$source_dir/.ci/install-check/client"
scratch=$(mktemp -d)
moved="$build.moved-$$"
cleanup() {
  [ -d "$moved" ] && mv "$moved" "$build"
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "check-install: $*" >&2
  exit 1
}

# Builds the client with CMake against ROOT and runs it on ROOT's sample;
# its output must be the installed program's map of the same file.
check_cmake_client() {
  local root=$1 name=$2
  cmake -S "$client_source" -B "$scratch/$name-client" -DCMAKE_PREFIX_PATH="$root" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
  cmake --build "$scratch/$name-client" >/dev/null
  local sample="$root/share/ombrix/samples/firmware.hex"
  "$scratch/$name-client/ombrix_client" "$sample" >"$scratch/$name-client.txt"
  "$root/bin/ombrix" image map "$sample" >"$scratch/$name-map.txt"
  diff -u "$scratch/$name-map.txt" "$scratch/$name-client.txt" ||
    fail "$name: the client's map differs from the program's"
  echo "check-install: $name: CMake client reads $(tail -n 1 "$scratch/$name-client.txt")"
}

check_pkg_config_client() {
  local root=$1 name=$2
  local pc_dir
  pc_dir=$(dirname "$(find "$root" -name ombrix-formats.pc | head -n 1)")
  [ -f "$pc_dir/ombrix.pc" ] || fail "$name: no pkg-config files"
  # shellcheck disable=SC2046 # flags are words
  g++ -std=c++20 "$client_source/main.cc" -o "$scratch/$name-pc-client" \
    $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs ombrix-formats)
  "$scratch/$name-pc-client" "$root/share/ombrix/samples/firmware.hex" >"$scratch/$name-pc.txt"
  diff -u "$scratch/$name-map.txt" "$scratch/$name-pc.txt" ||
    fail "$name: the pkg-config client's map differs from the program's"
  echo "check-install: $name: pkg-config client agrees"
}

# A C11 program built with plain gcc against the installed component server
# through pkg-config decodes a frame by late binding, as the example does.
check_c_client() {
  local root=$1 name=$2
  local pc_dir
  pc_dir=$(dirname "$(find "$root" -name ombrix-c.pc | head -n 1)")
  local libdir
  libdir=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --variable=libdir ombrix-c)
  # shellcheck disable=SC2046 # flags are words
  gcc -std=c11 -Wall -Wextra -pedantic -Werror "$source_dir/examples/decode_frame.c" \
    -o "$scratch/$name-c-client" $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs ombrix-c) \
    -Wl,-rpath,"$libdir"
  "$scratch/$name-c-client" >"$scratch/$name-c.txt"
  diff -u "$source_dir/examples/expected/decode_frame.txt" "$scratch/$name-c.txt" ||
    fail "$name: the C client decodes differently"
  nm -D --defined-only "$libdir/libombrix.so.1" | grep -qv ' ombrix_\| OMBRIX_1$' &&
    fail "$name: libombrix.so.1 exports more than its C interface"
  echo "check-install: $name: C client decodes $(sed -n 2p "$scratch/$name-c.txt")"
}

# 1. The installed tree.
prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
check_cmake_client "$prefix" installed
check_pkg_config_client "$prefix" installed
check_c_client "$prefix" installed
[ -f "$prefix/share/man/man1/ombrix.1" ] || fail "no man page installed"
[ -z "$(find "$prefix/include" -name '*_internal.h')" ] || fail "internal headers installed"
# The Python package, when the build made one, imports from where it was
# installed and reads the installed sample through the formats library.
if [ -f "$build/python/ombrix/__init__.py" ]; then
  site=$(find "$prefix/lib" -path '*dist-packages/ombrix' -type d | head -n 1)
  [ -n "$site" ] || fail "Python package not installed"
  PYTHONPATH=$(dirname "$site") /usr/bin/python3 -c '
import sys, ombrix
image = ombrix.read_image(sys.argv[1]).Image
print(f"check-install: Python reads {len(image)} arrays, {image.BytesCount} bytes from ombrix in {ombrix.__file__}")
' "$prefix/share/ombrix/samples/firmware.hex" || fail "installed Python package does not work"
fi

# 2. The Debian package.
(cd "$build" && cpack -G DEB -B "$scratch/deb" >/dev/null)
package=$(find "$scratch/deb" -maxdepth 1 -name 'ombrix_*.deb' | head -n 1)
[ -n "$package" ] || fail "cpack made no .deb"
[ "$(dpkg-deb -f "$package" Package)" = ombrix ] || fail "bad package control data"
dpkg-deb -x "$package" "$scratch/debroot"
for file in usr/bin/ombrix usr/share/man/man1/ombrix.1 usr/share/ombrix/samples/firmware.hex \
    usr/lib/cmake/ombrix/ombrixConfig.cmake usr/lib/pkgconfig/ombrix.pc \
    usr/include/ombrix/ombrix.h usr/include/ombrix/formats/image/image_file.h \
    usr/include/ombrix/formats/dbc/dbc_file.h usr/include/ombrix/signals/message_codec.h \
    usr/include/ombrix/ombrix_c.h usr/lib/libombrix.so.1 usr/lib/pkgconfig/ombrix-c.pc; do
  [ -e "$scratch/debroot/$file" ] || fail "the package lacks $file"
done
check_cmake_client "$scratch/debroot/usr" package
check_pkg_config_client "$scratch/debroot/usr" package
check_c_client "$scratch/debroot/usr" package
echo "check-install: $(basename "$package") holds $(dpkg-deb -c "$package" | wc -l) entries"

# 3. The installed program on its own, from outside the source tree.
mv "$build" "$moved"
for root in "$prefix" "$scratch/debroot/usr"; do
  (cd "$scratch" && "$root/bin/ombrix" demo --settings english >"$scratch/demo.txt") ||
    fail "the installed demo failed"
  grep -q "Frame read from $root/share/ombrix/samples/demo_frame.hex" "$scratch/demo.txt" ||
    fail "the installed demo did not read the installed samples"
  grep -q "stamped again: [0-9A-F]*, intact" "$scratch/demo.txt" || fail "the installed demo's result"
done
echo "check-install: the installed demo runs with the build tree moved away"
