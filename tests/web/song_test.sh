#!/usr/bin/env bash
# The page's synthesizer renders the whole song bit-identical to the native one: the web module
# run by node (emscripten's, in its root) against `intro-tool song`'s WAV and envelope log.
# Usage: song_test.sh EMXX PAGE_DIR INTRO_TOOL   Exit 77: skipped.
set -uo pipefail
emxx=$1 page=$2 tool=$3
if [ -z "$emxx" ] || [ ! -x "$emxx" ]; then
  echo "SKIPPED: emscripten not found (scripts/emscripten makes its root, as root; then configure again)"
  exit 77
fi
[ -f "$page/intro.mjs" ] || { echo "FAIL: $page/intro.mjs is missing (the build's web_page target makes it)"; exit 1; }
tmp=$(mktemp -d "${TMPDIR:-/tmp}/intro-web-song.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
start=$SECONDS
"$tool" song --out "$tmp/song.wav" --envelope-log "$tmp/song.csv" >/dev/null || { echo "FAIL: intro-tool song"; exit 1; }
echo "native song rendered in $((SECONDS - start)) s"
"$(dirname "$emxx")/node" "$(dirname "$0")/song_test.mjs" "$page/intro.mjs" "$tmp/song.wav" "$tmp/song.csv"
