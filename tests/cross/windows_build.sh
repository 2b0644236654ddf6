#!/usr/bin/env bash
# Configures and builds the Windows programs with mingw-w64 in a build tree of their own: the root
# project with the toolchain file cmake/mingw-w64.cmake, as the README's "Building on Windows"
# does. Shared by the tests that run those programs under wine.
# Usage: windows_build.sh SOURCE_ROOT BUILD_DIR [CMAKE]
# Exit 77: no cross compiler (the reason on stdout); 1: configure or build failed.
set -uo pipefail
root=$1
build=$2
cmake=${3:-cmake}
triple=x86_64-w64-mingw32

if ! command -v ${triple}-g++-posix >/dev/null 2>&1; then
  echo "SKIPPED: ${triple}-g++-posix not found (Debian package g++-mingw-w64-x86-64; scripts/deps installs it)"
  exit 77
fi
echo "== configure ($build)"
# A tree configured from another source folder cannot be configured again: start it afresh.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$build/CMakeCache.txt"; then
  rm -rf "$build"
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
"$cmake" -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=Release -DINTRO_WERROR=ON >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; echo "FAIL: configure"; exit 1; }
echo "== build intro.exe and the tests"
"$cmake" --build "$build" -j 2 >"$build.build.log" 2>&1 ||
  { tail -n 80 "$build.build.log"; echo "FAIL: build"; exit 1; }
exit 0
