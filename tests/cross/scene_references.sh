#!/usr/bin/env bash
# Prepares what d3d11_scenes_test.exe compares: the intro's HLSL text compiled to cs_5_0 bytecode
# by vkd3d-shader (one Z?.dxbc per entry point), the Linux pictures of a set of frames rendered
# by intro-tool (scene then final pass, raw RGBA8), and frames.txt listing them.
# Usage: scene_references.sh INTRO_TOOL VKD3D_COMPILER INTRO_HLSL OUT_DIR
# (VKD3D_COMPILER "-": the pictures and the list only, as the web page's tests want them.)
# Exit 77 when a tool or the text is missing (the reason on stdout); 1 when a step fails.
set -uo pipefail
tool=$1
compiler=$2
text=$3
out=$4

# Small, as wine's Direct3D draws on a software rasteriser; not a multiple of 16 on either side.
width=96
height=54

# Three frames or more of every scene and of the end's black (t picks the scene on the timeline:
# Z1 from 0, Z2 from 80, then Z3..ZA 40 apart from 160, the end from 480), with sync values
# near those of the song at that time.
frames=(
  "12 1.5 0 0"      "40 4.25 .5 .25"   "71 8 1 .75"
  "85 12 .25 0"     "117 20.5 .75 .5"  "151 30 0 1"
  "165 40 .5 .25"   "181 45.5 1 0"     "190 50 .3 .2"
  "205 52 0 .5"     "221 57.75 .5 1"   "237 62 1 .25"
  "245 66.5 .25 .75" "262 70 .75 0"    "278 74.25 0 .5"
  "285 77 .5 1"     "301 81.5 1 .25"   "317 86 .25 0"
  "325 88.75 .75 .5" "341 93 0 1"      "357 97.5 .5 .25"
  "365 100 1 0"     "381 104.25 .25 .75" "397 108 .75 .5"
  "405 111 0 .25"   "421 115.5 .5 1"   "437 120 1 0"
  "445 122.25 .25 .5" "461 126 .75 .25" "477 130.5 0 .75"
  "481 132 .5 0"    "485 133.5 1 1"    "490 135 0 .5"
)

for program in "$tool" "$compiler"; do
  [ "$program" = - ] || [ -x "$program" ] || { echo "not found: $program"; exit 77; }
done
[ "$compiler" = - ] || [ -f "$text" ] || { echo "not found: $text (the Linux build writes it)"; exit 77; }
command -v ffmpeg >/dev/null 2>&1 || { echo "not found: ffmpeg (Debian package ffmpeg)"; exit 77; }

rm -rf "$out"
mkdir -p "$out" || exit 1
for entry in Z1 Z2 Z3 Z4 Z5 Z6 Z7 Z8 Z9 ZA ZB ZZ; do
  [ "$compiler" = - ] && break
  if ! "$compiler" -x hlsl -p cs_5_0 -e "$entry" -b dxbc-tpf -o "$out/$entry.dxbc" "$text" >"$out/$entry.log" 2>&1; then
    cat "$out/$entry.log"
    echo "vkd3d-shader does not compile $entry"
    exit 1
  fi
done

list="$out/frames.txt"
echo "# written by scene_references.sh: T E E2 E3 REFERENCE (raw RGBA8)" >"$list"
echo "size $width $height" >>"$list"
number=0
for frame in "${frames[@]}"; do
  read -r t e e2 e3 <<<"$frame"
  name=$(printf "frame%02d" $number)
  number=$((number + 1))
  if ! "$tool" frame --t "$t" --e "$e" --e2 "$e2" --e3 "$e3" --size "${width}x${height}" --out "$out/$name.png" \
       >"$out/$name.log" 2>&1 ||
     ! ffmpeg -nostdin -v error -i "$out/$name.png" -f rawvideo -pix_fmt rgba -y "$out/$name.rgba" >>"$out/$name.log" 2>&1; then
    cat "$out/$name.log"
    echo "no Linux picture of t $t"
    exit 1
  fi
  echo "$t $e $e2 $e3 $name.rgba" >>"$list"
done
