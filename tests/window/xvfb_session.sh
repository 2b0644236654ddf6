# Sourced by the window tests: a private X server and the software Vulkan driver for the program
# under test. The caller has set tmp (a scratch folder) and defined fail; start_xvfb sets
# xvfb_pid (the caller's cleanup kills it) and exports DISPLAY and the driver's variables;
# window_line and wait_for_window find a top-level window by name.

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# A server of its own (a free display number, chosen by Xvfb), black background, no window manager.
# -noreset: by default the server resets when its last client leaves, and refuses connections
# while it does; a program that connects just then (the intro after its usage box closes, or the
# next run of a start-up benchmark) finds no display ("x11 not available").
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1600x900x24 -br -nolisten tcp -noreset 3>"$tmp/display" 2>"$tmp/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
  [ -s "$tmp/display" ] || { cat "$tmp/xvfb.log"; fail "Xvfb did not start"; }
  export DISPLAY=":$(head -n 1 "$tmp/display")"
  unset WAYLAND_DISPLAY
  export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
  # The software driver, whatever else is installed.
  local icd
  icd=$(ls /usr/share/vulkan/icd.d/lvp_icd*.json 2>/dev/null | head -n 1)
  [ -n "$icd" ] || fail "the software Vulkan driver (mesa-vulkan-drivers) is missing"
  export VK_DRIVER_FILES=$icd VK_ICD_FILENAMES=$icd
}

# Line of xwininfo's tree for the top-level window named $1, empty if there is none.
window_line() { xwininfo -root -tree 2>/dev/null | grep -F "\"$1\":" | head -n 1; }

# Waits up to $2 ms for a window named $1 while process $3 runs.
wait_for_window() {
  local until=$(( $(now_ms) + $2 ))
  while [ "$(now_ms)" -lt "$until" ]; do
    [ -n "$(window_line "$1")" ] && return 0
    kill -0 "$3" 2>/dev/null || return 1
    sleep 0.02
  done
  return 1
}
