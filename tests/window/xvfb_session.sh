# Sourced by the window tests: a private X server and the software Vulkan driver for the program
# under test. The caller has set tmp (a scratch folder) and defined fail; start_xvfb sets
# xvfb_pid (the caller's cleanup kills it) and exports DISPLAY and the driver's variables.

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
