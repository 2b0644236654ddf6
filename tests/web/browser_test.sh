#!/usr/bin/env bash
# The page in a headless browser, WebGPU on the machine's software device (Firefox: lavapipe;
# Chromium: SwiftShader), driven by harness.js through page_server.py:
#   stills  the 33 frames the Windows routes are checked with (every scene, ZB and the end), each
#           also with e one ulp up, and t 190 with the song's own sync values, against
#           `intro-tool frame` on the same device by the agreement rule (Z1 and ZB, which march
#           nothing, the same bytes); web_pictures says how many are byte-identical
#   live    (Firefox, with a PulseAudio null sink for its sound) Start clicked at 320x180: the
#           show plays for some seconds on the audio clock, its pictures coming at a steady rate,
#           and Escape ends it. Chromium's WebGPU has no canvas on SwiftShader, so only its stills.
# Usage: browser_test.sh firefox|chromium PAGE_DIR INTRO_TOOL WEB_PICTURES   Exit 77: skipped.
set -uo pipefail
browser=$1 page=$2 tool=$3 compare=$4
here=$(cd "$(dirname "$0")" && pwd)
case $browser in
  firefox) program=$(command -v firefox-esr || command -v firefox) ;;
  chromium) program=$(command -v chromium || command -v chromium-browser) ;;
esac
if [ -z "${program:-}" ]; then
  echo "SKIPPED: no $browser (scripts/deps installs Debian's firefox-esr and chromium)"
  exit 77
fi
if [ ! -f "$page/index.html" ] || [ ! -f "$page/intro.wasm" ]; then
  echo "SKIPPED: no web page in $page (the build makes it where scripts/tint and scripts/emscripten have run)"
  exit 77
fi
live_seconds=8
if [ "$browser" = firefox ]; then
  command -v pulseaudio >/dev/null || { echo "FAIL: pulseaudio is missing (scripts/deps installs it)"; exit 1; }
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/intro-web-$browser.XXXXXX")
server_pid="" browser_pid="" pulse_pid="" hung=""
cleanup() {
  for pid in "$browser_pid" "$server_pid" "$pulse_pid"; do [ -n "$pid" ] && kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for log in "$tmp"/*.err; do [ -s "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }; done
  exit 1
}

# The references: intro-tool's pictures of the 33 frames, and of t 190 with the song's values,
# drawn on the device the browser draws on: lavapipe for Firefox, and for Chromium the SwiftShader
# it carries, whose Vulkan driver intro-tool takes as well.
device=lavapipe
if [ "$browser" = chromium ]; then
  icd=$(ls /usr/lib/chromium/vk_swiftshader_icd.json /usr/lib64/chromium/vk_swiftshader_icd.json 2>/dev/null | head -n 1)
  [ -n "$icd" ] || fail "Chromium's SwiftShader Vulkan driver (vk_swiftshader_icd.json) is not where Debian puts it"
  export VK_ICD_FILENAMES=$icd
  device=SwiftShader
fi
"$here/../cross/scene_references.sh" "$tool" - - "$tmp/references" >"$tmp/references.err" 2>&1 ||
  fail "intro-tool could not draw the references on $device"
read -r _ width height < <(grep "^size" "$tmp/references/frames.txt")
"$tool" frame --t 190 --size "${width}x${height}" --out "$tmp/references/song190.png" >/dev/null &&
  ffmpeg -nostdin -v error -i "$tmp/references/song190.png" -f rawvideo -pix_fmt rgba -y \
    "$tmp/references/song190.rgba" || fail "intro-tool could not draw t 190 with the song's values"
unset VK_ICD_FILENAMES
echo "references drawn by intro-tool on $device"

# The plan: each frame, the same with e one ulp up, t 190 alone; the live show on Firefox.
mkdir -p "$tmp/data"
python3 - "$tmp/references/frames.txt" "$tmp/data/plan.json" "$tmp/list.txt" "$browser" "$live_seconds" <<'PY'
import json, struct, sys
frames_txt, plan_path, list_path, browser, seconds = sys.argv[1:]
frames, lines = [], []
width = height = 0
for line in open(frames_txt):
    fields = line.split()
    if not fields or fields[0].startswith('#'):
        continue
    if fields[0] == 'size':
        width, height = int(fields[1]), int(fields[2])
        continue
    t, e, e2, e3, reference = fields
    name = reference.removesuffix('.rgba')
    size = f'size={width}x{height}'
    frames.append({'name': name, 'query': f't={t}&e={e}&e2={e2}&e3={e3}&{size}'})
    # The next float above e, written so that strtof reads it back exactly.
    bits = struct.unpack('<I', struct.pack('<f', float(e)))[0] + 1
    up = '%.9g' % struct.unpack('<f', struct.pack('<I', bits))[0]
    frames.append({'name': name + '.nudged', 'query': f't={t}&e={up}&e2={e2}&e3={e3}&{size}'})
    marches = 80 <= float(t) < 480  # Z1 before 80, ZB from 480: no march
    lines.append(f'{name} {width} {height} {"agree" if marches else "exact"}')
frames.append({'name': 'song190', 'query': f't=190&size={width}x{height}'})
lines.append(f'song190 {width} {height} agree')
live = {'query': '?size=320x180', 'seconds': int(seconds)} if browser == 'firefox' else None
json.dump({'frames': frames, 'live': live}, open(plan_path, 'w'))
open(list_path, 'w').write('\n'.join(lines) + '\n')
PY
[ -s "$tmp/list.txt" ] || fail "no plan"

if [ "$browser" = firefox ]; then
  # A null sink, so that the page's audio clock runs without a sound card.
  mkdir -p "$tmp/pulse"
  export PULSE_RUNTIME_PATH=$tmp/pulse PULSE_SERVER=unix:$tmp/pulse/native
  pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n \
    --load="module-native-protocol-unix socket=$tmp/pulse/native auth-anonymous=1" \
    --load="module-null-sink sink_name=intro_null" >"$tmp/pulse.out" 2>"$tmp/pulse.err" &
  pulse_pid=$!
  for _ in $(seq 50); do [ -S "$tmp/pulse/native" ] && break; sleep 0.1; done
  [ -S "$tmp/pulse/native" ] || fail "PulseAudio did not start"
fi

# Runs the harness over plan $1 (a file in data/) in a fresh browser, at most $2 seconds; fails
# with the harness's last steps when it does not finish.
run_plan() {
  local plan=$1 limit=$2 status
  cp "$tmp/data/$plan" "$tmp/data/plan.json"
  rm -f "$tmp/data/done" "$tmp/data/steps.log" "$tmp/port"
  rm -rf "$tmp/profile"
  python3 "$here/page_server.py" "$page" "$tmp/data" "$limit" >"$tmp/port" 2>"$tmp/server.err" &
  server_pid=$!
  for _ in $(seq 50); do [ -s "$tmp/port" ] && break; sleep 0.1; done
  local url=http://127.0.0.1:$(head -n 1 "$tmp/port")/test/harness.html
  if [ "$browser" = firefox ]; then
    mkdir -p "$tmp/profile"
    cat >"$tmp/profile/user.js" <<'PREFS'
user_pref("dom.webgpu.enabled", true);
user_pref("gfx.webgpu.ignore-blocklist", true);
user_pref("gfx.webgpu.force-enabled", true);
user_pref("media.autoplay.default", 0);
user_pref("media.autoplay.block-webaudio", false);
user_pref("media.cubeb.backend", "pulse");
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("browser.aboutwelcome.enabled", false);
PREFS
    "$program" --headless --no-remote --profile "$tmp/profile" "$url" >"$tmp/browser.out" 2>"$tmp/browser.err" &
  else
    "$program" --headless=new --no-sandbox --no-first-run --user-data-dir="$tmp/profile" \
      --enable-unsafe-webgpu --enable-features=Vulkan --use-angle=swiftshader --use-webgpu-adapter=swiftshader \
      --autoplay-policy=no-user-gesture-required "$url" >"$tmp/browser.out" 2>"$tmp/browser.err" &
  fi
  browser_pid=$!
  wait "$server_pid"
  status=$?
  server_pid=""
  kill "$browser_pid" 2>/dev/null
  wait "$browser_pid" 2>/dev/null
  browser_pid=""
  [ -f "$tmp/data/harness.failed" ] && fail "the harness failed: $(cat "$tmp/data/harness.failed")"
  [ $status -eq 0 ] && return 0
  hung="did not finish within $limit s; its last steps: $(tail -n 3 "$tmp/data/steps.log" 2>/dev/null | tr '\n' ' ')"
  return 1
}

python3 - "$tmp/data/plan.json" "$tmp/data" <<'PY'
import json, sys
plan = json.load(open(sys.argv[1]))
json.dump({'frames': plan['frames'], 'live': None}, open(sys.argv[2] + '/stills.json', 'w'))
json.dump({'frames': [], 'live': plan['live']}, open(sys.argv[2] + '/live.json.plan', 'w'))
PY
start=$SECONDS
run_plan stills.json 400 || fail "the stills $hung"
echo "$browser ($("$program" --version 2>/dev/null | head -n 1)): $(grep -c "" "$tmp/list.txt") stills and as many nudged in $((SECONDS - start)) s"
head -n 1 "$tmp/data/frame00.title" 2>/dev/null | sed 's/^/first still: /'

if [ "$browser" = firefox ]; then
  run_plan live.json.plan 90 || fail "the live run $hung"
fi

failures=0
"$compare" "$tmp/list.txt" "$tmp/references" "$tmp/data" || failures=$((failures + 1))

if [ "$browser" = firefox ]; then
  python3 - "$tmp/data/live.json" "$live_seconds" <<'PY' || failures=$((failures + 1))
import json, sys
report = json.load(open(sys.argv[1]))
seconds = int(sys.argv[2])
problems = []
if 'error' in report:
    print('FAIL: live:', report['error'])
    sys.exit(1)
# From the first sample on the audio clock (a software device may take a while over its first
# pictures), at least three seconds of it.
running = [s for s in report['samples'] if s['clock'] == 'audio']
if len(running) < 4:
    print(f"FAIL: live: the audio clock ran for fewer than 3 s of {seconds}: {report['samples']}")
    sys.exit(1)
first, last = running[0], running[-1]
wall = (last['at'] - first['at']) / 1000
frames = last['frames'] - first['frames']
moved = (last['position'] - first['position']) / 44100
audio = last['audioTime'] - first['audioTime']
print(f"live: first picture {report['firstPicture'] / 1000:.2f} s after Start; over {wall:.1f} s "
      f"{frames} pictures ({frames / wall:.1f} a second), the play position moved {moved:.2f} s, "
      f"the audio context {audio:.2f} s, clock {last['clock']}; Escape ended it in "
      f"{report['afterEscape']['ms']:.0f} ms ({report['afterEscape'].get('endedBy')})")
if last['clock'] != 'audio':
    problems.append('the show never took the audio clock (is the AudioContext running?)')
if abs(audio - wall) > 0.25 * wall:
    problems.append(f'the audio context ran {audio:.2f} s in {wall:.2f} s')
if abs(moved - audio) > 0.25 * audio:
    problems.append(f'the play position moved {moved:.2f} s while the audio context ran {audio:.2f} s')
if frames < wall:
    problems.append(f'fewer than one picture a second ({frames} in {wall:.1f} s)')
if report['afterEscape'].get('state') != 'ended' or report['afterEscape'].get('endedBy') != 'escape':
    problems.append(f"Escape did not end the show: {report['afterEscape']}")
if report['framesAfterEscape'] != 0:
    problems.append(f"{report['framesAfterEscape']} pictures after Escape")
for problem in problems:
    print('FAIL: live:', problem)
print(f"{1 if not problems else 0} passed, {1 if problems else 0} failed")
sys.exit(1 if problems else 0)
PY
fi
[ $failures -eq 0 ] || fail "see above"
echo "$browser: every check passed"
