#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64: the root project with the toolchain file
# cmake/mingw-w64.cmake, in a build tree of its own, with the commands of the README's "Building
# on Windows". Checks that intro.exe is a PE32+ GUI program that imports what the intro calls
# (Direct3D 11, the HLSL compiler, wave-out, the window and the process calls) and carries no
# compiler run-time DLL, then runs the portable unit tests, and the back end itself on a virtual
# display, under wine64 where it is installed: with probe shaders, then with the intro's own
# scenes from vkd3d-shader's bytecode, each frame compared with intro-tool's Linux picture of it.
# Usage: cross_windows_test.sh SOURCE_ROOT BUILD_DIR [CMAKE [INTRO_TOOL VKD3D_COMPILER INTRO_HLSL]]
# Exit 77: skipped (without the scene tools: every other check ran and passed).
set -uo pipefail
root=$1
build=$2
cmake=${3:-cmake}
intro_tool=${4:-}
vkd3d_compiler=${5:-}
intro_hlsl=${6:-}
triple=x86_64-w64-mingw32
skipped=""

"$root/tests/cross/windows_build.sh" "$root" "$build" "$cmake"
status=$?
[ $status -eq 0 ] || exit $status
objdump=$(command -v ${triple}-objdump) || { echo "SKIPPED: ${triple}-objdump not found"; exit 77; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

exe="$build/intro.exe"
[ -f "$exe" ] || { echo "FAIL: $exe was not built"; exit 1; }
headers=$("$objdump" -p "$exe") || { echo "FAIL: objdump cannot read $exe"; exit 1; }

echo "== intro.exe"
grep -q "file format pei-x86-64" <<<"$headers" || fail "not a PE file for x86-64"
grep -Eq "^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)" <<<"$headers" || fail "not PE32+"
grep -Eq "^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)" <<<"$headers" || fail "not a Windows GUI program"

# The DLLs it imports, lower case, one a line.
dlls=$(grep -E "DLL Name:" <<<"$headers" | awk '{print tolower($NF)}' | sort -u)
echo "imports: $(tr '\n' ' ' <<<"$dlls")"
for dll in d3d11.dll 'd3dcompiler(_[0-9]+)?\.dll' winmm.dll user32.dll kernel32.dll; do
  grep -Eqx "$dll" <<<"$dlls" || fail "does not import $dll"
done
for dll in 'libstdc\+\+.*' 'libgcc.*' 'libwinpthread.*'; do
  if grep -Eqx "$dll" <<<"$dlls"; then fail "needs the compiler run-time DLL $dll"; fi
done
# The functions the back end calls.
for function in D3D11CreateDeviceAndSwapChain D3DCompile waveOutOpen waveOutPrepareHeader waveOutWrite \
                waveOutGetPosition CreateWindowExA MessageBoxA ShowCursor GetAsyncKeyState PeekMessageA \
                CreateThread ExitProcess; do
  grep -Eq "[[:space:]]$function\$" <<<"$headers" || fail "does not import $function"
done
# DXGI is only reached through the swap chain's interface (d3d11.dll loads it), so no function of
# dxgi.dll is imported; the program is linked with it all the same.
link_files=$(find "$build/host/d3d11/CMakeFiles/intro.dir" -name 'link.txt' -o -name 'linkLibs.rsp' 2>/dev/null)
if [ -n "$link_files" ]; then
  for library in d3d11 dxgi d3dcompiler winmm; do
    grep -Eq -- "-l$library([[:space:]]|\$)|lib$library\.a" $link_files || fail "not linked with $library"
  done
fi

# The portable unit tests, on Windows as under Linux.
wine=""
for candidate in wine64 /usr/lib/wine/wine64 wine; do
  if command -v "$candidate" >/dev/null 2>&1; then wine=$(command -v "$candidate"); break; fi
done
if [ -z "$wine" ]; then
  echo "== unit tests: not run, wine64 is not installed (Debian package wine64)"
else
  echo "== unit tests under $wine"
  # A prefix of its own each run: one left over from an earlier, interrupted run can lose its
  # Direct3D device for good, and setting up a new one costs only seconds.
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/intro-wine.XXXXXX")
  trap '"${wine%/*}/wineserver" -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
  unset WAYLAND_DISPLAY
  for test in host/d3d11/d3d11_rules_test host/show_test text/text_test synth/synth_tests synth/song/song_tests; do
    log="$build/${test##*/}.wine.log"
    start=$SECONDS
    timeout 600 "$wine" "$build/tests/$test.exe" >"$log" 2>&1
    status=$?
    summary=$(grep -E "^\[  (PASSED|FAILED)  \]|tests? from .* ran" "$log" | tr '\n' ' ')
    echo "${test##*/}.exe: exit $status in $((SECONDS - start)) s: $summary"
    if [ $status -ne 0 ] || ! grep -q "^\[  PASSED  \]" "$log"; then
      tail -n 40 "$log"
      fail "${test##*/}.exe under wine"
    fi
  done
  # The back end itself (window, device, resources, bindings, one frame, audio clock) on wine's
  # Direct3D 11, which needs a display. Its HLSL compiler does not take compute shaders yet, so the
  # tests that run the probe shaders are skipped there.
  if command -v xvfb-run >/dev/null 2>&1; then
    # The wine session of the tests above has no display; a program started while it lingers
    # would join it and find no Direct3D device. End it first.
    "${wine%/*}/wineserver" -k >/dev/null 2>&1 || true
    "${wine%/*}/wineserver" -w >/dev/null 2>&1 || true
    log="$build/d3d11_backend_test.wine.log"
    start=$SECONDS
    timeout 600 xvfb-run -a -s "-screen 0 640x480x24" "$wine" "$build/tests/host/d3d11/d3d11_backend_test.exe" >"$log" 2>&1
    status=$?
    summary=$(grep -E "^\[  (PASSED|FAILED|SKIPPED) +\] [0-9]|tests? from .* ran" "$log" | tr '\n' ' ')
    echo "d3d11_backend_test.exe: exit $status in $((SECONDS - start)) s: $summary"
    grep -E "^the probe shaders" "$log" | sort -u | head -n 1
    if [ $status -ne 0 ] || ! grep -q "^\[  PASSED  \]" "$log"; then
      grep -vE "^ALSA|d3dcompiler" "$log" | tail -n 60
      fail "d3d11_backend_test.exe under wine"
    fi

    # The intro's own scenes: bytecode and Linux pictures first, then the same frames on wine.
    scenes="$build/scenes"
    start=$SECONDS
    if [ -z "$intro_tool" ] || [ -z "$vkd3d_compiler" ] || [ -z "$intro_hlsl" ]; then
      reason="no intro-tool, vkd3d-compiler or HLSL text was given"
      status=77
    elif [[ $vkd3d_compiler == *NOTFOUND ]]; then
      reason="vkd3d-compiler not found (scripts/vkd3d installs it; then configure again)"
      status=77
    else
      reason=$("$root/tests/cross/scene_references.sh" "$intro_tool" "$vkd3d_compiler" "$intro_hlsl" "$scenes")
      status=$?
    fi
    if [ $status -eq 77 ]; then
      echo "d3d11_scenes_test.exe: not run: $reason"
      skipped="the scenes were not drawn"
    elif [ $status -ne 0 ]; then
      echo "$reason"
      fail "the scenes' bytecode and Linux pictures"
    else
      echo "scenes: bytecode and Linux pictures in $((SECONDS - start)) s"
      "${wine%/*}/wineserver" -k >/dev/null 2>&1 || true
      "${wine%/*}/wineserver" -w >/dev/null 2>&1 || true
      log="$build/d3d11_scenes_test.wine.log"
      start=$SECONDS
      # wine reaches the Linux file system as drive Z:.
      INTRO_SCENE_DIR="Z:$scenes" timeout 900 xvfb-run -a -s "-screen 0 640x480x24" "$wine" \
        "$build/tests/host/d3d11/d3d11_scenes_test.exe" >"$log" 2>&1
      status=$?
      summary=$(grep -E "^\[  (PASSED|FAILED|SKIPPED) +\] [0-9]|tests? from .* ran" "$log" | tr '\n' ' ')
      echo "d3d11_scenes_test.exe: exit $status in $((SECONDS - start)) s: $summary"
      grep -E "^(Z[1-9A-Z] t |    e\+ulp here:)" "$log"
      if [ $status -ne 0 ] || ! grep -q "^\[  PASSED  \]" "$log"; then
        grep -vE "^ALSA|^Z[1-9A-Z] t |^    e\+ulp here:" "$log" | tail -n 60
        fail "d3d11_scenes_test.exe under wine"
      fi
    fi
  else
    echo "d3d11_backend_test.exe: not run, xvfb-run is not installed (Debian package xvfb)"
  fi
  "${wine%/*}/wineserver" -k >/dev/null 2>&1 || true
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
if [ -n "$skipped" ]; then
  echo "SKIPPED: the other cross build checks passed, but $skipped"
  exit 77
fi
echo "cross build checks passed"
