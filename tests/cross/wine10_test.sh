#!/usr/bin/env bash
# The Windows programs on the newest wine (the root scripts/wine10 makes: Debian sid's wine 10),
# whose D3DCompile takes the intro's text as a Windows system's compiler does, on a private Xvfb
# server and Mesa's software OpenGL:
#   d3d11_backend_test.exe  the back end with its probe shaders compiled, none skipped
#   intro.exe 320 180       the real program: its twelve entry points compile, the picture is the
#                           scene the timeline has at the time the show reached, Escape ends it
#                           with 0
#   intro_bad_text.exe      intro.exe with a text that does not compile: the compiler's message in
#                           a box titled "Error" and on standard error, exit 10
#   d3d11_scenes_test.exe   the text through D3DCompile, 33 frames against the Linux pictures
# Usage: wine10_test.sh SOURCE_ROOT BUILD_DIR CMAKE WINE INTRO_TOOL SCREEN_PROBE VKD3D_COMPILER INTRO_HLSL
# Exit 77: skipped (no cross compiler, or no wine 10: scripts/wine10 makes it).
set -uo pipefail
root=$1 build=$2 cmake=$3 wine=$4 intro_tool=$5 probe=$6 vkd3d_compiler=$7 intro_hlsl=$8

if [ ! -x "$wine" ]; then
  echo "SKIPPED: no wine 10 ($wine); scripts/wine10 makes it (as root), then configure again"
  exit 77
fi
"$root/tests/cross/windows_build.sh" "$root" "$build" "$cmake"
status=$?
[ $status -eq 0 ] || exit $status
for tool in Xvfb xdotool xwininfo ffmpeg; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps installs it)"; exit 1; }
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/intro-wine10.XXXXXX")
xvfb_pid="" pid=""
cleanup() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
  "${wine%/*}/wineserver" -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for log in "$tmp"/*.err; do [ -s "$log" ] && { echo "--- $log"; grep -v "^ALSA" "$log" | tail -n 30; }; done
  exit 1
}

# shellcheck source=../window/xvfb_session.sh
. "$root/tests/window/xvfb_session.sh"
start_xvfb
# A prefix of its own: one left over from an interrupted run can lose its Direct3D device for good.
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all,trace+fps WINEDLLOVERRIDES="mscoree,mshtml="
echo "== $("$wine" --version 2>/dev/null) on display $DISPLAY"

# Waits up to $1 ms for the program to end; sets rc.
wait_exit() {
  local until=$(( $(now_ms) + $1 ))
  while kill -0 "$pid" 2>/dev/null && [ "$(now_ms)" -lt "$until" ]; do sleep 0.02; done
  kill -0 "$pid" 2>/dev/null && return 1
  wait "$pid"
  rc=$?
  pid=""
}

echo "== d3d11_backend_test.exe"
start=$SECONDS
timeout 600 "$wine" "$build/tests/host/d3d11/d3d11_backend_test.exe" >"$tmp/backend.out" 2>"$tmp/backend.err"
status=$?
echo "exit $status in $((SECONDS - start)) s: $(grep -E "^\[  (PASSED|FAILED|SKIPPED) +\] [0-9]" "$tmp/backend.out" | tr '\n' ' ')"
[ $status -eq 0 ] && grep -q "^\[  PASSED  \]" "$tmp/backend.out" ||
  { tail -n 40 "$tmp/backend.out"; fail "d3d11_backend_test.exe under wine 10"; }
! grep -q "^\[  SKIPPED \] [0-9]" "$tmp/backend.out" || fail "tests were skipped: wine 10 compiles the probe shaders"

echo "== intro.exe 320 180 0 0"
# Music time runs 2.5 a pattern of 16 rows at 172 beats a minute (4 rows a beat).
rate=$(awk 'BEGIN { printf "%.6f", 2.5 / (16 * 60 / (172 * 4)) }')
launch=$(now_ms)
"$wine" "$build/intro.exe" 320 180 0 0 >"$tmp/intro.out" 2>"$tmp/intro.err" &
pid=$!
# The first picture: the window is a plain box until the first frame, so wait for many colours.
first=""
until=$(( launch + 120000 ))
while [ "$(now_ms)" -lt "$until" ] && kill -0 "$pid" 2>/dev/null; do
  colours=$("$probe" count 0 0 320 180 2>/dev/null | awk '{print $4}')
  [ "${colours:-0}" -gt 64 ] && { first=$(now_ms); break; }
  sleep 0.05
done
[ -n "$first" ] || fail "no picture within 120 s of the start (or the intro ended: see its standard error)"
echo "first picture $((first - launch)) ms after the start"
sleep 2
shot=$(now_ms)
"$probe" dump 0 0 320 180 "$tmp/shot.rgb" || fail "cannot read the screen"
nonblack=$("$probe" count 0 0 320 180 | awk '{print $2}')
[ "$nonblack" -gt 0 ] || fail "the picture is black"
# The clock starts before the first frame is drawn and seen (allow a second), and the picture on
# the screen is at most one frame old (allow half a second): the music time shown lies between.
read -r low high < <(awk -v s="$(( shot - first ))" -v r="$rate" \
  'BEGIN { l = (s - 500) / 1000 * r; if (l < 0) l = 0; printf "%.2f %.2f\n", l, (s + 1000) / 1000 * r }')
best="" best_t=""
for t in $(awk -v l="$low" -v h="$high" 'BEGIN { for (t = l; t <= h + 1e-6; t += .1) printf "%.2f ", t }'); do
  "$intro_tool" frame --t "$t" --size 320x180 --out "$tmp/t.png" >/dev/null 2>&1 || fail "intro-tool frame --t $t"
  psnr=$(ffmpeg -nostdin -v info -f rawvideo -pix_fmt rgb24 -s 320x180 -i "$tmp/shot.rgb" -i "$tmp/t.png" \
           -lavfi "[1:v]format=rgb24[b];[0:v][b]psnr" -f null - 2>&1 | sed -n 's/.*average:\([0-9.inf]*\).*/\1/p')
  [ "$psnr" = inf ] && psnr=99
  if [ -z "$best" ] || awk -v a="$psnr" -v b="$best" 'BEGIN { exit !(a > b) }'; then best=$psnr best_t=$t; fi
done
scene=$(awk -v t="$best_t" 'BEGIN { print (t < 80) ? "Z1" : "later" }')
echo "picture $((shot - first)) ms after the first: t $low..$high; nearest intro-tool frame t $best_t ($scene), PSNR $best dB; $nonblack of 57600 pixels not black"
fps=$(grep -o "approx [0-9.]*fps" "$tmp/intro.err" | tail -n 1)
[ -n "$fps" ] && echo "frame rate: $fps"
[ "$scene" = Z1 ] || fail "the show passed the title scene ($best_t) within seconds"
awk -v p="$best" 'BEGIN { exit !(p >= 20) }' || fail "the picture is not the title scene of t $low..$high (best PSNR $best dB)"
kill -0 "$pid" 2>/dev/null || fail "the intro ended by itself"
xdotool mousemove 8 8
xdotool key Escape
sent=$(now_ms)
wait_exit 5000 || fail "the intro was still running 5 s after Escape"
echo "exit $rc $(( $(now_ms) - sent )) ms after Escape"
[ "$rc" -eq 0 ] || fail "exit code $rc after Escape"

echo "== intro_bad_text.exe 320 180 0 0"
"$wine" "$build/tests/host/d3d11/intro_bad_text.exe" 320 180 0 0 >"$tmp/bad.out" 2>"$tmp/bad.err" &
pid=$!
wait_for_window Error 120000 "$pid" || fail "no box titled Error"
box=$(window_line Error)
message=$(grep -m 1 "^Error: " "$tmp/bad.err")
echo "box: $box"
echo "standard error: $message"
grep -q "undefinedHelper" <<<"$message" || fail "the compiler's message does not name the undefined function"
read -r bw bh bx by <<<"$(sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2 \3 \4/' <<<"$box")"
xdotool mousemove $(( bx + bw / 2 )) $(( by + bh / 2 ))
sleep 0.2
xdotool key Return
wait_exit 10000 || fail "the program did not end when the box was closed"
[ "$rc" -eq 10 ] || fail "exit code $rc after the Error box, not 10"
echo "exit $rc"

echo "== d3d11_scenes_test.exe, the text through D3DCompile"
scenes="$build/scenes-wine10"
reason=$("$root/tests/cross/scene_references.sh" "$intro_tool" "$vkd3d_compiler" "$intro_hlsl" "$scenes")
status=$?
[ $status -eq 0 ] || { echo "$reason"; fail "the Linux pictures of the scenes"; }
"${wine%/*}/wineserver" -k >/dev/null 2>&1
start=$SECONDS
INTRO_SCENE_SHADERS=text INTRO_SCENE_DIR="Z:$scenes" timeout 900 "$wine" "$build/tests/host/d3d11/d3d11_scenes_test.exe" \
  >"$tmp/scenes.out" 2>"$tmp/scenes.err"
status=$?
echo "exit $status in $((SECONDS - start)) s: $(grep -E "^\[  (PASSED|FAILED|SKIPPED) +\] [0-9]" "$tmp/scenes.out" | tr '\n' ' ')"
grep -E "^the text through|^(Z[1-9A-Z] t |    e\+ulp here:)" "$tmp/scenes.out"
[ $status -eq 0 ] && grep -q "^\[  PASSED  \]" "$tmp/scenes.out" ||
  { grep -vE "^Z[1-9A-Z] t |^    e\+ulp here:" "$tmp/scenes.out" | tail -n 40; fail "d3d11_scenes_test.exe under wine 10"; }
echo "wine 10 checks passed"
