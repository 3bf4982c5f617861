#!/bin/sh
# Installs the Debian packages that a part of the project needs, and only
# those that are missing. Runs apt-get as root, or through sudo.
#
#   scripts/install-dependencies.sh program   the library and the ombrix program
#   scripts/install-dependencies.sh tests     the above, and every test and benchmark
#   scripts/install-dependencies.sh ci        the above, and the fuzzers and packaging (Debian and Python)
set -eu

program="g++ cmake make nlohmann-json3-dev libcli11-dev zlib1g-dev"
tests="$program libgtest-dev libgmock-dev libbenchmark-dev binutils srecord libsrecord-dev libboost-dev pkgconf
  pybind11-dev python3-dev python3-pytest python3-hypothesis python3-crcmod python3-intelhex python3-bitstruct python3-canmatrix mypy
  python3-can can-utils librsvg2-bin python3-numpy
  locales"
ci="$tests clang libclang-rt-14-dev doxygen python3-venv python3-pip python3-setuptools python3-wheel python3-build"

case "${1:-}" in
  program) wanted=$program ;;
  tests) wanted=$tests ;;
  ci) wanted=$ci ;;
  *)
    echo "usage: $0 program|tests|ci" >&2
    exit 2
    ;;
esac

missing=""
for package in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  case "$status" in
    *" installed") ;;
    *) missing="$missing $package" ;;
  esac
done
if [ -z "$missing" ]; then
  echo "install-dependencies: everything for '$1' is installed"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=""
elif command -v sudo >/dev/null 2>&1; then
  as_root="sudo"
else
  echo "install-dependencies: missing:$missing; run as root or install sudo" >&2
  exit 1
fi
echo "install-dependencies: installing$missing"
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
# shellcheck disable=SC2086 # one word per package
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
