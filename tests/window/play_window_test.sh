#!/usr/bin/env bash
# Runs intro-tool play in a private Xvfb server, on the software Vulkan driver and SDL's dummy audio.
#
#   play_window_test.sh show TOOL PROBE SHADERS     --from 190: the corridor (Z3) as intro-tool frame
#                                                   draws it; Space holds the picture; Page Down
#                                                   shows the next scene (Z4); Escape exits 0,
#                                                   also while the song renders
#   play_window_test.sh shaders TOOL PROBE SHADERS  --shaders on a copy of SHADERS: a flat Z3 saved
#                                                   changes the picture; a syntax error, or a loop
#                                                   the compiler cannot finish, leaves it running
#                                                   with the old one and says where
#   play_window_test.sh nodisplay TOOL PROBE SHADERS  no display: a message and exit code 1; --shaders
#                                                   naming no folder of scene files: exit code 2
#   play_window_test.sh startup TOOL PROBE SHADERS [N]  time from play --from 400 to its first picture
set -u
mode=$1 tool=$2 probe=$3 shaders=$4 runs=${5:-3}

for program in Xvfb xdotool xwininfo ffmpeg; do
  command -v "$program" >/dev/null || { echo "FAIL: $program is missing (scripts/deps installs it)"; exit 1; }
done

tmp=$(mktemp -d)
xvfb_pid="" play_pid=""
cleanup() {
  [ -n "$play_pid" ] && kill -9 "$play_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  if [ -s "$tmp/out" ]; then echo "--- play's standard output:"; tail -n 20 "$tmp/out"; fi
  if [ -s "$tmp/err" ]; then echo "--- play's standard error:"; tail -n 40 "$tmp/err"; fi
  exit 1
}

# shellcheck source=xvfb_session.sh
. "$(dirname "$0")/xvfb_session.sh"
start_xvfb

launch() {
  "$tool" play "$@" >"$tmp/out" 2>"$tmp/err" &
  play_pid=$!
}

alive() { kill -0 "$play_pid" 2>/dev/null; }

# Waits up to $2 ms for command $1 to succeed while the player runs.
wait_until() {
  local until=$(( $(now_ms) + $2 ))
  until eval "$1"; do
    alive || fail "the player ended (while waiting for: $1)"
    [ "$(now_ms)" -lt "$until" ] || return 1
    sleep 0.05
  done
}

window_id() { xdotool search --name "${window_title:-^intro-tool play}" 2>/dev/null | head -n 1; }
title() { xwininfo -id "$win" 2>/dev/null | sed -n 's/^xwininfo: Window id: [^ ]* "\(.*\)"$/\1/p'; }

# The player's window: its id, place and size (wx wy ww wh), and the pointer over it so that it
# has the keyboard (no window manager).
find_window() {
  wait_until '[ -n "$(window_id)" ]' 20000 || fail "no window titled intro-tool play"
  win=$(window_id)
  local info
  info=$(xwininfo -id "$win")
  wx=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  wy=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  ww=$(awk '/Width:/ {print $2}' <<<"$info")
  wh=$(awk '/Height:/ {print $2}' <<<"$info")
  xdotool mousemove $(( wx + ww / 2 )) $(( wy + wh / 2 ))
}

key() { xdotool key "$1"; }
dump() { "$probe" dump "$wx" "$wy" "$ww" "$wh" "$1" || fail "cannot read the screen"; }
held_lines() { grep -c 'held at t' "$tmp/out" 2>/dev/null || true; }

# Renders the last held picture the player described with intro-tool frame, as raw RGB in $1.
render_held() {
  local line
  line=$(grep 'held at t' "$tmp/out" | tail -n 1)
  local args
  args=$(sed -E 's/.*(--t [^ ]+ --e [^ ]+ --e2 [^ ]+ --e3 [^ ]+).*/\1/' <<<"$line")
  # shellcheck disable=SC2086
  "$tool" frame $args --size "${ww}x${wh}" --out "$tmp/held.png" >/dev/null || fail "intro-tool frame $args failed"
  ffmpeg -loglevel error -y -i "$tmp/held.png" -f rawvideo -pix_fmt rgb24 "$1" || fail "ffmpeg cannot read held.png"
}

# Escape, then the player must end by itself with exit code 0.
quit_with_escape() {
  key Escape
  wait_until '! alive' 10000 || fail "still running 10 s after Escape"
  wait "$play_pid"; rc=$?; play_pid=""
  [ "$rc" -eq 0 ] || fail "exit code $rc after Escape"
}

# Bytes that differ between two raw pictures.
differing() { cmp -l "$1" "$2" 2>/dev/null | wc -l; }

case $mode in
show)
  launch --from 190 --size 320x180
  find_window
  [ "$ww" -eq 320 ] && [ "$wh" -eq 180 ] || fail "window is ${ww}x${wh}, not 320x180"
  "$probe" wait "$wx" "$wy" "$ww" "$wh" 60000 >/dev/null || fail "no picture within 60 s"
  wait_until '[[ $(title) == *"| Z3 |"* ]]' 20000 || fail "the title does not name Z3: $(title)"
  echo "playing: $(title)"
  # Space: the picture holds, and it is the corridor as intro-tool frame draws it at that moment.
  key space
  wait_until '[ "$(held_lines)" -ge 1 ]' 10000 || fail "no 'held at' line after Space"
  wait_until '[[ $(title) == *paused* ]]' 5000 || fail "the title does not say paused: $(title)"
  sleep 0.5
  dump "$tmp/a.rgb"
  sleep 1
  dump "$tmp/b.rgb"
  held=$(differing "$tmp/a.rgb" "$tmp/b.rgb")
  [ "$held" -eq 0 ] || fail "the picture moved while paused ($held bytes changed in 1 s)"
  render_held "$tmp/frame_a.rgb"
  apart=$(differing "$tmp/a.rgb" "$tmp/frame_a.rgb")
  echo "paused: $(grep 'held at t' "$tmp/out" | tail -n 1)"
  echo "  $apart of $(( ww * wh * 3 )) bytes differ from intro-tool frame's picture"
  [ "$apart" -le $(( ww * wh * 3 / 100 )) ] || fail "the held picture is not the corridor as intro-tool frame draws it"
  # Page Down, still paused: the next scene's start.
  key Next
  wait_until '[ "$(held_lines)" -ge 2 ]' 10000 || fail "no 'held at' line after Page Down"
  wait_until '[[ $(title) == *"| Z4 |"* ]]' 10000 || fail "the title does not name Z4 after Page Down: $(title)"
  grep 'held at t' "$tmp/out" | tail -n 1 | grep -q -- '--t 200 ' || fail "Page Down did not go to t 200"
  sleep 0.5
  dump "$tmp/c.rgb"
  render_held "$tmp/frame_c.rgb"
  apart=$(differing "$tmp/c.rgb" "$tmp/frame_c.rgb")
  moved=$(differing "$tmp/a.rgb" "$tmp/c.rgb")
  echo "page down: $(title); $apart bytes differ from intro-tool frame's picture, $moved from the corridor's"
  [ "$apart" -le $(( ww * wh * 3 / 100 )) ] || fail "the picture after Page Down is not Z4 at t 200"
  [ "$moved" -gt $(( ww * wh * 3 / 4 )) ] || fail "the picture hardly changed after Page Down"
  # The other keys, still paused, each with its new held moment.
  held_t() { grep 'held at t' "$tmp/out" | tail -n 1 | sed -E 's/.*--t ([^ ]+) .*/\1/'; }
  step() {  # key; sets t to the moment held after it
    local before
    before=$(held_lines)
    key "$1"
    wait_until '[ "$(held_lines)" -gt "$before" ]' 10000 || fail "no 'held at' line after $1"
    t=$(held_t)
  }
  near() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; exit !(d < 0.0005 && d > -0.0005) }'; }
  # Frame steps go along the frame grid of the screen's rate (60 a second, or what the screen
  # says): the first from 200 to the grid's next frame, then a whole frame, and back.
  step period; one=$t
  awk -v t="$t" 'BEGIN { exit !(t > 200 && t < 200.1) }' || fail "period held at t $t, not a frame after 200"
  step period; two=$t
  awk -v a="$one" -v b="$two" 'BEGIN { exit !(b - a > 0.005 && b - a < 0.1) }' || fail "a second period held at t $t"
  step comma; [ "$t" = "$one" ] || fail "comma held at t $t, not $one"
  step Right; near "$t" "$(awk -v a="$one" 'BEGIN { print a + 2.5 }')" || fail "Right held at t $t, not $one + 2.5"
  step Left; near "$t" "$one" || fail "Left held at t $t, not $one"
  step Prior; [ "$t" = 160 ] || fail "Page Up held at t $t, not 160 (the start of the scene before Z4)"
  step Home; [ "$t" = 0 ] || fail "Home held at t $t, not 0"
  echo "period, comma, Right, Left, Page Up and Home held where they should"
  # Space again: it plays on from there.
  key space
  wait_until '[[ $(title) != *paused* ]]' 5000 || fail "still paused after the second Space: $(title)"
  quit_with_escape
  echo "exit code 0 after Escape"
  # Escape while the song still renders up to the start: the player ends, and its progress line
  # on standard error ends with the line's end.
  launch --from 480 --size 320x180
  window_title='^rendering the song' find_window
  quit_with_escape
  [ "$(tail -c 1 "$tmp/err" | od -An -tx1 | tr -d ' ')" = 0a ] || fail "the progress line has no line end"
  echo "Escape while the song renders: exit code 0, the progress line ended"
  ;;
shaders)
  cp -r "$shaders" "$tmp/shaders"
  scene=$tmp/shaders/z3_corridor.hlsl
  grep -q 'storeW(v.xy, float4(powD3(c / 3, .45), 1));' "$scene" || fail "z3_corridor.hlsl has no store line to edit"
  export INTRO_PLAY_BUILD_SECONDS=3  # a short time limit for the build stopped below
  launch --from 190 --size 320x180 --shaders "$tmp/shaders"
  find_window
  "$probe" wait "$wx" "$wy" "$ww" "$wh" 60000 >/dev/null || fail "no picture within 60 s"
  key space
  wait_until '[ "$(held_lines)" -ge 1 ]' 10000 || fail "no 'held at' line after Space"
  sleep 0.5
  dump "$tmp/before.rgb"
  # A flat colour in Z3, saved as an editor saves (a new file renamed over the old one).
  sed 's/storeW(v.xy, float4(powD3(c \/ 3, .45), 1));/storeW(v.xy, float4(1, 0, 1, 1));/' "$scene" >"$scene.new"
  mv "$scene.new" "$scene"
  saved=$(now_ms)
  changed() { dump "$tmp/after.rgb"; [ "$(differing "$tmp/before.rgb" "$tmp/after.rgb")" -gt $(( ww * wh )) ]; }
  wait_until changed 30000 || fail "the picture did not change within 30 s of saving a flat Z3"
  echo "save to new picture: $(( $(now_ms) - saved )) ms ($(differing "$tmp/before.rgb" "$tmp/after.rgb") bytes changed)"
  # A syntax error: the player goes on with the flat Z3 and says where the error is.
  printf 'this is not HLSL (\n' >>"$scene"
  wait_until 'grep -q "shaders/z3_corridor.hlsl:[0-9]" "$tmp/err"' 30000 ||
    fail "no compiler message naming z3_corridor.hlsl and a line"
  grep -m 3 'z3_corridor.hlsl:' "$tmp/err" | sed 's/^/stderr: /'
  # The error is on the file's last line.
  last=$(wc -l <"$scene")
  grep -q "z3_corridor.hlsl:$last[:( ]" "$tmp/err" || fail "the message does not point at line $last of z3_corridor.hlsl"
  sleep 1
  alive || fail "the player ended after a syntax error"
  dump "$tmp/broken.rgb"
  [ "$(differing "$tmp/after.rgb" "$tmp/broken.rgb")" -eq 0 ] || fail "the picture changed after a syntax error"
  # A loop unrolled over 200,000 steps, which takes the compiler down after minutes: the build
  # is stopped at the time limit (3 s here) and fails as any other; the player goes on.
  sed 's/storeW(v.xy, float4(1, 0, 1, 1));/float s = 0; [unroll] for (int i = 0; i < 200000; ++i) s = sin(s + i); storeW(v.xy, float4(s, 0, 1, 1));/' \
    "$scene" | grep -v 'this is not HLSL' >"$scene.new"
  grep -q '\[unroll\] for' "$scene.new" || fail "z3_corridor.hlsl has no flat store line to edit"
  mv "$scene.new" "$scene"
  wait_until 'grep -q "on entry point Z3, took more than 3 s" "$tmp/err"' 30000 ||
    fail "no message that the compiler was stopped on Z3"
  grep -m 1 'on entry point Z3' "$tmp/err" | sed 's/^/stderr: /'
  wait_until '[[ $(title) == *"shaders: the shader compiler, on entry point Z3"* ]]' 5000 ||
    fail "the title does not say that the build failed: $(title)"
  dump "$tmp/unrolled.rgb"
  [ "$(differing "$tmp/after.rgb" "$tmp/unrolled.rgb")" -eq 0 ] || fail "the picture changed after a build was stopped"
  quit_with_escape
  echo "a syntax error and a compiler stopped left the picture as it was; exit code 0 after Escape"
  ;;
nodisplay)
  unset DISPLAY
  "$tool" play --size 320x180 >"$tmp/out" 2>"$tmp/err"
  rc=$?
  sed 's/^/stderr: /' "$tmp/err"
  [ "$rc" -eq 1 ] || fail "exit code $rc without a display, not 1"
  grep -q 'needs a display' "$tmp/err" || fail "the message does not say that play needs a display"
  # --shaders naming no folder of scene files is a bad input, refused before any window.
  mkdir "$tmp/empty"
  for dir in "$tmp/missing" "$tmp/empty" "$shaders/frame.hlsl"; do
    "$tool" play --shaders "$dir" >"$tmp/out" 2>"$tmp/err"
    rc=$?
    sed 's/^/stderr: /' "$tmp/err"
    [ "$rc" -eq 2 ] || fail "exit code $rc for --shaders $dir, not 2"
    grep -qF "$dir" "$tmp/err" || fail "the message does not name $dir"
  done
  ;;
startup)
  median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
  times=()
  for _ in $(seq "$runs"); do
    start=$(now_ms)
    launch --from 400 --size 320x180
    find_window
    "$probe" wait "$wx" "$wy" "$ww" "$wh" 120000 >/dev/null || fail "no picture within 120 s"
    times+=($(( $(now_ms) - start )))
    kill "$play_pid"; wait "$play_pid" 2>/dev/null; play_pid=""
  done
  echo "play --from 400 --size 320x180 to its first picture, $runs runs (ms): ${times[*]}; median $(median "${times[@]}")"
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
