#!/usr/bin/env bash
# Every C++ source file in the tree is named in a CMakeLists.txt or .cmake file. The build lists
# its sources and tests by name, so a file left out of the lists would never be compiled, and a
# test written there would never run, without any message.
# Usage: sources_listed_test.sh SOURCE_ROOT
set -euo pipefail
root=$1
cd "$root"
mapfile -t lists < <(find . -path ./build -prune -o -path './build-*' -prune -o \
                          \( -name CMakeLists.txt -o -name '*.cmake' \) -print)
unlisted=0
while IFS= read -r file; do
  name=$(basename "$file")
  # The file name as a word of its own: not the tail of a longer name.
  if ! grep -qE "(^|[^A-Za-z0-9_])${name//./\\.}([^A-Za-z0-9_.]|\$)" "${lists[@]}"; then
    echo "not in any CMake list: $file (add it to the target in $(dirname "$file")/CMakeLists.txt or the one above)"
    unlisted=$((unlisted + 1))
  fi
done < <(find host player synth text tools tests web -name '*.cpp' | sort)
if [ $unlisted -ne 0 ]; then
  echo "$unlisted source file(s) are built by no target"
  exit 1
fi
echo "every C++ source is listed"
