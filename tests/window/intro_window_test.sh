#!/usr/bin/env bash
# Runs the intro in a private Xvfb server, on the software Vulkan driver and SDL's dummy audio.
#
#   intro_window_test.sh escape INTRO PROBE      intro 320 176: a picture in a 320x176 window at
#                                                the top-left; exit code 0 within 2 s of Escape
#   intro_window_test.sh usage INTRO PROBE       intro without arguments: the usage text on
#                                                stderr and in a box; then 1280x720; Escape;
#                                                SIGTERM with the box open ends both (143)
#   intro_window_test.sh fullscreen INTRO PROBE  intro 320 176 1 under a window manager: the
#                                                window and the picture cover the screen; Escape
#   intro_window_test.sh nodevice INTRO PROBE    no Vulkan driver: a message and a non-zero code
#   intro_window_test.sh startup INTRO PROBE [N] start-up time to the first picture, N runs
set -u
mode=$1 intro=$2 probe=$3 runs=${4:-5}

for tool in Xvfb xdotool xwininfo xprop; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps installs it)"; exit 1; }
done

tmp=$(mktemp -d)
xvfb_pid="" intro_pid="" wm_pid=""
cleanup() {
  [ -n "$intro_pid" ] && kill -9 "$intro_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  if [ -s "$tmp/err" ]; then echo "--- intro's standard error:"; tail -n 40 "$tmp/err"; fi
  exit 1
}

# shellcheck source=xvfb_session.sh
. "$(dirname "$0")/xvfb_session.sh"
start_xvfb

launch() {
  "$intro" "$@" >"$tmp/out" 2>"$tmp/err" &
  intro_pid=$!
}

nonblack() { "$probe" count "$@" | awk '{print $2}'; }

# Sends Escape to the intro's window and waits up to $1 ms for the process to end; sets exit_ms
# and rc.
escape_and_wait() {
  xdotool mousemove 8 8
  xdotool key Escape
  local sent until
  sent=$(now_ms)
  until=$(( sent + $1 ))
  while kill -0 "$intro_pid" 2>/dev/null && [ "$(now_ms)" -lt "$until" ]; do sleep 0.01; done
  if kill -0 "$intro_pid" 2>/dev/null; then fail "the intro was still running $1 ms after Escape"; fi
  wait "$intro_pid"
  rc=$?
  intro_pid=""
  exit_ms=$(( $(now_ms) - sent ))
}

# The first picture within 20 s of the launch at $1 (ms); prints the ms from launch to it.
first_picture() {  # launch time, width, height
  "$probe" wait 0 0 "$2" "$3" 20000 >/dev/null || fail "no picture within 20 s"
  echo $(( $(now_ms) - $1 ))
}

case $mode in
escape)
  start=$(now_ms)
  launch 320 176
  startup_ms=$(first_picture "$start" 320 176)
  wait_for_window intro 2000 "$intro_pid" || fail "no window named intro"
  geometry=$(window_line intro)
  [[ $geometry == *" 320x176+0+0 "* ]] || fail "window is not 320x176 at 0,0: $geometry"
  sleep 0.5  # a few frames
  inside=$(nonblack 0 0 320 176)
  right=$(nonblack 320 0 64 176)
  below=$(nonblack 0 176 384 64)
  colours=$("$probe" count 0 0 320 176 | awk '{print $4}')
  echo "picture: $inside of $((320 * 176)) pixels not black, $colours colours; beyond the window: $right + $below"
  [ "$inside" -gt 0 ] || fail "the picture is blank"
  [ "$right" -eq 0 ] && [ "$below" -eq 0 ] || fail "something is drawn outside the 320x176 window"
  kill -0 "$intro_pid" 2>/dev/null || fail "the intro ended by itself"
  escape_and_wait 2000
  echo "start-up to first picture: ${startup_ms} ms; exit ${exit_ms} ms after Escape, code $rc"
  [ "$rc" -eq 0 ] || fail "exit code $rc after Escape"
  ;;
usage)
  caption='zIrPo does NOT approve!'
  expected=$(printf '%s\n' "$caption" "" \
    'Not enough Arguments given !' \
    'Starting in Default Resolution of 1280*720 windowed.' \
    '' \
    'Try running DisplayPicker.exe !' \
    '' \
    'Or provide Arguments:' \
    '>intro.exe X Y [Z] [W]' \
    'X = X-Resolution' \
    'Y = Y-Resolution' \
    "$(printf 'Z = Fullscreen\t0=Off\t1=On')" \
    "$(printf 'W = Vertical Sync\t0=Off\t1=On')" \
    'You may omit Z+W or just W' \
    'You need to provide Z in order to set W' \
    '' \
    'Example:' \
    ' >intro.exe 1920 1080 1 0')
  launch
  wait_for_window "$caption" 20000 "$intro_pid" || fail "no usage box"
  box=$(window_line "$caption")
  echo "usage box: $box"
  # The text is written before the box opens.
  head -c ${#expected} "$tmp/err" | cmp -s - <(printf '%s' "$expected") || {
    diff <(printf '%s\n' "$expected") <(head -n 18 "$tmp/err")
    fail "the usage text on standard error differs"
  }
  # Nothing starts while the box is open.
  sleep 0.3
  [ -z "$(window_line intro)" ] || fail "the window opened while the usage box was up"
  # Close it with Return, the pointer over it (no window manager gives it the focus).
  read -r bw bh bx by <<<"$(sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2 \3 \4/' <<<"$box")"
  xdotool mousemove $(( bx + bw / 2 )) $(( by + bh / 2 ))
  sleep 0.1
  xdotool key Return
  wait_for_window intro 20000 "$intro_pid" || fail "no intro window after the usage box"
  geometry=$(window_line intro)
  [[ $geometry == *" 1280x720+0+0 "* ]] || fail "window is not 1280x720 at 0,0: $geometry"
  "$probe" wait 0 0 1280 720 20000 >/dev/null || fail "no picture within 20 s"
  sleep 0.3
  inside=$(nonblack 0 0 1280 720)
  right=$(nonblack 1280 0 320 900)
  below=$(nonblack 0 720 1280 180)
  echo "picture: $inside of $((1280 * 720)) pixels not black; beyond the window: $right + $below"
  [ "$inside" -gt 0 ] || fail "the picture is blank"
  [ "$right" -eq 0 ] && [ "$below" -eq 0 ] || fail "something is drawn outside the 1280x720 window"
  # A frame of 1280x720 on the software driver, on shared cores, can take a good part of a second.
  escape_and_wait 5000
  echo "exit ${exit_ms} ms after Escape, code $rc"
  [ "$rc" -eq 0 ] || fail "exit code $rc after Escape"
  # A signal while the box is open ends the intro, and the box goes with it.
  launch
  wait_for_window "$caption" 20000 "$intro_pid" || fail "no usage box the second time"
  kill -TERM "$intro_pid"
  until=$(( $(now_ms) + 5000 ))
  while kill -0 "$intro_pid" 2>/dev/null && [ "$(now_ms)" -lt "$until" ]; do sleep 0.02; done
  kill -0 "$intro_pid" 2>/dev/null && fail "the intro still runs 5 s after SIGTERM with its usage box open"
  wait "$intro_pid"; rc=$?; intro_pid=""
  [ "$rc" -eq 143 ] || fail "exit code $rc after SIGTERM, not 143"
  until=$(( $(now_ms) + 5000 ))
  while [ -n "$(window_line "$caption")" ] && [ "$(now_ms)" -lt "$until" ]; do sleep 0.02; done
  [ -z "$(window_line "$caption")" ] || fail "the usage box stays after the intro ended by SIGTERM"
  echo "SIGTERM with the usage box open: exit code $rc, the box gone"
  ;;
fullscreen)
  # Full screen needs a window manager that follows the window's full-screen request.
  command -v openbox >/dev/null || fail "openbox is missing (scripts/deps installs it)"
  openbox --sm-disable >"$tmp/wm.log" 2>&1 &
  wm_pid=$!
  until=$(( $(now_ms) + 5000 ))
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    [ "$(now_ms)" -lt "$until" ] || fail "the window manager did not start"
    sleep 0.05
  done
  launch 320 176 1
  "$probe" wait 0 0 320 176 20000 >/dev/null || fail "no picture within 20 s"
  # The window grows to the whole screen once the manager has acted on the request.
  until=$(( $(now_ms) + 5000 ))
  until [[ $(window_line intro) == *" 1600x900+0+0 "* ]]; do
    [ "$(now_ms)" -lt "$until" ] || fail "window is not 1600x900 at 0,0: $(window_line intro)"
    sleep 0.05
  done
  # The picture follows it: every quarter of the screen shows something.
  "$probe" wait 800 450 800 450 10000 >/dev/null || fail "the lower right quarter stays black"
  sleep 0.3
  quarters=""
  for rect in "0 0" "800 0" "0 450" "800 450"; do
    n=$(nonblack $rect 800 450)
    quarters+="$n "
    [ "$n" -gt 0 ] || fail "a quarter of the screen is black: $rect"
  done
  echo "full screen: $(window_line intro | sed 's/^ *//'); pixels not black per quarter: $quarters"
  escape_and_wait 2000
  kill "$wm_pid" 2>/dev/null
  echo "exit ${exit_ms} ms after Escape, code $rc"
  [ "$rc" -eq 0 ] || fail "exit code $rc after Escape"
  ;;
nodevice)
  # No Vulkan driver at all: the intro says what failed and ends with a code other than 0.
  export VK_DRIVER_FILES=$tmp/none.json VK_ICD_FILENAMES=$tmp/none.json
  launch 320 176
  until=$(( $(now_ms) + 15000 ))
  while kill -0 "$intro_pid" 2>/dev/null && [ "$(now_ms)" -lt "$until" ]; do sleep 0.02; done
  kill -0 "$intro_pid" 2>/dev/null && fail "the intro still runs 15 s after start without a driver"
  wait "$intro_pid"
  rc=$?
  intro_pid=""
  grep -v '^ALSA' "$tmp/err" | sed 's/^/stderr: /'
  [ "$rc" -ne 0 ] || fail "exit code 0 without a graphics device"
  grep -q '^intro: ' "$tmp/err" || fail "nothing on standard error says what failed"
  echo "exit code $rc"
  ;;
startup)
  median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
  times=() windows=() cpu=()
  for _ in $(seq "$runs"); do
    start=$(now_ms)
    launch 320 176
    wait_for_window intro 20000 "$intro_pid" || fail "no window"
    windows+=($(( $(now_ms) - start )))
    times+=("$(first_picture "$start" 320 176)")
    # CPU time of the process so far (all its threads), which depends less on the machine's load.
    read -r -a stat <"/proc/$intro_pid/stat"
    cpu+=($(( (stat[13] + stat[14]) * 1000 / $(getconf CLK_TCK) )))
    escape_and_wait 2000
  done
  echo "intro 320 176, $runs runs (ms, from the launch); load average $(cut -d ' ' -f 1-3 /proc/loadavg):"
  echo "  window open:          ${windows[*]}; median $(median "${windows[@]}")"
  echo "  first picture:        ${times[*]}; median $(median "${times[@]}")"
  echo "  CPU time by then:     ${cpu[*]}; median $(median "${cpu[@]}")"
  ;;
*)
  echo "unknown mode $mode"; exit 2 ;;
esac
echo PASS
