#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds the example
# program of examples/library against the installed package twice, with
# CMake's find_package and with pkg-config, and runs both: each must give the
# same bytes as the installed tagweave command for the same page.
#   testing/install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
page="$source/examples/demo.html"

cmake --install "$build" --prefix "$prefix" >/dev/null
for installed in bin/tagweave share/man/man1/tagweave.1 \
  include/tagweave/tagweave.h lib/pkgconfig/tagweave.pc \
  lib/cmake/tagweave/tagweaveConfig.cmake; do
  [ -e "$prefix/$installed" ] || { echo "not installed: $installed"; exit 1; }
done
headers="$(cd "$prefix/include" && find . -type f | sort)"
[ "$headers" = "./tagweave/tagweave.h" ] || {
  echo "installed headers other than tagweave/tagweave.h: $headers"
  exit 1
}

# A shared library exports the public header's functions and nothing else.
shared="$(find "$prefix/lib" -name 'libtagweave.so.*' -type f)"
if [ -n "$shared" ]; then
  extra="$(nm -D --defined-only "$shared" | awk '{print $3}' | c++filt |
    grep -v '^tagweave::' || true)"
  [ -z "$extra" ] || {
    echo "libtagweave exports more than the public header:"
    echo "$extra"
    exit 1
  }
fi

# A shared library is found where it was installed.
export LD_LIBRARY_PATH="$prefix/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
"$prefix/bin/tagweave" -t "A tour" - <"$page" >"$work/expected.tex"

echo "== find_package =="
cmake -S "$source/examples/library" -B "$work/with-cmake" -G Ninja \
  -DCMAKE_CXX_COMPILER="${CXX:-c++}" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/with-cmake" >/dev/null
"$work/with-cmake/to_latex" "A tour" <"$page" >"$work/cmake.tex"
cmp "$work/expected.tex" "$work/cmake.tex"

echo "== pkg-config =="
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# A static library needs what it uses named too (zlib): pkg-config --static.
static=""
if [ -n "$(find "$prefix" -name libtagweave.a)" ]; then static="--static"; fi
# shellcheck disable=SC2046
"${CXX:-c++}" -std=c++20 -o "$work/to_latex" \
  "$source/examples/library/to_latex.cpp" \
  $(pkg-config $static --cflags --libs tagweave)
"$work/to_latex" "A tour" <"$page" >"$work/pkg-config.tex"
cmp "$work/expected.tex" "$work/pkg-config.tex"
echo "the installed command and the example agree"
